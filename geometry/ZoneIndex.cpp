#include "ZoneIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double Inf = std::numeric_limits<double>::infinity();
// Upper bound on the work (and code size) of one build, in term visits.
constexpr double BuildBudget = 4e7;
constexpr int MaxCellsPerAxis = 1024;

enum class TReach { Never, Box, Anywhere };

struct TCellRange {
    int Lo[3] = {0, 0, 0}, Hi[3] = {0, 0, 0};
    bool Contains(int i, int j, int k) const {
        return Lo[0] <= i && i <= Hi[0] && Lo[1] <= j && j <= Hi[1] && Lo[2] <= k && k <= Hi[2];
    }
    double Count() const {
        double c = 1;
        for (int a = 0; a < 3; ++a) c *= Hi[a] - Lo[a] + 1;
        return c;
    }
};

// Monotone in v, so every point of a box falls into the cells between those of its corners.
// (Truncation is the floor here: negative values are clamped first.)
inline int CellCoord(const TZoneIndex& ix, int a, double v) {
    double c = (v - ix.Lo[a]) * ix.Inv[a];
    if (!(c >= 0)) return 0;
    if (c >= ix.N[a]) return ix.N[a] - 1;
    return static_cast<int>(c);
}

TCellRange RangeOf(const TZoneIndex& ix, const double box[6]) {
    TCellRange r;
    for (int a = 0; a < 3; ++a)
        r.Lo[a] = CellCoord(ix, a, box[2 * a]), r.Hi[a] = CellCoord(ix, a, box[2 * a + 1]);
    return r;
}

TCellRange AllCells(const TZoneIndex& ix) {
    TCellRange r;
    for (int a = 0; a < 3; ++a) r.Lo[a] = 0, r.Hi[a] = ix.N[a] - 1;
    return r;
}

TReach ReachOf(const TAGeoData& bodies, int32_t b) {
    if (b < 0 || static_cast<size_t>(b) >= bodies.size()) return TReach::Never;
    const TGeoData& body = bodies[static_cast<size_t>(b)];
    if (!body.Prep.Ready) return BodyKind(body.Symbol) < 0 ? TReach::Never : TReach::Anywhere;
    if (body.Prep.Kind < 0) return TReach::Never;
    if (!body.Prep.Bounded) return TReach::Anywhere;
    const auto& x = body.Prep.Box;
    if (x[0] > x[1] || x[2] > x[3] || x[4] > x[5]) return TReach::Never;
    return TReach::Box;
}

int TermSign(const TZoneData& z, size_t g, size_t t) {
    if (g >= z.Sign.size() || t >= z.Sign[g].size()) return 1;
    return z.Sign[g][t];
}

// A counted group's candidate region: the intersection of its positive bounded terms' boxes.
// False when the group can hold no point at all.
bool GroupBox(const TAGeoData& bodies, const TZoneData& z, size_t g, double box[6], bool& bounded) {
    for (int a = 0; a < 3; ++a) box[2 * a] = -Inf, box[2 * a + 1] = Inf;
    bounded = false;
    const TMatrixAi& idx = z.BodyIndex[g];
    for (size_t t = 0; t < idx.size(); ++t) {
        if (TermSign(z, g, t) <= 0) continue;
        TReach r = ReachOf(bodies, idx[t]);
        if (r == TReach::Never) return false;
        if (r != TReach::Box) continue;
        const auto& x = bodies[static_cast<size_t>(idx[t])].Prep.Box;
        for (int a = 0; a < 3; ++a) {
            box[2 * a] = std::max(box[2 * a], x[static_cast<size_t>(2 * a)]);
            box[2 * a + 1] = std::min(box[2 * a + 1], x[static_cast<size_t>(2 * a + 1)]);
        }
        bounded = true;
    }
    return !(box[0] > box[1] || box[2] > box[3] || box[4] > box[5]);
}

