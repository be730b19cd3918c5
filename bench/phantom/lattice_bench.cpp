// Voxel phantom figures: load time and memory, an 800x800 material slice, `where`, and the
// track-zone check, for a GSTA SLAB file read as a lattice or (--bodies) as one RPP body and
// one zone per cell.
//
//   make_phantom ph.dat --size 256x256x128 --tracks 2000000
//   bench_lattice ph.dat [--bodies]
//
// Processor times are of this process (all threads); memory is the peak resident size.
#include "geometry/Lattice.h"
#include "geometry/ZoneIndex.h"
#include "input/Reader.h"
#include "tools/core/CheckRay.h"
#include "tools/core/SliceCore.h"
#include "tools/core/TrackZoneCheck.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/resource.h>

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
double Cpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
double PeakMB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    std::string path;
    bool bodies = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--bodies") == 0)
            bodies = true;
        else
            path = argv[i];
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: bench_lattice FILE [--bodies]\n");
        return 2;
    }
    TGeometry g;
    TTracks tracks;
    TDisplaySettings settings;
    settings.ReadMax = 1 << 30;
    double size = 0;
    TDataReader reader(g, tracks, settings, size);
    if (bodies) {
        reader.MinLatticeCells = INT64_MAX;
        reader.MaxGeneratedBodies = INT64_MAX;
        reader.MaxLatticeCells = 0;
    }
    double w0 = Now(), c0 = Cpu();
    if (!reader.Load(path)) return 1;
    double w1 = Now(), c1 = Cpu();
    std::printf("model:        %s, %zu zones, %zu track points\n",
                g.Zones.Lattice ? "lattice" : "bodies", ZoneCount(g.Zones), tracks.size());
    std::printf("load:         %.3f s wall, %.3f s processor, peak %.0f MB\n", w1 - w0, c1 - c0,
                PeakMB());

    TZoneIndex index;
    double i0 = Now();
    BuildZoneIndex(g.Bodies, g.Zones, index);
    std::printf("zone index:   %.3f s\n", Now() - i0);

    // where at the centre, averaged over many calls
    const std::array<double, 6> box = SceneBox(g.Bodies, g.Zones, 1);
    const int whereCalls = 1000;
    double q0 = Now();
    size_t found = 0;
    for (int k = 0; k < whereCalls; ++k) {
        double f = (k + 0.5) / whereCalls;
        TPointInfo info = InspectPoint(g.Bodies, g.Zones, index, box[0] + f * (box[1] - box[0]),
                                       (box[2] + box[3]) / 2, (box[4] + box[5]) / 2);
        found += PointInfoLines(g.Zones, info).size();
    }
    std::printf("where:        %.4f ms a point (%zu lines)\n", (Now() - q0) * 1e3 / whereCalls,
                found);

    TSlicePlane plane;
    plane.Axis = 2;
    plane.C = (box[4] + box[5]) / 2;
    DefaultSliceWindow(box, 800, 800, plane);
    TSliceRender r;
    double s0 = Cpu(), sw = Now();
    r.Start(g.Bodies, g.Zones, index, plane, 800, 800);
    r.Finish();
    std::vector<uint8_t> rgb;
    PaintSlice(r.Classes(), 800, 800, SliceZoneColors(g, TSliceColorBy::Material, 0), 0, rgb);
    std::printf("slice:        800x800 material, %.3f s processor, %.3f s wall\n", Cpu() - s0,
                Now() - sw);

    if (!tracks.empty()) {
        TTrackZoneOptions o;
        double t0 = Now();
        TTrackZoneResult res = CheckTrackZones(g.Bodies, g.Zones, index, tracks, o);
        double t = Now() - t0;
        std::printf("track zones:  %lld points, %lld mismatches, %.0f points/s (%d threads)\n",
                    static_cast<long long>(res.Points), static_cast<long long>(res.Mismatches),
                    static_cast<double>(res.Points) / t, HardwareThreads());
    }
    std::printf("peak memory:  %.0f MB\n", PeakMB());
    return 0;
}
