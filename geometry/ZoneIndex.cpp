#include "ZoneIndex.h"
#include "Lattice.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

namespace {
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr int MaxDepth = ZoneIndexLevels / 3; // halvings of one axis
// A cell is split while more bodies than this stay undecided in it...
constexpr size_t LeafBodies = 2;
// ... and while it is larger than this fraction of the thinnest undecided body (its enclosing
// box's smallest side): finer cells cannot separate surfaces that meet.
constexpr double FeatureFraction = 0.25;
// The thinnest a body counts as, against its largest side.
constexpr double MinThickness = 1e-2;

// A program under construction: per zone {zone, group count, per group {term count, terms}},
// a term being body * 2 + (1 when negative).
using TProgram = std::vector<int32_t>;

int TermSign(const TZoneData& z, size_t g, size_t t) {
    if (g >= z.Sign.size() || t >= z.Sign[g].size()) return 1;
    return z.Sign[g][t];
}

// Appends the zone's part to `out` given a value per term: -1 undecided, 0 false, 1 true for
// the term (not the body). Groups with a false term drop out; a group with nothing undecided
// makes the zone hold without a test; a zone with no group left is not written.
class TEmitter {
  public:
    explicit TEmitter(TProgram& out) : Out(out) {}
    void BeginZone(int32_t zone) {
        ZoneAt = Out.size();
        Out.push_back(zone);
        Out.push_back(0);
        Groups = 0;
        Always = false;
    }
    bool Always = false; // the zone holds everywhere in the cell: later groups do not matter
    void BeginGroup() {
        GroupAt = Out.size();
        Out.push_back(0);
        Terms = 0;
        Drop = false;
    }
    bool Dropped() const { return Drop; }
    void Term(int32_t term, int value) {
        if (Drop) return;
        if (value == 0) Drop = true;
        if (value < 0) Out.push_back(term), ++Terms;
    }
    void EndGroup() {
        if (Drop) {
            Out.resize(GroupAt);
            return;
        }
        if (Terms == 0) { // always true here
            Out.resize(ZoneAt + 2);
            Out.push_back(0);
            Groups = 1;
            Always = true;
            return;
        }
        Out[GroupAt] = Terms;
        ++Groups;
    }
    void EndZone() {
        if (Groups == 0)
            Out.resize(ZoneAt);
        else
            Out[ZoneAt + 1] = Groups;
    }

