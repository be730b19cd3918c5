// A SLAB layout kept as a lattice answers every question exactly as the same layout read as one
// RPP body and one zone per cell: location, ray crossings, check and volume output, slices,
// the point inspector and the track-zone check, at scales 1e-4 to 1e4.
#include "geometry/Lattice.h"
#include "input/Reader.h"
#include "tools/core/CheckCore.h"
#include "tools/core/CheckRay.h"
#include "tools/core/SliceCore.h"
#include "tools/core/TrackZoneCheck.h"
#include "tools/core/VolumeCore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <unordered_set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Uneven boundaries with a zero-width cell on x; void cells and materials in text order 1, 10, 2.
const std::vector<double> EdgesX = {-2, -1.25, -0.5, 0, 1, 1, 2.5};
const std::vector<double> EdgesY = {-1.5, -0.25, 0, 0.75, 2};
const std::vector<double> EdgesZ = {-1, 0, 0.5, 1.5};

std::string Number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string LatticeFile(double scale, const std::string& histories = "") {
    std::string s = "GSTA-FREE\nSLAB\n" + std::to_string(EdgesX.size()) + " " +
                    std::to_string(EdgesY.size()) + " " + std::to_string(EdgesZ.size()) + "\n";
    for (const auto* e : {&EdgesX, &EdgesY, &EdgesZ}) {
        for (double v : *e) s += Number(v * scale) + " ";
        s += "\n";
    }
    const size_t cells = (EdgesX.size() - 1) * (EdgesY.size() - 1) * (EdgesZ.size() - 1);
    s += "MSTA\n" + std::to_string(cells) + " " + std::to_string(cells) + "\n";
    static const int materials[] = {1, 2, 10, 0, 2, 2, 1};
    for (size_t k = 0; k < cells; ++k) s += std::to_string(materials[(k * 5 + k / 7) % 7]) + " ";
    return s + "\nMEND\n" + histories;
}

struct TModel {
    TGeometry Geo;
    TTracks Tracks;
    TDisplaySettings Settings;
    TZoneIndex Index;
    double Size = 0;
};

// Reads the text as a lattice or as bodies and zones.
void Load(const std::string& text, bool lattice, TModel& m) {
    fs::path path = fs::temp_directory_path() /
                    ("trazon_lattice_" + std::to_string(::getpid()) + ".dat");
    std::ofstream(path) << text;
    TDataReader reader(m.Geo, m.Tracks, m.Settings, m.Size);
    reader.MinLatticeCells = lattice ? 1 : INT64_MAX;
    ASSERT_TRUE(reader.Load(path.string())) << reader.LastError();
    fs::remove(path);
    ASSERT_EQ(lattice, m.Geo.Zones.Lattice != nullptr);
    BuildZoneIndex(m.Geo.Bodies, m.Geo.Zones, m.Index);
}

// Every decade in the plain build; the two ends and the middle under the sanitizers, whose
// slowdown would otherwise make this suite the longest part of a test run.
#ifdef __SANITIZE_ADDRESS__
const double Scales[] = {1e-4, 1, 1e4};
#else
const double Scales[] = {1e-4, 1e-3, 1e-2, 1e-1, 1, 10, 100, 1e3, 1e4};
#endif

// Coordinates on every boundary, between boundaries, beyond the ends.
std::vector<double> Probes(const std::vector<double>& e, double scale) {
    std::vector<double> out;
    for (size_t i = 0; i < e.size(); ++i) {
        out.push_back(e[i] * scale);
        if (i + 1 < e.size()) out.push_back((e[i] + e[i + 1]) / 2 * scale);
    }
    out.push_back((e.front() - 0.5) * scale);
    out.push_back((e.back() + 0.5) * scale);
    return out;
}