// Grid over the union of the bodies' boxes with about `target` cells.
void PlaceGrid(const TAGeoData& bodies, double target, TZoneIndex& ix) {
    double lo[3] = {Inf, Inf, Inf}, hi[3] = {-Inf, -Inf, -Inf};
    for (size_t b = 0; b < bodies.size(); ++b) {
        if (ReachOf(bodies, static_cast<int32_t>(b)) != TReach::Box) continue;
        const auto& x = bodies[b].Prep.Box;
        for (int a = 0; a < 3; ++a)
            lo[a] = std::min(lo[a], x[static_cast<size_t>(2 * a)]),
            hi[a] = std::max(hi[a], x[static_cast<size_t>(2 * a + 1)]);
    }
    double ext[3], emax = 0;
    for (int a = 0; a < 3; ++a) ext[a] = hi[a] - lo[a], emax = std::max(emax, ext[a]);
    for (int a = 0; a < 3; ++a) ix.Lo[a] = 0, ix.Inv[a] = 0, ix.N[a] = 1;
    if (!(emax > 0) || !std::isfinite(emax) || target <= 1) return;
    for (int a = 0; a < 3; ++a) ext[a] = std::max(ext[a], emax * 1e-3);
    double h = std::cbrt(ext[0] * ext[1] * ext[2] / target);
    for (int a = 0; a < 3; ++a) {
        double n = std::clamp(std::round(ext[a] / h), 1.0, static_cast<double>(MaxCellsPerAxis));
        ix.N[a] = static_cast<int>(n);
        ix.Lo[a] = lo[a];
        ix.Inv[a] = n / ext[a];
    }
}

// Whether the inside test of the body is a convex set, so that a cell whose corners (pushed out
// by a margin) all pass the test lies wholly inside.
bool Convex(const TGeoData& b) {
    if (!b.Prep.Ready) return false;
    switch (b.Prep.Kind) {
    case 4:
        return false; // TOR
    case 7:
        return b.Params[12] >= 0; // TEC: a negative ratio makes a double cone
    case 10:
        return b.Prep.Arb.Valid; // ARB
    default:
        return b.Prep.Kind >= 0;
    }
}

// True when every point that falls into cell (i, j, k) is inside the body. Cells on the rim of
// the grid reach to infinity and never qualify. The margin dwarfs both the rounding of the cell
// lookup and that of the inside tests near their surfaces.
bool CellInside(const TZoneIndex& ix, const TGeoData& b, int i, int j, int k) {
    const int c[3] = {i, j, k};
    double lo[3], hi[3], mag = 0, size = 0;
    for (int a = 0; a < 3; ++a) {
        if (c[a] == 0 || c[a] == ix.N[a] - 1) return false;
        double w = 1 / ix.Inv[a];
        lo[a] = ix.Lo[a] + c[a] * w, hi[a] = lo[a] + w;
        mag = std::max({mag, std::fabs(lo[a]), std::fabs(hi[a])});
        size = std::max(size, w);
    }
    if (b.Prep.Bounded) {
        const auto& x = b.Prep.Box;
        for (int a = 0; a < 3; ++a)
            size =
                std::max(size, x[static_cast<size_t>(2 * a + 1)] - x[static_cast<size_t>(2 * a)]);
    }
    double m = 1e-6 * size + 1e-9 * mag;
    if (!std::isfinite(m)) return false;
    for (int corner = 0; corner < 8; ++corner) {
        double x = (corner & 1) ? hi[0] + m : lo[0] - m;
        double y = (corner & 2) ? hi[1] + m : lo[1] - m;
        double z = (corner & 4) ? hi[2] + m : lo[2] - m;
        if (!PointInBody(b, x, y, z)) return false;
    }
    return true;
}

struct TCandidate {
    int32_t Zone;
    int32_t Group;
};
} // namespace

