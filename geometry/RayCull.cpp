// Crossings of a ray with a list of bodies, and the cull that spares most bodies of a long list
// their crossing algorithm: the enclosing balls, side by side for a pass over all of them, and
// for long lists a tree over the balls that a ray walks down only where it passes.
#include "MyCGUnit.h"
#include "bodies/BodyTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

namespace {
// A reported crossing lies within rounding, far below 1e-6 |w|, of the body; with
// (r + 1e-6 |w|)^2 <= 1.001 r^2 + 1.001e-9 |w|^2 no square root is needed. True when the line
// misses the ball or the ball lies behind the start: the body then reports nothing.
inline bool BallMissed(const TBodyPrep& p, const TVector& o, const TVector& d) {
    double wx = p.Ball[0] - o.x, wy = p.Ball[1] - o.y, wz = p.Ball[2] - o.z;
    double b = wx * d.x + wy * d.y + wz * d.z, c = wx * wx + wy * wy + wz * wz;
    double slack = 1.01e-9 * c;
    return (c - b * b > p.Ball[3] + slack) | ((b < 0) & (b * b > p.Ball[4] + slack));
}

void UnpreparedCrossings(const TVector& o, const TVector& d, const TGeoData& body,
                         TMatrixA3d& points, TMatrixAi& codes) {
    int k = BodyKind(body.Symbol);
    if (k < 0) return;
    const TBodyType& t = BodyTypeOf(k);
    TBodyPrep q;
    if (t.Prepare) t.Prepare(body, q);
    t.Crossings(o, d, body, q, points, codes);
}
} // namespace

void RayBodyIntersections(const TVector& o, const TVector& d, const TGeoData& body,
                          TMatrixA3d& points, TMatrixAi& codes) {
    const TBodyPrep& p = body.Prep;
    if (!p.Ready) return UnpreparedCrossings(o, d, body, points, codes);
    if (p.Kind < 0 || (p.RayCull && BallMissed(p, o, d))) return;
    BodyTypeOf(p.Kind).Crossings(o, d, body, p, points, codes);
}

