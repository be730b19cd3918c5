// Load benchmark of the data reader.
//
//   bench_reader [N] [--reps R]      write N-point files (free, CSV and fixed-column layouts,
//                                    each without and with TIME; make_tracks's generator),
//                                    time `wc -w` and the load on each, and report the memory
//   bench_reader --file FILE [--reps R] [--read-max M]   the same on an existing file
//
// Each load runs in a child process so that its peak resident size is its own. "bytes a
// point" is the growth of the resident size over the load divided by the points loaded.
#include "input/Reader.h"

#include "TrackFile.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

struct TTimes {
    double Wall = -1;
    double Cpu = -1; // user + system of the child
};

double CpuSeconds(const struct rusage& ru) {
    return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
           ru.ru_stime.tv_usec / 1e6;
}

// `wc -w FILE` run directly (no shell), its output discarded.
TTimes TimeWc(const std::string& path) {
    TTimes t;
    std::fflush(nullptr); // the child must not write our buffered output a second time
    auto t0 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        execlp("wc", "wc", "-w", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return t;
    t.Wall = Seconds(t0, Clock::now());
    t.Cpu = CpuSeconds(ru);
    return t;
}

struct TLoadResult {
    double Seconds = -1;
    long PeakKiB = 0;  // peak resident size of the loading process
    long StartKiB = 0; // resident size just before the load
    size_t Points = 0;
    size_t ModelBytes = 0;
    double Cpu = -1;
};

long CurrentRssKiB() {
    // second field of /proc/self/statm: resident pages
    char buf[128] = {};
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = 0;
    char* end = nullptr;
    std::strtol(buf, &end, 10);
    long rss = std::strtol(end, nullptr, 10);
    return rss * (sysconf(_SC_PAGESIZE) / 1024);
}

TLoadResult LoadInChild(const std::string& path, int32_t readMax) {
    int fds[2];
    TLoadResult r;
    if (pipe(fds) != 0) return r;
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        TLoadResult c;
        c.StartKiB = CurrentRssKiB();
        TGeometry g;
        TTracks t;
        TDisplaySettings s;
        s.ReadMax = readMax;
        double size = 1000;
        TDataReader reader(g, t, s, size);
        auto t0 = Clock::now();
        bool ok = reader.Load(path);
        c.Seconds = ok ? Seconds(t0, Clock::now()) : -1;
        c.Points = t.size();
        c.ModelBytes = t.MemoryBytes();
        for (const TGeoData& b : g.Bodies) c.ModelBytes += sizeof b;
        RemoveWorkDir(); // _exit skips the exit-time removal
        if (write(fds[1], &c, sizeof c) != static_cast<ssize_t>(sizeof c)) _exit(2);
        _exit(ok ? 0 : 1);
    }
    close(fds[1]);
    if (read(fds[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) r.Seconds = -1;
    close(fds[0]);
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    r.PeakKiB = ru.ru_maxrss;
    r.Cpu = CpuSeconds(ru);
    return r;
}


struct TFigures {
    double LoadWall = 1e30, LoadCpu = 1e30;
    TTimes Wc{1e30, 1e30};
    TLoadResult Worst;
};

// Best times of `reps` runs of `wc -w` and of the load; the largest memory seen.
bool Measure(const std::string& path, int reps, int32_t readMax, TFigures& fig) {
    TimeWc(path); // warm the page cache
    for (int i = 0; i < reps; ++i) {
        TTimes w = TimeWc(path);
        if (w.Wall < 0) {
            std::fprintf(stderr, "wc -w failed on %s\n", path.c_str());
            return false;
        }
        fig.Wc.Wall = std::min(fig.Wc.Wall, w.Wall);
        fig.Wc.Cpu = std::min(fig.Wc.Cpu, w.Cpu);
        TLoadResult r = LoadInChild(path, readMax);
        if (r.Seconds < 0) {
            std::fprintf(stderr, "load of %s failed\n", path.c_str());
            return false;
        }
        fig.LoadWall = std::min(fig.LoadWall, r.Seconds);
        fig.LoadCpu = std::min(fig.LoadCpu, r.Cpu);
        if (fig.Worst.PeakKiB == 0 || r.PeakKiB > fig.Worst.PeakKiB) fig.Worst = r;
    }
    return true;
}

// Prints one file's figures; false when a target is missed (load <= 1x wc -w wall,
// <= 40 bytes a point).
bool Report(const std::string& name, uint64_t bytes, const TFigures& f) {
    const TLoadResult& r = f.Worst;
    const double points = static_cast<double>(std::max<size_t>(r.Points, 1));
    const double grown = (r.PeakKiB - r.StartKiB) * 1024.0;
    const double ratio = f.LoadWall / f.Wc.Wall;
    std::printf("\n%s: %.1f MB, %.1f bytes of file a point, %zu points loaded\n", name.c_str(),
                bytes / 1e6, bytes / points, r.Points);
    std::printf("  wc -w     %.3f s wall, %.3f s cpu\n", f.Wc.Wall, f.Wc.Cpu);
    std::printf("  load      %.3f s wall, %.3f s cpu   ratio %.2f wall, %.2f cpu (target <= 1)\n",
                f.LoadWall, f.LoadCpu, ratio, f.LoadCpu / f.Wc.Cpu);
    std::printf("  memory    peak RSS %.1f MiB (%.1f before the load); %.1f bytes a point "
                "(target <= 40), track list %.1f bytes a point\n",
                r.PeakKiB / 1024.0, r.StartKiB / 1024.0, grown / points, r.ModelBytes / points);
    return ratio <= 1.0 && grown / points <= 40.0;
}

uint64_t FileBytes(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    long bytes = std::ftell(f);
    std::fclose(f);
    return bytes > 0 ? static_cast<uint64_t>(bytes) : 0;
}

int Usage() {
    std::fprintf(stderr, "usage: bench_reader [N] [--reps R] | bench_reader --file FILE [--reps R] "
                         "[--read-max M]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    long long n = 1000000;
    int reps = 3;
    int32_t readMax = 2147483647;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--reps" && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (a == "--file" && i + 1 < argc)
            file = argv[++i];
        else if (a == "--read-max" && i + 1 < argc)
            readMax = static_cast<int32_t>(std::atol(argv[++i]));
        else if (a[0] != '-')
            n = std::atoll(a.c_str());
        else
            return Usage();
    }
    if (n <= 0) return Usage();
    bool met = true;
    if (!file.empty()) {
        std::printf("reader benchmark: %s, best of %d runs\n", file.c_str(), reps);
        TFigures fig;
        if (!Measure(file, reps, readMax, fig)) return 1;
        met = Report(file, FileBytes(file), fig);
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/trazon-bench-XXXXXX";
        if (!mkdtemp(dir.data())) return 1;
        std::printf("reader benchmark: %lld track points, best of %d runs\n", n, reps);
        const struct {
            const char* Name;
            TTrackFileLayout Layout;
        } layouts[] = {{"free", TTrackFileLayout::Free},
                       {"csv", TTrackFileLayout::Csv},
                       {"fixed", TTrackFileLayout::Fixed}};
        for (const auto& l : layouts)
            for (bool time : {false, true}) {
                TTrackFileOptions o;
                o.Points = n;
                o.Layout = l.Layout;
                o.Time = time;
                const std::string name = std::string(l.Name) + (time ? "-time" : "");
                const std::string path = dir + "/" + name + ".dat";
                TTrackFileSummary sum;
                if (!WriteTrackFile(path, o, &sum)) {
                    std::fprintf(stderr, "cannot write %s\n", path.c_str());
                    return 1;
                }
                TFigures fig;
                const bool ok = Measure(path, reps, readMax, fig);
                std::remove(path.c_str());
                if (!ok) return 1;
                met = Report(name + " layout", sum.Bytes, fig) && met;
            }
        rmdir(dir.c_str());
    }
    std::printf("\n%s\n", met ? "targets met" : "TARGET MISSED");
    return met ? 0 : 1;
}
