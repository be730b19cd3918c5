// GEL: general ellipsoid from two half-shells; local x along A1, y towards A2.
#include "MeshTypes.h"

using namespace meshutil;

void BuildGelMesh(const TGeoData& b, double, const TMeshCounts& c, TMatrixAA3d& out) {
    int n = c.GelSlices, m = c.GelStacks;
    if (n < 1 || m < 1) return;
    TVector v = Vec(b, 0), a1 = Vec(b, 3), a2 = Vec(b, 6), a3 = Vec(b, 9);
    double s1 = Len(a1), s2 = Len(a2), s3 = Len(a3);
    TVector ex, ey, ez;
    if (!FrameFromXY(a1, a2, ex, ey, ez)) return;
    TGrid up = MakeGrid(n + 1, m + 1), low = MakeGrid(n + 1, m + 1);
    for (int i = 0; i <= n; ++i) {
        double vi = i * Pi / n;
        for (int j = 0; j <= m; ++j) {
            double uj = j * Pi / m;
            double x = s1 * std::cos(uj), y = s2 * std::sin(uj) * std::cos(vi);
            double z = s3 * std::sin(uj) * std::sin(vi);
            up[static_cast<size_t>(i)][static_cast<size_t>(j)] = v + ex * x + ey * y + ez * z;
            low[static_cast<size_t>(i)][static_cast<size_t>(j)] = v + ex * x + ey * y - ez * z;
        }
    }
    out.reserve(static_cast<size_t>(2 * n * m));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j)
            out.push_back({G(up, i, j + 1), G(up, i + 1, j + 1), G(up, i + 1, j), G(up, i, j)});
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j)
            out.push_back({G(low, i, j + 1), G(low, i, j), G(low, i + 1, j), G(low, i + 1, j + 1)});
}
