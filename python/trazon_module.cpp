// The Python module "trazon": the engine's reader, zone search, slice, check and volume
// calculation for scripts, with NumPy arrays in and out.
#include "input/Reader.h"
#include "tools/core/CheckCore.h"
#include "tools/core/CheckFormat.h"
#include "tools/core/SliceCore.h"
#include "tools/core/VolumeCore.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/eval.h>
#include <pybind11/stl.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

// A loaded data file with the zone index its searches use.
struct TPyGeometry {
    TGeometry Geo;
    TTracks Tracks;
    TDisplaySettings Settings;
    TZoneIndex Index;
    std::string Path;
};

// The reader's composed text "error : MESSAGE\nReadStr : TOKEN\nLine : N\n" as ReadError.
[[noreturn]] void RaiseReadError(const std::string& text) {
    std::string message, token;
    py::object line = py::none();
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string l = text.substr(from, end - from);
        if (l.rfind("error : ", 0) == 0) message = l.substr(8);
        if (l.rfind("ReadStr : ", 0) == 0) token = l.substr(10);
        if (l.rfind("Line : ", 0) == 0) {
            if (std::optional<int32_t> n = ParseInt(l.substr(7))) line = py::int_(*n);
        }
        from = end + 1;
    }
    std::string shown = text;
    while (!shown.empty() && shown.back() == '\n') shown.pop_back();
    if (message.empty()) message = shown;
    py::object error = py::module_::import("trazon").attr("ReadError")(shown, message, line, token);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

std::shared_ptr<TPyGeometry> Load(const std::string& path, int32_t readMax) {
    auto g = std::make_shared<TPyGeometry>();
    g->Settings.ReadMax = readMax;
    g->Path = path;
    double size = 0;
    bool ok;
    {
        TDataReader reader(g->Geo, g->Tracks, g->Settings, size);
        reader.Hooks.ShowError = [](const std::string&) {};
        // The work files are per process: loads run one at a time, under the interpreter lock.
        ok = reader.Load(path);
        RemoveWorkDir();
        if (!ok) RaiseReadError(reader.LastError());
    }
    BuildZoneIndex(g->Geo.Bodies, g->Geo.Zones, g->Index);
    return g;
}

py::object NumPy() { return py::module_::import("numpy"); }

// An empty structured array of `n` records with the given fields [(name, type[, shape])].
py::object Records(size_t n, const py::list& fields) {
    return NumPy().attr("zeros")(n, py::arg("dtype") = fields);
}

