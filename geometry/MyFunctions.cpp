#include "MyFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

double Length(const TVector& a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}

void SetVector(TVector& v, double x, double y, double z) {
    v = {x, y, z};
}

void Normalize(TVector& v) {
    double len = Length(v);
    if (len > 1e-6) v = {v.x / len, v.y / len, v.z / len};
}

double CosAngle(const TVector& a, const TVector& b) {
    TVector ua = a, ub = b;
    Normalize(ua);
    Normalize(ub);
    return Dot(ua, ub);
}

void CrossUnit(const TVector& a, const TVector& b, TVector& result) {
    TVector ua = a, ub = b;
    Normalize(ua);
    Normalize(ub);
    result = Cross(ua, ub);
    Normalize(result);
}

void SwapInt(int32_t& a, int32_t& b) {
    std::swap(a, b);
}
void SwapVector(TVector& a, TVector& b) {
    std::swap(a, b);
}

int64_t PowerOfTwo(int n) {
    if (n <= 0) return 1;
    if (n > 62) n = 62; // the largest power a signed 64-bit integer holds
    return int64_t{1} << n;
}

int IndexOfInt(const TMatrixAi& list, int32_t value) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == value) return static_cast<int>(i);
    return -1;
}

int IndexOfMax(const TMatrixAd& list) {
    int best = 0;
    for (size_t i = 1; i < list.size(); ++i)
        if (list[i] > list[static_cast<size_t>(best)]) best = static_cast<int>(i);
    return best;
}

bool AppendInt(TMatrixAi& list, int32_t value, bool allowDuplicate) {
    if (!allowDuplicate)
        for (int32_t v : list)
            if (std::fabs(static_cast<double>(v) - static_cast<double>(value)) < 1e-6) return false;
    list.push_back(value);
    return true;
}

bool AppendString(TMatrixAs& list, const std::string& text, bool allowDuplicate) {
    if (!allowDuplicate)
        for (const std::string& s : list)
            if (s == text) return false;
    list.push_back(text);
    return true;
}

void Identity4(TMatrix4& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = (i == j) ? 1.0 : 0.0;
}

void Copy4(const TMatrix4& src, TMatrix4& dst) {
    dst = src;
}

void Multiply4(const TMatrix4& a, const TMatrix4& b, TMatrix4& r) {
    TMatrix4 t{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[i][k] * b[k][j];
            t[i][j] = s;
        }
    r = t; // r may alias a or b
}

void TransformPoint(const TVector& p, const TMatrix4& m, TVector& out) {
    TVector r;
    r.x = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
    r.y = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
    r.z = p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2];
    out = r;
}

static TMessageHook& MessageHook() {
    static TMessageHook hook;
    return hook;
}

void SetMessageHook(TMessageHook hook) {
    MessageHook() = std::move(hook);
}