// Both models of the test lattice at a scale, read once for all tests of that scale.
struct TModels {
    TModel Plain, Cells;
};
const TModels& ModelsAt(double scale) {
    static std::map<double, std::unique_ptr<TModels>> made;
    std::unique_ptr<TModels>& m = made[scale];
    if (!m) {
        m = std::make_unique<TModels>();
        Load(LatticeFile(scale), false, m->Plain);
        Load(LatticeFile(scale), true, m->Cells);
    }
    return *m;
}

class LatticeIdentity : public ::testing::TestWithParam<double> {
  protected:
    const TModel& Plain = ModelsAt(GetParam()).Plain;
    const TModel& Cells = ModelsAt(GetParam()).Cells;
};

TEST_P(LatticeIdentity, ModelSizeNamesAndMaterials) {
    const double s = GetParam();
    EXPECT_TRUE(Cells.Geo.Bodies.empty());
    EXPECT_TRUE(Cells.Geo.Zones.empty());
    ASSERT_EQ(ZoneCount(Plain.Geo.Zones), ZoneCount(Cells.Geo.Zones));
    for (size_t k = 0; k < ZoneCount(Plain.Geo.Zones); ++k) {
        EXPECT_EQ(ZoneName(Plain.Geo.Zones, k), ZoneName(Cells.Geo.Zones, k));
        EXPECT_EQ(ZoneMaterial(Plain.Geo.Zones, k), ZoneMaterial(Cells.Geo.Zones, k));
    }
    ASSERT_EQ(Plain.Geo.Materials.size(), Cells.Geo.Materials.size());
    for (size_t i = 0; i < Plain.Geo.Materials.size(); ++i)
        EXPECT_EQ(Plain.Geo.Materials[i].Number, Cells.Geo.Materials[i].Number);
    EXPECT_EQ(Plain.Settings.SceneSize, Cells.Settings.SceneSize) << s;
    EXPECT_EQ(SceneBox(Plain.Geo.Bodies, Plain.Geo.Zones, 1)[1] > 2.4 * s,
              SceneBox(Cells.Geo.Bodies, Cells.Geo.Zones, 1)[1] > 2.4 * s);
}

// Points on faces, edges and corners lie in every cell that touches them.
TEST_P(LatticeIdentity, LocationAndWhereLines) {
    const double s = GetParam();
    TMatrixAi a, b;
    int several = 0;
    for (double x : Probes(EdgesX, s))
        for (double y : Probes(EdgesY, s))
            for (double z : Probes(EdgesZ, s)) {
                FindZone(Plain.Geo.Bodies, Plain.Geo.Zones, Plain.Index, a, x, y, z);
                FindZone(Cells.Geo.Bodies, Cells.Geo.Zones, Cells.Index, b, x, y, z);
                ASSERT_EQ(a, b) << x << " " << y << " " << z;
                several += a.size() > 1;
                TPointInfo pa = InspectPoint(Plain.Geo.Bodies, Plain.Geo.Zones, Plain.Index, x, y, z);
                TPointInfo pb = InspectPoint(Cells.Geo.Bodies, Cells.Geo.Zones, Cells.Index, x, y, z);
                ASSERT_EQ(PointInfoLines(Plain.Geo.Zones, pa), PointInfoLines(Cells.Geo.Zones, pb));
            }
    EXPECT_GT(several, 100); // the probes did reach faces, edges and corners
}

