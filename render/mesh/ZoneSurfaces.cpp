#include "ZoneSurfaces.h"

#include "BodyMesh.h"
#include "geometry/BoxSide.h"
#include "geometry/ZoneIndex.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <iterator>
#include <limits>
#include <thread>


namespace {

using TPoly = std::vector<TVector>; // a small convex polygon in the plane of a mesh polygon

// Zones (and materials) that change across a surface point, sorted: zone z coded 2z when it
// holds on the inner side of the body (its outward normal is the body's), 2z + 1 on the outer
// side; material entries coded the same way with MaterialBit set. Empty: the point bounds
// nothing.
using TKey = std::vector<int32_t>;
constexpr int32_t MaterialBit = 1 << 30;

constexpr uint32_t ClusterTriangles = 96;
constexpr int MaxDepth = 40;   // halvings of one mesh polygon
constexpr int UnknownDepth = 24; // halvings to come down to the zone index's cells
constexpr int MaxCuts = 4096; // cuts along planes, each of which takes a body or a box face off
// Polygons are refined until they are smaller than this share of the smallest body whose
// surface may cross them.
constexpr double CoarseShare = 0.3;
// how far (as a share of a piece's size) a seam may bend away from the straight cut of it
// ... down to this share of the smallest body that may cross it
constexpr double SeamBend = 0.02;
constexpr double BendFloor = 0.06;
constexpr double FinestShare = 1e-3; // where seams meet
constexpr double QueryShrink = 0.25;
constexpr int SeamSteps = 11; // bisection steps along an edge that a seam crosses
constexpr size_t MaxSeamCrossings = 8; // surfaces crossing an edge looked at one by one

double MaxAbs(const TVector& v) {
    return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
}

void PolyBox(const TPoly& p, double lo[3], double hi[3]) {
    lo[0] = lo[1] = lo[2] = std::numeric_limits<double>::infinity();
    hi[0] = hi[1] = hi[2] = -std::numeric_limits<double>::infinity();
    for (const TVector& v : p) {
        const double c[3] = {v.x, v.y, v.z};
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], c[a]), hi[a] = std::max(hi[a], c[a]);
    }
}

double Coord(const TVector& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

double PolySize(const TPoly& p) {
    double s = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        TVector d = p[(i + 1) % p.size()] - p[i];
        s = std::max(s, Dot(d, d));
    }
    return std::sqrt(s);
}

double Area(const TPoly& p) {
    TVector s;
    for (size_t i = 1; i + 1 < p.size(); ++i) s = s + Cross(p[i] - p[0], p[i + 1] - p[0]);
    return 0.5 * Length(s);
}

TVector Centroid(const TPoly& p) {
    TVector c;
    for (const TVector& v : p) c = c + v;
    return c * (1.0 / static_cast<double>(p.size()));
}

// Splits a convex polygon by the plane dist(v) = 0 into the parts with dist >= 0 and <= 0.
template <class F> void SplitPoly(const TPoly& p, F dist, TPoly& pos, TPoly& neg) {
    pos.clear(), neg.clear();
    const size_t n = p.size();
    for (size_t i = 0; i < n; ++i) {
        const TVector& a = p[i];
        const TVector& b = p[(i + 1) % n];
        double da = dist(a), db = dist(b);
        if (da >= 0) pos.push_back(a);
        if (da <= 0) neg.push_back(a);
        if ((da > 0 && db < 0) || (da < 0 && db > 0)) {
            TVector x = a + (b - a) * (da / (da - db));
            pos.push_back(x), neg.push_back(x);
        }
    }
}

struct TContext {
    const TAGeoData& Bodies;
    const TAZoneData& Zones;
    const TZoneIndex& Index;
    const TGeoData* Cut = nullptr; // prepared copy, or null
    size_t CutId = 0;              // the cut box's id, after every body
    std::vector<int32_t> ZoneMaterial;
    std::vector<uint8_t> Used, Plane, Curved;
    std::vector<uint8_t> Box; // an RPP: its faces are planes of its box
    std::vector<double> Size; // largest side of a bounded body's box; 0 when unbounded
    std::vector<TVector> PlaneNormal;
    std::vector<double> PlaneOffset; // plane: PlaneNormal . p = PlaneOffset
    double IndexCell = 0; // below this size pieces stop halving towards the index's cells
    // The OR groups of every zone that take part in its union, as their terms (body, sign)
    // sorted by body; and per body the groups it is a term of. A body's surface can only
    // change a zone where one of its groups has every other term holding.
    std::vector<uint32_t> GroupFirst; // per group, into GroupBody/GroupSign; one more at the end
    std::vector<int32_t> GroupBody;
    std::vector<int8_t> GroupSign;
    std::vector<std::vector<uint32_t>> BodyGroups;
    std::atomic<bool> Stop{false};
    std::atomic<size_t> Done{0};
    std::atomic<size_t> Triangles{0};
    size_t MaxTriangles = 0;

    TContext(const TAGeoData& b, const TAZoneData& z, const TZoneIndex& i)
        : Bodies(b), Zones(z), Index(i) {}
    const TGeoData& Body(size_t id) const { return id == CutId ? *Cut : Bodies[id]; }
};

// What one body contributes, per owner, in the order it was made.
struct TOwnerTriangles {
    int32_t Owner = 0;
    std::vector<float> Vertex, Normal;
};
struct TBodyOutput {
    std::vector<TOwnerTriangles> Zones, Materials;
};

// What a piece takes over from the piece it was cut from.
struct TFrom {
    // the candidates, once the index has given them (they only need filtering by the smaller
    // box), and the size of the piece the index was last asked for
    const std::vector<uint32_t>* Known = nullptr;
    double Queried = 0;
    // this body's groups that may still change a zone over the piece; null: every one
    const std::vector<uint32_t>* Alive = nullptr;
    // the bodies whose state may change over that piece: the other terms of the groups
    // held all over it
    const std::vector<uint32_t>* Crossing = nullptr;
};

class TBodyWorker {
  public:
    TBodyWorker(TContext& c) : C(c) {}

