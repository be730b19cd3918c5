// TOR: torus sector with end caps; A1 = A2 is the full ring, as in the inside test.
#include "MeshTypes.h"

using namespace meshutil;

void BuildTorMesh(const TGeoData& b, double, const TMeshCounts& c, TMatrixAA3d& out) {
    int n = c.TorSlices, m = c.TorStacks;
    if (n < 1 || m < 1) return;
    TVector v = Vec(b, 0);
    double big = b.Params[3], small = b.Params[4];
    double a1 = b.Params[5], a2 = b.Params[6];
    long axis = std::lround(b.Params[7]);
    double sweep = a2 - a1;
    if (sweep < 0) sweep += 360;
    // A sweep of 0 (A1 = A2) or a multiple of 360 is the closed ring; larger sweeps would
    // only draw the ring twice.
    sweep = std::fmod(sweep, 360.0);
    if (sweep <= 0) sweep = 360;
    bool ring = sweep == 360;
    TGrid g = MakeGrid(n + 1, m + 2);
    for (int i = 0; i <= n; ++i) {
        double ph = (a1 + i * sweep / n) * Pi / 180;
        for (int j = 0; j <= m + 1; ++j) {
            double ps = j * 2 * Pi / m;
            double cp = j <= m ? std::cos(ps) : 0, sp = j <= m ? std::sin(ps) : 0;
            TVector p{(big + small * cp) * std::cos(ph), (big + small * cp) * std::sin(ph),
                      small * sp};
            if (axis == 1)
                p = RotX(RotY(p, Pi / 2), Pi / 2);
            else if (axis == 2)
                p = RotY(RotX(p, -Pi / 2), -Pi / 2);
            g[static_cast<size_t>(i)][static_cast<size_t>(j)] = p + v;
        }
    }
    out.reserve(static_cast<size_t>(n * m + (ring ? 0 : 2 * m)));
    for (int j = 0; j < m; ++j)
        for (int i = 0; i < n; ++i)
            out.push_back({G(g, i, j), G(g, i + 1, j), G(g, i + 1, j + 1), G(g, i, j + 1)});
    if (ring) return;
    for (int t = 0; t < m; ++t) out.push_back({G(g, 0, m + 1), G(g, 0, t), G(g, 0, t + 1)});
    for (int t = 0; t < m; ++t) out.push_back({G(g, n, m + 1), G(g, n, t + 1), G(g, n, t)});
}
