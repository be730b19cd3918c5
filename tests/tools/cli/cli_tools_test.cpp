// trazon-cli check and volume print what the dialogs' lists hold, from the same cores.
#include "input/Reader.h"
#include "tools/core/CheckCore.h"
#include "tools/core/VolumeCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TResult {
    int Exit = -1;
    std::string Out, Err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class CliTools : public ::testing::Test {
  protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("trazon_cli_tools_" + std::to_string(::getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        // Sphere 1 (material 1) and a void shell with a gap from r 5 to r 6.
        Data = Dir / "gap.dat";
        std::ofstream(Data) << "CSTA-FREE\n"
                               "SPH 1 0 0 0 5\nSPH 2 0 0 0 6\nSPH 3 0 0 0 20\nEND\n"
                               "Z1 1\nZ2 3 -2\nEND\nCEND\nMSTA\n2\n1 0\nMEND\n";
    }
    void TearDown() override { fs::remove_all(Dir); }

    TResult Cli(const std::string& args, const std::string& env = "") {
        fs::path err = Dir / "stderr.txt";
        std::string cmd = env + std::string(TRAZON_CLI) + " " + args + " 2>" + err.string();
        TResult r;
        FILE* p = popen(cmd.c_str(), "r");
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
        int status = pclose(p);
        r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.Err = Slurp(err);
        return r;
    }

    TGeometry Load(const fs::path& file) {
        TGeometry g;
        TTracks tracks;
        TDisplaySettings settings;
        double size = 0;
        TDataReader reader(g, tracks, settings, size);
        EXPECT_TRUE(reader.Load(file.string()));
        return g;
    }

    static std::string Joined(const std::vector<std::string>& lines) {
        std::string s;
        for (const auto& l : lines) s += l + "\n";
        return s;
    }

    fs::path Dir, Data;
};

} // namespace

TEST_F(CliTools, CheckPrintsTheDialogsLinesFromSeedZero) {
    TResult r = Cli("check " + Data.string() + " --rays 40 --start -1 1 -1 1 -1 1 --phi -30 30");
    EXPECT_EQ(r.Exit, 0);
    TGeometry g = Load(Data);
    TCheckErrorSegments errors;
    TCheckRun run(errors);
    TCheckSettings s;
    s.Rays = 40;
    s.Xmin = s.Ymin = s.Zmin = -1;
    s.Xmax = s.Ymax = s.Zmax = 1;
    s.Pmin = -30, s.Pmax = 30;
    run.Start(g.Bodies, g.Zones, s);
    while (run.Running()) run.Step();
    EXPECT_EQ(r.Out, Joined(run.Lines()));
    EXPECT_NE(r.Out.find("Stop by error count is 10 over\n"), std::string::npos);
    EXPECT_TRUE(r.Err.empty()) << r.Err; // no progress when standard error is no terminal
}

TEST_F(CliTools, VolumePrintsFinalAndResultLinesAndWritesTheFile) {
    TResult r = Cli("volume " + Data.string() +
                    " --level 4 --zones Z1 --box -10 10 -10 10 -10 10"
                    " --ratio 0.9 1.1 --agree 0.5 2 -o " +
                    (Dir / "out").string());
    EXPECT_EQ(r.Exit, 0) << r.Err;
    TGeometry g = Load(Data);
    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    TVolumeSettings s;
    s.Level = 4;
    s.Xmin = s.Ymin = s.Zmin = -10;
    s.Xmax = s.Ymax = s.Zmax = 10;
    s.RatioMin = 0.9, s.RatioMax = 1.1, s.AgreeMin = 0.5, s.AgreeMax = 2;
    run.Reset(g.Zones);
    run.Start(g.Bodies, g.Zones, s, {true, false});
    while (run.Running()) run.Step();
    EXPECT_EQ(r.Out, Joined(run.Lines()) + Joined(run.ResultLines()));
    std::string file = Slurp(Dir / "out.dat");
    EXPECT_EQ(file.rfind("Zone_No.,     average, x_direction, y_direction, z_direction\n", 0), 0u);
    EXPECT_NE(file.find("\n      Z1, "), std::string::npos);
}

