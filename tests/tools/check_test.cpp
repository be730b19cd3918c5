#include "BenchScenes.h"
#include "ToolGeometry.h"
#include "tools/core/CheckCore.h"
#include "tools/core/CheckFormat.h"
#include "tools/core/CheckRay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <new>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every ray starts at the origin and runs along +x unless the test says otherwise.
TCheckSettings AlongX(int rays) {
    TCheckSettings s;
    s.Rays = rays;
    s.Tmin = s.Tmax = 0;
    s.Pmin = s.Pmax = 0;
    return s;
}

std::vector<std::string> RunCheck(const TGeometry& g, const TCheckSettings& s,
                                  TCheckErrorSegments& errors, int chunk = 1000000,
                                  int threads = 1) {
    TCheckRun run(errors);
    run.Threads = threads;
    run.Start(g.Bodies, g.Zones, s);
    while (run.Running()) run.Advance(chunk);
    return run.Lines();
}

// Sphere 1 (r 5) of material 1 inside a void shell up to sphere 3 (r 20); sphere 2 has r 6.
TGeometry Spheres() {
    TGeometry g;
    g.Bodies = {Sph(1, 5), Sph(2, 6), Sph(3, 20)};
    return g;
}

} // namespace

TEST(CheckFormat, ScientificWithThreeExponentDigits) {
    EXPECT_EQ(FormatE(12.5, 4, 11), " 1.250E+001");
    EXPECT_EQ(FormatE(-0.001, 4, 11), "-1.000E-003");
    EXPECT_EQ(FormatE(0.0, 4, 11), " 0.000E+000");
    EXPECT_EQ(FormatE(1234.5, 5), "1.2345E+003");
    EXPECT_EQ(FormatE(-2.5e-120, 5), "-2.5000E-120");
    EXPECT_EQ(FormatF(0.5, 5), "0.50000");
    EXPECT_EQ(PadLeft("Z1", 8), "      Z1");
    EXPECT_EQ(PadLeft("LONGNAME9", 8), "LONGNAME9");
}

TEST(CheckFormat, EntriesUseTheDotWhateverTheLocale) {
    EXPECT_EQ(ParseReal(" -1.5e2 "), -150.0);
    EXPECT_EQ(ParseReal("+3"), 3.0);
    EXPECT_FALSE(ParseReal("1,5"));
    EXPECT_FALSE(ParseReal(""));
    EXPECT_FALSE(ParseReal("inf"));
    EXPECT_FALSE(ParseReal("1e999"));
    EXPECT_EQ(ParseInt("100000"), 100000);
    EXPECT_EQ(ParseInt("-7"), -7);
    EXPECT_FALSE(ParseInt("1.0"));
    EXPECT_FALSE(ParseInt("+-1"));
    EXPECT_FALSE(ParseInt("99999999999"));

    TCheckEntries e;
    TCheckSettings s;
    std::string error;
    ASSERT_TRUE(ConvertCheckEntries(e, s, error));
    EXPECT_EQ(s.Rays, 100000);
    EXPECT_EQ(s.Tmax, 360);
    EXPECT_EQ(s.Pmin, -90);
    e.Ymax = "1,0";
    EXPECT_FALSE(ConvertCheckEntries(e, s, error));
    EXPECT_NE(error.find("\"1,0\""), std::string::npos);
    EXPECT_NE(error.find("Y max"), std::string::npos);
}

