// TRC: capped truncated cone, radius varying linearly from R1 at the base to R2 at the top.
#include "MeshTypes.h"

using namespace meshutil;

void BuildTrcMesh(const TGeoData& b, double, const TMeshCounts& c, TMatrixAA3d& out) {
    int n = c.TrcSlices, m = c.TrcStacks;
    TAxisFrame f = AxisFrame(Vec(b, 3), Vec(b, 0));
    if (!f.Valid || n < 1 || m < 1) return;
    double r1 = b.Params[6], r2 = b.Params[7];
    TGrid g = MakeGrid(n + 2, m + 1);
    for (int j = 0; j <= m; ++j) {
        double z = j * f.Length / m;
        double r = r1 + j * (r2 - r1) / m;
        for (int i = 0; i <= n; ++i) {
            double th = i * 2 * Pi / n;
            g[static_cast<size_t>(i)][static_cast<size_t>(j)] =
                f.Place({r * std::cos(th), r * std::sin(th), z});
        }
        g[static_cast<size_t>(n + 1)][static_cast<size_t>(j)] = f.Place({0, 0, z});
    }
    CappedTubePolygons(g, n, m, out);
}