    void Run(size_t id, TBodyOutput& out) {
        Out = &out;
        All.clear();
        ZoneSlot.assign(C.Zones.size(), -1);
        StateStamp.resize(C.Bodies.size(), 0);
        State.resize(C.Bodies.size(), TBoxSide::Unknown);
        MaterialSlot.clear();
        Id = id;
        const TGeoData& body = C.Body(id);
        const TBodyMesh& mesh = body.MeshGrid;
        size_t polygons = mesh.size();
        if (C.Plane[id]) polygons = std::min<size_t>(polygons, 1); // the plane face only
        // The groups and crossing bodies over the whole mesh, once: a polygon then looks only
        // at the few bodies near the body (a hole of 300 in a slab at the slab's term)
        const std::vector<uint32_t>* rootAlive = nullptr;
        RootCrossing.clear();
        if (id != C.CutId && mesh.Box[0] <= mesh.Box[1]) {
            double lo[3], hi[3];
            for (int a = 0; a < 3; ++a) {
                const double l = mesh.Box[static_cast<size_t>(2 * a)],
                             h = mesh.Box[static_cast<size_t>(2 * a + 1)];
                const double pad = 0.1 * std::max({mesh.Box[1] - mesh.Box[0],
                                                   mesh.Box[3] - mesh.Box[2],
                                                   mesh.Box[5] - mesh.Box[4]}) +
                                   1e-9 * (std::fabs(l) + std::fabs(h));
                lo[a] = l - pad, hi[a] = h + pad;
            }
            // the bodies of the index's leaves there (every one when they are too many); a
            // term that is none of them is decided all over each leaf, and taken as holding
            if (ZoneIndexBodiesInBox(C.Index, lo, hi, 64, LeafBodies)) {
                std::vector<uint32_t> near(LeafBodies.begin(), LeafBodies.end());
                Filter(near, lo, hi, RootCrossing);
            } else {
                Filter(AllCandidates(), lo, hi, RootCrossing);
            }
            std::sort(RootCrossing.begin(), RootCrossing.end());
            Sag = 0; // the box test decides every term over the grown box
            const TPoly none;
            if (!KeepAlive(C.BodyGroups[id], &RootCrossing, none, lo, hi, lo, hi, RootAlive))
                polygons = 0; // it bounds nothing anywhere
            rootAlive = &RootAlive;
        }
        TPoly poly;
        for (size_t k = 0; k < polygons && !C.Stop.load(std::memory_order_relaxed); ++k) {
            TMatrixA3d pts = mesh.Polygon(k);
            if (pts.size() < 3) continue;
            TVector n = Cross(pts[1] - pts[0], pts[2] - pts[1]);
            if (pts.size() > 3) {
                TVector n2 = Cross(pts[2] - pts[0], pts[3] - pts[2]);
                if (Dot(n2, n2) > Dot(n, n)) n = n2;
            }
            double len = Length(n);
            if (!(len > 0)) continue;
            Normal = n * (1.0 / len);
            poly.assign(pts.begin(), pts.end());
            // how far a curved body's mesh may lie from its true surface
            Sag = C.Curved[id] ? MeshSag(poly) : 0.0;
            const TPoly whole = poly;
            TKey key;
            Refine(poly, 0, 0, key, {nullptr, 0, rootAlive, &RootCrossing});
            Emit(whole, key); // what holds over all of it
            EmitPolygon(whole);
        }
        Out = nullptr;
    }

  private:
    TContext& C;
    TBodyOutput* Out = nullptr;
    size_t Id = 0;
    TVector Normal;
    double Sag = 0;
    std::vector<int32_t> ZoneSlot, MaterialSlot, LeafBodies;
    std::vector<double> Along; // crossings along an edge
    std::vector<uint32_t> Coincident; // bodies whose surfaces pass the point classified
    std::vector<int32_t> LeafHere;
    uint64_t Stamp = 0; // of the term states below, one per piece
    std::vector<uint64_t> StateStamp;
    std::vector<uint32_t> RootAlive, RootCrossing;
    std::vector<TBoxSide> State;
    TMatrixAi Hits;
    TZoneCell Cell; // of the last search: the next point is usually close by
    TMatrixA3d RayPts;
    TMatrixAi RayCodes;
    std::vector<int32_t> Minus, Plus, MinusMat, PlusMat;
    std::vector<uint32_t> All;

    const std::vector<uint32_t>& AllCandidates() {
        if (All.empty()) {
            for (size_t b = 0; b < C.Bodies.size(); ++b)
                if (C.Used[b] && b != Id) All.push_back(static_cast<uint32_t>(b));
            if (C.Cut && Id != C.CutId) All.push_back(static_cast<uint32_t>(C.CutId));
        }
        return All;
    }

    // The candidates whose surface may pass through the box lo..hi.
    void Filter(const std::vector<uint32_t>& from, const double lo[3], const double hi[3],
                std::vector<uint32_t>& to) const {
        to.clear();
        for (uint32_t c : from) {
            if (C.Plane[c]) {
                // exact: the plane crosses the box where the corners' sides differ
                const TVector& n = C.PlaneNormal[c];
                double low = 0, high = 0;
                const double nv[3] = {n.x, n.y, n.z};
                for (int a = 0; a < 3; ++a) {
                    low += nv[a] * (nv[a] >= 0 ? lo[a] : hi[a]);
                    high += nv[a] * (nv[a] >= 0 ? hi[a] : lo[a]);
                }
                double off = C.PlaneOffset[c];
                double margin = 1e-12 * (std::fabs(off) + MaxAbs({lo[0], lo[1], lo[2]}) +
                                         MaxAbs({hi[0], hi[1], hi[2]}));
                if (low - off > margin || off - high > margin) continue;
            } else if (BodyBoxSide(C.Body(c), lo, hi) != TBoxSide::Unknown) {
                continue;
            }
            to.push_back(c);
        }
    }

