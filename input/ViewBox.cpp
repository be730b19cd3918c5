#include "ViewBox.h"

#include "geometry/Lattice.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr TBox NoBox = {Inf, -Inf, Inf, -Inf, Inf, -Inf};

bool IsEmpty(const TBox& b) {
    return b[0] > b[1] || b[2] > b[3] || b[4] > b[5];
}

void Unite(TBox& into, const TBox& b) {
    if (IsEmpty(b)) return;
    for (int a = 0; a < 3; ++a) {
        into[2 * a] = std::min(into[2 * a], b[2 * a]);
        into[2 * a + 1] = std::max(into[2 * a + 1], b[2 * a + 1]);
    }
}

// Finite box of a body, or false (half-spaces, open or unknown bodies).
bool BodyBox(const TGeoData& body, TBox& box) {
    if (!body.Prep.Ready || !body.Prep.Bounded) return false;
    box = body.Prep.Box;
    for (double v : box)
        if (!std::isfinite(v)) return false;
    return !IsEmpty(box);
}

// Union over the counting OR groups of the intersection of their plus terms' boxes; false
// when a group has no bounded plus term (it reaches to infinity).
bool ZoneBox(const TGeometry& g, const TZoneData& zone, TBox& box) {
    box = NoBox;
    bool any = false;
    for (size_t grp = 0; grp < zone.BodyIndex.size(); ++grp) {
        if (!ZoneGroupCounts(zone, grp)) continue;
        TBox inter = {-Inf, Inf, -Inf, Inf, -Inf, Inf};
        bool bounded = false;
        for (size_t t = 0; t < zone.BodyIndex[grp].size(); ++t) {
            const int b = zone.BodyIndex[grp][t];
            TBox bb;
            if (zone.Sign[grp][t] < 0 || b < 0 || static_cast<size_t>(b) >= g.Bodies.size() ||
                !BodyBox(g.Bodies[static_cast<size_t>(b)], bb))
                continue;
            for (int a = 0; a < 3; ++a) {
                inter[2 * a] = std::max(inter[2 * a], bb[2 * a]);
                inter[2 * a + 1] = std::min(inter[2 * a + 1], bb[2 * a + 1]);
            }
            bounded = true;
        }
        if (!bounded) return false;
        Unite(box, inter);
        any = true;
    }
    return any && !IsEmpty(box);
}

bool BodyVisible(const TGeometry& g, size_t i) {
    return i >= g.BodyLooks.size() || g.BodyLooks[i].Visible;
}

} // namespace

bool DrawnBox(const TGeometry& g, const TDisplaySettings& s, TBox& box) {
    box = NoBox;
    if (g.Zones.Lattice) {
        box = g.Zones.Lattice->Box();
        return !IsEmpty(box);
    }
    TBox b;
    switch (s.ViewInfoType) {
    case 0: {
        std::vector<bool> inMatter(g.Bodies.size(), false);
        for (const TZoneData& z : g.Zones) {
            if (z.Material < 1) continue;
            for (size_t grp = 0; grp < z.BodyIndex.size(); ++grp)
                for (size_t t = 0; t < z.BodyIndex[grp].size(); ++t) {
                    const int k = z.BodyIndex[grp][t];
                    if (z.Sign[grp][t] > 0 && k >= 0 && static_cast<size_t>(k) < g.Bodies.size())
                        inMatter[static_cast<size_t>(k)] = true;
                }
        }
        for (int pass = 0; pass < 2 && IsEmpty(box); ++pass)
            for (size_t i = 0; i < g.Bodies.size(); ++i)
                if (BodyVisible(g, i) && (pass == 1 || inMatter[i]) && BodyBox(g.Bodies[i], b))
                    Unite(box, b);
        break;
    }
    case 1:
        for (size_t z = 0; z < g.Zones.size(); ++z)
            if (g.Zones[z].Material >= 1 && (z >= g.ZoneLooks.size() || g.ZoneLooks[z].Visible) &&
                ZoneBox(g, g.Zones[z], b))
                Unite(box, b);
        break;
    case 2:
        for (const TMaterialLook& m : g.Materials) {
            if (!m.Visible || m.Number < 1) continue;
            for (const TZoneData& z : g.Zones)
                if (z.Material == m.Number && ZoneBox(g, z, b)) Unite(box, b);
        }
        break;
    default:
        break;
    }
    if (IsEmpty(box))
        for (const TGeoData& body : g.Bodies)
            if (BodyBox(body, b)) Unite(box, b);
    return !IsEmpty(box);
}
