// SPH: latitude/longitude sphere with triangle fans at the poles.
#include "MeshTypes.h"

using namespace meshutil;

void BuildSphMesh(const TGeoData& b, double, const TMeshCounts& c, TMatrixAA3d& out) {
    int n = c.SphSlices, m = c.SphStacks;
    if (n < 1 || m < 2) return;
    TVector v = Vec(b, 0);
    double r = b.Params[3];
    TGrid g = MakeGrid(n + 1, m + 1);
    for (int i = 0; i <= n; ++i) {
        double th = i * 2 * Pi / n;
        for (int j = 0; j <= m; ++j) {
            double ph = j * Pi / m;
            g[static_cast<size_t>(i)][static_cast<size_t>(j)] =
                v +
                TVector{-std::sin(th) * std::sin(ph), std::cos(th) * std::sin(ph), std::cos(ph)} *
                    r;
        }
    }
    out.reserve(static_cast<size_t>(n * m));
    for (int i = 0; i < n; ++i) out.push_back({G(g, i, 0), G(g, i, 1), G(g, i + 1, 1)});
    for (int i = 0; i < n; ++i) out.push_back({G(g, i, m), G(g, i + 1, m - 1), G(g, i, m - 1)});
    for (int j = 1; j <= m - 2; ++j)
        for (int i = 0; i < n; ++i)
            out.push_back({G(g, i, j + 1), G(g, i + 1, j + 1), G(g, i + 1, j), G(g, i, j)});
}

// Every sphere is the unit sphere moved to V and scaled by R: one mesh serves them all.
void MakeUnitSph(TGeoData& unit) {
    unit.Params = {};
    unit.Params[3] = 1;
}

void PlaceSph(const TGeoData& b, TVector& origin, double& scale) {
    origin = Vec(b, 0);
    scale = b.Params[3];
}