    // Where body c lies over the piece. The planes and boxes that cut pieces exactly are
    // decided on the piece itself, its edge counting with its inside (a piece cut off by a
    // plane lies on one side of it; its corners on the plane are its edge); other bodies by
    // their box test on the piece's box grown by the sag. A curved body's piece is not its
    // true surface: there only the grown box decides.
    TBoxSide SideOnPiece(uint32_t c, const TPoly& poly, const double lo[3], const double hi[3],
                         const double plo[3], const double phi[3]) const {
        if (Sag == 0 && C.Plane[c]) {
            const TVector& n = C.PlaneNormal[c];
            const double off = C.PlaneOffset[c];
            double dmin = std::numeric_limits<double>::infinity(), dmax = -dmin;
            double scale = std::fabs(off);
            for (const TVector& v : poly) {
                const double d = Dot(n, v) - off;
                dmin = std::min(dmin, d), dmax = std::max(dmax, d);
                scale = std::max(scale, MaxAbs(v));
            }
            const double eps = 1e-12 * scale;
            // a half-space holds where the distance along its normal is at least its offset
            if (dmin >= -eps && dmax > eps) return TBoxSide::Inside;
            if (dmax <= eps && dmin < -eps) return TBoxSide::Outside;
            return TBoxSide::Unknown;
        }
        if (Sag == 0 && C.Box[c]) {
            const double* box = C.Body(c).Params.data();
            bool inside = true;
            for (int a = 0; a < 3; ++a) {
                const double blo = box[2 * a], bhi = box[2 * a + 1];
                const double eps = 1e-12 * (std::fabs(blo) + std::fabs(bhi) + std::fabs(lo[a]) +
                                            std::fabs(hi[a]));
                // beyond a face: outside; within every slab, and not flat on a face: inside
                if (hi[a] <= blo + eps && lo[a] < blo - eps) return TBoxSide::Outside;
                if (lo[a] >= bhi - eps && hi[a] > bhi + eps) return TBoxSide::Outside;
                inside = inside && lo[a] >= blo - eps && hi[a] <= bhi + eps &&
                         (hi[a] - lo[a] > 2 * eps || (lo[a] > blo + eps && hi[a] < bhi - eps));
            }
            return inside ? TBoxSide::Inside : TBoxSide::Unknown;
        }
        return BodyBoxSide(C.Body(c), plo, phi);
    }

    // Keeps the groups of `from` none of whose other terms fails over the piece; false when
    // none is left. Given the candidates of the piece this one was cut from, only they can
    // fail here and not there: the other terms held all over that piece.
    bool KeepAlive(const std::vector<uint32_t>& from, const std::vector<uint32_t>* crossing,
                   const TPoly& poly, const double lo[3], const double hi[3],
                   const double plo[3], const double phi[3], std::vector<uint32_t>& alive) {
        ++Stamp;
        alive.clear();
        // a term fails over the piece
        auto fails = [&](uint32_t k) {
            const auto t = static_cast<uint32_t>(C.GroupBody[k]);
            if (t == Id) return false;
            if (StateStamp[t] != Stamp) {
                StateStamp[t] = Stamp;
                State[t] = SideOnPiece(t, poly, lo, hi, plo, phi);
            }
            return State[t] == (C.GroupSign[k] > 0 ? TBoxSide::Outside : TBoxSide::Inside);
        };
        for (uint32_t g : from) {
            bool dead = false;
            const int32_t* first = C.GroupBody.data() + C.GroupFirst[g];
            const int32_t* last = C.GroupBody.data() + C.GroupFirst[g + 1];
            if (crossing && static_cast<size_t>(last - first) > crossing->size()) {
                // a long group: look up the few crossing bodies in its sorted terms
                for (size_t i = 0; i < crossing->size() && !dead; ++i) {
                    const auto range = std::equal_range(first, last, static_cast<int32_t>((*crossing)[i]));
                    for (const int32_t* k = range.first; k != range.second && !dead; ++k)
                        dead = fails(static_cast<uint32_t>(k - C.GroupBody.data()));
                }
            } else {
                for (const int32_t* k = first; k != last && !dead; ++k) {
                    if (crossing && !std::binary_search(crossing->begin(), crossing->end(),
                                                        static_cast<uint32_t>(*k)))
                        continue;
                    dead = fails(static_cast<uint32_t>(k - C.GroupBody.data()));
                }
            }
            if (!dead) alive.push_back(g);
        }
        return !alive.empty();
    }

    enum class TPlace { Unknown, Irrelevant, Known };

    // The bodies whose surfaces may change a zone within the box (grown by the sag already),
    // from the zone index's leaves:
    // Irrelevant when this body's own surface changes no zone there.
    TPlace Candidates(const double lo[3], const double hi[3], std::vector<uint32_t>& cands) {
        cands.clear();
        if (!ZoneIndexBodiesInBox(C.Index, lo, hi, 24, LeafBodies)) return TPlace::Unknown;
        if (Id != C.CutId && !std::binary_search(LeafBodies.begin(), LeafBodies.end(),
                                                 static_cast<int32_t>(Id)))
            return TPlace::Irrelevant;
        std::vector<uint32_t> from;
        for (int32_t c : LeafBodies)
            if (static_cast<size_t>(c) != Id) from.push_back(static_cast<uint32_t>(c));
        if (C.Cut && Id != C.CutId) from.push_back(static_cast<uint32_t>(C.CutId));
        Filter(from, lo, hi, cands);
        return TPlace::Known;
    }

