// The speed-ups must not change a single bit: prepared bodies (cached constants, box and ball
// culling) against unprepared copies, and the indexed zone search against the plain one.
#include "GeoTestUtil.h"
#include "geometry/RayZones.h"
#include "geometry/ZoneIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<TGeoData> StressBodies() {
    std::vector<TGeoData> out;
    for (TCase& c : SampleBodies()) out.push_back(std::move(c.Body));
    // far from the origin, tiny, long and thin, and plainly degenerate bodies
    out.push_back(MakeBody("SPH", 21, {1e6, -2e6, 3e5, 1e-3}));
    out.push_back(MakeBody("RCC", 22, {0, 0, 0, 1e-3, 2e-3, 50, 1e-4}));
    out.push_back(MakeBody("TRC", 23, {5, 5, 5, -30, 0, 0, 1e-3, 2}));
    out.push_back(MakeBody("REC", 24, {1, 2, 3, 0, 0, 1e-2, 1e-2, 0, 0, 0, 2e-2, 0}));
    out.push_back(MakeBody("GEL", 25, {0, 0, 0, 1, 1, 0, -1, 1, 0, 0, 0, 1e-3}));
    out.push_back(MakeBody("RCC", 26, {0, 0, 0, 0, 0, 0, 1}));                // zero axis
    out.push_back(MakeBody("BOX", 27, {0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1})); // dependent edges
    out.push_back(MakeBody("SPH", 28, {0, 0, 0, -1}));                        // negative radius
    out.push_back(MakeBody("RPP", 29, {1, -1, 0, 1, 0, 1}));                  // inverted
    for (TGeoData& b : out) PrepareBody(b);
    return out;
}

void ExpectSameCrossings(const TGeoData& prepared, const TGeoData& plain, const TVector& o,
                         const TVector& d) {
    TMatrixA3d p1, p2;
    TMatrixAi c1, c2;
    RayBodyIntersections(o, d, prepared, p1, c1);
    RayBodyIntersections(o, d, plain, p2, c2);
    ASSERT_EQ(c1, c2) << prepared.Symbol << " " << prepared.Number;
    for (size_t i = 0; i < p1.size(); ++i) {
        EXPECT_TRUE(SameBits(p1[i].x, p2[i].x) && SameBits(p1[i].y, p2[i].y) &&
                    SameBits(p1[i].z, p2[i].z))
            << prepared.Symbol << " " << prepared.Number;
    }
}
} // namespace

TEST(PreparedBodies, ACopyStartsUnpreparedAndAMoveKeepsThePreparation) {
    TGeoData b = Prepared(MakeBody("SPH", 1, {0, 0, 0, 1}));
    ASSERT_TRUE(b.Prep.Ready);
    TGeoData copy = b;
    EXPECT_FALSE(copy.Prep.Ready);
    copy.Params[3] = 2; // an enlarged copy must see its new radius
    EXPECT_TRUE(PointInBody(copy, 1.5, 0, 0));
    EXPECT_FALSE(PointInBody(b, 1.5, 0, 0));
    TGeoData moved = std::move(b);
    EXPECT_TRUE(moved.Prep.Ready);
}

TEST(PreparedBodies, GiveBitIdenticalCrossingsAndInsideTests) {
    std::mt19937_64 rng(77);
    std::uniform_real_distribution<double> u(-1, 1);
    for (const TGeoData& body : StressBodies()) {
        TGeoData plain = body; // unprepared copy
        ASSERT_FALSE(plain.Prep.Ready);
        double c[3] = {0, 0, 0}, s = 3;
        if (body.Prep.Bounded && body.Prep.Box[0] <= body.Prep.Box[1]) {
            const auto& x = body.Prep.Box;
            c[0] = (x[0] + x[1]) / 2, c[1] = (x[2] + x[3]) / 2, c[2] = (x[4] + x[5]) / 2;
            s = std::max({x[1] - x[0], x[3] - x[2], x[5] - x[4], 1e-9});
        }
        for (int i = 0; i < 3000; ++i) {
            // starts near and far; directions at random and aimed close past the body, so that
            // the ray culling meets grazing lines
            double far = (i % 3 == 0) ? 1e3 : (i % 3 == 1) ? 3 : 0.6;
            TVector o{c[0] + far * s * u(rng), c[1] + far * s * u(rng), c[2] + far * s * u(rng)};
            TVector d = RandomUnit(rng);
            if (i % 2) {
                TVector aim{c[0] + 0.6 * s * u(rng), c[1] + 0.6 * s * u(rng),
                            c[2] + 0.6 * s * u(rng)};
                if (Length(aim - o) > 0) d = Unit(aim - o);
            }
            ExpectSameCrossings(body, plain, o, d);
            for (TVector axis : {TVector{1, 0, 0}, TVector{0, -1, 0}, TVector{0, 0, 1}})
                ExpectSameCrossings(body, plain, o, axis);
            // points around the enclosing box, where the culling decides
            TVector p{c[0] + 0.52 * s * u(rng), c[1] + 0.52 * s * u(rng), c[2] + 0.52 * s * u(rng)};
            EXPECT_EQ(Inside(body, p), Inside(plain, p)) << body.Symbol << " " << body.Number;
            TMatrixA3d pts;
            TMatrixAi codes;
            RayBodyIntersections(o, d, plain, pts, codes);
            for (const TVector& q : pts) // points on the surface
                EXPECT_EQ(Inside(body, q), Inside(plain, q)) << body.Symbol << " " << body.Number;
        }
    }
}