  private:
    TProgram& Out;
    size_t ZoneAt = 0, GroupAt = 0;
    int32_t Groups = 0, Terms = 0;
    bool Drop = false;
};

// Rewrites `in` for a part of its cell, where side(body) gives TBoxSide for every body of `in`.
template <class TSide> void Reduce(const TProgram& in, TSide side, TProgram& out) {
    out.clear();
    TEmitter e(out);
    for (size_t i = 0; i < in.size();) {
        int32_t zone = in[i++], groups = in[i++];
        e.BeginZone(zone);
        for (int32_t g = 0; g < groups; ++g) {
            int32_t terms = in[i++];
            if (!e.Always) {
                e.BeginGroup();
                // a false term drops the group: the terms after it need no side
                for (int32_t t = 0; t < terms && !e.Dropped(); ++t) {
                    int32_t term = in[i + static_cast<size_t>(t)];
                    TBoxSide s = side(term >> 1);
                    int value = s == TBoxSide::Unknown                   ? -1
                                : (s == TBoxSide::Inside) == !(term & 1) ? 1
                                                                         : 0;
                    e.Term(term, value);
                }
                e.EndGroup();
            }
            i += static_cast<size_t>(terms);
        }
        e.EndZone();
    }
}

// The program of the whole space from the zone lists; terms naming no body are decided (such
// a body contains no point), terms without a sign are left out (they cannot make a group false).
void RootProgram(const TAGeoData& bodies, const TAZoneData& zones, TProgram& out) {
    TEmitter e(out);
    for (size_t z = 0; z < zones.size(); ++z) {
        const TZoneData& zd = zones[z];
        e.BeginZone(static_cast<int32_t>(z));
        for (size_t g = 0; g < zd.BodyIndex.size() && !e.Always; ++g) {
            if (!ZoneGroupCounts(zd, g)) continue;
            e.BeginGroup();
            const TMatrixAi& idx = zd.BodyIndex[g];
            for (size_t t = 0; t < idx.size(); ++t) {
                int s = TermSign(zd, g, t);
                if (s == 0) continue;
                int32_t b = idx[t];
                bool exists = b >= 0 && static_cast<size_t>(b) < bodies.size();
                e.Term(exists ? b * 2 + (s < 0 ? 1 : 0) : 0, exists ? -1 : (s < 0 ? 1 : 0));
            }
            e.EndGroup();
        }
        e.EndZone();
    }
}

// The body -> zones lists and the number -> body table of the search along a ray.
void RayTables(const TAGeoData& bodies, const TAZoneData& zones, TZoneIndex& ix) {
    std::vector<uint32_t> count(bodies.size() + 1, 0);
    auto each = [&](auto&& use) {
        for (size_t z = 0; z < zones.size(); ++z)
            for (const TMatrixAi& group : zones[z].BodyIndex)
                for (int32_t b : group)
                    if (b >= 0 && static_cast<size_t>(b) < bodies.size())
                        use(static_cast<size_t>(b), static_cast<int32_t>(z));
    };
    // a body repeated within a zone is listed once: the last zone written is remembered
    std::vector<int32_t> last(bodies.size(), -1);
    each([&](size_t b, int32_t z) {
        if (last[b] != z) last[b] = z, ++count[b + 1];
    });
    for (size_t b = 0; b < bodies.size(); ++b) count[b + 1] += count[b];
    ix.ZonesStart = count;
    ix.ZonesOfBody.resize(count.back());
    std::fill(last.begin(), last.end(), -1);
    std::vector<uint64_t> terms(zones.size(), 0);
    for (size_t z = 0; z < zones.size(); ++z)
        for (const TMatrixAi& group : zones[z].BodyIndex) terms[z] += group.size();
    ix.ZoneTerms.assign(bodies.size(), 0);
    each([&](size_t b, int32_t z) {
        if (last[b] == z) return;
        last[b] = z, ix.ZonesOfBody[count[b]++] = z;
        ix.ZoneTerms[b] = static_cast<uint32_t>(std::min<uint64_t>(
            ix.ZoneTerms[b] + terms[static_cast<size_t>(z)], std::numeric_limits<uint32_t>::max()));
    });
    constexpr int32_t Safe = std::numeric_limits<int32_t>::max() / 10 - 1;
    for (size_t b = 0; b < bodies.size(); ++b) {
        int32_t n = bodies[b].Number;
        ix.Numbers.emplace_back(n, n > -Safe && n < Safe ? static_cast<int32_t>(b) : -1);
    }
    std::sort(ix.Numbers.begin(), ix.Numbers.end());
    for (size_t i = 1; i < ix.Numbers.size(); ++i)
        if (ix.Numbers[i].first == ix.Numbers[i - 1].first)
            ix.Numbers[i].second = ix.Numbers[i - 1].second = -1;
}

struct TPending {
    int32_t Node;
    int Depth;        // levels above it
    int Halvings[3];  // how often each axis was halved above it
    double Lo[3], Hi[3];
    TProgram Program;
};

class TBuilder {
  public:
    TBuilder(const TAGeoData& bodies, TZoneIndex& ix, size_t budget)
        : Bodies(bodies), Ix(ix), Budget(budget), Side(bodies.size(), -1), Slot(bodies.size(), -1),
          Thickness(bodies.size(), Inf) {
        for (size_t b = 0; b < bodies.size(); ++b) {
            const TBodyPrep& p = bodies[b].Prep;
            if (!p.Ready || !p.Bounded) continue;
            double largest = 0;
            for (int a = 0; a < 3; ++a) {
                const double side =
                    p.Box[static_cast<size_t>(2 * a + 1)] - p.Box[static_cast<size_t>(2 * a)];
                Thickness[b] = std::min(Thickness[b], side);
                largest = std::max(largest, side);
            }
            // a body of no thickness (a cylinder of radius 0, a flat box) would have its cells
            // halved to the last level along all of it
            Thickness[b] = std::max(Thickness[b], MinThickness * largest);
        }
    }

