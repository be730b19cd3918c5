#include "RayZones.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr uint32_t None = std::numeric_limits<uint32_t>::max();

// The body a crossing code (Number * 10 + k) names, -1 when none or several do.
int32_t CodeBody(const TZoneIndex& ix, int32_t code) {
    int64_t c = code;
    int64_t number = c >= 0 ? c / 10 : -((9 - c) / 10);
    auto it = std::lower_bound(
        ix.Numbers.begin(), ix.Numbers.end(), number,
        [](const std::pair<int32_t, int32_t>& e, int64_t n) { return e.first < n; });
    return it != ix.Numbers.end() && it->first == number ? it->second : -1;
}

// Midpoint coordinate on axis a.
inline double At(const TVector& v, int a) {
    return a == 0 ? v.x : a == 1 ? v.y : v.z;
}

// Whether every midpoint stays within `pad` of the box of any two midpoints around it, axis by
// axis: the crossings run along the ray in order, up to swaps of crossings that rounding puts
// at the same distance. A box of two midpoints padded by `pad` then holds those between them.
bool RunsAlongTheRay(const TMatrixA3d& mids, double pad) {
    for (int a = 0; a < 3; ++a) {
        const bool up = At(mids.back(), a) >= At(mids.front(), a);
        double reach = At(mids.front(), a); // largest so far going up, smallest going down
        for (const TVector& m : mids) {
            double v = At(m, a);
            if (up ? v < reach - pad : v > reach + pad) return false;
            reach = up ? std::max(reach, v) : std::min(reach, v);
        }
    }
    return true;
}
} // namespace

// The pieces whose midpoints may lie in the body's (padded) enclosing box; every other midpoint
// is out of the box, so out of the body. Per axis, a bisection finds where the coordinates,
// which run along the ray within Pad (RunsAlongTheRay), pass each side of the box: before a
// step from below L to at least L every coordinate is below L + Pad.
bool TRayZoneSearch::Reach(const TGeoData& body, uint32_t& first, uint32_t& final) const {
    const TBodyPrep& p = body.Prep;
    first = 0;
    final = static_cast<uint32_t>(Pieces - 1);
    if (!p.Ready || !p.Bounded) return true;
    size_t lo = 0, hi = Pieces - 1; // the pieces not yet ruled out
    for (int a = 0; a < 3 && lo <= hi; ++a) {
        const double bmin = p.Box[static_cast<size_t>(2 * a)] - 2 * Pad;
        const double bmax = p.Box[static_cast<size_t>(2 * a + 1)] + 2 * Pad;
        if (!(bmin <= bmax)) return false; // an empty box: never inside
        const bool up = At(Mids.back(), a) >= At(Mids.front(), a);
        // Going up, the pieces before the first coordinate >= bmin are below the box and those
        // after the last <= bmax above it; going down the other way round.
        auto cut = [&](auto beyond) { // first piece where beyond() holds, given it holds last
            if (beyond(At(Mids[0], a))) return size_t{0};
            size_t f = 0, t = Pieces - 1; // beyond() false at f, true at t
            while (t - f > 1) {
                size_t m = f + (t - f) / 2;
                (beyond(At(Mids[m], a)) ? t : f) = m;
            }
            return t;
        };
        auto reachesMin = [&](double v) { return v >= bmin; };
        auto reachesMax = [&](double v) { return v <= bmax; };
        auto pastMax = [&](double v) { return v > bmax; };
        auto pastMin = [&](double v) { return v < bmin; };
        const double v0 = At(Mids.front(), a), v1 = At(Mids.back(), a);
        if (up) {
            if (!reachesMin(v1) || pastMax(v0)) return false; // all below or all above
            lo = std::max(lo, cut(reachesMin));
            if (pastMax(v1)) hi = std::min(hi, cut(pastMax) - 1);
        } else {
            if (!reachesMax(v1) || pastMin(v0)) return false;
            lo = std::max(lo, cut(reachesMax));
            if (pastMin(v1)) hi = std::min(hi, cut(pastMin) - 1);
        }
    }
    if (lo > hi) return false;
    first = static_cast<uint32_t>(lo);
    final = static_cast<uint32_t>(hi);
    return true;
}

