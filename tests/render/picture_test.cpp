// Pixel tests of what the zone pictures show: depth precision of the stencil passes, the base
// term of a group, terms naming missing bodies, half-space stand-ins, a scene of no extent.
#include "SceneFixture.h"
#include "input/Reader.h"

#include <cstdio>
#include <fstream>

using namespace scenetest;

namespace {

struct TShape {
    const char* Name;
    std::vector<TGeoData> Bodies;
};

// Intersections whose seams and caps the depth test has to resolve.
std::vector<TShape> IntersectedShapes() {
    return {
        {"lens", {Body("SPH", 1, {-3, 0, 0, 6}), Body("SPH", 2, {3, 0, 0, 6})}},
        {"capsule", {Body("SPH", 1, {0, 0, 0, 6}), Body("RCC", 2, {0, 0, -9, 0, 0, 18, 4})}},
        {"slab cube",
         {Body("RPP", 1, {-4, 4, -60, 60, -60, 60}), Body("RPP", 2, {-60, 60, -4, 4, -60, 60}),
          Body("RPP", 3, {-60, 60, -60, 60, -4, 4})}},
    };
}

} // namespace

TEST_F(Scene, IntersectionsSmallInALargeSceneHaveNoHoles) {
    GL->DrawMode = 1;
    for (const TShape& shape : IntersectedShapes()) {
        SCOPED_TRACE(shape.Name);
        Geo = TGeometry{};
        for (const TGeoData& b : shape.Bodies) AddBody(b, 0x00FF00);
        AddBody(Body("RPP", 9, {600, 601, 0, 1, 0, 1}), 0x00FF00); // makes the scene large
        if (shape.Bodies.size() == 2)
            AddZone({{1, 2}}, 0x00FFFF);
        else
            AddZone({{1, 2, 3}}, 0x00FFFF);
        Build(601);
        GL->SetView(0);
        GL->RotateX(0.7);
        GL->RotateY(0.5);
        Paint();
        Dump(Frame, std::string("holes_") + shape.Name);
        EXPECT_GT(Count(Lit), 1500);
        EXPECT_EQ(IsolatedDark(), 0);
    }
}

TEST_F(Scene, GroupDrawsTheSameWhicheverSignComesFirst) {
    GL->DrawMode = 1;
    AddBody(Body("RPP", 1, {-6, 6, -6, 6, -6, 6}), 0xFF0000);
    AddBody(Body("SPH", 2, {3, 3, 3, 5}), 0xFF0000);
    AddBody(Body("RCC", 3, {0, 0, -9, 0, 0, 18, 2}), 0xFF0000);
    Build();
    GL->RotateX(0.6);
    GL->RotateY(-0.4);
    AddZone({{1, -2, -3}}, 0x0000FF);
    Paint();
    std::vector<uint8_t> plusFirst = Frame;
    EXPECT_GT(Count(Lit), 3000);
    Geo.Zones.clear();
    Geo.ZoneLooks.clear();
    AddZone({{-2, 1, -3}}, 0x0000FF);
    Paint();
    EXPECT_EQ(Frame, plusFirst);
    Geo.Zones.clear();
    Geo.ZoneLooks.clear();
    AddZone({{-2, -3, 1}}, 0x0000FF);
    Paint();
    EXPECT_EQ(Frame, plusFirst);
}

TEST_F(Scene, TermsNamingMissingBodies) {
    GL->DrawMode = 1;
    AddBody(Body("SPH", 1, {0, 0, 0, 6}), 0xFF0000);
    Build();
    AddZone({{1}}, 0x0000FF);
    Paint();
    std::vector<uint8_t> alone = Frame;
    ASSERT_GT(Count(Lit), 3000);
    // inside a body that does not exist there is nothing
    Geo.Zones.clear();
    Geo.ZoneLooks.clear();
    AddZone({{1, 77}}, 0x0000FF);
    Paint();
    EXPECT_EQ(Count(Lit), 0);
    // outside it is everything: the term changes nothing
    Geo.Zones.clear();
    Geo.ZoneLooks.clear();
    AddZone({{1, -77}}, 0x0000FF);
    Paint();
    EXPECT_EQ(Frame, alone);
    // another group of the same zone still draws
    Geo.Zones.clear();
    Geo.ZoneLooks.clear();
    AddZone({{77, 1}, {1}}, 0x0000FF);
    Paint();
    EXPECT_EQ(Frame, alone);
}

