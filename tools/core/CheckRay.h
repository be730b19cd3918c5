// The ray walk shared by the geometry check and the volume calculation: collect every body
// surface crossing of a ray, sort the crossings by distance, and run work on all cores.
#pragma once

#include "geometry/MyCGUnit.h"
#include "geometry/RayZones.h"
#include "tools/core/Parallel.h"

#include <cstdint>
#include <functional>

// Crossing list of one ray; element 0 is the ray start (code -1).
struct TRayCrossings {
    TMatrixA3d Points;
    TMatrixAi Codes;
    std::vector<uint32_t> Kept; // bodies the ray cull kept
    TMatrixAi Hits;             // scratch list for the zone searches of the caller
    TRayZoneSearch Zones;       // the zone search along this ray

    // Start at `start`, add the crossings of every body in body order, sort by distance.
    // `cull` is the one of the zone index built for these bodies.
    void Walk(const TVector& start, const TVector& dir, const TAGeoData& bodies,
              const TRayCull& cull);
    // Walk, then set up the zone search at the pieces' midpoints (Zones.Find).
    void Walk(const TVector& start, const TVector& dir, const TAGeoData& bodies,
              const TAZoneData& zones, const TZoneIndex& index);
};

// Sorts the crossings by distance from points[0], carrying the codes along; crossings at equal
// distances keep their order. O(n log n): a ray through many bodies has many crossings.
void SortCrossings(TMatrixA3d& points, TMatrixAi& codes);

double Distance(const TVector& a, const TVector& b);

