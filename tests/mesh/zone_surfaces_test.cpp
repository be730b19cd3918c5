// Zone surfaces: every zone's surface is closed and encloses the zone's volume as the ray
// walk measures it, on scenes that break drawing by stencil passes (coincident faces, a cut
// at a cap, tori, hundreds of subtracted terms, half-space zones, deep scenes), at every scale.
#include "render/mesh/BodyMesh.h"
#include "render/mesh/ZoneSurfaces.h"

#include "geometry/ZoneIndex.h"
#include "tests/geometry/GeoTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

struct TSurfaceScene {
    TGeometry Geo;
    TGeoData Cut;
    double Scale = 1;

    void Add(const std::string& sym, std::initializer_list<double> params) {
        TGeoData b = MakeBody(sym, static_cast<int>(Geo.Bodies.size()) + 1, params);
        for (int i = 0; i < ParameterCount(sym); ++i)
            if (!(sym == "TOR" && i >= 5) && !(sym == "HAF" && i < 3))
                b.Params[static_cast<size_t>(i)] *= Scale;
        Geo.Bodies.push_back(b);
        Geo.BodyLooks.push_back({0xFF, true});
    }
    // Signed body positions + 1 per group.
    void Zone(std::initializer_list<std::initializer_list<int>> groups, int material = 1) {
        std::vector<std::vector<int>> g;
        for (const auto& terms : groups) g.emplace_back(terms);
        Zone(g, material);
    }
    void Zone(const std::vector<std::vector<int>>& groups, int material = 1) {
        TZoneData z;
        z.Name = "Z" + std::to_string(Geo.Zones.size() + 1);
        z.Material = material;
        for (const auto& g : groups) {
            TMatrixAi idx, sign;
            for (int t : g) idx.push_back(std::abs(t) - 1), sign.push_back(t < 0 ? -1 : 1);
            z.BodyIndex.push_back(idx);
            z.Sign.push_back(sign);
            z.GroupOp.push_back('O');
        }
        Geo.Zones.push_back(z);
        Geo.ZoneLooks.push_back({0xFF, true});
        if (std::none_of(Geo.Materials.begin(), Geo.Materials.end(),
                         [&](const TMaterialLook& m) { return m.Number == material; }))
            Geo.Materials.push_back({material, 0xFF00, true});
    }
    void Build() {
        PrepareBodies(Geo.Bodies);
        Cut = MakeBody("RPP", 0, {-1, 1, -1, 1, -1, 1});
        RebuildSceneMeshes(Geo, Cut, 100 * Scale, 1e-6, 0.005 * Scale);
    }
};

// Every zone's volume from a grid of rays along z through the box, cells of side `cell`: the
// length of every piece between crossings goes to the zones at its midpoint. Exact for zones
// bounded by planes on the grid's lines.
std::vector<double> RayVolumes(const TGeometry& geo, const double box[6], double cell,
                               const TGeoData* cut = nullptr) {
    std::vector<double> v(geo.Zones.size(), 0);
    TZoneIndex index;
    BuildZoneIndex(geo.Bodies, geo.Zones, index);
    const int nx = static_cast<int>(std::lround((box[1] - box[0]) / cell));
    const int ny = static_cast<int>(std::lround((box[3] - box[2]) / cell));
    const double dx = (box[1] - box[0]) / nx, dy = (box[3] - box[2]) / ny;
    TMatrixA3d pts;
    TMatrixAi codes, hits;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j) {
            TVector o{box[0] + (i + 0.5) * dx, box[2] + (j + 0.5) * dy, box[4]};
            pts.clear(), codes.clear();
            for (const TGeoData& b : geo.Bodies) RayBodyIntersections(o, {0, 0, 1}, b, pts, codes);
            if (cut) RayBodyIntersections(o, {0, 0, 1}, *cut, pts, codes);
            std::vector<double> t{box[4], box[5]};
            for (const TVector& p : pts)
                if (p.z > box[4] && p.z < box[5]) t.push_back(p.z);
            std::sort(t.begin(), t.end());
            for (size_t k = 0; k + 1 < t.size(); ++k) {
                double mid = 0.5 * (t[k] + t[k + 1]);
                if (cut && PointInBody(*cut, o.x, o.y, mid)) continue;
                FindZone(geo.Bodies, geo.Zones, index, hits, o.x, o.y, mid);
                for (int32_t z : hits) v[static_cast<size_t>(z)] += (t[k + 1] - t[k]) * dx * dy;
            }
        }
    return v;
}