    // Returns true, leaving the emitting to the caller, when one classification holds over the
    // whole polygon (`uniform`), so that parts cut apart for nothing join again; otherwise emits
    // its parts itself.
    bool Refine(TPoly& poly, int depth, int cuts, TKey& uniform, TFrom from) {
        uniform.clear();
        if (poly.size() < 3) return true;
        double lo[3], hi[3];
        PolyBox(poly, lo, hi);
        const double size = PolySize(poly);
        // A curved body's true surface lies within Sag of its mesh: the bodies that may cross
        // the piece are those that may cross the box grown by that much.
        double plo[3], phi[3];
        for (int a = 0; a < 3; ++a) {
            const double pad = Sag + 1e-9 * (std::fabs(lo[a]) + std::fabs(hi[a]));
            plo[a] = lo[a] - pad, phi[a] = hi[a] + pad;
        }
        // Groups with a term that fails over the whole piece change no zone on it.
        std::vector<uint32_t> alive;
        if (Id != C.CutId) {
            if (!KeepAlive(from.Alive ? *from.Alive : C.BodyGroups[Id],
                           from.Alive ? from.Crossing : nullptr, poly, lo, hi, plo, phi, alive))
                return true;
            from.Alive = &alive;
        }
        std::vector<uint32_t> cands;
        // The index is asked again once a piece has come down to a quarter of the size it was
        // last asked at: it may then say that this body's surface bounds nothing there.
        TPlace place = TPlace::Unknown;
        const std::vector<uint32_t>* known = from.Known;
        if (!known || size < QueryShrink * from.Queried) {
            place = Candidates(plo, phi, cands);
            if (place != TPlace::Unknown) from.Queried = size;
        }
        if (place == TPlace::Unknown && known) Filter(*known, plo, phi, cands), place = TPlace::Known;
        switch (place) {
        case TPlace::Irrelevant:
            return true;
        case TPlace::Unknown:
            // many cells of the index: come down to their scale first, within reason
            if (depth < UnknownDepth && size > C.IndexCell)
                return Halve(poly, depth, cuts, uniform, {nullptr, 0, from.Alive, from.Crossing});
            Filter(AllCandidates(), plo, phi, cands);
            break;
        case TPlace::Known:
            break;
        }
        if (cands.empty()) {
            Classify(Centroid(poly), size, cands, uniform);
            return true;
        }
        // Half-space planes cut the polygon exactly; over each part the plane's side is fixed.
        for (size_t i = 0; i < cands.size(); ++i) {
            uint32_t c = cands[i];
            if (!C.Plane[c]) continue;
            const TVector n = C.PlaneNormal[c];
            const double off = C.PlaneOffset[c];
            double dmin = 0, dmax = 0, scale = std::fabs(off);
            for (const TVector& v : poly) {
                double d = Dot(n, v) - off;
                dmin = std::min(dmin, d), dmax = std::max(dmax, d);
                scale = std::max(scale, MaxAbs(v));
            }
            double eps = 1e-12 * scale;
            if (dmin < -eps && dmax > eps && cuts < MaxCuts) {
                TPoly pos, neg;
                SplitPoly(poly, [&](const TVector& v) { return Dot(n, v) - off; }, pos, neg);
                return Join(pos, neg, depth, cuts + 1, uniform, {&cands, from.Queried, from.Alive, &cands});
            }
        }
        // The faces of a bounded body's box cut the polygon too: a part outside the box then
        // drops the body, and seams cannot hide between the corners of a piece that straddles
        // the box's edge (for boxes the cuts are the seams themselves).
        for (uint32_t c : cands) {
            // an RPP's faces are its surface and cut at once; other boxes only once the polygon
            // has come down to the body's scale, so that cuts stay few
            if (C.Plane[c] || !(C.Size[c] > 0) || cuts >= MaxCuts ||
                (!C.Box[c] && size > 2 * C.Size[c]))
                continue;
            const TGeoData& cb = C.Body(c);
            const double* box = C.Box[c] ? cb.Params.data() : cb.Prep.Box.data();
            for (int a = 0; a < 3; ++a)
                for (int side = 0; side < 2; ++side) {
                    const double v = box[static_cast<size_t>(2 * a + side)];
                    const double eps = 1e-9 * (hi[a] - lo[a]);
                    if (!(lo[a] < v - eps && v + eps < hi[a])) continue;
                    TPoly pos, neg;
                    SplitPoly(poly, [&](const TVector& p) { return Coord(p, a) - v; }, pos, neg);
                    return Join(pos, neg, depth, cuts + 1, uniform, {&cands, from.Queried, from.Alive, &cands});
                }
        }
        // Planes and boxes have cut the polygon exactly: none of them changes over it any more.
        // Only the other bodies need the polygon refined down towards their scale.
        double smallest = std::numeric_limits<double>::infinity();
        bool exact = true;
        for (uint32_t c : cands) {
            if (C.Plane[c] || C.Box[c]) continue;
            exact = false;
            if (C.Size[c] > 0) smallest = std::min(smallest, C.Size[c]);
        }
        if (exact) {
            Classify(Centroid(poly), size, cands, uniform);
            return true;
        }
        if (size > CoarseShare * smallest && depth < MaxDepth)
            return Halve(poly, depth, cuts, uniform, {&cands, from.Queried, from.Alive, &cands});
        // Small against every body that may cross it: classify its corners and its centre.
        const size_t n = poly.size();
        std::vector<TKey> keys(n + 1);
        // Corners are taken a hair inside: a corner on a seam (where a cut along a plane put
        // it) then says what the polygon's side of the seam holds. The hair is well above the
        // step across the surface that the classification takes (else that step crosses a
        // plane through the corner), and a small share of the way to the centre.
        const TVector centre = Centroid(poly);
        for (size_t i = 0; i < n; ++i) {
            const double way = Length(centre - poly[i]);
            const double hair = std::min(0.01 * way, std::max(1e-6 * way, 100 * Tau(poly[i], size)));
            Classify(poly[i] + (centre - poly[i]) * (way > 0 ? hair / way : 0), size, cands, keys[i]);
        }
        Classify(centre, size, cands, keys[n]);
        bool same = true;
        for (size_t i = 1; i <= n && same; ++i) same = keys[i] == keys[0];
        if (same) {
            uniform = keys[0];
            return true;
        }
        // A seam crosses: cut along it where the corners fall into two runs of one key each.
        size_t changes = 0, first = 0, second = 0;
        for (size_t i = 0; i < n; ++i) {
            if (keys[i] == keys[(i + 1) % n]) continue;
            if (changes == 0) first = i;
            else second = i;
            ++changes;
        }
        bool twoKeys = changes == 2;
        for (size_t i = 0; i < n && twoKeys; ++i)
            twoKeys = keys[i] == keys[first] || keys[i] == keys[(first + 1) % n];
        if (!twoKeys) {
            // a corner of the seams, or a feature between the corners: down to a small share
            if (size > FinestShare * smallest && depth < MaxDepth)
                return Halve(poly, depth, cuts, uniform, {&cands, from.Queried, from.Alive, &cands});
            uniform = keys[n];
            return true;
        }
        TVector x1 = Seam(poly[first], poly[(first + 1) % n], keys[first], size, cands);
        TVector x2 = Seam(poly[second], poly[(second + 1) % n], keys[second], size, cands);
        TPoly a{x1}, b{x2};
        for (size_t i = (first + 1) % n;; i = (i + 1) % n) {
            a.push_back(poly[i]);
            if (i == second) break;
        }
        a.push_back(x2);
        for (size_t i = (second + 1) % n;; i = (i + 1) % n) {
            b.push_back(poly[i]);
            if (i == first) break;
        }
        b.push_back(x1);
        // One straight seam must part the two: where the centre of a part that is not a sliver
        // says otherwise (a corner of the seam inside), refine further.
        TKey ka, kb;
        Classify(Centroid(a), size, cands, ka);
        Classify(Centroid(b), size, cands, kb);
        const double whole = Area(poly);
        bool wrong = (ka != keys[(first + 1) % n] && Area(a) > 0.2 * whole) ||
                     (kb != keys[(second + 1) % n] && Area(b) > 0.2 * whole);
        if (!wrong && size > BendFloor * smallest) {
            // and the true seam must pass near the middle of the straight one: a curved seam is
            // followed by pieces small enough for their chords to stay close to it
            TVector across = Cross(Normal, x2 - x1);
            const double len = Length(across);
            if (len > 0) {
                across = across * (SeamBend * size / len);
                const TVector mid = (x1 + x2) * 0.5;
                TKey k1, k2;
                Classify(mid + across, size, cands, k1);
                Classify(mid - across, size, cands, k2);
                const TKey& kA = keys[(first + 1) % n];
                const TKey& kB = keys[(second + 1) % n];
                wrong = !((k1 == kA && k2 == kB) || (k1 == kB && k2 == kA));
            }
        }
        if (wrong && size > FinestShare * smallest && depth < MaxDepth)
            return Halve(poly, depth, cuts, uniform, {&cands, from.Queried, from.Alive, &cands});
        const TKey& kA = keys[(first + 1) % n];
        const TKey& kB = keys[(second + 1) % n];
        uniform.clear();
        std::set_intersection(kA.begin(), kA.end(), kB.begin(), kB.end(),
                              std::back_inserter(uniform));
        EmitRest(a, kA, uniform);
        EmitRest(b, kB, uniform);
        return false;
    }