TEST(CheckRay, SortByDistanceKeepsTheOrderOfEqualDistances) {
    TMatrixA3d p = {{0, 0, 0}, {3, 0, 0}, {1, 0, 0}, {0, 3, 0}, {2, 0, 0}, {1, 0, 0}};
    TMatrixAi c = {-1, 30, 10, 31, 20, 11};
    SortCrossings(p, c);
    EXPECT_EQ(c, (TMatrixAi{-1, 10, 11, 20, 30, 31}));
    EXPECT_EQ(p[5].y, 3);
    TMatrixA3d q = {{0, 0, 0}, {5, 0, 0}, {0, 5, 0}, {1, 0, 0}};
    TMatrixAi k = {-1, 1, 2, 3};
    SortCrossings(q, k);
    EXPECT_EQ(k, (TMatrixAi{-1, 3, 1, 2}));

    // Many crossings (a ray through thousands of shells) against a plain stable sort; a
    // crossing that is no number goes last instead of upsetting the sort.
    uint32_t seed = 7;
    auto next = [&seed] { return (seed = seed * 134775813u + 1u) >> 8; };
    TMatrixA3d many = {{1, 2, 3}};
    TMatrixAi codes = {-1};
    for (int i = 0; i < 50000; ++i) {
        double t = static_cast<double>(next() % 5000) * 0.25; // many equal distances
        many.push_back({1 + t, 2, 3});
        codes.push_back(i);
    }
    many.push_back({std::nan(""), 2, 3});
    codes.push_back(-7);
    std::vector<size_t> order(many.size() - 2);
    for (size_t i = 0; i < order.size(); ++i) order[i] = i + 1;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return many[a].x < many[b].x; });
    TMatrixAi expected = {-1};
    for (size_t i : order) expected.push_back(codes[i]);
    expected.push_back(-7);
    SortCrossings(many, codes);
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(many[0].x, 1);
}

TEST(Check, AdvanceForTimeEqualsSingleSteps) {
    TGeometry g;
    g.Bodies = {Sph(1, 5), Sph(3, 20), Sph(4, 0.4, 2, 0, 0)};
    AddZone(g, "Z1", 1, {{1, -4}});
    AddZone(g, "Z2", 0, {{3, -1}});
    Prepare(g);
    TCheckSettings s;
    s.Rays = 300;
    s.Xmin = -4, s.Xmax = 4, s.Ymin = -4, s.Ymax = 4;
    TCheckErrorSegments e1, e2;
    TCheckRun one(e1), timed(e2);
    one.Start(g.Bodies, g.Zones, s);
    while (one.Running()) one.Step();
    timed.Start(g.Bodies, g.Zones, s);
    timed.AdvanceFor(0);
    while (timed.Running()) timed.AdvanceFor(0.002);
    EXPECT_EQ(one.Lines(), timed.Lines());
    EXPECT_EQ(one.Random.Seed, timed.Random.Seed);
}


TEST(Check, AnIdleStepReturnsWhileASlowRayIsStillBeingWalked) {
    TGeometry g = NestedScene(2000).Geo;
    Prepare(g); // a copy starts unprepared
    TCheckSettings s;
    s.Rays = 12; // a millisecond or more each: the walk spans many short steps
    TCheckErrorSegments e1, e2, e3;
    TCheckRun whole(e1);
    whole.Start(g.Bodies, g.Zones, s);
    while (whole.Running()) whole.Advance(1);

    TCheckRun idle(e2);
    idle.Start(g.Bodies, g.Zones, s);
    // no time given: the walk has only just begun when the step returns
    idle.AdvanceFor(0);
    EXPECT_TRUE(idle.Running());
    EXPECT_EQ(idle.RaysDone(), 0);
    int steps = 1;
    while (idle.Running()) idle.AdvanceFor(0.001), ++steps;
    EXPECT_GT(steps, 3);
    EXPECT_EQ(idle.Lines(), whole.Lines());
    EXPECT_EQ(idle.Random.Seed, whole.Random.Seed);

    // stopping abandons the ray being walked: the sequence goes on as if it was never drawn
    TCheckRun stopped(e3);
    stopped.Start(g.Bodies, g.Zones, s);
    const uint32_t seed = stopped.Random.Seed;
    stopped.AdvanceFor(0);
    stopped.StopByUser();
    EXPECT_FALSE(stopped.Running());
    EXPECT_EQ(stopped.Lines(), (std::vector<std::string>{"0%", "Stop by User"}));
    EXPECT_EQ(stopped.Random.Seed, seed);
    // and a run started while a walk is under way drops that walk
    stopped.Start(g.Bodies, g.Zones, s);
    stopped.AdvanceFor(0);
    stopped.Start(g.Bodies, g.Zones, s);
    while (stopped.Running()) stopped.Advance(1);
    EXPECT_EQ(stopped.Lines(), whole.Lines());
}

