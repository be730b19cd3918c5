// trazon-cli render: one frame of a data file, drawn off screen through the viewer's paint
// routine and saved as a picture.
#include "Cli.h"

#include <cstdio>
#include <string>

const char* const CliRenderUsage =
    "  render [FILE] -o PICTURE [--size WxH] [--view zy|yz|xz|xy]\n"
    "         [--projection ortho|perspective] [--type body|zone|material] [--lines]\n"
    "         [--axes on|off] [--all-histories] [--turn AX,AY] [--read-max N]\n"
    "         [--track-color kind|energy] [--window UMIN UMAX VMIN VMAX]\n"
    "      Draw one frame of FILE (default: the built-in sample data) as the viewer would\n"
    "      and write it as PNG, JPEG or BMP, chosen by the extension of PICTURE. Defaults:\n"
    "      1024x768, view xy, ortho, body, filled polygons, axes on, the last history only.\n"
    "      --turn AX,AY turns the scene by AX degrees about the screen's x axis, then AY\n"
    "      degrees about its y axis, after the view is set. --read-max N stops reading at\n"
    "      the first history number above N (default 1000), as for info.\n"
    "      The view frames what is drawn (the bodies or zones of a material above 0), as\n"
    "      the viewer's Fit View does.\n"
    "      --track-color energy colours every track segment by the energy of its start\n"
    "      point (logarithmic, blue lowest to red highest energy of the file).\n"
    "      --window shows exactly that rectangle of the view plane (parallel projection,\n"
    "      no --turn): UMIN..UMAX along the picture's width and VMIN..VMAX along its height,\n"
    "      in the view's axes in order (xy: x y; xz: x z; yz: y z; zy: z y), as slice\n"
    "      --window does, so that a picture along an axis and a slice line up pixel for pixel.\n"
    "      Zone and material pictures are drawn from the zones' surfaces, computed first.\n"
    "      Needs an X display with GLX (Xvfb serves); without one the exit code is 2.";

#ifndef TRAZON_HAVE_RENDER

int CliRender(const TCliArgs&) {
    std::fprintf(stderr, "trazon-cli render: rendering is not available in this build "
                         "(built without OpenGL)\n");
    return 2;
}

#else

#include "document/Document.h"
#include "geometry/CheckErrors.h"
#include "geometry/MyCGUnit.h"
#include "input/DisplaySettings.h"
#include "input/FileWrite.h"
#include "input/Reader.h"
#include "input/Tracks.h"
#include "render/ImageFile.h"
#include "render/MyGLUnit.h"
#include "render/Scene.h"

#include <cmath>
#include <cstdlib>
#include <new>

namespace {

int RenderUsageError(const std::string& what) {
    std::fprintf(stderr, "trazon-cli render: %s\nUsage:\n%s\n", what.c_str(), CliRenderUsage);
    return 2;
}

} // namespace

