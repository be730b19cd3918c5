// Checks the zone every track point records against the geometry. A point whose recorded zone
// (zone number = position in the zone list + 1) does not contain it is a mismatch, unless that
// zone comes within the tolerance of it: the file prints coordinates with a few significant
// digits, and a step's end point lies on the boundary the step stopped at, so the point is
// searched for along its track's incoming and outgoing directions and around it, up to the
// tolerance: a larger tolerance never finds more mismatches.
#pragma once

#include "geometry/MyCGUnit.h"
#include "geometry/ZoneIndex.h"
#include "input/Tracks.h"

#include <cstdint>
#include <string>
#include <vector>

struct TTrackZoneMismatch {
    size_t Point = 0;       // position in the track list
    int32_t History = 0;    // history number
    int32_t Track = 0;      // 1-based track of the history
    int32_t Index = 0;      // 1-based point of the track
    TVector At;
    int32_t Recorded = 0;   // zone number as recorded
    std::vector<int32_t> Found; // zone positions containing the point
};

struct TTrackZoneResult {
    int64_t Points = 0;     // points checked
    int64_t Mismatches = 0; // all of them, also beyond the kept ones
    std::vector<TTrackZoneMismatch> Kept; // the first MaxKept, in file order
    int Digits = 0;         // significant digits the coordinates were found to carry
};

struct TTrackZoneOptions {
    // Probe distance; 0 or less: twice the rounding error the printed digits allow.
    double Tolerance = 0;
    size_t MaxKept = 100;
    int Threads = 0; // 0 = all cores
};

// Significant digits of a value as printed: the fewest (1 to 17) that read back as the same
// double.
int PrintedDigits(double v);
// The largest PrintedDigits of the coordinates of an evenly spread sample of the points.
int TrackDigits(const TTracks& tracks);
// Largest rounding error of the point's printed position (length of the vector of per-axis
// half units of the last digit).
double RoundingError(const TVector& p, int digits);

TTrackZoneResult CheckTrackZones(const TAGeoData& bodies, const TAZoneData& zones,
                                 const TZoneIndex& index, const TTracks& tracks,
                                 const TTrackZoneOptions& options);

// "history H track T point I: X Y Z recorded NAME found NAMES|none"
std::string TrackZoneMismatchLine(const TTrackZoneMismatch& m, const TAZoneData& zones);