TEST(Check, OutOfRangeEntriesAreRefused) {
    TCheckEntries e;
    TCheckSettings s;
    std::string error;
    e.Xmin = "-1e308";
    EXPECT_FALSE(ConvertCheckEntries(e, s, error));
    EXPECT_NE(error.find("X min"), std::string::npos);
    EXPECT_NE(error.find("out of range"), std::string::npos);
    e.Xmin = "-1e30";
    EXPECT_TRUE(ConvertCheckEntries(e, s, error)) << error;
    e.Tmax = "1e31";
    EXPECT_FALSE(ConvertCheckEntries(e, s, error));
}

TEST(CheckRandom, ProgramGeneratorFromSeedZero) {
    TCheckRandom r;
    EXPECT_EQ(r.Next(), 1.0 / 4294967296.0);
    EXPECT_EQ(r.Seed, 1u);
    r.Next();
    EXPECT_EQ(r.Seed, 134775814u);
    r.Seed = 0xFFFFFFFFu;
    double v = r.Next(); // wraps modulo 2^32
    EXPECT_EQ(r.Seed, static_cast<uint32_t>(0xFFFFFFFFull * 134775813ull + 1));
    EXPECT_GE(v, 0.0);
    EXPECT_LT(v, 1.0);
}

TEST(Check, CleanGeometryEndsWithErrorCountZero) {
    TGeometry g = Spheres();
    AddZone(g, "Z1", 1, {{1}});
    AddZone(g, "Z2", 0, {{3, -1}});
    Prepare(g);
    TCheckErrorSegments errors;
    errors.Count = 4; // a run starts from an empty list
    TCheckSettings s;
    s.Rays = 300;
    s.Xmin = -3, s.Xmax = 3, s.Ymin = -2, s.Ymax = 2;
    auto lines = RunCheck(g, s, errors);
    EXPECT_EQ(lines, (std::vector<std::string>{"100%", "error count = 0", "Check End"}));
    EXPECT_EQ(errors.Count, 0);
}

TEST(Check, GapIsNoZoneAndTheTenthErrorStops) {
    TGeometry g = Spheres();
    AddZone(g, "Z1", 1, {{1}});
    AddZone(g, "Z2", 0, {{3, -2}}); // nothing between r 5 and r 6
    Prepare(g);
    TCheckErrorSegments errors;
    TCheckRun run(errors);
    run.Start(g.Bodies, g.Zones, AlongX(50));
    int calls = 0;
    while (run.Running()) {
        run.Step();
        ++calls;
    }
    EXPECT_EQ(calls, 10);
    EXPECT_EQ(run.RaysDone(), 9); // the stopping ray is not counted
    const auto& lines = run.Lines();
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[0], "18%");
    EXPECT_EQ(lines[1], "x= 5.500E+000 y= 0.000E+000 z= 0.000E+000 is no Zone");
    EXPECT_EQ(lines[2], "Body Number of including the point: 2 3");
    EXPECT_EQ(lines[21], "Stop by error count is 10 over");
    for (const auto& l : lines) EXPECT_NE(l, "Check End");
    ASSERT_EQ(errors.Count, 10);
    EXPECT_DOUBLE_EQ(errors.Entry[9].Mid.x, 5.5);
    EXPECT_DOUBLE_EQ(errors.Entry[9].Start.x, 5);
    EXPECT_DOUBLE_EQ(errors.Entry[9].End.x, 6);
}

TEST(Check, OverlapListsTheZoneNamesAndTakesTheFirstMaterial) {
    TGeometry g = Spheres();
    AddZone(g, "Z1", 1, {{2}});
    AddZone(g, "ZOUT", 0, {{3, -1}}); // shares r 5..6 with Z1
    Prepare(g);
    TCheckErrorSegments errors;
    auto lines = RunCheck(g, AlongX(1), errors);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1],
              "x= 5.500E+000 y= 0.000E+000 z= 0.000E+000 is Overlap Zone. Number[Z1,ZOUT]");
    EXPECT_EQ(lines[2], "Body Number of including the point: 2 3");
    EXPECT_EQ(lines[3], "error count = 1");
    EXPECT_EQ(lines[4], "Check End");
}