namespace {
// A random scene of overlapping bodies of every type and zones of every shape the search meets:
// several groups, empty groups, only negative terms, terms of missing or unknown bodies, signs of
// 0, groups that are not joined by "O".
void RandomScene(std::mt19937_64& rng, TAGeoData& bodies, TAZoneData& zones) {
    std::uniform_real_distribution<double> u(-5, 5);
    std::vector<TGeoData> kinds = StressBodies();
    bodies.clear();
    zones.clear();
    for (int i = 0; i < 40; ++i) {
        TGeoData b = kinds[static_cast<size_t>(rng() % 18)]; // the sample bodies only
        TVector shift{u(rng), u(rng), u(rng)};
        // every type's parameters 1-3 are a point that moves the body (HAF: its normal)
        if (b.Symbol != "HAF" && b.Symbol != "RPP") {
            b.Params[0] += shift.x, b.Params[1] += shift.y, b.Params[2] += shift.z;
        }
        if (b.Symbol == "ARB")
            for (int k = 1; k < 8; ++k)
                b.Params[static_cast<size_t>(3 * k)] += shift.x,
                    b.Params[static_cast<size_t>(3 * k + 1)] += shift.y,
                    b.Params[static_cast<size_t>(3 * k + 2)] += shift.z;
        if (b.Symbol == "ELL")
            b.Params[3] += shift.x, b.Params[4] += shift.y, b.Params[5] += shift.z;
        b.Number = i + 1;
        bodies.push_back(std::move(b));
    }
    bodies.push_back(MakeBody("XYZ", 99, {}));
    int nb = static_cast<int>(bodies.size());
    for (int z = 0; z < 30; ++z) {
        TZoneData zd;
        zd.Name = "Z";
        zd.Name += std::to_string(z);
        int groups = 1 + static_cast<int>(rng() % 3);
        for (int g = 0; g < groups; ++g) {
            TMatrixAi idx, sgn;
            int terms = static_cast<int>(rng() % 5); // 0: an empty group
            bool onlyNegative = rng() % 5 == 0;
            for (int t = 0; t < terms; ++t) {
                int b = static_cast<int>(rng() % static_cast<uint64_t>(nb + 1)) - 1; // -1: missing
                idx.push_back(b);
                int s = onlyNegative ? -1 : (rng() % 3 == 0 ? -1 : 1);
                if (rng() % 40 == 0) s = 0;
                sgn.push_back(s);
            }
            zd.BodyIndex.push_back(idx);
            zd.Sign.push_back(sgn);
            zd.GroupOp.push_back(rng() % 10 == 0 ? 'X' : 'O');
        }
        zones.push_back(zd);
    }
    PrepareBodies(bodies);
}
} // namespace

