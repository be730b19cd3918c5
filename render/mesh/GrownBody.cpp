// Enlarged drawing copies of bodies, and the rebuild of every mesh of a loaded geometry.
#include "BodyMesh.h"
#include "MeshTypes.h"

#include <algorithm>
#include <atomic>

using namespace meshutil;

namespace {
// Lengthens an axis body (V at 0..2, H at 3..5) by f*L + v at both ends.
void GrowAxis(const TGeoData& s, TGeoData& g, double f, double v) {
    TVector base = Vec(s, 0), h = Vec(s, 3);
    double l = Len(h);
    double k = l > 0 ? (f * l + v) / l : 0; // a zero axis stays zero
    TVector nb = base - h * k, nh = h * (1 + 2 * k);
    g.Params[0] = nb.x, g.Params[1] = nb.y, g.Params[2] = nb.z;
    g.Params[3] = nh.x, g.Params[4] = nh.y, g.Params[5] = nh.z;
}
} // namespace

TGeoData BuildGrownBody(const TGeoData& source, double f, double v) {
    TGeoData g;
    g.Symbol = source.Symbol;
    g.Number = source.Number;
    const auto& s = source.Params;
    auto& p = g.Params;
    auto grow = [&](double x) { return (1 + f) * x + v; };
    const std::string& sym = source.Symbol;
    if (sym == "RPP") {
        for (int k = 0; k < 6; k += 2) {
            double lo = s[static_cast<size_t>(k)], hi = s[static_cast<size_t>(k + 1)];
            p[static_cast<size_t>(k)] = lo - std::fabs(lo) * f - v;
            p[static_cast<size_t>(k + 1)] = hi + std::fabs(hi) * f + v;
        }
    } else if (sym == "RCC") {
        GrowAxis(source, g, f, v);
        p[6] = grow(s[6]);
    } else if (sym == "SPH") {
        p[0] = s[0], p[1] = s[1], p[2] = s[2];
        p[3] = grow(s[3]);
    } else if (sym == "TRC") {
        GrowAxis(source, g, f, v);
        p[6] = grow(s[6]);
        p[7] = grow(s[7]);
    } else if (sym == "TOR") {
        for (int k = 0; k < 8; ++k) p[static_cast<size_t>(k)] = s[static_cast<size_t>(k)];
        p[4] = grow(s[4]);
    } else if (sym == "REC" || sym == "TEC") {
        GrowAxis(source, g, f, v);
        for (int k = 6; k < 12; ++k)
            p[static_cast<size_t>(k)] = (1 + f) * s[static_cast<size_t>(k)];
        if (sym == "TEC") p[12] = s[12];
    } else if (sym == "ELL") {
        for (int k = 0; k < 6; ++k) p[static_cast<size_t>(k)] = s[static_cast<size_t>(k)];
        p[6] = grow(s[6]);
    } else if (sym == "HEX") {
        GrowAxis(source, g, f, v);
        p[6] = grow(s[6]);
        for (int k = 7; k < 10; ++k) p[static_cast<size_t>(k)] = s[static_cast<size_t>(k)];
    } else {
        int n = ParameterCount(sym);
        for (int k = 0; k < n; ++k) p[static_cast<size_t>(k)] = s[static_cast<size_t>(k)];
    }
    return g;
}

double HafStandInExtent(const TAGeoData& bodies, double sceneSize) {
    double r = sceneSize > 0 && std::isfinite(sceneSize) ? sceneSize : 0;
    for (const TGeoData& b : bodies) {
        double x0 = 0, x1 = 0, y0 = 0, y1 = 0, z0 = 0, z1 = 0, d0 = 0, d1 = 0;
        BodyExtent(b, x0, x1, y0, y1, z0, z1, d0, d1);
        auto far = [](double lo, double hi) { return std::max(lo * lo, hi * hi); };
        double c = std::sqrt(far(x0, x1) + far(y0, y1) + far(z0, z1));
        if (std::isfinite(c)) r = std::max(r, c);
    }
    return 2 * r;
}

namespace {
double MeshReachOf(const TGeoData& b) {
    const auto& box = b.MeshGrid.Box;
    if (box[0] > box[1]) return 0;
    auto far = [](double lo, double hi) { return std::max(lo * lo, hi * hi); };
    return std::sqrt(far(box[0], box[1]) + far(box[2], box[3]) + far(box[4], box[5]));
}
} // namespace

void RebuildSceneMeshes(TGeometry& geo, TGeoData& cutBox, double sceneSize, double reviseRate,
                        double reviseValue, const TMeshCounts& counts) {
    // Only a subtracted term is drawn with the enlarged copy: the other bodies get none.
    std::vector<bool> subtracted(geo.Bodies.size(), false);
    for (const TZoneData& z : geo.Zones)
        for (size_t g = 0; g < z.BodyIndex.size() && g < z.Sign.size(); ++g)
            for (size_t t = 0; t < z.BodyIndex[g].size() && t < z.Sign[g].size(); ++t) {
                int b = z.BodyIndex[g][t];
                if (b >= 0 && static_cast<size_t>(b) < subtracted.size() && z.Sign[g][t] < 0)
                    subtracted[static_cast<size_t>(b)] = true;
            }
    const double hafExtent = HafStandInExtent(geo.Bodies, sceneSize);
    geo.GrownBodies.clear();
    geo.GrownBodies.resize(geo.Bodies.size());
    geo.MeshReach = 0;
    for (size_t i = 0; i < geo.Bodies.size(); ++i) {
        BuildMesh(geo.Bodies[i], false, hafExtent, counts);
        geo.MeshReach = std::max(geo.MeshReach, MeshReachOf(geo.Bodies[i]));
        if (!subtracted[i]) continue;
        geo.GrownBodies[i] = BuildGrownBody(geo.Bodies[i], reviseRate, reviseValue);
        BuildMesh(geo.GrownBodies[i], true, hafExtent, counts);
        geo.MeshReach = std::max(geo.MeshReach, MeshReachOf(geo.GrownBodies[i]));
    }
    if (!std::isfinite(geo.MeshReach)) geo.MeshReach = 0;
    static std::atomic<uint64_t> generations{0};
    geo.MeshGeneration = ++generations;
    BuildMesh(cutBox, true, 0, counts);
}