// Without --zones only the zones of a material above 0 are ticked: the outer void Z3 has no
// volume inside the box, never converges and runs "--zones all" to the last level.
TEST_F(CliTools, VolumeDefaultTicksTheMaterialZones) {
    const fs::path data = Dir / "outer.dat";
    std::ofstream(data) << "CSTA-FREE\n"
                           "SPH 1 0 0 0 5\nSPH 2 0 0 0 20\nEND\n"
                           "Z1 1\nZ2 2 -1\nZ3 -2\nEND\nCEND\nMSTA\n3\n1 1 0\nMEND\n";
    const std::string common = "volume " + data.string() +
                               " --level 6 --box -10 10 -10 10 -10 10 --ratio 0.5 2 --agree 0.5 2";
    TResult byDefault = Cli(common);
    TResult named = Cli(common + " --zones Z1,Z2");
    TResult all = Cli(common + " --zones all");
    EXPECT_EQ(byDefault.Exit, 0) << byDefault.Err;
    EXPECT_EQ(all.Exit, 0) << all.Err;
    EXPECT_EQ(byDefault.Out, named.Out);
    // converged early; with the void zone every level is run
    EXPECT_NE(byDefault.Out.rfind("100%", 0), 0u) << byDefault.Out;
    EXPECT_EQ(all.Out.rfind("100%", 0), 0u) << all.Out;
}

TEST_F(CliTools, ReadErrorsAndWrongUsage) {
    fs::path bad = Dir / "bad.dat";
    std::ofstream(bad) << "HELLO\n";
    TResult r = Cli("check " + bad.string());
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find("error : Not found keyword CSTA or GSTA"), std::string::npos) << r.Err;
    EXPECT_TRUE(r.Out.empty());
    EXPECT_EQ(Cli("volume " + bad.string()).Exit, 1);

    EXPECT_EQ(Cli("volume " + Data.string() + " --level 15").Exit, 2);
    EXPECT_EQ(Cli("volume " + Data.string() + " --zones Z1,NOPE").Exit, 2);
    EXPECT_EQ(Cli("check " + Data.string() + " --rays many").Exit, 2);
    EXPECT_EQ(Cli("check " + Data.string() + " --start 1 2 3").Exit, 2);
    EXPECT_EQ(Cli("check").Exit, 2);
    TResult help = Cli("check --help");
    EXPECT_EQ(help.Exit, 0);
    EXPECT_NE(help.Out.find("--theta"), std::string::npos);
    // Negative numbers are values, not options.
    TResult negative = Cli("check " + Data.string() + " --rays 3 --theta -10 10");
    EXPECT_EQ(negative.Exit, 0) << negative.Err;
    EXPECT_NE(negative.Out.find("Check End\n"), std::string::npos);
    // no ray checks nothing: no clean result for it
    for (const char* rays : {"0", "-1"}) {
        TResult none = Cli("check " + Data.string() + " --rays " + rays);
        EXPECT_EQ(none.Exit, 2) << rays;
        EXPECT_EQ(none.Out, "") << rays;
        EXPECT_NE(none.Err.find("--rays"), std::string::npos) << none.Err;
    }
}