TEST(ZoneIndex, FindsExactlyWhatThePlainSearchFinds) { // and all-body crossings match too
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(-9, 9);
    for (int scene = 0; scene < 6; ++scene) {
        TAGeoData bodies;
        TAZoneData zones;
        RandomScene(rng, bodies, zones);
        TZoneIndex index;
        BuildZoneIndex(bodies, zones, index);
        ASSERT_TRUE(index.Ready);
        TAGeoData unprepared(bodies.begin(), bodies.end()); // copies: unprepared
        TRayCull unpreparedCull;                            // culls nothing
        BuildRayCull(unprepared, unpreparedCull);
        TMatrixAi a, b, c;
        int nonEmpty = 0;
        for (int i = 0; i < 4000; ++i) {
            TVector o{u(rng), u(rng), u(rng)}, d = RandomUnit(rng);
            std::vector<TVector> pts{o};
            TMatrixAi codes{-1};
            for (const TGeoData& body : unprepared) RayBodyIntersections(o, d, body, pts, codes);
            // all bodies at once, prepared, give the same lists bit for bit
            TMatrixA3d all{o};
            TMatrixAi allCodes{-1};
            RayBodiesIntersections(o, d, bodies, index.Rays, all, allCodes);
            ASSERT_EQ(allCodes, codes);
            TMatrixA3d viaUnprepared{o};
            TMatrixAi viaUnpreparedCodes{-1};
            RayBodiesIntersections(o, d, unprepared, unpreparedCull, viaUnprepared,
                                   viaUnpreparedCodes);
            ASSERT_EQ(viaUnpreparedCodes, codes);
            for (size_t q = 0; q < all.size(); ++q)
                ASSERT_TRUE(SameBits(all[q].x, pts[q].x) && SameBits(all[q].y, pts[q].y) &&
                            SameBits(all[q].z, pts[q].z));
            for (const TVector& p : pts) { // on surfaces and off them
                int n1 = FindZone(bodies, zones, a, p.x, p.y, p.z);
                int n2 = FindZone(bodies, zones, index, b, p.x, p.y, p.z);
                ASSERT_EQ(n1, n2);
                ASSERT_EQ(a, b);
                FindZone(unprepared, zones, c, p.x, p.y, p.z);
                ASSERT_EQ(a, c);
                if (n1 > 0) ++nonEmpty;
            }
        }
        EXPECT_GT(nonEmpty, 1000);
        // far outside every box and non-finite points
        for (TVector p : {TVector{1e9, 0, 0}, TVector{-1e300, 1e300, 0}, TVector{NAN, 0, 0},
                          TVector{INFINITY, 0, 0}}) {
            FindZone(bodies, zones, a, p.x, p.y, p.z);
            FindZone(bodies, zones, index, b, p.x, p.y, p.z);
            EXPECT_EQ(a, b);
        }
    }
}

// The search that carries body states along a ray, on every body type (degenerate ones too),
// terms naming missing bodies, terms of sign 0 and groups not joined by "O", prepared and not:
// the plain search's answer at every piece midpoint, with pieces left out and start-overs.
TEST(RayZoneSearch, CarriesExactlyWhatThePlainSearchFinds) {
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> u(-9, 9);
    for (int scene = 0; scene < 6; ++scene) {
        TAGeoData prepared;
        TAZoneData zones;
        RandomScene(rng, prepared, zones);
        TAGeoData unprepared(prepared.begin(), prepared.end());
        for (const TAGeoData* list : {&prepared, &unprepared}) {
            const TAGeoData& bodies = *list;
            TZoneIndex index;
            BuildZoneIndex(bodies, zones, index);
            TRayZoneSearch search;
            search.Always = true;
            TMatrixA3d pts;
            TMatrixAi codes, plain, carried;
            std::vector<uint32_t> kept;
            for (int i = 0; i < 1500; ++i) {
                TVector o{u(rng), u(rng), u(rng)}, d = RandomUnit(rng);
                if (i % 3 == 0) { // along an axis from round coordinates: faces, edges, tangents
                    o = {std::round(o.x), std::round(o.y), std::round(o.z)};
                    d = {0, 0, 0};
                    (i % 9 == 0 ? d.x : i % 9 == 3 ? d.y : d.z) = i % 2 ? -1 : 1;
                }
                pts.assign(1, o);
                codes.assign(1, -1);
                RayBodiesIntersections(o, d, bodies, index.Rays, pts, codes, &kept);
                std::vector<std::pair<double, size_t>> order;
                for (size_t k = 1; k < pts.size(); ++k)
                    if (std::isfinite(pts[k].x) && std::isfinite(pts[k].y) &&
                        std::isfinite(pts[k].z))
                        order.emplace_back(Length(pts[k] - o), k);
                std::sort(order.begin(), order.end());
                TMatrixA3d sorted{o};
                TMatrixAi sortedCodes{-1};
                for (const auto& e : order)
                    sorted.push_back(pts[e.second]), sortedCodes.push_back(codes[e.second]);
                search.Start(bodies, zones, index, sorted, sortedCodes, kept);
                for (size_t k = 0; k + 1 < sorted.size(); ++k) {
                    if (i % 4 == 1 && k % 3 == 1) continue;
                    TVector m = PieceMid(sorted, k);
                    FindZone(bodies, zones, plain, m.x, m.y, m.z);
                    search.Find(k, carried);
                    ASSERT_EQ(plain, carried) << "scene " << scene << " ray " << i << " piece " << k;
                }
                if (sorted.size() > 2) {
                    TVector m = PieceMid(sorted, 0);
                    FindZone(bodies, zones, plain, m.x, m.y, m.z);
                    search.Find(0, carried);
                    ASSERT_EQ(plain, carried) << "scene " << scene << " ray " << i << " again";
                }
            }
            EXPECT_GT(search.CarriedPieces, 3000);
        }
    }
}