// Builds the surfaces and checks every zone and material: closed (the area vectors cancel)
// and enclosing the ray-walk volume within the tessellation error.
void ExpectClosedWithVolumes(const TSurfaceScene& s, const std::vector<double>& want,
                             double tolerance, const TGeoData* cut = nullptr) {
    TZoneSurfaces surfaces;
    TSurfaceOptions options;
    options.CutBox = cut;
    options.Threads = 2;
    ASSERT_TRUE(BuildZoneSurfaces(s.Geo, options, surfaces));
    const auto got = MeasureSurfaces(surfaces.Zones, s.Geo.Zones.size());
    for (size_t z = 0; z < want.size(); ++z) {
        SCOPED_TRACE("zone " + s.Geo.Zones[z].Name);
        const TSurfaceMeasure& m = got[z];
        if (want[z] == 0) {
            EXPECT_EQ(m.Triangles, 0u);
            continue;
        }
        // the true surfaces of neighbours meet the tessellated ones with a small mismatch
        EXPECT_LT(m.OpenArea, 2e-3 * m.Area);
        EXPECT_NEAR(m.Volume, want[z], tolerance * want[z]);
    }
}

const double Pi = 3.14159265358979323846;

TEST(ZoneSurfaces, ClosedAndTrueToTheVolumeAtEveryScale) {
    for (double scale : {1e-4, 1.0, 1e4}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        TSurfaceScene s;
        s.Scale = scale;
        // the sample's nested cylinders and spheres, shells sharing radii and caps
        s.Add("RCC", {0, 0, 0, 0, 0, 30, 10});
        s.Add("RCC", {0, 0, 0.1, 0, 0, 29.8, 9.9});
        s.Add("SPH", {0, 0, 20, 4.9});
        s.Add("RCC", {0, 0, 5.1, 0, 0, 14.9, 4.9});
        s.Add("RPP", {-20, -12, -5, 5, 0, 10});
        s.Add("RPP", {-20, -12, -5, 5, 0, 10});  // the same box twice
        s.Add("HAF", {0, 0, 1, 30});             // plane through the cylinder's top cap
        s.Add("TOR", {-30, 0, 10, 5, 1.5, 0, 360, 3}); // torus about z
        s.Add("RPP", {-40, -30, -10, 10, 5, 15});       // half the ring
        s.Zone({{1, -2}});            // shell
        s.Zone({{2, -3, -4}});        // cylinder minus a coincident-radius pair
        s.Zone({{3}, {4}});           // union of two touching bodies
        s.Zone({{5, 6}});             // two identical boxes intersected
        s.Zone({{5, -6}});            // a box minus itself: nothing
        s.Zone({{-7, 1}}, 2);         // cylinder cut exactly at its top cap: the whole of it
        s.Zone({{8, 9}}, 3);          // half a ring
        s.Build();
        const double s3 = scale * scale * scale;
        const double cap = Pi * 4.9 * 4.9 * 14.9 + 2.0 / 3 * Pi * std::pow(4.9, 3);
        const std::vector<double> want{Pi * (100 * 30 - 9.9 * 9.9 * 29.8) * s3,
                                       (Pi * 9.9 * 9.9 * 29.8 - cap) * s3,
                                       cap * s3,
                                       800 * s3,
                                       0,
                                       Pi * 100 * 30 * s3,
                                       Pi * Pi * 5 * 1.5 * 1.5 * s3};
        ExpectClosedWithVolumes(s, want, 0.035); // the torus: two 30-sided tessellations
    }
}

