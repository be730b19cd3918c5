// Rays per second for the work the geometry check does per ray: every body's crossings, the sort
// by distance and a zone search at the midpoint of every piece.
//
//   bench_engine [seconds per figure, default 1]
//                [only this geometry: 10, 50, 200, types, sample, phantom, shielding, nested
//                 or a file]
//                [only this mode: plain, prepared, indexed, carried or carried-all]
//
// Geometries: 10, 50 and 200 disjoint spheres, boxes and cylinders inside an outer zone that
// subtracts them all (with a void shell around it), the same lattice with bodies of all 14
// types, the built-in sample, a 1000-voxel phantom and the shielding-style geometry (see
// BenchScenes.h); on request also 30,000 concentric spheres ("nested", too slow for the plain
// modes, which it leaves out). The last column is the memory of the zone index. Modes:
//   plain     bodies not prepared (ARB and HEX planes and every constant derived per call),
//             every term of every zone evaluated, every zone tried: the unoptimised algorithm;
//   prepared  PrepareBodies (cached constants, box culling) and the early-exit zone test;
//   indexed   prepared plus the per-load zone index for FindZone, and the crossings of all
//             bodies in one call (RayBodiesIntersections);
//   carried   indexed, with the zone search along the ray that carries body states from piece
//             to piece on long rays (TRayZoneSearch, as the check and the volume use it);
//   carried-all  the same, carrying states on every ray however short (to see where it pays).
// Each line also prints a checksum of all crossings and zone hits: equal checksums across the
// modes show that the results are bit-identical.
#include "BenchScenes.h"
#include "geometry/MyCGUnit.h"
#include "geometry/RayZones.h"
#include "geometry/ZoneIndex.h"

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>

