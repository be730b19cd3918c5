// Zone and Material display against Body display on one geometry, the way trazon-cli render
// draws them at 1024 x 768: the processor time of the zone surfaces (all threads), their
// triangles and memory, and the medians of full frames (Body, Zone and Material, the last two
// also by the stencil passes with --stencil) and of the quick dragging frame. Run under Xvfb:
//   DISPLAY=:99 ./zone_surface_bench FILE|shielding|plane-heavy|terms300|groups3000|spheres20000
//                                   [--threads N] [--stencil] [--open] [--write DIR]
// The named scenes are generated: the shielding generator (plane-heavy: with its buried
// target of sliced half-spaces), one zone of 300 intersected half-spaces (a polyhedron round a
// ball), one zone of 3,000 OR groups (boxes in a grid), and 20,000 spheres in a box whose air
// zone subtracts all of them.
#include "ShieldingGeometry.h"
#include "TestScenes.h"
#include "document/Document.h"
#include "input/Reader.h"
#include "render/Scene.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double PeakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// Median processor time (ms) of repeats calls after a warm-up call.
double Millis(const std::function<void()>& f, int repeats) {
    f();
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        double t0 = ProcessSeconds();
        f();
        times.push_back(1e3 * (ProcessSeconds() - t0));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string Terms300() {
    // 300 half-spaces tangent to a ball of radius 50, their normals on a spiral
    std::ostringstream t;
    t << "CSTA-FREE\n";
    const int n = 300;
    for (int k = 0; k < n; ++k) {
        double z = 1 - (2.0 * k + 1) / n, r = std::sqrt(1 - z * z), a = 2.399963 * k;
        t << "HAF " << k + 1 << " " << -r * std::cos(a) << " " << -r * std::sin(a) << " " << -z
          << " -50\n";
    }
    t << "RPP " << n + 1 << " -100 100 -100 100 -100 100\nEND\nZ1";
    for (int k = 0; k < n; ++k) t << " " << k + 1;
    t << "\nZ2 " << n + 1;
    for (int k = 0; k < n; ++k) t << (k % 16 == 0 ? "\n OR " : " ") << n + 1 << " -" << k + 1;
    t << "\nEND\nCEND\nMSTA\n2\n1 0\nMEND\n";
    return t.str();
}

std::string Groups3000() {
    std::ostringstream t;
    t << "CSTA-FREE\n";
    for (int k = 0; k < 3000; ++k) {
        int i = k % 15, j = (k / 15) % 15, l = k / 225;
        t << "RPP " << k + 1 << " " << 3 * i << " " << 3 * i + 2 << " " << 3 * j << " "
          << 3 * j + 2 << " " << 3 * l << " " << 3 * l + 2 << "\n";
    }
    t << "END\nZ1 1";
    for (int k = 1; k < 3000; ++k) t << "\n OR " << k + 1;
    t << "\nEND\nCEND\nMSTA\n1\n1\nMEND\n";
    return t.str();
}

std::string Spheres20000() {
    std::ostringstream t;
    t << "CSTA-FREE\n";
    const int n = 20000;
    for (int k = 0; k < n; ++k) {
        int i = k % 28, j = (k / 28) % 28, l = k / 784;
        t << "SPH " << k + 1 << " " << 3 * i << " " << 3 * j << " " << 3 * l << " 1\n";
    }
    t << "RPP " << n + 1 << " -2 84 -2 84 -2 80\nEND\n";
    for (int k = 0; k < n; ++k) t << "Z" << k + 1 << " " << k + 1 << "\n";
    t << "Z" << n + 1 << " " << n + 1;
    for (int k = 0; k < n; ++k) t << " -" << k + 1;
    t << "\nEND\nCEND\nMSTA\n" << n + 1 << "\n";
    for (int k = 0; k < n; ++k) t << 1 + k % 5 << " ";
    t << "0\nMEND\n";
    return t.str();
}

} // namespace