// A result that does not reach its target is no success: a full device, a closed standard
// output; the exit code is the write error's own, not the read error's.
TEST_F(CliTools, OutputThatCannotBeWrittenIsAnError) {
    fs::path tracks = Dir / "tracks.dat";
    std::ofstream(tracks) << Slurp(Data) << "0 1\n4 5.5 0 0 1.0 2 1.0\n-1\n9 1\n";
    const std::string data = Data.string();
    for (const std::string& words :
         {"info " + data, "where " + data + " 1 0 0", "check " + data + " --rays 50",
          "volume " + data + " --level 2", "tracks " + tracks.string() + " --check-zones",
          std::string("--help")}) {
        for (const char* redirect : {" >/dev/full", " >&-"}) {
            std::string line = std::string(TRAZON_CLI) + " " + words + redirect + " 2>" +
                               (Dir / "err.txt").string();
            int status = std::system(("bash -c '" + line + "'").c_str());
            ASSERT_TRUE(WIFEXITED(status)) << words << redirect;
            EXPECT_EQ(WEXITSTATUS(status), 3) << words << redirect;
            EXPECT_NE(Slurp(Dir / "err.txt").find("the output cannot be written"),
                      std::string::npos)
                << words << redirect;
        }
    }
    EXPECT_NE(Cli("--help").Out.find("3 the output could not be written"), std::string::npos);
    EXPECT_EQ(Cli("info " + (Dir / "missing.dat").string() + " >/dev/full").Exit, 1);
}

// Memory running out in the middle of a run (here: a picture of 8192 x 8192 pixels within
// 200 MB of address space) is a message and exit code 4, not an abort.
TEST_F(CliTools, RunningOutOfMemoryIsAMessageAndExitCode4) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address space limit does not fit the sanitizer's shadow memory";
#endif
    const std::string line = "ulimit -v 200000; " + std::string(TRAZON_CLI) + " slice " +
                             Data.string() + " -o " + (Dir / "big.png").string() +
                             " --plane z=0 --size 8192x8192 --threads 1 2>" +
                             (Dir / "err.txt").string();
    const int status = std::system(("bash -c '" + line + "'").c_str());
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 4);
    EXPECT_EQ(Slurp(Dir / "err.txt"), "trazon-cli: out of memory\n");
    EXPECT_FALSE(fs::exists(Dir / "big.png"));
}

// "-o" onto a FIFO or a device writes into it; the node stays what it is, and only a plain
// file name gets ".dat".
TEST_F(CliTools, VolumeResultIntoAFifoOrADevice) {
    fs::path fifo = Dir / "result";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, Dir / "link");
    for (const fs::path& target : {fifo, Dir / "link"}) {
        fs::path got = Dir / "got.txt";
        pid_t reader = fork();
        if (reader == 0) {
            alarm(20); // a FIFO replaced by a file would leave this reader waiting forever
            std::ifstream in(fifo);
            std::ofstream(got) << in.rdbuf();
            _exit(0);
        }
        TResult r = Cli("volume " + Data.string() + " --level 1 -o " + target.string());
        waitpid(reader, nullptr, 0);
        EXPECT_EQ(r.Exit, 0) << r.Err;
        EXPECT_TRUE(fs::is_fifo(fifo));
        EXPECT_FALSE(fs::exists(target.string() + ".dat"));
        EXPECT_EQ(Slurp(got).rfind("Zone_No.", 0), 0u) << target;
    }
    TResult r = Cli("volume " + Data.string() + " --level 1 -o /dev/null");
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_FALSE(fs::exists("/dev/null.dat"));
    fs::remove("/dev/null.dat"); // what a faulty build would leave
}

