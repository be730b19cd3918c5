#include "geometry/MyFunctions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

double Poly(std::initializer_list<double> coef, double x) {
    double v = 0;
    for (double c : coef) v = v * x + c;
    return v;
}

TEST(Vectors, NormalizeAndAngles) {
    TVector v{0, 0, 1e-7};
    Normalize(v);
    EXPECT_EQ(v.z, 1e-7); // too short: left alone
    TVector w{3, 0, 4};
    Normalize(w);
    EXPECT_DOUBLE_EQ(w.x, 0.6);
    EXPECT_DOUBLE_EQ(w.z, 0.8);
    EXPECT_NEAR(CosAngle({2, 0, 0}, {0, 5, 0}), 0.0, 1e-15);
    EXPECT_NEAR(CosAngle({2, 2, 0}, {3, 0, 0}), std::sqrt(0.5), 1e-15);
    TVector c;
    CrossUnit({2, 0, 0}, {0, 3, 0}, c);
    EXPECT_DOUBLE_EQ(c.z, 1.0);
}

TEST(Lists, IndexAndAppendRules) {
    EXPECT_EQ(IndexOfMax({1, 5, 5}), 1);
    EXPECT_EQ(IndexOfInt({4, 7, 7}, 7), 1);
    EXPECT_EQ(IndexOfInt({4, 7}, 9), -1);
    TMatrixAi l{3};
    EXPECT_FALSE(AppendInt(l, 3, false));
    EXPECT_EQ(l.size(), 1u);
    EXPECT_TRUE(AppendInt(l, 3, true));
    EXPECT_EQ(l.size(), 2u);
    TMatrixAs s{"Z1"};
    EXPECT_FALSE(AppendString(s, "Z1", false));
    EXPECT_TRUE(AppendString(s, "z1", false)); // case-sensitive
    EXPECT_EQ(PowerOfTwo(0), 1);
    EXPECT_EQ(PowerOfTwo(-3), 1);
    EXPECT_EQ(PowerOfTwo(10), 1024);
}

TEST(Matrices, ProductTransformAndInverse) {
    TMatrix4 t, r, p;
    Identity4(t);
    t[3][0] = 5; // translation sits in row 3
    Identity4(r);
    r[0][0] = 0, r[0][1] = 1, r[1][0] = -1, r[1][1] = 0; // 90 degrees about z
    Multiply4(r, t, p);                                  // rotate, then translate
    TVector out;
    TransformPoint({1, 0, 0}, p, out);
    EXPECT_NEAR(out.x, 5, 1e-15);
    EXPECT_NEAR(out.y, 1, 1e-15);

    TMatrix4 m = {{{2, 1, 0, 0}, {0, 0, 3, 1}, {1, 4, 0, 0}, {0, 1, 1, 5}}}; // needs pivoting
    TMatrix4 inv, prod;
    int messages = 0;
    SetMessageHook([&](const std::string&) { ++messages; });
    Inverse4(m, inv);
    Multiply4(m, inv, prod);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(prod[i][j], i == j ? 1 : 0, 1e-12);
    EXPECT_EQ(messages, 0);

    TMatrix4 singular{};
    Identity4(singular);
    singular[2][2] = 0;
    std::string text;
    SetMessageHook([&](const std::string& s) { text = s, ++messages; });
    Inverse4(singular, inv);
    EXPECT_EQ(text, "err LU");
    EXPECT_EQ(messages, 1);
    SetMessageHook(nullptr);
}

TEST(Quadratic, RootLayout) {
    double x1, x2;
    EXPECT_EQ(SolveQuadratic(1, -3, 2, x1, x2), 2);
    EXPECT_DOUBLE_EQ(x1, 2);
    EXPECT_DOUBLE_EQ(x2, 1);
    EXPECT_EQ(SolveQuadratic(1, 0, 1, x1, x2), 0);
    EXPECT_EQ(x1, 0);
    EXPECT_EQ(x2, 1);
    EXPECT_EQ(SolveQuadratic(0, 2, -4, x1, x2), 2);
    EXPECT_EQ(x1, 2);
    EXPECT_EQ(x2, 2);
    EXPECT_EQ(SolveQuadratic(0, 0, 5, x1, x2), 0);
    EXPECT_EQ(SolveQuadratic(1, 0, -4, x1, x2), 2); // h = 0
    EXPECT_EQ(x1, 2);
    EXPECT_EQ(x2, -2);
    EXPECT_EQ(SolveQuadratic(1, -2, 1, x1, x2), 2); // double root
    EXPECT_EQ(x1, 1);
    // the small root from the product, not by cancellation
    EXPECT_EQ(SolveQuadratic(1, -1e8, 1, x1, x2), 2);
    EXPECT_NEAR(x2, 1e-8, 1e-20);
}

