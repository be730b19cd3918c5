// Pixel tests of the frame: stencil CSG, cut box, HAF in Body mode, tracks, check errors, text.
#include "SceneFixture.h"
#include "geometry/Lattice.h"
#include "render/GLDraw.h"

#include <GL/gl.h>

using namespace scenetest;

TEST_F(Scene, EmptyGeometryDrawsOnlyTheBackground) {
    Settings.BackColor = 0x102030;
    TrackPoint p;
    p.Kind = 5;
    Tracks = {p, p};
    Tracks[1].X = 5;
    Errors.Count = 1;
    Errors.Entry[0].End = {5, 5, 0};
    Options.AxesOn = true;
    Paint();
    for (int y = 0; y < H; y += 7)
        for (int x = 0; x < W; x += 7) {
            TRGB c = At(x, y);
            ASSERT_TRUE(c.R == 0x30 && c.G == 0x20 && c.B == 0x10) << x << "," << y;
        }
}

TEST_F(Scene, SingleTermProductShowsOnlyItsVisibleSurface) {
    // A box has quadrilaterals only: every polygon carries its own normal, so the lighting
    // does not depend on what was drawn before.
    GL->DrawMode = 1;
    AddBody(Body("RPP", 1, {-6, 6, -5, 5, -4, 4}), 0x0000FF);
    AddBody(Body("RPP", 2, {100, 101, 100, 101, 100, 101}), 0x00FF00); // touches nothing
    Build();
    GL->RotateX(0.5);
    GL->RotateY(0.4);
    TSceneGeometry s{*GL, Geo, Settings};
    auto frame = [&](const TTermList& terms) {
        GL->SetSceneLight();
        GL->BeginFrame(0);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        TRGBA k = TGLUnit::ColorToRGBA(0x0000FF, GeometryAlpha);
        GL->SetMaterial(k);
        GL->SetColor(k);
        if (terms.empty())
            DrawBody(s, 0, +1);
        else
            DrawCSG(s, terms);
        glDisable(GL_BLEND);
        GL->Present();
        return GL->FrameRGB();
    };
    // the light is placed with the previous frame's camera: one frame first to settle it
    frame({});
    std::vector<uint8_t> plain = frame({});
    std::vector<uint8_t> one = frame({{0, +1}});
    Dump(plain, "single_plain");
    Dump(one, "single_csg");
    // The stencil passes of a one-term product keep exactly the body's own picture.
    EXPECT_EQ(one, plain);
    // A subtracted body that misses the base body removes nothing and adds no wall.
    EXPECT_EQ(frame({{0, +1}, {1, -1}}), one);
    Frame = one;
    EXPECT_TRUE(Lit(At(W / 2, H / 2)));
    EXPECT_TRUE(At(Column(12), H / 2).Dark());
}

TEST_F(Scene, CutBoxRemovesItsPartAndShowsItsWalls) {
    GL->DrawMode = 1;
    AddBody(Body("RPP", 1, {-10, 10, -10, 10, -10, 10}), 0x0000FF);
    Settings.CutBox = Body("RPP", 0, {0, 20, -20, 20, -20, 20}); // removes x >= 0
    Build();
    GL->RotateY(-Pi / 3); // look at the cut face from the +x side
    // eye x = 0.5 x - 0.866 z: beyond 8.67 only the removed half of the box projects
    int removedColumn = Column(11.5), centre = W / 2, mid = H / 2;
    Paint();
    EXPECT_TRUE(Lit(At(removedColumn, mid)));
    EXPECT_TRUE(Lit(At(centre, mid)));
    Settings.CutOn = true;
    Paint();
    EXPECT_TRUE(At(removedColumn, mid).Dark());
    // the wall x = 0 inside the box shows in the body's colour
    TRGB wall = At(centre, mid);
    EXPECT_GT(wall.R, 0);
    EXPECT_GT(wall.R, 2 * (wall.G + wall.B) + 1);
    // and the kept half is still drawn
    EXPECT_TRUE(Lit(At(Column(-11.5), mid)));
}