// Rays at random, from boundary points along the axes (lying in faces and along edges), along
// face diagonals and through corners.
TEST_P(LatticeIdentity, RayCrossingsAndPieceZones) {
    const double s = GetParam();
    std::vector<std::pair<TVector, TVector>> rays;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-3, 3), v(-1, 1);
    for (int i = 0; i < 300; ++i) {
        TVector d{v(rng), v(rng), v(rng)};
        Normalize(d);
        rays.push_back({{u(rng) * s, u(rng) * s, u(rng) * s}, d});
    }
    const std::vector<TVector> dirs = {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {-1, 0, 0},
                                       {std::sqrt(0.5), std::sqrt(0.5), 0},
                                       {0, -std::sqrt(0.5), std::sqrt(0.5)},
                                       {1 / std::sqrt(3.0), 1 / std::sqrt(3.0), 1 / std::sqrt(3.0)}};
    for (double x : {EdgesX[0], EdgesX[2], EdgesX[4], -3.0})
        for (double y : {EdgesY[0], EdgesY[2], EdgesY[3]})
            for (double z : {EdgesZ[0], EdgesZ[1], 2.0})
                for (const TVector& d : dirs) rays.push_back({{x * s, y * s, z * s}, d});
    TRayCrossings wa, wb;
    size_t pieces = 0;
    for (const auto& [o, d] : rays) {
        wa.Walk(o, d, Plain.Geo.Bodies, Plain.Geo.Zones, Plain.Index);
        wb.Walk(o, d, Cells.Geo.Bodies, Cells.Geo.Zones, Cells.Index);
        ASSERT_EQ(wa.Points.size(), wb.Points.size()) << o.x << " " << o.y << " " << o.z;
        for (size_t k = 0; k < wa.Points.size(); ++k) {
            ASSERT_EQ(wa.Points[k].x, wb.Points[k].x);
            ASSERT_EQ(wa.Points[k].y, wb.Points[k].y);
            ASSERT_EQ(wa.Points[k].z, wb.Points[k].z);
            ASSERT_EQ(wa.Codes[k], wb.Codes[k]) << k;
        }
        for (size_t k = 0; k + 1 < wa.Points.size(); ++k) {
            wa.Zones.Find(k, wa.Hits);
            wb.Zones.Find(k, wb.Hits);
            ASSERT_EQ(wa.Hits, wb.Hits);
            ++pieces;
        }
    }
    EXPECT_GT(pieces, 1000u);
}

TEST_P(LatticeIdentity, CheckOutput) {
    const double s = GetParam();
    TCheckSettings set;
    set.Rays = 400;
    set.Xmin = -1.9 * s, set.Xmax = 2.4 * s, set.Ymin = -1.4 * s, set.Ymax = 1.9 * s;
    set.Zmin = -0.9 * s, set.Zmax = 1.4 * s;
    TCheckErrorSegments ea, eb;
    TCheckRun a(ea), b(eb);
    a.Start(Plain.Geo.Bodies, Plain.Geo.Zones, set);
    b.Start(Cells.Geo.Bodies, Cells.Geo.Zones, set);
    while (a.Running()) a.Advance(50);
    while (b.Running()) b.Advance(50);
    EXPECT_EQ(a.Lines(), b.Lines());
    // errors are found (void cells inside, no void around) where pieces are not too short for
    // the check (0.01 long)
    if (s >= 0.1) {
        EXPECT_GT(a.Lines().size(), 3u);
    }
}

// Every cell's volume, with the evaluation box on the lattice's faces (rays along faces too).
TEST_P(LatticeIdentity, VolumeOutput) {
    const double s = GetParam();
    TVolumeSettings set;
    set.Level = 4;
    set.Xmin = EdgesX.front() * s, set.Xmax = EdgesX.back() * s;
    set.Ymin = EdgesY.front() * s, set.Ymax = EdgesY.back() * s;
    set.Zmin = EdgesZ.front() * s, set.Zmax = EdgesZ.back() * s;
    TCheckErrorSegments ea, eb;
    TVolumeRun a(ea), b(eb);
    std::vector<bool> ticks(ZoneCount(Plain.Geo.Zones), true);
    a.Reset(Plain.Geo.Zones);
    b.Reset(Cells.Geo.Zones);
    a.Start(Plain.Geo.Bodies, Plain.Geo.Zones, set, ticks);
    b.Start(Cells.Geo.Bodies, Cells.Geo.Zones, set, ticks);
    while (a.Running()) a.Step();
    while (b.Running()) b.Step();
    EXPECT_EQ(a.ResultLines(), b.ResultLines());
    EXPECT_EQ(a.Lines(), b.Lines());
    // the first cell is measured near its true size
    double vol = (EdgesX[1] - EdgesX[0]) * (EdgesY[1] - EdgesY[0]) * (EdgesZ[1] - EdgesZ[0]) * s * s * s;
    EXPECT_NEAR(b.Volumes[0].XLast, vol, 0.2 * vol);
}

