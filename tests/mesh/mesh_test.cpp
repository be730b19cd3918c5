// Body meshes: counts, winding seen from outside (closed and outward), inversion, the HAF
// plane face, RCC rounding, and the enlarged copies.
#include "render/mesh/BodyMesh.h"
#include "render/mesh/MeshTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

namespace {

constexpr double Pi = 3.14159265358979323846;

TGeoData Body(const std::string& sym, std::initializer_list<double> params) {
    TGeoData b;
    b.Symbol = sym;
    b.Number = 1;
    size_t k = 0;
    for (double v : params) b.Params[k++] = v;
    return b;
}

TMatrixAA3d Mesh(TGeoData b, bool invert = false, double haf = 10) {
    BuildMesh(b, invert, haf);
    return b.MeshGrid.Polygons();
}

// Signed volume enclosed by the mesh (positive when every polygon is counter-clockwise seen
// from outside).
double SignedVolume(const TMatrixAA3d& mesh) {
    double v = 0;
    for (const TMatrixA3d& p : mesh)
        for (size_t k = 1; k + 1 < p.size(); ++k) v += Dot(p[0], Cross(p[k], p[k + 1])) / 6;
    return v;
}

// Every directed edge of positive length must be met by exactly one opposite edge: the mesh is
// closed and its polygons agree in orientation.
::testing::AssertionResult ClosedAndConsistent(const TMatrixAA3d& mesh) {
    using Key = std::tuple<long long, long long, long long>;
    auto key = [](const TVector& p) {
        auto r = [](double x) { return std::llround(x * 1e6); };
        return Key{r(p.x), r(p.y), r(p.z)};
    };
    std::map<std::pair<Key, Key>, int> edges;
    for (const TMatrixA3d& p : mesh)
        for (size_t k = 0; k < p.size(); ++k) {
            Key a = key(p[k]), b = key(p[(k + 1) % p.size()]);
            if (a != b) ++edges[{a, b}];
        }
    for (const auto& [e, n] : edges) {
        auto back = edges.find({e.second, e.first});
        if (n != 1 || back == edges.end() || back->second != 1)
            return ::testing::AssertionFailure() << "unmatched edge, count " << n;
    }
    return ::testing::AssertionSuccess();
}

TVector Normal(const TMatrixA3d& p) { // Newell normal, robust to coincident points
    TVector n;
    for (size_t k = 0; k < p.size(); ++k) {
        const TVector& a = p[k];
        const TVector& b = p[(k + 1) % p.size()];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

struct Case {
    const char* Name;
    TGeoData B;
    size_t Polygons;
    double Volume; // expected enclosed volume
    double Tol;    // relative tolerance (tessellation)
};

} // namespace

TEST(BodyMesh, CountsClosednessWindingAndVolume) {
    const double s3 = std::sqrt(3.0);
    std::vector<Case> cases = {
        {"RPP", Body("RPP", {-1, 2, -3, 4, 0, 5}), 6, 3 * 7 * 5, 1e-12},
        {"SPH", Body("SPH", {1, 2, 3, 4}), 900, 4.0 / 3 * Pi * 64, 0.02},
        {"RCC", Body("RCC", {1, -2, 0.5, 3, -4, 12, 2}), 90, Pi * 4 * 13, 0.01},
        {"TRC", Body("TRC", {0, 0, 0, 0, 6, 0, 3, 1}), 90, Pi * 6 / 3 * (9 + 3 + 1), 0.01},
        {"TOR ring", Body("TOR", {0, 0, 0, 10, 2, 0, 360, 3}), 900, 2 * Pi * Pi * 10 * 4, 0.02},
        {"TOR sector", Body("TOR", {1, 1, 1, 10, 2, 300, 60, 1}), 960, 2 * Pi * Pi * 10 * 4 / 3,
         0.02},
        {"TOR y", Body("TOR", {0, 0, 0, 10, 2, 0, 90, 2}), 960, 2 * Pi * Pi * 10 * 4 / 4, 0.02},
        {"BOX", Body("BOX", {1, 1, 1, 0, 0, 3, 2, 0, 0, 0, 4, 0}), 6, 24, 1e-12},
        {"REC", Body("REC", {0, 0, 0, 1, 1, 0, 0, 0, 3, 1, -1, 0}), 90,
         Pi * 3 * std::sqrt(2.0) * std::sqrt(2.0), 0.01},
        {"TEC", Body("TEC", {0, 0, 0, 0, 0, 6, 3, 0, 0, 0, 2, 0, 0.5}), 90,
         Pi * 6 * 2 * 3 / 3 * (1 + 0.5 + 0.25), 0.01},
        {"ELL", Body("ELL", {-3, 0, 0, 3, 0, 0, 10}), 900, 4.0 / 3 * Pi * 5 * 4 * 4, 0.02},
        {"ELL tilted", Body("ELL", {1, 1, 1, 4, 5, 1, 10}), 900, 4.0 / 3 * Pi * 5 * 18.75, 0.02},
        {"GEL", Body("GEL", {1, 2, 3, 2, 0, 0, 0, 0, -3, 0, 5, 0}), 1800, 4.0 / 3 * Pi * 2 * 3 * 5,
         0.02},
        {"WED", Body("WED", {0, 0, 0, 0, 3, 0, 0, 0, 2, -4, 0, 0}), 5, 3 * 2 / 2.0 * 4, 1e-12},
        {"HEX", Body("HEX", {0, 0, 0, 0, 0, 5, 2, 1, 1, 0}), 18, 5 * s3 / 2 * 4, 1e-9},
        {"HAF", Body("HAF", {1, 2, 2, 3}), 6, 8 * 10 * 10 * 10, 1e-9},
        {"ARB cube", Body("ARB", {0, 0, 0, 2, 0, 0, 2, 2, 0, 0,    2,    0,    0,    0,    2,
                                  2, 0, 2, 2, 2, 2, 0, 2, 2, 1234, 5678, 1256, 3478, 1458, 2367}),
         6, 8, 1e-12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        // the compact store gives back exactly the builder's polygons, and their box
        TMatrixAA3d built;
        MeshBuilderOf(BodyKind(c.B.Symbol))(c.B, 10, TMeshCounts{}, built);
        TGeoData stored = c.B;
        BuildMesh(stored, false, 10);
        ASSERT_EQ(stored.MeshGrid.Polygons().size(), built.size());
        const std::array<double, 6>& box = stored.MeshGrid.Box;
        for (size_t k = 0; k < built.size(); ++k) {
            TMatrixA3d p = stored.MeshGrid.Polygon(k);
            ASSERT_EQ(p.size(), built[k].size());
            for (size_t j = 0; j < p.size(); ++j) {
                EXPECT_TRUE(p[j].x == built[k][j].x && p[j].y == built[k][j].y &&
                            p[j].z == built[k][j].z);
                EXPECT_TRUE(box[0] <= p[j].x && p[j].x <= box[1] && box[2] <= p[j].y &&
                            p[j].y <= box[3] && box[4] <= p[j].z && p[j].z <= box[5]);
            }
        }
        TMatrixAA3d m = Mesh(c.B);
        EXPECT_EQ(m.size(), c.Polygons);
        EXPECT_TRUE(ClosedAndConsistent(m));
        EXPECT_NEAR(SignedVolume(m), c.Volume, c.Volume * c.Tol);
        // inverted: same polygons with opposite orientation
        TMatrixAA3d inv = Mesh(c.B, true);
        EXPECT_TRUE(ClosedAndConsistent(inv));
        EXPECT_NEAR(SignedVolume(inv), -c.Volume, c.Volume * c.Tol);
    }
}

TEST(BodyMesh, RppPolygonOrderAndInversion) {
    TMatrixAA3d m = Mesh(Body("RPP", {0, 1, 0, 2, 0, 3}));
    ASSERT_EQ(m.size(), 6u);
    // zmin face c0 c3 c2 c1
    EXPECT_EQ(m[0][1].y, 2);
    EXPECT_EQ(m[0][2].x, 1);
    EXPECT_EQ(m[0][2].y, 2);
    TMatrixAA3d inv = Mesh(Body("RPP", {0, 1, 0, 2, 0, 3}), true);
    // becomes c2 c3 c0 c1
    EXPECT_TRUE(inv[0][0].x == 1 && inv[0][0].y == 2 && inv[0][0].z == 0);
    EXPECT_TRUE(inv[0][2].x == 0 && inv[0][2].y == 0);
    EXPECT_TRUE(inv[0][3].x == 1 && inv[0][3].y == 0);
    EXPECT_EQ(Normal(m[5]).z > 0, true); // zmax face looks along +z
}

TEST(BodyMesh, RccRoundsToFourDigits) {
    EXPECT_DOUBLE_EQ(RoundTo4Digits(123.456), 123.5);
    EXPECT_DOUBLE_EQ(RoundTo4Digits(-0.00123456), -0.001235);
    EXPECT_DOUBLE_EQ(RoundTo4Digits(0), 0);
    // base centre 123.456 along x: the axis point of the base is stored as 123.5
    TMatrixAA3d m = Mesh(Body("RCC", {123.456, 0, 0, 0, 0, 10, 1}));
    ASSERT_EQ(m.size(), 90u);
    EXPECT_DOUBLE_EQ(m[0][0].x, 123.5);
    // the other types keep their points unrounded
    TMatrixAA3d t = Mesh(Body("TRC", {123.456, 0, 0, 0, 0, 10, 1, 1}));
    EXPECT_DOUBLE_EQ(t[0][0].x, 123.456);
}

TEST(BodyMesh, AxisFrameCarriesZOntoTheAxis) {
    for (TVector a : {TVector{0, 0, 1}, TVector{0, 0, -2}, TVector{3, 0, 0}, TVector{-1, 0, 0},
                      TVector{0, 5, 0}, TVector{0, -1, 1}, TVector{1, -2, 3}, TVector{-4, 1, -2}}) {
        TAxisFrame f = AxisFrame(a, {1, 2, 3});
        ASSERT_TRUE(f.Valid);
        TVector p = f.Place({0, 0, f.Length}) - TVector{1, 2, 3};
        EXPECT_NEAR(p.x, a.x, 1e-9);
        EXPECT_NEAR(p.y, a.y, 1e-9);
        EXPECT_NEAR(p.z, a.z, 1e-9);
        TVector back = f.ToLocal(a);
        EXPECT_NEAR(back.z, f.Length, 1e-9);
    }
    EXPECT_FALSE(AxisFrame({0, 0, 1e-7}, {}).Valid);
    // a zero axis gives an empty mesh, which draws nothing
    EXPECT_TRUE(Mesh(Body("RCC", {0, 0, 0, 0, 0, 0, 1})).empty());
    EXPECT_TRUE(Mesh(Body("HAF", {0, 0, 0, 1})).empty());
    EXPECT_TRUE(Mesh(Body("rpp", {0, 1, 0, 1, 0, 1})).empty());
}

TEST(BodyMesh, HafPlaneFaceIsPolygonZero) {
    TVector n{1, -2, 2}; // |N| = 3
    TMatrixAA3d m = Mesh(Body("HAF", {n.x, n.y, n.z, 4}), false, 50);
    ASSERT_EQ(m.size(), 6u);
    TVector u = n * (1.0 / 3);
    for (const TVector& p : m[0]) EXPECT_NEAR(Dot(p, u), 4, 1e-9);
    // outward normal of the plane face points out of the half-space
    EXPECT_LT(Dot(Normal(m[0]), u), 0);
    // the rest of the box lies in the half-space, 2E deep
    for (size_t k = 1; k < 6; ++k)
        for (const TVector& p : m[k]) EXPECT_GE(Dot(p, u), 4 - 1e-9);
    EXPECT_NEAR(Dot(m[5][0], u), 104, 1e-9);
}

TEST(BodyMesh, TorusSweeps) {
    // A1 = A2 is the full ring, like the inside test
    EXPECT_EQ(Mesh(Body("TOR", {0, 0, 0, 10, 1, 45, 45, 3})).size(), 900u);
    EXPECT_EQ(Mesh(Body("TOR", {0, 0, 0, 10, 1, 0, 360, 3})).size(), 900u);
    // A1 = 90, A2 = 0: 270 degrees starting at 90; the first cap sits on the +y side
    TMatrixAA3d m = Mesh(Body("TOR", {0, 0, 0, 10, 1, 90, 0, 3}));
    ASSERT_EQ(m.size(), 960u);
    const TVector& centre = m[900][0];
    EXPECT_NEAR(centre.x, 0, 1e-9);
    EXPECT_NEAR(centre.y, 10, 1e-9);
    const TVector& last = m[930][0];
    EXPECT_NEAR(last.x, 10, 1e-9); // 360 = 0 degrees
    EXPECT_NEAR(last.y, 0, 1e-9);
    // axis code 1: angles measured from +y towards +z, as in the inside test
    TMatrixAA3d x = Mesh(Body("TOR", {0, 0, 0, 10, 1, 90, 180, 1.2}));
    EXPECT_NEAR(x[900][0].z, 10, 1e-9);
    EXPECT_NEAR(x[930][0].y, -10, 1e-9);
    // axis code 2: angles from +z towards +x
    TMatrixAA3d y = Mesh(Body("TOR", {0, 0, 0, 10, 1, 90, 180, 2}));
    EXPECT_NEAR(y[900][0].x, 10, 1e-9);
    EXPECT_NEAR(y[930][0].z, -10, 1e-9);
}

TEST(BodyMesh, RingsFollowTheirReferenceAxes) {
    // REC: the first ring point (i = 0) lies along R1 from V
    TMatrixAA3d rec = Mesh(Body("REC", {1, 1, 1, 0, 0, 4, 0, 3, 0, -1, 0, 0}));
    TVector p = rec[60][0] - TVector{1, 1, 1}; // side quad 0, point G[0][0]
    EXPECT_NEAR(p.x, 0, 1e-9);
    EXPECT_NEAR(p.y, 3, 1e-9);
    EXPECT_NEAR(p.z, 0, 1e-9);
    // HEX: one pair of side faces is normal to A, the others at +-60 degrees
    TVector a = TVector{1, 2, 0} * (1 / std::sqrt(5.0));
    TMatrixAA3d hex = Mesh(Body("HEX", {0, 0, 0, 0, 0, 3, 2, 1, 2, 0}));
    int along = 0;
    for (size_t k = 12; k < 18; ++k) {
        TVector nn = Normal(hex[k]);
        double c = Dot(nn, a) / std::sqrt(Dot(nn, nn));
        double ac = std::fabs(c);
        EXPECT_TRUE(std::fabs(ac - 1) < 1e-9 || std::fabs(ac - 0.5) < 1e-9) << c;
        if (std::fabs(ac - 1) < 1e-9) ++along;
        // the faces are W/2 from the axis
        EXPECT_NEAR(Dot(hex[k][0], nn * (1 / std::sqrt(Dot(nn, nn)))), 1, 1e-9);
    }
    EXPECT_EQ(along, 2);
}

TEST(BodyMesh, GelPointsLieOnTheEllipsoid) {
    // a left-handed set of semi-axes still gives the same solid
    TGeoData b = Body("GEL", {1, 2, 3, 0, 2, 0, 3, 0, 0, 0, 0, 4});
    TMatrixAA3d m = Mesh(b);
    TVector a1{0, 2, 0}, a2{3, 0, 0}, a3{0, 0, 4};
    for (const TMatrixA3d& poly : m)
        for (const TVector& p : poly) {
            TVector d = p - TVector{1, 2, 3};
            double s = 0;
            for (const TVector& ax : {a1, a2, a3}) {
                double t = Dot(d, ax) / Dot(ax, ax);
                s += t * t;
            }
            EXPECT_NEAR(s, 1, 1e-9);
        }
}

TEST(BodyMesh, ArbFaceCodes) {
    // tetrahedron, codes listed in any winding; a 0 code ends the list
    std::initializer_list<double> tet = {0, 0, 0, 1, 0,    0,    0,    1,    0, 0,
                                         0, 1, 0, 0, 0,    0,    0,    0,    0, 0,
                                         0, 0, 0, 0, 1230, 1240, 1340, 2340, 0, 1230};
    TMatrixAA3d m = Mesh(Body("ARB", tet));
    EXPECT_EQ(m.size(), 4u);
    EXPECT_TRUE(ClosedAndConsistent(m));
    EXPECT_NEAR(SignedVolume(m), 1.0 / 6, 1e-12);
    // two non-zero digits and digits 9 give no polygon; the quadrilateral 1243 is reordered and
    // turned away from vertex 5, the first vertex not on it
    TMatrixAA3d n = Mesh(Body("ARB", {0, 0, 0, 2, 0, 0, 2, 2, 0, 0,    2,    0,    0,    0, 2,
                                      0, 0, 0, 0, 0, 0, 0, 0, 0, 1200, 9990, 1243, 1250, 0, 0}));
    ASSERT_EQ(n.size(), 2u);
    ASSERT_EQ(n[0].size(), 4u);
    TVector nn = Normal(n[0]);
    EXPECT_NEAR(std::fabs(nn.z), 8, 1e-12); // non-crossing: twice the area 4
    EXPECT_LT(nn.z, 0);                     // away from vertex 5 above the face
}

TEST(GrownBody, EnlargesByRateAndValue) {
    double f = 0.01, v = 0.5;
    TGeoData rpp = BuildGrownBody(Body("RPP", {-10, 20, 0, 1, -1, 0}), f, v);
    EXPECT_DOUBLE_EQ(rpp.Params[0], -10 - 0.1 - 0.5);
    EXPECT_DOUBLE_EQ(rpp.Params[1], 20 + 0.2 + 0.5);
    EXPECT_DOUBLE_EQ(rpp.Params[2], -0.5);
    EXPECT_DOUBLE_EQ(rpp.Params[5], 0.5);
    // the cylinder grows by f*L + v at each end
    TGeoData rcc = BuildGrownBody(Body("RCC", {0, 0, 10, 0, 0, 100, 5}), f, v);
    EXPECT_NEAR(rcc.Params[2], 10 - 1.5, 1e-12);
    EXPECT_NEAR(rcc.Params[5], 103, 1e-12);
    EXPECT_NEAR(rcc.Params[6], 5.05 + 0.5, 1e-12);
    TGeoData rec = BuildGrownBody(Body("REC", {0, 0, 0, 0, 0, 10, 2, 0, 0, 0, 1, 0}), f, v);
    EXPECT_NEAR(rec.Params[6], 2.02, 1e-12);
    TGeoData tor = BuildGrownBody(Body("TOR", {1, 2, 3, 10, 1, 30, 60, 2}), f, v);
    EXPECT_NEAR(tor.Params[4], 1.51, 1e-12);
    EXPECT_EQ(tor.Params[5], 30);
    EXPECT_EQ(tor.Params[7], 2);
    TGeoData haf = BuildGrownBody(Body("HAF", {0, 0, 1, 2}), f, v);
    EXPECT_EQ(haf.Params[3], 2);
    // a zero axis is left as it is instead of dividing by zero
    TGeoData flat = BuildGrownBody(Body("RCC", {1, 1, 1, 0, 0, 0, 5}), f, v);
    EXPECT_EQ(flat.Params[0], 1);
    EXPECT_EQ(flat.Params[5], 0);
}

TEST(GrownBody, RebuildMakesTheMeshesThatAreDrawn) {
    TGeometry geo;
    geo.Bodies.push_back(Body("SPH", {0, 0, 0, 1}));
    geo.Bodies.push_back(Body("HAF", {0, 0, 1, 0}));
    geo.Bodies.push_back(Body("RPP", {-3, 3, -3, 3, -3, 3}));
    TZoneData z; // 3 - 1: only body 1 is ever drawn enlarged
    z.BodyIndex = {{2, 0}};
    z.Sign = {{1, -1}};
    z.GroupOp = {'O'};
    geo.Zones.push_back(z);
    TGeoData cut = Body("RPP", {-1, 1, -1, 1, -1, 1});
    RebuildSceneMeshes(geo, cut, 5, 1e-6, 0.005);
    ASSERT_EQ(geo.GrownBodies.size(), 3u);
    EXPECT_EQ(geo.Bodies[0].MeshGrid.size(), 900u);
    EXPECT_GT(SignedVolume(geo.Bodies[0].MeshGrid.Polygons()), 0);
    EXPECT_LT(SignedVolume(geo.GrownBodies[0].MeshGrid.Polygons()), 0);
    EXPECT_GT(-SignedVolume(geo.GrownBodies[0].MeshGrid.Polygons()),
              SignedVolume(geo.Bodies[0].MeshGrid.Polygons()));
    EXPECT_TRUE(geo.GrownBodies[1].MeshGrid.empty());
    EXPECT_TRUE(geo.GrownBodies[2].MeshGrid.empty());
    // the half-space's stand-in box: half-size e twice the box's corner radius, 2 e deep
    const double e = 2 * 3 * std::sqrt(3.0);
    EXPECT_NEAR(Dot(geo.Bodies[1].MeshGrid.Polygon(5)[0], {0, 0, 1}), 2 * e, 1e-12);
    EXPECT_LT(SignedVolume(cut.MeshGrid.Polygons()), 0);
    EXPECT_NEAR(geo.MeshReach, std::sqrt(e * e * 2 + 4 * e * e), 1e-9);
    uint64_t first = geo.MeshGeneration;
    RebuildSceneMeshes(geo, cut, 5, 1e-6, 0.005);
    EXPECT_NE(geo.MeshGeneration, first);
}

// The stand-in box of a half-space keeps its other faces clear of every body, also of bodies
// reaching farther than the recorded scene size, and of the other half-spaces' planes.
TEST(GrownBody, HalfSpaceStandInClearsTheScene) {
    TAGeoData bodies{Body("HAF", {1, 0, 0, -5}), Body("RPP", {-3, 30, -4, 4, 0, 1})};
    // the box's farthest corner from the origin (30, 4, 1)
    EXPECT_NEAR(HafStandInExtent(bodies, 5), 2 * std::sqrt(30 * 30 + 4 * 4 + 1), 1e-9);
    EXPECT_NEAR(HafStandInExtent({Body("HAF", {0, 0, 1, -7})}, 1), 14, 1e-9);
    EXPECT_EQ(HafStandInExtent({}, 3), 6);
}

TEST(BodyMesh, CompactAndSharedStorage) {
    // Spheres share one unit mesh: a body adds no mesh memory of its own, and a new build
    // gives a new stamp so that uploaded copies are replaced.
    TGeoData a = Body("SPH", {1, 2, 3, 4}), b = Body("SPH", {-5, 0, 0, 0.5});
    BuildMesh(a, false, 10);
    BuildMesh(b, false, 10);
    EXPECT_EQ(a.MeshGrid.Shared, b.MeshGrid.Shared);
    EXPECT_EQ(a.MeshGrid.Bytes(), 0u);
    // the boxes of the placed points: the poles reach the sphere, the rings stay inside it
    EXPECT_EQ(a.MeshGrid.Box[5], 7);
    EXPECT_EQ(b.MeshGrid.Box[4], -0.5);
    EXPECT_TRUE(a.MeshGrid.Box[1] <= 5 && a.MeshGrid.Box[1] > 4.9);
    EXPECT_TRUE(b.MeshGrid.Box[0] >= -5.5 && b.MeshGrid.Box[0] < -5.45);
    uint64_t stamp = a.MeshGrid.Stamp;
    BuildMesh(a, true, 10);
    EXPECT_NE(a.MeshGrid.Stamp, stamp);
    EXPECT_NE(a.MeshGrid.Shared, b.MeshGrid.Shared); // the inverted unit mesh
    // other types keep each point once: a torus needs well under a third of a point list
    TGeoData t = Body("TOR", {0, 0, 0, 10, 2, 0, 360, 3});
    BuildMesh(t, false, 10);
    EXPECT_LT(t.MeshGrid.Bytes(), 45000u);
    EXPECT_LT(t.MeshGrid.Points.size(), 3600u / 3);
    // an unknown symbol: no polygons and an empty box
    TGeoData u = Body("XYZ", {1});
    BuildMesh(u, false, 10);
    EXPECT_TRUE(u.MeshGrid.empty());
    EXPECT_GT(u.MeshGrid.Box[0], u.MeshGrid.Box[1]);
}