int CliRender(const TCliArgs& args) {
    std::string file, picture;
    bool haveFile = false;
    int width = 1024, height = 768, viewMode = 0, projection = 0, viewType = 0;
    bool lines = false, axes = true, allHistories = false, byEnergy = false;
    double turnX = 0, turnY = 0;
    bool haveWindow = false;
    double window[4] = {0, 0, 0, 0};
    int32_t readMax = TDisplaySettings().ReadMax;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::printf("Usage:\n%s\n", CliRenderUsage);
            return 0;
        } else if (a == "-o" || a == "--output") {
            if (!value(picture)) return RenderUsageError("-o needs a picture file name");
        } else if (a == "--size") {
            if (!value(v) || !ParseSize(v, width, height))
                return RenderUsageError("--size needs WxH, each 1 to 8192 (e.g. 1024x768)");
        } else if (a == "--view") {
            if (!value(v)) return RenderUsageError("--view needs zy, yz, xz or xy");
            if (v == "xy")
                viewMode = 0;
            else if (v == "xz")
                viewMode = 1;
            else if (v == "yz")
                viewMode = 3;
            else if (v == "zy")
                viewMode = 5;
            else
                return RenderUsageError("--view needs zy, yz, xz or xy, not '" + v + "'");
        } else if (a == "--projection") {
            if (!value(v)) return RenderUsageError("--projection needs ortho or perspective");
            if (v == "ortho")
                projection = 0;
            else if (v == "perspective")
                projection = 1;
            else
                return RenderUsageError("--projection needs ortho or perspective, not '" + v + "'");
        } else if (a == "--type") {
            if (!value(v)) return RenderUsageError("--type needs body, zone or material");
            if (v == "body")
                viewType = 0;
            else if (v == "zone")
                viewType = 1;
            else if (v == "material")
                viewType = 2;
            else
                return RenderUsageError("--type needs body, zone or material, not '" + v + "'");
        } else if (a == "--lines") {
            lines = true;
        } else if (a == "--axes") {
            if (!value(v) || (v != "on" && v != "off"))
                return RenderUsageError("--axes needs on or off");
            axes = v == "on";
        } else if (a == "--turn") {
            size_t comma = std::string::npos;
            if (value(v)) comma = v.find(',');
            if (comma == std::string::npos || !TryStrToFloatDot(v.substr(0, comma), turnX) ||
                !TryStrToFloatDot(v.substr(comma + 1), turnY))
                return RenderUsageError("--turn needs two angles in degrees, e.g. 30,-20");
        } else if (a == "--track-color") {
            if (!value(v) || (v != "kind" && v != "energy"))
                return RenderUsageError("--track-color needs kind or energy");
            byEnergy = v == "energy";
        } else if (a == "--read-max") {
            std::string error;
            if (!ParseReadMaxOption(args, i, readMax, error)) return RenderUsageError(error);
        } else if (a == "--window") {
            for (double& w : window)
                if (!value(v) || !TryStrToFloatDot(v, w) || !std::isfinite(w))
                    return RenderUsageError("--window needs four numbers UMIN UMAX VMIN VMAX");
            if (!(window[0] < window[1]) || !(window[2] < window[3]))
                return RenderUsageError("--window: UMIN must be below UMAX and VMIN below VMAX");
            haveWindow = true;
        } else if (a == "--all-histories") {
            allHistories = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return RenderUsageError("unknown option '" + a + "'");
        } else if (haveFile) {
            return RenderUsageError("only one data file can be given");
        } else {
            file = a;
            haveFile = true;
        }
    }
    if (picture.empty()) return RenderUsageError("the picture file (-o PICTURE) is missing");
    if (haveWindow && (projection != 0 || turnX != 0 || turnY != 0))
        return RenderUsageError("--window needs the parallel projection and no --turn");
    if (ImageFormatOf(picture) == TImageFormat::Unknown)
        return RenderUsageError("PICTURE must end in .png, .jpg, .jpeg or .bmp");
    if (std::string error; !CheckWriteTarget(picture, error))
        return RenderUsageError("-o: " + error);

    TDocument doc;
    TGeometry& geometry = doc.Geometry;
    const TTracks& tracks = doc.Tracks;
    TDisplaySettings& settings = doc.Display;
    settings.ViewInfoType = viewType;
    settings.ColorByEnergy = byEnergy;
    settings.ReadMax = readMax;
    if (allHistories) {
        settings.LastHistOn = false;
        settings.HistRangeOn = false;
    }
    double size = 1000.0;
    TLoadHooks hooks;
    hooks.ShowError = [](const std::string& text) { std::fputs(text.c_str(), stderr); };
    bool loaded = haveFile ? doc.Load(file, size, hooks) : doc.LoadSample(size, hooks);
    RemoveWorkDir();
    if (!loaded) return 1;

    TOffscreenControl surface(width, height);
    TGLUnit gl(&surface, size);
    if (!gl.Ready()) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(
            stderr,
            "trazon-cli render: cannot draw: no X display with GLX (DISPLAY=%s); "
            "run it under an X server, e.g. Xvfb :99 & DISPLAY=:99 trazon-cli render ...\n",
            display ? display : "unset");
        return 2;
    }
    gl.Projection = projection;
    gl.DrawMode = lines ? 0 : 1;
    gl.SetView(viewMode);
    const double degree = 3.14159265358979323846 / 180;
    if (turnX != 0) gl.RotateX(turnX * degree);
    if (turnY != 0) gl.RotateY(turnY * degree);
    FitView(gl, geometry, settings);
    if (haveWindow) SetViewWindow(gl, viewMode, window);

    TCheckErrorSegments noErrors;
    TSceneOptions options;
    options.AxesOn = axes;
    options.AxisLayout = AxisLayoutForViewMode(viewMode);
    std::string error;
    bool saved = false;
    try {
        TZoneSurfaces surfaces;
        if (viewType != 0) {
            if (BuildZoneSurfaces(geometry, ZoneSurfaceOptions(settings), surfaces)) {
                options.Surfaces = &surfaces;
            } else {
                // beyond their budget: the bodies stand in, as in the viewer's quick picture
                options.Quick = true;
                std::fprintf(stderr, "trazon-cli render: the zone surfaces are too large to "
                                     "draw; the bodies stand in for the zones\n");
            }
        }
        PaintScene(gl, geometry, tracks, settings, noErrors, options);
        saved = SaveImage(picture, gl.ViewWidth, gl.ViewHeight, gl.FrameRGB(), error);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to draw " + (haveFile ? file : std::string("the sample"));
    }
    if (!saved) {
        std::fprintf(stderr, "trazon-cli render: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %dx%d\n", picture.c_str(), gl.ViewWidth, gl.ViewHeight);
    return 0;
}

#endif
