// Camera framing: fit view and the mouse-wheel zoom.
#include "MyGLUnit.h"
#include "Scene.h"

#include <algorithm>
#include <cmath>

void TGLUnit::FrameBox(const std::array<double, 6>& box) {
    const double c[3] = {(box[0] + box[1]) / 2, (box[2] + box[3]) / 2, (box[4] + box[5]) / 2};
    const double h[3] = {(box[1] - box[0]) / 2, (box[3] - box[2]) / 2, (box[5] - box[4]) / 2};
    // Rotation is column-major: screen axis r of world axis k is element 4k + r.
    double centre[3], extent[3];
    for (int r = 0; r < 3; ++r) {
        centre[r] = extent[r] = 0;
        for (int k = 0; k < 3; ++k) {
            centre[r] += Rotation[static_cast<size_t>(4 * k + r)] * c[k];
            extent[r] += std::fabs(Rotation[static_cast<size_t>(4 * k + r)]) * h[k];
        }
    }
    // The depth counts half: the perspective camera stands 4 Size away and sees 8 Size deep.
    double size = std::max({extent[0], extent[1], extent[2] / 2});
    if (!(size > 0) || !std::isfinite(size)) {
        const double far = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
        size = far > 0 && std::isfinite(far) ? 1e-3 * far : 1.0;
    }
    Translation = IdentityMatrix();
    Translate(-centre[0], -centre[1], -centre[2]);
    Size = size;
}

void TGLUnit::ZoomAt(double factor, int x, int y) {
    if (!(factor > 0) || !std::isfinite(factor)) return;
    const int w = std::max(1, Control ? Control->ClientWidth() : ViewWidth);
    const int h = std::max(1, Control ? Control->ClientHeight() : ViewHeight);
    // Scene units per pixel at the origin's depth: the shorter side spans 2 ViewUnit in the
    // parallel projection, the height in the perspective one.
    const double perPixel = 2 * ViewUnit() / (Projection == 0 ? std::min(w, h) : h);
    const double ex = (x - w / 2.0) * perPixel, ey = (h / 2.0 - y) * perPixel;
    const double size = Size * factor;
    if (!(size > 0) || !std::isfinite(size)) return;
    Size = size;
    Translate((factor - 1) * ex, (factor - 1) * ey, 0);
}

bool FitView(TGLUnit& gl, const TGeometry& geometry, const TDisplaySettings& settings) {
    TBox box;
    if (!DrawnBox(geometry, settings, box)) return false;
    gl.FrameBox(box);
    return true;
}

void SetViewWindow(TGLUnit& gl, int viewMode, const double window[4]) {
    gl.SetView(viewMode);
    int u = 0, v = 1; // the world axes along the picture's width and height
    switch (viewMode) {
    case 1:
        u = 0, v = 2;
        break;
    case 3:
        u = 1, v = 2;
        break;
    case 5:
        u = 2, v = 1;
        break;
    default:
        break;
    }
    // Column-major: the eye x and y of world axis a are Rotation[4a] and Rotation[4a + 1].
    const double su = gl.Rotation[static_cast<size_t>(4 * u)];
    const double sv = gl.Rotation[static_cast<size_t>(4 * v + 1)];
    gl.UseWindow = true;
    gl.Window[0] = su >= 0 ? window[0] : -window[1];
    gl.Window[1] = su >= 0 ? window[1] : -window[0];
    gl.Window[2] = sv >= 0 ? window[2] : -window[3];
    gl.Window[3] = sv >= 0 ? window[3] : -window[2];
}