    // Bounded bodies with a non-empty box, enclosed by the root cell (a cube).
    bool PlaceRoot(const TProgram& root) {
        double lo[3] = {Inf, Inf, Inf}, hi[3] = {-Inf, -Inf, -Inf};
        ForBodies(root, [&](int32_t b) {
            const TBodyPrep& p = Bodies[static_cast<size_t>(b)].Prep;
            if (!p.Ready || !p.Bounded || p.Box[0] > p.Box[1] || p.Box[2] > p.Box[3] ||
                p.Box[4] > p.Box[5])
                return;
            for (int a = 0; a < 3; ++a)
                lo[a] = std::min(lo[a], p.Box[static_cast<size_t>(2 * a)]),
                hi[a] = std::max(hi[a], p.Box[static_cast<size_t>(2 * a + 1)]);
        });
        double size = 0;
        for (int a = 0; a < 3; ++a) size = std::max(size, hi[a] - lo[a]);
        if (!(size > 0) || !std::isfinite(size)) return false;
        for (int a = 0; a < 3; ++a) {
            double c = lo[a] + (hi[a] - lo[a]) / 2;
            Ix.Lo[a] = std::min(lo[a], c - size / 2);
            Ix.Hi[a] = std::max(hi[a], c + size / 2);
        }
        return true;
    }

    // Every point outside the root cell is outside every bounded body (without a root cell,
    // the whole program serves everywhere).
    void OuterLeaf(const TProgram& root, bool tree) {
        if (!tree) {
            Ix.Outer = EmitLeaf(root);
            return;
        }
        TProgram out;
        Reduce(
            root,
            [&](int32_t b) {
                const TBodyPrep& p = Bodies[static_cast<size_t>(b)].Prep;
                if (!p.Ready) return TBoxSide::Unknown;
                return p.Kind < 0 || p.Bounded ? TBoxSide::Outside : TBoxSide::Unknown;
            },
            out);
        Ix.Outer = EmitLeaf(out);
    }

    void Build(TProgram root, bool tree) {
        Ix.Node.push_back(0);
        std::vector<TPending> level(1), next;
        level[0].Node = 0;
        level[0].Depth = 0;
        std::fill(level[0].Halvings, level[0].Halvings + 3, 0);
        std::copy(Ix.Lo, Ix.Lo + 3, level[0].Lo);
        std::copy(Ix.Hi, Ix.Hi + 3, level[0].Hi);
        level[0].Program = std::move(root);
        Pending = level[0].Program.size();
        bool canSplit = tree;
        while (!level.empty()) {
            for (TPending& p : level) {
                Pending -= p.Program.size();
                bool split = canSplit && WorthSplitting(p);
                // Children hold at most the parent's terms each, and a leaf's record at most
                // twice its program and two more: stop refining before the budget could be
                // passed; what is pending then becomes leaves as it stands.
                if (split &&
                    Committed() + 2 * (Pending + 9 * (p.Program.size() + 1)) * sizeof(int32_t) >
                        Budget) {
                    split = canSplit = false;
                    Ix.Budgeted = true;
                }
                if (split)
                    Split(p, next);
                else
                    Ix.Node[static_cast<size_t>(p.Node)] = -EmitLeaf(p.Program) - 1;
                TProgram().swap(p.Program);
            }
            level.swap(next);
            next.clear();
        }
    }

  private:
    template <class F> static void ForBodies(const TProgram& prog, F f) {
        for (size_t i = 0; i < prog.size();) {
            ++i; // zone
            int32_t groups = prog[i++];
            for (int32_t g = 0; g < groups; ++g) {
                int32_t terms = prog[i++];
                for (int32_t t = 0; t < terms; ++t) f(prog[i + static_cast<size_t>(t)] >> 1);
                i += static_cast<size_t>(terms);
            }
        }
    }