TEST(Cubic, RootLayout) {
    double x1, x2, x3;
    EXPECT_EQ(SolveCubic(1, -6, 11, -6, x1, x2, x3), 3);
    EXPECT_NEAR(x1, 3, 1e-7);                            // largest magnitude
    EXPECT_NEAR(x2, 1, 1e-7);                            // smallest, from the reversed cubic
    EXPECT_NEAR(x3, 2, 1e-7);                            // from the product of the roots
    EXPECT_EQ(SolveCubic(1, -6, 12, -8, x1, x2, x3), 3); // (x - 2)^3
    EXPECT_NEAR(x1, 2, 1e-9);
    EXPECT_NEAR(x2, 2, 1e-9);
    EXPECT_NEAR(x3, 2, 1e-9);
    // (x - 1)(x^2 + 4): one real root, the pair 0 +- 2i
    EXPECT_EQ(SolveCubic(1, -1, 4, -4, x1, x2, x3), 1);
    EXPECT_NEAR(x1, 1, 1e-7);
    EXPECT_NEAR(x2, 0, 1e-7);
    EXPECT_NEAR(std::fabs(x3), 2, 1e-7);
    // (x - 100)(x^2 + 0.0001): real root dominant
    EXPECT_EQ(SolveCubic(1, -100, 1e-4, -1e-2, x1, x2, x3), 1);
    EXPECT_NEAR(x1, 100, 1e-5);
    EXPECT_NEAR(std::fabs(x3), 0.01, 1e-8);
}

TEST(Cubic, RandomRootsAreRoots) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-10, 10);
    for (int i = 0; i < 500; ++i) {
        double r1 = u(rng), r2 = u(rng), r3 = u(rng);
        double b = -(r1 + r2 + r3), c = r1 * r2 + r1 * r3 + r2 * r3, d = -r1 * r2 * r3;
        double x1, x2, x3;
        ASSERT_EQ(SolveCubic(1, b, c, d, x1, x2, x3), 3);
        double scale = 1 + std::fabs(b) * 100 + std::fabs(c) * 10 + std::fabs(d);
        for (double x : {x1, x2, x3}) EXPECT_NEAR(Poly({1, b, c, d}, x) / scale, 0, 1e-6);
    }
}

TEST(Quartic, RootLayout) {
    double x1, x2, x3, x4;
    EXPECT_EQ(SolveQuartic(1, 0, -5, 0, 4, x1, x2, x3, x4), 4);
    EXPECT_DOUBLE_EQ(x1, 1);
    EXPECT_DOUBLE_EQ(x2, -1);
    EXPECT_DOUBLE_EQ(x3, 2);
    EXPECT_DOUBLE_EQ(x4, -2);
    EXPECT_EQ(SolveQuartic(1, 0, 0, 0, 1, x1, x2, x3, x4), 0);
    EXPECT_NEAR(x1, std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(x2, std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(x3, -std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(x4, std::sqrt(0.5), 1e-12);
    EXPECT_EQ(SolveQuartic(2, -8, 12, -8, 2, x1, x2, x3, x4), 4); // 2(x - 1)^4
    EXPECT_DOUBLE_EQ(x1, 1);
    EXPECT_DOUBLE_EQ(x4, 1);
    // (x - 1)(x - 2)(x^2 + 1): the real pair first, then (real part, imaginary part)
    EXPECT_EQ(SolveQuartic(1, -3, 3, -3, 2, x1, x2, x3, x4), 2);
    EXPECT_NEAR(std::min(x1, x2), 1, 1e-7);
    EXPECT_NEAR(std::max(x1, x2), 2, 1e-7);
    EXPECT_NEAR(x3, 0, 1e-7);
    EXPECT_NEAR(std::fabs(x4), 1, 1e-7);
}

// The solver treats a small depressed q (q^2 <= 1e-6 (|4rp| + q^2)) as zero by design, which
// moves the roots of nearly symmetric quartics; away from that, and with roots at least 1
// apart, the roots come out to 1e-6.
TEST(Quartic, SeparatedRandomRootsAreFound) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-20, 20);
    for (int i = 0; i < 500; ++i) {
        double r[4] = {u(rng), u(rng), u(rng), u(rng)};
        bool close = false;
        for (int j = 0; j < 4; ++j)
            for (int k = j + 1; k < 4; ++k) close = close || std::fabs(r[j] - r[k]) < 1;
        if (close) continue;
        double b = -(r[0] + r[1] + r[2] + r[3]);
        double c =
            r[0] * r[1] + r[0] * r[2] + r[0] * r[3] + r[1] * r[2] + r[1] * r[3] + r[2] * r[3];
        double d =
            -(r[0] * r[1] * r[2] + r[0] * r[1] * r[3] + r[0] * r[2] * r[3] + r[1] * r[2] * r[3]);
        double e = r[0] * r[1] * r[2] * r[3];
        double p = c - 3 * b * b / 8, q = -b * p / 2 - b * b * b / 16 + d;
        double rr = -b * q / 8 + b * b * b * b / 256 - b * d / 8 + e;
        if (q * q / (std::fabs(4 * rr * p) + q * q) <= 1e-4) continue;
        double x[4];
        int n = SolveQuartic(1, b, c, d, e, x[0], x[1], x[2], x[3]);
        ASSERT_EQ(n, 4);
        for (double xi : x) {
            double best = 1e300;
            for (double ri : r) best = std::min(best, std::fabs(xi - ri));
            EXPECT_LT(best, 1e-6 * (1 + std::fabs(xi)));
        }
    }
}

} // namespace

