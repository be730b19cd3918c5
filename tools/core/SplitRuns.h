// The geometry check and the volume calculation split into parts that run apart (other
// processes, other machines) and are merged into exactly the output of the whole run.
//
//   check:  part I of N fires the I-th consecutive share of the rays, from the generator
//           jumped ahead to its first ray, and keeps its first ten errors with their ray
//           numbers; the merge reports them in ray order and stops at the tenth, as the whole
//           run does.
//   volume: part I of N walks the I-th share of the grid rows of every level up to the
//           highest and keeps each level's exact sums; the merge adds them and completes the
//           levels one by one with the convergence test of the whole run.
//
// A part file is text: a head naming the kind and the part, the geometry's fingerprint and the
// settings (which all parts must share), the part's findings or sums, and "end".
#pragma once

#include "tools/core/CheckCore.h"
#include "tools/core/VolumeCore.h"

#include <cstdint>
#include <string>
#include <vector>

// Part Index (from 0) of Count.
struct TRunPart {
    int Index = 0;
    int Count = 1;
};
inline constexpr int MaxRunParts = 100000;
// "I/N" with 1 <= I <= N <= MaxRunParts; false with a message in `error`.
bool ParseRunPart(const std::string& text, TRunPart& part, std::string& error);

// A hash of everything the check and the volume calculation read of the geometry: parts of
// different geometries are not merged.
uint64_t GeometryFingerprint(const TAGeoData& bodies, const TAZoneData& zones);

// The part file of a finished part run (started with Part and Parts set).
std::string CheckPartText(const TCheckRun& run, const TAZoneData& zones,
                          const TCheckSettings& settings, const TRunPart& part,
                          uint64_t fingerprint);
std::string VolumePartText(const TVolumeRun& run, const TAZoneData& zones,
                           const TVolumeSettings& settings, const std::vector<bool>& ticks,
                           const TRunPart& part, uint64_t fingerprint);

// What the whole run would have left.
struct TMergedRun {
    bool Volume = false;
    std::vector<std::string> Lines; // what trazon-cli check / volume prints
    TAZoneData Zones;               // volume: the zone names, for the result file
    std::vector<TZoneVolume> Volumes;
};
// Merges the texts of all N part files of one run (any order; `names` name them in messages).
// False with a message in `error` when a part is missing, doubled, cut short, or belongs to
// another run.
bool MergeRunParts(const std::vector<std::string>& texts, const std::vector<std::string>& names,
                   TMergedRun& out, std::string& error);
