// Combinatorial-geometry model: bodies, zones, materials, and the operations on them.
#pragma once

#include "MyFunctions.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using TColor = uint32_t; // red in the lowest byte, blue in the highest

inline constexpr int MaxBodyParams = 30;
inline constexpr int BodyTypeCount = 14;
// The 14 body symbols in their canonical order.
extern const std::array<const char*, BodyTypeCount> BodySymbols;
// 14-entry basic palette: black, white, red, magenta, yellow, lime, aqua, blue,
// maroon, purple, olive, green, teal, navy.
extern const std::array<TColor, 14> BasicPalette;
// Default colour for entry n: BasicPalette[(n mod 12) + 2].
TColor PaletteColor(int64_t n);

// Face planes of an ARB, each {nx, ny, nz, d} with n.P + d >= 0 inside.
struct TArbPlanes {
    std::array<std::array<double, 4>, 6> Plane{};
    double MinDist = 0;   // smallest distance between two distinct used vertices
    double FaceCount = 0; // stored as a double, rounded when read
    bool Valid = false;   // false when the derivation stopped (or a code names vertex 0)
};

// The four slabs of a HEX: 0 <= (P - Q[k]).N[k] <= Width[k].
struct THexPlanes {
    std::array<double, 4> Width{};
    std::array<TVector, 4> Q{};
    std::array<TVector, 4> N{};
};

// Derived per-body constants, computed once per load by PrepareBody so that the
// inside tests and crossings do not rebuild them on every call. When Ready is
// false the operations derive what they need on the fly (same results).
// A copy starts unprepared (Ready false): copies such as the enlarged drawing bodies get their
// parameters changed afterwards. Moves keep the preparation. After changing the Params of a
// prepared body in place, call PrepareBody again.
struct TBodyPrep {
    bool Ready = false;
    int Kind = -1;               // index into BodySymbols, -1 for an unknown symbol
    TArbPlanes Arb;              // ARB only
    THexPlanes Hex;              // HEX only
    std::array<double, 6> Box{}; // true enclosing box (xmin,xmax,ymin,ymax,zmin,zmax), for culling
    // Bounded: Box holds every point the body contains (padded against rounding); false when
    // no finite box is known (HAF, open ARB, degenerate vectors). A body that contains no point
    // (unknown symbol, ARB without usable planes) has an empty box (min > max).
    bool Bounded = false;
    std::array<double, 16> K{}; // further per-type constants (lengths, unit axes, ...)
    bool Cull = false;          // PointInBody tests Box first (Bounded and worth it)
    // Rays whose line passes farther than the rounding margin from the ball around Box, or that
    // have the ball behind them, get no crossings without running the type's algorithm.
    bool RayCull = false;
    std::array<double, 5> Ball{}; // centre, 1.001 r^2, 1.001 (r + 1e-6)^2
    double ParamMag = 0;          // largest |parameter|, for margins relative to the body

    TBodyPrep() = default;
    TBodyPrep(const TBodyPrep& o) { *this = o; }
    TBodyPrep& operator=(const TBodyPrep& o) {
        Kind = o.Kind, Arb = o.Arb, Hex = o.Hex, Box = o.Box, Bounded = o.Bounded, K = o.K;
        Cull = o.Cull, RayCull = o.RayCull, Ball = o.Ball, ParamMag = o.ParamMag, Ready = false;
        return *this;
    }
    TBodyPrep(TBodyPrep&&) noexcept = default;
    TBodyPrep& operator=(TBodyPrep&&) noexcept = default;
};

// A body's drawing mesh, stored compactly: every distinct point once, the polygons as runs of
// point indices. A mesh that many bodies have in common (the unit sphere) is kept once in
// Shared and placed as Origin + Scale * point.
struct TBodyMesh {
    std::vector<TVector> Points;
    std::vector<uint32_t> Index; // the polygons' point indices, back to back
    std::vector<uint8_t> Count;  // points of each polygon
    std::shared_ptr<const TBodyMesh> Shared;
    TVector Origin;
    double Scale = 1;
    std::array<double, 6> Box{1, -1, 1, -1, 1, -1}; // of the placed points; min > max: none
    uint64_t Stamp = 0; // new with every build, so that drawing caches see the change

