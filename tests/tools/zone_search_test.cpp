// The indexed zone search and the search that carries body states along a ray must give the
// plain search's answer at every piece midpoint of every ray, on the benchmark geometries
// (shielding-style, detector, voxel phantom, sample) at every scale: a single difference is a
// fault.
#include "BenchScenes.h"
#include "geometry/ZoneIndex.h"
#include "tools/core/CheckCore.h"
#include "geometry/RayZones.h"
#include "tools/core/CheckRay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
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
int CompareAlongRays(const TBenchScene& s, int rays, uint64_t seed, bool prepared = true) {
    TAGeoData bodies = s.Geo.Bodies; // a copy starts unprepared
    if (prepared) PrepareBodies(bodies);
    const TAZoneData& zones = s.Geo.Zones;
    TZoneIndex index;
    BuildZoneIndex(bodies, zones, index);
    EXPECT_TRUE(index.Ready);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    TRayCrossings walk;
    walk.Zones.Always = true; // carry states on every ray, however short
    TMatrixAi plain, indexed, carried, celled;
    // the cell of the last search, kept from ray to ray: searches start from the cells above it
    TZoneCell cell;
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
        walk.Walk(o, d, bodies, zones, index);
        const TMatrixA3d& p = walk.Points;
        // some rays leave pieces out, as the check does with short ones, and start over
        const size_t skip = r % 3 == 1 ? 3 : 0;
        for (size_t i = 0; i + 1 < p.size(); ++i) {
            if (skip && i % skip == 1) continue;
            TVector m = PieceMid(p, i);
            FindZone(bodies, zones, plain, m.x, m.y, m.z);
            FindZone(bodies, zones, index, indexed, m.x, m.y, m.z);
            walk.Zones.Find(i, carried);
            FindZone(bodies, zones, index, &cell, celled, m.x, m.y, m.z);
            if (plain != indexed || plain != carried || plain != celled) {
                ADD_FAILURE() << s.Name << ": ray " << r << " piece " << i << " at " << m.x << " "
                              << m.y << " " << m.z
                              << (plain != indexed   ? " (index)"
                                  : plain != celled ? " (from the last cell)"
                                                    : " (carried)");
                return compared;
            }
            ++compared;
        }
        if (skip && p.size() > 2) {
            TVector m = PieceMid(p, 0);
            FindZone(bodies, zones, plain, m.x, m.y, m.z);
            walk.Zones.Find(0, carried);
            EXPECT_EQ(plain, carried) << s.Name << ": ray " << r << " started over";
        }
    }
    // the carried states did the work, with proofs over runs of pieces
    EXPECT_GT(walk.Zones.CarriedPieces, compared / 2) << s.Name;
    EXPECT_GT(walk.Zones.BoxProofs, 0) << s.Name;
    return compared;
}