// Meshes round their corners to four digits, so that a cap at 319.8495 is meshed at 319.8: the
// body that draws a face two caps share is chosen at the true surface, and a thin disc between
// a plane and the caps is drawn once, closed (a beam pipe's slice in a real beam dump).
TEST(ZoneSurfaces, CoincidentCapsWhoseMeshesAreRounded) {
    for (double scale : {1e-4, 1.0, 1e4}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        TSurfaceScene s;
        s.Scale = scale;
        s.Add("RCC", {0, 0, 0, 0, 0, 319.8495, 25.4});
        s.Add("RCC", {0, 0, 0, 0, 0, 319.8495, 24.4475}); // the same top cap
        s.Add("RCC", {0, 0, -100, 0, 0, 500, 5.7912});    // the pipe through both
        s.Add("HAF", {0, 0, -1, -318.897});               // inside below z = 318.897
        s.Zone({{1, 3, -4}});     // the disc of the pipe between the plane and the caps
        s.Zone({{2, -3}});        // the inner cylinder round the pipe
        s.Zone({{1, -2, -3}}, 2); // the shell
        s.Zone({{1, 3, 4}}, 3);   // the pipe below the plane
        s.Build();
        TZoneSurfaces surfaces;
        ASSERT_TRUE(BuildZoneSurfaces(s.Geo, {}, surfaces));
        const auto m = MeasureSurfaces(surfaces.Zones, 4);
        const double s2 = scale * scale, s3 = s2 * scale;
        // the disc, 0.95 thick, 319 from the origin: its faces once each (a face drawn twice
        // or left out shows in its area; its volume, so far from the origin, would not say)
        const double r = 5.7912, h = 319.8495 - 318.897;
        EXPECT_NEAR(m[0].Area, (2 * Pi * r * r + 2 * Pi * r * h) * s2, 0.03 * m[0].Area);
        EXPECT_LT(m[0].OpenArea, 2e-3 * m[0].Area);
        // the others closed and true to their volumes within the 30-gons' share and the
        // meshes' rounding
        const double want[] = {0, (Pi * 24.4475 * 24.4475 - Pi * r * r) * 319.8495 * s3,
                               Pi * (25.4 * 25.4 - 24.4475 * 24.4475) * 319.8495 * s3,
                               Pi * r * r * 318.897 * s3};
        for (size_t z = 1; z < 4; ++z) {
            SCOPED_TRACE("zone " + s.Geo.Zones[z].Name);
            EXPECT_LT(m[z].OpenArea, 2e-3 * m[z].Area);
            EXPECT_NEAR(m[z].Volume, want[z], 0.03 * want[z]);
        }
    }
}

// The same plane as two bodies (a real hall repeats a collimator's planes for each section):
// the first bounds zones only beyond a gap, so its pieces here are left out, and the second must
// draw the wall between the two halves of the box here instead of leaving it to the first.
TEST(ZoneSurfaces, ACoincidentBodyThatBoundsNothingHereLeavesTheFaceToTheOther) {
    for (double scale : {1e-4, 1.0, 1e4}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        TSurfaceScene s;
        s.Scale = scale;
        s.Add("HAF", {1, 0, 0, 0});                   // x >= 0, used far away
        s.Add("HAF", {1, 0, 0, 0});                   // the same plane, used here
        s.Add("RPP", {-5, 5, -5, 5, 12, 22});         // beyond a gap
        s.Add("RPP", {-5, 5, -5, 5, 0, 10});          // here
        s.Zone({{3, 1}});
        s.Zone({{3, -1}});
        s.Zone({{4, 2}}, 2);
        s.Zone({{4, -2}}, 3);
        s.Build();
        const double half = 500 * scale * scale * scale;
        ExpectClosedWithVolumes(s, {half, half, half, half}, 1e-6);
    }
}

TEST(ZoneSurfaces, HundredsOfSubtractedTermsAndHalfSpaceZones) {
    TSurfaceScene s;
    s.Add("RPP", {0, 100, 0, 100, 0, 10}); // a slab
    const int holes = 300;
    for (int k = 0; k < holes; ++k)
        s.Add("RCC", {3.0 + 5.5 * (k % 17), 3.0 + 5.5 * (k / 17), -1, 0, 0, 12, 1.5});
    // a cube of six half-spaces and a wedge of three
    for (double sign : {1.0, -1.0}) {
        s.Add("HAF", {sign, 0, 0, sign > 0 ? 110.0 : -120.0});
        s.Add("HAF", {0, sign, 0, sign > 0 ? 0.0 : -10.0});
        s.Add("HAF", {0, 0, sign, sign > 0 ? 0.0 : -10.0});
    }
    std::vector<int> slab{1}, cube;
    for (int k = 0; k < holes; ++k) slab.push_back(-(k + 2));
    for (int k = 0; k < 6; ++k) cube.push_back(holes + 2 + k);
    s.Zone({slab});
    s.Zone({cube});
    s.Build();
    // the 300 holes are all there: 10^5 minus 300 of them (30-sided in the meshes)
    const double hole = Pi * 1.5 * 1.5 * 10 * std::sin(2 * Pi / 30) * 30 / (2 * Pi);
    ExpectClosedWithVolumes(s, {1e5 - holes * hole, 1000}, 1e-3);
    TZoneSurfaces surfaces;
    ASSERT_TRUE(BuildZoneSurfaces(s.Geo, {}, surfaces));
    const auto m = MeasureSurfaces(surfaces.Zones, 2);
    EXPECT_NEAR(m[0].Volume, 1e5 - holes * hole, 50); // true circles in the faces, 30-gons in the walls
    EXPECT_NEAR(m[1].Volume, 1000, 0.01);
}