namespace {
// Lists of fewer balls than this are culled in one pass over the arrays; longer ones through
// the tree.
constexpr size_t TreeFrom = 256;
constexpr uint32_t LeafBalls = 4;

// Radius that holds what BallMissed keeps of entry k: the line passes within sqrt(Near + slack)
// of the centre, at most sqrt(Behind + slack) behind the start, both below this radius plus
// sqrt(1.02e-9) |w| (the slack and the rounding of c - b^2), w = centre - O.
double TreeRadius(const TRayCull& cull, size_t k) {
    return 1.0001 * std::sqrt(std::max(cull.Near[k], cull.Behind[k]));
}

// Builds the node over Order[first, first + count) and returns its position.
uint32_t BuildNode(TRayCull& cull, uint32_t first, uint32_t count) {
    const uint32_t at = static_cast<uint32_t>(cull.Nodes.size());
    cull.Nodes.emplace_back();
    TRayCull::TNode node;
    for (int a = 0; a < 3; ++a) node.Lo[a] = HUGE_VAL, node.Hi[a] = -HUGE_VAL;
    double clo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, chi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (uint32_t i = first; i < first + count; ++i) {
        const size_t k = cull.Order[i];
        const double c[3] = {cull.X[k], cull.Y[k], cull.Z[k]};
        const double r = TreeRadius(cull, k);
        node.Radius = std::max(node.Radius, r);
        for (int a = 0; a < 3; ++a) {
            node.Lo[a] = std::min(node.Lo[a], c[a] - r), node.Hi[a] = std::max(node.Hi[a], c[a] + r);
            clo[a] = std::min(clo[a], c[a]), chi[a] = std::max(chi[a], c[a]);
        }
    }
    node.First = first;
    node.Count = count;
    if (count > LeafBalls) { // halves by the centres along their longest spread
        int axis = 0;
        for (int a = 1; a < 3; ++a)
            if (chi[a] - clo[a] > chi[axis] - clo[axis]) axis = a;
        const std::vector<double>& along = axis == 0 ? cull.X : axis == 1 ? cull.Y : cull.Z;
        auto begin = cull.Order.begin() + first, mid = begin + count / 2;
        std::nth_element(begin, mid, begin + count,
                         [&](uint32_t u, uint32_t v) { return along[u] < along[v]; });
        node.Count = 0;
        BuildNode(cull, first, count / 2);
        node.Second = BuildNode(cull, first + count / 2, count - count / 2);
    }
    cull.Nodes[at] = node;
    return at;
}

// Whether the line O + t D, t >= -behind, passes through the node's box grown by `pad`.
inline bool PassesNode(const TRayCull::TNode& n, const double o[3], const double d[3],
                       double pad, double behind) {
    double t0 = -behind, t1 = HUGE_VAL;
    for (int a = 0; a < 3; ++a) {
        const double lo = n.Lo[a] - pad, hi = n.Hi[a] + pad;
        if (d[a] == 0) {
            if (o[a] < lo || o[a] > hi) return false;
            continue;
        }
        double u = (lo - o[a]) / d[a], v = (hi - o[a]) / d[a];
        if (u > v) std::swap(u, v);
        t0 = std::max(t0, u), t1 = std::min(t1, v);
    }
    return t0 <= t1;
}

// The entries the ray keeps, by walking the tree (BallMissed on the balls of the leaves it
// reaches) plus the entries without a ball, in entry order.
void KeptByTree(const TVector& o, const TVector& d, const TRayCull& cull,
                std::vector<uint32_t>& keep) {
    thread_local std::vector<uint64_t> bits;
    bits.assign(cull.Always.begin(), cull.Always.end());
    const double od[3] = {o.x, o.y, o.z}, dd[3] = {d.x, d.y, d.z};
    // BallMissed keeps a ball only if the line passes within its radius plus 3.2e-5 |w| of
    // its centre, at most that far behind the start, with |w| <= |O| + Span; the pad adds room
    // for the rounding of the walk itself.
    const double pad = 3.3e-5 * (std::sqrt(o.x * o.x + o.y * o.y + o.z * o.z) + cull.Span);
    if (!std::isfinite(pad) || !std::isfinite(d.x) || !std::isfinite(d.y) ||
        !std::isfinite(d.z)) { // no bound: every ball is tried
        for (uint32_t k : cull.Order) bits[k >> 6] |= uint64_t{1} << (k & 63);
    } else {
        uint32_t stack[64];
        int top = 0;
        stack[top++] = 0;
        while (top > 0) {
            const TRayCull::TNode& n = cull.Nodes[stack[--top]];
            if (!PassesNode(n, od, dd, pad, n.Radius + pad)) continue;
            if (n.Count == 0) {
                stack[top++] = n.Second;
                stack[top++] = static_cast<uint32_t>(&n - cull.Nodes.data()) + 1;
                continue;
            }
            for (uint32_t i = n.First; i < n.First + n.Count; ++i) {
                const size_t k = cull.Order[i];
                const double wx = cull.X[k] - o.x, wy = cull.Y[k] - o.y, wz = cull.Z[k] - o.z;
                const double b = wx * d.x + wy * d.y + wz * d.z, c = wx * wx + wy * wy + wz * wz;
                const double slack = 1.01e-9 * c;
                const bool miss = (c - b * b > cull.Near[k] + slack) |
                                  ((b < 0) & (b * b > cull.Behind[k] + slack));
                if (!miss) bits[k >> 6] |= uint64_t{1} << (k & 63);
            }
        }
    }
    keep.clear();
    for (size_t w = 0; w < bits.size(); ++w)
        for (uint64_t m = bits[w]; m != 0; m &= m - 1)
            keep.push_back(cull.Body[w * 64 + static_cast<size_t>(__builtin_ctzll(m))]);
}
} // namespace