void TRayZoneSearch::Start(const TAGeoData& bodies, const TAZoneData& zones,
                           const TZoneIndex& index, const TMatrixA3d& points,
                           const TMatrixAi& codes, const std::vector<uint32_t>& kept) {
    Bodies = &bodies;
    Zones = &zones;
    Index = &index;
    Points = &points;
    Cell.Leaf = -1, Cell.Levels = 0; // the index may be another one than on the last ray
    Started = false;
    Carry = false;
    Pieces = points.size() >= 2 ? points.size() - 1 : 0;
    const size_t n = bodies.size();
    // a lattice's zones are found by index arithmetic: nothing to carry
    if (zones.Lattice || !index.Ready || index.BodyCount != n || index.ZoneCount != zones.size() ||
        index.ZonesStart.size() != n + 1 || codes.size() != points.size() || Pieces == 0 ||
        Pieces >= None / 2 || (!Always && (Pieces < MinPieces || !Pays(kept))))
        return;

    Mids.resize(Pieces);
    double mag = 0;
    for (size_t k = 0; k < Pieces; ++k) {
        Mids[k] = PieceMid(points, k);
        mag = std::max({mag, std::fabs(Mids[k].x), std::fabs(Mids[k].y), std::fabs(Mids[k].z)});
    }
    // far above the rounding of crossing points and midpoints, far below BodyBoxSide's margin
    Pad = 1e-13 * mag + 1e-300;
    if (!std::isfinite(Pad) || !RunsAlongTheRay(Mids, Pad)) return;

    if (State.size() != n) {
        State.assign(n, 0);
        for (auto* v : {&Until, &Step, &Stamp, &NextExpiring, &CrossBegin, &CrossEnd, &First, &Final})
            v->assign(n, 0);
        Ray = 0;
    }
    if (++Ray == 0) { // the stamps wrapped: none may look current
        std::fill(Stamp.begin(), Stamp.end(), 0);
        Ray = 1;
    }
    // Only bodies of some zone matter, and only where the ray can be in them; all others stay
    // out of their bodies along the whole ray (the ray cull or their boxes prove it).
    Tracked.clear();
    for (uint32_t b : kept)
        if (b < n && Stamp[b] != Ray && index.ZonesStart[b + 1] > index.ZonesStart[b] &&
            Reach(bodies[b], First[b], Final[b]))
            Stamp[b] = Ray, Tracked.push_back(b);

    // the crossings of each tracked body, by point position
    Pairs.clear();
    for (size_t i = 1; i < points.size(); ++i) {
        int32_t b = CodeBody(index, codes[i]);
        if (b >= 0 && Stamp[static_cast<size_t>(b)] == Ray)
            Pairs.emplace_back(static_cast<uint32_t>(b), static_cast<uint32_t>(i));
    }
    std::sort(Pairs.begin(), Pairs.end());
    for (uint32_t b : Tracked) CrossBegin[b] = CrossEnd[b] = 0;
    CrossAt.resize(Pairs.size());
    for (size_t k = 0; k < Pairs.size(); ++k) {
        uint32_t b = Pairs[k].first;
        if (k == 0 || Pairs[k - 1].first != b) CrossBegin[b] = static_cast<uint32_t>(k);
        CrossEnd[b] = static_cast<uint32_t>(k + 1);
        CrossAt[k] = Pairs[k].second;
    }
    if (In.size() != zones.size()) {
        In.assign(zones.size(), 0);
        Marked.assign(zones.size(), 0);
        Current.clear();
    }
    Carry = true;
}

// Following the states costs about one proof per kept body and a few per piece, and each
// change of a body's state a test of the zones it takes part in (a term costs about a quarter
// of an inside test); the index costs about one inside test per body its leaf leaves
// undecided, at every piece.
bool TRayZoneSearch::Pays(const std::vector<uint32_t>& kept) const {
    size_t undecided = 0;
    for (size_t k : {size_t{0}, Pieces / 2, Pieces - 1}) {
        TVector m = PieceMid(*Points, k);
        undecided += ZoneIndexLeafBodies(*Index, m.x, m.y, m.z);
    }
    const double perPiece = 1 + static_cast<double>(undecided) / 6; // half of them on average
    const double index = perPiece * static_cast<double>(Pieces);
    double carried = static_cast<double>(kept.size()) + 3.0 * static_cast<double>(Pieces);
    for (uint32_t b : kept) {
        if (b < Index->ZoneTerms.size()) carried += 0.25 * Index->ZoneTerms[b];
        if (carried >= index) return false;
    }
    return true;
}

void TRayZoneSearch::Begin(size_t piece) {
    for (int32_t z : Current) In[static_cast<size_t>(z)] = 0;
    Current.clear();
    Expiring.assign(Pieces + 1, None);
    for (uint32_t b : Tracked) {
        Step[b] = static_cast<uint32_t>(Pieces);
        Refresh(b, piece);
    }
    const TVector& m = Mids[piece];
    FindZone(*Bodies, *Zones, *Index, &Cell, Current, m.x, m.y, m.z);
    for (int32_t z : Current) In[static_cast<size_t>(z)] = 1;
    Started = true;
}

