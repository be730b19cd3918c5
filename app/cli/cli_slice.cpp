// "slice", "where" and "tracks": the geometry debugging tools of the viewer's slice window and
// track-zone check, from the same cores.
#include "Cli.h"

#include "geometry/Lattice.h"
#include "input/FileWrite.h"
#include "render/ImageFile.h"
#include "tools/core/CheckFormat.h"
#include "tools/core/SliceCore.h"
#include "tools/core/TrackZoneCheck.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

const char* const CliSliceUsage =
    "  slice FILE -o PICTURE --plane x=C|y=C|z=C [--window UMIN UMAX VMIN VMAX]\n"
    "        [--size WxH] [--color zone|material] [--threads N]\n"
    "      Cut through the geometry at the plane, every pixel centre classified by the zone\n"
    "      search: one zone in its colour (or its material's), no zone as a black and white\n"
    "      checkerboard, several zones as red and yellow stripes. The window spans the\n"
    "      plane's other two axes in order (x: y z; y: x z; z: x y); default: the scene's\n"
    "      box, widened so that pixels are square. Default size 800x800, colour by zone.\n"
    "      Writes PNG, JPEG or BMP by the extension of PICTURE and prints the counts of\n"
    "      pixels, undefined pixels (no zone) and overlap pixels (two or more zones).";
const char* const CliWhereUsage =
    "  where FILE X Y Z\n"
    "      Prints the zones containing the point (or none), their materials and the numbers\n"
    "      of the bodies containing it. Surfaces belong to the bodies they bound.";
const char* const CliTracksUsage =
    "  tracks FILE --check-zones [--tolerance T] [--read-max N] [--threads N]\n"
    "      Checks the zone every track point records against the geometry and prints the\n"
    "      number of points checked, the number of mismatches and up to 100 of them:\n"
    "      history, track, point, x y z, the recorded zone and the zones found. A point is\n"
    "      accepted when its recorded zone lies within T of it; the default T is twice the\n"
    "      rounding error of the digits the file prints. --read-max N stops reading at the\n"
    "      first history number above N (default 1000).";

int CliSlice(const TCliArgs& args) {
    const char* cmd = "slice";
    std::string file, picture, planeText, size = "800x800", color = "zone";
    std::string window[4];
    bool haveWindow = false;
    int threads = 0;
    const std::vector<TOption> options = {
        {{"-o", "--output"}, {&picture}},
        {{"--plane"}, {&planeText}},
        {{"--window"}, {&window[0], &window[1], &window[2], &window[3]}, &haveWindow},
        {{"--size"}, {&size}},
        {{"--color", "--colour"}, {&color}}};
    if (int code = ReadArgs(args, cmd, CliSliceUsage, options, file, threads); code >= 0)
        return code;
    if (picture.empty()) return UsageError(cmd, "no picture file given (-o PICTURE)", CliSliceUsage);
    if (ImageFormatOf(picture) == TImageFormat::Unknown)
        return UsageError(cmd, "unknown picture type of '" + picture + "' (use .png, .jpg or .bmp)",
                          CliSliceUsage);
    // a picture that cannot be written is found before the picture is computed
    if (std::string error; !CheckWriteTarget(picture, error))
        return UsageError(cmd, "-o: " + error, CliSliceUsage);
    TSlicePlane plane;
    if (planeText.empty()) return UsageError(cmd, "no plane given (--plane z=0)", CliSliceUsage);
    if (!ParseSlicePlane(planeText, plane.Axis, plane.C))
        return UsageError(cmd, "--plane: \"" + planeText + "\" is not x=C, y=C or z=C",
                          CliSliceUsage);
    int width = 0, height = 0;
    if (!ParseSize(size, width, height))
        return UsageError(cmd, "--size: \"" + size + "\" is not WxH (1 to 8192 each)",
                          CliSliceUsage);
    TSliceColorBy by;
    if (!ParseSliceColorBy(color, by))
        return UsageError(cmd, "--color: \"" + color + "\" is not zone or material",
                          CliSliceUsage);
    if (haveWindow) {
        double w[4];
        static const char* const names[4] = {"UMIN", "UMAX", "VMIN", "VMAX"};
        for (int k = 0; k < 4; ++k) {
            std::optional<double> v = ParseReal(window[k]);
            if (!v || !std::isfinite(*v))
                return UsageError(cmd,
                                  std::string("--window: ") + names[k] + " \"" + window[k] +
                                      "\" is not a number",
                                  CliSliceUsage);
            w[k] = *v;
        }
        if (!(w[0] < w[1]) || !(w[2] < w[3]))
            return UsageError(cmd, "--window: UMIN must be below UMAX and VMIN below VMAX",
                              CliSliceUsage);
        plane.Umin = w[0], plane.Umax = w[1], plane.Vmin = w[2], plane.Vmax = w[3];
    }

    TGeometry geometry;
    TTracks tracks;
    TDisplaySettings settings;
    if (!LoadData(file, geometry, tracks, settings)) return 1;
    if (!haveWindow)
        DefaultSliceWindow(SceneBox(geometry.Bodies, geometry.Zones, settings.SceneSize), width, height, plane);

    TZoneIndex index;
    BuildZoneIndex(geometry.Bodies, geometry.Zones, index);
    TSliceRender render;
    render.Threads = threads;
    render.Start(geometry.Bodies, geometry.Zones, index, plane, width, height);
    TProgress progress;
    while (!render.Advance(0.2))
        progress.Show(std::to_string(static_cast<int>(render.Progress() * 100)) + "%");
    progress.Done();

    std::vector<uint8_t> rgb;
    PaintSlice(render.Classes(), width, height,
               SliceZoneColors(geometry, by, settings.BackColor), settings.BackColor, rgb);
    std::string error;
    if (!SaveImage(picture, width, height, rgb, error)) {
        std::fprintf(stderr, "trazon-cli slice: %s\n", error.c_str());
        return 1;
    }
    TSliceCounts counts = CountSlice(render.Classes(), ZoneCount(geometry.Zones));
    std::printf("pixels: %lld\n", static_cast<long long>(counts.Pixels));
    std::printf("undefined: %lld\n", static_cast<long long>(counts.Undefined));
    std::printf("overlap: %lld\n", static_cast<long long>(counts.Overlap));
    return 0;
}

