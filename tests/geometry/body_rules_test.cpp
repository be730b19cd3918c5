// The rules a random property test would not reach: extents, ARB and HEX derivations, starts on
// surfaces, rays parallel to faces and axes, torus sectors through 0, the ARB edge case.
#include "GeoTestUtil.h"

#include <gtest/gtest.h>

namespace {
struct TExt {
    double v[8] = {-7, -7, -7, -7, -7, -7, -7, -7};
};
TExt Extent(const TGeoData& b) {
    TExt e;
    BodyExtent(b, e.v[0], e.v[1], e.v[2], e.v[3], e.v[4], e.v[5], e.v[6], e.v[7]);
    return e;
}

std::vector<int> Codes(const TGeoData& b, TVector o, TVector d, TMatrixA3d* pts = nullptr) {
    TMatrixA3d p;
    TMatrixAi c;
    RayBodyIntersections(o, Unit(d), b, p, c);
    if (pts) *pts = p;
    return std::vector<int>(c.begin(), c.end());
}

void ExpectPoint(const TVector& p, double x, double y, double z, double tol = 1e-12) {
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
    EXPECT_NEAR(p.z, z, tol);
}

// Unit cube [0,1]^3 as an ARB; vertex k+1 has the bits of k as x, y, z.
TGeoData CubeArb(std::initializer_list<double> faces, int number = 3) {
    TGeoData b = MakeBody("ARB", number, {});
    for (int i = 0; i < 8; ++i) {
        b.Params[static_cast<size_t>(3 * i)] = (i & 1) ? 1 : 0;
        b.Params[static_cast<size_t>(3 * i + 1)] = (i & 2) ? 1 : 0;
        b.Params[static_cast<size_t>(3 * i + 2)] = (i & 4) ? 1 : 0;
    }
    size_t j = 24;
    for (double f : faces) b.Params[j++] = f;
    return b;
}
} // namespace

TEST(BodyExtent, FollowsTheRuleOfEachType) {
    TExt e = Extent(MakeBody("RPP", 1, {0, 1, 0, 2, 0, 3}));
    EXPECT_DOUBLE_EQ(e.v[1], 1);
    EXPECT_DOUBLE_EQ(e.v[3], 2);
    EXPECT_DOUBLE_EQ(e.v[6], 0);
    EXPECT_DOUBLE_EQ(e.v[7], std::sqrt(14.0));
    e = Extent(MakeBody("RCC", 1, {0, 0, 5, 0, 0, -3, 1}));
    EXPECT_DOUBLE_EQ(e.v[4], 1);
    EXPECT_DOUBLE_EQ(e.v[5], 6);
    TExt rec = Extent(MakeBody("REC", 1, {0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0.5, 0}));
    TExt half = Extent(MakeBody("TEC", 1, {0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0.5, 0, 0.5}));
    TExt twice = Extent(MakeBody("TEC", 1, {0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0.5, 0, 2}));
    for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(half.v[i], rec.v[i]);
    EXPECT_DOUBLE_EQ(rec.v[0], -1);
    EXPECT_DOUBLE_EQ(twice.v[0], -2);
    e = Extent(MakeBody("HAF", 1, {0, 0, 1, -3}));
    EXPECT_DOUBLE_EQ(e.v[0], -std::sqrt(3.0));
    EXPECT_DOUBLE_EQ(e.v[5], std::sqrt(3.0));
    e = Extent(MakeBody("ELL", 1, {-1, 0, 0, 1, 0, 0, 4})); // margin (4 - 2)/2
    EXPECT_DOUBLE_EQ(e.v[0], -2);
    EXPECT_DOUBLE_EQ(e.v[3], 1);
    e = Extent(MakeBody("GEL", 1, {1, 1, 1, 3, 0, 0, 0, 2, 0, 1, 0, 0.5}));
    EXPECT_DOUBLE_EQ(e.v[0], -2);
    EXPECT_DOUBLE_EQ(e.v[3], 3);
    EXPECT_DOUBLE_EQ(e.v[5], 1.5);
    e = Extent(MakeBody("TOR", 1, {0, 0, 0, 3, 1, 10, 20, 1}));
    EXPECT_DOUBLE_EQ(e.v[0], -4);
    e = Extent(MakeBody("HEX", 1, {0, 0, 0, 0, 0, 1, std::sqrt(3.0), 1, 0, 0}));
    EXPECT_DOUBLE_EQ(e.v[0], -2);
    e = Extent(MakeBody("XYZ", 1, {1, 2, 3}));
    for (double x : e.v) EXPECT_EQ(x, -7); // left unchanged
}