    // Distinct bodies of the program, in Marked.
    void Mark(const TProgram& prog) {
        Marked.clear();
        ForBodies(prog, [&](int32_t b) {
            if (Slot[static_cast<size_t>(b)] < 0) {
                Slot[static_cast<size_t>(b)] = static_cast<int32_t>(Marked.size());
                Marked.push_back(b);
            }
        });
        for (int32_t b : Marked) Slot[static_cast<size_t>(b)] = -1;
    }

    bool WorthSplitting(const TPending& p) {
        if (p.Depth >= 3 * MaxDepth) return false;
        Mark(p.Program);
        if (Marked.size() <= LeafBodies) return false;
        double thin = Inf, size = 0;
        for (int32_t b : Marked) thin = std::min(thin, Thickness[static_cast<size_t>(b)]);
        for (int a = 0; a < 3; ++a)
            if (p.Halvings[a] < MaxDepth) size = std::max(size, p.Hi[a] - p.Lo[a]);
        return size > FeatureFraction * thin;
    }

    // The axes to halve: those along which a half decides some undecided body (stacks of
    // parallel planes are cut across, not along), else the longest ones, so that cells stay
    // close to cubes where nothing tells the way. Sides[6 * k + 2 * a + upper] keeps the side
    // of Marked[k] in each half.
    int SplitAxes(const TPending& p, const double mid[3]) {
        Sides.assign(6 * Marked.size(), static_cast<int8_t>(TBoxSide::Unknown));
        size_t decided[3] = {0, 0, 0};
        double longest = 0;
        for (int a = 0; a < 3; ++a)
            if (p.Halvings[a] < MaxDepth) longest = std::max(longest, p.Hi[a] - p.Lo[a]);
        for (int a = 0; a < 3; ++a) {
            if (p.Halvings[a] >= MaxDepth) continue;
            double lo[3], hi[3];
            for (int h = 0; h < 2; ++h) {
                std::copy(p.Lo, p.Lo + 3, lo);
                std::copy(p.Hi, p.Hi + 3, hi);
                (h ? lo : hi)[a] = mid[a];
                for (size_t k = 0; k < Marked.size(); ++k) {
                    TBoxSide side = BodyBoxSide(Bodies[static_cast<size_t>(Marked[k])], lo, hi);
                    Sides[6 * k + static_cast<size_t>(2 * a + h)] = static_cast<int8_t>(side);
                    decided[a] += side != TBoxSide::Unknown;
                }
            }
        }
        int mask = 0;
        for (int a = 0; a < 3; ++a)
            if (decided[a] > 0) mask |= 1 << a;
        if (mask == 0)
            for (int a = 0; a < 3; ++a)
                if (p.Halvings[a] < MaxDepth && p.Hi[a] - p.Lo[a] >= 0.5 * longest)
                    mask |= 1 << a;
        return mask;
    }

