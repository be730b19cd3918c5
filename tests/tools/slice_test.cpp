// Slice classification against analytic areas, the point inspector, and the track-zone check
// with planted mismatches and points printed on boundaries.
#include "ToolGeometry.h"

#include "geometry/ZoneIndex.h"
#include "input/Reader.h"
#include "tools/core/SliceCore.h"
#include "tools/core/TrackZoneCheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

struct TIndexed {
    TGeometry Geo;
    TZoneIndex Index;
    void Build() {
        Prepare(Geo);
        BuildZoneIndex(Geo.Bodies, Geo.Zones, Index);
    }
};

TSliceCounts Slice(const TIndexed& g, TSlicePlane plane, int w, int h, int threads = 0) {
    TSliceRender r;
    r.Threads = threads;
    r.Start(g.Geo.Bodies, g.Geo.Zones, g.Index, plane, w, h);
    r.Finish();
    return CountSlice(r.Classes(), g.Geo.Zones.size());
}

TSlicePlane Window(int axis, double c, double half, double s = 1) {
    TSlicePlane p;
    p.Axis = axis;
    p.C = c * s;
    p.Umin = p.Vmin = -half * s;
    p.Umax = p.Vmax = half * s;
    return p;
}

// Sphere 1 r 5 (zone Z1), a gap to r 6, then Z2 from 6 to 20 and the void outside: the gap is
// an annulus in every plane through the centre. Scaled by s.
TIndexed NestedWithGap(double s = 1) {
    TIndexed g;
    g.Geo.Bodies = {Sph(1, 5 * s), Sph(2, 6 * s), Sph(3, 20 * s)};
    AddZone(g.Geo, "Z1", 1, {{1}});
    AddZone(g.Geo, "Z2", 2, {{3, -2}});
    AddZone(g.Geo, "Z3", 0, {{-3}});
    g.Build();
    return g;
}

// Two spheres of radius 5 whose centres are 6 apart, each its own zone, the rest void.
TIndexed Lens() {
    TIndexed g;
    g.Geo.Bodies = {Sph(1, 5, -3), Sph(2, 5, 3), Sph(3, 50)};
    AddZone(g.Geo, "ZA", 1, {{1}});
    AddZone(g.Geo, "ZB", 1, {{2}});
    AddZone(g.Geo, "ZO", 0, {{3, -1, -2}});
    AddZone(g.Geo, "ZV", 0, {{-3}});
    g.Build();
    return g;
}

double LensArea(double r, double d) {
    return 2 * r * r * std::acos(d / (2 * r)) - d / 2 * std::sqrt(4 * r * r - d * d);
}

} // namespace

TEST(Slice, CountsMatchAnalyticAreas) {
    const int n = 800;
    {
        SCOPED_TRACE("annular gap between nested spheres");
        TIndexed g = NestedWithGap();
        TSliceCounts c = Slice(g, Window(2, 0, 8), n, n);
        double pixelArea = (16.0 / n) * (16.0 / n);
        EXPECT_NEAR(c.Undefined * pixelArea, Pi * (36 - 25), 0.005 * Pi * 11);
        EXPECT_EQ(c.Overlap, 0);
        EXPECT_EQ(c.Pixels, int64_t(n) * n);
        EXPECT_NEAR(c.PerZone[0] * pixelArea, Pi * 25, 0.005 * Pi * 25);
        // an x-plane off the centre cuts circles of radii sqrt(25 - 9) and sqrt(36 - 9)
        TSliceCounts off = Slice(g, Window(0, 3, 8), n, n);
        EXPECT_NEAR(off.Undefined * pixelArea, Pi * (27 - 16), 0.005 * Pi * 11);
    }
    {
        SCOPED_TRACE("lens of two overlapping spheres");
        TIndexed g = Lens();
        TSlicePlane p = Window(2, 0, 10);
        TSliceCounts c = Slice(g, p, n, n);
        double pixelArea = (20.0 / n) * (20.0 / n);
        EXPECT_NEAR(c.Overlap * pixelArea, LensArea(5, 6), 0.01 * LensArea(5, 6));
        EXPECT_EQ(c.Undefined, 0);
        // a plane 2 above the centres cuts circles of radius sqrt(21)
        TSliceCounts up = Slice(g, Window(2, 2, 10), n, n);
        EXPECT_NEAR(up.Overlap * pixelArea, LensArea(std::sqrt(21.0), 6),
                    0.01 * LensArea(std::sqrt(21.0), 6));
        // a y-plane sees the same lens in x and z
        TSliceCounts side = Slice(g, Window(1, 0, 10), n, n);
        EXPECT_EQ(side.Overlap, c.Overlap);
    }
    {
        SCOPED_TRACE("clean geometry");
        TIndexed g;
        g.Geo.Bodies = {Sph(1, 5), Sph(2, 6), Sph(3, 20)};
        AddZone(g.Geo, "Z1", 1, {{1}});
        AddZone(g.Geo, "Z2", 2, {{2, -1}});
        AddZone(g.Geo, "Z3", 3, {{3, -2}});
        AddZone(g.Geo, "Z4", 0, {{-3}});
        g.Build();
        for (int axis = 0; axis < 3; ++axis) {
            TSliceCounts c = Slice(g, Window(axis, 0.37, 25), 301, 199);
            EXPECT_EQ(c.Undefined, 0);
            EXPECT_EQ(c.Overlap, 0);
            EXPECT_EQ(c.Pixels, 301 * 199);
        }
    }
}