TEST(BodyPreparation, ArbPlanesFromFaceCodes) {
    TArbPlanes a;
    ArbPlanes(CubeArb({1375, 8642, 2156, 3487, 4321, 5687}), a);
    ASSERT_TRUE(a.Valid);
    EXPECT_EQ(a.FaceCount, 6);
    EXPECT_DOUBLE_EQ(a.MinDist, 1);
    for (int j = 0; j < 6; ++j) {
        const auto& p = a.Plane[static_cast<size_t>(j)];
        EXPECT_NEAR(p[0] * p[0] + p[1] * p[1] + p[2] * p[2], 1, 1e-12);
        EXPECT_NEAR(p[0] * 0.5 + p[1] * 0.5 + p[2] * 0.5 + p[3], 0.5, 1e-12); // into the cube
    }
    // the same faces with their digits in other orders give the same planes
    TArbPlanes b;
    ArbPlanes(CubeArb({7531, 2468, 6512, 8743, 1234, 7865}), b);
    ASSERT_TRUE(b.Valid);
    for (int j = 0; j < 6; ++j)
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(b.Plane[static_cast<size_t>(j)][static_cast<size_t>(k)],
                        a.Plane[static_cast<size_t>(j)][static_cast<size_t>(k)], 1e-12);

    ArbPlanes(CubeArb({1230, 1375, 0, 0, 0, 0}), a); // a triangle code is taken
    EXPECT_TRUE(a.Valid);
    EXPECT_EQ(a.FaceCount, 2);
    ArbPlanes(CubeArb({1235, 0, 5678, 1375, 0, 0}), a); // 0 ends the list
    EXPECT_TRUE(a.Valid);
    EXPECT_EQ(a.FaceCount, 1);
    ArbPlanes(CubeArb({1234, 12, 5678, 1375, 8642, 2156}), a); // two vertices stop it
    EXPECT_FALSE(a.Valid);
    ArbPlanes(CubeArb({1234, 123, 5678, 1375, 8642, 2156}), a); // thousands digit 0
    EXPECT_FALSE(a.Valid);
    ArbPlanes(CubeArb({1234, 1023, 5678, 1375, 8642, 2156}), a); // hundreds digit 0
    EXPECT_FALSE(a.Valid);
    ArbPlanes(CubeArb({1234, 1278, 0, 0, 0, 0}), a); // diagonal plane: vertices on both sides
    EXPECT_FALSE(a.Valid);
    ArbPlanes(CubeArb({1234, -1375, 0, 0, 0, 0}), a); // negative digits name no vertex
    EXPECT_FALSE(a.Valid);
    ArbPlanes(CubeArb({1234, 1e300, 0, 0, 0, 0}), a);
    EXPECT_FALSE(a.Valid);
}

TEST(BodyPreparation, ArbWithoutUsablePlanesContainsAndCrossesNothing) {
    for (bool prep : {false, true}) {
        TGeoData stopped = CubeArb({1234, 12, 5678, 1375, 8642, 2156});
        TGeoData zeroDigit = CubeArb({123, 5678, 1375, 8642, 2156, 3487});
        TGeoData open = CubeArb({0, 1234, 0, 0, 0, 0});
        if (prep) PrepareBody(stopped), PrepareBody(zeroDigit), PrepareBody(open);
        EXPECT_FALSE(PointInBody(stopped, 0.5, 0.5, 0.5));
        EXPECT_FALSE(PointInBody(zeroDigit, 0.5, 0.5, 0.5));
        EXPECT_TRUE(Codes(stopped, {-1, 0.5, 0.5}, {1, 0, 0}).empty());
        EXPECT_TRUE(Codes(zeroDigit, {-1, 0.5, 0.5}, {1, 0, 0}).empty());
        // no taken face at all: every point
        EXPECT_TRUE(PointInBody(open, 50, -40, 3));
        EXPECT_TRUE(Codes(open, {-1, 0.5, 0.5}, {1, 0, 0}).empty());
    }
}