// A zone name holding escape sequences reaches neither the terminal nor the result file raw.
TEST_F(CliTools, ControlCharactersOfNamesAreShownEscaped) {
    fs::path f = Dir / "esc.dat";
    std::ofstream(f) << "CSTA-FREE\nSPH 1 0 0 0 5\nSPH 2 0 0 0 6\nSPH 3 0 0 0 20\nEND\n"
                        "Z\x1b]0;t\x07\x1b[2J 1\nZ2 3 -2\nEND\nCEND\nMSTA\n2\n1 0\nMEND\n"
                        "0 1\n4 5.5 0 0 1.0 1 1.0\n-1\n9 1\n";
    const std::string shown = "Z\\x1B]0;T\\x07\\x1B[2J";
    fs::path dat = Dir / "r.dat";
    TResult runs[] = {Cli("where " + f.string() + " 1 0 0"),
                      Cli("tracks " + f.string() + " --check-zones"),
                      Cli("volume " + f.string() + " --level 1 --zones all -o " + dat.string()),
                      Cli("check " + f.string() + " --rays 1 --start 0 0 0 0 0 0")};
    for (const TResult& r : runs) {
        EXPECT_EQ(r.Exit, 0) << r.Err;
        EXPECT_EQ(r.Out.find('\x1b'), std::string::npos) << r.Out;
        EXPECT_EQ(r.Out.find('\x07'), std::string::npos) << r.Out;
    }
    EXPECT_EQ(runs[0].Out, "zones: " + shown + "\nmaterials: 1\nbodies: 1 2 3\n");
    EXPECT_NE(runs[1].Out.find("recorded " + shown + " found none"), std::string::npos);
    EXPECT_NE(runs[2].Out.find(shown + " = "), std::string::npos) << runs[2].Out;
    const std::string file = Slurp(dat);
    EXPECT_EQ(file.find('\x1b'), std::string::npos);
    EXPECT_NE(file.find("\n" + shown + ", "), std::string::npos) << file;
}

// Hostile inputs and closed pipes: a clear message or a clean exit, and no work directory left.
class CliHostile : public CliTools {
  protected:
    void SetUp() override {
        CliTools::SetUp();
        Tmp = Dir / "tmp";
        fs::create_directories(Tmp);
    }
    // Runs with the work directories below Tmp.
    TResult CliIn(const std::string& args) { return Cli(args, "TMPDIR=" + Tmp.string() + " "); }
    bool TmpEmpty() const { return fs::is_empty(Tmp); }
    fs::path Tmp;
};

TEST_F(CliHostile, VolumeTargetCheckedBeforeTheCalculation) {
    fs::create_directories(Dir / "out");
    TResult r = CliIn("volume " + Data.string() + " --level 14 -o " + (Dir / "out").string() + "/");
    EXPECT_EQ(r.Exit, 2);
    EXPECT_NE(r.Err.find("is a directory"), std::string::npos) << r.Err;
    EXPECT_TRUE(fs::is_empty(Dir / "out"));
    EXPECT_EQ(r.Out, "");
    r = CliIn("volume " + Data.string() + " --level 14 -o " + (Dir / "out").string());
    EXPECT_EQ(r.Exit, 2);
    r = CliIn("volume " + Data.string() + " --level 14 -o " + (Dir / "missing" / "r").string());
    EXPECT_EQ(r.Exit, 2);
    EXPECT_NE(r.Err.find("does not exist"), std::string::npos) << r.Err;
    EXPECT_TRUE(TmpEmpty());

    // a result file reached through a link replaces the file it points to
    fs::create_directories(Dir / "real");
    std::ofstream(Dir / "real" / "r.dat") << "old";
    fs::create_symlink(Dir / "real" / "r.dat", Dir / "link.dat");
    r = CliIn("volume " + Data.string() + " --level 1 -o " + (Dir / "link.dat").string());
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_TRUE(fs::is_symlink(Dir / "link.dat"));
    EXPECT_EQ(Slurp(Dir / "real" / "r.dat").rfind("Zone_No.", 0), 0u);
}

TEST_F(CliHostile, OutOfRangeBoxIsAUsageError) {
    TResult r = CliIn("volume " + Data.string() + " --box -1e308 1e308 -1 1 -1 1");
    EXPECT_EQ(r.Exit, 2);
    EXPECT_NE(r.Err.find("out of range"), std::string::npos) << r.Err;
    std::ofstream(Dir / "far.dat") << "CSTA-FREE\nSPH 1 0 0 0 5\nEND\nZ1 1\nEND\nCEND\nMSTA\n1\n1\n"
                                      "MEND\n0 1\n4 1e308 0 0 1 1 1\n";
    r = CliIn("info " + (Dir / "far.dat").string());
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find("Read Particle X coordinate Error (out of range"), std::string::npos);
    EXPECT_TRUE(TmpEmpty());
}

