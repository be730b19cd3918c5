// Per-load index for the zone search: a tree of cells over the bodies' enclosing boxes, each cell
// halved along the axes that separate its surfaces (all three where none tells), whose leaves
// keep only the zones that can contain a point of the leaf, each reduced to the terms the leaf
// does not decide. A term is decided where the leaf lies wholly inside or wholly outside its
// body (BodyBoxSide); a group with a decided false term drops out, a zone with no group left
// drops out, a zone with a group whose terms are all decided true needs no test at all. Cells
// are split where undecided surfaces crowd, down to a fraction of the smallest body there, so
// half-spaces, long cylinders and air zones that subtract hundreds of bodies cost a handful of
// inside tests per search. FindZone through the index returns exactly the list the plain
// FindZone returns.
//
//   PrepareBodies(geo.Bodies);                       // after every load (the reader does it)
//   TZoneIndex index;
//   BuildZoneIndex(geo.Bodies, geo.Zones, index);    // after every load, after PrepareBodies
//   int n = FindZone(geo.Bodies, geo.Zones, index, hits, x, y, z);
//
// Rebuild the index whenever the bodies or zones change. An index built for other lists (other
// counts) or a point with a non-finite coordinate falls back to the plain search. The index is
// read-only during searches, so one index may serve several threads.
#pragma once

#include "BoxSide.h"
#include "MyCGUnit.h"

#include <cstdint>
#include <utility>
#include <vector>

struct TZoneIndex {
    bool Ready = false;
    size_t BodyCount = 0, ZoneCount = 0; // the lists it was built for
    double Lo[3] = {0, 0, 0};            // root cell; points outside it use leaf Outer
    double Hi[3] = {0, 0, 0};
    // Node[n] >= 0: a cell halved along the axes of its bits 0 (x), 1 (y) and 2 (z), with
    // children from Node[n] >> 3 on (the k-th halved axis is bit k of a child's offset, set for
    // the upper half); Node[n] < 0: the leaf at Code[-Node[n] - 1]. Node 0 is the root.
    std::vector<int32_t> Node;
    int32_t Outer = 0; // where in Code the leaf of the points outside the root cell starts
    // A leaf, all in one run so that a search reads one place: {body count m, m bodies,
    // program length, program}. The program lists per candidate zone, in zone order, {zone,
    // group count, then per group {term count, terms}}; a term is slot * 2 + (1 when
    // negative), the slot indexing the leaf's bodies. A leaf of at most LeafMaskBodies bodies
    // writes each group instead as two 64-bit masks of slots, the bodies it needs inside and
    // those it needs outside, each as two ints (low half first). Cells with the same leaf
    // share it.
    std::vector<int32_t> Code;
    size_t Leaves = 0;     // distinct leaves
    int Depth = 0;         // deepest level reached (a level halves one to three axes)
    bool Budgeted = false; // the memory budget stopped the refinement somewhere
    TRayCull Rays;         // for RayBodiesIntersections on the same bodies
    // For the search along a ray (TRayZoneSearch): the zones each body takes part in,
    // ZonesOfBody[ZonesStart[b] .. ZonesStart[b + 1]], and {number, body} sorted by number, to
    // name the body of a crossing code (body -1 where numbers repeat or codes would wrap).
    std::vector<uint32_t> ZonesStart;
    std::vector<int32_t> ZonesOfBody;
    std::vector<uint32_t> ZoneTerms; // per body: the terms of its zones, what a change costs
    std::vector<std::pair<int32_t, int32_t>> Numbers;
};

// Leaves of at most this many bodies keep their groups as masks of slots.
inline constexpr size_t LeafMaskBodies = 64;

// Upper bound on the memory of one index (nodes and leaf programs), in bytes.
inline constexpr size_t ZoneIndexBudget = size_t{96} << 20;

// Builds the index for these lists (call PrepareBodies first: unprepared bodies decide nothing,
// the index then still works but cannot cull). `budget` bounds its memory.
void BuildZoneIndex(const TAGeoData& bodies, const TAZoneData& zones, TZoneIndex& index,
                    size_t budget = ZoneIndexBudget);

// Memory the index holds, in bytes.
size_t ZoneIndexBytes(const TZoneIndex& index);

// Bodies the search of a point tests at most (those its leaf leaves undecided): the cost of
// FindZone there. 0 for an index not built.
size_t ZoneIndexLeafBodies(const TZoneIndex& index, double x, double y, double z);

// The bodies that some leaf meeting the box lo..hi leaves undecided for a zone that can hold
// there (sorted, without repeats): no other body's surface can change a zone inside the box.
// False, with no list, when the index is not built or more than maxLeaves leaves (or many more
// cells) meet the box.

bool ZoneIndexBodiesInBox(const TZoneIndex& index, const double lo[3], const double hi[3],
                          size_t maxLeaves, std::vector<int32_t>& bodies);

// The zone search through the index: the same result list (zone positions in zone order) and
// count as FindZone(bodies, zones, result, x, y, z).
int FindZone(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
             TMatrixAi& result, double x, double y, double z);

// Levels of cells below the root at most (each level halves an axis that was halved fewer
// than 24 times).
inline constexpr int ZoneIndexLevels = 3 * 24;

// The index cell of the last search, for searches of points that follow each other closely
// (along a ray, a row of pixels, a track): a point in the same cell skips the descent from the
// root, a point in a neighbouring cell descends only from the smallest cell above both. Starts
// empty; belongs to one index and one thread: reset it (= TZoneCell{}) whenever the index may
// have been rebuilt.
struct TZoneCell {
    TZoneCell() {} // the path stays unwritten until a search fills it
    int32_t Leaf = -1; // where the cell's leaf starts in Code, -1 none
    double Lo[3] = {0, 0, 0}, Hi[3] = {0, 0, 0};
    bool Closed[3] = {false, false, false}; // the upper bound belongs to the cell
    // The cells from the root down to the last leaf's: Path[0 .. Levels), Path[0] the root.
    struct TLevel {
        int32_t Node;             // position in Node
        uint8_t Closed;           // bit a: the upper bound on axis a belongs to the cell
        double Lo[3], Hi[3];
    };
    int Levels = 0;
    TLevel Path[ZoneIndexLevels + 1];
};
// FindZone through the index, starting from the cell of the last search (same result).
int FindZone(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
             TZoneCell* cell, TMatrixAi& result, double x, double y, double z);