TEST(BodyPreparation, HexSlabsMakeARegularHexagon) {
    // width 2 across flats, axis z from 0 to 1, one face normal along x
    TGeoData h = Prepared(MakeBody("HEX", 1, {0, 0, 0, 0, 0, 1, 2, 3, 0, 0}));
    THexPlanes s;
    HexPlanes(h, s);
    EXPECT_DOUBLE_EQ(s.Width[0], 1);
    EXPECT_DOUBLE_EQ(s.Width[1], 4);
    ExpectPoint(s.N[1], 2, 0, 0);
    ExpectPoint(s.Q[1], -1, 0, 0);
    ExpectPoint(s.N[2], 1, std::sqrt(3.0), 0, 1e-12); // +60 degrees about z
    ExpectPoint(s.N[3], 1, -std::sqrt(3.0), 0, 1e-12);
    EXPECT_TRUE(PointInBody(h, 0.999, 0, 0.5));
    EXPECT_TRUE(PointInBody(h, 1, 0, 1)); // on a side face and the top
    EXPECT_FALSE(PointInBody(h, 1.001, 0, 0.5));
    double corner = 2 / std::sqrt(3.0); // the vertices lie at 30 degrees from the face normals
    double c = std::cos(std::numbers::pi / 6), sn = std::sin(std::numbers::pi / 6);
    EXPECT_TRUE(PointInBody(h, 0.999 * corner * c, 0.999 * corner * sn, 0.5));
    EXPECT_FALSE(PointInBody(h, 1.001 * corner * c, 1.001 * corner * sn, 0.5));
    EXPECT_FALSE(PointInBody(h, 0, 0, 1.001));
}

TEST(PointInBody, ClosedTestsAndSectors) {
    TGeoData sph = MakeBody("SPH", 1, {0, 0, 0, 2});
    EXPECT_TRUE(PointInBody(sph, 2, 0, 0));
    EXPECT_FALSE(PointInBody(sph, 2.000001, 0, 0));
    TGeoData rpp = MakeBody("RPP", 1, {0, 1, 0, 2, 0, 3});
    EXPECT_TRUE(PointInBody(rpp, 1, 2, 3));
    EXPECT_FALSE(PointInBody(rpp, 1.0000001, 1, 1));
    EXPECT_FALSE(PointInBody(MakeBody("rpp", 1, {0, 1, 0, 1, 0, 1}), 0.5, 0.5, 0.5));

    // a spindle torus (R < r) contains its axis; on the axis in the centre plane the angle is 0
    TGeoData spindle = MakeBody("TOR", 1, {0, 0, 0, 0.5, 1, 350, 10, 3});
    EXPECT_TRUE(PointInBody(spindle, 0, 0, 0));
    spindle.Params[5] = 10, spindle.Params[6] = 20;
    EXPECT_FALSE(PointInBody(spindle, 0, 0, 0));

    auto at = [](const TGeoData& t, double deg) {
        double a = deg * std::numbers::pi / 180;
        return PointInBody(t, 3 * std::cos(a), 3 * std::sin(a), 0);
    };
    TGeoData tor = MakeBody("TOR", 1, {0, 0, 0, 3, 0.5, 270, 90, 3});
    EXPECT_TRUE(at(tor, 300));
    EXPECT_TRUE(at(tor, 45));
    EXPECT_FALSE(at(tor, 180));
    TGeoData neg = MakeBody("TOR", 1, {0, 0, 0, 3, 0.5, -90, 90, 3});
    for (double deg : {300.0, 45.0, 180.0, 91.0, 269.0}) EXPECT_EQ(at(neg, deg), at(tor, deg));
    TGeoData full = MakeBody("TOR", 1, {0, 0, 0, 3, 0.5, 40, 40, 3});
    EXPECT_TRUE(at(full, 180));
    // axis codes: 1 = x, 2 = y, anything else (rounded) = z
    EXPECT_TRUE(PointInBody(MakeBody("TOR", 1, {0, 0, 0, 3, 0.5, 0, 0, 1}), 0, 3, 0));
    EXPECT_FALSE(PointInBody(MakeBody("TOR", 1, {0, 0, 0, 3, 0.5, 0, 0, 1}), 3, 0, 0));
    EXPECT_TRUE(PointInBody(MakeBody("TOR", 1, {0, 0, 0, 3, 0.5, 0, 0, 2.2}), 3, 0, 0));
    EXPECT_TRUE(PointInBody(MakeBody("TOR", 1, {0, 0, 0, 3, 0.5, 0, 0, 9}), 0, 3, 0));
    EXPECT_FALSE(PointInBody(MakeBody("TOR", 1, {0, 0, 0, 3, 0.5, 0, 0, 9}), 0, 0, 3));
}