    size_t size() const { return Shared ? Shared->Count.size() : Count.size(); }
    bool empty() const { return size() == 0; }
    void clear() { *this = TBodyMesh{}; }
    // Point j of polygon k, placed. First gives where polygon k starts in Index.
    const TBodyMesh& Source() const { return Shared ? *Shared : *this; }
    TVector Place(const TVector& p) const { return Shared ? Origin + p * Scale : p; }
    size_t First(size_t k) const;
    TMatrixA3d Polygon(size_t k) const;
    TMatrixAA3d Polygons() const;
    size_t Bytes() const; // heap memory of this mesh, shared part not counted
};

struct TGeoData {
    std::string Symbol;
    int32_t Number = 0;
    std::array<double, MaxBodyParams> Params{}; // Params[0] is parameter 1
    TBodyMesh MeshGrid;                         // drawing mesh; empty until built
    TBodyPrep Prep;
};

struct TZoneData {
    std::string Name;
    int32_t Material = 0;
    TMatrixAAi BodyIndex; // one row per OR group; -1 for a body number that names no body
    TMatrixAAi Sign;      // +1 / -1, same shape as BodyIndex
    TMatrixAc GroupOp;    // 'O' per group; the first group's letter is not consulted
};

using TAGeoData = std::vector<TGeoData>;

class TLattice;
// The zone list. When Lattice is set the list of records is empty and the lattice's cells are
// the zones (and the bodies): see Lattice.h for what is asked of them.
struct TAZoneData : std::vector<TZoneData> {
    using std::vector<TZoneData>::vector;
    std::shared_ptr<const TLattice> Lattice;
};

struct TLook {
    TColor Color = 0;
    bool Visible = true;
};
struct TMaterialLook {
    int32_t Number = 0;
    TColor Color = 0;
    bool Visible = true;
};

// One colour's share of the drawn faces of a lattice (render/mesh/LatticeMesh.h): a mesh of
// rectangles in Faces.MeshGrid, drawn like a body's.
struct TLatticeFaces {
    TColor Color = 0;
    TGeoData Faces;
};

struct TGeometry {
    TAGeoData Bodies;
    TAGeoData GrownBodies;
    std::vector<TLook> BodyLooks;
    TAZoneData Zones;
    std::vector<TLook> ZoneLooks;
    std::vector<TMaterialLook> Materials;
    std::vector<TLatticeFaces> LatticeFaces; // of a lattice zone list, for the display type
    // The same of a coarse copy of the lattice, for dragging frames; empty when the lattice is
    // no finer than that copy.
    std::vector<TLatticeFaces> LatticeQuickFaces;
    // Largest distance of a body or grown-body mesh point from the origin; set with the meshes.
    double MeshReach = 0;
    // Changes whenever the meshes are rebuilt, so that what is derived from them can be cached.
    uint64_t MeshGeneration = 0;
    void Clear();
};

// Body model lookups.
int ParameterCount(const std::string& symbol);
int FindBodyIndex(const TAGeoData& bodies, int32_t number);
int BodyKind(const std::string& symbol); // position in BodySymbols, -1 if none

// Preprocessing.
void BodyExtent(const TGeoData& body, double& xmin, double& xmax, double& ymin, double& ymax,
                double& zmin, double& zmax, double& dmin, double& dmax);
void ArbPlanes(const TGeoData& body, TArbPlanes& out);
void HexPlanes(const TGeoData& body, THexPlanes& out);
void PrepareBody(TGeoData& body);      // fills body.Prep
void PrepareBodies(TAGeoData& bodies); // PrepareBody for every body