// A polynomial and the same one with its variable scaled by 10^k (k from -8 to 8) have the same
// roots scaled by 10^k: the solvers' tolerances are relative to the size of the coefficients.
namespace {
void ExpectRootsNear(std::vector<double> got, std::vector<double> want, double tol) {
    ASSERT_EQ(got.size(), want.size());
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], tol);
}
} // namespace

TEST(Solvers, RootsScaleWithThePolynomial) {
    for (int k = -8; k <= 8; ++k) {
        double s = std::pow(10.0, k);
        SCOPED_TRACE(s);
        double x1, x2, x3, x4;
        // (x - s)(x - 2s)(x - 3s)
        ASSERT_EQ(SolveCubic(1, -6 * s, 11 * s * s, -6 * s * s * s, x1, x2, x3), 3);
        ExpectRootsNear({x1, x2, x3}, {s, 2 * s, 3 * s}, 1e-7 * s);
        EXPECT_NEAR(x1, 3 * s, 1e-7 * s); // the largest magnitude first
        // (x - s)(x^2 + 4 s^2)
        ASSERT_EQ(SolveCubic(1, -s, 4 * s * s, -4 * s * s * s, x1, x2, x3), 1);
        EXPECT_NEAR(x1, s, 1e-7 * s);
        EXPECT_NEAR(std::fabs(x3), 2 * s, 1e-7 * s);
        // (x - 2s)^3 is a triple root at every scale
        ASSERT_EQ(SolveCubic(1, -6 * s, 12 * s * s, -8 * s * s * s, x1, x2, x3), 3);
        ExpectRootsNear({x1, x2, x3}, {2 * s, 2 * s, 2 * s}, 1e-7 * s);
        // (x^2 - s^2)(x^2 - 4 s^2)
        ASSERT_EQ(SolveQuartic(1, 0, -5 * s * s, 0, 4 * std::pow(s, 4), x1, x2, x3, x4), 4);
        ExpectRootsNear({x1, x2, x3, x4}, {-2 * s, -s, s, 2 * s}, 1e-9 * s);
        // (x - s)(x - 2s)(x - 4s)(x + 3s): a general quartic through the resolvent cubic
        double r[4] = {s, 2 * s, 4 * s, -3 * s};
        double b = -(r[0] + r[1] + r[2] + r[3]);
        double c =
            r[0] * r[1] + r[0] * r[2] + r[0] * r[3] + r[1] * r[2] + r[1] * r[3] + r[2] * r[3];
        double d =
            -(r[0] * r[1] * r[2] + r[0] * r[1] * r[3] + r[0] * r[2] * r[3] + r[1] * r[2] * r[3]);
        double e = r[0] * r[1] * r[2] * r[3];
        ASSERT_EQ(SolveQuartic(1, b, c, d, e, x1, x2, x3, x4), 4);
        ExpectRootsNear({x1, x2, x3, x4}, {r[3], r[0], r[1], r[2]}, 1e-7 * s);
        // (x - s)(x - 2s)(x^2 + s^2): the real pair first
        ASSERT_EQ(
            SolveQuartic(1, -3 * s, 3 * s * s, -3 * s * s * s, 2 * std::pow(s, 4), x1, x2, x3, x4),
            2);
        ExpectRootsNear({x1, x2}, {s, 2 * s}, 1e-7 * s);
        EXPECT_NEAR(std::fabs(x4), s, 1e-7 * s);
    }
}
