// Track pass: selected points as single pixels, segments as stippled lines of width
// style width x weight. Consecutive pieces of the same line style share one glBegin/glEnd,
// colours changing between their vertices: the stipple pattern restarts at every segment of
// GL_LINES, so the picture is the same as with one primitive per segment, and the drawing
// order is kept.
#include "GLDraw.h"
#include "Scene.h"

#include <GL/gl.h>

#include <cmath>
#include <bit>
#include <cstdint>

namespace {

class TTrackBatch {
  public:
    explicit TTrackBatch(TGLUnit& gl) : GL(gl) {}
    ~TTrackBatch() { Close(); }

    void Add(const TTrackPiece& p) {
        if (p.IsPoint) {
            if (Mode != GL_POINTS) {
                Close();
                // a point keeps whatever line style there is and sets none
                glDisable(GL_LIGHTING);
                glBegin(GL_POINTS);
                Mode = GL_POINTS;
                NoColor = true;
            }
            SetColor(p.Color);
            glVertex3d(p.A.x, p.A.y, p.A.z);
            return;
        }
        // A width OpenGL rejects (0, negative, NaN) leaves the width of the last reset.
        float width = (p.Width > 0) ? p.Width : 1.0f;
        if (Mode != GL_LINES || p.LineKind != Kind || width != Width) {
            Close();
            GL.SetLineStyle(1, p.LineKind, width);
            glDisable(GL_LIGHTING);
            glBegin(GL_LINES);
            Mode = GL_LINES;
            NoColor = true;
            Kind = p.LineKind;
            Width = width;
        }
        SetColor(p.Color);
        glVertex3d(p.A.x, p.A.y, p.A.z);
        glVertex3d(p.B.x, p.B.y, p.B.z);
    }

    void Close() {
        if (Mode == None) return;
        glEnd();
        if (Mode == GL_LINES) GL.ResetLineStyle();
        Mode = None;
    }

  private:
    // Colours change inside a primitive (tracks coloured by energy change at every piece).
    void SetColor(TColor c) {
        if (!NoColor && c == Color) return;
        GL.SetColor(TGLUnit::ColorToRGBA(c, 1.0));
        Color = c;
        NoColor = false;
    }
    static constexpr GLenum None = 0xFFFF;
    TGLUnit& GL;
    GLenum Mode = None;
    TColor Color = 0;
    bool NoColor = true; // no colour set in the open primitive yet
    int32_t Kind = 0;
    float Width = 1;
};

// Fingerprint of a selection: every piece in order, so that any filter or style change shows.
struct TPieceHash {
    uint64_t Value = 0x9E3779B97F4A7C15ull;
    size_t Segments = 0, Pieces = 0;
    void Mix(uint64_t v) { Value = (Value ^ v) * 0xBF58476D1CE4E5B9ull + (Value >> 29); }
    void Mix(double v) { Mix(std::bit_cast<uint64_t>(v)); }
    void Add(const TTrackPiece& p) {
        Mix(p.A.x), Mix(p.A.y), Mix(p.A.z), Mix(p.B.x), Mix(p.B.y), Mix(p.B.z);
        Mix((uint64_t{p.Color} << 32) ^ (uint64_t{std::bit_cast<uint32_t>(p.Width)} << 1) ^
            (static_cast<uint64_t>(static_cast<uint32_t>(p.LineKind)) << 40) ^ p.IsPoint);
        Segments += !p.IsPoint;
        ++Pieces;
    }
};

// Beyond this many segments a dragging frame draws an even share of them, about ThinnedSegments.
constexpr size_t QuickSegments = 200000, ThinnedSegments = 100000;

} // namespace

void TTrackLists::Draw(TGLUnit& gl, const TTracks& tracks, const TDisplaySettings& settings,
                       bool quick) {
    TPieceHash hash;
    SelectTracks(tracks, settings, [&](const TTrackPiece& p) { hash.Add(p); });
    size_t step = 1;
    if (quick && hash.Segments > QuickSegments)
        step = (hash.Segments + ThinnedSegments - 1) / ThinnedSegments;
    TList& list = step > 1 ? Thinned : Full;
    if (list.Id && list.Hash == hash.Value && list.Pieces == hash.Pieces && list.Step == step) {
        glCallList(list.Id);
        return;
    }
    if (list.Id) glDeleteLists(list.Id, 1);
    list = TList{};
    for (int k = 0; k < 8 && glGetError() != GL_NO_ERROR; ++k) {
    }
    list.Id = glGenLists(1);
    if (list.Id) glNewList(list.Id, GL_COMPILE_AND_EXECUTE);
    {
        TTrackBatch batch(gl);
        size_t segment = 0;
        SelectTracks(tracks, settings, [&](const TTrackPiece& p) {
            if (p.IsPoint || segment++ % step == 0) batch.Add(p);
        });
    }
    if (!list.Id) return;
    glEndList();
    if (glGetError() != GL_NO_ERROR) { // no room for the list: drawn directly next time
        glDeleteLists(list.Id, 1);
        list = TList{};
        return;
    }
    list.Hash = hash.Value;
    list.Pieces = hash.Pieces;
    list.Step = step;
}

void DrawTracks(TGLUnit& gl, const TTracks& tracks, const TDisplaySettings& settings, bool quick) {
    gl.Lists().Tracks.Draw(gl, tracks, settings, quick);
}

void DrawTrackPieces(TGLUnit& gl, const std::vector<TTrackPiece>& pieces) {
    TTrackBatch batch(gl);
    for (const TTrackPiece& p : pieces) batch.Add(p);
}