TEST(RayCrossings, SphereCasesAndCodes) {
    TGeoData s = MakeBody("SPH", 12, {0, 0, 0, 2});
    TMatrixA3d p;
    EXPECT_EQ(Codes(s, {0, 0, 0}, {1, 0, 0}, &p), std::vector<int>{121});
    ExpectPoint(p[0], 2, 0, 0);
    EXPECT_EQ(Codes(s, {-5, 0, 0}, {1, 0, 0}, &p), (std::vector<int>{122, 123}));
    ExpectPoint(p[0], -2, 0, 0);
    ExpectPoint(p[1], 2, 0, 0);
    EXPECT_TRUE(Codes(s, {5, 0, 0}, {1, 0, 0}).empty());
    EXPECT_EQ(Codes(s, {2, 0, 0}, {1, 0, 0}, &p), std::vector<int>{121}); // on the surface
    ExpectPoint(p[0], 2, 0, 0);
    EXPECT_TRUE(Codes(MakeBody("QQQ", 1, {}), {0, 0, 0}, {1, 0, 0}).empty());
}

TEST(RayCrossings, StartingOnASurface) {
    TGeoData rpp = MakeBody("RPP", 4, {0, 1, 0, 1, 0, 1});
    TMatrixA3d p;
    EXPECT_EQ(Codes(rpp, {1, 0.5, 0.5}, {1, 0, 0}, &p), std::vector<int>{41}); // Xmax at t = 0
    ExpectPoint(p[0], 1, 0.5, 0.5);
    // BOX and GEL: a start on the surface heading out is reported there
    TGeoData box = MakeBody("BOX", 5, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1});
    EXPECT_EQ(Codes(box, {1, 0.5, 0.5}, {1, 0, 0}, &p), std::vector<int>{52});
    ExpectPoint(p[0], 1, 0.5, 0.5);
    // GEL roots just behind the start count as the start
    TGeoData gel = MakeBody("GEL", 6, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1});
    EXPECT_EQ(Codes(gel, {1 + 1e-7, 0, 0}, {1, 0, 0}, &p), std::vector<int>{61});
    ExpectPoint(p[0], 1 + 1e-7, 0, 0, 0);
    EXPECT_TRUE(Codes(gel, {1 + 1e-5, 0, 0}, {1, 0, 0}).empty());
    // a start on the sphere heading in: the far crossing only
    EXPECT_EQ(Codes(MakeBody("SPH", 7, {0, 0, 0, 2}), {-2, 0, 0}, {1, 0, 0}, &p),
              std::vector<int>{71});
    ExpectPoint(p[0], 2, 0, 0);
}