TEST_F(Scene, BodyModeHafShowsItsPlaneOnly) {
    GL->DrawMode = 1;
    AddBody(Body("HAF", 1, {0, 0, 1, 0}), 0x00FF00);
    Build(5); // the half-space box: 10 x 10 wide, 10 deep
    TZoneData z;
    z.Name = "Z1";
    z.Material = 1;
    z.BodyIndex = {{0}};
    z.Sign = {{1}};
    z.GroupOp = {'O'};
    Geo.Zones.push_back(z);
    Geo.ZoneLooks.push_back({0x00FF00, true});
    GL->RotateX(-Pi / 3); // eye y = 0.5 y + 0.866 z
    int boxOnly = Row(9), plane = Row(0);
    Paint();
    EXPECT_TRUE(Lit(At(W / 2, plane)));
    EXPECT_TRUE(At(W / 2, boxOnly).Dark());
    Settings.ViewInfoType = 1; // in a zone the whole box takes part
    Paint();
    EXPECT_TRUE(Lit(At(W / 2, boxOnly)));
}

TEST_F(Scene, DraggingFrameDrawsEachBodyOnceWithHalfSpacesAsPlanes) {
    GL->DrawMode = 1;
    AddBody(Body("HAF", 1, {0, 0, 1, 0}), 0x00FF00);
    AddZone({{1}}, 0x00FF00);
    Build(5);
    GL->RotateX(-Pi / 3);
    int boxOnly = Row(9), plane = Row(0);
    Options.Quick = true;
    Paint();
    TRGB once = At(W / 2, plane);
    EXPECT_TRUE(Lit(once));
    EXPECT_TRUE(At(W / 2, boxOnly).Dark()); // the stand-in box would cover the frame
    AddZone({{1}}, 0x00FF00);               // the same body again: not drawn over itself
    Build(5);
    Paint();
    TRGB twice = At(W / 2, plane);
    EXPECT_EQ(twice.R, once.R);
    EXPECT_EQ(twice.G, once.G);
    EXPECT_EQ(twice.B, once.B);
}

// A lattice in a dragging frame is drawn by a coarse copy of at most 64 cells along each axis,
// each block taking its middle cell's material: 120 cells in x where cells 40 to 79 alternate
// green and red show green stripes in the full frame and none in the dragging frame (every
// block's middle cell is red), which covers the same bar.
TEST_F(Scene, LatticeDraggingFrameDrawsACoarseCopy) {
    GL->DrawMode = 1;
    std::vector<double> edges;
    for (int i = 0; i <= 120; ++i) edges.push_back(-9 + 0.15 * i);
    std::vector<int32_t> m(120, 1);
    for (int i = 40; i < 80; i += 2) m[static_cast<size_t>(i)] = 2;
    auto lat = std::make_shared<TLattice>();
    ASSERT_TRUE(lat->SetEdges(edges, {-1, 1}, {-1, 1}));
    lat->SetMaterials(m);
    Geo.Zones.Lattice = lat;
    Geo.Materials = {{1, 0x0000FF, true}, {2, 0x00FF00, true}};
    Settings.ViewInfoType = 2;
    Build(10);
    GL->RotateX(0.4);
    GL->RotateY(0.3);
    auto green = [](const TRGB& c) { return c.G > c.R + 20; };
    Paint();
    Dump(Frame, "lattice_full");
    int fullGreen = 0, fullLit = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) fullGreen += green(At(x, y)), fullLit += Lit(At(x, y));
    Options.Quick = true;
    Paint();
    Dump(Frame, "lattice_dragging");
    int quickGreen = 0, quickLit = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) quickGreen += green(At(x, y)), quickLit += Lit(At(x, y));
    EXPECT_GT(fullGreen, 50);
    EXPECT_EQ(quickGreen, 0);
    EXPECT_GT(quickLit, fullLit * 9 / 10);
    EXPECT_LT(quickLit, fullLit * 11 / 10);
}

