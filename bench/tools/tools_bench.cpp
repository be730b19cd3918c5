// Throughput of the geometry check and the volume calculation on the built-in sample, on one
// thread and on two, with a check that both give the same results. The processor time of both
// runs is printed too: on a machine whose second core is busy with other work the wall-clock
// speed-up says little, while equal processor times show the split costs nothing extra.
//   bench_tools [CHECK_RAYS [LEVEL [GEOMETRY]]]   (defaults: 100000 rays, level 10, sample)
// GEOMETRY other than the sample (detector, phantom, shielding or a data file, see
// BenchScenes.h): rays start anywhere in the box that holds the geometry, the volume grid
// covers that box.
#include "input/Reader.h"
#include "BenchScenes.h"
#include "tools/core/CheckCore.h"
#include "tools/core/VolumeCore.h"

#include <chrono>
#include <sys/resource.h>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <array>
#include <string>
#include <vector>

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

TCheckResult RunCheck(const TGeometry& g, int rays, int threads, const double box[6]) {
    TCheckErrorSegments errors;
    TCheckRun run(errors);
    run.Threads = threads;
    TCheckSettings s;
    s.Rays = rays;
    s.Xmin = box[0], s.Xmax = box[1], s.Ymin = box[2], s.Ymax = box[3], s.Zmin = box[4],
    s.Zmax = box[5];
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

TVolumeResult RunVolume(const TGeometry& g, int level, int threads, const double box[6]) {
    TCheckErrorSegments errors;
    TVolumeRun run(errors);
    run.Threads = threads;
    TVolumeSettings s;
    s.Level = level;
    s.Xmin = box[0], s.Xmax = box[1], s.Ymin = box[2], s.Ymax = box[3], s.Zmin = box[4],
    s.Zmax = box[5];
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
    std::string name = argc > 3 ? argv[3] : "sample";
    TBenchScene scene;
    std::string error;
    if (!NamedScene(name, scene, error)) {
        std::fprintf(stderr, "cannot load %s: %s\n", name.c_str(), error.c_str());
        return 1;
    }
    const TGeometry& g = scene.Geo;
    {
        TAGeoData bodies = g.Bodies;
        PrepareBodies(bodies);
        TZoneIndex index;
        auto t0 = std::chrono::steady_clock::now();
        BuildZoneIndex(bodies, g.Zones, index);
        std::printf("%s: %zu bodies, %zu zones; hardware threads %u; zone index %.0f KiB, "
                    "built in %.3f s\n",
                    scene.Name.c_str(), g.Bodies.size(), g.Zones.size(),
                    std::thread::hardware_concurrency(),
                    static_cast<double>(ZoneIndexBytes(index)) / 1024, Seconds(t0));
    }

    // The sample: the dialogs' defaults (rays from the origin; a 200 cm box, mostly empty),
    // then a start region and a box filled by the sample, where every ray crosses bodies.
    // Other geometries: the box that holds them.
    std::vector<std::array<double, 6>> checkBoxes, volumeBoxes;
    if (name == "sample") {
        checkBoxes = {{0, 0, 0, 0, 15, 15}, {-4, 4, -4, 4, 7, 23}};
        volumeBoxes = {{-100, 100, -100, 100, -85, 115}, {-16, 16, -16, 16, -1, 31}};
    } else {
        std::array<double, 6> b;
        std::copy(scene.Box, scene.Box + 6, b.begin());
        checkBoxes = volumeBoxes = {b};
    }
    bool ok = true;
    for (const auto& box : checkBoxes) {
        TCheckResult c1 = RunCheck(g, rays, 1, box.data());
        TCheckResult c2 = RunCheck(g, rays, 2, box.data());
        ok = ok && c1.Lines == c2.Lines;
        std::printf("check  %d rays, start x %g..%g y %g..%g z %g..%g: 1 thread %.3f s (%.0f "
                    "rays/s), 2 threads %.3f s (%.0f rays/s), speed-up %.2f, same output: %s; "
                    "cpu %.3f s / %.3f s; %s\n",
                    rays, box[0], box[1], box[2], box[3], box[4], box[5], c1.Seconds,
                    rays / c1.Seconds, c2.Seconds, rays / c2.Seconds, c1.Seconds / c2.Seconds,
                    c1.Lines == c2.Lines ? "yes" : "NO", c1.Cpu, c2.Cpu,
                    c1.Lines.size() > 1 ? c1.Lines[1].c_str() : "");
    }
    for (const auto& box : volumeBoxes) {
        TVolumeResult v1 = RunVolume(g, level, 1, box.data());
        TVolumeResult v2 = RunVolume(g, level, 2, box.data());
        bool same = v1.Volumes.size() == v2.Volumes.size();
        for (size_t z = 0; same && z < v1.Volumes.size(); ++z)
            same = v1.Volumes[z].XLast == v2.Volumes[z].XLast &&
                   v1.Volumes[z].YLast == v2.Volumes[z].YLast &&
                   v1.Volumes[z].ZLast == v2.Volumes[z].ZLast;
        ok = ok && same;
        double r = 3.0 * static_cast<double>(v1.Positions);
        std::printf("volume level %d, box x %g..%g y %g..%g z %g..%g (%.0f rays): 1 thread "
                    "%.3f s (%.0f rays/s), 2 threads %.3f s (%.0f rays/s), speed-up %.2f, "
                    "bit-identical: %s; cpu %.3f s / %.3f s\n",
                    level, box[0], box[1], box[2], box[3], box[4], box[5], r, v1.Seconds,
                    r / v1.Seconds, v2.Seconds, r / v2.Seconds, v1.Seconds / v2.Seconds,
                    same ? "yes" : "NO", v1.Cpu, v2.Cpu);
    }
    return ok ? 0 : 1;
}