void BuildZoneIndex(const TAGeoData& bodies, const TAZoneData& zones, TZoneIndex& ix) {
    ix = TZoneIndex{};
    ix.BodyCount = bodies.size();
    ix.ZoneCount = zones.size();

    size_t boxed = 0;
    for (size_t b = 0; b < bodies.size(); ++b)
        if (ReachOf(bodies, static_cast<int32_t>(b)) == TReach::Box) ++boxed;

    // Counted groups with their regions.
    struct TGroup {
        int32_t Zone, Group;
        double Box[6];
        bool Bounded;
        double Terms;
    };
    std::vector<TGroup> groups;
    for (size_t z = 0; z < zones.size(); ++z)
        for (size_t g = 0; g < zones[z].BodyIndex.size(); ++g) {
            if (!ZoneGroupCounts(zones[z], g)) continue;
            TGroup gr{static_cast<int32_t>(z),
                      static_cast<int32_t>(g),
                      {},
                      false,
                      static_cast<double>(zones[z].BodyIndex[g].size())};
            if (GroupBox(bodies, zones[z], g, gr.Box, gr.Bounded)) groups.push_back(gr);
        }

    // A finer grid culls more but costs cells x terms to build: shrink it to the budget.
    double target = std::min(32.0 * static_cast<double>(boxed), 262144.0);
    for (;;) {
        PlaceGrid(bodies, target, ix);
        double work = 0;
        for (const TGroup& g : groups)
            work += (g.Bounded ? RangeOf(ix, g.Box) : AllCells(ix)).Count() * (g.Terms + 2);
        double cells = static_cast<double>(ix.N[0]) * ix.N[1] * ix.N[2];
        if (work + cells <= BuildBudget || target <= 1) break;
        target /= 4;
    }
    const int nx = ix.N[0], ny = ix.N[1], nz = ix.N[2];
    const size_t cells =
        static_cast<size_t>(nx) * static_cast<size_t>(ny) * static_cast<size_t>(nz);

    std::vector<std::vector<TCandidate>> cand(cells);
    for (const TGroup& g : groups) {
        TCellRange r = g.Bounded ? RangeOf(ix, g.Box) : AllCells(ix);
        for (int k = r.Lo[2]; k <= r.Hi[2]; ++k)
            for (int j = r.Lo[1]; j <= r.Hi[1]; ++j)
                for (int i = r.Lo[0]; i <= r.Hi[0]; ++i)
                    cand[(static_cast<size_t>(k) * ny + j) * nx + i].push_back({g.Zone, g.Group});
    }

    std::vector<TReach> reach(bodies.size());
    std::vector<TCellRange> bodyCells(bodies.size());
    for (size_t b = 0; b < bodies.size(); ++b) {
        reach[b] = ReachOf(bodies, static_cast<int32_t>(b));
        if (reach[b] == TReach::Box) bodyCells[b] = RangeOf(ix, bodies[b].Prep.Box.data());
    }

    std::vector<int32_t> slotOf(bodies.size(), -1);
    // per cell: -1 not yet known, 0 partly inside, 1 wholly inside
    std::vector<int8_t> whole(bodies.size(), -1);
    std::vector<int32_t> wholeSet;
    std::vector<bool> convex(bodies.size());
    for (size_t b = 0; b < bodies.size(); ++b) convex[b] = Convex(bodies[b]);
    ix.CellStart.reserve(cells + 1);
    ix.BodyStart.reserve(cells + 1);
    for (size_t c = 0; c < cells; ++c) {
        int i = static_cast<int>(c % static_cast<size_t>(nx));
        int j = static_cast<int>(c / static_cast<size_t>(nx) % static_cast<size_t>(ny));
        int k = static_cast<int>(c / (static_cast<size_t>(nx) * static_cast<size_t>(ny)));
        ix.CellStart.push_back(static_cast<uint32_t>(ix.Code.size()));
        uint32_t bodyBase = static_cast<uint32_t>(ix.CellBodies.size());
        ix.BodyStart.push_back(bodyBase);
        const std::vector<TCandidate>& cs = cand[c];
        for (size_t q = 0; q < cs.size();) {
            int32_t zone = cs[q].Zone;
            const TZoneData& zd = zones[static_cast<size_t>(zone)];
            size_t zoneAt = ix.Code.size();
            ix.Code.push_back(zone);
            ix.Code.push_back(0);
            int32_t kept = 0;
            bool always = false;
            for (; q < cs.size() && cs[q].Zone == zone; ++q) {
                if (always) continue;
                size_t g = static_cast<size_t>(cs[q].Group);
                const TMatrixAi& idx = zd.BodyIndex[g];
                size_t groupAt = ix.Code.size();
                ix.Code.push_back(0);
                bool dropped = false;
                int32_t terms = 0;
                for (size_t t = 0; t < idx.size() && !dropped; ++t) {
                    int s = TermSign(zd, g, t);
                    if (s == 0) continue; // cannot make the group false
                    int32_t b = idx[t];
                    TReach r = (b >= 0 && static_cast<size_t>(b) < bodies.size())
                                   ? reach[static_cast<size_t>(b)]
                                   : TReach::Never;
                    bool mayContain =
                        r == TReach::Anywhere ||
                        (r == TReach::Box && bodyCells[static_cast<size_t>(b)].Contains(i, j, k));
                    if (!mayContain) {
                        if (s > 0) dropped = true; // the point is outside a positive term
                        continue;                  // a negative term is satisfied
                    }
                    int8_t& inside = whole[static_cast<size_t>(b)];
                    if (inside < 0) {
                        inside = convex[static_cast<size_t>(b)] &&
                                 CellInside(ix, bodies[static_cast<size_t>(b)], i, j, k);
                        wholeSet.push_back(b);
                    }
                    if (inside) {
                        if (s < 0) dropped = true; // the point is inside a negative term
                        continue;                  // a positive term is satisfied
                    }
                    int32_t& slot = slotOf[static_cast<size_t>(b)];
                    if (slot < 0) {
                        slot = static_cast<int32_t>(ix.CellBodies.size() - bodyBase);
                        ix.CellBodies.push_back(b);
                    }
                    ix.Code.push_back(slot * 2 + (s < 0 ? 1 : 0));
                    ++terms;
                }
                if (dropped) {
                    ix.Code.resize(groupAt);
                    continue;
                }
                if (terms == 0) { // always true in this cell: the zone needs nothing else
                    ix.Code.resize(zoneAt + 2);
                    ix.Code.push_back(0);
                    kept = 1;
                    always = true;
                    continue;
                }
                ix.Code[groupAt] = terms;
                ++kept;
            }
            if (kept == 0)
                ix.Code.resize(zoneAt);
            else
                ix.Code[zoneAt + 1] = kept;
        }
        for (size_t s = bodyBase; s < ix.CellBodies.size(); ++s)
            slotOf[static_cast<size_t>(ix.CellBodies[s])] = -1;
        for (int32_t b : wholeSet) whole[static_cast<size_t>(b)] = -1;
        wholeSet.clear();
        std::vector<TCandidate>().swap(cand[c]);
    }
    ix.CellStart.push_back(static_cast<uint32_t>(ix.Code.size()));
    ix.BodyStart.push_back(static_cast<uint32_t>(ix.CellBodies.size()));
    ix.Ready = true;
}

