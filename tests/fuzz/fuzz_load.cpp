// Feeds arbitrary bytes through a whole load as the viewer and the command line run it: both
// reader passes, the post-load steps with the body meshes, then a few check rays and one
// volume level on whatever was loaded. Sizes are bounded so that one input stays fast. Besides
// the sanitizers' findings it aborts when a number that is no number reaches an output line.
#include "FuzzInput.h"
#include "input/Reader.h"
#include "render/mesh/BodyMesh.h"
#include "tools/core/CheckCore.h"
#include "tools/core/VolumeCore.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr size_t MaxBodies = 48;

void ExpectNumbers(const std::vector<std::string>& lines) {
    for (const std::string& l : lines)
        if (l.find("NAN") != std::string::npos || l.find("nan") != std::string::npos ||
            l.find("INF") != std::string::npos || l.find("inf") != std::string::npos)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = WorkFilePath("fuzz-load.dat");
    const std::string path = WriteFuzzInput(file, data, size);

    TGeometry geometry;
    TTracks tracks;
    TDisplaySettings settings;
    double cameraSize = 1000.0;
    TDataReader reader(geometry, tracks, settings, cameraSize);
    reader.MaxGeneratedBodies = MaxBodies;
    reader.MaxLineLength = 8192;
    int shown = 0;
    reader.Hooks.ShowError = [&shown](const std::string&) { ++shown; };
    reader.Hooks.CutBoxChanged = [&] { BuildMesh(settings.CutBox, true, 0); };
    reader.Hooks.RebuildBodies = [&] {
        if (geometry.Bodies.size() <= MaxBodies)
            RebuildSceneMeshes(geometry, settings.CutBox, settings.SceneSize, settings.ReviseRate,
                               settings.ReviseValue);
    };
    if (!reader.Load(path)) {
        if (shown != 1 || !geometry.Bodies.empty() || !tracks.empty()) std::abort();
        return 0;
    }
    if (!std::isfinite(settings.SceneSize) || !std::isfinite(cameraSize)) std::abort();
    if (geometry.Bodies.size() > MaxBodies || geometry.Zones.size() > MaxBodies) return 0;

    const double reach = settings.SceneSize > 0 ? settings.SceneSize : 1.0;
    TCheckErrorSegments errors;
    TCheckRun check(errors);
    check.Threads = 1;
    TCheckSettings cs;
    cs.Rays = 6;
    cs.Xmin = cs.Ymin = cs.Zmin = -reach / 2;
    cs.Xmax = cs.Ymax = cs.Zmax = reach / 2;
    check.Start(geometry.Bodies, geometry.Zones, cs);
    while (check.Running()) check.Advance(6);
    ExpectNumbers(check.Lines());

    TVolumeRun volume(errors);
    volume.Threads = 1;
    volume.Reset(geometry.Zones);
    TVolumeSettings vs;
    vs.Level = 1;
    vs.Xmin = vs.Ymin = vs.Zmin = -reach;
    vs.Xmax = vs.Ymax = vs.Zmax = reach;
    vs.RatioMin = 5, vs.RatioMax = 6; // never converges: every position of the level runs
    volume.Start(geometry.Bodies, geometry.Zones, vs,
                 std::vector<bool>(geometry.Zones.size(), true));
    while (volume.Running()) volume.Step();
    ExpectNumbers(volume.Lines());
    ExpectNumbers(volume.ResultLines());
    return 0;
}