    void Split(TPending& p, std::vector<TPending>& next) {
        Mark(p.Program);
        double mid[3];
        for (int a = 0; a < 3; ++a) mid[a] = (p.Lo[a] + p.Hi[a]) * 0.5; // as FindZone descends
        const int mask = SplitAxes(p, mid);
        int axes[3], count = 0;
        for (int a = 0; a < 3; ++a)
            if ((mask >> a) & 1) axes[count++] = a;
        const int children = 1 << count;
        int32_t first = static_cast<int32_t>(Ix.Node.size());
        Ix.Node[static_cast<size_t>(p.Node)] = first * 8 + mask;
        Ix.Node.resize(Ix.Node.size() + static_cast<size_t>(children), 0);
        Ix.Depth = std::max(Ix.Depth, p.Depth + 1);
        for (size_t k = 0; k < Marked.size(); ++k) Slot[static_cast<size_t>(Marked[k])] =
            static_cast<int32_t>(k);
        for (int c = 0; c < children; ++c) {
            TPending& child = next.emplace_back();
            child.Node = first + c;
            child.Depth = p.Depth + 1;
            std::copy(p.Lo, p.Lo + 3, child.Lo);
            std::copy(p.Hi, p.Hi + 3, child.Hi);
            std::copy(p.Halvings, p.Halvings + 3, child.Halvings);
            for (int k = 0; k < count; ++k) {
                const int a = axes[k];
                (((c >> k) & 1) ? child.Lo : child.Hi)[a] = mid[a];
                ++child.Halvings[a];
            }
            // each body's side once per child, and only for the terms Reduce reaches: a side
            // decided for a half holding the child holds for the child
            Reduce(
                p.Program,
                [&](int32_t b) {
                    int8_t& side = Side[static_cast<size_t>(b)];
                    if (side < 0) {
                        const size_t at = 6 * static_cast<size_t>(Slot[static_cast<size_t>(b)]);
                        side = static_cast<int8_t>(TBoxSide::Unknown);
                        for (int k = 0; k < count && side == int8_t(TBoxSide::Unknown); ++k)
                            side = Sides[at + static_cast<size_t>(2 * axes[k] + ((c >> k) & 1))];
                        if (side == int8_t(TBoxSide::Unknown) && count > 1)
                            side = static_cast<int8_t>(BodyBoxSide(
                                Bodies[static_cast<size_t>(b)], child.Lo, child.Hi));
                    }
                    return static_cast<TBoxSide>(side);
                },
                child.Program);
            for (int32_t b : Marked) Side[static_cast<size_t>(b)] = -1;
            Pending += child.Program.size();
        }
        for (int32_t b : Marked) Slot[static_cast<size_t>(b)] = -1;
    }

    // The leaf's record (bodies replaced by slots of its own body list), shared with every
    // cell that has the same one. Returns where it starts in Code.
    int32_t EmitLeaf(const TProgram& prog) {
        size_t bodies = 0;
        ForBodies(prog, [&](int32_t b) {
            int32_t& slot = Slot[static_cast<size_t>(b)];
            if (slot < 0) {
                slot = static_cast<int32_t>(bodies++);
                LeafList.push_back(b);
            }
        });
        const bool masks = bodies <= LeafMaskBodies;
        Record.assign(1, static_cast<int32_t>(bodies));
        Record.insert(Record.end(), LeafList.begin(), LeafList.end());
        const size_t lengthAt = Record.size();
        Record.push_back(0);
        for (size_t i = 0; i < prog.size();) {
            Record.push_back(prog[i++]);
            int32_t groups = prog[i++];
            Record.push_back(groups);
            for (int32_t g = 0; g < groups; ++g) {
                int32_t terms = prog[i++];
                if (masks) {
                    uint64_t in = 0, out = 0;
                    for (int32_t t = 0; t < terms; ++t) {
                        int32_t term = prog[i++];
                        (term & 1 ? out : in) |=
                            uint64_t{1} << Slot[static_cast<size_t>(term >> 1)];
                    }
                    for (uint64_t v : {in, out})
                        Record.push_back(static_cast<int32_t>(static_cast<uint32_t>(v))),
                            Record.push_back(static_cast<int32_t>(static_cast<uint32_t>(v >> 32)));
                    continue;
                }
                Record.push_back(terms);
                for (int32_t t = 0; t < terms; ++t) {
                    int32_t term = prog[i++];
                    Record.push_back(Slot[static_cast<size_t>(term >> 1)] * 2 + (term & 1));
                }
            }
        }
        for (int32_t b : LeafList) Slot[static_cast<size_t>(b)] = -1;
        LeafList.clear();
        Record[lengthAt] = static_cast<int32_t>(Record.size() - lengthAt - 1);
        uint64_t h = 0xcbf29ce484222325ull;
        for (int32_t v : Record) h = (h ^ static_cast<uint32_t>(v)) * 0x100000001b3ull;
        auto [first, last] = Seen.equal_range(h);
        for (auto it = first; it != last; ++it)
            if (std::equal(Record.begin(), Record.end(), Ix.Code.begin() + it->second,
                           Ix.Code.begin() + it->second + static_cast<ptrdiff_t>(Record.size())))
                return it->second;
        int32_t at = static_cast<int32_t>(Ix.Code.size());
        Ix.Code.insert(Ix.Code.end(), Record.begin(), Record.end());
        Seen.emplace(h, at);
        ++Ix.Leaves;
        return at;
    }

