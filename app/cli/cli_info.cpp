// trazon-cli info: load a data file through both reader passes and print a summary.
#include "Cli.h"

#include "geometry/Lattice.h"
#include "geometry/MyCGUnit.h"
#include "input/DisplaySettings.h"
#include "input/Reader.h"
#include "input/Tracks.h"

#include <cstdio>
#include <string>

const char* const CliInfoUsage =
    "  info [--read-max N] [FILE]\n"
    "      Load FILE (default: the built-in sample data) and print the counts of bodies,\n"
    "      zones and track points, the material numbers, the largest history number,\n"
    "      the time column, the largest time and the scene size. --read-max N stops\n"
    "      reading at the first history number above N (default 1000). On a read\n"
    "      error the reader's message goes to standard error and the exit code is 1.";

bool ParseReadMaxOption(const TCliArgs& args, size_t& i, int32_t& readMax, std::string& error) {
    if (i + 1 >= args.size()) {
        error = "--read-max needs a number";
        return false;
    }
    if (!TryStrToInt32(args[++i], readMax)) {
        error = "--read-max needs an integer, not '" + args[i] + "'";
        return false;
    }
    return true;
}

static int InfoUsageError(const std::string& what) {
    std::fprintf(stderr, "trazon-cli info: %s\nUsage:\n%s\n", what.c_str(), CliInfoUsage);
    return 2;
}

int CliInfo(const TCliArgs& args) {
    TDisplaySettings settings;
    std::string file;
    bool haveFile = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::printf("Usage:\n%s\n", CliInfoUsage);
            return 0;
        }
        if (a == "--read-max") {
            std::string error;
            if (!ParseReadMaxOption(args, i, settings.ReadMax, error)) return InfoUsageError(error);
        } else if (a.size() > 1 && a[0] == '-') {
            return InfoUsageError("unknown option '" + a + "'");
        } else if (haveFile) {
            return InfoUsageError("only one data file can be given");
        } else {
            file = a;
            haveFile = true;
        }
    }

    TGeometry geometry;
    TTracks tracks;
    double size = 1000.0;
    TDataReader reader(geometry, tracks, settings, size);
    reader.Hooks.ShowError = [](const std::string& text) { std::fputs(text.c_str(), stderr); };
    bool ok = haveFile ? reader.Load(file) : reader.LoadSample();
    RemoveWorkDir();
    if (!ok) return 1;

    // a lattice's cells are its bodies and zones
    const size_t zoneCount = ZoneCount(geometry.Zones);
    std::printf("bodies: %zu\n", geometry.Zones.Lattice ? zoneCount : geometry.Bodies.size());
    std::printf("zones: %zu\n", zoneCount);
    std::string materials;
    for (size_t i = 0; i < geometry.Materials.size(); ++i) {
        if (i) materials += ' ';
        materials += std::to_string(geometry.Materials[i].Number);
    }
    std::printf("materials: %s\n", materials.c_str());
    std::printf("points: %zu\n", tracks.size());
    std::printf("histories: %d\n", static_cast<int>(HistMax(tracks)));
    std::printf("time: %s\n", settings.HasTime ? "yes" : "no");
    std::printf("maxtime: %g\n", settings.MaxTime);
    std::printf("size: %.6g\n", settings.SceneSize);
    return 0;
}