TEST_P(LatticeIdentity, SlicePixelsAndColours) {
    const double s = GetParam();
    for (int axis = 0; axis < 3; ++axis)
        for (double c : {0.0, 0.5, 0.25, -1.25, -0.8}) {
            TSlicePlane plane;
            plane.Axis = axis;
            plane.C = c * s;
            DefaultSliceWindow(SceneBox(Plain.Geo.Bodies, Plain.Geo.Zones, 1), 64, 48, plane);
            TSliceRender a, b;
            a.Threads = b.Threads = 1;
            a.Start(Plain.Geo.Bodies, Plain.Geo.Zones, Plain.Index, plane, 64, 48);
            b.Start(Cells.Geo.Bodies, Cells.Geo.Zones, Cells.Index, plane, 64, 48);
            a.Finish();
            b.Finish();
            ASSERT_EQ(a.Classes(), b.Classes()) << axis << " " << c;
            for (TSliceColorBy by : {TSliceColorBy::Zone, TSliceColorBy::Material}) {
                std::vector<uint8_t> pa, pb;
                PaintSlice(a.Classes(), 64, 48, SliceZoneColors(Plain.Geo, by, 0), 0, pa);
                PaintSlice(b.Classes(), 64, 48, SliceZoneColors(Cells.Geo, by, 0), 0, pb);
                ASSERT_EQ(pa, pb);
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Scales, LatticeIdentity, ::testing::ValuesIn(Scales));

TEST(Lattice, TrackZoneCheckSameAsBodies) {
    // points inside cells, on faces and one in the wrong zone
    std::string h = "0 1\n";
    h += "4 -1.9 -1.4 -0.9 1.0 1 1\n";
    h += "4 -0.5 0 0.5 1.0 17 1\n";
    h += "4 2.4 1.9 1.4 1.0 72 1\n";
    h += "4 0.3 0.3 0.3 1.0 5 1\n-1\n";
    TModel plain, cells;
    Load(LatticeFile(1, h), false, plain);
    Load(LatticeFile(1, h), true, cells);
    TTrackZoneOptions o;
    TTrackZoneResult a = CheckTrackZones(plain.Geo.Bodies, plain.Geo.Zones, plain.Index,
                                         plain.Tracks, o);
    TTrackZoneResult b = CheckTrackZones(cells.Geo.Bodies, cells.Geo.Zones, cells.Index,
                                         cells.Tracks, o);
    EXPECT_EQ(a.Points, b.Points);
    EXPECT_EQ(a.Mismatches, b.Mismatches);
    EXPECT_GE(b.Mismatches, 1);
    ASSERT_EQ(a.Kept.size(), b.Kept.size());
    for (size_t i = 0; i < a.Kept.size(); ++i)
        EXPECT_EQ(TrackZoneMismatchLine(a.Kept[i], plain.Geo.Zones),
                  TrackZoneMismatchLine(b.Kept[i], cells.Geo.Zones));
}

TEST(Lattice, CompactMaterialsAndUnorderedBoundariesStayBodies) {
    TLattice lat;
    EXPECT_FALSE(lat.SetEdges({0, 1, 0.5}, {0, 1}, {0, 1}));
    ASSERT_TRUE(lat.SetEdges({0, 1, 2, 3}, {0, 1}, {0, 1}));
    std::vector<int32_t> m = {5, -3, 5};
    lat.SetMaterials(m);
    EXPECT_EQ(lat.Material(0), 5);
    EXPECT_EQ(lat.Material(1), -3);
    EXPECT_LT(lat.Bytes(), 200u);
    // a lattice whose boundaries are out of order is read as bodies (its cells are empty boxes)
    TModel model;
    Load("GSTA-FREE\nSLAB 3 2 2\n0 2 1\n0 1\n0 1\nMSTA 2 2\n1 1\nMEND\n", false, model);
    EXPECT_EQ(model.Geo.Bodies.size(), 2u);
    TModel forced;
    TDataReader reader(forced.Geo, forced.Tracks, forced.Settings, forced.Size);
    reader.MinLatticeCells = 1;
    fs::path path = fs::temp_directory_path() / ("trazon_lattice_u" + std::to_string(::getpid()));
    std::ofstream(path) << "GSTA-FREE\nSLAB 3 2 2\n0 2 1\n0 1\n0 1\nMSTA 2 2\n1 1\nMEND\n";
    ASSERT_TRUE(reader.Load(path.string()));
    fs::remove(path);
    EXPECT_EQ(forced.Geo.Zones.Lattice, nullptr);
    EXPECT_EQ(forced.Geo.Bodies.size(), 2u);
}

// The codes are one, two or four bytes wide by the number of distinct materials; every cell
// keeps its number, and the table lists the numbers in the order they first occur.
TEST(Lattice, MaterialCodesOfEveryWidth) {
    for (int distinct : {3, 300, 70000}) {
        std::vector<int32_t> m;
        for (int k = 0; k < 3 * distinct; ++k) {
            const int i = (k * 7) % distinct;
            // small numbers, large and negative ones, in runs and alone
            const int32_t v = i % 3 == 0 ? i : i % 3 == 1 ? -i - 1 : 1000000 + i;
            m.push_back(v);
            if (k % 5 == 0) m.push_back(v);
        }
        TLattice lat;
        ASSERT_TRUE(lat.SetEdges({0, 1}, {0, 1}, {0, 1}));
        lat.SetMaterials(m);
        std::vector<int32_t> firsts;
        std::unordered_set<int32_t> seen;
        for (int32_t v : m)
            if (seen.insert(v).second) firsts.push_back(v);
        EXPECT_EQ(lat.MaterialTable(), firsts) << distinct;
        for (size_t k = 0; k < m.size(); ++k) ASSERT_EQ(lat.Material(k), m[k]) << distinct;
        const size_t width = distinct <= 256 ? 1 : distinct <= 65536 ? 2 : 4;
        EXPECT_LT(lat.Bytes(), m.size() * width + firsts.size() * 8 + 64) << distinct;
    }
}

// The material list of a SLAB layout is read in place, bypassing the work files; any token
// form reads as it does in another layout's list (SPHR here), errors name the same token.
TEST(Lattice, MaterialListReadsAsTokensDo) {
    auto materials = [](const std::string& head, const std::string& list, std::string& error) {
        TModel m;
        TDataReader reader(m.Geo, m.Tracks, m.Settings, m.Size);
        reader.MinLatticeCells = 1;
        reader.Hooks.ShowError = [](const std::string&) {};
        fs::path path = fs::temp_directory_path() / ("trazon_lattice_m" + std::to_string(::getpid()));
        std::ofstream(path, std::ios::binary) << head << list << "\n0 1\n4 0 0 0 1 1 1\n";
        bool ok = reader.Load(path.string());
        fs::remove(path);
        error = reader.LastError();
        std::vector<int32_t> out;
        if (ok)
            for (size_t k = 0; k < ZoneCount(m.Geo.Zones); ++k)
                out.push_back(ZoneMaterial(m.Geo.Zones, k));
        if (ok) out.push_back(static_cast<int32_t>(m.Tracks.size()));
        return out;
    };
    const std::string slab = "GSTA-FREE\nSLAB 2 2 9\n0 1\n0 1\n0 1 2 3 4 5 6 7 8\nMSTA 8 8\n";
    // (as many lines as the lattice's head, so that errors name the same line)
    const std::string sphr = "GSTA-FREE\nSPHR 8\n1 2 3 4\n5 6 7 8\n\nMSTA 8\n";
    const std::string lists[] = {
        "1 2 3 4\n5 6 7 8\nMEND",
        "  +3\t 007 -0 0000000012 \r\n -2147483648 2147483647 \"5\" 9 MEND",
        "1 2 3 4 5 6 7 8 99 100\nmend",
        "1 2 3 4 5 6 7\nMEND",
        "1 2 3 4 5 6 7 2147483648 MEND",
        "1 2 3 4 5 6 7 8x MEND",
        "1 2 3 4 5 6 7 8",
        // one-digit numbers are taken eight bytes at a time: every way such a run may end
        "1 2 3 4 5 6 7 8 \nMEND",
        "1 2 3 4 5 6 7 -8 MEND",
        "1 2 3 4 56 7 8 9 MEND",
        "1 2 3 4 5 6 7a 8 MEND",
        "1 2 3 4 5\t6 7 8 MEND",
        "1 2 3 4  5 6 7 8 MEND",
        "1 2 3 4 5 6 7 8\r\nMEND",
        "1 2 3 4 5 6 7 /8 MEND",
        "1 2 3 4 5 6 7 :8 MEND",
        "0 9 0 9 0 9 0 9 MEND",
    };
    for (const std::string& list : lists) {
        std::string e1, e2;
        std::vector<int32_t> a = materials(slab, list, e1), b = materials(sphr, list, e2);
        EXPECT_EQ(a, b) << list;
        EXPECT_EQ(e1, e2) << list;
    }
}

// Above the body limit a lattice is bounded by memory: a clear error before anything is
// allocated, and the usual material errors.
TEST(Lattice, ReaderBoundsAndErrors) {
    auto load = [](const std::string& text, uint64_t memory, std::string& error) {
        TModel m;
        TDataReader reader(m.Geo, m.Tracks, m.Settings, m.Size);
        reader.MaxGeneratedBodies = 10;
        reader.MemoryLimit = memory;
        reader.Hooks.ShowError = [](const std::string&) {};
        fs::path path = fs::temp_directory_path() / ("trazon_lattice_b" + std::to_string(::getpid()));
        std::ofstream(path) << text;
        bool ok = reader.Load(path.string());
        fs::remove(path);
        error = reader.LastError();
        return ok && m.Geo.Zones.Lattice && ZoneCount(m.Geo.Zones) == 12;
    };
    const std::string head = "GSTA-FREE\nSLAB 4 3 3\n0 1 2 3\n0 1 2\n0 1 2\nMSTA 12 12\n";
    std::string error;
    EXPECT_TRUE(load(head + "1 1 1 2 2 2 3 3 3 0 0 0\nMEND\n", 0, error)) << error;
    EXPECT_FALSE(load(head + "1 1 1 2 2 2 3 3 3 0 0 0\nMEND\n", 1000, error));
    EXPECT_NE(error.find("Read Body Parameter Error (lattice of 12 cells needs"), std::string::npos)
        << error;
    EXPECT_NE(error.find("ReadStr : 3\n"), std::string::npos) << error; // the NZ count
    EXPECT_FALSE(load(head + "1 1 1 2 2 2 3 3 3 0 0\nMEND\n", 0, error));
    EXPECT_NE(error.find("Read Material Number Error\nReadStr : MEND"), std::string::npos) << error;
    EXPECT_FALSE(load(head + "1 1 1 2 2 2 3 3 3 0 0 0\n", 0, error));
    EXPECT_NE(error.find("Not found keyword MEND"), std::string::npos) << error;
    EXPECT_FALSE(load("GSTA-FREE\nSLAB 4 3 3\n0 1 2 3\n0 2 1\n0 1 2\nMSTA 12 12\n"
                      "1 1 1 2 2 2 3 3 3 0 0 0\nMEND\n", 0, error));
    EXPECT_NE(error.find("Read Body Parameter Error"), std::string::npos) << error;
}

} // namespace