// A check through the box finds nothing.
void ExpectNoCheckErrors(TBenchScene& s) {
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
    EXPECT_EQ(run.Lines()[run.Lines().size() - 2], "error count = 0") << s.Name;
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

// Stacks of parallel half-spaces in a cylinder, sectors between planes through an axis and a
// ground zone of 80 groups of half-spaces: the kind of geometry converted inputs give. Bodies
// not prepared leave the index nothing to decide, and the search must still be exact.
TEST(ZoneSearchIdentity, PlaneHeavyGeometryAtEveryScalePreparedAndNot) {
    for (double scale : {1e-4, 1.0, 1e4}) {
        TBenchScene s;
        std::string error;
        ASSERT_TRUE(ShieldingScene(s, error, scale, PlaneSlices)) << error;
        EXPECT_GT(CompareAlongRays(s, 800, 170 + static_cast<uint64_t>(scale)), 20000) << scale;
        EXPECT_GT(CompareAlongRays(s, 30, 171, false), 1500) << scale;
    }
}

TEST(ZoneSearchIdentity, DetectorPhantomAndSample) {
    std::vector<TBenchScene> scenes{DetectorScene(200), PhantomScene(10)};
    ASSERT_TRUE(SampleScene(scenes.emplace_back()));
    for (const TBenchScene& s : scenes) EXPECT_GT(CompareAlongRays(s, 3000, 161), 3000) << s.Name;
}

// Without crossing codes that name their bodies (numbers repeated) the carried states lose only
// the hints where runs end, never exactness.
TEST(ZoneSearchIdentity, BodiesThatShareANumber) {
    TBenchScene s = DetectorScene(200);
    for (TGeoData& b : s.Geo.Bodies) b.Number = 7;
    EXPECT_GT(CompareAlongRays(s, 1000, 162), 1000);
}

// A ray that runs along a cylinder's surface line, where the cylinder reports no crossing while
// the closed inside test holds at the midpoints on that line.
TEST(ZoneSearchIdentity, RayAlongASurfaceLineOfTheSample) {
    TBenchScene s;
    ASSERT_TRUE(SampleScene(s));
    TAGeoData bodies = s.Geo.Bodies;
    PrepareBodies(bodies);
    TZoneIndex index;
    BuildZoneIndex(bodies, s.Geo.Zones, index);
    TRayCrossings walk;
    walk.Zones.Always = true;
    TMatrixAi plain, carried;
    for (double x : {2.0, -2.0, 4.9, 0.0})
        for (double z : {13.0, 20.0, 0.0}) {
            walk.Walk({x, -60, z}, {0, 1, 0}, bodies, s.Geo.Zones, index);
            for (size_t i = 0; i + 1 < walk.Points.size(); ++i) {
                TVector m = PieceMid(walk.Points, i);
                FindZone(bodies, s.Geo.Zones, plain, m.x, m.y, m.z);
                walk.Zones.Find(i, carried);
                ASSERT_EQ(plain, carried) << x << " " << z << " piece " << i;
            }
        }
    EXPECT_GT(walk.Zones.CarriedPieces, 20);
}

// Thousands of concentric spheres: a ray from the centre crosses them all. Each piece costs a
// few tests (the two spheres crossed, their two zones), not a search through thousands of zones.
TEST(ZoneSearch, ConcentricSpheresCostAFewTestsPerPiece) {
    TBenchScene s = NestedScene(3000);
    TGeometry& g = s.Geo;
    TZoneIndex index;
    BuildZoneIndex(g.Bodies, g.Zones, index);
    std::mt19937_64 rng(163);
    TRayCrossings walk;
    TMatrixAi reference, carried;
    int64_t pieces = 0;
    for (int r = 0; r < 4; ++r) {
        TVector o{0.3 * r, -0.2 * r, 0.1}, d = RandomDirection(rng);
        walk.Walk(o, d, g.Bodies, g.Zones, index);
        ASSERT_GT(walk.Points.size(), 2900u);
        for (size_t i = 0; i + 1 < walk.Points.size(); ++i) {
            TVector m = PieceMid(walk.Points, i);
            if (r == 0)
                FindZone(g.Bodies, g.Zones, reference, m.x, m.y, m.z);
            else
                FindZone(g.Bodies, g.Zones, index, reference, m.x, m.y, m.z);
            walk.Zones.Find(i, carried);
            ASSERT_EQ(reference, carried) << "ray " << r << " piece " << i;
            ++pieces;
        }
    }
    const TRayZoneSearch& z = walk.Zones;
    EXPECT_EQ(z.CarriedPieces, pieces); // long rays carry states without being asked to
    EXPECT_LT(z.InsideTests + z.BoxProofs, 8 * pieces);
}

// The generated geometries are clean partitions: the check finds nothing, and their zones are
// written the way the benchmark needs them (air zones subtracting hundreds of bodies; with the
// buried target, hundreds of half-spaces and a zone of many groups).
TEST(ShieldingGeometry, IsCleanAndSurfaceHeavy) {
    for (int slices : {0, PlaneSlices}) {
        TBenchScene s;
        std::string error;
        ASSERT_TRUE(ShieldingScene(s, error, 1, slices)) << error;
        size_t longest = 0, halfSpaces = 0, groups = 0;
        for (const TZoneData& z : s.Geo.Zones) {
            groups = std::max(groups, z.BodyIndex.size());
            for (const TMatrixAi& g : z.BodyIndex) longest = std::max(longest, g.size());
        }
        for (const TGeoData& b : s.Geo.Bodies) halfSpaces += b.Symbol == "HAF";
        EXPECT_GT(longest, 150u);
        EXPECT_GE(halfSpaces, slices > 0 ? 220u : 8u);
        EXPECT_GE(groups, slices > 0 ? 80u : 2u);
        ExpectNoCheckErrors(s);
    }
}

// The tree that culls long body lists keeps every body whose ball the ray passes: the crossings
// equal those of every body in turn, bit for bit, at every scale, for rays from far away too.
TEST(RayCullTree, CrossingsEqualThoseOfEveryBodyInTurn) {
    for (double scale : {1e-4, 1.0, 1e4}) {
        TBenchScene s;
        std::string error;
        ASSERT_TRUE(ShieldingScene(s, error, scale, PlaneSlices)) << error;
        TAGeoData bodies = s.Geo.Bodies;
        PrepareBodies(bodies);
        TZoneIndex index;
        BuildZoneIndex(bodies, s.Geo.Zones, index);
        ASSERT_FALSE(index.Rays.Nodes.empty());
        std::mt19937_64 rng(180);
        std::uniform_real_distribution<double> u(0, 1);
        int crossed = 0;
        for (int r = 0; r < 4000; ++r) {
            TVector o{s.Box[0] + (s.Box[1] - s.Box[0]) * u(rng),
                      s.Box[2] + (s.Box[3] - s.Box[2]) * u(rng),
                      s.Box[4] + (s.Box[5] - s.Box[4]) * u(rng)};
            TVector d = RandomDirection(rng);
            if (r % 3 == 0) { // the volume's rays: along an axis from a face of the box
                d = TVector{0, 0, 0};
                (r % 9 == 0 ? d.x : r % 9 == 3 ? d.y : d.z) = 1;
                (r % 9 == 0 ? o.x : r % 9 == 3 ? o.y : o.z) =
                    s.Box[r % 9 == 0 ? 0 : r % 9 == 3 ? 2 : 4];
            }
            if (r % 7 == 1) o = o * 1e3; // far outside, looking back or away
            if (r % 7 == 2) d = (TVector{0, 0, 0} - o) * (1 / Length(o));
            TMatrixA3d one{o}, all{o};
            TMatrixAi oneCodes{-1}, allCodes{-1};
            for (const TGeoData& b : bodies) RayBodyIntersections(o, d, b, one, oneCodes);
            std::vector<uint32_t> kept;
            RayBodiesIntersections(o, d, bodies, index.Rays, all, allCodes, &kept);
            ASSERT_EQ(oneCodes, allCodes) << "scale " << scale << " ray " << r;
            for (size_t q = 0; q < all.size(); ++q)
                ASSERT_TRUE(std::memcmp(&all[q], &one[q], sizeof(TVector)) == 0) << r;
            ASSERT_TRUE(std::is_sorted(kept.begin(), kept.end()));
            crossed += oneCodes.size() > 1;
        }
        EXPECT_GT(crossed, 3000);
    }
}

// Bodies of no thickness (cylinders of radius 0 along one axis, as a generated layout can
// give) must not drive the index's cells down to the last level along all of them.
TEST(ZoneIndex, BodiesOfNoThicknessKeepTheIndexSmall) {
    TAGeoData bodies;
    TAZoneData zones;
    for (int k = 0; k < 4; ++k) {
        TGeoData b;
        b.Symbol = "RCC";
        b.Number = k + 1;
        b.Params = {0, 0, k < 2 ? -1.0 : 4.0, 0, 0, k < 2 ? 5.0 : -4.0, 0};
        bodies.push_back(b);
        TZoneData z;
        z.Name = std::to_string(k + 1);
        z.Material = 1;
        z.BodyIndex = {{k}};
        z.Sign = {{1}};
        z.GroupOp = {'O'};
        zones.push_back(z);
    }
    PrepareBodies(bodies);
    TZoneIndex index;
    BuildZoneIndex(bodies, zones, index);
    EXPECT_TRUE(index.Ready);
    EXPECT_LT(index.Depth, 40);
    EXPECT_LT(ZoneIndexBytes(index), size_t{1} << 20);
    TMatrixAi plain, indexed;
    for (double z : {-1.0, 0.0, 2.5, 4.0, 6.0})
        EXPECT_EQ(FindZone(bodies, zones, index, indexed, 0, 0, z),
                  FindZone(bodies, zones, plain, 0, 0, z));
}