TEST(Slice, CountsDoNotDependOnTheScaleOfTheGeometry) {
    TSliceCounts ref = Slice(NestedWithGap(), Window(2, 1.3, 8), 200, 200);
    ASSERT_GT(ref.Undefined, 0);
    for (int k : {-4, -2, 2, 4}) {
        double s = std::pow(10.0, k);
        TSliceCounts c = Slice(NestedWithGap(s), Window(2, 1.3, 8, s), 200, 200);
        EXPECT_NEAR(double(c.Undefined), double(ref.Undefined), 2) << "scale 1e" << k;
        EXPECT_EQ(c.Overlap, 0) << "scale 1e" << k;
    }
}

TEST(Slice, EveryPixelEndsWithTheClassOfItsOwnCentre) {
    TIndexed g = Lens();
    TSlicePlane p = Window(2, 0.5, 9);
    p.Umin = -11; // not square: pixels are wider than high
    const int w = 53, h = 37; // not multiples of the coarse spacing
    for (int threads : {1, 2}) {
        TSliceRender r;
        r.Threads = threads;
        r.Start(g.Geo.Bodies, g.Geo.Zones, g.Index, p, w, h);
        int steps = 0;
        while (!r.Advance(0)) ++steps; // one batch per call
        EXPECT_GT(steps, 2);           // coarse levels came first
        EXPECT_DOUBLE_EQ(r.Progress(), 1.0);
        TMatrixAi hits;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                TVector c = SlicePixelCentre(p, w, h, i, j);
                int n = FindZone(g.Geo.Bodies, g.Geo.Zones, hits, c.x, c.y, c.z);
                int32_t want = n == 0 ? SliceUndefined : n == 1 ? hits[0] : SliceOverlap;
                ASSERT_EQ(r.Classes()[size_t(j * w + i)], want) << i << "," << j;
            }
    }
    // the top row is at Vmax, the left column at Umin
    TVector tl = SlicePixelCentre(p, w, h, 0, 0);
    EXPECT_NEAR(tl.x, -11 + 20.0 / w / 2, 1e-12);
    EXPECT_NEAR(tl.y, 9 - 18.0 / h / 2, 1e-12);
    EXPECT_DOUBLE_EQ(tl.z, 0.5);
}

