// Zone and Material display from the zone surfaces: a picture along each axis covers exactly
// what the exact slices through the same window cover, small half-space zones keep their size
// in perspective, and every zone and material shows its own colour whatever the numbering.
#include "SceneFixture.h"

#include "geometry/ZoneIndex.h"

#include <algorithm>

namespace {

using namespace scenetest;

class ZoneSurfacePicture : public Scene {
  protected:
    void Build(double sceneSize = 10) {
        GL->DrawMode = 1;
        PrepareBodies(Geo.Bodies);
        Scene::Build(sceneSize);
        ASSERT_TRUE(BuildZoneSurfaces(Geo, ZoneSurfaceOptions(Settings), Surfaces));
        Options.Surfaces = &Surfaces;
    }
    // Non-background pixels of the frame, rows from the top.
    std::vector<char> Covered() const {
        std::vector<char> c(static_cast<size_t>(W * H));
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) c[static_cast<size_t>(y * W + x)] = !At(x, y).Dark();
        return c;
    }
    // What the union of all slices perpendicular to the axis covers: a pixel whose line
    // along the axis meets a visible zone somewhere.
    std::vector<char> SliceUnion(int mode, const double window[4]) const {
        int u = 0, v = 1, w = 2;
        if (mode == 1) u = 0, v = 2, w = 1;
        if (mode == 3) u = 1, v = 2, w = 0;
        TZoneIndex index;
        BuildZoneIndex(Geo.Bodies, Geo.Zones, index);
        std::vector<char> c(static_cast<size_t>(W * H));
        TMatrixA3d pts;
        TMatrixAi codes, hits;
        const double far = 1e7;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                double p[3] = {0, 0, 0};
                p[u] = window[0] + (x + 0.5) * (window[1] - window[0]) / W;
                p[v] = window[3] - (y + 0.5) * (window[3] - window[2]) / H;
                p[w] = -far;
                TVector o{p[0], p[1], p[2]}, d{0, 0, 0};
                (w == 0 ? d.x : w == 1 ? d.y : d.z) = 1;
                pts.clear(), codes.clear();
                for (const TGeoData& b : Geo.Bodies) RayBodyIntersections(o, d, b, pts, codes);
                std::vector<double> t;
                for (const TVector& q : pts) t.push_back(Dot(q - o, d));
                std::sort(t.begin(), t.end());
                bool in = false;
                for (size_t k = 0; k + 1 < t.size() && !in; ++k) {
                    TVector m = o + d * (0.5 * (t[k] + t[k + 1]));
                    FindZone(Geo.Bodies, Geo.Zones, index, hits, m.x, m.y, m.z);
                    for (int32_t z : hits) in = in || Geo.ZoneLooks[static_cast<size_t>(z)].Visible;
                }
                c[static_cast<size_t>(y * W + x)] = in;
            }
        return c;
    }
    // Pixels where picture and slices disagree, leaving out those within 2 pixels of an edge
    // of the slices' picture.
    static int Disagreeing(const std::vector<char>& got, const std::vector<char>& want) {
        int n = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const size_t k = static_cast<size_t>(y * W + x);
                if (got[k] == want[k]) continue;
                bool edge = false;
                for (int dy = -2; dy <= 2 && !edge; ++dy)
                    for (int dx = -2; dx <= 2 && !edge; ++dx) {
                        int xx = std::clamp(x + dx, 0, W - 1), yy = std::clamp(y + dy, 0, H - 1);
                        edge = want[static_cast<size_t>(yy * W + xx)] != want[k];
                    }
                n += !edge;
            }
        return n;
    }
    void ExpectAgreesAlongEveryAxis(const double window[4], const std::string& name) {
        for (int mode : {0, 1, 3}) {
            SCOPED_TRACE(name + " view " + std::to_string(mode));
            SetViewWindow(*GL, mode, window);
            Paint();
            Dump(Frame, name + "_" + std::to_string(mode));
            EXPECT_EQ(Disagreeing(Covered(), SliceUnion(mode, window)), 0);
        }
    }
    TZoneSurfaces Surfaces;
};

constexpr TColor Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000, Grey = 0x808080;

