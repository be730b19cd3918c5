// Slice speed: pixels classified per second by the zone search through the index, on one core
// and on all cores, for the 200-body detector geometry of the engine benchmark and the built-in
// sample.
//
//   bench_slice [pixels per side, default 1000]
//
// Planes: through the middle of the body lattice along each axis, and one between two layers
// of bodies (only the outer zone there). The window is the scene box in the plane.
#include "DetectorGeometry.h"
#include "geometry/ZoneIndex.h"
#include "input/Reader.h"
#include "tools/core/CheckRay.h"
#include "tools/core/SliceCore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
double CpuNow() { // thread CPU time: what one core spends, whatever the neighbours do
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Pixels per second: on one thread by thread CPU time, on all threads by the wall clock. The
// best of three rounds.
void Measure(const char* name, const TGeometry& g, const TZoneIndex& index, TSlicePlane plane,
             int side) {
    DefaultSliceWindow(SceneBox(g.Bodies, 1), side, side, plane);
    double one = 0, all = 0;
    TSliceCounts counts;
    for (int round = 0; round < 3; ++round) {
        for (int threads : {1, 0}) {
            TSliceRender r;
            r.Threads = threads;
            double t0 = threads == 1 ? CpuNow() : Now();
            r.Start(g.Bodies, g.Zones, index, plane, side, side);
            r.Finish();
            double t = (threads == 1 ? CpuNow() : Now()) - t0;
            double rate = double(side) * side / t;
            (threads == 1 ? one : all) = std::max(threads == 1 ? one : all, rate);
            counts = CountSlice(r.Classes(), g.Zones.size());
        }
    }
    std::printf("%-16s %s=%-8g %12.0f %12.0f %9lld %9lld\n", name, SliceAxisNames[plane.Axis],
                plane.C, one, all, static_cast<long long>(counts.Undefined),
                static_cast<long long>(counts.Overlap));
}

} // namespace

int main(int argc, char** argv) {
    int side = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (side < 1) side = 1000;
    std::printf("%d x %d pixels, %d cores\n", side, side, HardwareThreads());
    std::printf("%-16s %-10s %12s %12s %9s %9s\n", "geometry", "plane", "px/s 1 core",
                "px/s all", "undefined", "overlap");

    TScene det = Generated(200);
    PrepareBodies(det.Geo.Bodies);
    TZoneIndex index;
    BuildZoneIndex(det.Geo.Bodies, det.Geo.Zones, index);
    const double* b = det.Box;
    for (int axis = 0; axis < 3; ++axis) {
        TSlicePlane p;
        p.Axis = axis;
        p.C = (b[2 * axis] + b[2 * axis + 1]) / 2 + 0.37; // off the lattice's symmetry
        Measure("200 bodies", det.Geo, index, p, side);
    }
    TSlicePlane between;
    between.Axis = 2;
    between.C = 10; // between two layers of bodies (cell size 10)
    Measure("200 bodies", det.Geo, index, between, side);

    TGeometry sample;
    TTracks tracks;
    TDisplaySettings settings;
    double size = 1000;
    TDataReader reader(sample, tracks, settings, size);
    if (reader.LoadSample()) {
        TZoneIndex sampleIndex;
        BuildZoneIndex(sample.Bodies, sample.Zones, sampleIndex);
        TSlicePlane p;
        p.Axis = 1;
        Measure("built-in sample", sample, sampleIndex, p, side);
    }
    std::printf("(1 core: thread CPU time of a one-thread run; all: wall clock with every core)\n");
    return 0;
}
