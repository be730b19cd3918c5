// Per-load index for the zone search: a uniform grid over the bodies' enclosing boxes in which
// every cell keeps only the zones that can contain a point of that cell, each reduced to the
// terms whose bodies reach into the cell. FindZone through the index returns exactly the list
// the plain FindZone returns.
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

#include "MyCGUnit.h"

#include <cstdint>
#include <vector>

struct TZoneIndex {
    bool Ready = false;
    size_t BodyCount = 0, ZoneCount = 0; // the lists it was built for
    double Lo[3] = {0, 0, 0};            // grid origin
    double Inv[3] = {0, 0, 0};           // cells per unit length
    int N[3] = {1, 1, 1};                // cells per axis
    // Cell c's program is Code[CellStart[c] .. CellStart[c + 1]): per candidate zone, in zone
    // order, {zone, group count, then per group {term count, terms}}; a term is
    // slot * 2 + (1 when negative), the slot indexing the cell's bodies
    // CellBodies[BodyStart[c] .. BodyStart[c + 1]).
    std::vector<uint32_t> CellStart;
    std::vector<int32_t> Code;
    std::vector<uint32_t> BodyStart;
    std::vector<int32_t> CellBodies;
};

// Builds the index for these lists (call PrepareBodies first: unprepared bodies have no boxes,
// the index then still works but cannot cull).
void BuildZoneIndex(const TAGeoData& bodies, const TAZoneData& zones, TZoneIndex& index);

// The zone search through the index: the same result list (zone positions in zone order) and
// count as FindZone(bodies, zones, result, x, y, z).
int FindZone(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
             TMatrixAi& result, double x, double y, double z);
