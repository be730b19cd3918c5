// Track pass: selected points as single pixels, segments as stippled lines of width
// style width x weight. Consecutive pieces of the same look share one glBegin/glEnd: the
// stipple pattern restarts at every segment of GL_LINES, so the picture is the same as with
// one primitive per segment, and the drawing order is kept.
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
            if (Mode != GL_POINTS || p.Color != Color) {
                Close();
                // a point keeps whatever line style there is and sets none
                GL.SetColor(TGLUnit::ColorToRGBA(p.Color, 1.0));
                glDisable(GL_LIGHTING);
                glBegin(GL_POINTS);
                Mode = GL_POINTS;
                Color = p.Color;
            }
            glVertex3d(p.A.x, p.A.y, p.A.z);
            return;
        }
        // A width OpenGL rejects (0, negative, NaN) leaves the width of the last reset.
        float width = (p.Width > 0) ? p.Width : 1.0f;
        if (Mode != GL_LINES || p.Color != Color || p.LineKind != Kind || width != Width) {
            Close();
            GL.SetLineStyle(1, p.LineKind, width);
            GL.SetColor(TGLUnit::ColorToRGBA(p.Color, 1.0));
            glDisable(GL_LIGHTING);
            glBegin(GL_LINES);
            Mode = GL_LINES;
            Color = p.Color;
            Kind = p.LineKind;
            Width = width;
        }
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
    static constexpr GLenum None = 0xFFFF;
    TGLUnit& GL;
    GLenum Mode = None;
    TColor Color = 0;
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