TEST_F(Scene, ZoneIsIntersectionMinusSubtractedBodies) {
    GL->DrawMode = 1;
    AddBody(Body("RPP", 1, {-10, 10, -10, 10, -1, 1}), 0x0000FF);
    AddBody(Body("RCC", 2, {0, 0, -5, 0, 0, 10, 4}), 0x0000FF);
    AddBody(Body("RPP", 3, {-10, 0, -10, 10, -5, 5}), 0x0000FF);
    TZoneData z; // (1 - 2) OR (3 alone, never drawn: blank letter)
    z.Name = "Z1";
    z.Material = 1;
    z.BodyIndex = {{0, 1}, {2}};
    z.Sign = {{1, -1}, {1}};
    z.GroupOp = {'O', ' '};
    Geo.Zones.push_back(z);
    Geo.ZoneLooks.push_back({0xFF0000, true});
    Build(); // after the zones: they decide which bodies get an enlarged copy
    Settings.ViewInfoType = 1;
    Paint();
    // the hole of the cylinder is empty, the plate around it is drawn
    EXPECT_TRUE(At(W / 2, H / 2).Dark());
    EXPECT_TRUE(Lit(At(Column(7), H / 2)));
    EXPECT_TRUE(Lit(At(Column(-7), H / 2)));
    TRGB c = At(Column(7), H / 2);
    EXPECT_GT(c.B, c.R + c.G);
    // the blank group (a box reaching y = +-10 at x < 0, z +-5) would also fill the hole
    // region's left half: it is skipped
    EXPECT_TRUE(At(Column(-2), H / 2).Dark());
}

TEST_F(Scene, TrackColoursWidthsAndPatterns) {
    TrackPoint a;
    a.Kind = 5;
    a.X = -8, a.Y = 3;
    TrackPoint b = a;
    b.X = 8;
    b.TrackEnd = -1;
    TrackPoint c;
    c.Kind = 4;
    c.X = -8, c.Y = -3, c.Weight = 2;
    TrackPoint d = c;
    d.X = 8;
    d.TrackEnd = -1;
    Tracks = {a, b, c, d};
    Settings.StyleOf(5).LineWidth = 3;
    Settings.StyleOf(4).LineWidth = 2;
    Settings.StyleOf(6).LineKind = 1;
    GL->BeginFrame(0);
    DrawTracks(*GL, Tracks, Settings);
    GL->Present();
    Frame = GL->FrameRGB();
    auto rows = [&](int x, TRGB want) {
        int n = 0;
        for (int y = 0; y < H; ++y) {
            TRGB p = At(x, y);
            n += p.R == want.R && p.G == want.G && p.B == want.B;
        }
        return n;
    };
    EXPECT_EQ(rows(W / 2, {255, 0, 0}), 3);   // electron, width 3 x weight 1
    EXPECT_EQ(rows(W / 2, {255, 255, 0}), 4); // photon, width 2 x weight 2
    // the track ends are single pixels in the kind's colour
    EXPECT_EQ(rows(Column(8.0) + 1, {255, 0, 0}) <= 3, true);

    // a dotted positron segment: single pixels alternating, starting lit
    TrackPoint e;
    e.Kind = 6;
    e.X = -5.05, e.Y = 0.05;
    TrackPoint f = e;
    f.X = 5.05;
    Tracks = {e, f};
    GL->BeginFrame(0);
    DrawTracks(*GL, Tracks, Settings);
    GL->Present();
    Frame = GL->FrameRGB();
    int y = Row(0.05);
    int first = -1, lit = 0, dark = 0;
    for (int x = 0; x < W; ++x) {
        if (At(x, y).Dark()) continue;
        if (first < 0) first = x;
    }
    ASSERT_GE(first, 0);
    for (int x = first; x < first + 20; ++x) {
        bool on = At(x, y).B == 255;
        EXPECT_EQ(on, (x - first) % 2 == 0) << x;
        (on ? lit : dark)++;
    }
    EXPECT_EQ(lit, 10);
    EXPECT_EQ(dark, 10);
}

