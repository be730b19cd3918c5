// Frame times at 1024 x 768 (medians): the sample in the three display types, 100 zones of 3
// to 5 terms, a world sphere minus 200 small bodies, the generated shielding geometry (with its
// peak memory), 100,000 concentric spheres (load to first frame and peak memory), and
// 100,000 / 1,000,000 short track segments against bare GL drawing of the same segments. The
// shielding and the spheres run only when named. Run under Xvfb:
//   DISPLAY=:99 ./render_bench [sample|zones|world|shielding|spheres|tracks] [--plain]
//                              [--write DIR]
//   DISPLAY=:99 ./render_bench --phantom FILE [--no-coarse]
// --phantom: a voxel phantom (bench/phantom/make_phantom) in Material display, its full frame
// and its dragging frame (--no-coarse: the dragging frame draws the full faces, as before the
// coarse copy).
// --plain draws every stencil pass over the whole frame without culling (the reference);
// --write DIR also leaves the generated data files there (world200.dat, shielding.dat,
// spheres.dat).
#include "ShieldingGeometry.h"
#include "TestScenes.h"
#include "document/Document.h"
#include "input/Reader.h"
#include "render/Scene.h"
#include "render/mesh/LatticeMesh.h"

#include <sys/resource.h>

#include <GL/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <algorithm>
#include <vector>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Median time of repeats calls after one warm-up call.
double Millis(const std::function<void()>& f, int repeats) {
    f();
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        auto t0 = Clock::now();
        f();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double PeakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// Loads a data file through the reader and builds the meshes as the viewer does.
bool LoadScene(const std::string& path, TGeometry& geo, TTracks& tracks, TDisplaySettings& ds,
               double& size) {
    TDocument doc;
    const bool loaded = path.empty() ? doc.LoadSample(size) : doc.Load(path, size);
    geo = std::move(doc.Geometry);
    tracks = std::move(doc.Tracks);
    ds = std::move(doc.Display);
    return loaded;
}

TGeoData Body(const std::string& sym, int number, std::initializer_list<double> params) {
    TGeoData b;
    b.Symbol = sym;
    b.Number = number;
    size_t k = 0;
    for (double v : params) b.Params[k++] = v;
    return b;
}

const char* DisplayName(int type) {
    static const char* const names[3] = {"Body", "Zone", "Material"};
    return names[type];
}

} // namespace

