// Helpers shared by the body types. The enclosing boxes only serve culling, so they may be
// generous; they must never cut off a point that the inside test accepts.
#include "BodyTypes.h"

#include <algorithm>

void BoxAround(const TVector& lo, const TVector& hi, double box[6]) {
    box[0] = lo.x, box[1] = hi.x, box[2] = lo.y, box[3] = hi.y, box[4] = lo.z, box[5] = hi.z;
}

namespace {
// Inverse of the matrix whose rows are r[0..2], after scaling every row to unit length
// (scale[k] is the factor applied to row k). Fails when the rows are nearly dependent.
bool UnitInverse(const TVector r[3], TVector col[3], double scale[3]) {
    TVector u[3];
    for (int k = 0; k < 3; ++k) {
        double len = Length(r[k]);
        if (!(len > 0) || !std::isfinite(len)) return false;
        scale[k] = 1.0 / len;
        u[k] = r[k] * scale[k];
    }
    TVector c0 = Cross(u[1], u[2]), c1 = Cross(u[2], u[0]), c2 = Cross(u[0], u[1]);
    double det = Dot(u[0], c0);
    // Unit rows: |det| is at most 1 and the inverse grows like 1/|det|.
    if (!(std::fabs(det) > 1e-6)) return false;
    col[0] = c0 * (1.0 / det), col[1] = c1 * (1.0 / det), col[2] = c2 * (1.0 / det);
    return true;
}
double Comp(const TVector& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}
} // namespace

bool SlabBox(const TVector& v, const TVector n[3], const double lo[3], const double hi[3],
             double box[6]) {
    TVector col[3];
    double scale[3];
    if (!UnitInverse(n, col, scale)) return false;
    for (int axis = 0; axis < 3; ++axis) {
        double a = Comp(v, axis), b = a;
        for (int k = 0; k < 3; ++k) {
            double c = Comp(col[k], axis);
            double p = c * lo[k] * scale[k], q = c * hi[k] * scale[k];
            a += std::min(p, q);
            b += std::max(p, q);
        }
        box[2 * axis] = a, box[2 * axis + 1] = b;
    }
    return true;
}

bool EllipticBox(const TVector& v, const TVector r[3], double k, double box[6]) {
    TVector col[3];
    double scale[3];
    if (!UnitInverse(r, col, scale)) return false;
    double top = std::fabs(k);
    for (int axis = 0; axis < 3; ++axis) {
        // Unit rows: the true coordinates are the scaled ones divided by scale[k].
        double ca = Comp(col[0], axis) * scale[0], cb = Comp(col[1], axis) * scale[1];
        double cg = Comp(col[2], axis) * scale[2];
        double n = std::sqrt(ca * ca + cb * cb);
        double c = Comp(v, axis);
        box[2 * axis] = c + std::min(-n, cg - top * n);
        box[2 * axis + 1] = c + std::max(n, cg + top * n);
    }
    return true;
}

bool BallBox(const TVector& v, const TVector r[3], double box[6]) {
    TVector col[3];
    double scale[3];
    if (!UnitInverse(r, col, scale)) return false;
    for (int axis = 0; axis < 3; ++axis) {
        double s = 0;
        for (int k = 0; k < 3; ++k) {
            double c = Comp(col[k], axis) * scale[k];
            s += c * c;
        }
        double n = std::sqrt(s), c = Comp(v, axis);
        box[2 * axis] = c - n, box[2 * axis + 1] = c + n;
    }
    return true;
}

void SlabCrossings(const TVector& o, const TVector& d, const TGeoData& b, int n, const TVector* q,
                   const TVector* nrm, const double* width, TMatrixA3d& pts, TMatrixAi& codes) {
    double tEnter = -NoBound, tExit = NoBound;
    for (int k = 0; k < n; ++k) {
        double p = Dot(q[k] - o, nrm[k]), dn = Dot(d, nrm[k]), len = width[k];
        double tIn, tOut;
        if (dn == 0) {
            if (-p < 0 || -p > len) return;
            continue;
        } else if (dn > 0) {
            tOut = (p + len) / dn;
            if (tOut < 0) return;
            tIn = p / dn;
        } else {
            tOut = p / dn;
            if (tOut < 0) return;
            tIn = (p + len) / dn;
        }
        if (tOut < tExit) tExit = tOut;
        if (tIn > tEnter) tEnter = tIn;
    }
    if (0 <= tEnter && tEnter < NoBound) AddHit(o, d, b, tEnter, 1, pts, codes);
    if (0 <= tExit && tExit < NoBound) AddHit(o, d, b, tExit, 2, pts, codes);
}

int QuadraticRoots(double a, double b, double c, double& lo, double& hi) {
    double disc = b * b - a * c;
    if (!(disc >= 0)) return 0;
    if (disc == 0) {
        lo = hi = b / a;
        return 1;
    }
    // the root of larger magnitude from the sum, the other from the product: no cancellation
    double q = b + std::copysign(std::sqrt(disc), b);
    double r1 = q / a, r2 = c / q;
    lo = std::min(r1, r2), hi = std::max(r1, r2);
    return 2;
}
