// ELL: ellipsoid of revolution about the line through its foci.
#include "MeshTypes.h"

using namespace meshutil;

void BuildEllMesh(const TGeoData& b, double, const TMeshCounts& c, TMatrixAA3d& out) {
    int n = c.EllSlices, m = c.EllStacks;
    if (n < 1 || m < 1) return;
    TVector f1 = Vec(b, 0), f2 = Vec(b, 3);
    TVector q = (f1 + f2) * 0.5;
    double a = b.Params[6] / 2;
    double e = Len(f1 - q);
    double bb = std::sqrt(std::max(0.0, a * a - e * e));
    TVector ex{1, 0, 0}, ey{0, 1, 0}, ez{0, 0, 1};
    if (e > 0) FrameFromXY(f1 - q, {0, 1, 0}, ex, ey, ez);
    TGrid g = MakeGrid(n + 1, m + 1);
    for (int j = 0; j <= m; ++j) {
        double x = a * std::cos(j * Pi / m), r = bb * std::sin(j * Pi / m);
        for (int i = 0; i <= n; ++i) {
            double th = i * 2 * Pi / n;
            g[static_cast<size_t>(i)][static_cast<size_t>(j)] =
                q + ex * x + ey * (r * std::cos(th)) + ez * (r * std::sin(th));
        }
    }
    out.reserve(static_cast<size_t>(n * m));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j)
            out.push_back({G(g, i, j + 1), G(g, i + 1, j + 1), G(g, i + 1, j), G(g, i, j)});
}