    // Refines both parts of a polygon. What holds over the whole of both parts is left to the
    // caller (so that parts cut apart for another owner's sake join again); the rest is
    // emitted part by part.
    bool Join(TPoly& pos, TPoly& neg, int depth, int cuts, TKey& uniform, const TFrom& from) {
        TKey up, un;
        const bool wholeP = Refine(pos, depth, cuts, up, from);
        const bool wholeN = Refine(neg, depth, cuts, un, from);
        uniform.clear();
        std::set_intersection(up.begin(), up.end(), un.begin(), un.end(),
                              std::back_inserter(uniform));
        EmitRest(pos, up, uniform);
        EmitRest(neg, un, uniform);
        return wholeP && wholeN && up.size() == uniform.size() && un.size() == uniform.size();
    }

    // Emits the codes of key that are not in common.
    void EmitRest(const TPoly& poly, const TKey& key, const TKey& common) {
        if (key.size() == common.size()) return;
        TKey rest;
        std::set_difference(key.begin(), key.end(), common.begin(), common.end(),
                            std::back_inserter(rest));
        Emit(poly, rest);
    }

    bool Halve(const TPoly& poly, int depth, int cuts, TKey& uniform, const TFrom& from) {
        double lo[3], hi[3];
        PolyBox(poly, lo, hi);
        int axis = 0;
        for (int a = 1; a < 3; ++a)
            if (hi[a] - lo[a] > hi[axis] - lo[axis]) axis = a;
        const double mid = 0.5 * (lo[axis] + hi[axis]);
        TPoly pos, neg;
        SplitPoly(poly, [&](const TVector& v) { return Coord(v, axis) - mid; }, pos, neg);
        if (pos.size() < 3 || neg.size() < 3) {
            uniform.clear();
            return true;
        }
        return Join(pos, neg, depth + 1, cuts, uniform, from);
    }

    // The point of the edge a..b where the classification leaves ka: where the surface of the
    // one candidate that crosses the edge meets it, else by bisection. (On a curved body the
    // edge is a chord of the true surface: the two agree within the mesh's own error.)
    TVector Seam(TVector a, TVector b, const TKey& ka, double size,
                 const std::vector<uint32_t>& cands) {
        const TVector ab = b - a;
        const double length = Length(ab);
        if (length > 0) {
            const TVector d = ab * (1.0 / length);
            const double margin = 1e-9 * length;
            Along.clear();
            for (uint32_t c : cands) {
                RayPts.clear(), RayCodes.clear();
                RayBodyIntersections(a, d, C.Body(c), RayPts, RayCodes);
                for (const TVector& x : RayPts) {
                    const double t = Dot(x - a, d);
                    if (t > margin && t < length - margin) Along.push_back(t);
                }
                if (Along.size() > MaxSeamCrossings) break;
            }
            if (Along.size() == 1) return a + d * Along[0];
            if (!Along.empty() && Along.size() <= MaxSeamCrossings) {
                // several: the seam is the first crossing past which the key is not ka
                std::sort(Along.begin(), Along.end());
                TKey k;
                for (size_t i = 0; i + 1 < Along.size(); ++i) {
                    Classify(a + d * (0.5 * (Along[i] + Along[i + 1])), size, cands, k);
                    if (k != ka) return a + d * Along[i];
                }
                return a + d * Along.back();
            }
        }
        TKey k;
        for (int i = 0; i < SeamSteps; ++i) {
            TVector m = (a + b) * 0.5;
            Classify(m, size, cands, k);
            if (k == ka) a = m;
            else b = m;
        }
        return (a + b) * 0.5;
    }

    // Twice the largest distance, along the normal, from the polygon's centre and the middles
    // of its edges to the body's true surface: a long strip of a cylinder lies within a hair
    // of it, however long it is. A tenth of the polygon's size where a point finds no surface.
    double MeshSag(const TPoly& poly) {
        const double size = PolySize(poly);
        const double h = 0.25 * size;
        const TGeoData& body = C.Body(Id);
        double sag = 0;
        auto probe = [&](const TVector& p) {
            RayPts.clear(), RayCodes.clear();
            RayBodyIntersections(p - Normal * h, Normal, body, RayPts, RayCodes);
            double best = std::numeric_limits<double>::infinity();
            for (const TVector& x : RayPts) best = std::min(best, Length(x - p));
            return best <= h ? (sag = std::max(sag, best), true) : false;
        };
        // the middles of the edges a little inside: an edge on the rim of a cap would graze it
        const TVector centre = Centroid(poly);
        bool found = probe(centre);
        for (size_t i = 0; i < poly.size() && found; ++i)
            found = probe((poly[i] + poly[(i + 1) % poly.size()]) * 0.495 + centre * 0.01);
        return found ? 2 * sag + 1e-9 * size : 0.1 * size;
    }

    bool InsideOf(size_t id, const TVector& p) const {
        return PointInBody(C.Body(id), p.x, p.y, p.z);
    }