template <class T> py::array_t<T> Column(const std::vector<T>& v) {
    return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

py::object Bodies(const TPyGeometry& g) {
    const TAGeoData& b = g.Geo.Bodies;
    py::list fields;
    fields.append(py::make_tuple("symbol", "U3"));
    fields.append(py::make_tuple("number", "i4"));
    fields.append(py::make_tuple("nparams", "i4"));
    fields.append(py::make_tuple("params", "f8", MaxBodyParams));
    py::object a = Records(b.size(), fields);
    py::list symbols;
    std::vector<int32_t> numbers, counts;
    py::array_t<double> params({static_cast<py::ssize_t>(b.size()), py::ssize_t{MaxBodyParams}});
    auto p = params.mutable_unchecked<2>();
    for (size_t i = 0; i < b.size(); ++i) {
        symbols.append(b[i].Symbol);
        numbers.push_back(b[i].Number);
        counts.push_back(ParameterCount(b[i].Symbol));
        for (int k = 0; k < MaxBodyParams; ++k)
            p(static_cast<py::ssize_t>(i), k) = b[i].Params[static_cast<size_t>(k)];
    }
    if (!b.empty()) {
        a["symbol"] = symbols;
        a["number"] = Column(numbers);
        a["nparams"] = Column(counts);
        a["params"] = params;
    }
    return a;
}

// The field of zone names, wide enough for the longest.
py::tuple ZoneNameField(const TAZoneData& zones) {
    size_t longest = 1;
    for (const TZoneData& zone : zones) longest = std::max(longest, zone.Name.size());
    return py::make_tuple("name", "U" + std::to_string(longest));
}

py::object Zones(const TPyGeometry& g) {
    const TAZoneData& z = g.Geo.Zones;
    py::list fields;
    fields.append(ZoneNameField(z));
    fields.append(py::make_tuple("number", "i4"));
    fields.append(py::make_tuple("material", "i4"));
    py::object a = Records(z.size(), fields);
    py::list names;
    std::vector<int32_t> numbers, materials;
    for (size_t i = 0; i < z.size(); ++i) {
        names.append(z[i].Name);
        numbers.push_back(static_cast<int32_t>(i + 1));
        materials.push_back(z[i].Material);
    }
    if (!z.empty()) {
        a["name"] = names;
        a["number"] = Column(numbers);
        a["material"] = Column(materials);
    }
    return a;
}

py::object Materials(const TPyGeometry& g) {
    const std::vector<TMaterialLook>& m = g.Geo.Materials;
    py::list fields;
    fields.append(py::make_tuple("number", "i4"));
    fields.append(py::make_tuple("zones", "i4"));
    py::object a = Records(m.size(), fields);
    std::vector<int32_t> numbers, zones;
    for (const TMaterialLook& look : m) {
        numbers.push_back(look.Number);
        int32_t n = 0;
        for (const TZoneData& z : g.Geo.Zones) n += z.Material == look.Number;
        zones.push_back(n);
    }
    if (!m.empty()) {
        a["number"] = Column(numbers);
        a["zones"] = Column(zones);
    }
    return a;
}

py::object Tracks(const TPyGeometry& g) {
    const TTracks& t = g.Tracks;
    py::list fields;
    for (const char* name : {"history", "kind"}) fields.append(py::make_tuple(name, "i4"));
    for (const char* name : {"x", "y", "z", "energy"}) fields.append(py::make_tuple(name, "f8"));
    fields.append(py::make_tuple("zone", "i4"));
    for (const char* name : {"weight", "time"}) fields.append(py::make_tuple(name, "f8"));
    for (const char* name : {"latch", "track_end"}) fields.append(py::make_tuple(name, "i4"));
    py::object a = Records(t.size(), fields);
    if (t.empty()) return a;
    // the points decoded once, field by field into their columns
    std::vector<int32_t> history(t.size()), kind(t.size()), zone(t.size()), latch(t.size()),
        trackEnd(t.size());
    std::vector<double> x(t.size()), y(t.size()), z(t.size()), energy(t.size()),
        weight(t.size()), time(t.size());
    for (auto it = t.begin(); it != t.end(); ++it) {
        const size_t i = it.Position();
        const TrackPoint p = *it;
        history[i] = p.HistoryNo, kind[i] = p.Kind, zone[i] = p.Zone, latch[i] = p.Latch;
        trackEnd[i] = p.TrackEnd;
        x[i] = p.X, y[i] = p.Y, z[i] = p.Z, energy[i] = p.Energy, weight[i] = p.Weight;
        time[i] = p.Time;
    }
    a["history"] = Column(history);
    a["kind"] = Column(kind);
    a["x"] = Column(x);
    a["y"] = Column(y);
    a["z"] = Column(z);
    a["energy"] = Column(energy);
    a["zone"] = Column(zone);
    a["weight"] = Column(weight);
    a["time"] = Column(time);
    a["latch"] = Column(latch);
    a["track_end"] = Column(trackEnd);
    return a;
}

py::array_t<int32_t> Where(const TPyGeometry& g, const py::object& points, int threads) {
    auto xyz = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(points);
    if (!xyz) throw py::type_error("where: points must be an array of numbers");
    if (xyz.ndim() == 1 && xyz.shape(0) == 3) xyz = xyz.reshape({py::ssize_t{1}, py::ssize_t{3}});
    if (xyz.ndim() != 2 || xyz.shape(1) != 3)
        throw py::value_error("where: points must have the shape (N, 3)");
    const size_t n = static_cast<size_t>(xyz.shape(0));
    py::array_t<int32_t> out(static_cast<py::ssize_t>(n));
    const double* in = xyz.data();
    int32_t* cls = out.mutable_data();
    {
        py::gil_scoped_release release;
        LocateZones(g.Geo.Bodies, g.Geo.Zones, g.Index, in, n, cls, threads);
    }
    return out;
}

std::string Number(double v) { return ShortNumber(v); }

template <size_t N> std::array<double, N> Values(const py::sequence& s, const char* what) {
    if (s.size() != N)
        throw py::value_error(std::string(what) + " needs " + std::to_string(N) + " numbers");
    std::array<double, N> v{};
    for (size_t k = 0; k < N; ++k) v[k] = s[k].cast<double>();
    return v;
}

[[noreturn]] void RaiseEntryError(const std::string& error) { throw py::value_error(error); }

py::tuple Slice(const TPyGeometry& g, const std::string& planeName, double at,
                const py::object& window, const py::sequence& size, const std::string& color,
                int threads) {
    TSlicePlane plane;
    int axis = -1;
    for (int k = 0; k < 3; ++k)
        if (planeName == SliceAxisNames[k]) axis = k;
    if (axis < 0) throw py::value_error("slice: plane must be 'x', 'y' or 'z'");
    plane.Axis = axis;
    plane.C = at;
    std::array<double, 2> wh = Values<2>(size, "size");
    const int width = static_cast<int>(wh[0]), height = static_cast<int>(wh[1]);
    if (width < 1 || height < 1 || width > 8192 || height > 8192 || width != wh[0] ||
        height != wh[1])
        throw py::value_error("slice: size must be two whole numbers from 1 to 8192");
    TSliceColorBy by;
    if (!ParseSliceColorBy(color, by))
        throw py::value_error("slice: color must be 'zone' or 'material'");
    if (window.is_none()) {
        DefaultSliceWindow(SceneBox(g.Geo.Bodies, g.Settings.SceneSize), width, height, plane);
    } else {
        std::array<double, 4> w = Values<4>(window.cast<py::sequence>(), "window");
        for (double v : w)
            if (!std::isfinite(v)) throw py::value_error("slice: window must be finite");
        if (!(w[0] < w[1]) || !(w[2] < w[3]))
            throw py::value_error("slice: window must be (umin, umax, vmin, vmax), min below max");
        plane.Umin = w[0], plane.Umax = w[1], plane.Vmin = w[2], plane.Vmax = w[3];
    }
    if (!std::isfinite(at)) throw py::value_error("slice: at must be finite");
    std::vector<uint8_t> rgb;
    TSliceRender render;
    render.Threads = threads;
    {
        py::gil_scoped_release release;
        render.Start(g.Geo.Bodies, g.Geo.Zones, g.Index, plane, width, height);
        render.Finish();
        PaintSlice(render.Classes(), width, height,
                   SliceZoneColors(g.Geo, by, g.Settings.BackColor), g.Settings.BackColor, rgb);
    }
    py::array_t<int32_t> classes({height, width});
    std::copy(render.Classes().begin(), render.Classes().end(), classes.mutable_data());
    py::array_t<uint8_t> picture({height, width, 3});
    std::copy(rgb.begin(), rgb.end(), picture.mutable_data());
    return py::make_tuple(classes, picture);
}

// Starts a check or volume run and steps it to its end without the interpreter lock; an
// interrupt (Ctrl-C) stops it between two steps and is raised.
template <class Run, class Start, class Step> void RunToTheEnd(Run& run, Start start, Step step) {
    py::gil_scoped_release release;
    start();
    while (run.Running()) {
        step();
        py::gil_scoped_acquire acquire;
        if (PyErr_CheckSignals() != 0) {
            run.StopByUser();
            throw py::error_already_set();
        }
    }
}

// What a check run leaves: the command line's lines and the errors as records.
struct TPyCheck {
    std::vector<std::string> Lines;
    int32_t ErrorCount = 0;
    int32_t RaysDone = 0;
    bool Completed = false; // every ray fired ("Check End")
    py::list Errors;
};

py::tuple Triple(const TVector& v) { return py::make_tuple(v.x, v.y, v.z); }

// The box's six bounds as the entry texts of the check's or the volume's settings.
template <class TEntries> void SetBoxEntries(TEntries& e, const std::array<double, 6>& b) {
    e.Xmin = Number(b[0]), e.Xmax = Number(b[1]), e.Ymin = Number(b[2]), e.Ymax = Number(b[3]);
    e.Zmin = Number(b[4]), e.Zmax = Number(b[5]);
}

TPyCheck Check(const TPyGeometry& g, int32_t rays, const py::sequence& start,
               const py::sequence& theta, const py::sequence& phi, uint32_t seed, int threads) {
    std::array<double, 6> s = Values<6>(start, "start");
    std::array<double, 2> t = Values<2>(theta, "theta"), p = Values<2>(phi, "phi");
    TCheckEntries e;
    e.Rays = std::to_string(rays);
    SetBoxEntries(e, s);
    e.Tmin = Number(t[0]), e.Tmax = Number(t[1]), e.Pmin = Number(p[0]), e.Pmax = Number(p[1]);
    TCheckSettings settings;
    std::string error;
    if (!ConvertCheckEntries(e, settings, error)) RaiseEntryError(error);

    TCheckErrorSegments segments;
    TCheckRun run(segments);
    run.Threads = threads;
    run.Random.Seed = seed;
    RunToTheEnd(run, [&] { run.Start(g.Geo.Bodies, g.Geo.Zones, settings); },
                [&] { run.Advance(4096); });
    TPyCheck r;
    r.Lines = run.Lines();
    r.ErrorCount = run.ErrorCount();
    r.RaysDone = run.RaysDone();
    r.Completed = !r.Lines.empty() && r.Lines.back() == "Check End";
    static const char* const kinds[] = {"no zone", "overlap", "open end"};
    for (const TCheckRun::TReported& rep : run.Reported()) {
        const TCheckFinding& f = rep.Finding;
        py::dict d;
        d["kind"] = kinds[f.What];
        d["ray"] = rep.Ray;
        d["point"] = Triple(f.Mid);
        d["piece"] = py::make_tuple(Triple(f.PieceStart), Triple(f.PieceEnd));
        d["direction"] = Triple(rep.Dir);
        py::list zones;
        for (int32_t z : f.ZonesHit) zones.append(g.Geo.Zones[static_cast<size_t>(z)].Name);
        d["zones"] = zones;
        d["bodies"] = f.BodiesAt;
        r.Errors.append(d);
    }
    return r;
}

struct TPyVolume {
    std::vector<std::string> Lines, ResultLines;
    py::object Volumes;
    int Level = 0;
    bool Converged = false;
};

TPyVolume Volume(const TPyGeometry& g, int32_t level, const py::sequence& box,
                 const py::sequence& ratio, const py::sequence& agree, const py::object& zones,
                 int threads) {
    std::array<double, 6> b = Values<6>(box, "box");
    std::array<double, 2> r = Values<2>(ratio, "ratio"), a = Values<2>(agree, "agree");
    TVolumeEntries e;
    e.Level = std::to_string(level);
    SetBoxEntries(e, b);
    e.RatioMin = Number(r[0]), e.RatioMax = Number(r[1]);
    e.AgreeMin = Number(a[0]), e.AgreeMax = Number(a[1]);
    TVolumeSettings settings;
    std::string error;
    if (!ConvertVolumeEntries(e, settings, error)) RaiseEntryError(error);
    std::string wanted; // the zone names, comma-separated, as the command line takes them
    if (py::isinstance<py::str>(zones)) {
        wanted = zones.cast<std::string>();
    } else if (!zones.is_none()) {
        for (const py::handle& name : zones.cast<py::sequence>()) {
            if (!wanted.empty()) wanted += ",";
            wanted += name.cast<std::string>();
        }
        if (wanted.empty()) throw py::value_error("volume: zones names no zone");
    }
    std::vector<bool> ticks;
    if (!VolumeTicks(g.Geo.Zones, wanted, ticks, error)) throw py::value_error("volume: " + error);

    TCheckErrorSegments segments;
    TVolumeRun run(segments);
    run.Threads = threads;
    RunToTheEnd(
        run,
        [&] {
            run.Reset(g.Geo.Zones);
            run.Start(g.Geo.Bodies, g.Geo.Zones, settings, ticks);
        },
        [&] { run.Step(); });
    TPyVolume v;
    v.Lines = run.Lines();
    v.ResultLines = run.ResultLines();
    v.Level = run.Level();
    v.Converged = run.Converged();
    const TAZoneData& z = g.Geo.Zones;
    py::list fields;
    fields.append(ZoneNameField(z));
    fields.append(py::make_tuple("selected", "?"));
    for (const char* name : {"average", "x", "y", "z"}) fields.append(py::make_tuple(name, "f8"));
    v.Volumes = Records(z.size(), fields);
    if (!z.empty()) {
        py::list names;
        std::vector<double> mean, x, y, zz;
        py::list selected;
        for (size_t i = 0; i < z.size(); ++i) {
            const TZoneVolume& zv = run.Volumes[i];
            names.append(z[i].Name);
            selected.append(zv.Selected);
            mean.push_back((zv.XLast + zv.YLast + zv.ZLast) / 3);
            x.push_back(zv.XLast);
            y.push_back(zv.YLast);
            zz.push_back(zv.ZLast);
        }
        v.Volumes["name"] = names;
        v.Volumes["selected"] = selected;
        v.Volumes["average"] = Column(mean);
        v.Volumes["x"] = Column(x);
        v.Volumes["y"] = Column(y);
        v.Volumes["z"] = Column(zz);
    }
    return v;
}

const char* const ReadErrorClass = R"(
class ReadError(Exception):
    """A data file the reader refused.

    str(error) is the reader's whole text; the attributes hold its parts:
    message (e.g. "Read Body Number Error"), line (the source line number, or None when the
    error names no line) and token (the token read there, shortened and escaped).
    """

    def __init__(self, text, message, line=None, token=""):
        super().__init__(text)
        self.message = message
        self.line = line
        self.token = token
)";

} // namespace