// Coloured by energy: each segment takes the colour of its start point's energy on the
// logarithmic map between the range's bounds; the kind keeps its pattern and width.
TEST_F(Scene, TracksColouredByTheirStartEnergy) {
    EXPECT_EQ(EnergyColor(0.01, 0.01, 100), 0xFF0000u);  // blue, lowest
    EXPECT_EQ(EnergyColor(1, 0.01, 100), 0x00FF00u);     // green, the middle decade
    EXPECT_EQ(EnergyColor(100, 0.01, 100), 0x0000FFu);   // red, highest
    EXPECT_EQ(EnergyColor(1e6, 0.01, 100), 0x0000FFu);   // clamped
    EXPECT_EQ(EnergyColor(0, 0.01, 100), 0xFF0000u);     // no energy: the lowest
    EXPECT_EQ(EnergyColor(0.1, 0.01, 100), 0xFFFF00u);   // cyan at a quarter
    EXPECT_EQ(EnergyColor(5, 5, 5), 0x00FF00u);          // no range: the middle

    // one electron track of three segments at 0.01, 1 and 100, ending at a point of 100
    TTracks t;
    const double energies[4] = {0.01, 1, 100, 100};
    for (int i = 0; i < 4; ++i) {
        TrackPoint p;
        p.Kind = 5;
        p.X = -9 + 6 * i;
        p.Energy = energies[i];
        p.TrackEnd = i == 3 ? -1 : 0;
        t.push_back(p);
    }
    Tracks = t;
    TrackEnergyRange(Tracks, Settings.EnergyLow, Settings.EnergyHigh);
    EXPECT_EQ(Settings.EnergyLow, 0.01);
    EXPECT_EQ(Settings.EnergyHigh, 100);
    Settings.ColorByEnergy = true;
    Settings.StyleOf(5).LineWidth = 3;
    GL->BeginFrame(0);
    DrawTracks(*GL, Tracks, Settings);
    GL->Present();
    Frame = GL->FrameRGB();
    Dump(Frame, "energy_tracks");
    const int y = Row(0);
    auto column = [&](double x, TRGB want) {
        int n = 0;
        for (int r = y - 3; r <= y + 3; ++r) {
            TRGB p = At(Column(x), r);
            n += p.R == want.R && p.G == want.G && p.B == want.B;
        }
        return n;
    };
    EXPECT_EQ(column(-6, {0, 0, 255}), 3); // 0.01: blue, 3 pixels wide
    EXPECT_EQ(column(0, {0, 255, 0}), 3);  // 1: green
    EXPECT_EQ(column(6, {255, 0, 0}), 3);  // 100: red
    // by kind again: the electron's red everywhere
    Settings.ColorByEnergy = false;
    GL->BeginFrame(0);
    DrawTracks(*GL, Tracks, Settings);
    GL->Present();
    Frame = GL->FrameRGB();
    EXPECT_EQ(column(-6, {255, 0, 0}), 3);
}

TEST_F(Scene, CheckErrorsAreWhiteLinesAndZeroDrawsNothing) {
    AddBody(Body("SPH", 1, {0, 0, 0, 1}), 0x0000FF);
    Geo.BodyLooks[0].Visible = false;
    Build();
    auto white = [](const TRGB& c) { return c.R == 255 && c.G == 255 && c.B == 255; };
    Paint();
    EXPECT_EQ(Count(white), 0);
    Errors.Count = 2;
    Errors.Entry[0] = {{}, {-8, 5, 0}, {8, 5, 0}};
    Errors.Entry[1] = {{}, {-8, -5, 0}, {8, -5, 0}};
    Paint();
    EXPECT_GT(Count(white), 2 * 100);
    EXPECT_TRUE(white(At(W / 2, Row(5))));
}