    size_t Committed() const {
        return (Ix.Node.size() + Ix.Code.size()) * sizeof(int32_t) +
               Seen.size() * 4 * sizeof(void*);
    }

    const TAGeoData& Bodies;
    TZoneIndex& Ix;
    size_t Budget;
    size_t Pending = 0; // ints held by programs not yet turned into nodes
    std::vector<int8_t> Side, Sides;
    std::vector<int32_t> Slot, Marked, Record, LeafList;
    std::unordered_multimap<uint64_t, int32_t> Seen; // leaf records by hash
    std::vector<double> Thickness;
};

} // namespace

void BuildZoneIndex(const TAGeoData& bodies, const TAZoneData& zones, TZoneIndex& ix,
                    size_t budget) {
    ix = TZoneIndex{};
    ix.BodyCount = bodies.size();
    ix.ZoneCount = zones.size();
    BuildRayCull(bodies, ix.Rays);
    RayTables(bodies, zones, ix);
    TProgram root;
    RootProgram(bodies, zones, root);
    TBuilder b(bodies, ix, budget);
    bool tree = b.PlaceRoot(root);
    b.OuterLeaf(root, tree);
    b.Build(std::move(root), tree);
    ix.Node.shrink_to_fit();
    ix.Code.shrink_to_fit();
    ix.Ready = true;
}

size_t ZoneIndexBytes(const TZoneIndex& ix) {
    return sizeof ix + ix.Node.capacity() * sizeof(int32_t) + ix.Code.capacity() * sizeof(int32_t) +
           ix.Rays.Body.capacity() * sizeof(uint32_t) + ix.Rays.X.capacity() * 5 * sizeof(double) +
           ix.Rays.Nodes.capacity() * sizeof(TRayCull::TNode) +
           ix.Rays.Order.capacity() * sizeof(uint32_t) + ix.Rays.Always.capacity() * 8 +
           ix.ZonesStart.capacity() * sizeof(uint32_t) + ix.ZonesOfBody.capacity() * sizeof(int32_t) +
           ix.ZoneTerms.capacity() * sizeof(uint32_t) +
           ix.Numbers.capacity() * sizeof(std::pair<int32_t, int32_t>);
}