// Sets the body's state at `piece` and how far on it holds, and queues the body for the piece
// after that.
void TRayZoneSearch::Refresh(uint32_t body, size_t piece) {
    // The crossing at point position i lies between pieces i - 1 and i. CrossBegin moves past
    // the crossings behind; after a start-over the ones passed only no longer end proofs.
    uint32_t& next = CrossBegin[body];
    while (next < CrossEnd[body] && CrossAt[next] <= piece) ++next;
    if (piece < First[body] || piece > Final[body]) { // out of its box
        State[body] = 0;
        Until[body] = piece < First[body] ? First[body] - 1 : static_cast<uint32_t>(Pieces - 1);
    } else {
        Prove(body, piece, std::min<size_t>(Final[body],
                                            next < CrossEnd[body] ? CrossAt[next] - 1 : Pieces - 1));
    }
    const size_t expires = static_cast<size_t>(Until[body]) + 1;
    if (expires < Pieces) {
        NextExpiring[body] = Expiring[expires];
        Expiring[expires] = body;
    }
}

// The state at `piece` proved for as many pieces up to runEnd as BodyBoxSide allows, else
// tested at the midpoint alone; the length tried adapts to how proofs went before.
void TRayZoneSearch::Prove(uint32_t body, size_t piece, size_t runEnd) {
    const size_t len = std::min<size_t>(Step[body], runEnd - piece + 1);
    const TGeoData& b = (*Bodies)[body];
    const TVector& m = Mids[piece];
    bool proved = false;
    if (len >= 2) {
        ++BoxProofs;
        const TVector& e = Mids[piece + len - 1];
        const double lo[3] = {std::min(m.x, e.x) - Pad, std::min(m.y, e.y) - Pad,
                              std::min(m.z, e.z) - Pad};
        const double hi[3] = {std::max(m.x, e.x) + Pad, std::max(m.y, e.y) + Pad,
                              std::max(m.z, e.z) + Pad};
        TBoxSide side = BodyBoxSide(b, lo, hi);
        if (side != TBoxSide::Unknown) {
            State[body] = side == TBoxSide::Inside;
            Until[body] = static_cast<uint32_t>(piece + len - 1);
            Step[body] = static_cast<uint32_t>(std::min<size_t>(2 * len, Pieces));
            proved = true;
        } else {
            Step[body] = static_cast<uint32_t>(len / 4);
        }
    } else {
        ++Step[body]; // tries a proof again after a test or two
    }
    if (!proved) {
        ++InsideTests;
        State[body] = PointInBody(b, m.x, m.y, m.z);
        Until[body] = static_cast<uint32_t>(piece);
    }
}

void TRayZoneSearch::ZonesOfChanged() {
    const TZoneIndex& ix = *Index;
    Affected.clear();
    for (int32_t b : Changed)
        for (uint32_t k = ix.ZonesStart[static_cast<size_t>(b)];
             k < ix.ZonesStart[static_cast<size_t>(b) + 1]; ++k) {
            int32_t z = ix.ZonesOfBody[k];
            if (!Marked[static_cast<size_t>(z)]) Marked[static_cast<size_t>(z)] = 1, Affected.push_back(z);
        }
    bool dropped = false, added = false;
    const size_t n = Bodies->size();
    for (int32_t z : Affected) {
        Marked[static_cast<size_t>(z)] = 0;
        uint8_t v = ZoneHolds((*Zones)[static_cast<size_t>(z)], n,
                              [&](size_t b) { return Stamp[b] == Ray && State[b] != 0; });
        uint8_t& in = In[static_cast<size_t>(z)];
        if (v == in) continue;
        in = v;
        if (v)
            Current.push_back(z), added = true;
        else
            dropped = true;
    }
    if (dropped)
        Current.erase(std::remove_if(Current.begin(), Current.end(),
                                     [&](int32_t z) { return !In[static_cast<size_t>(z)]; }),
                      Current.end());
    if (added) std::sort(Current.begin(), Current.end());
}

int TRayZoneSearch::Find(size_t piece, TMatrixAi& result) {
    if (!Carry || piece >= Pieces) {
        ++IndexedPieces;
        if (Points == nullptr || piece + 1 >= Points->size()) {
            result.clear();
            return 0;
        }
        TVector m = PieceMid(*Points, piece);
        return FindZone(*Bodies, *Zones, *Index, &Cell, result, m.x, m.y, m.z);
    }
    if (!Started || piece < Last) {
        Begin(piece);
    } else if (piece > Last) {
        Changed.clear();
        for (size_t j = Last + 1; j <= piece; ++j) {
            uint32_t b = Expiring[j];
            Expiring[j] = None;
            while (b != None) {
                const uint32_t after = NextExpiring[b];
                const uint8_t was = State[b];
                Refresh(b, piece);
                if (State[b] != was) Changed.push_back(static_cast<int32_t>(b));
                b = after;
            }
        }
        if (!Changed.empty()) ZonesOfChanged();
    }
    Last = piece;
    ++CarriedPieces;
    result.assign(Current.begin(), Current.end());
    return static_cast<int>(result.size());
}
