// REC: right elliptic cylinder, base centre V, axis H, semi-axes R1 and R2.
#include "BodyTypes.h"

#include <algorithm>

// Shared with TEC: min(V, V + H) -/+ Rm with Rm = max(|R1|, |R2|) times the factor.
void EllipticExtent(const TGeoData& b, double factor, double e[6]) {
    TVector v = ParamVec(b, 1), t = v + ParamVec(b, 4);
    double rm = std::max(Length(ParamVec(b, 7)), Length(ParamVec(b, 10))) * factor;
    e[0] = std::min(v.x, t.x) - rm, e[1] = std::max(v.x, t.x) + rm;
    e[2] = std::min(v.y, t.y) - rm, e[3] = std::max(v.y, t.y) + rm;
    e[4] = std::min(v.z, t.z) - rm, e[5] = std::max(v.z, t.z) + rm;
}

// Shared with TEC: K[0] = |H|^2, K[1] = |R1|^4, K[2] = |R2|^4, K[3] = K[1]*K[2],
// K[6] = 1/|R1|^2, K[7] = 1/|R2|^2.
void EllipticPrepare(const TGeoData& b, TBodyPrep& p) {
    TVector h = ParamVec(b, 4), r1 = ParamVec(b, 7), r2 = ParamVec(b, 10);
    double l1 = Dot(r1, r1), l2 = Dot(r2, r2);
    p.K[0] = Dot(h, h), p.K[1] = l1 * l1, p.K[2] = l2 * l2, p.K[3] = p.K[1] * p.K[2];
    p.K[6] = 1 / l1, p.K[7] = 1 / l2;
}

// Shared with TEC: the box of the elliptic cylinder (factor 1) or cone (factor k).
bool EllipticBound(const TGeoData& b, double factor, double box[6]) {
    TVector r[3] = {ParamVec(b, 7), ParamVec(b, 10), ParamVec(b, 4)};
    for (TVector& x : r) x = x * (1.0 / Dot(x, x));
    return EllipticBox(ParamVec(b, 1), r, factor, box);
}

namespace {
void Extent(const TGeoData& b, double e[6]) {
    EllipticExtent(b, 1.0, e);
}
bool Bound(const TGeoData& b, const TBodyPrep&, double box[6]) {
    return EllipticBound(b, 1.0, box);
}

bool Inside(const TGeoData& b, const TBodyPrep& p, double x, double y, double z) {
    TVector w{x - b.Params[0], y - b.Params[1], z - b.Params[2]};
    double h = Dot(w, ParamVec(b, 4));
    if (!(0 <= h && h <= p.K[0])) return false;
    double a = Dot(w, ParamVec(b, 7)), bb = Dot(w, ParamVec(b, 10));
    return p.K[1] * bb * bb + p.K[2] * a * a - p.K[3] <= 0;
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    TVector w = ParamVec(b, 1) - o;
    TVector hv = ParamVec(b, 4), r1 = ParamVec(b, 7), r2 = ParamVec(b, 10);
    double h2 = p.K[0];
    double c = Dot(w, hv), dH = Dot(d, hv);
    // side, in the coordinates of the semi-axes (the ellipse is the unit circle there):
    // A.t^2 - 2B.t + C <= 0 inside. A is 0 only for rays parallel to the axis.
    double a = Dot(w, r1) * p.K[6], bb = Dot(w, r2) * p.K[7];
    double dA = Dot(d, r1) * p.K[6], dB = Dot(d, r2) * p.K[7];
    double A = dA * dA + dB * dB;
    double B = dA * a + dB * bb;
    double C = a * a + bb * bb - 1;
    double tLo = -NoBound, tHi = NoBound;
    if (A != 0 && QuadraticRoots(A, B, C, tLo, tHi) < 2) return;
    // caps
    double capNear = -NoBound, capFar = NoBound;
    int nearId = 1, farId = 2;
    if (dH > 0) {
        if (c + h2 <= 0) return;
        capFar = (c + h2) / dH, farId = 2;
        capNear = c / dH, nearId = 1;
    } else if (dH < 0) {
        if (c >= 0) return;
        capFar = c / dH, farId = 1;
        capNear = (c + h2) / dH, nearId = 2;
    }
    double tIn = capNear, tOut = capFar;
    int inId = nearId, outId = farId;
    if (capNear <= tLo) tIn = tLo, inId = 3;
    if (tHi < capFar) tOut = tHi, outId = 3;
    if (!(tIn < tOut)) return;
    auto valid = [&](double t, int id) {
        if (id == 3) {
            double ax = t * dH - c;
            return 0 <= ax && ax <= h2;
        }
        return A * t * t - 2 * B * t + C <= 0;
    };
    if (!valid(tOut, outId) || !valid(tIn, inId)) return;
    if (0 <= tIn && tIn < NoBound) AddHit(o, d, b, tIn, 1, pts, codes);
    if (0 <= tOut && tOut < NoBound) AddHit(o, d, b, tOut, 2, pts, codes);
}
} // namespace

const TBodyType RecType = {"REC",     12,   Extent, EllipticPrepare, Bound, Inside,
                           Crossings, true, true};
