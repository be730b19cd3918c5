// RCC: right circular cylinder, base centre V, axis H, radius R.
#include "BodyTypes.h"

#include <algorithm>

namespace {
// K[0] = h = |H|
void Extent(const TGeoData& b, double e[6]) {
    TVector v = ParamVec(b, 1), t = v + ParamVec(b, 4);
    double r = Param(b, 7);
    e[0] = std::min(v.x, t.x) - r, e[1] = std::max(v.x, t.x) + r;
    e[2] = std::min(v.y, t.y) - r, e[3] = std::max(v.y, t.y) + r;
    e[4] = std::min(v.z, t.z) - r, e[5] = std::max(v.z, t.z) + r;
}

void Prepare(const TGeoData& b, TBodyPrep& p) {
    p.K[0] = Length(ParamVec(b, 4));
}

bool Bound(const TGeoData& b, const TBodyPrep&, double box[6]) {
    TVector v = ParamVec(b, 1), t = v + ParamVec(b, 4);
    double r = std::fabs(Param(b, 7));
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
    return rho <= q[6];
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    TVector v = ParamVec(b, 1), hv = ParamVec(b, 4);
    double r = Param(b, 7), h = p.K[0];
    TVector w = o - v;
    double a0 = Dot(w, hv) / h, dA = Dot(d, hv) / h;
    auto axial = [&](double t) { return RayPoint(o, d, t) - v; };
    auto rho2 = [&](double t) {
        TVector q = axial(t);
        double a = Dot(q, hv) / h;
        return std::fabs(Dot(q, q) - a * a);
    };
    if (dA != 0) {
        double t = (h - a0) / dA;
        if (t >= 0 && rho2(t) <= r * r) AddHit(o, d, b, t, 1, pts, codes);
        t = -a0 / dA;
        if (t >= 0 && rho2(t) <= r * r) AddHit(o, d, b, t, 2, pts, codes);
    }
    double m = std::fabs(1 - dA * dA);
    if (m != 0) {
        double t0 = (dA * a0 - Dot(w, d)) / m;
        double disc = t0 * t0 - (Dot(w, w) - a0 * a0 - r * r) / m;
        if (disc >= 0) {
            double s = std::sqrt(disc);
            double ts[2] = {t0 - s, t0 + s};
            for (int i = 0; i < 2; ++i) {
                double t = ts[i];
                if (!(t >= 0)) continue;
                double a = Dot(axial(t), hv) / h;
                if (0 <= a && a <= h) AddHit(o, d, b, t, 3 + i, pts, codes);
            }
        }
    }
}
// Long cylinders (pipes, ducts) reach across boxes their enclosing box cannot exclude: the
// distance of the box centre from the axis, less the half diagonal, and the axial range of the
// box decide Outside; the same distance plus the half diagonal, well inside the radius, and an
// axial range well within the length decide Inside (boxes along a fibre or a ray inside it).
TBoxSide BoxSide(const TGeoData& b, const TBodyPrep& p, const double lo[3], const double hi[3],
                 double m) {
    double h = p.K[0];
    if (!(h > 0)) return TBoxSide::Unknown;
    TVector u = ParamVec(b, 4) * (1 / h);
    TVector c{(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    TVector e{(hi[0] - lo[0]) / 2, (hi[1] - lo[1]) / 2, (hi[2] - lo[2]) / 2};
    TVector w = c - ParamVec(b, 1);
    double t = Dot(w, u);
    double reach = std::fabs(u.x) * e.x + std::fabs(u.y) * e.y + std::fabs(u.z) * e.z;
    if (t + reach < -m || t - reach > h + m) return TBoxSide::Outside;
    double rho = std::sqrt(std::fabs(Dot(w, w) - t * t));
    if (rho - Length(e) > std::fabs(Param(b, 7)) + m) return TBoxSide::Outside;
    double r = Param(b, 7); // the inside test holds no point for a negative radius
    if (t - reach >= m && t + reach <= h - m && r > m &&
        Length(Cross(w, u)) + Length(e) <= r - m) // no cancellation near the axis
        return TBoxSide::Inside;
    return TBoxSide::Unknown;
}
} // namespace

const TBodyType RccType = {"RCC",     7,    Extent, Prepare, Bound, Inside,
                           Crossings, true, true,   BoxSide};
