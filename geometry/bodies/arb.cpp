// ARB: convex polyhedron of up to 8 vertices and 6 plane faces given by face codes.
#include "BodyTypes.h"

#include <algorithm>
#include <limits>

namespace {
TVector Vertex(const TGeoData& b, int k) {
    return ParamVec(b, 3 * k - 2);
} // k = 1..8
} // namespace

void ArbPlanes(const TGeoData& b, TArbPlanes& out) {
    out = TArbPlanes{};
    int face[6][3]; // the thousands, hundreds and tens vertex of each taken face
    int count = 0, nv = 0;
    for (int j = 0; j < 6; ++j) {
        double n = std::round(b.Params[static_cast<size_t>(24 + j)]);
        int dg[4]; // units, tens, hundreds, thousands
        int nonzero = 0, top = 0;
        for (int i = 0; i < 4; ++i) {
            double digit = n - 10 * std::trunc(n / 10);
            n = std::trunc(n / 10);
            // a digit names a vertex 1 to 8 or none; anything else (negative or huge codes)
            // cannot be a face
            if (!(digit >= 0 && digit <= 8)) return;
            dg[i] = static_cast<int>(digit);
            if (dg[i] != 0) ++nonzero;
            top = std::max(top, dg[i]);
        }
        if (nonzero == 0) break;
        if (nonzero <= 2) return;
        // the plane is built on the thousands, hundreds and tens vertices: none may be 0
        if (dg[3] == 0 || dg[2] == 0 || dg[1] == 0) return;
        face[j][0] = dg[3], face[j][1] = dg[2], face[j][2] = dg[1];
        count = j + 1;
        nv = std::max(nv, top);
    }
    double min2 = 1e20;
    for (int i = 1; i <= nv; ++i)
        for (int k = i + 1; k <= nv; ++k) {
            TVector e = Vertex(b, i) - Vertex(b, k);
            double s = Dot(e, e);
            if (s > 0 && s < min2) min2 = s;
        }
    double delta = std::sqrt(min2);
    for (int j = 0; j < count; ++j) {
        TVector pm = Vertex(b, face[j][0]), ph = Vertex(b, face[j][1]), pt = Vertex(b, face[j][2]);
        TVector n = Cross(ph - pt, ph - pm);
        double d = -Dot(n, ph);
        double len = Length(n);
        int pos = 0, neg = 0;
        for (int i = 1; i <= nv; ++i) {
            double s = (Dot(n, Vertex(b, i)) + d) / len;
            if (std::fabs(s) < 1e-6 * delta) continue;
            if (s > 0)
                ++pos;
            else if (s < 0)
                ++neg;
        }
        double div;
        if (pos > 0 && neg == 0)
            div = len;
        else if (neg > 0 && pos == 0)
            div = -len;
        else
            return;
        out.Plane[static_cast<size_t>(j)] = {n.x / div, n.y / div, n.z / div, d / div};
    }
    out.MinDist = delta;
    out.FaceCount = count;
    out.Valid = true;
}

