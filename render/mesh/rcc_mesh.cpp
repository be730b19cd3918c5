// RCC: capped cylinder; its points are rounded to 4 significant digits.
#include "MeshTypes.h"

using namespace meshutil;

void BuildRccMesh(const TGeoData& b, double, const TMeshCounts& c, TMatrixAA3d& out) {
    int n = c.RccSlices, m = c.RccStacks;
    TAxisFrame f = AxisFrame(Vec(b, 3), Vec(b, 0));
    if (!f.Valid || n < 1 || m < 1) return;
    double r = b.Params[6];
    auto place = [&](const TVector& local) {
        TVector p = f.Place(local);
        return TVector{RoundTo4Digits(p.x), RoundTo4Digits(p.y), RoundTo4Digits(p.z)};
    };
    TGrid g = MakeGrid(n + 2, m + 1);
    for (int j = 0; j <= m; ++j) {
        double z = j * f.Length / m;
        for (int i = 0; i <= n; ++i) {
            double th = i * 2 * Pi / n;
            g[static_cast<size_t>(i)][static_cast<size_t>(j)] =
                place({r * std::cos(th), r * std::sin(th), z});
        }
        g[static_cast<size_t>(n + 1)][static_cast<size_t>(j)] = place({0, 0, z});
    }
    CappedTubePolygons(g, n, m, out);
}