    void ZonesAt(const TVector& p, std::vector<int32_t>& zones, std::vector<int32_t>& mats) {
        zones.clear(), mats.clear();
        if (C.Cut && InsideOf(C.CutId, p)) return;
        FindZone(C.Bodies, C.Zones, C.Index, &Cell, Hits, p.x, p.y, p.z);
        zones.assign(Hits.begin(), Hits.end());
        for (int32_t z : zones) {
            int32_t m = C.ZoneMaterial[static_cast<size_t>(z)];
            if (m >= 0) mats.push_back(m);
        }
        std::sort(mats.begin(), mats.end());
        mats.erase(std::unique(mats.begin(), mats.end()), mats.end());
    }

    // The first step from a surface point q to either side of it: far above the rounding of
    // the coordinates, far below a piece's size.
    static double Tau(const TVector& q, double size) { return 1e-10 * MaxAbs(q) + 1e-7 * size; }

    // Appends the entries of the symmetric difference of two sorted lists.
    static void Difference(const std::vector<int32_t>& inner, const std::vector<int32_t>& outer,
                           TKey& key, int32_t bit) {
        size_t i = 0, j = 0;
        while (i < inner.size() || j < outer.size()) {
            if (j == outer.size() || (i < inner.size() && inner[i] < outer[j]))
                key.push_back((2 * inner[i++]) | bit);
            else if (i == inner.size() || outer[j] < inner[i])
                key.push_back((2 * outer[j++] + 1) | bit);
            else
                ++i, ++j;
        }
    }

    // The classification of the surface point near p (a point of the current mesh polygon):
    // p is carried along the polygon's normal onto the body's true surface, then the zones
    // just inside and just outside it are compared.
    void Classify(const TVector& p, double size, const std::vector<uint32_t>& cands, TKey& key) {
        key.clear();
        const TGeoData& body = C.Body(Id);
        const TVector n = Normal;
        TVector q = p;
        double h = std::max(0.25 * size, 2 * Sag) + 1e-12 * MaxAbs(p);
        RayPts.clear(), RayCodes.clear();
        RayBodyIntersections(p - n * h, n, body, RayPts, RayCodes);
        double best = h;
        for (const TVector& x : RayPts) {
            double d = Length(x - p);
            if (d <= best) best = d, q = x;
        }
        double tau = Tau(q, size);
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (InsideOf(Id, q - n * tau) != InsideOf(Id, q + n * tau)) break;
            tau *= 10;
        }
        const TVector in = q - n * tau, out = q + n * tau;
        ZonesAt(in, Minus, MinusMat);
        ZonesAt(out, Plus, PlusMat);
        Difference(Minus, Plus, key, 0);
        Difference(MinusMat, PlusMat, key, MaterialBit);
        if (key.empty()) return;
        // Where other surfaces pass here too, the first of the bodies that bound something
        // here in their own right draws it (a body that bounds nothing here may have left its
        // pieces here out), else the first of them.
        Coincident.clear();
        for (uint32_t c : cands)
            if (InsideOf(c, in) != InsideOf(c, out)) Coincident.push_back(c);
        if (Coincident.empty()) return;
        Coincident.push_back(static_cast<uint32_t>(Id));
        std::sort(Coincident.begin(), Coincident.end());
        size_t drawer = Coincident.front();
        for (uint32_t c : Coincident)
            if (BoundsHere(c, q, in, out)) {
                drawer = c;
                break;
            }
        if (drawer != Id) key.clear();
    }

    // Whether body b's surface bounds something at q in its own right: b is in the zone
    // index's leaf there, and one of its groups has every other term holding on both sides
    // (or its surface passing here as well). Every piece that leaves b out fails one of these.
    bool BoundsHere(size_t b, const TVector& q, const TVector& in, const TVector& out) {
        if (b == C.CutId) return true;
        const double at[3] = {q.x, q.y, q.z};
        if (ZoneIndexBodiesInBox(C.Index, at, at, 24, LeafHere) &&
            !std::binary_search(LeafHere.begin(), LeafHere.end(), static_cast<int32_t>(b)))
            return false;
        for (uint32_t g : C.BodyGroups[b]) {
            bool all = true;
            for (uint32_t k = C.GroupFirst[g]; k < C.GroupFirst[g + 1] && all; ++k) {
                const auto t = static_cast<size_t>(C.GroupBody[k]);
                if (t == b) continue;
                const bool a = InsideOf(t, in);
                if (a != InsideOf(t, out)) continue;
                all = a == (C.GroupSign[k] > 0);
            }
            if (all) return true;
        }
        return false;
    }

    // Pieces of the current mesh polygon are kept per owner and side until the polygon is
    // done: an owner whose pieces cover all of it gets the polygon whole.
    struct TPiece {
        uint32_t Owner; // (owner << 2) | (material << 1) | flip
        uint32_t First, Count; // points in PiecePoints
        double Area;
    };
    std::vector<TPiece> Pieces;
    std::vector<TVector> PiecePoints;

    void Emit(const TPoly& poly, const TKey& key) {
        if (key.empty() || poly.size() < 3) return;
        const double area = Area(poly);
        const auto first = static_cast<uint32_t>(PiecePoints.size());
        PiecePoints.insert(PiecePoints.end(), poly.begin(), poly.end());
        for (int32_t code : key) {
            const uint32_t material = (code & MaterialBit) ? 2 : 0;
            const int32_t c = code & ~MaterialBit;
            Pieces.push_back({(static_cast<uint32_t>(c >> 1) << 2) | material |
                                  static_cast<uint32_t>(c & 1),
                              first, static_cast<uint32_t>(poly.size()), area});
        }
    }

    void EmitPolygon(const TPoly& whole) {
        std::stable_sort(Pieces.begin(), Pieces.end(),
                         [](const TPiece& a, const TPiece& b) { return a.Owner < b.Owner; });
        const double wholeArea = Area(whole);
        for (size_t i = 0; i < Pieces.size();) {
            size_t j = i;
            double sum = 0;
            for (; j < Pieces.size() && Pieces[j].Owner == Pieces[i].Owner; ++j) sum += Pieces[j].Area;
            const uint32_t key = Pieces[i].Owner;
            TOwnerTriangles& t = Slot((key & 2) != 0, static_cast<int32_t>(key >> 2));
            const bool flip = (key & 1) != 0;
            if (std::fabs(sum - wholeArea) <= 1e-9 * wholeArea) {
                AddTriangles(t, whole.data(), whole.size(), flip);
            } else {
                for (size_t k = i; k < j; ++k)
                    AddTriangles(t, PiecePoints.data() + Pieces[k].First, Pieces[k].Count, flip);
            }
            i = j;
        }
        Pieces.clear();
        PiecePoints.clear();
    }

    void AddTriangles(TOwnerTriangles& t, const TVector* poly, size_t n, bool flip) {
        if (n < 3) return;
        if (C.Triangles.fetch_add(n - 2) + (n - 2) > C.MaxTriangles) {
            C.Stop = true; // too many: the build gives up
            return;
        }
        const TVector nn = flip ? Normal * -1.0 : Normal;
        for (size_t i = 1; i + 1 < n; ++i) {
            const TVector* c[3] = {&poly[0], &poly[i], &poly[i + 1]};
            if (flip) std::swap(c[1], c[2]);
            for (const TVector* v : c) {
                t.Vertex.insert(t.Vertex.end(), {static_cast<float>(v->x), static_cast<float>(v->y),
                                                 static_cast<float>(v->z)});
                t.Normal.insert(t.Normal.end(), {static_cast<float>(nn.x), static_cast<float>(nn.y),
                                                 static_cast<float>(nn.z)});
            }
        }
    }

    TOwnerTriangles& Slot(bool material, int32_t owner) {
        std::vector<int32_t>& slots = material ? MaterialSlot : ZoneSlot;
        std::vector<TOwnerTriangles>& list = material ? Out->Materials : Out->Zones;
        if (slots.size() <= static_cast<size_t>(owner))
            slots.resize(static_cast<size_t>(owner) + 1, -1);
        int32_t& s = slots[static_cast<size_t>(owner)];
        if (s < 0) {
            s = static_cast<int32_t>(list.size());
            list.push_back({owner, {}, {}});
        }
        return list[static_cast<size_t>(s)];
    }
};