TEST_F(CliHostile, EndlessLineAndControlCharactersGiveAClearInertMessage) {
    TResult r = CliIn("info /dev/zero");
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err.rfind("error : Read Line Too Long Error\n", 0), 0u) << r.Err.substr(0, 200);
    EXPECT_LT(r.Err.size(), 400u);
    std::ofstream(Dir / "esc.dat") << "CSTA-FREE\nRPP \x1b]0;title\x07\x1b[2J 1 0 1 0 1 0 1\n";
    r = CliIn("info " + (Dir / "esc.dat").string());
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err.find('\x1b'), std::string::npos);
    EXPECT_NE(r.Err.find("ReadStr : ]0;TITLE\\x07\\x1B[2J\n"), std::string::npos) << r.Err;
    EXPECT_TRUE(TmpEmpty());
}

TEST_F(CliHostile, ClosedOutputPipeLeavesNoWorkDirectory) {
    for (const char* cmd : {"volume", "check", "info"}) {
        std::string line = "TMPDIR=" + Tmp.string() + " " + TRAZON_CLI + " " + cmd + " " +
                           Data.string() + (std::string(cmd) == "volume" ? " --level 6" : "") +
                           (std::string(cmd) == "check" ? " --rays 2000" : "") +
                           " 2>/dev/null | true";
        EXPECT_EQ(std::system(("bash -c '" + line + "'").c_str()), 0) << cmd;
        EXPECT_TRUE(TmpEmpty()) << cmd;
    }
    // while it runs, the command line keeps no work files either
    pid_t child = fork();
    if (child == 0) {
        setenv("TMPDIR", Tmp.c_str(), 1);
        freopen("/dev/null", "w", stdout);
        execl(TRAZON_CLI, TRAZON_CLI, "volume", Data.c_str(), "--level", "14", "--ratio", "5", "6",
              nullptr);
        _exit(127);
    }
    bool sawFiles = false;
    for (int i = 0; i < 40; ++i) {
        usleep(25000);
        for (const auto& d : fs::recursive_directory_iterator(Tmp))
            if (d.is_regular_file() && d.path().filename() != "owner") sawFiles = true;
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(sawFiles);
    // a run killed outright leaves at most its empty directory, which the next run removes
    TResult r = CliIn("info " + Data.string());
    EXPECT_EQ(r.Exit, 0);
    EXPECT_TRUE(TmpEmpty());
}

// ---- slice, where, tracks ----

TEST_F(CliTools, SlicePrintsItsCountsAndWritesThePicture) {
    fs::path png = Dir / "cut.png";
    TResult r = Cli("slice " + Data.string() + " -o " + png.string() + " --plane z=0");
    ASSERT_EQ(r.Exit, 0) << r.Err;
    // The box of sphere 3 (r 20) in 800 x 800 pixels; the gap from r 5 to 6 and the corners
    // outside sphere 3 are in no zone.
    long long pixels = -1, undefined = -1, overlap = -1;
    ASSERT_EQ(std::sscanf(r.Out.c_str(), "pixels: %lld\nundefined: %lld\noverlap: %lld\n", &pixels,
                          &undefined, &overlap),
              3)
        << r.Out;
    EXPECT_EQ(pixels, 640000);
    double pixelArea = (40.0 / 800) * (40.0 / 800);
    const double pi = 3.14159265358979;
    EXPECT_NEAR(undefined * pixelArea, 40 * 40 - pi * 400 + pi * 11, 0.005 * pi * 11);
    EXPECT_EQ(overlap, 0);
    EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 3);
    EXPECT_EQ(Slurp(png).substr(1, 3), "PNG");

    // A window and a size of its own: the gap misses a window inside sphere 1.
    r = Cli("slice " + Data.string() + " -o " + (Dir / "in.bmp").string() +
            " --plane x=1 --window -2 2 -3 3 --size 40x60 --color material");
    EXPECT_EQ(r.Out, "pixels: 2400\nundefined: 0\noverlap: 0\n");
    EXPECT_EQ(Slurp(Dir / "in.bmp").substr(0, 2), "BM");

    for (const char* bad : {" --plane w=1", " --plane z=0 --size 0x5", " --plane z=0 --color red",
                            " --plane z=0 --window 1 0 0 1", " --plane z", ""}) {
        TResult u = Cli("slice " + Data.string() + " -o " + png.string() + bad);
        EXPECT_EQ(u.Exit, 2) << bad;
        EXPECT_NE(u.Err.find("Usage:"), std::string::npos) << bad;
    }
    EXPECT_EQ(Cli("slice " + Data.string() + " --plane z=0").Exit, 2); // no picture
    EXPECT_EQ(Cli("slice " + Data.string() + " -o x.gif --plane z=0").Exit, 2);
    // a folder that is missing is found before the picture is computed
    TResult missing = Cli("slice " + Data.string() + " -o " + (Dir / "none" / "a.png").string() +
                          " --plane z=0");
    EXPECT_EQ(missing.Exit, 2);
    EXPECT_NE(missing.Err.find("does not exist"), std::string::npos) << missing.Err;
}