int FindZone(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& ix,
             TMatrixAi& result, double x, double y, double z) {
    if (!ix.Ready || ix.BodyCount != bodies.size() || ix.ZoneCount != zones.size() ||
        !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return FindZone(bodies, zones, result, x, y, z);
    result.clear();
    size_t c = (static_cast<size_t>(CellCoord(ix, 2, z)) * static_cast<size_t>(ix.N[1]) +
                static_cast<size_t>(CellCoord(ix, 1, y))) *
                   static_cast<size_t>(ix.N[0]) +
               static_cast<size_t>(CellCoord(ix, 0, x));
    const int32_t* code = ix.Code.data() + ix.CellStart[c];
    const int32_t* end = ix.Code.data() + ix.CellStart[c + 1];
    const int32_t* cellBodies = ix.CellBodies.data() + ix.BodyStart[c];
    size_t m = ix.BodyStart[c + 1] - ix.BodyStart[c];
    // Each body's inside test at most once per search: -1 unknown, 0 outside, 1 inside.
    int8_t small[64];
    thread_local std::vector<int8_t> large;
    int8_t* memo = small;
    if (m > sizeof small) {
        if (large.size() < m) large.resize(m);
        memo = large.data();
    }
    std::fill(memo, memo + m, int8_t{-1});
    while (code < end) {
        int32_t zone = *code++;
        int32_t groups = *code++;
        bool in = false;
        for (int32_t g = 0; g < groups; ++g) {
            int32_t terms = *code++;
            if (!in) {
                bool ok = true;
                for (int32_t t = 0; t < terms && ok; ++t) {
                    int32_t term = code[t];
                    int32_t slot = term >> 1;
                    int8_t& state = memo[slot];
                    if (state < 0) {
                        const TGeoData& b = bodies[static_cast<size_t>(cellBodies[slot])];
                        state = PointInBody(b, x, y, z) ? 1 : 0;
                    }
                    ok = state != (term & 1);
                }
                in = ok;
            }
            code += terms;
        }
        if (in) result.push_back(zone);
    }
    return static_cast<int>(result.size());
}