void Append(TSurfaceSet& set, const TOwnerTriangles& t) {
    const size_t triangles = t.Vertex.size() / 9;
    const size_t base = set.Vertex.size() / 9;
    set.Vertex.insert(set.Vertex.end(), t.Vertex.begin(), t.Vertex.end());
    set.Normal.insert(set.Normal.end(), t.Normal.begin(), t.Normal.end());
    for (size_t first = 0; first < triangles; first += ClusterTriangles) {
        TSurfaceCluster c;
        c.First = static_cast<uint32_t>(base + first);
        c.Count = static_cast<uint32_t>(std::min<size_t>(ClusterTriangles, triangles - first));
        c.Owner = t.Owner;
        double sum[3] = {0, 0, 0};
        const float* v = t.Vertex.data() + first * 9;
        for (size_t k = 0; k < size_t{c.Count} * 3; ++k)
            for (int a = 0; a < 3; ++a) sum[a] += v[k * 3 + static_cast<size_t>(a)];
        for (int a = 0; a < 3; ++a) c.Centre[a] = static_cast<float>(sum[a] / (c.Count * 3.0));
        set.Clusters.push_back(c);
        if (static_cast<size_t>(c.Owner) < set.OwnerTriangles.size())
            set.OwnerTriangles[static_cast<size_t>(c.Owner)] += c.Count;
    }
}

} // namespace

size_t TSurfaceSet::Bytes() const {
    return (Vertex.capacity() + Normal.capacity()) * sizeof(float) +
           Clusters.capacity() * sizeof(TSurfaceCluster);
}