TEST(ZoneSurfaces, DeepSceneAndTheCutBox) {
    TSurfaceScene s;
    s.Add("SPH", {0, 0, 0, 1e5});            // the world
    s.Add("RPP", {-50, 50, -50, 50, -50, 50}); // a metre-size block
    s.Add("RPP", {-10, 10, -10, 10, 40, 50});  // a pocket cut flush with its top face
    s.Zone({{1, -2}}, 0);
    s.Zone({{2, -3}}, 1);
    s.Zone({{3}}, 2);
    s.Build();
    const double box[6] = {-51, 51, -51, 51, -51, 51};
    TZoneSurfaces surfaces;
    ASSERT_TRUE(BuildZoneSurfaces(s.Geo, {}, surfaces));
    const auto m = MeasureSurfaces(surfaces.Zones, 3);
    EXPECT_NEAR(m[1].Volume, 1e6 - 4000, 0.5);
    EXPECT_NEAR(m[2].Volume, 4000, 0.05);
    EXPECT_LT(m[1].OpenArea, 1e-5 * m[1].Area);
    // The cut box takes a corner away: its faces close the zones it cuts.
    TGeoData cut = MakeBody("RPP", 0, {0, 60, 0, 60, 0, 60});
    PrepareBody(cut);
    TSurfaceScene inner = s;
    inner.Geo.Zones.erase(inner.Geo.Zones.begin());
    inner.Geo.ZoneLooks.erase(inner.Geo.ZoneLooks.begin());
    ExpectClosedWithVolumes(inner, RayVolumes(inner.Geo, box, 0.5, &cut), 1e-4, &cut);
}

TEST(ZoneSurfaces, MaterialSurfacesLeaveOutWallsBetweenZonesOfOneMaterial) {
    TSurfaceScene s;
    s.Add("RPP", {0, 10, 0, 10, 0, 10});
    s.Add("RPP", {10, 20, 0, 10, 0, 10});
    s.Zone({{1}}, 5);
    s.Zone({{2}}, 5);
    s.Build();
    TZoneSurfaces surfaces;
    ASSERT_TRUE(BuildZoneSurfaces(s.Geo, {}, surfaces));
    const auto zones = MeasureSurfaces(surfaces.Zones, 2);
    const auto mats = MeasureSurfaces(surfaces.Materials, 1);
    EXPECT_NEAR(zones[0].Area, 600, 1e-3);
    EXPECT_NEAR(zones[1].Area, 600, 1e-3);
    EXPECT_NEAR(mats[0].Area, 1000, 1e-3); // the shared wall is inside the material
    EXPECT_NEAR(mats[0].Volume, 2000, 1e-3);
}

TEST(ZoneSurfaces, GivesUpBeyondItsTriangleBudget) {
    TSurfaceScene s;
    for (int k = 0; k < 20; ++k) s.Add("SPH", {3.0 * k, 0, 0, 1});
    s.Zone({{1}});
    s.Zone({{2}, {3}, {4}});
    s.Build();
    TZoneSurfaces surfaces;
    TSurfaceOptions options;
    options.MaxTriangles = 1000; // one sphere's mesh has 1800
    EXPECT_FALSE(BuildZoneSurfaces(s.Geo, options, surfaces));
    EXPECT_TRUE(surfaces.Empty());
    options.MaxTriangles = 100000;
    EXPECT_TRUE(BuildZoneSurfaces(s.Geo, options, surfaces));
    EXPECT_FALSE(surfaces.Empty());
}

TEST(ZoneSurfaces, StopsWhenTheProgressSaysSo) {
    TSurfaceScene s;
    for (int k = 0; k < 50; ++k) s.Add("SPH", {3.0 * k, 0, 0, 1});
    s.Zone({{1}});
    s.Build();
    TZoneSurfaces surfaces;
    TSurfaceOptions options;
    double last = -1;
    options.Progress = [&](double done) {
        EXPECT_GE(done, last);
        last = done;
        return false;
    };
    EXPECT_FALSE(BuildZoneSurfaces(s.Geo, options, surfaces));
    EXPECT_TRUE(surfaces.Empty());
}

} // namespace
