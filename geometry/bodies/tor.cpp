// TOR: torus sector about an axis parallel to x, y or z.
#include "BodyTypes.h"

#include <numbers>

namespace {
// K[0] axis code (1, 2 or 3; any other code is the z axis), K[1], K[2] the sector limits in
// degrees reduced to [0, 360), K[5..8] cos and sin of the two limits.
constexpr double Pi = std::numbers::pi;

int AxisCode(const TGeoData& b) {
    double c = std::round(Param(b, 8));
    return c == 1 ? 1 : c == 2 ? 2 : 3;
}

// One turn, [0, 360): the inside test and the crossings read the same reduced limits, so a
// sector given as -400 to 100 is the arc from 320 to 100 for both.
double ReducedDegrees(double a) {
    double r = a - 360 * std::floor(a / 360);
    return r >= 360 ? 0.0 : r; // a tiny negative angle rounds up to 360
}

void Extent(const TGeoData& b, double e[6]) {
    TVector v = ParamVec(b, 1);
    double m = Param(b, 4) + Param(b, 5);
    e[0] = v.x - m, e[1] = v.x + m, e[2] = v.y - m, e[3] = v.y + m, e[4] = v.z - m, e[5] = v.z + m;
}

void Prepare(const TGeoData& b, TBodyPrep& p) {
    p.K[0] = AxisCode(b);
    p.K[1] = ReducedDegrees(Param(b, 6));
    p.K[2] = ReducedDegrees(Param(b, 7));
    for (int k = 0; k < 2; ++k) {
        double rad = p.K[static_cast<size_t>(1 + k)] * Pi / 180;
        p.K[static_cast<size_t>(5 + 2 * k)] = std::cos(rad);
        p.K[static_cast<size_t>(6 + 2 * k)] = std::sin(rad);
    }
}

bool Bound(const TGeoData& b, const TBodyPrep&, double box[6]) {
    TVector v = ParamVec(b, 1);
    double m = std::fabs(Param(b, 4)) + std::fabs(Param(b, 5));
    BoxAround({v.x - m, v.y - m, v.z - m}, {v.x + m, v.y + m, v.z + m}, box);
    return true;
}

// In-plane components (u, v) and the axial one of q for the axis code.
void Split(int code, const TVector& q, double& u, double& v, double& a) {
    if (code == 1)
        u = q.y, v = q.z, a = q.x;
    else if (code == 2)
        u = q.z, v = q.x, a = q.y;
    else
        u = q.x, v = q.y, a = q.z;
}

// Whether the in-plane point (u, v) lies in the sector; the angle is 0 on the axis.
bool InSector(const TBodyPrep& p, double u, double v) {
    double a1 = p.K[1], a2 = p.K[2];
    if (a1 == a2) return true;
    double ang = (u == 0 && v == 0) ? 0.0 : std::atan2(v, u) * 180 / Pi;
    if (ang < 0) ang += 360;
    return a2 > a1 ? (a1 <= ang && ang <= a2) : (ang >= a1 || ang <= a2);
}

bool Inside(const TGeoData& b, const TBodyPrep& p, double x, double y, double z) {
    double u, v, a;
    Split(static_cast<int>(p.K[0]), {x - b.Params[0], y - b.Params[1], z - b.Params[2]}, u, v, a);
    if (!InSector(p, u, v)) return false;
    double rho2 = u * u + v * v;
    double s = std::sqrt(rho2) - Param(b, 4);
    return std::sqrt(s * s + a * a) <= Param(b, 5);
}

// Newton steps on the torus function at the ray point w + s.d (w relative to the centre) bring
// a root of the quartic onto the surface. A step is kept only while it shrinks the residual, so
// a root never wanders off to another one.
double Polish(double t, const TVector& w, const TVector& d, double da, double a0, double bigR,
              double r) {
    auto f = [&](double s, double& df) {
        TVector q = w + d * s;
        double x = Dot(q, q) - bigR * bigR - r * r, qa = a0 + s * da;
        df = 4 * x * Dot(q, d) + 8 * bigR * bigR * qa * da;
        return x * x - 4 * bigR * bigR * (r * r - qa * qa);
    };
    double df, fx = f(t, df);
    for (int i = 0; i < 4 && fx != 0; ++i) {
        if (!(df != 0) || !std::isfinite(df)) break;
        double next = t - fx / df, dn;
        double fn = f(next, dn);
        if (!(std::fabs(fn) < std::fabs(fx))) break;
        t = next, fx = fn, df = dn;
    }
    return t;
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    int code = static_cast<int>(p.K[0]);
    TVector c = ParamVec(b, 1);
    double bigR = Param(b, 4), r = Param(b, 5);
    TVector w = o - c;
    double wu, wv, a0, du, dv, da;
    Split(code, w, wu, wv, a0);
    Split(code, d, du, dv, da);
    // The ring quartic is solved about the point of the line closest to the centre, so that its
    // coefficients measure the torus and not the distance of the start: t = tc + s. A line that
    // passes farther from the centre than R + r cannot meet the ring.
    double tc = -Dot(w, d);
    TVector wc = w + d * tc;
    double reach = std::fabs(bigR) + std::fabs(r);
    if (Dot(wc, wc) <= reach * reach * (1 + 1e-9)) {
        double ac = a0 + da * tc;
        double bb = Dot(wc, d);
        double oo = Dot(wc, wc) - bigR * bigR - r * r;
        double r2 = bigR * bigR;
        double x[4];
        int n = SolveQuartic(1.0, 4 * bb, 4 * bb * bb + 2 * oo + 4 * r2 * da * da,
                             4 * bb * oo + 8 * r2 * da * ac, oo * oo + 4 * r2 * (ac * ac - r * r),
                             x[0], x[1], x[2], x[3]);
        for (int i = 0; i < n; ++i) {
            double t = tc + Polish(x[i], wc, d, da, ac, bigR, r);
            if (!(t >= 0)) continue;
            double qu, qv, qa;
            Split(code, RayPoint(o, d, t) - c, qu, qv, qa);
            if (InSector(p, qu, qv)) AddHit(o, d, b, t, 1, pts, codes);
        }
    }
    if (p.K[1] == p.K[2]) return;
    for (int k = 0; k < 2; ++k) {
        double cs = p.K[5 + 2 * k], sn = p.K[6 + 2 * k];
        double s = (wu - bigR * cs) * (-sn) + (wv - bigR * sn) * cs;
        double dn = -sn * du + cs * dv;
        if (s == 0 || dn == 0 || (s > 0) == (dn > 0)) continue;
        double t = -s / dn;
        double eu = du * t + wu - bigR * cs, ev = dv * t + wv - bigR * sn, ea = da * t + a0;
        if (eu * eu + ev * ev + ea * ea <= r * r) AddHit(o, d, b, t, 2 + k, pts, codes);
    }
}
} // namespace

const TBodyType TorType = {"TOR", 8, Extent, Prepare, Bound, Inside, Crossings, true};