namespace {
// Whether the point lies in the cell lo..hi, whose upper bounds belong to it where `closed`
// says so: the cell the descent below takes for it.
inline bool InCell(const double p[3], const double lo[3], const double hi[3], unsigned closed) {
    bool in = true;
    for (int a = 0; a < 3; ++a)
        in = in && p[a] >= lo[a] && (p[a] < hi[a] || (((closed >> a) & 1) && p[a] == hi[a]));
    return in;
}

// Where in Code the leaf holding the (finite) point starts. The cell found and the cells above
// it are kept in `cell`: a point that lies in the same cell has the same leaf without a
// descent, a point in another cell descends from the smallest kept cell that holds it.
int32_t LeafAt(const TZoneIndex& ix, double x, double y, double z, TZoneCell* cell) {
    const double p[3] = {x, y, z};
    if (cell && cell->Leaf >= 0) {
        unsigned closed = 0;
        for (int a = 0; a < 3; ++a) closed |= cell->Closed[a] ? 1u << a : 0u;
        if (InCell(p, cell->Lo, cell->Hi, closed)) return cell->Leaf;
    }
    if (!(x >= ix.Lo[0] && x <= ix.Hi[0] && y >= ix.Lo[1] && y <= ix.Hi[1] && z >= ix.Lo[2] &&
          z <= ix.Hi[2]))
        return ix.Outer;
    double lo[3] = {ix.Lo[0], ix.Lo[1], ix.Lo[2]}, hi[3] = {ix.Hi[0], ix.Hi[1], ix.Hi[2]};
    // the root's upper faces belong to it; every lower half ends before its upper bound
    unsigned closed = 7;
    int32_t at = 0; // position in Node of the cell holding the point
    int level = 0;
    if (cell) {
        // the smallest kept cell that holds the point (the root holds it)
        level = std::min(cell->Levels, ZoneIndexLevels + 1) - 1;
        while (level > 0 && !InCell(p, cell->Path[level].Lo, cell->Path[level].Hi,
                                    cell->Path[level].Closed))
            --level;
        if (level > 0) {
            const TZoneCell::TLevel& l = cell->Path[level];
            at = l.Node, closed = l.Closed;
            std::copy(l.Lo, l.Lo + 3, lo);
            std::copy(l.Hi, l.Hi + 3, hi);
        } else {
            level = 0;
        }
    }
    int32_t n = ix.Node[static_cast<size_t>(at)];
    while (n >= 0) {
        if (cell && level <= ZoneIndexLevels) {
            TZoneCell::TLevel& l = cell->Path[level];
            l.Node = at, l.Closed = static_cast<uint8_t>(closed);
            std::copy(lo, lo + 3, l.Lo);
            std::copy(hi, hi + 3, l.Hi);
        }
        ++level;
        int c = 0, k = 0;
        for (int a = 0; a < 3; ++a) {
            if (!((n >> a) & 1)) continue; // not halved here
            double mid = (lo[a] + hi[a]) * 0.5;
            if (p[a] >= mid)
                c |= 1 << k, lo[a] = mid;
            else
                hi[a] = mid, closed &= ~(1u << a);
            ++k;
        }
        at = (n >> 3) + c;
        n = ix.Node[static_cast<size_t>(at)];
    }
    if (cell) {
        // the leaf's own cell is kept above; the path ends with the cells halved on the way
        cell->Levels = std::min(level, ZoneIndexLevels + 1);
        for (int a = 0; a < 3; ++a)
            cell->Lo[a] = lo[a], cell->Hi[a] = hi[a], cell->Closed[a] = (closed >> a) & 1;
        cell->Leaf = -n - 1;
    }
    return -n - 1;
}
} // namespace