TEST(Check, MissingOuterVoidIsReportedWithTheDirection) {
    TGeometry g;
    g.Bodies = {Sph(1, 5)};
    AddZone(g, "Z1", 2, {{1}});
    Prepare(g);
    TCheckErrorSegments errors;
    auto lines = RunCheck(g, AlongX(1), errors);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "x= 5.250E+000 y= 0.000E+000 z= 0.000E+000 u= 1.000E+000 v= 0.000E+000 "
                        "w= 0.000E+000  Material Number 0 is not exist");
    EXPECT_EQ(lines[2], "Body Number of including the point:");
    ASSERT_EQ(errors.Count, 1);
    EXPECT_DOUBLE_EQ(errors.Entry[0].Start.x, 5);
    EXPECT_DOUBLE_EQ(errors.Entry[0].End.x, 5.5);
}

TEST(Check, GapAfterAVoidIsNotReportedButBetweenMaterialsItIs) {
    TGeometry g;
    g.Bodies = {Sph(1, 5), Sph(2, 6), Sph(3, 7), Sph(4, 20)};
    AddZone(g, "Z1", 1, {{1}});
    AddZone(g, "Z2", 0, {{2, -1}}); // void shell, then a gap from r 6 to r 7
    AddZone(g, "Z3", 0, {{4, -3}});
    Prepare(g);
    TCheckErrorSegments errors;
    EXPECT_EQ(RunCheck(g, AlongX(3), errors)[1], "error count = 0");
    g.Zones[1].Material = 3;
    auto lines = RunCheck(g, AlongX(1), errors);
    EXPECT_EQ(lines[1], "x= 6.500E+000 y= 0.000E+000 z= 0.000E+000 is no Zone");
    EXPECT_EQ(lines[3], "error count = 1");
}

TEST(Check, PiecesShorterThanOneHundredthAreNotTested) {
    TGeometry g;
    g.Bodies = {Sph(1, 5), Sph(2, 5.005), Sph(3, 20)};
    AddZone(g, "Z1", 1, {{1}});
    AddZone(g, "Z2", 0, {{3, -2}});
    Prepare(g);
    TCheckErrorSegments errors;
    EXPECT_EQ(RunCheck(g, AlongX(2), errors)[1], "error count = 0");
    g.Bodies[1].Params[3] = 5.02;
    Prepare(g);
    EXPECT_EQ(RunCheck(g, AlongX(1), errors)[2], "Body Number of including the point: 2 3");
}

TEST(Check, ZeroRaysEndAtOnceAndStopByUserKeepsTheLines) {
    TGeometry g;
    g.Bodies = {Sph(1, 5)};
    AddZone(g, "Z1", 1, {{1}});
    Prepare(g);
    TCheckErrorSegments errors;
    EXPECT_EQ(RunCheck(g, AlongX(0), errors),
              (std::vector<std::string>{"100%", "error count = 0", "Check End"}));
    EXPECT_EQ(RunCheck(g, AlongX(-5), errors)[2], "Check End");

    TCheckRun run(errors);
    run.Start(g.Bodies, g.Zones, AlongX(100));
    run.Step(); // one ray, one missing-void error
    run.StopByUser();
    EXPECT_FALSE(run.Running());
    EXPECT_EQ(run.Lines().back(), "Stop by User");
    EXPECT_EQ(run.Lines().size(), 4u);
    run.StopByUser(); // not running: nothing more
    EXPECT_EQ(run.Lines().size(), 4u);
    run.Start(g.Bodies, g.Zones, AlongX(100));
    EXPECT_EQ(run.Lines(), std::vector<std::string>{"0%"});
}

