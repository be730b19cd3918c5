// HEX: regular hexagonal prism; the face normals lie along A turned by 0, +60, -60 degrees.
#include "MeshTypes.h"

using namespace meshutil;

void BuildHexMesh(const TGeoData& b, double, const TMeshCounts&, TMatrixAA3d& out) {
    constexpr int n = 6, m = 1;
    TAxisFrame f = AxisFrame(Vec(b, 3), Vec(b, 0));
    if (!f.Valid) return;
    double rho = b.Params[6] / std::sqrt(3.0);
    TVector la = f.ToLocal(Vec(b, 7));
    double gamma = (la.x == 0 && la.y == 0) ? 0.0 : std::atan2(la.y, la.x);
    gamma += Pi / 6; // corners lie 30 degrees away from the face normals
    TGrid g = MakeGrid(n + 2, m + 1);
    for (int j = 0; j <= m; ++j) {
        double z = j * f.Length;
        for (int i = 0; i <= n; ++i) {
            double th = i * Pi / 3;
            g[static_cast<size_t>(i)][static_cast<size_t>(j)] =
                f.Place(RotZ({rho * std::cos(th), rho * std::sin(th), z}, gamma));
        }
        g[static_cast<size_t>(n + 1)][static_cast<size_t>(j)] = f.Place({0, 0, z});
    }
    CappedTubePolygons(g, n, m, out);
}
