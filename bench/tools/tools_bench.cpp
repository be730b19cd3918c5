// Throughput of the geometry check and the volume calculation on the built-in sample, on one
// thread and on two, with a check that both give the same results. The processor time of both
// runs is printed too: on a machine whose second core is busy with other work the wall-clock
// speed-up says little, while equal processor times show the split costs nothing extra.
//   bench_tools [CHECK_RAYS [LEVEL]]      (defaults: 100000 rays, level 10)
#include "input/Reader.h"
#include "tools/core/CheckCore.h"
#include "tools/core/VolumeCore.h"

#include <chrono>
#include <sys/resource.h>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// Processor time of the whole process (all threads), user + system.
double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

struct TCheckResult {
    double Seconds, Cpu;
    std::vector<std::string> Lines;
};

TCheckResult RunCheck(const TGeometry& g, int rays, int threads, double spread) {
    TCheckErrorSegments errors;
    TCheckRun run(errors);
    run.Threads = threads;
    TCheckSettings s;
    s.Rays = rays;
    s.Xmin = s.Ymin = -spread, s.Xmax = s.Ymax = spread;
    s.Zmin = 15 - 2 * spread, s.Zmax = 15 + 2 * spread;
    double c0 = CpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    run.Start(g.Bodies, g.Zones, s);
    while (run.Running()) run.Advance(4096);
    return {Seconds(t0), CpuSeconds() - c0, run.Lines()};
}

struct TVolumeResult {
    double Seconds, Cpu;
    int64_t Positions;
    std::vector<TZoneVolume> Volumes;
};

TVolumeResult RunVolume(const TGeometry& g, int level, int threads, double half) {
    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    run.Threads = threads;
    TVolumeSettings s;
    s.Level = level;
    s.Xmin = s.Ymin = -half, s.Xmax = s.Ymax = half;
    s.Zmin = 15 - half, s.Zmax = 15 + half;
    s.RatioMin = 5, s.RatioMax = 6; // never converges: every level up to L runs
    double c0 = CpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    run.Reset(g.Zones);
    run.Start(g.Bodies, g.Zones, s, std::vector<bool>(g.Zones.size(), true));
    while (run.Running()) run.Step();
    return {Seconds(t0), CpuSeconds() - c0, run.PositionsDone(), run.Volumes};
}

} // namespace

int main(int argc, char** argv) {
    int rays = argc > 1 ? std::atoi(argv[1]) : 100000;
    int level = argc > 2 ? std::atoi(argv[2]) : 10;
    TGeometry g;
    TTracks tracks;
    TDisplaySettings settings;
    double size = 0;
    TDataReader reader(g, tracks, settings, size);
    if (!reader.LoadSample()) {
        std::fprintf(stderr, "cannot load the sample\n");
        return 1;
    }
    std::printf("sample: %zu bodies, %zu zones; hardware threads %u\n", g.Bodies.size(),
                g.Zones.size(), std::thread::hardware_concurrency());

    bool ok = true;
    // The dialogs' defaults (rays from the origin; a 200 cm box, mostly empty), then a start
    // region and a box filled by the sample, where every ray crosses bodies.
    for (double spread : {0.0, 4.0}) {
        TCheckResult c1 = RunCheck(g, rays, 1, spread);
        TCheckResult c2 = RunCheck(g, rays, 2, spread);
        ok = ok && c1.Lines == c2.Lines;
        std::printf("check  %d rays, start spread %g: 1 thread %.3f s (%.0f rays/s), 2 threads "
                    "%.3f s (%.0f rays/s), speed-up %.2f, same output: %s; cpu %.3f s / %.3f s\n",
                    rays, spread, c1.Seconds, rays / c1.Seconds, c2.Seconds, rays / c2.Seconds,
                    c1.Seconds / c2.Seconds, c1.Lines == c2.Lines ? "yes" : "NO", c1.Cpu, c2.Cpu);
    }
    for (double half : {100.0, 16.0}) {
        TVolumeResult v1 = RunVolume(g, level, 1, half);
        TVolumeResult v2 = RunVolume(g, level, 2, half);
        bool same = v1.Volumes.size() == v2.Volumes.size();
        for (size_t z = 0; same && z < v1.Volumes.size(); ++z)
            same = v1.Volumes[z].XLast == v2.Volumes[z].XLast &&
                   v1.Volumes[z].YLast == v2.Volumes[z].YLast &&
                   v1.Volumes[z].ZLast == v2.Volumes[z].ZLast;
        ok = ok && same;
        double r = 3.0 * static_cast<double>(v1.Positions);
        std::printf("volume level %d, box +-%g (%.0f rays): 1 thread %.3f s (%.0f rays/s), "
                    "2 threads %.3f s (%.0f rays/s), speed-up %.2f, bit-identical: %s; "
                    "cpu %.3f s / %.3f s\n",
                    level, half, r, v1.Seconds, r / v1.Seconds, v2.Seconds, r / v2.Seconds,
                    v1.Seconds / v2.Seconds, same ? "yes" : "NO", v1.Cpu, v2.Cpu);
    }
    return ok ? 0 : 1;
}