void ShowEngineMessage(const std::string& text) {
    if (MessageHook())
        MessageHook()(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

void Inverse4(const TMatrix4& m, TMatrix4& out) {
    TMatrix4 lu = m;
    int perm[4] = {0, 1, 2, 3};
    for (int i = 0; i < 4; ++i) {
        int pivot = i;
        for (int r = i + 1; r < 4; ++r)
            if (std::fabs(lu[perm[r]][i]) > std::fabs(lu[perm[pivot]][i])) pivot = r;
        std::swap(perm[i], perm[pivot]);
        double p = lu[perm[i]][i];
        if (std::fabs(p) < 1e-6) ShowEngineMessage("err LU");
        for (int r = i + 1; r < 4; ++r) {
            double f = lu[perm[r]][i] / p;
            lu[perm[r]][i] = f;
            for (int c = i + 1; c < 4; ++c) lu[perm[r]][c] -= f * lu[perm[i]][c];
        }
    }
    TMatrix4 inv{};
    for (int k = 0; k < 4; ++k) {
        double y[4];
        for (int i = 0; i < 4; ++i) { // forward: L y = P e_k
            double s = (perm[i] == k) ? 1.0 : 0.0;
            for (int j = 0; j < i; ++j) s -= lu[perm[i]][j] * y[j];
            y[i] = s;
        }
        for (int i = 3; i >= 0; --i) { // back: U x = y
            double s = y[i];
            for (int j = i + 1; j < 4; ++j) s -= lu[perm[i]][j] * inv[j][k];
            inv[i][k] = s / lu[perm[i]][i];
        }
    }
    out = inv;
}

int SolveQuadratic(double a, double b, double c, double& x1, double& x2) {
    if (a == 0) {
        if (b == 0) {
            x1 = x2 = 0;
            return 0;
        }
        x1 = x2 = -c / b;
        return 2;
    }
    double h = (b / a) / 2, k = c / a, d = h * h - k;
    if (d < 0) {
        x1 = -h;
        x2 = std::sqrt(-d);
        return 0;
    }
    if (d == 0) {
        x1 = x2 = -h;
        return 2;
    }
    double s = std::sqrt(d);
    if (h > 0) {
        x1 = -h - s;
        x2 = k / x1;
    } else if (h < 0) {
        x1 = -h + s;
        x2 = k / x1;
    } else {
        x1 = s;
        x2 = -s;
    }
    return 2;
}

namespace {

double CubeRoot(double w) {
    double r = std::pow(std::fabs(w), 0.333333333);
    return w < 0 ? -r : r;
}

constexpr double HalfSqrt3 = 0.866025404;

// Binary exponent E such that 2^E is about the size of the roots of the monic polynomial
// x^n + c[0] x^(n-1) + ... + c[n-1] (the largest |c[k-1]|^(1/k)). With x = 2^E y the
// coefficients of y are of order one, exactly (a power of two), so the solvers' fixed
// tolerances become relative to the polynomial.
int RootExponent(const double* c, int n) {
    int e = 0;
    bool any = false;
    for (int k = 1; k <= n; ++k) {
        double a = std::fabs(c[k - 1]);
        if (!(a > 0) || !std::isfinite(a)) continue;
        int ek = std::ilogb(a);
        int q = ek >= 0 ? ek / k : -((-ek + k - 1) / k); // floor(ek / k)
        e = any ? std::max(e, q) : q;
        any = true;
    }
    return e;
}

// One pass of the cubic solver on a*x^3 + b*x^2 + c*x + d.
struct TCubicPass {
    enum { Triple, Double, ThreeReal, OneReal } Case;
    double R1 = 0, R2 = 0, R3 = 0; // the three roots; ThreeReal: R1 the largest in magnitude
    double Rr = 0, Re = 0, Im = 0; // OneReal: real root and complex pair
};

TCubicPass CubicPass(double a, double b, double c, double d) {
    TCubicPass out{};
    double coef[3] = {b / a, c / a, d / a};
    int ex = RootExponent(coef, 3);
    double a2 = std::ldexp(coef[0], -ex), a1 = std::ldexp(coef[1], -2 * ex);
    double a0 = std::ldexp(coef[2], -3 * ex);
    auto up = [ex](double x) { return std::ldexp(x, ex); };
    double s = a2 / 3, p = a1 / 3 - s * s, q = 2 * s * s * s - a2 * a1 / 3 + a0;
    if (std::fabs(q) <= 1e-12 && std::fabs(p) <= 1e-12) {
        out.Case = TCubicPass::Triple;
        out.R1 = out.R2 = out.R3 = up(-s);
        return out;
    }
    double p3 = 4 * p * p * p;
    double disc = p3 + q * q;
    if (std::fabs(disc) < (std::fabs(q * q) + std::fabs(p3)) * 1e-8) disc = 0;
    if (disc == 0) {
        double u = CubeRoot(-q / 2);
        double r1 = 2 * u - s;
        if (std::fabs(r1) < (std::fabs(2 * u) + std::fabs(s)) * 1e-8) r1 = 0;
        double r2 = -u - s;
        if (std::fabs(r2) < (std::fabs(u) + std::fabs(s)) * 1e-8) r2 = 0;
        out.Case = TCubicPass::Double;
        out.R1 = up(r1);
        out.R2 = out.R3 = up(r2);
        return out;
    }
    if (disc < 0) {
        double th = std::atan2(std::sqrt(-disc), -q) / 3, r = 2 * std::sqrt(-p);
        double ra = r * std::cos(th) - s;
        double rb = -r * std::cos(th) / 2 - HalfSqrt3 * r * std::sin(th) - s;
        double rc = -r * std::cos(th) / 2 + HalfSqrt3 * r * std::sin(th) - s;
        out.Case = TCubicPass::ThreeReal;
        out.R1 = up(ra), out.R2 = up(rb), out.R3 = up(rc);
        if (std::fabs(ra) < std::max(std::fabs(rb), std::fabs(rc))) {
            if (std::fabs(rc) <= std::fabs(rb))
                std::swap(out.R1, out.R2);
            else
                std::swap(out.R1, out.R3);
        }
        return out;
    }
    double w = (q <= 0) ? (-q + std::sqrt(disc)) / 2 : (-q - std::sqrt(disc)) / 2;
    double u = CubeRoot(w), v = CubeRoot(-p * p * p / w);
    out.Case = TCubicPass::OneReal;
    out.Rr = up(u + v - s);
    out.Re = up(-(u + v) / 2 - s);
    out.Im = up(HalfSqrt3 * (u - v));
    return out;
}

} // namespace

int SolveCubic(double a, double b, double c, double d, double& x1, double& x2, double& x3) {
    TCubicPass first = CubicPass(a, b, c, d);
    if (first.Case == TCubicPass::Triple || first.Case == TCubicPass::Double) {
        x1 = first.R1, x2 = first.R2, x3 = first.R3;
        return 3;
    }
    // The reversed cubic has the reciprocal roots: each root is taken from the pass in
    // which it is the large one. When the reversed cubic looks degenerate while the cubic
    // itself did not, its roots are not to be trusted: the first pass's result stands.
    TCubicPass second = CubicPass(d, c, b, a);
    bool degenerate = second.Case == TCubicPass::Triple || second.Case == TCubicPass::Double;
    if (first.Case == TCubicPass::ThreeReal) {
        x1 = first.R1;
        if (degenerate || second.Case != TCubicPass::ThreeReal) {
            x2 = first.R2, x3 = first.R3;
        } else {
            x2 = 1 / second.R1;
            x3 = -(d / a) / (x1 * x2);
        }
        return 3;
    }
    if (degenerate || second.Case != TCubicPass::OneReal) {
        x1 = first.Rr, x2 = first.Re, x3 = first.Im;
    } else if (first.Rr * first.Rr < first.Re * first.Re + first.Im * first.Im) {
        x2 = first.Re, x3 = first.Im;
        x1 = 1 / second.Rr;
    } else {
        x1 = first.Rr;
        double n = second.Re * second.Re + second.Im * second.Im;
        x2 = second.Re / n, x3 = second.Im / n;
    }
    return 1;
}

namespace {
struct TPair {
    bool Real;
    double A, B; // two real roots, or (real part, imaginary part)
};
TPair QuadPair(double a, double b, double c) {
    TPair p{};
    p.Real = SolveQuadratic(a, b, c, p.A, p.B) == 2;
    return p;
}

} // namespace

int SolveQuartic(double a, double b, double c, double d, double e, double& x1, double& x2,
                 double& x3, double& x4) {
    const double eps = 1e-6;
    double bb = b / a, s = bb / 4;
    double p = c / a - 3 * bb * bb / 8;
    double q = -bb * p / 2 - bb * bb * bb / 16 + d / a;
    double r = -bb * q / 8 + bb * bb * bb * bb / 256 - bb * (d / a) / 8 + e / a;
    // The depressed quartic y^4 + p.y^2 + q.y + r is solved with y in units of the spread of its
    // roots about their mean (a power of two, so the scaling is exact): the fixed tolerances
    // below then hold at every size of polynomial.
    const double depressed[4] = {0, p, q, r};
    const int ex = RootExponent(depressed, 4);
    p = std::ldexp(p, -2 * ex), q = std::ldexp(q, -3 * ex), r = std::ldexp(r, -4 * ex);
    auto root = [ex, s](double y) { return std::ldexp(y, ex) - s; };
    auto imag = [ex](double v) { return std::ldexp(v, ex); };
    TPair first{}, second{};
    if (std::fabs(q) <= eps || q * q / (std::fabs(4 * r * p) + q * q) <= eps) {
        // r and p are tested for exact zeros: a tolerance would merge a small pair of real roots
        // into a double root at the mean.
        if (r == 0 && p == 0) {
            x1 = x2 = x3 = x4 = -s;
            return 4;
        }
        if (r == 0) {
            first = {true, 0, 0};
            second = QuadPair(1, 0, p);
        } else {
            double disc = p * p - 4 * r;
            if (disc < 0) {
                double phi = std::atan2(std::sqrt(-disc), -p) / 2, m = std::pow(r, 0.25);
                double re = m * std::cos(phi), im = m * std::sin(phi);
                x1 = root(re), x2 = imag(im), x3 = root(-re), x4 = imag(im);
                return 0;
            }
            // y^2 = -(p + sqrt(disc))/2 and -(p - sqrt(disc))/2; the smaller in magnitude from
            // the product r, without cancellation
            double sd = std::sqrt(disc), u1, u2;
            if (p >= 0)
                u1 = -(p + sd) / 2, u2 = r / u1;
            else
                u2 = -(p - sd) / 2, u1 = r / u2;
            first = QuadPair(1, 0, -u1);
            second = QuadPair(1, 0, -u2);
        }
    } else {
        double dr = 4 * r * p - q * q, z = 0;
        if (dr == 0) {
            double z1, z2;
            if (SolveQuadratic(1, -p, -4 * r, z1, z2) == 2) z = std::max({0.0, z1, z2});
        } else {
            double z1, z2, z3;
            if (SolveCubic(1, -p, -4 * r, dr, z1, z2, z3) == 1)
                z = z1;
            else
                z = std::max({z1, z2, z3});
        }
        double m = z / 2;
        if (z - p > 0) {
            double rr = std::sqrt(z - p), t = q / (2 * rr);
            first = QuadPair(1, rr, m - t);
            second = QuadPair(1, -rr, m + t);
        } else {
            if (m > 0)
                first = {false, 0, std::sqrt(m)};
            else
                first = {true, std::sqrt(-m), -std::sqrt(-m)};
            second = QuadPair(1, 0, m);
        }
    }
    if (first.Real && second.Real) {
        x1 = root(first.A), x2 = root(first.B), x3 = root(second.A), x4 = root(second.B);
        return 4;
    }
    if (first.Real) {
        x1 = root(first.A), x2 = root(first.B), x3 = root(second.A), x4 = imag(second.B);
        return 2;
    }
    if (second.Real) {
        x1 = root(second.A), x2 = root(second.B), x3 = root(first.A), x4 = imag(first.B);
        return 2;
    }
    x1 = root(first.A), x2 = imag(first.B), x3 = root(second.A), x4 = imag(second.B);
    return 0;
}
