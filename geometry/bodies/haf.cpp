// HAF: half-space P.N/|N| >= d.
#include "BodyTypes.h"

namespace {
// K[0] = |N|
void Extent(const TGeoData& b, double e[6]) {
    double d = Param(b, 4);
    double m = std::sqrt(d * d / 3);
    for (int i = 0; i < 3; ++i) e[2 * i] = -m, e[2 * i + 1] = m;
}

void Prepare(const TGeoData& b, TBodyPrep& p) {
    p.K[0] = Length(ParamVec(b, 1));
}

bool Inside(const TGeoData& b, const TBodyPrep& p, double x, double y, double z) {
    return Dot({x, y, z}, ParamVec(b, 1)) >= Param(b, 4) * p.K[0];
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    TVector n = ParamVec(b, 1);
    double nd = Dot(n, d);
    if (nd == 0) return;
    double t = (Param(b, 4) * p.K[0] - Dot(n, o)) / nd;
    if (t >= 0) AddHit(o, d, b, t, 1, pts, codes);
}
// Signed distances of the corners from the plane decide both sides.
TBoxSide BoxSide(const TGeoData& b, const TBodyPrep& p, const double lo[3], const double hi[3],
                 double m) {
    TVector n = ParamVec(b, 1);
    if (!(p.K[0] > 0)) return TBoxSide::Unknown;
    double c = Param(b, 4) * p.K[0], low = 0, high = 0;
    const double nv[3] = {n.x, n.y, n.z};
    for (int a = 0; a < 3; ++a) {
        low += nv[a] * (nv[a] >= 0 ? lo[a] : hi[a]);
        high += nv[a] * (nv[a] >= 0 ? hi[a] : lo[a]);
    }
    double margin = m * p.K[0];
    if (low - c >= margin) return TBoxSide::Inside;
    if (c - high >= margin) return TBoxSide::Outside;
    return TBoxSide::Unknown;
}
} // namespace

const TBodyType HafType = {"HAF",     4,     Extent, Prepare, nullptr, Inside,
                           Crossings, false, false,  BoxSide};
