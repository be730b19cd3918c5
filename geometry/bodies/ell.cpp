// ELL: ellipsoid of revolution with foci F1, F2 and major axis length L.
#include "BodyTypes.h"

#include <algorithm>

namespace {
void Extent(const TGeoData& b, double e[6]) {
    TVector f1 = ParamVec(b, 1), f2 = ParamVec(b, 4);
    double m = (Param(b, 7) - Length(f2 - f1)) / 2;
    e[0] = std::min(f1.x, f2.x) - m, e[1] = std::max(f1.x, f2.x) + m;
    e[2] = std::min(f1.y, f2.y) - m, e[3] = std::max(f1.y, f2.y) + m;
    e[4] = std::min(f1.z, f2.z) - m, e[5] = std::max(f1.z, f2.z) + m;
}

// Every point of the solid lies within L/2 of the centre between the foci.
bool Bound(const TGeoData& b, const TBodyPrep&, double box[6]) {
    TVector c = (ParamVec(b, 1) + ParamVec(b, 4)) * 0.5;
    double a = std::fabs(Param(b, 7)) / 2;
    BoxAround({c.x - a, c.y - a, c.z - a}, {c.x + a, c.y + a, c.z + a}, box);
    return true;
}

bool Inside(const TGeoData& b, const TBodyPrep&, double x, double y, double z) {
    TVector p{x, y, z};
    return Length(p - ParamVec(b, 1)) + Length(p - ParamVec(b, 4)) <= Param(b, 7);
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep&,
               TMatrixA3d& pts, TMatrixAi& codes) {
    TVector w1 = o - ParamVec(b, 1), w2 = o - ParamVec(b, 4);
    double len = Param(b, 7);
    double b1 = Dot(w1, d), c1 = Dot(w1, w1), b2 = Dot(w2, d), c2 = Dot(w2, w2);
    double kappa = (b2 - b1) / len;
    double mu = (len * len + c2 - c1) / (2 * len);
    double alpha = kappa * kappa - 1;
    double beta = (kappa * mu - b2) / alpha;
    double gamma = (mu * mu - c2) / alpha;
    double disc = beta * beta - gamma;
    if (!(disc >= 0)) return;
    double s = std::sqrt(disc);
    if (-beta - s >= 0) AddHit(o, d, b, -beta - s, 1, pts, codes);
    if (-beta + s >= 0) AddHit(o, d, b, -beta + s, 2, pts, codes);
}
} // namespace

const TBodyType EllType = {"ELL", 7, Extent, nullptr, Bound, Inside, Crossings, true};