// Batches walked on several threads report exactly what single steps report, and the random
// sequence continues across runs (also after a stop by ten errors in the middle of a batch).
TEST(Check, BatchesOnThreadsEqualSingleStepsAndTheSequenceContinues) {
    TGeometry g;
    g.Bodies = {Sph(1, 5), Sph(3, 20), Sph(4, 0.4, 2, 0, 0)};
    AddZone(g, "Z1", 1, {{1, -4}}); // sphere 4 is a hole in no zone
    AddZone(g, "Z2", 0, {{3, -1}});
    Prepare(g);
    TCheckSettings s;
    s.Rays = 500;
    s.Xmin = -4, s.Xmax = 4, s.Ymin = -4, s.Ymax = 4, s.Zmin = -1, s.Zmax = 1;
    s.Pmin = -20, s.Pmax = 20;

    auto compare = [](const TGeometry& geo, const TCheckSettings& set, int rounds) {
        TCheckErrorSegments e1, e2;
        TCheckRun one(e1), many(e2);
        many.Threads = 2;
        for (int round = 0; round < rounds; ++round) {
            one.Start(geo.Bodies, geo.Zones, set);
            while (one.Running()) one.Step();
            many.Start(geo.Bodies, geo.Zones, set);
            while (many.Running()) many.Advance(137);
            EXPECT_EQ(one.Lines(), many.Lines());
            EXPECT_EQ(one.Random.Seed, many.Random.Seed);
            EXPECT_EQ(one.RaysDone(), many.RaysDone());
            EXPECT_EQ(e1.Count, e2.Count);
            for (int i = 0; i < e1.Count && i < e2.Count; ++i)
                EXPECT_EQ(e1.Entry[i].Mid.y, e2.Entry[i].Mid.y);
        }
        return one.Lines();
    };
    auto lines = compare(g, s, 3);
    EXPECT_GT(lines.size(), 2u);

    // Every ray meets the gap: the run stops at the tenth ray, inside the first batch.
    TGeometry gap = Spheres();
    AddZone(gap, "Z1", 1, {{1}});
    AddZone(gap, "Z2", 0, {{3, -2}});
    Prepare(gap);
    EXPECT_EQ(compare(gap, s, 4).back(), "Stop by error count is 10 over");

    // A second run continues the sequence instead of repeating it.
    TCheckErrorSegments e;
    TCheckRun run(e);
    s.Rays = 1;
    run.Start(gap.Bodies, gap.Zones, s);
    run.Advance(10);
    std::string first = run.Lines()[1];
    run.Start(gap.Bodies, gap.Zones, s);
    run.Advance(10);
    EXPECT_NE(run.Lines()[1], first);
    EXPECT_EQ(run.Random.Seed, [] {
        TCheckRandom r;
        for (int i = 0; i < 10; ++i) r.Next();
        return r.Seed;
    }());
}

// 100000 zones that all overlap on every ray: a batch of rays holds where its findings are,
// not every finding's zone list, so the memory stays that of the ten findings reported.
TEST(Check, MemoryStaysThatOfTheReportedFindings) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address space limit does not fit the sanitizer's shadow memory";
#endif
    TGeometry g = Spheres();
    for (int z = 0; z < 100000; ++z) AddZone(g, "Z" + std::to_string(z), 1, {{1}});
    AddZone(g, "SHELL", 0, {{3, -1}});
    Prepare(g);
    TCheckSettings s;
    s.Rays = 1000;
    pid_t child = fork();
    if (child == 0) {
        // the address space in use now, and 250 MB more
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(getpagesize()) +
                             (rlim_t(250) << 20);
        rlimit lim{limit, limit};
        setrlimit(RLIMIT_AS, &lim);
        try {
            TCheckErrorSegments errors;
            TCheckRun run(errors);
            run.Threads = 1;
            run.Start(g.Bodies, g.Zones, s);
            while (run.Running()) run.Advance(4096);
            const auto& lines = run.Lines();
            bool ok = lines.size() == 22 && lines.back() == "Stop by error count is 10 over" &&
                      lines[1].find("Number[Z0,Z1,Z2,") != std::string::npos &&
                      lines[1].find(",Z99999]") != std::string::npos;
            _exit(ok ? 0 : 1);
        } catch (const std::bad_alloc&) {
            _exit(2);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
