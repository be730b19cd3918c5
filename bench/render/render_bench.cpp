// Frame times at 1024 x 768: the sample in the three display types, 100 zones of 3 to 5
// terms, and 100,000 / 1,000,000 short track segments against bare GL drawing of the same
// segments. Run under Xvfb: DISPLAY=:99 ./render_bench [sample|zones|tracks]
#include "input/Reader.h"
#include "render/Scene.h"

#include <GL/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Millis(const std::function<void()>& f, int repeats) {
    f(); // warm-up
    auto t0 = Clock::now();
    for (int i = 0; i < repeats; ++i) f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / repeats;
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
    // optional argument: only "sample", "zones" or "tracks"
    std::string only = argc > 1 ? argv[1] : "";
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
    std::printf("frame size %dx%d, filled polygons, parallel projection\n", W, H);

    // --- the sample ---
    if (wanted("sample")) {
        TGeometry geo;
        TTracks tracks;
        TDisplaySettings ds;
        double size = 1000;
        TDataReader reader(geo, tracks, ds, size);
        reader.Hooks.RebuildBodies = [&] {
            RebuildSceneMeshes(geo, ds.CutBox, ds.SceneSize, ds.ReviseRate, ds.ReviseValue);
        };
        if (!reader.LoadSample()) return 1;
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

    // --- 100 zones of 3 to 5 terms ---
    if (wanted("zones")) {
        TGeometry geo;
        TDisplaySettings ds;
        std::mt19937 rng(5);
        std::uniform_real_distribution<double> pos(-80, 80);
        int number = 1;
        for (int z = 0; z < 100; ++z) {
            double x = pos(rng), y = pos(rng), zz = pos(rng);
            int first = static_cast<int>(geo.Bodies.size());
            geo.Bodies.push_back(Body("RCC", number++, {x, y, zz - 10, 0, 0, 20, 10}));
            int terms = 3 + z % 3;
            for (int t = 1; t < terms; ++t)
                geo.Bodies.push_back(
                    Body("SPH", number++, {x + 8 * std::cos(t), y + 8 * std::sin(t), zz, 4}));
            TZoneData zone;
            zone.Name = "Z" + std::to_string(z + 1);
            zone.Material = 1 + z % 4;
            TMatrixAi idx, sgn;
            for (int t = 0; t < terms; ++t) {
                idx.push_back(first + t);
                sgn.push_back(t == 0 ? 1 : -1);
            }
            zone.BodyIndex = {idx};
            zone.Sign = {sgn};
            zone.GroupOp = {'O'};
            geo.Zones.push_back(zone);
            geo.ZoneLooks.push_back({PaletteColor(z), true});
        }
        for (size_t i = 0; i < geo.Bodies.size(); ++i)
            geo.BodyLooks.push_back({PaletteColor(static_cast<int64_t>(i)), true});
        for (int m = 1; m <= 4; ++m) geo.Materials.push_back({m, PaletteColor(m), true});
        RebuildSceneMeshes(geo, ds.CutBox, 100, ds.ReviseRate, ds.ReviseValue);
        gl.Size = 100;
        TTracks none;
        for (int type = 0; type < 3; ++type) {
            ds.ViewInfoType = type;
            double ms = Millis([&] { PaintScene(gl, geo, none, ds, noErrors, options); }, 3);
            std::printf("100 zones (%zu bodies), %-8s: %8.2f ms/frame\n", geo.Bodies.size(),
                        DisplayName(type), ms);
        }
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