TEST_F(Scene, SixHalfSpacesDrawTheWholeCube) {
    GL->DrawMode = 1;
    const double d = -5; // x >= -5, -x >= -5, ...
    for (int a = 0; a < 3; ++a)
        for (double s : {1.0, -1.0}) {
            TGeoData h = Body("HAF", static_cast<int>(Geo.Bodies.size()) + 1, {0, 0, 0, d});
            h.Params[static_cast<size_t>(a)] = s;
            AddBody(h, 0x00FF00);
        }
    AddBody(Body("RPP", 7, {-5, 5, -5, 5, -5, 5}), 0x00FF00);
    Build(5); // the planes' distances make the scene size
    GL->RotateX(0.5);
    GL->RotateY(0.6);
    AddZone({{1, 2, 3, 4, 5, 6}}, 0x00FF00);
    Paint();
    Dump(Frame, "haf_cube");
    std::vector<uint8_t> planes = Frame;
    EXPECT_EQ(IsolatedDark(), 0);
    Geo.Zones.clear();
    Geo.ZoneLooks.clear();
    AddZone({{7}}, 0x00FF00);
    Paint();
    std::vector<uint8_t> box = Frame;
    // the same silhouette as the box, give or take its edges
    int differ = 0, lit = 0;
    for (size_t k = 0; k < box.size(); k += 3) {
        bool a = planes[k] + planes[k + 1] + planes[k + 2] > 0;
        bool b = box[k] + box[k + 1] + box[k + 2] > 0;
        differ += a != b;
        lit += b;
    }
    EXPECT_GT(lit, 5000);
    EXPECT_LT(differ, 200);
}

// A file of a lone half-space through the origin has no extent; it is still framed and drawn.
TEST_F(Scene, SceneOfNoExtentIsFramed) {
    GL->DrawMode = 1;
    std::string path = ::testing::TempDir() + "trazon_haf_only.dat";
    std::ofstream(path) << "CSTA-FREE\nHAF 1 0 0 1 0\nEND\nZ1 1\nEND\nCEND\nMSTA\n1\n1\nMEND\n";
    TDataReader reader(Geo, Tracks, Settings, GL->Size);
    reader.Hooks.RebuildBodies = [&] {
        RebuildSceneMeshes(Geo, Settings.CutBox, Settings.SceneSize, Settings.ReviseRate,
                           Settings.ReviseValue);
    };
    ASSERT_TRUE(reader.Load(path));
    std::remove(path.c_str());
    EXPECT_GT(GL->Size, 0);
    EXPECT_GT(Settings.AxisLength, 0);
    Settings.ViewInfoType = 1;
    GL->RotateX(-0.5);
    Paint();
    EXPECT_GT(Count(Lit), 1000);
}

TEST_F(Scene, LineDisplayOutlinesTheLens) {
    GL->DrawMode = 0;
    AddBody(Body("SPH", 1, {-3, 0, 0, 6}), 0xFF0000);
    AddBody(Body("SPH", 2, {3, 0, 0, 6}), 0xFF0000);
    Build();
    PrepareBodies(Geo.Bodies);
    AddZone({{1, 2}}, 0xFFFFFF);
    Paint(); // seen along z: the lens spans x from -3 to 3
    Dump(Frame, "lens_lines");
    int inside = 0, outside = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (At(x, y).Dark()) continue;
            (x >= Column(-3.1) && x <= Column(3.1) ? inside : outside)++;
        }
    EXPECT_GT(inside, 300);
    EXPECT_EQ(outside, 0);
    // the seam, a circle of radius 5.2 in the plane x = 0, is drawn
    EXPECT_FALSE(At(W / 2, Row(5.15)).Dark() && At(W / 2, Row(5.25)).Dark());
}

