#include "ToolGeometry.h"
#include "input/FileWrite.h"
#include "tools/core/VolumeCore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

namespace {

constexpr double Pi = std::numbers::pi;

// Settings that never converge, so the run goes through every level up to `level`.
TVolumeSettings ToLevel(int level) {
    TVolumeSettings s;
    s.Level = level;
    s.RatioMin = 5, s.RatioMax = 6;
    return s;
}

TVolumeRun& RunAll(TVolumeRun& run, const TGeometry& g, const TVolumeSettings& s,
                   std::vector<bool> ticks = {}) {
    run.Reset(g.Zones);
    run.Start(g.Bodies, g.Zones, s, ticks);
    while (run.Running()) run.Step();
    return run;
}

void ExpectVolume(const TZoneVolume& v, double expected, double tolerance) {
    EXPECT_NEAR(v.XLast, expected, expected * tolerance);
    EXPECT_NEAR(v.YLast, expected, expected * tolerance);
    EXPECT_NEAR(v.ZLast, expected, expected * tolerance);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Rays through the faces and edges of several body types, with a few overlapping zones.
TGeometry Mixed() {
    TGeometry g;
    g.Bodies = {Sph(1, 30, 10, -5, 3), MakeBody("RPP", 2, {-60, 20, -30, 45, -70, 10}),
                MakeBody("RCC", 3, {5, 5, -80, 10, 20, 120, 25}), Sph(4, 95)};
    AddZone(g, "ZA", 1, {{1, -2}});
    AddZone(g, "ZB", 2, {{2}, {3, -1}});
    AddZone(g, "ZOUT", 0, {{4, -1, -2, -3}});
    Prepare(g);
    return g;
}

} // namespace

TEST(Volume, NestedSpheresMatchTheirFormulas) {
    TGeometry g;
    g.Bodies = {Sph(1, 30), Sph(2, 60, 5, -3, 2)};
    AddZone(g, "Z1", 1, {{1}});
    AddZone(g, "Z2", 1, {{2, -1}});
    AddZone(g, "Z3", 0, {{-2}});
    Prepare(g);
    TCheckErrorSegments errors;
    errors.Count = 3;
    TVolumeRun run(errors);
    RunAll(run, g, ToLevel(7));
    EXPECT_EQ(errors.Count, 0); // a volume run clears the check's errors
    EXPECT_EQ(run.Lines(), (std::vector<std::string>{"100%", "Calculation Finished"}));
    double v1 = 4.0 / 3 * Pi * 30 * 30 * 30;
    double v2 = 4.0 / 3 * Pi * 60 * 60 * 60 - v1;
    ExpectVolume(run.Volumes[0], v1, 0.005);
    ExpectVolume(run.Volumes[1], v2, 0.005);
}

TEST(Volume, BoxIsExactAndCylinderMatchesItsFormula) {
    TGeometry g;
    g.Bodies = {MakeBody("RPP", 1, {-50, 50, -50, 50, -50, 50}),
                MakeBody("RCC", 2, {0, 0, -50, 0, 0, 100, 40})};
    AddZone(g, "BOX", 1, {{1}});
    AddZone(g, "CYL", 1, {{2}});
    Prepare(g);
    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    RunAll(run, g, ToLevel(8));
    // Exact but for the rounding of the cylinder's crossings, which split the box's pieces.
    ExpectVolume(run.Volumes[0], 1e6, 1e-12);
    // Rays across the axis measure the cross-section exactly; rays along it count cells.
    EXPECT_NEAR(run.Volumes[1].XLast, Pi * 40 * 40 * 100, 200);
    EXPECT_NEAR(run.Volumes[1].YLast, Pi * 40 * 40 * 100, 200);
    EXPECT_NEAR(run.Volumes[1].ZLast, Pi * 40 * 40 * 100, Pi * 40 * 40 * 100 * 0.005);
    EXPECT_EQ(run.ResultLines()[0],
              "     BOX = 1.0000E+006, 1.0000E+006, 1.0000E+006 [cm3]  1.00000, 1.00000, 1.00000");
}

TEST(Volume, EndsAtTheFirstLevelWhereTheTickedZonesConverge) {
    TGeometry g;
    g.Bodies = {MakeBody("RPP", 1, {-50, 50, -50, 50, -50, 50}), Sph(2, 17, 33, 0, 0)};
    AddZone(g, "BOX", 1, {{1}});
    AddZone(g, "ZS", 2, {{2}});
    Prepare(g);
    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    // The centre ray (level 0) and the four rays of level 1 see the same box.
    RunAll(run, g, TVolumeSettings{}, {true, false});
    EXPECT_EQ(run.Level(), 1);
    EXPECT_EQ(run.Lines(), (std::vector<std::string>{"1% , nlp=1, nlpcnt=2, ilp=1, jlp=1",
                                                     "Calculation Finished"}));
    EXPECT_EQ(run.ResultTicks(), (std::vector<bool>{true, false}));
    // Ticking the sphere holds the run back.
    RunAll(run, g, ToLevel(3), {true, true});
    TVolumeSettings s;
    s.Level = 3;
    RunAll(run, g, s, {true, true});
    EXPECT_EQ(run.Lines().front(), "100%");
    // Nothing ticked: never converges.
    RunAll(run, g, s, {});
    EXPECT_EQ(run.Lines(), (std::vector<std::string>{"100%", "Calculation Finished"}));
}

// A zone whose volume overflows a double: the volume reads INF, the ratio never reads nan.
TEST(Volume, OverflowingVolumesGiveNoNanRatio) {
    TGeometry g;
    g.Bodies = {Sph(1, 1e150)};
    AddZone(g, "HUGE", 1, {{1}});
    Prepare(g);
    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    TVolumeSettings s = ToLevel(2);
    s.Xmin = s.Ymin = s.Zmin = -1e150;
    s.Xmax = s.Ymax = s.Zmax = 1e150;
    RunAll(run, g, s, {true});
    ASSERT_EQ(run.ResultLines().size(), 1u);
    const std::string& line = run.ResultLines()[0];
    EXPECT_EQ(line.find("nan"), std::string::npos) << line;
    EXPECT_EQ(line.find("NAN"), std::string::npos) << line;
}

TEST(Volume, ProgressLineAndLevelZero) {
    TGeometry g = Mixed();
    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    run.Reset(g.Zones);
    EXPECT_EQ(run.ResultLines()[2],
              "    ZOUT = 0.0000E+000, 0.0000E+000, 0.0000E+000 [cm3]  0.00000, 0.00000, 0.00000");
    TVolumeSettings s;
    s.Level = 3;
    run.Start(g.Bodies, g.Zones, s, {true, true, true});
    EXPECT_EQ(run.PositionsTotal(), 85);
    run.Step();
    EXPECT_EQ(run.Lines()[0], "0%");
    run.Step();
    EXPECT_EQ(run.Lines()[0], "2% , nlp=0, nlpcnt=1, ilp=0, jlp=0");
    run.Step();
    EXPECT_EQ(run.Lines()[0], "3% , nlp=1, nlpcnt=2, ilp=0, jlp=1");
    run.StopByUser();
    EXPECT_EQ(run.Lines().back(), "Stop by User");
    EXPECT_FALSE(run.Running());

    // L = 0: three rays, then the end (the first-row range excludes 0).
    s.Level = 0;
    RunAll(run, g, s, {true});
    EXPECT_EQ(run.Lines(), (std::vector<std::string>{"100%", "Calculation Finished"}));
    s.RatioMin = 0;
    s.AgreeMin = 0, s.AgreeMax = 10;
    RunAll(run, g, s, {false, false, true});
    EXPECT_EQ(run.Lines(), (std::vector<std::string>{"100% , nlp=0, nlpcnt=1, ilp=0, jlp=0",
                                                     "Calculation Finished"}));
}

TEST(Volume, SumsAreBitIdenticalOnAnyNumberOfThreads) {
    TGeometry g = Mixed();
    TCheckErrorSegments errors;
    TVolumeRun one(errors), two(errors), three(errors);
    two.Threads = 2;
    three.Threads = 3;
    RunAll(one, g, ToLevel(6));
    RunAll(two, g, ToLevel(6));
    RunAll(three, g, ToLevel(6));
    for (size_t z = 0; z < g.Zones.size(); ++z) {
        for (const TVolumeRun* r : {&two, &three}) {
            EXPECT_EQ(r->Volumes[z].XLast, one.Volumes[z].XLast);
            EXPECT_EQ(r->Volumes[z].YLast, one.Volumes[z].YLast);
            EXPECT_EQ(r->Volumes[z].ZLast, one.Volumes[z].ZLast);
        }
    }
    EXPECT_EQ(one.ResultLines(), three.ResultLines());
    EXPECT_GT(one.Volumes[1].XLast, 0);
}

TEST(Volume, StepsByTimeTakeRowsInPartsWithTheSameSums) {
    TGeometry g = Mixed();
    TCheckErrorSegments errors;
    TVolumeRun whole(errors), timed(errors);
    RunAll(whole, g, ToLevel(5));
    timed.Reset(g.Zones);
    timed.Start(g.Bodies, g.Zones, ToLevel(5), {});
    // level 0 (one position), its completion, then one position of the 2x2 level 1
    timed.StepFor(0);
    timed.StepFor(0);
    timed.StepFor(0);
    EXPECT_EQ(timed.PositionsDone(), 2);
    EXPECT_EQ(timed.Level(), 1);
    while (timed.Running()) timed.StepFor(0.001);
    EXPECT_EQ(timed.PositionsDone(), whole.PositionsDone());
    for (size_t z = 0; z < g.Zones.size(); ++z) {
        EXPECT_EQ(timed.Volumes[z].XLast, whole.Volumes[z].XLast);
        EXPECT_EQ(timed.Volumes[z].ZLast, whole.Volumes[z].ZLast);
    }
    EXPECT_EQ(timed.Lines(), whole.Lines());
    EXPECT_EQ(timed.ResultLines(), whole.ResultLines());
}

TEST(Volume, BoxBeyondTheRangeIsRefusedAndNoNumberIsPrinted) {
    TVolumeEntries e;
    TVolumeSettings s;
    std::string error;
    e.Xmin = "-1e308";
    e.Xmax = "1e308";
    EXPECT_FALSE(ConvertVolumeEntries(e, s, error));
    EXPECT_NE(error.find("out of range"), std::string::npos);
    // the largest box accepted gives finite sums and ratios
    e.Xmin = e.Ymin = e.Zmin = "-1e30";
    e.Xmax = e.Ymax = e.Zmax = "1e30";
    e.Level = "2";
    ASSERT_TRUE(ConvertVolumeEntries(e, s, error)) << error;
    TGeometry g;
    g.Bodies = {MakeBody("RPP", 1, {-1e30, 1e30, -1e30, 1e30, -1e30, 1e30})};
    AddZone(g, "ALL", 1, {{1}});
    Prepare(g);
    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    s.RatioMin = 5, s.RatioMax = 6;
    RunAll(run, g, s);
    EXPECT_TRUE(std::isfinite(run.Volumes[0].XLast));
    EXPECT_NEAR(run.Volumes[0].XLast / 8e90, 1, 1e-9);
    for (const std::string& line : run.ResultLines()) {
        EXPECT_EQ(line.find("NAN"), std::string::npos) << line;
        EXPECT_EQ(line.find("nan"), std::string::npos) << line;
        EXPECT_EQ(line.find("INF"), std::string::npos) << line;
    }
}

TEST(Volume, EntriesAcceptLevelsZeroToFourteen) {
    TVolumeEntries e;
    TVolumeSettings s;
    std::string error;
    ASSERT_TRUE(ConvertVolumeEntries(e, s, error));
    EXPECT_EQ(s.Level, 12);
    EXPECT_EQ(s.Xmin, -100);
    EXPECT_EQ(s.AgreeMax, 1.001);
    e.Level = "14";
    EXPECT_TRUE(ConvertVolumeEntries(e, s, error));
    for (const char* bad : {"15", "-1", "1.5", "x"}) {
        e.Level = bad;
        EXPECT_FALSE(ConvertVolumeEntries(e, s, error)) << bad;
        EXPECT_NE(error.find("Division level"), std::string::npos);
    }
    e.Level = "3";
    e.Zmax = "1e";
    EXPECT_FALSE(ConvertVolumeEntries(e, s, error));
}

TEST(VolumeFile, LayoutNameAndSafeReplace) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("trazon_volume_test_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);

    EXPECT_EQ(VolumeFileName("/a.b/out"), "/a.b/out.dat");
    EXPECT_EQ(VolumeFileName("out.txt"), "out.txt");
    EXPECT_EQ(VolumeFileName("out/"), "out/"); // a directory gets no hidden "out/.dat"
    EXPECT_EQ(OverwriteQuestion("/x/y/res.dat"), "res.dat is Found! OverWrite OK?");

    TGeometry g;
    g.Bodies = {Sph(1, 1)};
    AddZone(g, "Z1", 1, {{1}});
    AddZone(g, "OUTER", 0, {{-1}});
    std::vector<TZoneVolume> v(2);
    v[0].XLast = 1, v[0].YLast = 2, v[0].ZLast = 6;
    v[0].X = 99; // the level in progress is not saved
    std::string error;
    std::string path = (dir / "res.dat").string();
    {
        std::ofstream old(path);
        old << "old content that is longer than the new one ..............................\n"
               "..........................................................................\n"
               "..........................................................................\n";
    }
    ASSERT_TRUE(WriteVolumeFile(path, g.Zones, v, error)) << error;
    EXPECT_EQ(ReadFile(path), "Zone_No.,     average, x_direction, y_direction, z_direction\n"
                              "        ,       (cm3),       (cm3),       (cm3),       (cm3)\n"
                              "      Z1, 3.0000E+000, 1.0000E+000, 2.0000E+000, 6.0000E+000\n"
                              "   OUTER, 0.0000E+000, 0.0000E+000, 0.0000E+000, 0.0000E+000\n");

    EXPECT_FALSE(WriteVolumeFile((dir / "missing" / "r.dat").string(), g.Zones, v, error));
    EXPECT_FALSE(error.empty());
    // A target that cannot be replaced leaves no temporary file behind.
    fs::create_directories(dir / "adir");
    EXPECT_FALSE(WriteVolumeFile((dir / "adir").string(), g.Zones, v, error));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
    fs::remove_all(dir);
}