TEST(RayCrossings, RaysParallelToFacesAndAxes) {
    TMatrixA3d p;
    // RCC along its axis from below: base then top, no side (m = 0)
    TGeoData rcc = MakeBody("RCC", 2, {0, 0, 0, 0, 0, 3, 1});
    EXPECT_EQ(Codes(rcc, {0.2, 0, -1}, {0, 0, 1}, &p), (std::vector<int>{21, 22}));
    ExpectPoint(p[0], 0.2, 0, 3);
    ExpectPoint(p[1], 0.2, 0, 0);
    // across the axis: the two side roots only
    EXPECT_EQ(Codes(rcc, {-2, 0, 1}, {1, 0, 0}, &p), (std::vector<int>{23, 24}));
    // RPP: a ray inside along x meets only Xmax; a ray in the plane y = Ymin still counts
    TGeoData rpp = MakeBody("RPP", 4, {0, 1, 0, 1, 0, 1});
    EXPECT_EQ(Codes(rpp, {0.5, 0.5, 0.5}, {1, 0, 0}), std::vector<int>{41});
    EXPECT_EQ(Codes(rpp, {-1, 0, 0.5}, {1, 0, 0}), (std::vector<int>{40, 41}));
    // BOX: parallel to a slab and outside it, nothing
    TGeoData box = MakeBody("BOX", 5, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1});
    EXPECT_TRUE(Codes(box, {-1, 2, 0.5}, {1, 0, 0}).empty());
    EXPECT_EQ(Codes(box, {-1, 0.5, 0.5}, {1, 0, 0}, &p), (std::vector<int>{51, 52}));
    ExpectPoint(p[0], 0, 0.5, 0.5);
    ExpectPoint(p[1], 1, 0.5, 0.5);
    // TRC with a ray parallel to a generator of the cone: m is exactly 0 for this slope and
    // direction; the ray enters through the base (3) and leaves by the single side root (5)
    TGeoData trc = MakeBody("TRC", 8, {0, 0, 0, 0, 0, 1, 1, 0.625});
    double dz = 0.9363291775690445;
    TVector gen{-std::sqrt(1 - dz * dz), 0, dz};
    TMatrixAi c;
    p.clear();
    RayBodyIntersections({0.075, 0, -1}, gen, trc, p, c);
    EXPECT_EQ(std::vector<int>(c.begin(), c.end()), (std::vector<int>{83, 85}));
    ASSERT_EQ(p.size(), 2u);
    EXPECT_NEAR(p[1].z, 0.7 / 0.75, 1e-9);
    EXPECT_NEAR(p[1].x, -0.65, 1e-9);
    // TRC caps from above (dA < 0): top (2) then base (1)
    EXPECT_EQ(Codes(trc, {0, 0, 2}, {0, 0, -1}), (std::vector<int>{81, 82}));
    // REC and TEC crossed perpendicular to the axis (dH = 0)
    TGeoData rec = MakeBody("REC", 9, {0, 0, 0, 0, 0, 2, 2, 0, 0, 0, 1, 0});
    EXPECT_EQ(Codes(rec, {-5, 0, 1}, {1, 0, 0}, &p), (std::vector<int>{91, 92}));
    ExpectPoint(p[0], -2, 0, 1);
    ExpectPoint(p[1], 2, 0, 1);
    TGeoData tec = MakeBody("TEC", 10, {0, 0, 0, 0, 0, 2, 2, 0, 0, 0, 1, 0, 0.5});
    EXPECT_EQ(Codes(tec, {-5, 0, 1}, {1, 0, 0}, &p), (std::vector<int>{101, 102}));
    ExpectPoint(p[0], -1.5, 0, 1, 1e-9);
    ExpectPoint(p[1], 1.5, 0, 1, 1e-9);
    // TEC along its axis: near cap (base) then far cap (top, scaled by k)
    EXPECT_EQ(Codes(tec, {0.9, 0, -1}, {0, 0, 1}), (std::vector<int>{103, 104}));
    // beyond the top ellipse: the side (at z = 1.6), then the base only
    EXPECT_EQ(Codes(tec, {1.2, 0, -1}, {0, 0, 1}, &p), (std::vector<int>{101, 103}));
    EXPECT_NEAR(p[0].z, 1.6, 1e-9);
    // WED along H3 through the triangle
    TGeoData wed = MakeBody("WED", 11, {0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 3});
    EXPECT_EQ(Codes(wed, {0.5, 0.25, -1}, {0, 0, 1}, &p), (std::vector<int>{119, 119}));
    ExpectPoint(p[0], 0.5, 0.25, 0);
    ExpectPoint(p[1], 0.5, 0.25, 3);
    EXPECT_TRUE(Codes(wed, {1.5, 0.5, -1}, {0, 0, 1}).empty()); // beyond the hypotenuse
    // HAF: parallel to the plane, nothing
    TGeoData haf = MakeBody("HAF", 13, {0, 0, 2, 1});
    EXPECT_TRUE(Codes(haf, {0, 0, 0}, {1, 0, 0}).empty());
    EXPECT_EQ(Codes(haf, {0, 0, 0}, {0, 0, 1}, &p), std::vector<int>{131});
    ExpectPoint(p[0], 0, 0, 1);
}

TEST(RayCrossings, SlabMethodDoesNotCompareEntryAndExit) {
    // the ray passes beside the unit box; every slab interval lies ahead, so both are reported
    TGeoData box = MakeBody("BOX", 5, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1});
    TMatrixA3d p;
    EXPECT_EQ(Codes(box, {-2, 4.5, 0.5}, {1, -1, 0}, &p), (std::vector<int>{51, 52}));
    EXPECT_GT(Length(p[0] - TVector{-2, 4.5, 0.5}), Length(p[1] - TVector{-2, 4.5, 0.5}));
    EXPECT_FALSE(Inside(box, p[0]));
    // a slab behind the start ends it
    EXPECT_TRUE(Codes(box, {2, 0.5, 0.5}, {1, 0, 0}).empty());
}