namespace {
// The lattice of Generated(56) with bodies of all 14 types in turn (four of each), all about the
// same size: tori with sectors, elliptic cylinders and cones, ARB cubes, ... The half-space lies
// far below the lattice and takes part in the crossings only.
TScene AllTypes() {
    const int n = 56, side = 4;
    const double cell = 10;
    TScene s = Generated(n);
    s.Name = "14 types";
    for (int i = 0; i < n; ++i) {
        double x = (i % side + 0.5) * cell, y = (i / side % side + 0.5) * cell;
        double z = (i / (side * side) + 0.5) * cell;
        int num = i + 1;
        TGeoData& b = s.Geo.Bodies[static_cast<size_t>(i)];
        switch (i % BodyTypeCount) {
        case 0:
            b = MakeBody("RPP", num, {x - 3, x + 3, y - 2.5, y + 3.5, z - 3.5, z + 2});
            break;
        case 1:
            b = MakeBody("RCC", num, {x - 1, y - 2, z - 2.5, 2, 3, 5, 2.5});
            break;
        case 2:
            b = MakeBody("SPH", num, {x, y, z, 3.5});
            break;
        case 3:
            b = MakeBody("TRC", num, {x, y, z - 2.5, 0.5, 0.3, 5, 2.5, 1});
            break;
        case 4:
            b = MakeBody("TOR", num, {x, y, z, 2.5, 0.8, 30, 300, 1.0 + i % 3});
            break;
        case 5:
            b = MakeBody("BOX", num, {x - 2, y - 2, z - 2, 3, 1, 0, -1, 3, 0, 0, 0, 4});
            break;
        case 6:
            b = MakeBody("REC", num, {x, y, z - 2.5, 0, 0, 5, 2.5, 0, 0, 0, 1.5, 0});
            break;
        case 7:
            b = MakeBody("TEC", num, {x, y, z - 2.5, 0, 1, 5, 2.5, 0, 0, 0, 1.5, 0, 0.5});
            break;
        case 8:
            b = MakeBody("ELL", num, {x - 1.5, y, z, x + 1.5, y, z, 6});
            break;
        case 9:
            b = MakeBody("WED", num, {x - 2, y - 2, z - 2, 4, 0, 0, 0, 4, 0, 0, 0, 4});
            break;
        case 10: {
            b = MakeBody("ARB", num, {});
            for (int k = 0; k < 8; ++k) {
                b.Params[static_cast<size_t>(3 * k)] = x + ((k & 1) ? 2 : -2);
                b.Params[static_cast<size_t>(3 * k + 1)] = y + ((k & 2) ? 2 : -2);
                b.Params[static_cast<size_t>(3 * k + 2)] = z + ((k & 4) ? 2 : -2);
            }
            const double faces[6] = {1375, 8642, 2156, 3487, 4321, 5687};
            for (int k = 0; k < 6; ++k) b.Params[static_cast<size_t>(24 + k)] = faces[k];
            break;
        }
        case 11:
            b = MakeBody("HAF", num, {0, 0, -1, 1e3});
            break;
        case 12:
            b = MakeBody("HEX", num, {x, y, z - 2.5, 0, 0, 5, 4, 1, 0.5, 0});
            break;
        default:
            b = MakeBody("GEL", num, {x, y, z, 3, 0, 0, 0, 2, 1, 0, -1, 2.5});
            break;
        }
    }
    return s;
}

// The zone test exactly as first written down: every term evaluated, every group consulted.
bool PlainZoneContains(const TAGeoData& bodies, const TZoneData& zone, double x, double y,
                       double z) {
    bool value = false;
    for (size_t g = 0; g < zone.BodyIndex.size(); ++g) {
        bool in = !zone.BodyIndex[g].empty(); // a group without terms holds no point
        for (size_t t = 0; t < zone.BodyIndex[g].size(); ++t) {
            int b = zone.BodyIndex[g][t];
            bool inside = b >= 0 && PointInBody(bodies[static_cast<size_t>(b)], x, y, z);
            if (inside && zone.Sign[g][t] < 0) in = false;
            if (!inside && zone.Sign[g][t] > 0) in = false;
        }
        if (g == 0)
            value = in;
        else if (zone.GroupOp[g] == 'O' && in)
            value = true;
    }
    return value;
}
int PlainFindZone(const TAGeoData& bodies, const TAZoneData& zones, TMatrixAi& out, double x,
                  double y, double z) {
    out.clear();
    for (size_t i = 0; i < zones.size(); ++i)
        if (PlainZoneContains(bodies, zones[i], x, y, z)) out.push_back(static_cast<int32_t>(i));
    return static_cast<int>(out.size());
}

enum class TMode { Plain, Prepared, Indexed, Carried, CarriedAll };
constexpr int Modes = 5;
const char* const ModeNames[Modes] = {"plain", "prepared", "indexed", "carried", "carried-all"};

struct TRng { // the check's 32-bit generator
    uint32_t Seed = 0;
    double Next() {
        Seed = Seed * 134775813u + 1u;
        return Seed / 4294967296.0;
    }
};

uint64_t Mix(uint64_t h, uint64_t v) {
    return (h ^ v) * 0x100000001b3ull;
}
uint64_t Bits(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// Fires the check's rays through one scene in one mode, keeping a checksum of every crossing
// point and code and every zone search result.
class TRunner {
  public:
    TRunner(const TScene& s, TMode mode) : Scene(s), Mode(mode), Bodies(s.Geo.Bodies) {
        // Bodies is a copy and a copy starts unprepared
        if (mode != TMode::Plain) PrepareBodies(Bodies);
        if (mode >= TMode::Indexed) BuildZoneIndex(Bodies, Scene.Geo.Zones, Index);
        if (mode == TMode::CarriedAll) Search.Always = true;
        // The rays are drawn beforehand, as the check draws them, so that the figures time the
        // geometry work alone.
        TRng rng;
        const double* box = Scene.Box;
        for (int k = 0; k < 1 << 16; ++k) {
            Starts.push_back({box[0] + (box[1] - box[0]) * rng.Next(),
                              box[2] + (box[3] - box[2]) * rng.Next(),
                              box[4] + (box[5] - box[4]) * rng.Next()});
            double th = rng.Next() * 2 * std::numbers::pi;
            double ph = (rng.Next() - 0.5) * std::numbers::pi;
            Dirs.push_back(
                {std::cos(th) * std::cos(ph), std::sin(th) * std::cos(ph), std::sin(ph)});
        }
    }
    void Rays(int count) {
        const TAZoneData& zones = Scene.Geo.Zones;
        for (int k = 0; k < count; ++k) {
            const TVector& o = Starts[Next];
            const TVector& d = Dirs[Next];
            Next = (Next + 1) % Starts.size();
            Pts.clear(), Codes.clear();
            Pts.push_back(o), Codes.push_back(-1);
            if (Mode >= TMode::Indexed)
                RayBodiesIntersections(o, d, Bodies, Index.Rays, Pts, Codes, &Kept);
            else
                for (const TGeoData& b : Bodies) RayBodyIntersections(o, d, b, Pts, Codes);
            Order.clear();
            for (size_t i = 0; i < Pts.size(); ++i) {
                TVector w = Pts[i] - o;
                Order.push_back({Dot(w, w), static_cast<int>(i)});
            }
            std::sort(Order.begin(), Order.end());
            Sorted.clear(), SortedCodes.clear();
            for (const auto& e : Order)
                Sorted.push_back(Pts[static_cast<size_t>(e.second)]),
                    SortedCodes.push_back(Codes[static_cast<size_t>(e.second)]);
            if (Mode >= TMode::Carried)
                Search.Start(Bodies, zones, Index, Sorted, SortedCodes, Kept);
            for (size_t i = 0; i + 1 < Sorted.size(); ++i) {
                TVector m = PieceMid(Sorted, i);
                const double x = m.x, y = m.y, z = m.z;
                int n = Mode == TMode::Plain       ? PlainFindZone(Bodies, zones, Hits, x, y, z)
                        : Mode == TMode::Prepared  ? FindZone(Bodies, zones, Hits, x, y, z)
                        : Mode == TMode::Indexed ? FindZone(Bodies, zones, Index, Hits, x, y, z)
                                                 : Search.Find(i, Hits);
                Sum = Mix(Sum, static_cast<uint64_t>(n));
                for (int32_t h : Hits) Sum = Mix(Sum, static_cast<uint64_t>(h));
                ++Pieces;
            }
            for (size_t i = 0; i < Pts.size(); ++i)
                Sum = Mix(Mix(Mix(Mix(Sum, Bits(Pts[i].x)), Bits(Pts[i].y)), Bits(Pts[i].z)),
                          static_cast<uint64_t>(Codes[i]));
        }
        Fired += static_cast<uint64_t>(count);
    }
    uint64_t Sum = 0xcbf29ce484222325ull, Pieces = 0, Fired = 0;
    const TRayZoneSearch& Carried() const { return Search; }

  private:
    const TScene& Scene;
    TMode Mode;
    TAGeoData Bodies;
    TZoneIndex Index;
    TRayZoneSearch Search;
    TMatrixA3d Starts, Dirs;
    size_t Next = 0;
    TMatrixA3d Pts, Sorted;
    TMatrixAi Codes, SortedCodes, Hits;
    std::vector<uint32_t> Kept;
    std::vector<std::pair<double, int>> Order;
};

double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The best of five rounds: on a shared machine the slowest rounds measure the neighbours.
double RaysPerSecond(const TScene& s, TMode mode, double seconds, double& piecesPerRay,
                     TRayZoneSearch* work = nullptr) {
    TRunner r(s, mode);
    double t0 = ThreadSeconds();
    while (r.Fired < 1000 && ThreadSeconds() - t0 < seconds / 5) r.Rays(1); // warm-up
    double best = 0;
    for (int round = 0; round < 5; ++round) {
        double elapsed = 0;
        t0 = ThreadSeconds();
        uint64_t first = r.Fired, pieces0 = r.Pieces;
        while (elapsed < seconds / 5) {
            r.Rays(r.Fired - first < 1000 ? 1 : 100);
            elapsed = ThreadSeconds() - t0;
        }
        double rays = static_cast<double>(r.Fired - first);
        piecesPerRay = static_cast<double>(r.Pieces - pieces0) / rays;
        best = std::max(best, rays / elapsed);
    }
    if (work) *work = r.Carried();
    return best;
}

uint64_t Checksum(const TScene& s, TMode mode, int rays) {
    TRunner r(s, mode);
    r.Rays(rays);
    return r.Sum;
}
} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    std::string only = argc > 2 ? argv[2] : "", onlyMode = argc > 3 ? argv[3] : "";
    std::vector<TScene> scenes;
    std::string error;
    for (const char* name :
         {"10", "50", "200", "types", "sample", "phantom", "shielding", "nested"}) {
        if (only.empty() && std::string(name) == "nested") continue; // on request only
        if (!only.empty() && only != name) continue;
        TScene s;
        if (std::string(name) == "types")
            scenes.push_back(AllTypes());
        else if (NamedScene(name, s, error))
            scenes.push_back(std::move(s));
        else
            std::fprintf(stderr, "%s did not load: %s\n", name, error.c_str());
    }
    if (scenes.empty() && !only.empty()) { // a data file
        TScene s;
        if (!NamedScene(only, s, error)) {
            std::fprintf(stderr, "%s did not load: %s\n", only.c_str(), error.c_str());
            return 1;
        }
        scenes.push_back(std::move(s));
    }
    if (!onlyMode.empty()) { // profiling aid: one mode, no table
        int m = 0;
        while (m + 1 < Modes && onlyMode != ModeNames[m]) ++m;
        for (const TScene& s : scenes) {
            double pieces = 0;
            TRayZoneSearch work;
            std::printf("%s: %.1f rays/s\n", s.Name.c_str(),
                        RaysPerSecond(s, static_cast<TMode>(m), seconds, pieces, &work));
            if (work.CarriedPieces > 0) {
                const double all = static_cast<double>(work.CarriedPieces + work.IndexedPieces);
                const double carried = static_cast<double>(work.CarriedPieces);
                std::printf("  %.1f %% of the pieces carried; per carried piece %.2f proofs and "
                            "%.2f inside tests\n",
                            100 * carried / all, static_cast<double>(work.BoxProofs) / carried,
                            static_cast<double>(work.InsideTests) / carried);
            }
        }
        return 0;
    }
    std::printf("%-16s %7s %7s %10s %10s %10s %10s %10s %8s %10s  %s\n", "geometry", "bodies",
                "zones", "plain", "prepared", "indexed", "carried", "carr.-all", "pieces",
                "index KiB", "checksums equal");
    for (const TScene& s : scenes) {
        // the plain modes search every zone at every piece: hopeless on tens of thousands
        const bool big = s.Geo.Bodies.size() > 5000;
        const int first = big ? 2 : 0, checkRays = big ? 10 : 20000;
        double r[Modes] = {}, pieces = 0;
        for (int m = first; m < Modes; ++m)
            r[m] = RaysPerSecond(s, static_cast<TMode>(m), seconds, pieces);
        bool same = true;
        uint64_t c0 = Checksum(s, static_cast<TMode>(first), checkRays);
        for (int m = first + 1; m < Modes; ++m)
            same = same && Checksum(s, static_cast<TMode>(m), checkRays) == c0;
        TAGeoData bodies = s.Geo.Bodies;
        PrepareBodies(bodies);
        TZoneIndex index;
        BuildZoneIndex(bodies, s.Geo.Zones, index);
        std::printf("%-16s %7zu %7zu", s.Name.c_str(), s.Geo.Bodies.size(), s.Geo.Zones.size());
        for (int m = 0; m < Modes; ++m)
            if (m < first)
                std::printf(" %10s", "-");
            else
                std::printf(" %10.0f", r[m]);
        std::printf(" %8.2f %10.0f  %s\n", pieces,
                    static_cast<double>(ZoneIndexBytes(index)) / 1024, same ? "yes" : "NO");
    }
    std::printf(
        "(rays per second of thread CPU time on one core; pieces = zone searches per ray)\n");
    return 0;
}
