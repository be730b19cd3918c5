#include "BenchScenes.h"

#include "ShieldingGeometry.h"
#include "input/DisplaySettings.h"
#include "input/Reader.h"
#include "input/Tracks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

TZoneData MakeZone(const std::string& name, int material, TMatrixAAi index, TMatrixAAi sign) {
    TZoneData z;
    z.Name = name;
    z.Material = material;
    z.BodyIndex = std::move(index);
    z.Sign = std::move(sign);
    z.GroupOp.assign(z.BodyIndex.size(), 'O');
    return z;
}

void SetBox(TBenchScene& s, std::initializer_list<double> box) {
    std::copy(box.begin(), box.end(), s.Box);
}

// Union of the body extents of every bounded body (half-spaces have none).
void ExtentBox(TBenchScene& s) {
    double e[6] = {1e300, -1e300, 1e300, -1e300, 1e300, -1e300};
    for (const TGeoData& b : s.Geo.Bodies) {
        if (b.Symbol == "HAF") continue;
        double x[8];
        BodyExtent(b, x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7]);
        for (int i = 0; i < 3; ++i)
            e[2 * i] = std::min(e[2 * i], x[2 * i]),
                  e[2 * i + 1] = std::max(e[2 * i + 1], x[2 * i + 1]);
    }
    std::memcpy(s.Box, e, sizeof e);
}

bool Load(const std::string& path, TBenchScene& s, std::string& error) {
    TTracks tracks;
    TDisplaySettings settings;
    double size = 1000;
    TDataReader reader(s.Geo, tracks, settings, size);
    reader.Hooks.ShowError = [&error](const std::string& text) { error = text; };
    return reader.Load(path);
}

} // namespace

TBenchScene DetectorScene(int n) {
    TBenchScene s = Generated(n);
    PrepareBodies(s.Geo.Bodies); // as the reader does after a load
    return s;
}

TBenchScene PhantomScene(int side) {
    TBenchScene s;
    s.Name = std::to_string(side * side * side) + " voxels";
    const double v = 2; // voxel edge
    int n = 0;
    for (int k = 0; k < side; ++k)
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i, ++n) {
                s.Geo.Bodies.push_back(MakeBody(
                    "RPP", n + 1, {i * v, (i + 1) * v, j * v, (j + 1) * v, k * v, (k + 1) * v}));
                s.Geo.Zones.push_back(
                    MakeZone("Z" + std::to_string(n + 1), 1 + (i + j + k) % 4, {{n}}, {{1}}));
            }
    double e = side * v;
    s.Geo.Bodies.push_back(MakeBody("RPP", n + 1, {0, e, 0, e, 0, e}));
    s.Geo.Bodies.push_back(MakeBody("SPH", n + 2, {e / 2, e / 2, e / 2, e}));
    s.Geo.Zones.push_back(MakeZone("ZAIR", 5, {{n + 1, n}}, {{1, -1}}));
    s.Geo.Zones.push_back(MakeZone("ZVOID", 0, {{n + 1}}, {{-1}}));
    SetBox(s, {0, e, 0, e, 0, e});
    PrepareBodies(s.Geo.Bodies);
    return s;
}

TBenchScene NestedScene(int count) {
    TBenchScene s;
    s.Name = std::to_string(count) + " nested";
    for (int k = 1; k <= count; ++k) {
        s.Geo.Bodies.push_back(MakeBody("SPH", k, {0, 0, 0, static_cast<double>(k)}));
        if (k == 1)
            s.Geo.Zones.push_back(MakeZone("1", 2, {{0}}, {{1}}));
        else
            s.Geo.Zones.push_back(MakeZone(std::to_string(k), 1 + k % 3, {{k - 1, k - 2}}, {{1, -1}}));
    }
    s.Geo.Zones.push_back(MakeZone("void", 0, {{count - 1}}, {{-1}}));
    // starts near the centre, so that rays cross (nearly) every sphere
    SetBox(s, {-1, 1, -1, 1, -1, 1});
    PrepareBodies(s.Geo.Bodies);
    return s;
}

bool FileScene(const std::string& path, TBenchScene& s, std::string& error) {
    s.Name = path;
    if (!Load(path, s, error)) return false;
    ExtentBox(s);
    return true;
}

bool ShieldingScene(TBenchScene& s, std::string& error, double scale, int targetSlices) {
    TShieldingOptions o;
    o.Scale = scale;
    o.TargetSlices = targetSlices;
    char path[] = "/tmp/trazon-shielding-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) {
        error = "cannot create a temporary file";
        return false;
    }
    close(fd);
    bool ok = WriteShieldingFile(path, o, error) && Load(path, s, error);
    std::remove(path);
    if (!ok) return false;
    s.Name = targetSlices > 0 ? "planes" : "shielding";
    const double* w = ShieldingWorld;
    SetBox(s, {w[0] * scale, w[1] * scale, w[2] * scale, w[3] * scale, w[4] * scale,
               w[5] * scale});
    return true;
}

bool SampleScene(TBenchScene& s) {
    s.Name = "built-in sample";
    TTracks tracks;
    TDisplaySettings settings;
    double size = 1000;
    TDataReader reader(s.Geo, tracks, settings, size);
    if (!reader.LoadSample()) return false;
    ExtentBox(s);
    return true;
}

bool NamedScene(const std::string& name, TBenchScene& s, std::string& error) {
    if (name == "detector") {
        s = DetectorScene(200);
        return true;
    }
    if (!name.empty() && std::strspn(name.c_str(), "0123456789") == name.size()) {
        s = DetectorScene(std::atoi(name.c_str()));
        return true;
    }
    if (name == "phantom") {
        s = PhantomScene();
        return true;
    }
    if (name == "shielding") return ShieldingScene(s, error);
    if (name == "planes") return ShieldingScene(s, error, 1, PlaneSlices);
    if (name == "nested") {
        s = NestedScene(30000);
        return true;
    }
    if (name == "sample") {
        if (SampleScene(s)) return true;
        error = "the built-in sample did not load";
        return false;
    }
    return FileScene(name, s, error);
}
