// SPH: sphere with centre V and radius R.
#include "BodyTypes.h"

#include <algorithm>

namespace {
void Extent(const TGeoData& b, double e[6]) {
    TVector v = ParamVec(b, 1);
    double r = Param(b, 4);
    e[0] = v.x - r, e[1] = v.x + r, e[2] = v.y - r, e[3] = v.y + r, e[4] = v.z - r, e[5] = v.z + r;
}

bool Bound(const TGeoData& b, const TBodyPrep&, double box[6]) {
    TVector v = ParamVec(b, 1);
    double r = std::fabs(Param(b, 4));
    BoxAround({v.x - r, v.y - r, v.z - r}, {v.x + r, v.y + r, v.z + r}, box);
    return true;
}

bool Inside(const TGeoData& b, const TBodyPrep&, double x, double y, double z) {
    const auto& p = b.Params;
    double dx = x - p[0], dy = y - p[1], dz = z - p[2];
    return dx * dx + dy * dy + dz * dz <= p[3] * p[3];
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep&,
               TMatrixA3d& pts, TMatrixAi& codes) {
    TVector w = o - ParamVec(b, 1);
    double r = Param(b, 4);
    double bb = Dot(w, d), c = Dot(w, w) - r * r;
    double disc = bb * bb - c;
    if (disc < 0) return;
    double s = std::sqrt(disc);
    if (c > 0) {
        double t1 = -bb - s, t2 = s - bb;
        if (t1 >= 0) AddHit(o, d, b, t1, 2, pts, codes);
        if (t2 >= 0) AddHit(o, d, b, t2, 3, pts, codes);
    } else {
        double t = s - bb;
        if (t >= 0) AddHit(o, d, b, t, 1, pts, codes);
    }
}
// Nearest and farthest points of the box from the centre.
TBoxSide BoxSide(const TGeoData& b, const TBodyPrep&, const double lo[3], const double hi[3],
                 double m) {
    double near2 = 0, far2 = 0;
    for (int a = 0; a < 3; ++a) {
        double c = b.Params[static_cast<size_t>(a)];
        double g = c < lo[a] ? lo[a] - c : c > hi[a] ? c - hi[a] : 0;
        double f = std::max(std::fabs(lo[a] - c), std::fabs(hi[a] - c));
        near2 += g * g;
        far2 += f * f;
    }
    double r = std::fabs(Param(b, 4));
    if (near2 > (r + m) * (r + m)) return TBoxSide::Outside;
    if (r > m && far2 < (r - m) * (r - m)) return TBoxSide::Inside;
    return TBoxSide::Unknown;
}
} // namespace

const TBodyType SphType = {"SPH",     4,     Extent, nullptr, Bound, Inside,
                           Crossings, false, true,   BoxSide};
