// The indexed zone search must give the plain search's answer at every piece midpoint of every
// ray, on the benchmark geometries (shielding-style, detector, voxel phantom, sample) at every
// scale: a single difference is a fault.
#include "BenchScenes.h"
#include "geometry/ZoneIndex.h"
#include "tools/core/CheckCore.h"
#include "tools/core/CheckRay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

TVector RandomDirection(std::mt19937_64& rng) {
    std::normal_distribution<double> n(0, 1);
    for (;;) {
        TVector d{n(rng), n(rng), n(rng)};
        double l = Length(d);
        if (l > 1e-6) return d * (1 / l);
    }
}

// Seeded random rays from the scene's box, some along the axes as the volume grid fires them,
// some lying in a plane of round coordinates, where faces of the phantom's voxels and of many
// other bodies lie (crossings coincide, rays run along faces, cells of the index meet there).
// Returns the number of midpoints compared.
int CompareAlongRays(const TBenchScene& s, int rays, uint64_t seed) {
    TAGeoData bodies = s.Geo.Bodies;
    PrepareBodies(bodies);
    const TAZoneData& zones = s.Geo.Zones;
    TZoneIndex index;
    BuildZoneIndex(bodies, zones, index);
    EXPECT_TRUE(index.Ready);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    TRayCrossings walk;
    TMatrixAi plain, indexed;
    const double unit = std::pow(10, std::floor(std::log10(s.Box[1] - s.Box[0]))) / 10;
    int compared = 0;
    for (int r = 0; r < rays; ++r) {
        TVector o{s.Box[0] + (s.Box[1] - s.Box[0]) * u(rng),
                  s.Box[2] + (s.Box[3] - s.Box[2]) * u(rng),
                  s.Box[4] + (s.Box[5] - s.Box[4]) * u(rng)};
        TVector d = RandomDirection(rng);
        if (r % 4 == 0) d = TVector{0, 0, 0}, (r % 12 == 0 ? d.x : r % 12 == 4 ? d.y : d.z) = 1;
        if (r % 4 == 2) o.z = std::round(o.z / unit) * unit, d.z = 0, d = d * (1 / Length(d));
        if (r % 8 == 6) o.x = std::round(o.x / unit) * unit, d = TVector{0, d.y, 0} * (1 / d.y);
        walk.Walk(o, d, bodies, index.Rays);
        const TMatrixA3d& p = walk.Points;
        for (size_t i = 0; i + 1 < p.size(); ++i) {
            TVector m{(p[i].x + p[i + 1].x) / 2, (p[i].y + p[i + 1].y) / 2,
                      (p[i].z + p[i + 1].z) / 2};
            FindZone(bodies, zones, plain, m.x, m.y, m.z);
            FindZone(bodies, zones, index, indexed, m.x, m.y, m.z);
            if (plain != indexed) {
                ADD_FAILURE() << s.Name << ": ray " << r << " piece " << i << " at " << m.x << " "
                              << m.y << " " << m.z;
                return compared;
            }
            ++compared;
        }
    }
    return compared;
}

} // namespace

TEST(ZoneSearchIdentity, ShieldingGeometryAtEveryScale) {
    for (double scale : {1e-4, 1.0, 1e4}) {
        TBenchScene s;
        std::string error;
        ASSERT_TRUE(ShieldingScene(s, error, scale)) << error;
        EXPECT_GE(s.Geo.Zones.size(), 500u);
        EXPECT_LE(s.Geo.Zones.size(), 700u);
        EXPECT_GT(CompareAlongRays(s, 1000, 160 + static_cast<uint64_t>(scale)), 8000);
    }
}

TEST(ZoneSearchIdentity, DetectorPhantomAndSample) {
    std::vector<TBenchScene> scenes{DetectorScene(200), PhantomScene(10)};
    ASSERT_TRUE(SampleScene(scenes.emplace_back()));
    for (const TBenchScene& s : scenes) EXPECT_GT(CompareAlongRays(s, 3000, 161), 3000) << s.Name;
}

// The generated geometry is a clean partition: the check finds nothing, and its zones are
// written the way the benchmark needs them (air zones subtracting hundreds of bodies).
TEST(ShieldingGeometry, IsCleanAndSurfaceHeavy) {
    TBenchScene s;
    std::string error;
    ASSERT_TRUE(ShieldingScene(s, error)) << error;
    size_t longest = 0, halfSpaces = 0;
    for (const TZoneData& z : s.Geo.Zones)
        for (const TMatrixAi& g : z.BodyIndex) longest = std::max(longest, g.size());
    for (const TGeoData& b : s.Geo.Bodies) halfSpaces += b.Symbol == "HAF";
    EXPECT_GT(longest, 150u);
    EXPECT_GE(halfSpaces, 8u);
    TCheckErrorSegments errors;
    TCheckRun run(errors);
    TCheckSettings set;
    set.Rays = 3000;
    set.Xmin = s.Box[0], set.Xmax = s.Box[1], set.Ymin = s.Box[2], set.Ymax = s.Box[3];
    set.Zmin = s.Box[4], set.Zmax = s.Box[5];
    PrepareBodies(s.Geo.Bodies);
    run.Start(s.Geo.Bodies, s.Geo.Zones, set);
    while (run.Running()) run.Advance(1000);
    ASSERT_GE(run.Lines().size(), 3u);
    EXPECT_EQ(run.Lines()[run.Lines().size() - 2], "error count = 0");
}