namespace {
void Extent(const TGeoData& b, double e[6]) {
    TVector v = Vertex(b, 1);
    e[0] = e[1] = v.x, e[2] = e[3] = v.y, e[4] = e[5] = v.z;
    for (int k = 2; k <= 8; ++k) {
        v = Vertex(b, k);
        e[0] = std::min(e[0], v.x), e[1] = std::max(e[1], v.x);
        e[2] = std::min(e[2], v.y), e[3] = std::max(e[3], v.y);
        e[4] = std::min(e[4], v.z), e[5] = std::max(e[5], v.z);
    }
}

void Prepare(const TGeoData& b, TBodyPrep& p) {
    ArbPlanes(b, p.Arb);
}

int Faces(const TArbPlanes& a) {
    return static_cast<int>(std::lround(a.FaceCount));
}

TVector Normal(const TArbPlanes& a, int i) {
    const auto& q = a.Plane[static_cast<size_t>(i)];
    return {q[0], q[1], q[2]};
}
double Offset(const TArbPlanes& a, int i) {
    return a.Plane[static_cast<size_t>(i)][3];
}

// The box of the polytope from the corners where three face planes meet; false when the
// planes leave it open in some direction.
bool Bound(const TGeoData&, const TBodyPrep& p, double box[6]) {
    const TArbPlanes& a = p.Arb;
    constexpr double inf = std::numeric_limits<double>::infinity();
    if (!a.Valid) { // contains no point: an empty box
        for (int i = 0; i < 3; ++i) box[2 * i] = inf, box[2 * i + 1] = -inf;
        return true;
    }
    int n = Faces(a);
    if (n < 4) return false;
    // Open when some edge direction of the cone of directions along which no face is crossed
    // from inside survives: such a cone, if not {0}, has an extreme ray on two of the planes.
    bool full = false;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            TVector c = Cross(Normal(a, i), Normal(a, j));
            double len = Length(c);
            if (!(len > 1e-9)) continue;
            for (int sgn = -1; sgn <= 1; sgn += 2) {
                TVector dir = c * (sgn / len);
                bool all = true;
                for (int k = 0; k < n && all; ++k) all = Dot(Normal(a, k), dir) >= -1e-9;
                if (all) return false;
            }
            for (int k = j + 1; k < n; ++k)
                if (std::fabs(Dot(c, Normal(a, k))) > 1e-9) full = true;
        }
    if (!full) return false; // normals in one plane: a prism open along its axis
    double scale = 1;
    for (int i = 0; i < n; ++i) scale = std::max(scale, std::fabs(Offset(a, i)));
    TVector lo{inf, inf, inf}, hi{-inf, -inf, -inf};
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            for (int k = j + 1; k < n; ++k) {
                TVector ni = Normal(a, i), nj = Normal(a, j), nk = Normal(a, k);
                TVector cjk = Cross(nj, nk), cki = Cross(nk, ni), cij = Cross(ni, nj);
                double det = Dot(ni, cjk);
                if (!(std::fabs(det) > 1e-9)) continue;
                TVector q =
                    (cjk * -Offset(a, i) + cki * -Offset(a, j) + cij * -Offset(a, k)) * (1.0 / det);
                bool in = true;
                for (int l = 0; l < n && in; ++l)
                    in = Dot(Normal(a, l), q) + Offset(a, l) >= -1e-7 * scale;
                if (!in) continue;
                lo = {std::min(lo.x, q.x), std::min(lo.y, q.y), std::min(lo.z, q.z)};
                hi = {std::max(hi.x, q.x), std::max(hi.y, q.y), std::max(hi.z, q.z)};
            }
    if (!(lo.x <= hi.x && lo.y <= hi.y && lo.z <= hi.z)) return false;
    BoxAround(lo, hi, box);
    return true;
}

bool Inside(const TGeoData&, const TBodyPrep& p, double x, double y, double z) {
    const TArbPlanes& a = p.Arb;
    if (!a.Valid) return false;
    int n = Faces(a);
    for (int i = 0; i < n; ++i) {
        const auto& q = a.Plane[static_cast<size_t>(i)];
        if (!(q[0] * x + q[1] * y + q[2] * z + q[3] >= 0)) return false;
    }
    return true;
}

// A convex solid meets a line in one segment: its ends are the smallest and the largest valid
// face crossing. Faces through the same edge or vertex give the same point, which is reported
// once; a line that only touches the solid has one crossing.
void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    const TArbPlanes& a = p.Arb;
    if (!a.Valid) return;
    int n = Faces(a);
    double tau = 1e-6 * a.MinDist;
    int found = 0;
    double low = NoBound, high = -NoBound;
    for (int i = 0; i < n; ++i) {
        TVector ni = Normal(a, i);
        double s = Dot(ni, o) + Offset(a, i);
        double dn = -Dot(ni, d);
        if (std::fabs(dn) <= 1e-6) continue;
        double t = s / dn;
        TVector q = RayPoint(o, d, t);
        bool outside = false;
        for (int j = 0; j < n && !outside; ++j) {
            if (j == i) continue;
            double v = Dot(Normal(a, j), q) + Offset(a, j);
            outside = v < 0 && std::fabs(v) >= tau;
        }
        if (outside) continue;
        low = std::min(low, t), high = std::max(high, t);
        ++found;
    }
    if (found == 1 || (found > 1 && !(high - low > tau))) {
        if (high >= 0) AddHit(o, d, b, high, 2, pts, codes);
    } else if (found > 1) {
        if (0 <= low && low < NoBound) AddHit(o, d, b, low, 1, pts, codes);
        if (0 <= high && high < NoBound) AddHit(o, d, b, high, 2, pts, codes);
    }
}
} // namespace

const TBodyType ArbType = {"ARB", 30, Extent, Prepare, Bound, Inside, Crossings, true};