TEST_F(ZoneSurfacePicture, AlongEachAxisAgreesWithTheExactSlices) {
    // coincident boxes, a cut at a cap, a torus term, a box minus itself
    AddBody(Body("RPP", 1, {-8, -4, -2, 2, -2, 2}), Red);
    AddBody(Body("RPP", 2, {-8, -4, -2, 2, -2, 2}), Red);
    AddBody(Body("RCC", 3, {0, 0, -3, 0, 0, 6, 2}), Red);
    AddBody(Body("HAF", 4, {0, 0, 1, 3}), Red);
    AddBody(Body("TOR", 5, {5, 4, 0, 2.5, 0.8, 0, 360, 3}), Red);
    AddBody(Body("RPP", 6, {5, 9, 0, 8, -2, 2}), Red);
    AddBody(Body("SPH", 7, {5, -5, 0, 2}), Red);
    AddZone({{1, 2}}, Green);
    AddZone({{3, -4}}, Blue);
    AddZone({{5, 6}}, Red);
    AddZone({{7, -7}}, Green);
    Build();
    const double window[4] = {-10, 10, -10, 10};
    ExpectAgreesAlongEveryAxis(window, "mixed");
}

TEST_F(ZoneSurfacePicture, ThreeHundredHolesAndHalfSpaceZones) {
    AddBody(Body("RPP", 1, {-9, 9, -9, 9, -1, 1}), Red);
    std::vector<int> slab{1};
    for (int k = 0; k < 300; ++k) {
        AddBody(Body("RCC", k + 2, {-8.5 + 1.0 * (k % 18), -8.5 + 1.0 * (k / 18), -2, 0, 0, 4, 0.3}),
                Red);
        slab.push_back(-(k + 2));
    }
    const int first = static_cast<int>(Geo.Bodies.size()) + 1;
    // a thin bar of half-spaces beside the slab: 9.2 <= x <= 9.8, |y| <= 9.8, |z| <= 0.5
    for (double s : {1.0, -1.0}) {
        AddBody(Body("HAF", first, {s, 0, 0, s > 0 ? 9.2 : -9.8}), Red);
        AddBody(Body("HAF", first, {0, s, 0, -9.8}), Red);
        AddBody(Body("HAF", first, {0, 0, s, -0.5}), Red);
    }
    TZoneData z;
    z.Name = "SLAB";
    z.Material = 1;
    z.BodyIndex.push_back({});
    z.Sign.push_back({});
    for (int t : slab) z.BodyIndex[0].push_back(std::abs(t) - 1), z.Sign[0].push_back(t < 0 ? -1 : 1);
    z.GroupOp.push_back('O');
    Geo.Zones.push_back(z);
    Geo.ZoneLooks.push_back({Green, true});
    AddZone({{first, first + 1, first + 2, first + 3, first + 4, first + 5}}, Blue);
    Build();
    const double window[4] = {-10, 10, -10, 10};
    ExpectAgreesAlongEveryAxis(window, "holes");
    // every one of the 300 holes shows in the view along z
    SetViewWindow(*GL, 0, window);
    Paint();
    int holes = 0;
    for (int k = 0; k < 300; ++k) {
        int x = static_cast<int>((-8.5 + 1.0 * (k % 18) + 10) / 20 * W);
        int y = static_cast<int>((10 - (-8.5 + 1.0 * (k / 18))) / 20 * H);
        holes += At(x, y).Dark();
    }
    EXPECT_EQ(holes, 300);
}

TEST_F(ZoneSurfacePicture, DeepSceneWithAPocketFlushWithAFace) {
    AddBody(Body("SPH", 1, {0, 0, 0, 1e5}), Grey);
    AddBody(Body("RPP", 2, {-5, 5, -5, 5, -5, 5}), Grey);
    AddBody(Body("RPP", 3, {-2, 2, -2, 2, 3, 5}), Grey);
    AddZone({{1, -2}}, Grey);
    AddZone({{2, -3}}, Green);
    AddZone({{3}}, Red);
    Geo.ZoneLooks[0].Visible = false; // the void world
    Build(1e5);
    const double window[4] = {-8, 8, -8, 8};
    ExpectAgreesAlongEveryAxis(window, "deep");
    // no dotted noise on the pocket: its face is one even colour
    SetViewWindow(*GL, 0, window);
    Paint();
    TRGB c = At(W / 2, H / 2);
    int uneven = 0;
    for (int y = H / 2 - 15; y <= H / 2 + 15; ++y)
        for (int x = W / 2 - 15; x <= W / 2 + 15; ++x) {
            TRGB p = At(x, y);
            uneven += std::abs(p.R - c.R) + std::abs(p.G - c.G) + std::abs(p.B - c.B) > 6;
        }
    EXPECT_EQ(uneven, 0);
}