TEST(Slice, PlaneTextsWindowsAndColours) {
    int axis = -1;
    double c = 0;
    EXPECT_TRUE(ParseSlicePlane("y=-2.5", axis, c));
    EXPECT_EQ(axis, 1);
    EXPECT_EQ(c, -2.5);
    EXPECT_TRUE(ParseSlicePlane("X=1e3", axis, c));
    EXPECT_EQ(axis, 0);
    for (const char* bad : {"z", "z=", "w=1", "z=1x", "z= 1", "z=nan", "z=inf", "1=z"})
        EXPECT_FALSE(ParseSlicePlane(bad, axis, c)) << bad;

    // The default window shows the whole box with square pixels.
    TSlicePlane p;
    p.Axis = 1; // u = x, v = z
    DefaultSliceWindow({-10, 10, -4, 4, 0, 30}, 800, 400, p);
    EXPECT_DOUBLE_EQ(p.Vmin, 0);
    EXPECT_DOUBLE_EQ(p.Vmax, 30);
    EXPECT_DOUBLE_EQ(p.Umax - p.Umin, 60);
    EXPECT_DOUBLE_EQ(p.Umin + p.Umax, 0);

    TIndexed g = Lens();
    g.Geo.ZoneLooks = {{0x0000FF, true}, {0x00FF00, true}, {0xFF0000, false}, {0x123456, true}};
    g.Geo.Materials = {{1, 0xABCDEF, true}};
    std::vector<TColor> byZone = SliceZoneColors(g.Geo, TSliceColorBy::Zone, 0);
    EXPECT_EQ(byZone, (std::vector<TColor>{0x0000FF, 0x00FF00, 0xFF0000, 0x123456}));
    std::vector<TColor> byMat = SliceZoneColors(g.Geo, TSliceColorBy::Material, 0x111111);
    EXPECT_EQ(byMat, (std::vector<TColor>{0xABCDEF, 0xABCDEF, 0x111111, 0x111111}));
    // Undefined and overlap are patterns of two colours each, whatever the zone colours.
    EXPECT_NE(SlicePixelColor(SliceUndefined, byZone, 0, 0),
              SlicePixelColor(SliceUndefined, byZone, 4, 0));
    EXPECT_NE(SlicePixelColor(SliceOverlap, byZone, 0, 0),
              SlicePixelColor(SliceOverlap, byZone, 4, 0));

    TSliceCounts counts;
    counts.PerZone = {10, 0, 5, 7};
    counts.Undefined = 3;
    auto legend = SliceLegend(g.Geo, TSliceColorBy::Material, counts, byMat);
    ASSERT_EQ(legend.size(), 3u);
    EXPECT_EQ(legend[0].Text, "material 1");
    EXPECT_EQ(legend[0].Pixels, 10);
    EXPECT_EQ(legend[1].Text, "void");
    EXPECT_EQ(legend[1].Pixels, 12);
    EXPECT_EQ(legend[2].Class, SliceUndefined);
    auto byZoneLegend = SliceLegend(g.Geo, TSliceColorBy::Zone, counts, byZone);
    ASSERT_EQ(byZoneLegend.size(), 4u);
    EXPECT_EQ(byZoneLegend[0].Text, "ZA  material 1");
    EXPECT_EQ(byZoneLegend[1].Text, "ZO  void");
}

TEST(Where, InsideOnSurfacesAndOutside) {
    TIndexed g = NestedWithGap();
    auto lines = [&](double x, double y, double z) {
        return PointInfoLines(g.Geo.Zones, InspectPoint(g.Geo.Bodies, g.Geo.Zones, g.Index, x, y, z));
    };
    using L = std::vector<std::string>;
    EXPECT_EQ(lines(1, 2, 3), (L{"zones: Z1", "materials: 1", "bodies: 1 2 3"}));
    // on the surface of sphere 1: inside it (closed tests), so in Z1
    EXPECT_EQ(lines(0, 0, 5), (L{"zones: Z1", "materials: 1", "bodies: 1 2 3"}));
    // in the gap: no zone
    EXPECT_EQ(lines(5.5, 0, 0), (L{"zones: none", "materials: none", "bodies: 2 3"}));
    // on the surface of sphere 2: inside it, so not in Z2 (which subtracts it): still the gap
    EXPECT_EQ(lines(0, -6, 0), (L{"zones: none", "materials: none", "bodies: 2 3"}));
    EXPECT_EQ(lines(0, 0, 20), (L{"zones: Z2", "materials: 2", "bodies: 3"}));
    EXPECT_EQ(lines(30, 0, 0), (L{"zones: Z3", "materials: 0", "bodies: none"}));

    TIndexed lens = Lens();
    TPointInfo both = InspectPoint(lens.Geo.Bodies, lens.Geo.Zones, lens.Index, 0, 1, 0);
    EXPECT_EQ(PointInfoLines(lens.Geo.Zones, both),
              (L{"zones: ZA ZB", "materials: 1 1", "bodies: 1 2 3"}));
}

// ---- track-zone check ----