PYBIND11_MODULE(trazon, m) {
    m.doc() = R"(TRAZON's geometry engine for scripts.

Loads a data file (combinatorial geometry, materials and particle tracks) and offers the
engine's zone search, slice, ray-walk check and region volume calculation, the same code the
viewer and trazon-cli run:

    import trazon
    g = trazon.load("run.pic", read_max=1000)
    g.zones["name"], g.tracks["energy"]
    g.where([[0, 0, 0], [10, 0, 0]])         # zone positions, -1 none, -2 overlap
    classes, rgb = g.slice(plane="z", at=0.0, size=(400, 400))
    print("\n".join(g.check(rays=10000).lines))
    print("\n".join(g.volume(level=6).result_lines))
)";
    m.attr("__version__") = TRAZON_VERSION;
    m.attr("NO_ZONE") = SliceUndefined;
    m.attr("OVERLAP") = SliceOverlap;
    py::exec(ReadErrorClass, m.attr("__dict__"));

    py::class_<TPyCheck>(m, "CheckResult", "Outcome of Geometry.check.")
        .def_readonly("lines", &TPyCheck::Lines,
                      "The output lines, exactly as trazon-cli check prints them.")
        .def_readonly("error_count", &TPyCheck::ErrorCount, "Errors found (the run stops at 10).")
        .def_readonly("rays_done", &TPyCheck::RaysDone, "Rays fired to the end.")
        .def_readonly("completed", &TPyCheck::Completed,
                      "True when every ray was fired (\"Check End\"), False when the tenth error "
                      "stopped the run.")
        .def_readonly("errors", &TPyCheck::Errors,
                      "One dict per error in the order found: kind ('no zone', 'overlap', "
                      "'open end'), ray (its index), point (the tested midpoint), piece (its two "
                      "ends), direction, zones (names, overlaps), bodies (numbers of the bodies "
                      "containing the point).")
        .def("__repr__", [](const TPyCheck& c) {
            return "<trazon.CheckResult errors=" + std::to_string(c.ErrorCount) +
                   " rays=" + std::to_string(c.RaysDone) + ">";
        });

    py::class_<TPyVolume>(m, "VolumeResult", "Outcome of Geometry.volume.")
        .def_readonly("lines", &TPyVolume::Lines,
                      "The final output lines (progress line, \"Calculation Finished\").")
        .def_readonly("result_lines", &TPyVolume::ResultLines,
                      "One result line per zone, as trazon-cli volume prints them.")
        .def_readonly("volumes", &TPyVolume::Volumes,
                      "Structured array, one record per zone: name, selected, average, x, y, z "
                      "(cm3, the last completed level; what the result file holds).")
        .def_readonly("level", &TPyVolume::Level, "The division level the run ended at.")
        .def_readonly("converged", &TPyVolume::Converged,
                      "True when the selected zones converged before the highest level.")
        .def("__repr__", [](const TPyVolume& v) {
            return "<trazon.VolumeResult level=" + std::to_string(v.Level) +
                   (v.Converged ? " converged>" : ">");
        });

    py::class_<TPyGeometry, std::shared_ptr<TPyGeometry>>(m, "Geometry",
                                                          "A loaded data file (trazon.load).")
        .def_readonly("path", &TPyGeometry::Path, "The file it was read from.")
        .def_property_readonly(
            "box",
            [](const TPyGeometry& g) {
                std::array<double, 6> b = SceneBox(g.Geo.Bodies, g.Settings.SceneSize);
                return py::make_tuple(b[0], b[1], b[2], b[3], b[4], b[5]);
            },
            "(xmin, xmax, ymin, ymax, zmin, zmax) of the bounded bodies: the box the default "
            "slice window is taken from.")
        .def_property_readonly("bodies", &Bodies,
                               "Structured array, one record per body in file order: symbol, "
                               "number, nparams and params (30 reals, the first nparams used).")
        .def_property_readonly("zones", &Zones,
                               "Structured array, one record per zone: name, number (position "
                               "+ 1, as track points record it) and material (0 or less: void).")
        .def_property_readonly("materials", &Materials,
                               "Structured array of the material numbers above 0 in use: "
                               "number and zones (how many zones have it).")
        .def_property_readonly("tracks", &Tracks,
                               "Structured array of the track points in file order: history, "
                               "kind (4 photon, 5 electron, 6 positron), x, y, z, energy, zone, "
                               "weight, time, latch (of the history's 9 record) and track_end "
                               "(-1 where a track ends).")
        .def("where", &Where, py::arg("points"), py::arg("threads") = 0,
             R"(Zone of each point.

points: array of shape (N, 3) (or one point of 3 numbers). Returns an int32 array of N zone
positions (index into zones), NO_ZONE (-1) where no zone holds the point, OVERLAP (-2) where
two or more do. Runs without the interpreter lock on `threads` threads (0: all cores).)")
        .def("slice", &Slice, py::arg("plane") = "z", py::arg("at") = 0.0,
             py::arg("window") = py::none(), py::arg("size") = py::make_tuple(800, 800),
             py::arg("color") = "zone", py::arg("threads") = 0,
             R"(Cut through the geometry at the plane `plane` = `at` ('x', 'y' or 'z').

window: (umin, umax, vmin, vmax) in the plane's other two axes in order (x: y z, y: x z,
z: x y); None takes the scene's box widened to square pixels. size: (width, height).
Returns (classes, rgb): classes an int32 array of shape (height, width), top row first, with
each pixel centre's zone position, NO_ZONE or OVERLAP; rgb a uint8 array (height, width, 3)
coloured as trazon-cli slice paints it (color 'zone' or 'material').)")
        .def("check", &Check, py::arg("rays") = 100000,
             py::arg("start") = py::make_tuple(0, 0, 0, 0, 0, 0),
             py::arg("theta") = py::make_tuple(0, 360), py::arg("phi") = py::make_tuple(-90, 90),
             py::arg("seed") = 0, py::arg("threads") = 0,
             R"(Ray-walk consistency check, as trazon-cli check runs it.

rays: number of random rays; start: (xmin, xmax, ymin, ymax, zmin, zmax) of the ray starts;
theta, phi: azimuth and elevation ranges in degrees; seed: the random generator's seed (0 is
the program's start-up state, giving trazon-cli check's rays). Returns a CheckResult.)")
        .def("volume", &Volume, py::arg("level") = 12,
             py::arg("box") = py::make_tuple(-100, 100, -100, 100, -100, 100),
             py::arg("ratio") = py::make_tuple(0.999, 1.001),
             py::arg("agree") = py::make_tuple(0.999, 1.001), py::arg("zones") = py::none(),
             py::arg("threads") = 0,
             R"(Region volume calculation, as trazon-cli volume runs it.

level: highest division level (0 to 14); box: (xmin, xmax, ymin, ymax, zmin, zmax); ratio:
level-to-level range; agree: direction-to-mean range; zones: the zones that must converge:
None (those of a material above 0), "all", or a list of names. Returns a VolumeResult.)")
        .def("__repr__", [](const TPyGeometry& g) {
            return "<trazon.Geometry '" + g.Path + "' bodies=" +
                   std::to_string(g.Geo.Bodies.size()) +
                   " zones=" + std::to_string(g.Geo.Zones.size()) +
                   " points=" + std::to_string(g.Tracks.size()) + ">";
        });

    m.def("load", &Load, py::arg("path"), py::arg("read_max") = 1000,
          R"(Reads a data file (any of its three layouts) and returns a Geometry.

Reading stops quietly at the first history number above read_max. A file the reader refuses
raises ReadError with the reader's message and source line.)");
}
