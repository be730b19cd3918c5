// Throughput of the geometry check and the volume calculation on the built-in sample, on one
// thread and on two, with a check that both give the same results.
//   bench_tools [CHECK_RAYS [LEVEL]]      (defaults: 100000 rays, level 10)
#include "input/Reader.h"
#include "tools/core/CheckCore.h"
#include "tools/core/VolumeCore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

struct TCheckResult {
    double Seconds;
    std::vector<std::string> Lines;
};

TCheckResult RunCheck(const TGeometry& g, int rays, int threads) {
    TCheckErrorSegments errors;
    TCheckRun run(errors);
    run.Threads = threads;
    TCheckSettings s;
    s.Rays = rays;
    auto t0 = std::chrono::steady_clock::now();
    run.Start(g.Bodies, g.Zones, s);
    while (run.Running()) run.Advance(4096);
    return {Seconds(t0), run.Lines()};
}

struct TVolumeResult {
    double Seconds;
    int64_t Positions;
    std::vector<TZoneVolume> Volumes;
};

TVolumeResult RunVolume(const TGeometry& g, int level, int threads) {
    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    run.Threads = threads;
    TVolumeSettings s;
    s.Level = level;
    s.RatioMin = 5, s.RatioMax = 6; // never converges: every level up to L runs
    auto t0 = std::chrono::steady_clock::now();
    run.Reset(g.Zones);
    run.Start(g.Bodies, g.Zones, s, std::vector<bool>(g.Zones.size(), true));
    while (run.Running()) run.Step();
    return {Seconds(t0), run.PositionsDone(), run.Volumes};
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

    TCheckResult c1 = RunCheck(g, rays, 1);
    TCheckResult c2 = RunCheck(g, rays, 2);
    std::printf("check  %d rays: 1 thread %.3f s (%.0f rays/s), 2 threads %.3f s (%.0f rays/s), "
                "speed-up %.2f, same output: %s\n",
                rays, c1.Seconds, rays / c1.Seconds, c2.Seconds, rays / c2.Seconds,
                c1.Seconds / c2.Seconds, c1.Lines == c2.Lines ? "yes" : "NO");

    TVolumeResult v1 = RunVolume(g, level, 1);
    TVolumeResult v2 = RunVolume(g, level, 2);
    bool same = v1.Volumes.size() == v2.Volumes.size();
    for (size_t z = 0; same && z < v1.Volumes.size(); ++z)
        same = v1.Volumes[z].XLast == v2.Volumes[z].XLast &&
               v1.Volumes[z].YLast == v2.Volumes[z].YLast &&
               v1.Volumes[z].ZLast == v2.Volumes[z].ZLast;
    double r = 3.0 * static_cast<double>(v1.Positions);
    std::printf("volume level %d (%lld positions, %.0f rays): 1 thread %.3f s (%.0f rays/s), "
                "2 threads %.3f s (%.0f rays/s), speed-up %.2f, bit-identical: %s\n",
                level, static_cast<long long>(v1.Positions), r, v1.Seconds, r / v1.Seconds,
                v2.Seconds, r / v2.Seconds, v1.Seconds / v2.Seconds, same ? "yes" : "NO");
    return c1.Lines == c2.Lines && same ? 0 : 1;
}
