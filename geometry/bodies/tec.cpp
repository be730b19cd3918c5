// TEC: truncated elliptic cone; the base ellipse scaled by 1 - (1 - k).t along the axis.
#include "BodyTypes.h"

namespace {
// K[0..3] as REC, K[4] = 1 - k, K[5] = |H|^4
void Extent(const TGeoData& b, double e[6]) {
    double k = Param(b, 13);
    EllipticExtent(b, k > 1 ? k : 1.0, e);
}

void Prepare(const TGeoData& b, TBodyPrep& p) {
    EllipticPrepare(b, p);
    p.K[4] = 1 - Param(b, 13);
    p.K[5] = p.K[0] * p.K[0];
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
    double h2 = p.K[0], q1 = p.K[1], q2 = p.K[2], lam = p.K[4], h4 = p.K[5], ratio = Param(b, 13);
    TVector w = o - v;
    double a0 = Dot(w, r1), b0 = Dot(w, r2), c0 = Dot(w, hv);
    double dA = Dot(d, r1), dB = Dot(d, r2), dH = Dot(d, hv);
    double top = h2 - lam * c0;
    double A = h4 * (q2 * dA * dA + q1 * dB * dB) - q1 * q2 * lam * lam * dH * dH;
    double B = h4 * (q2 * a0 * dA + q1 * b0 * dB) + q1 * q2 * lam * dH * top;
    double C = h4 * (q2 * a0 * a0 + q1 * b0 * b0) - q1 * q2 * top * top;
    bool side = true;
    double t1 = -NoBound, t2 = NoBound;
    if (std::fabs(A) > 1e-6) {
        double m = B / A, disc = m * m - C / A;
        if (disc < 0)
            side = false;
        else if (disc == 0)
            t1 = t2 = -m;
        else
            t1 = -m - std::sqrt(disc), t2 = -m + std::sqrt(disc);
    } else if (std::fabs(B) > 1e-6) {
        t1 = t2 = -C / (2 * B);
    }
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
        double a = Dot(q, r1), bb = Dot(q, r2);
        if (q1 * bb * bb + q2 * a * a - q1 * q2 * sig[i] * sig[i] <= 0)
            AddHit(o, d, b, t, 3 + i, pts, codes);
    }
}
} // namespace

const TBodyType TecType = {"TEC", 13, Extent, Prepare, Bound, Inside, Crossings, true};