TEST_F(Scene, LineDisplayOfAHoleShowsOnlyItsWalls) {
    GL->DrawMode = 0;
    AddBody(Body("RPP", 1, {-6, 6, -6, 6, -2, 2}), 0xFF0000);
    AddBody(Body("RCC", 2, {0, 0, -9, 0, 0, 18, 3}), 0xFF0000);
    Build();
    PrepareBodies(Geo.Bodies);
    AddZone({{1, -2}}, 0xFFFFFF);
    GL->SetView(1); // x right, z up
    GL->RotateX(0.3);
    Paint();
    Dump(Frame, "hole_lines");
    auto litBetween = [&](int x0, int x1, int y0, int y1) {
        int n = 0;
        for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y)
            for (int x = x0; x <= x1; ++x) n += !At(x, y).Dark();
        return n;
    };
    // nothing of the cylinder above or below the plate
    EXPECT_EQ(litBetween(Column(-2.5), Column(2.5), Row(4), Row(8)), 0);
    EXPECT_EQ(litBetween(Column(-2.5), Column(2.5), Row(-8), Row(-4)), 0);
    // its wall inside the plate is there, and so is the plate
    EXPECT_GT(litBetween(Column(-2.5), Column(2.5), Row(1.2), Row(-1.2)), 20);
    EXPECT_GT(litBetween(Column(4), Column(7), Row(3), Row(-3)), 20);
}

// With the axis defaults a load derives from the scene size, the labels below the horizontal
// axis of the default view never run into each other, and nothing reaches the frame's edge.
TEST(AxisPicture, LabelsApartAndNamesInside) {
    const int w = 400, h = 400;
    TOffscreenControl surface{w, h};
    TGLUnit gl{&surface, 10.0};
    if (!gl.Ready()) GTEST_SKIP() << "no X display with GLX";
    for (double size : {1.0, 115.0, 1732.0, 1e5}) {
        SCOPED_TRACE(size);
        TGeometry geo;
        TTracks tracks;
        TDisplaySettings ds;
        std::string path = ::testing::TempDir() + "trazon_axes.dat";
        char card[128];
        std::snprintf(card, sizeof card, "SPH 1 0 0 0 %.17g\n", size / std::sqrt(3.0));
        std::ofstream(path) << "CSTA-FREE\n" << card << "END\nZ1 1\nEND\nCEND\nMSTA\n1\n1\nMEND\n";
        TDataReader reader(geo, tracks, ds, gl.Size);
        ASSERT_TRUE(reader.Load(path));
        std::remove(path.c_str());
        ASSERT_NEAR(gl.Size, size, 1e-9 * size);
        geo.BodyLooks[0].Visible = false; // the axes alone
        gl.SetView(5);
        TSceneOptions options;
        options.AxesOn = true;
        options.AxisLayout = TAxisLayout::ZY;
        PaintScene(gl, geo, tracks, ds, TCheckErrorSegments{}, options);
        std::vector<uint8_t> rgb = gl.FrameRGB();
        auto lit = [&](int x, int y) {
            size_t k = (static_cast<size_t>(y) * w + static_cast<size_t>(x)) * 3;
            return rgb[k] + rgb[k + 1] + rgb[k + 2] > 0;
        };
        for (int k = 0; k < w; ++k)
            for (int edge : {0, 1, h - 2, h - 1}) {
                ASSERT_FALSE(lit(k, edge)) << k << "," << edge;
                ASSERT_FALSE(lit(edge, k)) << edge << "," << k;
            }
        // the labels of the z axis (screen right) hang below it; their middle band
        const double pixels = h / (2 * 1.5 * size);
        const double charPx = ds.StrSize * pixels;
        int top = static_cast<int>(h / 2 + (ds.DivSize + 0.3 * ds.StrSize) * pixels) + 1;
        int bottom = static_cast<int>(h / 2 + (ds.DivSize + 0.7 * ds.StrSize) * pixels);
        ASSERT_LE(top, bottom);
        std::vector<bool> column(w, false);
        for (int x = 0; x < w; ++x)
            for (int y = top; y <= bottom; ++y)
                if (lit(x, y)) column[static_cast<size_t>(x)] = true;
        // runs of lit columns, glyphs of one label joined across gaps of less than half a
        // character; no run may be wider than the longest label
        int runs = 0, start = -1, gap = 0, widest = 0;
        for (int x = 0; x <= w; ++x) {
            bool on = x < w && column[static_cast<size_t>(x)];
            if (on) {
                if (start < 0) start = x, ++runs;
                gap = 0;
                widest = std::max(widest, x - start + 1);
            } else if (start >= 0 && ++gap >= 0.45 * charPx) {
                start = -1;
            }
        }
        EXPECT_GE(runs, 4);
        const double major = ds.DivSpace * ds.StrSpace;
        size_t longest = AxisLabelText(-std::floor(ds.AxisLength / major) * major).size();
        EXPECT_LE(widest, static_cast<int>(static_cast<double>(longest) * charPx) + 2);
    }
}