int CliWhere(const TCliArgs& args) {
    const char* cmd = "where";
    std::vector<std::string> words;
    for (const std::string& a : args) {
        if (IsHelp(a)) {
            std::printf("Usage:\n%s\n", CliWhereUsage);
            return 0;
        }
        words.push_back(a);
    }
    if (words.size() != 4)
        return UsageError(cmd, "needs a data file and three coordinates", CliWhereUsage);
    double p[3];
    for (int k = 0; k < 3; ++k) {
        std::optional<double> v = ParseReal(words[static_cast<size_t>(k) + 1]);
        if (!v || !std::isfinite(*v))
            return UsageError(cmd,
                              "\"" + words[static_cast<size_t>(k) + 1] + "\" is not a coordinate",
                              CliWhereUsage);
        p[k] = *v;
    }
    TGeometry geometry;
    if (!LoadGeometry(words[0], geometry)) return 1;
    TZoneIndex index;
    BuildZoneIndex(geometry.Bodies, geometry.Zones, index);
    TPointInfo info = InspectPoint(geometry.Bodies, geometry.Zones, index, p[0], p[1], p[2]);
    PrintLines(PointInfoLines(geometry.Zones, info));
    return 0;
}

int CliTracks(const TCliArgs& args) {
    const char* cmd = "tracks";
    std::string file, tolerance, readMax;
    bool check = false, haveTolerance = false, haveReadMax = false;
    int threads = 0;
    const std::vector<TOption> options = {{{"--check-zones"}, {}, &check},
                                          {{"--tolerance"}, {&tolerance}, &haveTolerance},
                                          {{"--read-max"}, {&readMax}, &haveReadMax}};
    if (int code = ReadArgs(args, cmd, CliTracksUsage, options, file, threads); code >= 0)
        return code;
    if (!check) return UsageError(cmd, "nothing to do: give --check-zones", CliTracksUsage);
    TTrackZoneOptions opt;
    opt.Threads = threads;
    if (haveTolerance) {
        std::optional<double> t = ParseReal(tolerance);
        if (!t || !std::isfinite(*t) || !(*t > 0))
            return UsageError(cmd, "--tolerance: \"" + tolerance + "\" is not a positive length",
                              CliTracksUsage);
        opt.Tolerance = *t;
    }
    TDisplaySettings settings;
    if (haveReadMax) {
        std::optional<int32_t> n = ParseInt(readMax);
        if (!n) return UsageError(cmd, "--read-max: \"" + readMax + "\" is not an integer",
                                  CliTracksUsage);
        settings.ReadMax = *n;
    }
    TGeometry geometry;
    TTracks tracks;
    if (!LoadData(file, geometry, tracks, settings)) return 1;
    TZoneIndex index;
    BuildZoneIndex(geometry.Bodies, geometry.Zones, index);
    TTrackZoneResult r = CheckTrackZones(geometry.Bodies, geometry.Zones, index, tracks, opt);
    std::printf("points: %lld\n", static_cast<long long>(r.Points));
    std::printf("mismatches: %lld\n", static_cast<long long>(r.Mismatches));
    for (const TTrackZoneMismatch& m : r.Kept) PrintLine(TrackZoneMismatchLine(m, geometry.Zones));
    return 0;
}
