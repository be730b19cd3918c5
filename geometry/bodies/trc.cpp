// TRC: truncated right circular cone, radius R1 at the base V and R2 at the top V + H.
#include "BodyTypes.h"

#include <algorithm>

namespace {
// K[0] = h = |H|, K[1] = slope (R2 - R1)/h
void Extent(const TGeoData& b, double e[6]) {
    TVector v = ParamVec(b, 1), t = v + ParamVec(b, 4);
    double r = std::max(Param(b, 7), Param(b, 8));
    e[0] = std::min(v.x, t.x) - r, e[1] = std::max(v.x, t.x) + r;
    e[2] = std::min(v.y, t.y) - r, e[3] = std::max(v.y, t.y) + r;
    e[4] = std::min(v.z, t.z) - r, e[5] = std::max(v.z, t.z) + r;
}

void Prepare(const TGeoData& b, TBodyPrep& p) {
    p.K[0] = Length(ParamVec(b, 4));
    p.K[1] = (Param(b, 8) - Param(b, 7)) / p.K[0];
}

bool Bound(const TGeoData& b, const TBodyPrep&, double box[6]) {
    TVector v = ParamVec(b, 1), t = v + ParamVec(b, 4);
    double r = std::max(std::fabs(Param(b, 7)), std::fabs(Param(b, 8)));
    BoxAround({std::min(v.x, t.x) - r, std::min(v.y, t.y) - r, std::min(v.z, t.z) - r},
              {std::max(v.x, t.x) + r, std::max(v.y, t.y) + r, std::max(v.z, t.z) + r}, box);
    return true;
}

bool Inside(const TGeoData& b, const TBodyPrep& p, double x, double y, double z) {
    const auto& q = b.Params;
    double h = p.K[0];
    TVector w{x - q[0], y - q[1], z - q[2]};
    double t = Dot(w, ParamVec(b, 4)) / h;
    if (!(0 <= t && t <= h)) return false;
    double rho = std::sqrt(std::fabs(Dot(w, w) - t * t));
    return rho <= q[6] + t * (q[7] - q[6]) / h;
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    TVector v = ParamVec(b, 1), hv = ParamVec(b, 4);
    double r1 = Param(b, 7), r2 = Param(b, 8), h = p.K[0], kappa = p.K[1];
    TVector w = o - v;
    double a0 = Dot(w, hv) / h, dA = Dot(d, hv) / h;
    double rho0 = r1 + kappa * a0;
    auto axial = [&](double t) { return Dot(RayPoint(o, d, t) - v, hv) / h; };
    auto rho2 = [&](double t) {
        TVector q = RayPoint(o, d, t) - v;
        double a = Dot(q, hv) / h;
        return std::fabs(Dot(q, q) - a * a);
    };
    if (dA > 0) {
        if (a0 <= 0) {
            double t = -a0 / dA;
            if (rho2(t) <= r1 * r1) AddHit(o, d, b, t, 3, pts, codes);
        }
        if (a0 <= h) {
            double t = (h - a0) / dA;
            if (rho2(t) <= r2 * r2) AddHit(o, d, b, t, 4, pts, codes);
        }
    } else if (dA < 0) {
        if (a0 >= 0) {
            double t = -a0 / dA;
            if (rho2(t) <= r1 * r1) AddHit(o, d, b, t, 1, pts, codes);
        }
        if (a0 >= h) {
            double t = (h - a0) / dA;
            if (rho2(t) <= r2 * r2) AddHit(o, d, b, t, 2, pts, codes);
        }
    }
    double m = 1 - dA * dA * (kappa * kappa + 1);
    double g = (kappa * rho0 + a0) * dA - Dot(w, d);
    double e = Dot(w, w) - rho0 * rho0 - a0 * a0;
    if (m != 0) {
        double t0 = g / m;
        double disc = t0 * t0 - e / m;
        if (disc >= 0) {
            double s = std::sqrt(disc);
            double ts[2] = {t0 - s, t0 + s};
            for (int i = 0; i < 2; ++i) {
                double t = ts[i];
                if (!(t >= 0)) continue;
                double a = axial(t);
                if (0 <= a && a <= h) AddHit(o, d, b, t, 6 + i, pts, codes);
            }
        }
    } else {
        double t = e / (2 * g);
        if (t >= 0) {
            double a = axial(t);
            if (0 <= a && a <= h) AddHit(o, d, b, t, 5, pts, codes);
        }
    }
}
} // namespace

const TBodyType TrcType = {"TRC", 8, Extent, Prepare, Bound, Inside, Crossings, true, true};