// Point location (closed tests).
bool PointInBody(const TGeoData& body, double x, double y, double z);
bool ZoneContains(const TAGeoData& bodies, const TZoneData& zone, double x, double y, double z);
int FindZone(const TAGeoData& bodies, const TAZoneData& zones, TMatrixAi& result, double x,
             double y, double z);
// Whether group g takes part in the zone's union: the first group always, a later one when
// its GroupOp is 'O'; a group without terms never (it holds no point).
bool ZoneGroupCounts(const TZoneData& zone, size_t g);

// The zone's value from the inside state of its bodies, inside(b) for a body position b of a
// list of bodyCount bodies: the rules of ZoneContains, for callers that know the states
// already. A term naming no body is outside it; a term of sign 0 decides nothing.
template <class TInside>
bool ZoneHolds(const TZoneData& zone, size_t bodyCount, TInside&& inside) {
    for (size_t g = 0; g < zone.BodyIndex.size(); ++g) {
        if (!ZoneGroupCounts(zone, g)) continue;
        const TMatrixAi& index = zone.BodyIndex[g];
        const TMatrixAi* sign = g < zone.Sign.size() ? &zone.Sign[g] : nullptr;
        bool all = true;
        for (size_t t = 0; t < index.size() && all; ++t) {
            int s = sign && t < sign->size() ? (*sign)[t] : 1;
            if (s == 0) continue;
            int32_t b = index[t];
            bool in = b >= 0 && static_cast<size_t>(b) < bodyCount &&
                      inside(static_cast<size_t>(b));
            all = in == (s > 0);
        }
        if (all) return true;
    }
    return false;
}

// Ray crossings at or after O along the unit direction D; appends points and codes
// (Number*10 + k) to the caller's lists.
void RayBodyIntersections(const TVector& o, const TVector& d, const TGeoData& body,
                          TMatrixA3d& points, TMatrixAi& codes);
// The enclosing balls of a body list side by side, so that one pass over a few small arrays
// culls a ray against every body. Build it once per load, after PrepareBodies.
// Long lists also get a tree over the balls, so that a ray tests the balls near its way only.
struct TRayCull {
    size_t BodyCount = 0;       // the list it was built for
    size_t Count = 0;           // entries (the arrays are padded to an even length)
    std::vector<uint32_t> Body; // bodies that can have crossings, in list order
    // per entry: centre, 1.001 r^2, 1.001 (r + 1e-6)^2; infinite radii for bodies never culled
    std::vector<double> X, Y, Z, Near, Behind;
    // The tree (empty for short lists): node 0 is the root; a node with Count 0 has its two
    // children at its own position + 1 and at Second, a leaf the entries Order[First ..
    // First + Count). Lo/Hi bound the balls (Radius the largest) of the entries below.
    struct TNode {
        double Lo[3] = {0, 0, 0}, Hi[3] = {0, 0, 0};
        double Radius = 0;
        uint32_t First = 0, Count = 0, Second = 0;
    };
    std::vector<TNode> Nodes;
    std::vector<uint32_t> Order;  // the entries with a ball, grouped by leaf
    std::vector<uint64_t> Always; // bit set of the entries without a ball (never culled)
    double Span = 0;              // largest distance of a ball's point from the origin
};
void BuildRayCull(const TAGeoData& bodies, TRayCull& cull);

// The crossings of every body of the list, appended in list order: exactly what calling
// RayBodyIntersections for each body in turn appends, but faster on prepared bodies. A cull
// built for another list is not used. `kept`, when given, receives the positions of the bodies
// the cull could not rule out, in list order; the inside test of every other body is false at
// every point of the ray from O on.
void RayBodiesIntersections(const TVector& o, const TVector& d, const TAGeoData& bodies,
                            const TRayCull& cull, TMatrixA3d& points, TMatrixAi& codes,
                            std::vector<uint32_t>* kept = nullptr);