namespace {

namespace fs = std::filesystem;

// Nested spheres: Z1 r < 5, Z2 from 5 to 10, Z3 outside (void). Tracks as a file prints them.
struct TTrackFile {
    TGeometry Geo;
    TTracks Tracks;
    TZoneIndex Index;
    explicit TTrackFile(const std::string& histories, double scale = 1) {
        fs::path path = fs::temp_directory_path() /
                        ("trazon_track_zones_" + std::to_string(::getpid()) + ".dat");
        char cards[200];
        std::snprintf(cards, sizeof cards, "SPH 1 0 0 0 %.17g\nSPH 2 0 0 0 %.17g\n", 5 * scale,
                      10 * scale);
        std::ofstream(path) << "CSTA-FREE\n"
                            << cards
                            << "END\nZ1 1\nZ2 2 -1\nZ3 -2\nEND\nCEND\nMSTA\n3\n1 2 0\nMEND\n"
                            << histories;
        TDisplaySettings settings;
        double size = 0;
        TDataReader reader(Geo, Tracks, settings, size);
        EXPECT_TRUE(reader.Load(path.string())) << reader.LastError();
        fs::remove(path);
        BuildZoneIndex(Geo.Bodies, Geo.Zones, Index);
    }
    TTrackZoneResult Check(double tolerance = 0) {
        TTrackZoneOptions o;
        o.Tolerance = tolerance;
        return CheckTrackZones(Geo.Bodies, Geo.Zones, Index, Tracks, o);
    }
};

// A point as the simulation prints it: 4 significant digits.
std::string Point(double x, double y, double z, int zone, double scale = 1) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "5 %.3E %.3E %.3E 1.0 %d 1.0\n", x * scale, y * scale,
                  z * scale, zone);
    return buf;
}

// A track from the centre outwards along (1, 1, 1)/sqrt(3), stopping on both sphere surfaces;
// the boundary points are recorded as the zone before or after them.
std::string CrossingTrack(int zoneAtFirst, int zoneAtSecond, double scale = 1) {
    const double k = 1 / std::sqrt(3.0);
    return Point(k, k, k, 1, scale) + Point(5 * k, 5 * k, 5 * k, zoneAtFirst, scale) +
           Point(7 * k, 7 * k, 7 * k, 2, scale) + Point(10 * k, 10 * k, 10 * k, zoneAtSecond, scale) +
           Point(12 * k, 12 * k, 12 * k, 3, scale) + "-1\n";
}

} // namespace

TEST(TrackZones, BoundaryPointsRecordedAsEitherSideDoNotCount) {
    for (int k : {0, -3, 3}) {
        double s = std::pow(10.0, k);
        SCOPED_TRACE("scale 1e" + std::to_string(k));
        TTrackFile f("0 1\n" + CrossingTrack(1, 2, s) + CrossingTrack(2, 3, s) +
                         // the same along an axis and along a grazing direction
                         Point(0, 0, 4, 1, s) + Point(0, 0, 5, 1, s) + Point(0.3, 0.01, 5, 2, s) +
                         Point(0, 0, 5, 2, s) + "-1\n9 1\n",
                     s);
        TTrackZoneResult r = f.Check();
        EXPECT_EQ(r.Points, 14);
        EXPECT_EQ(r.Mismatches, 0);
        EXPECT_EQ(r.Digits, 4);
        // Without the tolerance the printed boundary points fall on the wrong side.
        EXPECT_GT(f.Check(1e-12 * s).Mismatches, 0);
    }
}

TEST(TrackZones, PlantedMismatchesAreFoundAndNamed) {
    // The first point shows that the file prints 4 digits.
    TTrackFile f("0 1\n" + Point(1.234, 0, 0, 1) + Point(1, 2, 0, 2) + // wrong: r 2.2 is Z1
                 Point(6, 0, 0, 2) + "-1\n" + Point(7, 0, 0, 1) + // wrong: Z2
                 Point(20, 0, 0, 3) + "-1\n9 1\n0 2\n" + Point(0, 8, 0, 9) + // no zone 9
                 Point(0, 4.9, 0, 2) + "-1\n9 1\n");                          // 0.1 inside Z1
    TTrackZoneResult r = f.Check();
    EXPECT_EQ(r.Points, 7);
    EXPECT_EQ(r.Mismatches, 4);
    ASSERT_EQ(r.Kept.size(), 4u);
    EXPECT_EQ(TrackZoneMismatchLine(r.Kept[0], f.Geo.Zones),
              "history 1 track 1 point 2: 1 2 0 recorded Z2 found Z1");
    EXPECT_EQ(TrackZoneMismatchLine(r.Kept[1], f.Geo.Zones),
              "history 1 track 2 point 1: 7 0 0 recorded Z1 found Z2");
    EXPECT_EQ(TrackZoneMismatchLine(r.Kept[2], f.Geo.Zones),
              "history 2 track 1 point 1: 0 8 0 recorded #9(no such zone) found Z2");
    EXPECT_EQ(TrackZoneMismatchLine(r.Kept[3], f.Geo.Zones),
              "history 2 track 1 point 2: 0 4.9 0 recorded Z2 found Z1");
    EXPECT_EQ(r.Kept[3].Point, 6u);

    TTrackZoneOptions few;
    few.MaxKept = 2;
    TTrackZoneResult limited = CheckTrackZones(f.Geo.Bodies, f.Geo.Zones, f.Index, f.Tracks, few);
    EXPECT_EQ(limited.Mismatches, 4);
    EXPECT_EQ(limited.Kept.size(), 2u);
    // A large tolerance accepts the point 0.1 inside Z1 as on Z2's boundary.
    EXPECT_EQ(f.Check(0.2).Mismatches, 3);
}