size_t ZoneIndexLeafBodies(const TZoneIndex& ix, double x, double y, double z) {
    if (!ix.Ready || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return 0;
    return static_cast<size_t>(ix.Code[static_cast<size_t>(LeafAt(ix, x, y, z, nullptr))]);
}

int FindZone(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& ix,
             TMatrixAi& result, double x, double y, double z) {
    return FindZone(bodies, zones, ix, nullptr, result, x, y, z);
}

int FindZone(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& ix,
             TZoneCell* cell, TMatrixAi& result, double x, double y, double z) {
    if (zones.Lattice) return zones.Lattice->Locate(x, y, z, result);
    if (!ix.Ready || ix.BodyCount != bodies.size() || ix.ZoneCount != zones.size() ||
        !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return FindZone(bodies, zones, result, x, y, z);
    result.clear();
    const int32_t leaf = LeafAt(ix, x, y, z, cell);
    const int32_t* leafBodies = ix.Code.data() + leaf + 1;
    const size_t m = static_cast<size_t>(leafBodies[-1]);
    const int32_t* code = leafBodies + m + 1;
    const int32_t* end = code + code[-1];
    if (m <= LeafMaskBodies) {
        // Each body's inside test at most once per search, and only when a group needs it: a
        // group holds when every body of `in` contains the point and none of `out` does.
        uint64_t known = 0, inside = 0;
        auto mask = [](const int32_t* at) {
            return static_cast<uint64_t>(static_cast<uint32_t>(at[0])) |
                   static_cast<uint64_t>(static_cast<uint32_t>(at[1])) << 32;
        };
        while (code < end) {
            const int32_t zone = *code++;
            const int32_t groups = *code++;
            bool holds = false;
            for (int32_t g = 0; g < groups && !holds; ++g) {
                const uint64_t in = mask(code + 4 * g), out = mask(code + 4 * g + 2);
                if ((inside & out) | (known & ~inside & in)) continue; // decided false
                holds = true;
                for (uint64_t open = (in | out) & ~known; open != 0; open &= open - 1) {
                    const int k = __builtin_ctzll(open);
                    const uint64_t bit = uint64_t{1} << k;
                    known |= bit;
                    const bool at = PointInBody(bodies[static_cast<size_t>(leafBodies[k])], x, y, z);
                    if (at) inside |= bit;
                    if ((at ? out : in) & bit) { // a term of either sign may name it
                        holds = false;
                        break;
                    }
                }
            }
            code += 4 * groups;
            if (holds) result.push_back(zone);
        }
        return static_cast<int>(result.size());
    }
    // Each body's inside test at most once per search: -1 unknown, 0 outside, 1 inside.
    thread_local std::vector<int8_t> memo;
    if (memo.size() < m) memo.resize(m);
    std::fill(memo.begin(), memo.begin() + static_cast<std::ptrdiff_t>(m), int8_t{-1});
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
                    int8_t& state = memo[static_cast<size_t>(term >> 1)];
                    if (state < 0) {
                        const TGeoData& b = bodies[static_cast<size_t>(leafBodies[term >> 1])];
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

bool ZoneIndexBodiesInBox(const TZoneIndex& ix, const double lo[3], const double hi[3],
                          size_t maxLeaves, std::vector<int32_t>& bodies) {
    bodies.clear();
    if (!ix.Ready || ix.Node.empty()) return false;
    thread_local std::vector<int32_t> leaves;
    leaves.clear();
    bool outside = false, meets = true;
    for (int a = 0; a < 3; ++a) {
        outside = outside || !(lo[a] >= ix.Lo[a] && hi[a] <= ix.Hi[a]);
        meets = meets && lo[a] <= ix.Hi[a] && hi[a] >= ix.Lo[a];
    }
    if (outside) leaves.push_back(ix.Outer);
    struct TCell {
        int32_t Node;
        double Lo[3], Hi[3];
    };
    thread_local std::vector<TCell> stack;
    stack.clear();
    if (meets) stack.push_back({0, {ix.Lo[0], ix.Lo[1], ix.Lo[2]}, {ix.Hi[0], ix.Hi[1], ix.Hi[2]}});
    // many cells can share a few leaves: the walk itself is bounded too
    size_t visits = 0;
    while (!stack.empty()) {
        if (++visits > 4 * maxLeaves + 16) return false;
        TCell cell = stack.back();
        stack.pop_back();
        const int32_t n = ix.Node[static_cast<size_t>(cell.Node)];
        if (n < 0) {
            // cells may share a leaf: count each once
            if (std::find(leaves.begin(), leaves.end(), -n - 1) == leaves.end())
                leaves.push_back(-n - 1);
            if (leaves.size() > maxLeaves) return false;
            continue;
        }
        // the cell is halved along the axes of n's low bits; the k-th of them is bit k of
        // a child's offset from n >> 3
        int axes[3], count = 0;
        for (int a = 0; a < 3; ++a)
            if ((n >> a) & 1) axes[count++] = a;
        for (int c = 0; c < (1 << count); ++c) {
            TCell child{(n >> 3) + c, {cell.Lo[0], cell.Lo[1], cell.Lo[2]},
                        {cell.Hi[0], cell.Hi[1], cell.Hi[2]}};
            bool overlaps = true;
            for (int k = 0; k < count; ++k) {
                const int a = axes[k];
                const double mid = (cell.Lo[a] + cell.Hi[a]) * 0.5;
                const bool upper = (c >> k) & 1;
                child.Lo[a] = upper ? mid : cell.Lo[a];
                child.Hi[a] = upper ? cell.Hi[a] : mid;
            }
            for (int a = 0; a < 3; ++a)
                overlaps = overlaps && lo[a] <= child.Hi[a] && hi[a] >= child.Lo[a];
            if (overlaps) stack.push_back(child);
        }
    }
    std::sort(leaves.begin(), leaves.end());
    leaves.erase(std::unique(leaves.begin(), leaves.end()), leaves.end());
    for (int32_t leaf : leaves) {
        const int32_t* code = ix.Code.data() + leaf;
        bodies.insert(bodies.end(), code + 1, code + 1 + code[0]);
    }
    std::sort(bodies.begin(), bodies.end());
    bodies.erase(std::unique(bodies.begin(), bodies.end()), bodies.end());
    return true;
}