TEST(ZoneIndex, FallsBackForOtherListsAndMatchesTheRulesOfTheZoneTest) {
    TAGeoData bodies{MakeBody("SPH", 1, {0, 0, 0, 2}), MakeBody("SPH", 2, {3, 0, 0, 2})};
    PrepareBodies(bodies);
    TZoneData inA, notA, both, second;
    inA.BodyIndex = {{0}}, inA.Sign = {{1}}, inA.GroupOp = {'O'};
    notA.BodyIndex = {{0}}, notA.Sign = {{-1}}, notA.GroupOp = {'O'};
    // the second group counts only when its letter is "O"
    both.BodyIndex = {{1}, {0}}, both.Sign = {{1}, {1}}, both.GroupOp = {'O', 'O'};
    second.BodyIndex = {{1}, {0}}, second.Sign = {{1}, {1}}, second.GroupOp = {'O', 'A'};
    TAZoneData zones{inA, notA, both, second};
    TZoneIndex index;
    BuildZoneIndex(bodies, zones, index);
    TMatrixAi r;
    // a surface point of the sphere is in it, so in exactly one of the two complementary zones
    EXPECT_EQ(FindZone(bodies, zones, index, r, 2, 0, 0), 3);
    EXPECT_EQ(r, (TMatrixAi{0, 2, 3}));
    EXPECT_EQ(FindZone(bodies, zones, index, r, -1.5, 0, 0), 2);
    EXPECT_EQ(r, (TMatrixAi{0, 2}));
    EXPECT_EQ(FindZone(bodies, zones, index, r, 9, 9, 9), 1);
    EXPECT_EQ(r, TMatrixAi{1});
    TAZoneData fewer{inA};
    EXPECT_EQ(FindZone(bodies, fewer, index, r, 0, 0, 0), 1); // built for 4 zones: plain search
    EXPECT_EQ(r, TMatrixAi{0});
    TZoneIndex none;
    EXPECT_EQ(FindZone(bodies, zones, none, r, 9, 9, 9), 1);
}

// Every answer of BodyBoxSide must hold at every point of the box: corners, face points and
// interior points, at every scale. Boxes of all sizes around and across each body.
TEST(BodyBoxSide, NeverClaimsASideThatSomePointOfTheBoxDenies) {
    std::mt19937_64 rng(16);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<TGeoData> bodies = StressBodies();
    bodies.push_back(MakeBody("HAF", 40, {0.3, -0.2, 1, 0.7}));
    bodies.push_back(MakeBody("RCC", 41, {-500, 0, 1, 1000, 0.1, 0, 2})); // long pipe
    int decided = 0, total = 0;
    for (double scale : {1e-4, 1.0, 1e4}) {
        for (TGeoData b : bodies) {
            for (size_t i = 0; i < (b.Symbol == "HAF" ? 3 : b.Symbol == "ARB" ? 24 : 12); ++i)
                b.Params[i] *= scale;
            PrepareBody(b);
            double c[3] = {0, 0, 0}, s = 4 * scale;
            if (b.Prep.Bounded && b.Prep.Box[0] <= b.Prep.Box[1]) {
                const auto& x = b.Prep.Box;
                c[0] = (x[0] + x[1]) / 2, c[1] = (x[2] + x[3]) / 2, c[2] = (x[4] + x[5]) / 2;
                s = std::max({x[1] - x[0], x[3] - x[2], x[5] - x[4], 1e-12 * scale});
            }
            for (int k = 0; k < 400; ++k) {
                double lo[3], hi[3], w = s * std::pow(2.0, -12 * u(rng));
                for (int a = 0; a < 3; ++a) {
                    lo[a] = c[a] + s * (1.4 * u(rng) - 0.7) - w / 2;
                    hi[a] = lo[a] + w * (0.2 + u(rng));
                }
                TBoxSide side = BodyBoxSide(b, lo, hi);
                ++total;
                if (side == TBoxSide::Unknown) continue;
                ++decided;
                for (int q = 0; q < 60; ++q) {
                    double p[3];
                    for (int a = 0; a < 3; ++a) {
                        // corners, then points on the edges, then inner points
                        double f = q < 8    ? (q >> a) & 1
                                   : q < 30 ? (a == q % 3 ? u(rng) : static_cast<double>(rng() % 2))
                                            : u(rng);
                        p[a] = f == 1 ? hi[a] : lo[a] + f * (hi[a] - lo[a]);
                    }
                    ASSERT_EQ(PointInBody(b, p[0], p[1], p[2]), side == TBoxSide::Inside)
                        << b.Symbol << " " << b.Number << " scale " << scale;
                }
            }
        }
    }
    EXPECT_GT(decided, total / 3); // it must decide most boxes, not shrug
}