TEST(RayCrossings, TorusRingsAndSectors) {
    const double R = 2, r = 0.5;
    TMatrixA3d p;
    // full ring about z crossed along x through the centre: four ring crossings
    TGeoData ring = MakeBody("TOR", 14, {0, 0, 0, R, r, 0, 0, 3});
    EXPECT_EQ(Codes(ring, {-5, 0, 0}, {1, 0, 0}, &p), (std::vector<int>(4, 141)));
    std::vector<double> xs;
    for (const TVector& q : p) xs.push_back(q.x);
    std::sort(xs.begin(), xs.end());
    EXPECT_NEAR(xs[0], -2.5, 1e-9);
    EXPECT_NEAR(xs[1], -1.5, 1e-9);
    EXPECT_NEAR(xs[2], 1.5, 1e-9);
    EXPECT_NEAR(xs[3], 2.5, 1e-9);
    // an axis code other than 1, 2, 3 crosses as the z torus it is inside
    TGeoData odd = MakeBody("TOR", 14, {0, 0, 0, R, r, 0, 0, 7});
    EXPECT_EQ(Codes(odd, {-5, 0, 0}, {1, 0, 0}).size(), 4u);
    // half ring on the negative x side (A1 = 90, A2 = -90): only the crossings at x < 0
    TGeoData half = MakeBody("TOR", 15, {0, 0, 0, R, r, 90, -90, 3});
    EXPECT_EQ(Codes(half, {-5, 0, 0}, {1, 0, 0}, &p), (std::vector<int>{151, 151}));
    for (const TVector& q : p) EXPECT_LT(q.x, 0);
    // along y = R from the sector into the end face at 90 degrees (plane x = 0): ring then A1 face
    EXPECT_EQ(Codes(half, {-5, R, 0}, {1, 0, 0}, &p), (std::vector<int>{151, 152}));
    EXPECT_NEAR(p[0].x, -std::sqrt((R + r) * (R + r) - R * R), 1e-9);
    ExpectPoint(p[1], 0, R, 0);
    // along y = -R: the face at -90 degrees, k = 3
    EXPECT_EQ(Codes(half, {-5, -R, 0}, {1, 0, 0}, &p), (std::vector<int>{151, 153}));
    ExpectPoint(p[1], 0, -R, 0);
    // a sector through 0 (300 to 60 degrees) crossed along y at x = R: the end faces are at
    // +-60 degrees, out of the way; the ring crossings at angle 0 lie inside the sector
    TGeoData through0 = MakeBody("TOR", 16, {0, 0, 0, R, r, 300, 60, 3});
    EXPECT_EQ(Codes(through0, {R, -5, 0}, {0, 1, 0}, &p), (std::vector<int>{161, 161}));
    EXPECT_NEAR(std::fabs(p[0].y), 1.5, 1e-9);                    // |(2, y)| = R + r
    EXPECT_TRUE(Codes(through0, {-R, -5, 0}, {0, 1, 0}).empty()); // angle 180: outside
    // the end face at 60 degrees, hit head-on from outside the sector through the tube centre;
    // the ray then leaves the tube inside the sector (ring roots come first)
    double c = std::cos(std::numbers::pi / 3), s = std::sin(std::numbers::pi / 3);
    TVector centre{R * c, R * s, 0}, n{-s, c, 0};
    EXPECT_EQ(Codes(through0, centre + n * 2, n * -1, &p), (std::vector<int>{161, 163}));
    ExpectPoint(p[1], centre.x, centre.y, 0, 1e-9);
    EXPECT_NEAR(Length(p[0] - centre), 1.5, 1e-9);
}

TEST(RayCrossings, ArbReportsTheEndsOfItsChord) {
    // faces in the order x = 0, y = 0, x = 1, y = 1, z = 0, z = 1
    TGeoData cube = Prepared(CubeArb({1375, 2156, 8642, 3487, 4321, 5687}));
    TMatrixA3d p;
    EXPECT_EQ(Codes(cube, {0.5, 0.5, 0.5}, {1, 0, 0}, &p), std::vector<int>{32}); // from inside
    ExpectPoint(p[0], 1, 0.5, 0.5);
    EXPECT_EQ(Codes(cube, {-1, 0.5, 0.5}, {1, 0, 0}, &p), (std::vector<int>{31, 32}));
    ExpectPoint(p[0], 0, 0.5, 0.5);
    ExpectPoint(p[1], 1, 0.5, 0.5);
    // entering through the edge x = 0, y = 0 (faces 1 and 2): the edge point once, then the
    // exit through the opposite edge
    EXPECT_EQ(Codes(cube, {-1, -1, 0.5}, {1, 1, 0}, &p), (std::vector<int>{31, 32}));
    ExpectPoint(p[0], 0, 0, 0.5, 1e-12);
    ExpectPoint(p[1], 1, 1, 0.5, 1e-12);
    EXPECT_TRUE(Codes(cube, {-1, 2, 0.5}, {1, 0, 0}).empty()); // beside it
}
