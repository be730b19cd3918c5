// Big and hostile data files: error texts that stay short and inert, bounded line lengths and
// memory, allocation failures, out-of-range reals, work directories that never stay behind,
// and files replaced only when completely written.
#include "ReaderTestUtil.h"

#include "input/FileWrite.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A directory of its own below the work directory's base, removed at the end.
struct TTempDir {
    std::string Path;
    TTempDir() {
        std::string t = (fs::temp_directory_path() / "hostile-XXXXXX").string();
        Path = mkdtemp(t.data()) ? t + "/" : std::string();
    }
    ~TTempDir() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
};

// Runs `body` in a child process and returns its exit status (as from waitpid).
template <class Body> int InChild(Body&& body) {
    pid_t child = fork();
    if (child == 0) {
        rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

const std::string Materials1 = "MSTA\n1\n1\nMEND\n";

} // namespace

TEST(ShownText, ShortensAndEscapes) {
    EXPECT_EQ(ShownText("RPP"), "RPP");
    EXPECT_EQ(ShownText(std::string(64, 'a')), std::string(64, 'a'));
    EXPECT_EQ(ShownText(std::string(65, 'a')), std::string(64, 'a') + "...");
    // terminal control sequences arrive inert
    EXPECT_EQ(ShownText("\x1b]0;x\x07\x1b[2J"), "\\x1B]0;x\\x07\\x1B[2J");
    EXPECT_EQ(ShownText(std::string("a\tb\r\0c", 6)), "a\\tb\\r\\x00c");
    EXPECT_EQ(ShownText("\x7f"), "\\x7F");
    // UTF-8 text passes; C1 controls, stray and overlong bytes are shown as numbers
    EXPECT_EQ(ShownText("Zone\xc3\xa9\xe6\xbc\xa2"), "Zone\xc3\xa9\xe6\xbc\xa2");
    EXPECT_EQ(ShownText("\xc2\x9b"
                        "2J"),
              "\\xC2\\x9B2J");
    EXPECT_EQ(ShownText("\xff\xc0\xaf"), "\\xFF\\xC0\\xAF");
    // the cut does not split a character
    std::string wide = std::string(63, 'a') + "\xc3\xa9";
    EXPECT_EQ(ShownText(wide), std::string(63, 'a') + "...");
}

TEST_F(ReaderFixture, HugeOrHostileTokenGivesAShortInertMessage) {
    std::string huge(1 << 20, 'Q');
    ASSERT_FALSE(Load("CSTA-FREE\n" + huge + " 1 0 1 0 1 0 1\n"));
    EXPECT_EQ(LastError, Composed("Read Body Symbol Error", std::string(64, 'Q') + "...", "2"));
    EXPECT_EQ(ShowCount, 1);

    ASSERT_FALSE(Load("CSTA-FREE\nRPP \x1b]0;owned\x07\x1b[2J 0 1 0 1 0 1\n"));
    // (the leading ESC goes with the token's trimming, the others stay and are escaped)
    EXPECT_EQ(LastError, Composed("Read Body Number Error", "]0;OWNED\\x07\\x1B[2J", "2"));
}

TEST_F(ReaderFixture, LineLongerThanTheLimitIsAReadErrorNamingItsLine) {
    TDataReader reader(Geometry, Tracks, Settings, Size);
    reader.MaxLineLength = 1000;
    reader.Hooks.ShowError = [](const std::string&) {};
    std::string path = WriteData("CSTA-FREE\nRPP 1 0 1 0 1 0 1\n" + std::string(5000, '7') + "\n");
    EXPECT_FALSE(reader.Load(path));
    EXPECT_EQ(reader.LastError(),
              Composed("Read Line Too Long Error", std::string(64, '7') + "...", "3"));
    EXPECT_TRUE(Geometry.Bodies.empty());
    // a line just within the limit is read (and fails later, for its own content)
    path = WriteData("CSTA-FREE\nRPP 1 0 1 0 1 0 1\n" + std::string(1000, '7') + "\n");
    EXPECT_FALSE(reader.Load(path));
    EXPECT_NE(reader.LastError().find("Read Body Symbol Error"), std::string::npos);
}

TEST_F(ReaderFixture, FileThatNeverEndsALineStopsAtTheLimit) {
    TDataReader reader(Geometry, Tracks, Settings, Size);
    reader.Hooks.ShowError = [](const std::string&) {};
    EXPECT_FALSE(reader.Load("/dev/zero"));
    EXPECT_EQ(reader.LastError().rfind("error : Read Line Too Long Error\nReadStr : \\x00", 0), 0u)
        << reader.LastError();
    EXPECT_NE(reader.LastError().find("...\nLine : 1\n"), std::string::npos);
}

TEST_F(ReaderFixture, BinaryFilesAndEndlessInputsEndBeforeTheDiskFills) {
    // a binary file opened by mistake is named as such at its first line with a NUL
    const std::string binary("RPP \x89\0\x01", 7);
    ASSERT_FALSE(Load("CSTA-FREE\n" + binary + "\n"));
    EXPECT_EQ(LastError, Composed("Read Binary Data Error", "RPP \\x89\\x00\\x01", "2"));
    ExpectEmptyModel();
    // a NUL far down a long file is left to the reading itself (it may lie past the histories
    // read)
    std::string late =
        "CSTA-FREE\n" + std::string(70000, ' ') + "\n" + std::string(1, '\0') + "\n";
    ASSERT_FALSE(Load(late));
    EXPECT_EQ(LastError.find("Read Binary Data Error"), std::string::npos) << LastError;

    // random bytes end at once, wherever the first NUL falls
    {
        TDataReader reader(Geometry, Tracks, Settings, Size);
        reader.Hooks.ShowError = [](const std::string&) {};
        EXPECT_FALSE(reader.Load("/dev/urandom"));
        EXPECT_EQ(reader.LastError().rfind("error : Read Binary Data Error\n", 0), 0u)
            << reader.LastError();
    }

    // an input of text that goes on and on stops when the work files would leave less free
    // space than the reserve (here: more than any disk has), and says so (the token pre-pass:
    // a load reads in one pass and writes no work files)
    TDataReader reader(Geometry, Tracks, Settings, Size);
    reader.WorkSpaceReserve = uint64_t{1} << 62;
    reader.Hooks.ShowError = [](const std::string&) {};
    std::string body = "CSTA-FREE\n";
    for (int k = 0; k < 20000; ++k) body += "RPP 1 0 1 0 1 0 1\n";
    EXPECT_FALSE(reader.PrepareTokens(WriteData(body)));
    EXPECT_EQ(reader.LastError().rfind("Cannot write file : ", 0), 0u) << reader.LastError();
    EXPECT_NE(reader.LastError().find(std::strerror(ENOSPC)), std::string::npos);
    EXPECT_TRUE(Geometry.Bodies.empty());
}

TEST_F(ReaderFixture, GeneratedLayoutIsMadeOnlyFromWhatWasRead) {
    // a million bodies announced, no materials: the error comes before the model is made
    std::string text = "GSTA-FREE\nSLAB 1001 1001 2\n";
    for (int i = 0; i < 1001; ++i) text += std::to_string(i) + " ";
    for (int i = 0; i < 1001; ++i) text += std::to_string(i) + " ";
    text += "0 1\nMSTA\n1 1\nMEND\n";
    const std::string path = WriteData(text);
    if (Sanitized) {
        ASSERT_FALSE(LoadFile(path));
        EXPECT_EQ(LastError, Composed("Read Material Number Error", "MEND", "6"));
        return;
    }
    // under a memory limit far below the million bodies' size, the read error is the
    // material one, not "Out of memory"
    int status = InChild([&] {
        std::ifstream statm("/proc/self/statm");
        unsigned long pages = 0;
        statm >> pages;
        rlimit lim{};
        lim.rlim_cur = lim.rlim_max = pages * sysconf(_SC_PAGESIZE) + (200ul << 20);
        setrlimit(RLIMIT_AS, &lim);
        TGeometry g;
        TTracks t;
        TDisplaySettings s;
        double size = 0;
        TDataReader reader(g, t, s, size);
        reader.Hooks.ShowError = [](const std::string&) {};
        bool ok = reader.Load(path);
        _exit(!ok && reader.LastError() == Composed("Read Material Number Error", "MEND", "6") ? 0
                                                                                               : 1);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(ReaderFixture, GeneratedLayoutWithItsMaterialsStillLoads) {
    ASSERT_TRUE(Load("GSTA-FREE\nSLAB 3 2 2\n0 1 2\n0 1\n0 1\nMSTA\n2 2\n5 6\nMEND\n"));
    ASSERT_EQ(Geometry.Bodies.size(), 2u);
    EXPECT_EQ(Geometry.Bodies[1].Symbol, "RPP");
    EXPECT_EQ(Geometry.Bodies[1].Params[0], 1.0);
    EXPECT_EQ(Geometry.Zones[1].Material, 6);
    ASSERT_TRUE(Load("GSTA-FREE\nSPHR 2 1 2\nMSTA\n2\n1 0\nMEND\n"));
    EXPECT_EQ(Geometry.Bodies[1].Params[3], 2.0);
    EXPECT_EQ(Geometry.Zones[1].BodyIndex[0], (TMatrixAi{1, 0}));
}

TEST_F(ReaderFixture, AllocationFailureInAnyStepIsAReadError) {
    TDataReader reader(Geometry, Tracks, Settings, Size);
    std::string shown;
    reader.Hooks.ShowError = [&shown](const std::string& t) { shown = t; };
    reader.Hooks.RebuildBodies = [] { throw std::bad_alloc(); };
    EXPECT_FALSE(reader.LoadSample());
    EXPECT_EQ(shown.rfind("error : Out of memory\n", 0), 0u) << shown;
    ExpectEmptyModel();
    // the reader works again afterwards
    reader.Hooks.RebuildBodies = nullptr;
    EXPECT_TRUE(reader.LoadSample());
}

TEST_F(ReaderFixture, RealsBeyondTheRangeAreRefusedWithAClearMessage) {
    const std::string geo = "CSTA-FREE\nSPH 1 0 0 0 1\nEND\nZ1 1\nEND\nCEND\n" + Materials1;
    ASSERT_TRUE(Load(geo + "0 1\n4 1e30 -1e30 0 1 1 1\n"));
    EXPECT_EQ(Tracks.size(), 1u);
    ASSERT_FALSE(Load(geo + "0 1\n4 1e308 0 0 1 1 1\n"));
    EXPECT_EQ(LastError, Composed("Read Particle X coordinate Error (out of range: |value| > "
                                  "1E+30)",
                                  "1E308", "12"));
    ExpectEmptyModel();
    ASSERT_FALSE(Load(geo + "0 1\n4 0 0 -2e30 1 1 1\n"));
    EXPECT_NE(LastError.find("Read Particle Z coordinate Error (out of range"), std::string::npos);
    ASSERT_FALSE(Load("CSTA-FREE\nSPH 1 0 0 0 1e300\nEND\nZ1 1\nEND\nCEND\n" + Materials1));
    EXPECT_NE(LastError.find("Read Body Parameter Error (out of range"), std::string::npos);
    ASSERT_FALSE(Load("GSTA-FREE\nSPHR 2 1 -1e200\n" + Materials1));
    EXPECT_NE(LastError.find("Read Body Parameter Error (out of range"), std::string::npos);
    // not a number at all keeps the plain message
    ASSERT_FALSE(Load(geo + "0 1\n4 x 0 0 1 1 1\n"));
    EXPECT_EQ(LastError, Composed("Read Particle X coordinate Error", "X", "12"));
}

TEST_F(ReaderFixture, WorkFilesDoNotOutliveTheLoad) {
    ASSERT_TRUE(Load("CSTA-FREE\nSPH 1 0 0 0 1\nEND\nZ1 1\nEND\nCEND\n" + Materials1));
    EXPECT_NE(access(WorkFilePath(DivFileName).c_str(), F_OK), 0);
    EXPECT_NE(access(WorkFilePath(LineFileName).c_str(), F_OK), 0);
    ASSERT_FALSE(Load("nothing\n"));
    EXPECT_NE(access(WorkFilePath(DivFileName).c_str(), F_OK), 0);
    TDataReader reader(Geometry, Tracks, Settings, Size);
    ASSERT_TRUE(reader.LoadSample());
    EXPECT_NE(access(WorkFilePath(DummyFileName).c_str(), F_OK), 0);
}

TEST(WorkFiles, StaleDirectoriesOfEndedRunsAreRemovedOthersKept) {
    TTempDir base;
    ASSERT_FALSE(base.Path.empty());
    auto makeDir = [&](const std::string& name, const std::string& owner) {
        fs::create_directory(base.Path + name);
        std::ofstream(base.Path + name + "/div.tmp") << "x\n";
        if (!owner.empty()) std::ofstream(base.Path + name + "/owner") << owner;
    };
    // the owner record of this process, as WorkDir writes it
    std::string own = WorkDir();
    std::string record = ReadAll(own + WorkOwnerFileName);
    ASSERT_FALSE(record.empty());
    std::istringstream fields(record);
    long long pid = 0;
    unsigned long long start = 0;
    std::string ns;
    fields >> pid >> start >> ns;
    ASSERT_EQ(pid, getpid());
    // a process that has ended
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);

    makeDir("trazon-ended1", std::to_string(gone) + " 1 " + ns + "\n");
    makeDir("trazon-reuse1", std::to_string(pid) + " " + std::to_string(start + 1) + " " + ns);
    makeDir("trazon-alive1", record);
    makeDir("trazon-nownr1", "");
    makeDir("trazon-othns1", std::to_string(gone) + " 1 pid:[1]\n");
    makeDir("trazon-garbg1", "not a record");
    makeDir("other-ended12", std::to_string(gone) + " 1 " + ns + "\n");
    fs::create_directory(base.Path + "real-target");
    fs::create_directory_symlink(base.Path + "real-target", base.Path + "trazon-link01");

    RemoveStaleWorkDirs(base.Path);
    EXPECT_FALSE(fs::exists(base.Path + "trazon-ended1"));
    EXPECT_FALSE(fs::exists(base.Path + "trazon-reuse1")); // the pid now names another process
    EXPECT_TRUE(fs::exists(base.Path + "trazon-alive1/div.tmp"));
    EXPECT_TRUE(fs::exists(base.Path + "trazon-nownr1/div.tmp")); // maybe just being made
    EXPECT_TRUE(fs::exists(base.Path + "trazon-othns1/div.tmp"));
    EXPECT_TRUE(fs::exists(base.Path + "trazon-garbg1/div.tmp"));
    EXPECT_TRUE(fs::exists(base.Path + "other-ended12/div.tmp"));
    EXPECT_TRUE(fs::exists(base.Path + "real-target"));
    EXPECT_TRUE(fs::is_symlink(base.Path + "trazon-link01"));
}

TEST(WorkFiles, RemovedWhenTheOutputPipeIsClosedOrTheProgramAborts) {
    for (int sig : {SIGPIPE, SIGABRT}) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        char dir[512] = {};
        int status = InChild([&] {
            std::string d = WorkDir();
            WriteSampleData();
            char buf[512] = {};
            d.copy(buf, sizeof buf - 1);
            (void)!write(fds[1], buf, sizeof buf);
            raise(sig);
        });
        ASSERT_EQ(read(fds[0], dir, sizeof dir), static_cast<ssize_t>(sizeof dir));
        close(fds[0]);
        close(fds[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        ASSERT_NE(dir[0], 0);
        EXPECT_NE(access(dir, F_OK), 0) << sig;
    }
}

TEST(FileWrite, ReplacesTheTargetOnlyWhenCompletelyWritten) {
    TTempDir dir;
    std::string error;
    const std::string target = dir.Path + "picture.png";
    ASSERT_TRUE(WriteFileReplacing(target, "old picture", error)) << error;
    chmod(target.c_str(), 0640);
    // a full disk (here: a file size limit) leaves the old file as it was
    int status = InChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &lim);
        std::string err;
        _exit(!WriteFileReplacing(target, std::string(100000, 'n'), err) && !err.empty() ? 0 : 1);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadAll(target), "old picture");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);

    ASSERT_TRUE(WriteFileReplacing(target, "new picture", error)) << error;
    EXPECT_EQ(ReadAll(target), "new picture");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the permissions of the file replaced

    // through a symbolic link: the file it points to is replaced, the link stays
    fs::create_directory(dir.Path + "real");
    std::ofstream(dir.Path + "real/result.dat") << "old";
    fs::create_symlink("real/result.dat", dir.Path + "link.dat");
    ASSERT_TRUE(WriteFileReplacing(dir.Path + "link.dat", "new", error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.Path + "link.dat"));
    EXPECT_EQ(ReadAll(dir.Path + "real/result.dat"), "new");

    // failures leave no file handle open
    auto openFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    fs::create_directory(dir.Path + "adir");
    auto before = openFiles();
    for (int i = 0; i < 50; ++i) EXPECT_FALSE(WriteFileReplacing(dir.Path + "adir", "x", error));
    EXPECT_EQ(openFiles(), before);
    EXPECT_FALSE(WriteFileReplacing(dir.Path + "missing/x", "x", error));
}

TEST(FileWrite, TargetCheckedBeforeAnyWork) {
    TTempDir dir;
    std::string error;
    EXPECT_TRUE(CheckWriteTarget(dir.Path + "r.dat", error)) << error;
    EXPECT_FALSE(CheckWriteTarget(dir.Path, error)); // a directory
    EXPECT_NE(error.find("is a directory"), std::string::npos);
    EXPECT_FALSE(CheckWriteTarget(dir.Path + "sub/", error));
    EXPECT_FALSE(CheckWriteTarget(dir.Path + "missing/r.dat", error));
    EXPECT_NE(error.find("does not exist"), std::string::npos);
    EXPECT_FALSE(CheckWriteTarget("", error));
    fs::create_symlink(dir.Path, dir.Path + "dirlink");
    EXPECT_FALSE(CheckWriteTarget(dir.Path + "dirlink", error));
}

// A FIFO or a device is written into and stays what it is, also through a link.
TEST(FileWrite, SpecialFilesAreWrittenIntoNotReplaced) {
    TTempDir dir;
    const std::string fifo = dir.Path + "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, dir.Path + "link");
    for (const std::string& target : {fifo, dir.Path + "link"}) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t reader = fork();
        if (reader == 0) {
            alarm(20); // a FIFO replaced by a file would leave this reader waiting forever
            std::string got = ReadAll(fifo);
            (void)!write(fds[1], got.data(), got.size());
            _exit(0);
        }
        close(fds[1]);
        std::string error;
        EXPECT_TRUE(WriteFileReplacing(target, "result", error)) << error;
        waitpid(reader, nullptr, 0);
        char buf[16] = {};
        EXPECT_EQ(read(fds[0], buf, sizeof buf), 6);
        close(fds[0]);
        EXPECT_EQ(std::string(buf), "result") << target;
        EXPECT_TRUE(fs::is_fifo(fifo));
    }
    std::string error;
    EXPECT_TRUE(CheckWriteTarget("/dev/null", error)) << error;
    EXPECT_TRUE(IsSpecialFile("/dev/null"));
    EXPECT_FALSE(IsSpecialFile(dir.Path));
    EXPECT_FALSE(IsSpecialFile(dir.Path + "none"));
}