void BuildRayCull(const TAGeoData& bodies, TRayCull& cull) {
    cull = TRayCull{};
    cull.BodyCount = bodies.size();
    for (size_t i = 0; i < bodies.size(); ++i) {
        const TBodyPrep& p = bodies[i].Prep;
        if (p.Ready && p.Kind < 0) continue; // crosses nothing
        bool ball = p.Ready && p.RayCull;
        cull.Body.push_back(static_cast<uint32_t>(i));
        cull.X.push_back(ball ? p.Ball[0] : 0);
        cull.Y.push_back(ball ? p.Ball[1] : 0);
        cull.Z.push_back(ball ? p.Ball[2] : 0);
        cull.Near.push_back(ball ? p.Ball[3] : HUGE_VAL);
        cull.Behind.push_back(ball ? p.Ball[4] : HUGE_VAL);
    }
    cull.Count = cull.Body.size();
    cull.Body.resize((cull.Count + 1) / 2 * 2, 0);
    for (auto* v : {&cull.X, &cull.Y, &cull.Z, &cull.Near, &cull.Behind})
        v->resize(cull.Body.size(), 0);
    if (cull.Count < TreeFrom) return;
    cull.Always.assign((cull.Count + 63) / 64, 0);
    for (uint32_t k = 0; k < cull.Count; ++k) {
        if (std::isfinite(cull.Behind[k])) {
            cull.Order.push_back(k);
            const double reach = std::sqrt(cull.X[k] * cull.X[k] + cull.Y[k] * cull.Y[k] +
                                           cull.Z[k] * cull.Z[k]) + TreeRadius(cull, k);
            cull.Span = std::max(cull.Span, reach);
        } else {
            cull.Always[k >> 6] |= uint64_t{1} << (k & 63);
        }
    }
    if (cull.Order.empty()) return;
    BuildNode(cull, 0, static_cast<uint32_t>(cull.Order.size()));
}

void RayBodiesIntersections(const TVector& o, const TVector& d, const TAGeoData& bodies,
                            const TRayCull& cull, TMatrixA3d& points, TMatrixAi& codes,
                            std::vector<uint32_t>* kept) {
    if (cull.BodyCount != bodies.size()) {
        for (const TGeoData& body : bodies) RayBodyIntersections(o, d, body, points, codes);
        if (kept) {
            kept->resize(bodies.size());
            for (size_t i = 0; i < bodies.size(); ++i) (*kept)[i] = static_cast<uint32_t>(i);
        }
        return;
    }
    thread_local std::vector<uint32_t> keep;
    size_t n = 0;
    if (!cull.Nodes.empty()) {
        KeptByTree(o, d, cull, keep);
        n = keep.size();
    } else {
        // BallMissed over the arrays, two bodies at a time and without a branch per body (the
        // outcome is random from ray to ray).
        using V2 = double __attribute__((vector_size(16)));
        using M2 = int64_t __attribute__((vector_size(16)));
        if (keep.size() < cull.Body.size()) keep.resize(cull.Body.size());
        const V2 ox = {o.x, o.x}, oy = {o.y, o.y}, oz = {o.z, o.z};
        const V2 dx = {d.x, d.x}, dy = {d.y, d.y}, dz = {d.z, d.z}, zero = {0, 0};
        const uint32_t* ids = cull.Body.data();
        const size_t m = cull.Count;
        for (size_t k = 0; k < m; k += 2) { // the arrays are padded to an even length
            V2 cx, cy, cz, near, behind;
            std::memcpy(&cx, cull.X.data() + k, sizeof cx);
            std::memcpy(&cy, cull.Y.data() + k, sizeof cy);
            std::memcpy(&cz, cull.Z.data() + k, sizeof cz);
            std::memcpy(&near, cull.Near.data() + k, sizeof near);
            std::memcpy(&behind, cull.Behind.data() + k, sizeof behind);
            V2 wx = cx - ox, wy = cy - oy, wz = cz - oz;
            V2 b = wx * dx + wy * dy + wz * dz, c = wx * wx + wy * wy + wz * wz;
            V2 slack = 1.01e-9 * c;
            M2 miss = (c - b * b > near + slack) | ((b < zero) & (b * b > behind + slack));
            keep[n] = ids[k];
            n += miss[0] == 0;
            keep[n] = ids[k + 1];
            n += miss[1] == 0 && k + 1 < m;
        }
    }
    // the crossings of the bodies kept, in list order
    if (kept) kept->assign(keep.begin(), keep.begin() + static_cast<std::ptrdiff_t>(n));
    for (size_t k = 0; k < n; ++k) {
        const TGeoData& body = bodies[keep[k]];
        const TBodyPrep& p = body.Prep;
        if (p.Ready)
            BodyTypeOf(p.Kind).Crossings(o, d, body, p, points, codes);
        else
            UnpreparedCrossings(o, d, body, points, codes);
    }
}
