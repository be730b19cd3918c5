// Zone search over many points, as the Python module's where runs it: points located per
// second on one thread (by thread CPU time) and on all cores (wall clock), best of three.
//
//   bench_where DATAFILE [POINTS.f64]
//
// POINTS.f64 holds x y z of every point as raw little-endian doubles (numpy's tofile), so that
// the module and this program time the same points; without it, 10^6 points are drawn
// uniformly in the scene box (fixed seed).
#include "input/Reader.h"
#include "tools/core/SliceCore.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <vector>

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
double CpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_where DATAFILE [POINTS.f64]\n");
        return 2;
    }
    TGeometry g;
    TTracks tracks;
    TDisplaySettings settings;
    double size = 0;
    TDataReader reader(g, tracks, settings, size);
    if (!reader.Load(argv[1])) return 1;
    RemoveWorkDir();
    TZoneIndex index;
    BuildZoneIndex(g.Bodies, g.Zones, index);

    std::vector<double> xyz;
    if (argc > 2) {
        std::ifstream in(argv[2], std::ios::binary | std::ios::ate);
        const auto bytes = static_cast<size_t>(in.tellg());
        xyz.resize(bytes / sizeof(double) / 3 * 3);
        in.seekg(0);
        in.read(reinterpret_cast<char*>(xyz.data()),
                static_cast<std::streamsize>(xyz.size() * sizeof(double)));
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 1;
        }
    } else {
        const std::array<double, 6> box = SceneBox(g.Bodies, settings.SceneSize);
        std::mt19937_64 gen(1);
        xyz.resize(3000000);
        for (size_t k = 0; k < xyz.size(); ++k) {
            const size_t a = k % 3;
            xyz[k] = std::uniform_real_distribution<double>(box[2 * a], box[2 * a + 1])(gen);
        }
    }
    const size_t n = xyz.size() / 3;
    std::vector<int32_t> out(n);
    double one = 1e300, all = 1e300;
    for (int round = 0; round < 3; ++round) {
        double c0 = CpuNow();
        LocateZones(g.Bodies, g.Zones, index, xyz.data(), n, out.data(), 1);
        one = std::min(one, CpuNow() - c0);
        double t0 = Now();
        LocateZones(g.Bodies, g.Zones, index, xyz.data(), n, out.data(), 0);
        all = std::min(all, Now() - t0);
    }
    size_t none = 0, overlap = 0;
    for (int32_t c : out) none += c == SliceUndefined, overlap += c == SliceOverlap;
    std::printf("%s: %zu points (%zu in no zone, %zu in several)\n", argv[1], n, none, overlap);
    std::printf("one thread: %.3g points/s\n", static_cast<double>(n) / one);
    std::printf("all cores:  %.3g points/s\n", static_cast<double>(n) / all);
    return 0;
}
