// Feeds arbitrary bytes through both reader passes. Besides the sanitizers' findings it
// aborts when a failed read leaves anything of the model behind or a read succeeds
// without its post-load results.
#include "FuzzInput.h"
#include "input/Reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = WorkFilePath("fuzz-input.dat");
    const std::string path = WriteFuzzInput(file, data, size);

    TGeometry geometry;
    TTracks tracks;
    TDisplaySettings settings;
    double cameraSize = 1000.0;
    TDataReader reader(geometry, tracks, settings, cameraSize);
    reader.MaxGeneratedBodies = 20000; // keep one run small; the limit itself is exercised
    int shown = 0;
    reader.Hooks.ShowError = [&shown](const std::string&) { ++shown; };
    bool ok = reader.Load(path);
    if (!ok) {
        if (shown != 1 || reader.LastError().empty()) std::abort();
        if (!geometry.Bodies.empty() || !geometry.Zones.empty() || !geometry.BodyLooks.empty() ||
            !geometry.ZoneLooks.empty() || !geometry.Materials.empty() || !tracks.empty())
            std::abort();
        return 0;
    }
    if (shown != 0 || geometry.ZoneLooks.size() != geometry.Zones.size() ||
        geometry.BodyLooks.size() != geometry.Bodies.size())
        std::abort();
    for (const TZoneData& z : geometry.Zones) {
        if (z.BodyIndex.size() != z.Sign.size() || z.GroupOp.size() != z.BodyIndex.size())
            std::abort();
        for (const TMatrixAi& group : z.BodyIndex)
            for (int32_t b : group)
                if (b < -1 || b >= static_cast<int32_t>(geometry.Bodies.size())) std::abort();
    }
    // the selection and the label run on whatever was loaded
    settings.LastHistOn = false;
    size_t pieces = 0;
    SelectTracks(tracks, settings, [&pieces](const TTrackPiece&) { ++pieces; });
    (void)RangeLabelText(tracks, settings);
    return 0;
}