// Small zones of half-spaces in perspective: no flooding of the frame, no vanishing.
TEST_F(ZoneSurfacePicture, SmallHalfSpaceZonesInPerspective) {
    const int first = 1;
    for (double s : {1.0, -1.0}) {
        AddBody(Body("HAF", first, {s, 0, 0, s > 0 ? -1.0 : -1.0}), Red);
        AddBody(Body("HAF", first, {0, s, 0, s > 0 ? -1.0 : -1.0}), Red);
        AddBody(Body("HAF", first, {0, 0, s, s > 0 ? -1.0 : -1.0}), Red);
    }
    AddBody(Body("SPH", 7, {3, 3, 3, 0.5}), Red);
    AddBody(Body("HAF", 8, {0, 0, 1, 2.5}), Red);
    AddZone({{1, 2, 3, 4, 5, 6}}, Green); // a cube of 2 made of six half-spaces
    AddZone({{7, 8}}, Blue);              // a half-space with a small body
    Build(5);
    for (int projection : {0, 1}) {
        SCOPED_TRACE(projection ? "perspective" : "parallel");
        GL->Projection = projection;
        GL->SetView(0);
        GL->RotateX(0.5);
        GL->RotateY(0.4);
        GL->Size = 4;
        Paint();
        Dump(Frame, "halfspaces_" + std::to_string(projection));
        int lit = Count(Lit);
        EXPECT_GT(lit, W * H / 50);     // neither vanished
        EXPECT_LT(lit, W * H * 6 / 10); // nor flooding the frame
        EXPECT_TRUE(At(0, 0).Dark() && At(W - 1, 0).Dark() && At(0, H - 1).Dark() &&
                    At(W - 1, H - 1).Dark());
    }
}

// Two spheres of materials 2 and 3 in a box of material 1 or 9 that subtracts them: the same
// picture either way, with each sphere in its own colour.
TEST_F(ZoneSurfacePicture, ColoursDoNotDependOnNumbering) {
    std::vector<uint8_t> frames[2];
    for (int pass = 0; pass < 2; ++pass) {
        Geo = TGeometry{};
        AddBody(Body("RPP", 1, {-6, 6, -4, 4, -4, 4}), Grey);
        AddBody(Body("SPH", 2, {-3, 0, 0, 2}), Grey);
        AddBody(Body("SPH", 3, {3, 0, 0, 2}), Grey);
        AddZone({{1, -2, -3}}, Grey);
        AddZone({{2}}, Red);
        AddZone({{3}}, Green);
        const int box = pass == 0 ? 1 : 9;
        Geo.Zones[0].Material = box;
        Geo.Zones[1].Material = 2;
        Geo.Zones[2].Material = 3;
        Geo.Materials = {{box, Grey, true}, {2, Red, true}, {3, Green, true}};
        if (pass == 1) std::swap(Geo.Materials[0], Geo.Materials[2]);
        Settings.ViewInfoType = 2;
        Build();
        GL->SetView(0);
        GL->RotateX(0.3);
        Paint();
        Dump(Frame, "colours_" + std::to_string(pass));
        frames[pass] = Frame;
        const TRGB left = At(Column(-3), H / 2), right = At(Column(3), H / 2);
        EXPECT_GT(left.R, left.G + 20);   // the red sphere shows red
        EXPECT_GT(right.G, right.R + 20); // the green one green
    }
    int differ = 0;
    for (size_t k = 0; k < frames[0].size(); ++k)
        differ += std::abs(int(frames[0][k]) - int(frames[1][k])) > 2;
    EXPECT_EQ(differ, 0);
}

// A zone that is a body minus itself holds no point: Line display draws no outline of it.
TEST_F(ZoneSurfacePicture, ABodyMinusItselfHasNoOutline) {
    AddBody(Body("SPH", 1, {-4, 0, 0, 3}), Green);
    AddBody(Body("SPH", 2, {4, 0, 0, 3}), Red);
    AddZone({{1, -1}}, Green);
    AddZone({{2}}, Red);
    Build();
    GL->DrawMode = 0;
    GL->SetView(0);
    Paint();
    Dump(Frame, "minus_itself");
    EXPECT_EQ(Count([](const TRGB& c) { return c.G > 0; }), 0);
    EXPECT_GT(Count([](const TRGB& c) { return c.R > 0; }), 50);
}

} // namespace