TEST(TrackZones, PrintedDigits) {
    EXPECT_EQ(PrintedDigits(7.67), 3);
    EXPECT_EQ(PrintedDigits(-0.85), 2);
    EXPECT_EQ(PrintedDigits(1.0 / 3), 16);
    EXPECT_EQ(PrintedDigits(0), 1);
    EXPECT_NEAR(RoundingError({1.23, 0, 0}, 3), 0.005, 1e-15);
    EXPECT_NEAR(RoundingError({123, 0, 0}, 3), 0.5, 1e-12);
}

TEST(TrackZones, APointPrintedExactlyOnABoundaryThroughTheOriginDoesNotCount) {
    TGeometry g;
    g.Bodies = {MakeBody("RPP", 1, {-1, 0, -1, 1, -1, 1}), MakeBody("RPP", 2, {-1, 1, -1, 1, -1, 1})};
    AddZone(g, "ZL", 1, {{1}});
    AddZone(g, "ZR", 2, {{2, -1}});
    Prepare(g);
    TZoneIndex index;
    BuildZoneIndex(g.Bodies, g.Zones, index);
    TTracks tracks(3);
    tracks[0] = {1, 5, 0.5, 0.25, 0.125, 1.0, 2, 1.0, 0, 0, 0};
    tracks[1] = {1, 5, 0, 0, 0, 1.0, 2, 1.0, 0, 0, 0}; // on x = 0, which belongs to ZL
    tracks[2] = {1, 5, -0.5, 0, 0, 1.0, 1, 1.0, 0, 0, -1};
    TTrackZoneResult r = CheckTrackZones(g.Bodies, g.Zones, index, tracks, {});
    EXPECT_EQ(r.Mismatches, 0);
    tracks[1].Zone = 9;
    EXPECT_EQ(CheckTrackZones(g.Bodies, g.Zones, index, tracks, {}).Mismatches, 1);
}

// Points recorded in a slab 0.01 thick, 1 to 10 away from it: within a tolerance reaching the
// slab every one of them is accepted, and a larger tolerance never finds more mismatches.
TEST(TrackZones, ALargerToleranceNeverFindsMoreMismatches) {
    for (int k : {0, -3, 4}) {
        const double s = std::pow(10.0, k);
        SCOPED_TRACE("scale 1e" + std::to_string(k));
        TGeometry g;
        g.Bodies = {MakeBody("RPP", 1, {-100 * s, 100 * s, -100 * s, 100 * s, -100 * s, 100 * s}),
                    MakeBody("RPP", 2, {10 * s, 10.01 * s, -100 * s, 100 * s, -100 * s, 100 * s})};
        AddZone(g, "WORLD", 1, {{1, -2}});
        AddZone(g, "SLAB", 2, {{2}});
        Prepare(g);
        TZoneIndex index;
        BuildZoneIndex(g.Bodies, g.Zones, index);
        TTracks tracks;
        for (int i = 0; i < 10; ++i) {
            TrackPoint p{1, 5, (i + 0.3) * s, (0.7 * i - 3) * s, 0.1 * i * s, 1.0, 2, 1.0, 0, 0, -1};
            tracks.push_back(p);
        }
        int64_t last = -1;
        for (double t : {0.5, 1.0, 3.0, 5.0, 10.0, 20.0, 40.0, 100.0, 1e3, 1e6}) {
            TTrackZoneOptions o;
            o.Tolerance = t * s;
            const int64_t count = CheckTrackZones(g.Bodies, g.Zones, index, tracks, o).Mismatches;
            if (last >= 0) {
                EXPECT_LE(count, last) << "tolerance " << t;
            }
            // the slab is 0.7 to 9.7 away along x
            if (t >= 10) {
                EXPECT_EQ(count, 0) << "tolerance " << t;
            }
            if (t < 0.7) {
                EXPECT_EQ(count, 10) << "tolerance " << t;
            }
            last = count;
        }
    }
}