// Where no file can be made beside it, a writable file is rewritten in place; a full disk
// (here: a file size limit) then leaves it as it was, never cut short.
TEST(FileWrite, InPlaceRewriteKeepsTheOldFileWhenTheNewOneDoesNotFit) {
    TTempDir dir;
    const std::string target = dir.Path + "trazon.ini";
    const std::string old(3000, 'o');
    std::ofstream(target) << old;
    chmod(target.c_str(), 0666);
    chmod(dir.Path.c_str(), 0555);
    auto run = [&](size_t bytes, rlim_t limit) {
        return InChild([&] {
            // root writes into any directory: a user of its own is needed for the block
            if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
            signal(SIGXFSZ, SIG_IGN);
            rlimit lim{limit, limit};
            setrlimit(RLIMIT_FSIZE, &lim);
            std::string err;
            bool ok = WriteFileReplacing(target, std::string(bytes, 'n'), err);
            _exit(ok ? 0 : err.empty() ? 2 : 1);
        });
    };
    int status = run(8000, 5000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(ReadAll(target), old);
    status = run(2000, RLIM_INFINITY);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadAll(target), std::string(2000, 'n'));
    chmod(dir.Path.c_str(), 0755);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);
}

// A signal that ends the program while a file is written leaves no "TARGET.XXXXXX" behind;
// a file size limit (SIGXFSZ) takes the work directory with it as well.
TEST(FileWrite, NoTemporaryFileOrWorkDirectoryOutlivesAFatalSignal) {
    TTempDir dir;
    const std::string target = dir.Path + "big.bmp";
    int status = InChild([&] {
        rlimit lim{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &lim);
        std::string err;
        WriteFileReplacing(target, std::string(4 << 20, 'b'), err);
        _exit(0);
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    EXPECT_TRUE(fs::is_empty(dir.Path));

    // SIGTERM in the middle of a long write: sent as soon as the temporary file appears
    const std::string data(Sanitized ? 64 << 20 : 128 << 20, 'b');
    pid_t child = fork();
    if (child == 0) {
        std::string err;
        WriteFileReplacing(target, data, err);
        _exit(0);
    }
    bool seen = false;
    for (int i = 0; i < 200000 && !seen; ++i)
        seen = !fs::is_empty(dir.Path);
    kill(child, SIGTERM);
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        EXPECT_EQ(WTERMSIG(status), SIGTERM);
        EXPECT_TRUE(fs::is_empty(dir.Path));
    } else {
        EXPECT_TRUE(fs::exists(target)); // done before the signal came: only the target
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);
    }

    // the reader's work directory
    char workDir[512] = {};
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    status = InChild([&] {
        std::string d = WorkDir();
        d.copy(workDir, sizeof workDir - 1);
        (void)!write(fds[1], workDir, sizeof workDir);
        rlimit lim{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &lim);
        std::ofstream(d + DivFileName) << std::string(100000, 'x');
        _exit(0);
    });
    ASSERT_EQ(read(fds[0], workDir, sizeof workDir), static_cast<ssize_t>(sizeof workDir));
    close(fds[0]);
    close(fds[1]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    ASSERT_NE(workDir[0], 0);
    EXPECT_NE(access(workDir, F_OK), 0) << workDir;
}
