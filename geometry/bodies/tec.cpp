// TEC: truncated elliptic cone; the base ellipse scaled by 1 - (1 - k).t along the axis.
#include "BodyTypes.h"

namespace {
// K[0..3], K[6], K[7] as REC, K[4] = 1 - k
void Extent(const TGeoData& b, double e[6]) {
    double k = Param(b, 13);
    EllipticExtent(b, k > 1 ? k : 1.0, e);
}

void Prepare(const TGeoData& b, TBodyPrep& p) {
    EllipticPrepare(b, p);
    p.K[4] = 1 - Param(b, 13);
}

bool Bound(const TGeoData& b, const TBodyPrep&, double box[6]) {
    return EllipticBound(b, Param(b, 13), box);
}

bool Inside(const TGeoData& b, const TBodyPrep& p, double x, double y, double z) {
    TVector w{x - b.Params[0], y - b.Params[1], z - b.Params[2]};
    double h = Dot(w, ParamVec(b, 4));
    if (!(0 <= h && h <= p.K[0])) return false;
    double a = Dot(w, ParamVec(b, 7)), bb = Dot(w, ParamVec(b, 10));
    double s = 1 - p.K[4] * h / p.K[0];
    return p.K[1] * bb * bb + p.K[2] * a * a - p.K[3] * s * s <= 0;
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    TVector v = ParamVec(b, 1), hv = ParamVec(b, 4), r1 = ParamVec(b, 7), r2 = ParamVec(b, 10);
    double h2 = p.K[0], lam = p.K[4], ratio = Param(b, 13);
    TVector w = o - v;
    double c0 = Dot(w, hv), dH = Dot(d, hv);
    // The side function in the coordinates of the semi-axes and the axial fraction g, where the
    // cross-section is the circle of radius 1 - lam.g: G(t) = A.t^2 + 2B.t + C <= 0 inside.
    // A is 0 for rays parallel to a generator of the cone.
    double a0 = Dot(w, r1) * p.K[6], b0 = Dot(w, r2) * p.K[7];
    double dA = Dot(d, r1) * p.K[6], dB = Dot(d, r2) * p.K[7];
    double s0 = 1 - lam * c0 / h2, ds = -lam * dH / h2;
    double A = dA * dA + dB * dB - ds * ds;
    double B = a0 * dA + b0 * dB - s0 * ds;
    double C = a0 * a0 + b0 * b0 - s0 * s0;
    bool side = true;
    double t1 = -NoBound, t2 = NoBound;
    if (A != 0)
        side = QuadraticRoots(A, -B, C, t1, t2) > 0;
    else if (B != 0)
        t1 = t2 = -C / (2 * B);
    if (side) {
        auto axial = [&](double t) {
            double ax = Dot(RayPoint(o, d, t) - v, hv);
            return 0 <= ax && ax <= h2;
        };
        if (0 <= t1 && t1 < NoBound && axial(t1)) AddHit(o, d, b, t1, 1, pts, codes);
        if (0 <= t2 && t2 < NoBound && axial(t2) && t2 != t1) AddHit(o, d, b, t2, 2, pts, codes);
    }
    double capNear, capFar, sigmaNear, sigmaFar;
    if (dH > 0) {
        if (h2 - c0 < 0) return;
        capFar = (h2 - c0) / dH, sigmaFar = ratio;
        capNear = -c0 / dH, sigmaNear = 1;
    } else if (dH < 0) {
        if (c0 < 0) return;
        capFar = -c0 / dH, sigmaFar = 1;
        capNear = (h2 - c0) / dH, sigmaNear = ratio;
    } else {
        return;
    }
    double ts[2] = {capNear, capFar}, sig[2] = {sigmaNear, sigmaFar};
    for (int i = 0; i < 2; ++i) {
        double t = ts[i];
        if (!(0 <= t && t < NoBound)) continue;
        TVector q = RayPoint(o, d, t) - v;
        double a = Dot(q, r1) * p.K[6], bb = Dot(q, r2) * p.K[7];
        if (a * a + bb * bb <= sig[i] * sig[i]) AddHit(o, d, b, t, 3 + i, pts, codes);
    }
}
} // namespace

const TBodyType TecType = {"TEC", 13, Extent, Prepare, Bound, Inside, Crossings, true};
