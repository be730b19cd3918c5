// Load benchmark of the data reader.
//
//   bench_reader [N]                      generate N-point files (free and fixed-column
//                                          layouts), time `wc -w` and both reader passes on
//                                          each, and report the peak memory of the load
//   bench_reader gen FILE N free|fixed    only write a data file of N track points
//
// Each load runs in a child process so that its peak resident size is its own.
#include "input/Reader.h"

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

// About 65 bytes a point in either layout: ten points a track, ten tracks a history.
bool Generate(const std::string& path, long n, bool fixed) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    std::fputs(fixed ? "CSTA\n" : "CSTA-FREE\n", f);
    std::fputs("RCC 1 0.0 0.0 0.0 0.0 0.0 100.0 50.0\nSPH 2 0.0 0.0 50.0 20.0\nEND\n"
               "Z1 2\nZ2 1 -2\nZ3 -1\nEND\nCEND\nMSTA\n3\n1 2 0\nMEND\n",
               f);
    uint64_t s = 12345;
    auto rnd = [&s] {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(s >> 11) / 9007199254740992.0;
    };
    int history = 0;
    for (long i = 0; i < n; ++i) {
        if (i % 100 == 0) std::fprintf(f, "0 %d\n", ++history);
        int kind = 4 + static_cast<int>(i % 3);
        double x = rnd() * 100 - 50, y = rnd() * 100 - 50, z = rnd() * 100, e = rnd() * 10;
        int zone = 1 + static_cast<int>(i % 3);
        if (fixed)
            std::fprintf(f, "%1d%13.5E%13.5E%13.5E%10.3E%4d%10.3E\n", kind, x, y, z, e, zone, 1.0);
        else
            std::fprintf(f, "%d %.5E %.5E %.5E %.5E %d %.5E\n", kind, x, y, z, e, zone, 1.0);
        if (i % 10 == 9) std::fputs("-1\n", f);
        if (i % 100 == 99) std::fputs("9 1\n", f);
    }
    return std::fclose(f) == 0;
}

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

TLoadResult LoadInChild(const std::string& path) {
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
        s.ReadMax = 2147483647;
        double size = 1000;
        TDataReader reader(g, t, s, size);
        auto t0 = Clock::now();
        bool ok = reader.Load(path);
        c.Seconds = ok ? Seconds(t0, Clock::now()) : -1;
        c.Points = t.size();
        c.ModelBytes = t.capacity() * sizeof(TrackPoint);
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

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "gen") == 0) {
        if (argc != 5) {
            std::fprintf(stderr, "usage: bench_reader gen FILE N free|fixed\n");
            return 2;
        }
        bool fixed = std::strcmp(argv[4], "fixed") == 0;
        return Generate(argv[2], std::atol(argv[3]), fixed) ? 0 : 1;
    }
    long n = argc >= 2 ? std::atol(argv[1]) : 1000000;
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench_reader [N] | bench_reader gen FILE N free|fixed\n");
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/trazon-bench-XXXXXX";
    if (!mkdtemp(dir.data())) return 1;
    const int reps = 5;
    int status = 0;
    std::printf("reader benchmark: %ld track points, best of %d runs, work files in %s\n", n, reps,
                WorkDir().c_str());
    for (bool fixed : {false, true}) {
        std::string path = dir + (fixed ? "/fixed.dat" : "/free.dat");
        if (!Generate(path, n, fixed)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        FILE* f = std::fopen(path.c_str(), "r");
        std::fseek(f, 0, SEEK_END);
        long bytes = std::ftell(f);
        std::fclose(f);
        TimeWc(path); // warm the page cache
        TTimes wc{1e30, 1e30};
        double load = 1e30, loadCpu = 1e30;
        TLoadResult best;
        for (int i = 0; i < reps; ++i) {
            TTimes w = TimeWc(path);
            if (w.Wall < 0) {
                std::fprintf(stderr, "wc -w failed on %s\n", path.c_str());
                return 1;
            }
            wc.Wall = std::min(wc.Wall, w.Wall);
            wc.Cpu = std::min(wc.Cpu, w.Cpu);
            TLoadResult r = LoadInChild(path);
            if (r.Seconds < 0) {
                std::fprintf(stderr, "load of %s failed\n", path.c_str());
                return 1;
            }
            load = std::min(load, r.Seconds);
            loadCpu = std::min(loadCpu, r.Cpu);
            if (best.PeakKiB == 0 || r.PeakKiB > best.PeakKiB) best = r;
        }
        double model = best.ModelBytes / 1048576.0;
        double peak = best.PeakKiB / 1024.0;
        double base = best.StartKiB / 1024.0;
        double over = peak - base - model;
        double ratio = load / wc.Wall;
        std::printf("\n%s layout: %.1f MB, %.1f bytes a point, %zu points loaded\n",
                    fixed ? "fixed-column" : "free", bytes / 1e6, double(bytes) / n, best.Points);
        std::printf("  wc -w            %.3f s wall, %.3f s cpu\n", wc.Wall, wc.Cpu);
        std::printf("  load (2 passes)  %.3f s wall, %.3f s cpu\n", load, loadCpu);
        std::printf("  ratio            %.2f wall, %.2f cpu (target <= 3)\n", ratio,
                    loadCpu / wc.Cpu);
        std::printf("  peak RSS %.1f MiB = process before load %.1f + model %.1f + %.1f MiB "
                    "(target <= 64)\n",
                    peak, base, model, over);
        if (ratio > 3 || over > 64) status = 1;
        std::remove(path.c_str());
    }
    rmdir(dir.c_str());
    std::printf("\n%s\n", status ? "TARGET MISSED" : "targets met");
    return status;
}