bool BuildZoneSurfaces(const TGeometry& geo, const TSurfaceOptions& options, TZoneSurfaces& out) {
    out = TZoneSurfaces{};
    // The refinement culls by the bodies' preparation; bodies loaded by the reader have it,
    // others are prepared in a copy.
    TAGeoData prepared;
    const bool ready = std::all_of(geo.Bodies.begin(), geo.Bodies.end(),
                                   [](const TGeoData& b) { return b.Prep.Ready; });
    if (!ready) {
        prepared = geo.Bodies;
        for (size_t b = 0; b < prepared.size(); ++b) {
            prepared[b].MeshGrid = geo.Bodies[b].MeshGrid;
            PrepareBody(prepared[b]);
        }
    }
    const TAGeoData& bodies = ready ? geo.Bodies : prepared;
    TZoneIndex index;
    BuildZoneIndex(bodies, geo.Zones, index);
    TContext ctx(bodies, geo.Zones, index);
    ctx.MaxTriangles = options.MaxTriangles;
    ctx.IndexCell = std::max({index.Hi[0] - index.Lo[0], index.Hi[1] - index.Lo[1],
                              index.Hi[2] - index.Lo[2]}) / 256;
    TGeoData cut;
    if (options.CutBox) {
        cut.Symbol = options.CutBox->Symbol;
        cut.Number = options.CutBox->Number;
        cut.Params = options.CutBox->Params;
        PrepareBody(cut);
        BuildMesh(cut, false, 0);
        ctx.Cut = &cut;
    }
    const size_t n = bodies.size();
    ctx.CutId = n;
    const size_t ids = n + (ctx.Cut ? 1 : 0);
    ctx.Used.assign(ids, 0);
    ctx.Plane.assign(ids, 0);
    ctx.Curved.assign(ids, 0);
    ctx.Box.assign(ids, 0);
    ctx.Size.assign(ids, 0);
    ctx.PlaneNormal.assign(ids, TVector{});
    ctx.PlaneOffset.assign(ids, 0);
    for (const TZoneData& zone : geo.Zones)
        for (size_t g = 0; g < zone.BodyIndex.size(); ++g)
            for (size_t t = 0; t < zone.BodyIndex[g].size(); ++t) {
                int32_t b = zone.BodyIndex[g][t];
                int s = g < zone.Sign.size() && t < zone.Sign[g].size() ? zone.Sign[g][t] : 1;
                if (b >= 0 && static_cast<size_t>(b) < n && s != 0) ctx.Used[static_cast<size_t>(b)] = 1;
            }
    if (ctx.Cut) ctx.Used[n] = 1;
    for (size_t id = 0; id < ids; ++id) {
        const TGeoData& b = ctx.Body(id);
        static const char* const curved[] = {"SPH", "RCC", "TRC", "TOR", "REC", "TEC", "ELL", "GEL"};
        for (const char* c : curved) ctx.Curved[id] = ctx.Curved[id] || b.Symbol == c;
        ctx.Box[id] = b.Symbol == "RPP" && b.Params[0] <= b.Params[1] && b.Params[2] <= b.Params[3] &&
                      b.Params[4] <= b.Params[5];
        if (b.Symbol == "HAF") {
            TVector nv{b.Params[0], b.Params[1], b.Params[2]};
            double len = Length(nv);
            if (len > 0) {
                ctx.Plane[id] = 1;
                ctx.PlaneNormal[id] = nv * (1.0 / len);
                ctx.PlaneOffset[id] = b.Params[3];
            }
        } else if (b.Prep.Ready && b.Prep.Bounded && b.Prep.Box[0] <= b.Prep.Box[1]) {
            const auto& box = b.Prep.Box;
            // the smallest side decides how finely seams with the body are followed (a
            // long thin cylinder's seams are circles of its radius), within reason
            const double large = std::max({box[1] - box[0], box[3] - box[2], box[5] - box[4]});
            const double small = std::min({box[1] - box[0], box[3] - box[2], box[5] - box[4]});
            ctx.Size[id] = std::max(small, large / 50);
        }
    }
    ctx.BodyGroups.assign(n, {});
    ctx.GroupFirst.push_back(0);
    std::vector<std::pair<int32_t, int8_t>> terms;
    for (const TZoneData& zone : geo.Zones)
        for (size_t g = 0; g < zone.BodyIndex.size(); ++g) {
            if (!ZoneGroupCounts(zone, g)) continue;
            terms.clear();
            bool never = false; // a plus term naming no body: the group holds nowhere
            for (size_t t = 0; t < zone.BodyIndex[g].size(); ++t) {
                const int s = g < zone.Sign.size() && t < zone.Sign[g].size() ? zone.Sign[g][t] : 1;
                const int32_t b = zone.BodyIndex[g][t];
                if (s == 0) continue;
                if (b < 0 || static_cast<size_t>(b) >= n) {
                    never = never || s > 0;
                    continue;
                }
                terms.push_back({b, static_cast<int8_t>(s > 0 ? 1 : -1)});
            }
            if (never || terms.empty()) continue;
            std::sort(terms.begin(), terms.end());
            const auto id = static_cast<uint32_t>(ctx.GroupFirst.size() - 1);
            for (size_t k = 0; k < terms.size(); ++k) {
                ctx.GroupBody.push_back(terms[k].first);
                ctx.GroupSign.push_back(terms[k].second);
                if (k == 0 || terms[k].first != terms[k - 1].first)
                    ctx.BodyGroups[static_cast<size_t>(terms[k].first)].push_back(id);
            }
            ctx.GroupFirst.push_back(static_cast<uint32_t>(ctx.GroupBody.size()));
        }
    ctx.ZoneMaterial.assign(geo.Zones.size(), -1);
    for (size_t z = 0; z < geo.Zones.size(); ++z)
        for (size_t m = 0; m < geo.Materials.size(); ++m)
            if (geo.Materials[m].Number == geo.Zones[z].Material) {
                ctx.ZoneMaterial[z] = static_cast<int32_t>(m);
                break;
            }

    // The work: every used body with a mesh, the costly ones first.
    std::vector<size_t> order;
    std::vector<size_t> weight(ids, 0);
    size_t total = 0;
    for (size_t id = 0; id < ids; ++id) {
        if (!ctx.Used[id] || ctx.Body(id).MeshGrid.empty()) continue;
        order.push_back(id);
        weight[id] = ctx.Plane[id] ? 64 : ctx.Body(id).MeshGrid.size();
        total += weight[id];
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return weight[a] > weight[b]; });
    std::vector<TBodyOutput> results(ids);
    std::atomic<size_t> next{0};
    std::atomic<unsigned> finished{0};
    auto report = [&] {
        double done = total ? double(ctx.Done.load()) / double(total) : 1.0;
        if (options.Progress && !options.Progress(std::min(done, 1.0))) ctx.Stop = true;
    };
    // inline: the calling thread works alone and reports between bodies
    auto work = [&](bool inlineReports) {
        TBodyWorker worker(ctx);
        for (;;) {
            size_t k = next.fetch_add(1);
            if (k >= order.size() || ctx.Stop.load()) break;
            size_t id = order[k];
            worker.Run(id, results[id]);
            ctx.Done.fetch_add(weight[id]);
            if (inlineReports) report();
        }
        finished.fetch_add(1);
    };
    unsigned threads = options.Threads ? options.Threads : std::thread::hardware_concurrency();
    threads = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(order.size())));
    if (threads == 1) {
        work(true);
    } else {
        std::vector<std::thread> pool;
        for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work, false);
        // The calling thread reports while the others work.
        while (finished.load() < threads) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            report();
        }
        for (auto& th : pool) th.join();
    }
    if (ctx.Stop.load()) {
        out = TZoneSurfaces{};
        return false;
    }
    if (options.Progress && !options.Progress(1.0)) return out = TZoneSurfaces{}, false;
    out.Zones.OwnerTriangles.assign(geo.Zones.size(), 0);
    out.Materials.OwnerTriangles.assign(geo.Materials.size(), 0);
    for (size_t id = 0; id < ids; ++id) {
        for (const TOwnerTriangles& t : results[id].Zones) Append(out.Zones, t);
        for (const TOwnerTriangles& t : results[id].Materials) Append(out.Materials, t);
        results[id] = TBodyOutput{};
    }
    return true;
}

std::vector<TSurfaceMeasure> MeasureSurfaces(const TSurfaceSet& set, size_t owners) {
    std::vector<TSurfaceMeasure> m(owners);
    std::vector<TVector> areaVector(owners);
    for (const TSurfaceCluster& c : set.Clusters) {
        if (c.Owner < 0 || static_cast<size_t>(c.Owner) >= owners) continue;
        TSurfaceMeasure& s = m[static_cast<size_t>(c.Owner)];
        TVector& av = areaVector[static_cast<size_t>(c.Owner)];
        for (uint32_t t = c.First; t < c.First + c.Count; ++t) {
            const float* v = set.Vertex.data() + size_t{t} * 9;
            TVector a{v[0], v[1], v[2]}, b{v[3], v[4], v[5]}, d{v[6], v[7], v[8]};
            TVector cr = Cross(b - a, d - a);
            s.Volume += Dot(a, Cross(b, d)) / 6.0;
            s.Area += 0.5 * Length(cr);
            av = av + cr * 0.5;
            ++s.Triangles;
        }
    }
    for (size_t o = 0; o < owners; ++o) m[o].OpenArea = Length(areaVector[o]);
    return m;
}