TEST_F(CliTools, WherePrintsZonesMaterialsAndBodies) {
    EXPECT_EQ(Cli("where " + Data.string() + " 1 0 0").Out,
              "zones: Z1\nmaterials: 1\nbodies: 1 2 3\n");
    EXPECT_EQ(Cli("where " + Data.string() + " 0 -5.5 0").Out,
              "zones: none\nmaterials: none\nbodies: 2 3\n");
    EXPECT_EQ(Cli("where " + Data.string() + " 0 0 6").Out, // on sphere 2: still the gap
              "zones: none\nmaterials: none\nbodies: 2 3\n");
    EXPECT_EQ(Cli("where " + Data.string() + " 0 0 -7").Out,
              "zones: Z2\nmaterials: 0\nbodies: 3\n");
    EXPECT_EQ(Cli("where " + Data.string() + " 0 0 21").Out,
              "zones: none\nmaterials: none\nbodies: none\n");
    EXPECT_EQ(Cli("where " + Data.string() + " 1 2").Exit, 2);
    EXPECT_EQ(Cli("where " + Data.string() + " 1 2 z").Exit, 2);
}

TEST_F(CliTools, TracksCheckZonesPrintsCountsAndMismatches) {
    fs::path f = Dir / "tracks.dat";
    std::ofstream(f) << Slurp(Data) << "0 1\n"
                     << "4 1.234E+00 0.000E+00 0.000E+00 1.0 1 1.0\n"
                     << "4 5.000E+00 0.000E+00 0.000E+00 1.0 1 1.0\n"
                     << "4 6.000E+00 0.000E+00 0.000E+00 1.0 2 1.0\n" // on Z2's boundary
                     << "4 5.500E+00 0.000E+00 0.000E+00 1.0 2 1.0\n" // in the gap
                     << "-1\n9 1\n";
    TResult r = Cli("tracks " + f.string() + " --check-zones");
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Out, "points: 4\nmismatches: 1\n"
                     "history 1 track 1 point 4: 5.5 0 0 recorded Z2 found none\n");
    EXPECT_EQ(Cli("tracks " + f.string() + " --check-zones --tolerance 1").Out,
              "points: 4\nmismatches: 0\n");
    EXPECT_EQ(Cli("tracks " + f.string()).Exit, 2);
    EXPECT_EQ(Cli("tracks " + f.string() + " --check-zones --tolerance -1").Exit, 2);
}