int main(int argc, char** argv) {
    std::string only, dir = WorkFilePath(""), phantom;
    bool plain = false, coarse = true;
    for (int k = 1; k < argc; ++k) {
        std::string a = argv[k];
        if (a == "--plain")
            plain = true;
        else if (a == "--phantom" && k + 1 < argc)
            phantom = argv[++k], only = "phantom";
        else if (a == "--no-coarse")
            coarse = false;
        else if (a == "--write" && k + 1 < argc)
            dir = std::string(argv[++k]) + "/";
        else
            only = a;
    }
    auto wanted = [&](const char* part) { return only.empty() || only == part; };
    const int W = 1024, H = 768;
    TOffscreenControl surface(W, H);
    TGLUnit gl(&surface, 1000.0);
    if (!gl.Ready()) {
        std::fprintf(stderr, "render_bench: no X display with GLX (run under Xvfb)\n");
        return 2;
    }
    gl.DrawMode = 1;
    TCheckErrorSegments noErrors;
    TSceneOptions options;
    options.AxesOn = true;
    options.AxisLayout = TAxisLayout::XZ;
    options.Plain = plain;
    std::printf("frame size %dx%d, filled polygons, parallel projection%s\n", W, H,
                plain ? ", plain stencil passes" : "");

    // --- a voxel phantom: Material display, full and dragging frames ---
    if (!phantom.empty()) {
        TGeometry geo;
        TTracks none;
        TDisplaySettings ds;
        double size = 1000;
        auto t0 = Clock::now();
        if (!LoadScene(phantom, geo, none, ds, size)) return 1;
        ds.ViewInfoType = 2;
        BuildLatticeFaces(geo, 2, false, ds.CutBox);
        if (!coarse) geo.LatticeQuickFaces.clear();
        const double prepared = std::chrono::duration<double>(Clock::now() - t0).count();
        size_t quads = 0, quickQuads = 0;
        for (const TLatticeFaces& f : geo.LatticeFaces) quads += f.Faces.MeshGrid.Points.size() / 4;
        for (const TLatticeFaces& f : geo.LatticeQuickFaces)
            quickQuads += f.Faces.MeshGrid.Points.size() / 4;
        gl.SetView(1);
        gl.RotateX(0.3);
        gl.RotateY(0.5);
        FitView(gl, geo, ds);
        TSceneOptions full = options, quick = options;
        full.AxesOn = quick.AxesOn = false;
        quick.Quick = true;
        auto f0 = Clock::now();
        PaintScene(gl, geo, none, ds, noErrors, full);
        const double first = std::chrono::duration<double>(Clock::now() - f0).count();
        const double fullMs = Millis([&] { PaintScene(gl, geo, none, ds, noErrors, full); }, 3);
        const double quickMs = Millis([&] { PaintScene(gl, geo, none, ds, noErrors, quick); }, 7);
        std::printf("phantom: load and faces %.2f s, %zu face rectangles (%zu in the coarse copy)\n"
                    "phantom: first Material frame %.2f s, then %.1f ms/frame, dragging frame "
                    "%.1f ms/frame, peak memory %.0f MB\n",
                    prepared, quads, quickQuads, first, fullMs, quickMs, PeakMegabytes());
        return 0;
    }

    // --- the sample ---
    if (wanted("sample")) {
        TGeometry geo;
        TTracks tracks;
        TDisplaySettings ds;
        double size = 1000;
        if (!LoadScene("", geo, tracks, ds, size)) return 1;
        gl.Size = size;
        gl.SetView(1);
        gl.RotateX(0.3);
        gl.RotateY(0.5);
        for (int type = 0; type < 3; ++type) {
            ds.ViewInfoType = type;
            for (bool cut : {false, true}) {
                ds.CutOn = cut;
                if (cut) {
                    ds.CutBox.Params = {0, 100, -100, 100, -100, 100};
                    BuildMesh(ds.CutBox, true, 0);
                }
                double ms = Millis([&] { PaintScene(gl, geo, tracks, ds, noErrors, options); }, 10);
                std::printf("sample, %-8s %-7s: %7.2f ms/frame\n", DisplayName(type),
                            cut ? "cut" : "", ms);
            }
        }
        gl.BeginFrame(0);
        double bare = Millis(
            [&] {
                gl.BeginFrame(0);
                gl.Present();
            },
            20);
        std::printf("empty frame (clear + read back + copy): %7.2f ms\n", bare);
    }

    // --- 100 zones of 3 to 5 terms; a world sphere minus 200 small bodies; the shielding ---
    for (const char* part : {"zones", "world", "shielding"}) {
        if (!wanted(part)) continue;
        std::string name = part, path = dir + name + ".dat", label;
        int repeats = 7;
        if (name == "shielding") {
            if (only != name) continue; // alone, so that the peak is its own
            std::string error;
            if (!WriteShieldingFile(path, TShieldingOptions{}, error)) {
                std::fprintf(stderr, "render_bench: %s\n", error.c_str());
                return 1;
            }
            label = "shielding", repeats = 3;
        } else {
            bool world = name == "world";
            path = dir + (world ? "world200.dat" : "zones100.dat");
            testscenes::WriteText(path, world ? testscenes::WorldMinusBodies(200)
                                              : testscenes::HundredZones());
            label = world ? "world minus 200" : "100 zones";
        }
        TGeometry geo;
        TTracks none;
        TDisplaySettings ds;
        double size = 1000;
        if (!LoadScene(path, geo, none, ds, size)) return 1;
        gl.Size = size;
        gl.SetView(1);
        gl.RotateX(0.3);
        gl.RotateY(0.5);
        for (int type = 0; type < 3; ++type) {
            ds.ViewInfoType = type;
            double ms = Millis([&] { PaintScene(gl, geo, none, ds, noErrors, options); },
                               plain && type > 0 ? 3 : repeats);
            std::printf("%s (%zu bodies, %zu zones), %-8s: %8.2f ms/frame\n", label.c_str(),
                        geo.Bodies.size(), geo.Zones.size(), DisplayName(type), ms);
        }
        TSceneOptions quick = options;
        quick.Quick = true;
        for (int type = 1; type < 3; ++type) {
            ds.ViewInfoType = type;
            double ms = Millis([&] { PaintScene(gl, geo, none, ds, noErrors, quick); }, 7);
            std::printf("%s, %-8s dragging frame: %8.2f ms/frame\n", label.c_str(),
                        DisplayName(type), ms);
        }
        if (name == "shielding") std::printf("shielding, peak memory %.0f MB\n", PeakMegabytes());
    }

    // --- 100,000 concentric spheres: load to first frame, peak memory ---
    if (wanted("spheres") && only == "spheres") { // alone, so that the peak is its own
        std::string path = dir + "spheres.dat";
        testscenes::WriteText(path, testscenes::ConcentricSpheres(100000));
        TGeometry geo;
        TTracks none;
        TDisplaySettings ds;
        double size = 1000;
        auto t0 = Clock::now();
        if (!LoadScene(path, geo, none, ds, size)) return 1;
        auto t1 = Clock::now();
        gl.Size = size;
        gl.SetView(1);
        ds.ViewInfoType = 0;
        PaintScene(gl, geo, none, ds, noErrors, options);
        auto t2 = Clock::now();
        auto ms = [](Clock::time_point a, Clock::time_point b) {
            return std::chrono::duration<double, std::milli>(b - a).count();
        };
        double next = Millis([&] { PaintScene(gl, geo, none, ds, noErrors, options); }, 3);
        std::printf("100000 spheres, Body: load %.0f ms, first frame %.0f ms, load to first "
                    "frame %.0f ms, next frames %.0f ms, peak memory %.0f MB\n",
                    ms(t0, t1), ms(t1, t2), ms(t0, t2), next, PeakMegabytes());
    }

    // --- track segments of a few pixels ---
    for (int count : {100000, 1000000}) {
        if (!wanted("tracks")) break;
        TGeometry geo;
        geo.Bodies.push_back(Body("SPH", 1, {0, 0, 0, 1}));
        geo.BodyLooks.push_back({0xFFFFFF, false});
        TDisplaySettings ds;
        TTracks tracks;
        std::mt19937 rng(7);
        std::normal_distribution<double> step(0, 0.6); // about 4 pixels at Size 100
        TrackPoint p;
        p.HistoryNo = 1;
        p.Kind = 5;
        for (int i = 0; i <= count; ++i) {
            p.X += step(rng), p.Y += step(rng), p.Z += step(rng);
            if (std::fabs(p.X) > 90 || std::fabs(p.Y) > 90 || std::fabs(p.Z) > 90)
                p.X = p.Y = p.Z = 0;
            p.Kind = 4 + (i / 1000) % 3; // tracks of 1000 segments per kind
            tracks.push_back(p);
        }
        gl.Size = 100;
        gl.SetView(0);
        std::vector<TTrackPiece> pieces = SelectTracks(tracks, ds);
        double pixels = 0;
        for (const TTrackPiece& s : pieces)
            pixels += std::max(std::fabs(s.B.x - s.A.x), std::fabs(s.B.y - s.A.y)) * H / 300.0;
        auto frame = [&](const std::function<void()>& draw) {
            auto t0 = Clock::now();
            gl.BeginFrame(0);
            draw();
            glFinish();
            return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        };
        auto bare = [&] {
            // bare GL: the same segments, one primitive per colour run, nothing else
            glDisable(GL_LIGHTING);
            glBegin(GL_LINES);
            TColor last = 0xFFFFFFFF;
            for (const TTrackPiece& s : pieces) {
                if (s.Color != last) {
                    glEnd();
                    TRGBA c = TGLUnit::ColorToRGBA(s.Color, 1.0);
                    glColor4fv(c.data());
                    glBegin(GL_LINES);
                    last = s.Color;
                }
                glVertex3d(s.A.x, s.A.y, s.A.z);
                glVertex3d(s.B.x, s.B.y, s.B.z);
            }
            glEnd();
        };
        auto perSegment = [&] {
            // one primitive and a style change per segment
            for (const TTrackPiece& s : pieces) {
                gl.SetLineStyle(1, s.LineKind, s.Width);
                gl.SetColor(TGLUnit::ColorToRGBA(s.Color, 1.0));
                gl.DrawLine(s.A, s.B);
                gl.ResetLineStyle();
            }
        };
        // The variants take turns and the best time of each counts, which keeps the
        // comparison fair on a busy machine.
        TSceneOptions quick = options;
        quick.Quick = true;
        quick.AxesOn = false;
        TSceneOptions full = quick;
        full.Quick = false;
        double atRest = Millis([&] { PaintScene(gl, geo, tracks, ds, noErrors, full); }, 5);
        double dragging = Millis([&] { PaintScene(gl, geo, tracks, ds, noErrors, quick); }, 5);
        std::printf("%8zu segments: whole frame at rest %.1f ms, dragging frame %.1f ms\n",
                    pieces.size(), atRest, dragging);
        double clear = 1e300, ours = 1e300, pre = 1e300, raw = 1e300, single = 1e300;
        int reps = count > 200000 ? 4 : 8;
        for (int r = 0; r < reps; ++r) {
            clear = std::min(clear, frame([] {}));
            ours = std::min(ours, frame([&] { DrawTracks(gl, tracks, ds); }));
            pre = std::min(pre, frame([&] { DrawTrackPieces(gl, pieces); }));
            raw = std::min(raw, frame(bare));
            if (r < 2) single = std::min(single, frame(perSegment));
        }
        ours -= clear, pre -= clear, raw -= clear, single -= clear;
        std::printf(
            "%8d segments (%.1f px each): frame %.1f ms; track pass %.1f ms = %.0f ns/segment\n",
            count, pixels / static_cast<double>(pieces.size()), ours + clear, ours,
            ours * 1e6 / static_cast<double>(pieces.size()));
        std::printf(
            "          bare GL %.1f ms, drawing a selected list %.1f ms, selection and batching"
            " overhead %+.1f %%; one primitive per segment %.1f ms\n",
            raw, pre, 100.0 * (ours - raw) / raw, single);
    }
    return 0;
}