int main(int argc, char** argv) {
    std::string what = argc > 1 ? argv[1] : "shielding", dir = "/tmp/";
    unsigned threads = 0;
    bool stencil = false, open = false;
    for (int k = 2; k < argc; ++k) {
        std::string a = argv[k];
        if (a == "--threads" && k + 1 < argc) threads = static_cast<unsigned>(std::atoi(argv[++k]));
        else if (a == "--stencil") stencil = true;
        else if (a == "--open") open = true;
        else if (a == "--write" && k + 1 < argc) dir = std::string(argv[++k]) + "/";
    }
    std::string path = what;
    std::string text;
    if (what == "shielding" || what == "plane-heavy") {
        TShieldingOptions o;
        if (what == "plane-heavy") o.TargetSlices = 200;
        text = ShieldingDataText(o);
    } else if (what == "terms300") {
        text = Terms300();
    } else if (what == "groups3000") {
        text = Groups3000();
    } else if (what == "spheres20000") {
        text = Spheres20000();
    }
    if (!text.empty()) {
        path = dir + "zone_surface_" + what + ".dat";
        if (!testscenes::WriteText(path, text)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    TDocument doc;
    TGeometry& geo = doc.Geometry;
    const TTracks& tracks = doc.Tracks;
    TDisplaySettings& settings = doc.Display;
    double size = 1000;
    double t0 = ProcessSeconds();
    if (!doc.Load(path, size)) return 1;
    const double load = ProcessSeconds() - t0;
    t0 = ProcessSeconds();
    auto w0 = Clock::now();
    TZoneSurfaces surfaces;
    TSurfaceOptions options;
    options.Threads = threads;
    const bool made = BuildZoneSurfaces(geo, options, surfaces);
    const double build = ProcessSeconds() - t0;
    if (!made) std::printf("zone surfaces: more than %zu triangles, given up\n", options.MaxTriangles);
    if (made && open) {
        // A closed surface's area vectors add up to nothing: what remains is a hole or a
        // piece too many.
        const auto m = MeasureSurfaces(surfaces.Zones, geo.Zones.size());
        size_t leaky = 0;
        for (size_t z = 0; z < m.size(); ++z)
            if (m[z].OpenArea > 1e-3 * m[z].Area) {
                ++leaky;
                std::printf("  zone %s open: %.3g of %.3g area, volume %.6g\n",
                            geo.Zones[z].Name.c_str(), m[z].OpenArea, m[z].Area, m[z].Volume);
            }
        std::printf("zones not closed (open area above 1e-3 of the area): %zu of %zu\n", leaky,
                    m.size());
    }
    const double wall = std::chrono::duration<double>(Clock::now() - w0).count();
    size_t polygons = 0;
    for (const TGeoData& b : geo.Bodies) polygons += b.MeshGrid.size();
    std::printf("%s: %zu bodies (%zu mesh polygons), %zu zones; load %.2f s\n", what.c_str(),
                geo.Bodies.size(), polygons, geo.Zones.size(), load);
    std::printf("zone surfaces: %.2f s processor (%.2f s wall), %zu zone and %zu material "
                "triangles, %.0f MB; peak %.0f MB\n",
                build, wall, surfaces.Zones.Triangles(), surfaces.Materials.Triangles(),
                static_cast<double>(surfaces.Bytes()) / 1048576.0, PeakMegabytes());

    TOffscreenControl surface(1024, 768);
    TGLUnit gl(&surface, size);
    if (!gl.Ready()) {
        std::fprintf(stderr, "no X display with GLX\n");
        return 2;
    }
    gl.DrawMode = 1;
    gl.SetView(1);
    gl.RotateX(20 * 3.14159265358979 / 180);
    gl.RotateY(30 * 3.14159265358979 / 180);
    FitView(gl, geo, settings);
    TCheckErrorSegments none;
    auto frame = [&](int type, const TZoneSurfaces* s, bool quick) {
        settings.ViewInfoType = type;
        TSceneOptions o;
        o.Surfaces = s;
        o.Quick = quick;
        return Millis([&] { PaintScene(gl, geo, tracks, settings, none, o); }, 3);
    };
    const double body = frame(0, nullptr, false);
    const TZoneSurfaces* drawn = made ? &surfaces : nullptr;
    const double zone = frame(1, drawn, false), material = frame(2, drawn, false);
    const double quick = frame(1, drawn, true);
    std::printf("frames (processor ms): body %.0f, zone %.0f, material %.0f, dragging %.0f\n",
                body, zone, material, quick);
    std::printf("zone display against body display, surfaces included: zone %.1fx, material "
                "%.1fx\n",
                (1e3 * build + zone) / std::max(body, 1e-3),
                (1e3 * build + material) / std::max(body, 1e-3));
    if (stencil)
        std::printf("stencil passes (processor ms): zone %.0f, material %.0f\n",
                    frame(1, nullptr, false), frame(2, nullptr, false));
    std::printf("peak memory %.0f MB\n", PeakMegabytes());
    return 0;
}
