#include "GLDraw.h"

#include <GL/gl.h>

#include <cmath>

namespace {

TVector UnitOrSame(const TVector& v) { // shorter than 1e-6: left as it is
    double l = std::sqrt(Dot(v, v));
    return l < 1e-6 ? v : v * (1.0 / l);
}

constexpr GLenum NoPrimitive = 0xFFFF;

} // namespace

void DrawMeshBatched(TGLUnit& gl, const TGeoData& body, int polygonIndex) {
    const TMatrixAA3d& mesh = body.MeshGrid;
    size_t first = 0, last = mesh.size();
    if (polygonIndex >= 0) {
        if (static_cast<size_t>(polygonIndex) >= mesh.size()) return;
        first = static_cast<size_t>(polygonIndex);
        last = first + 1;
    }
    const bool filled = gl.DrawMode == 1;
    GLenum open = NoPrimitive;
    auto begin = [&](GLenum mode) {
        if (open == mode) return;
        if (open != NoPrimitive) glEnd();
        glBegin(mode);
        open = mode;
    };
    bool any = false;
    for (size_t k = first; k < last; ++k) {
        const TMatrixA3d& p = mesh[k];
        if (p.size() != 3 && p.size() != 4) continue;
        if (!any) {
            if (filled)
                glEnable(GL_LIGHTING);
            else
                glDisable(GL_LIGHTING);
            any = true;
        }
        if (!filled) { // every outline is its own loop
            begin(GL_LINE_LOOP);
            for (const TVector& v : p) glVertex3d(v.x, v.y, v.z);
            glEnd();
            open = NoPrimitive;
            continue;
        }
        if (p.size() == 3) {
            begin(GL_TRIANGLES);
        } else {
            TVector n = UnitOrSame(Cross(UnitOrSame(p[1] - p[0]), UnitOrSame(p[2] - p[1])));
            begin(GL_QUADS);
            glNormal3d(n.x, n.y, n.z);
        }
        for (const TVector& v : p) glVertex3d(v.x, v.y, v.z);
    }
    if (open != NoPrimitive) glEnd();
}