TEST_F(Scene, MarksAreOpaqueLinesOverTheFrame) { // the slice plane's outline, a marked point
    AddBody(Body("SPH", 1, {0, 0, 0, 8}), 0x00FF00);
    Build();
    auto magenta = [](const TRGB& c) { return c.R == 255 && c.G == 0 && c.B == 255; };
    Paint();
    EXPECT_EQ(Count(magenta), 0);
    Options.Marks = {{{-6, 3, 0}, {6, 3, 0}, 0xFF00FF}, {{0, -6, 0}, {0, -3, 0}, 0xFF00FF}};
    Paint();
    // over the translucent sphere, unblended, 2 pixels wide
    EXPECT_TRUE(magenta(At(W / 2 + 20, Row(3))));
    EXPECT_TRUE(magenta(At(Column(0), Row(-4.5))));
    EXPECT_GE(Count(magenta), 2 * (80 + 20) - 8); // 12 and 3 units of 30 across 200 pixels
}

TEST_F(Scene, TextAnchorFiveCentresTheBox) {
    GL->BeginFrame(0);
    GL->SetColor(TGLUnit::ColorToRGBA(0xFFFFFF, 1.0));
    glDisable(GL_LIGHTING);
    DrawText("--", 5, 4, 0, 0, 0, 0, 0, 0); // the box spans -4..4 around the origin
    GL->Present();
    Frame = GL->FrameRGB();
    int minX = W, maxX = -1;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (Lit(At(x, y))) minX = std::min(minX, x), maxX = std::max(maxX, x);
    ASSERT_GE(maxX, 0);
    // "-" runs from 0.2188 to 0.7813 of its cell: -4 + 0.875 .. 4 - 0.875
    EXPECT_NEAR(minX, Column(-4 + 0.875), 1.5);
    EXPECT_NEAR(maxX, Column(4 - 0.875), 1.5);
}

TEST_F(Scene, AxesSurviveBadSpacings) {
    AddBody(Body("SPH", 1, {0, 0, 0, 1}), 0x0000FF);
    Build();
    Settings.AxisLength = 12;
    Settings.DivSize = 1;
    Settings.DivSpace = 0; // would never end the mark loop
    Settings.StrSpace = 0; // would divide by zero
    Options.AxesOn = true;
    Options.AxisLayout = TAxisLayout::XY;
    Paint();
    EXPECT_TRUE(Lit(At(Column(10), H / 2)));
    Settings.DivSpace = -1;
    Paint();
    Settings.DivSpace = 1.04;
    Paint();
    Dump(Frame, "axes");
    // minor marks at every unit, half as long as the major ones
    EXPECT_TRUE(Lit(At(Column(3 * 1.04), Row(0.3))));
    EXPECT_TRUE(At(Column(3 * 1.04), Row(0.7)).Dark());
}

TEST_F(Scene, BatchedMeshDrawingMatchesPolygonByPolygon) {
    AddBody(Body("SPH", 1, {0, 0, 0, 8}), 0x0000FF);
    AddBody(Body("TOR", 2, {0, 0, 0, 6, 2, 30, 300, 1}), 0x00FF00);
    Build();
    GL->RotateX(0.4);
    GL->RotateY(0.7);
    for (int mode : {0, 1}) {
        GL->DrawMode = mode;
        auto frame = [&](bool batched) {
            GL->SetSceneLight();
            GL->BeginFrame(0);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            for (const TGeoData& b : Geo.Bodies) {
                TRGBA k = TGLUnit::ColorToRGBA(0x00FFFF, GeometryAlpha);
                GL->SetMaterial(k);
                GL->SetColor(k);
                if (batched)
                    DrawMeshBatched(*GL, b, -1);
                else
                    GL->DrawMesh(b, -1);
                if (batched)
                    DrawMeshBatched(*GL, b, 3);
                else
                    GL->DrawMesh(b, 3);
            }
            glDisable(GL_BLEND);
            GL->Present();
            return GL->FrameRGB();
        };
        frame(false); // settles the light, which follows the previous frame's camera
        std::vector<uint8_t> reference = frame(false);
        EXPECT_EQ(frame(true), reference) << "DrawMode " << mode;
        Frame = reference;
        EXPECT_GT(Count(Lit), 1000);
    }
}
