// Track pass: selected points as single pixels, segments as stippled lines of width
// style width x weight. Consecutive pieces of the same line style share one glBegin/glEnd,
// colours changing between their vertices: the stipple pattern restarts at every segment of
// GL_LINES, so the picture is the same as with one primitive per segment, and the drawing
// order is kept.
#include "Scene.h"

#include <GL/gl.h>

#include <cmath>

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

} // namespace

void DrawTracks(TGLUnit& gl, const TTracks& tracks, const TDisplaySettings& settings) {
    TTrackBatch batch(gl);
    SelectTracks(tracks, settings, [&](const TTrackPiece& p) { batch.Add(p); });
}

void DrawTrackPieces(TGLUnit& gl, const std::vector<TTrackPiece>& pieces) {
    TTrackBatch batch(gl);
    for (const TTrackPiece& p : pieces) batch.Add(p);
}
