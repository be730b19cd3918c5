// Region volume calculation: grids of parallel rays along x, y and z through an evaluation box,
// refined level by level (2^k rays per side) until the ticked zones converge.
// One grid row per step; a row's positions are walked on all cores. The sums are exact until a
// level is complete and rounded once then, so they depend neither on the number of threads nor
// on how the rows were shared out (a run split into parts gives the same bits).
#pragma once

#include "geometry/CheckErrors.h"
#include "geometry/MyCGUnit.h"
#include "geometry/ZoneIndex.h"
#include "tools/core/ExactSum.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int VolumeMaxLevel = 14;

struct TVolumeSettings {
    int32_t Level = 12; // highest division level L, 0..14
    double Xmin = -100, Xmax = 100, Ymin = -100, Ymax = 100, Zmin = -100, Zmax = 100;
    double RatioMin = 0.999, RatioMax = 1.001; // level-to-level ratio (first convergence row)
    double AgreeMin = 0.999, AgreeMax = 1.001; // direction-to-mean ratio (second row)
};

// Entry texts of the dialog, in the order of TVolumeSettings.
struct TVolumeEntries {
    std::string Level = "12";
    std::string Xmin = "-100", Xmax = "100", Ymin = "-100", Ymax = "100", Zmin = "-100",
                Zmax = "100";
    std::string RatioMin = "0.999", RatioMax = "1.001", AgreeMin = "0.999", AgreeMax = "1.001";
};
// Converts every entry or names the first bad one in `error` (the run is then refused).
bool ConvertVolumeEntries(const TVolumeEntries& entries, TVolumeSettings& out, std::string& error);

// One record per zone, in zone order.
struct TZoneVolume {
    double X = 0, XLast = 0; // rays along x: level in progress, last completed level
    double Y = 0, YLast = 0;
    double Z = 0, ZLast = 0;
    bool Selected = false; // takes part in the convergence test
};

// The ticks of the zones that must converge: "" those of a material above 0, "all" every zone,
// otherwise comma-separated zone names (each must name a zone; false with `error` if not).
bool VolumeTicks(const TAZoneData& zones, const std::string& zoneList, std::vector<bool>& ticks,
                 std::string& error);

// "%8s = %.5e, %.5e, %.5e [cm3]  %.5f, %.5f, %.5f"
std::string VolumeResultLine(const std::string& name, double x, double y, double z, double rx,
                             double ry, double rz);

class TVolumeRun {
  public:
    // A run clears the check's error list, so the main view stops showing check errors.
    explicit TVolumeRun(TCheckErrorSegments& errors) : Errors(errors) {}

    // Opening the dialog: one zeroed record and one zero result line per zone, no ticks,
    // empty output.
    void Reset(const TAZoneData& zones);

    // Starts a run; `selected` holds the tick of every zone line (missing entries: unticked).
    // The geometry must stay unchanged while the run is active.
    // A part of a split run (KeepSums) walks only part Part (0-based) of every level's grid
    // rows, rows n * Part / Parts up to n * (Part + 1) / Parts of the n rows, through every
    // level up to the highest without a convergence test, and keeps each level's sums
    // (PartSums).
    void Start(const TAGeoData& bodies, const TAZoneData& zones, const TVolumeSettings& settings,
               const std::vector<bool>& selected);
    // One step: the rest of a grid row, or the completion of a level, or the end of the run.
    void Step();
    // As many steps as fit in about `seconds`, a row taken in parts as time allows (at least
    // one grid position): an idle step stays short at any level. Same sums as whole rows.
    void StepFor(double seconds);
    void StopByUser(); // adds "Stop by User"
    // Memory ran out inside Start or a step: gives back the index and the row buffers and
    // ends the run with "Stop by lack of memory"; the last completed level's volumes stay.
    void StopOutOfMemory();

    // Ends a run from the level sums of its parts, level by level as Step completes them:
    // the zones and the settings and ticks of the parts' run, then FinishLevel with every
    // level's sums (zone-major, x y z; all parts added) until the run is no longer running,
    // then Step once more if it still is.
    void StartFromSums(const TAZoneData& zones, const TVolumeSettings& settings,
                       const std::vector<bool>& selected);
    void FinishLevel(const std::vector<TExactSum>& sums);
    // A part's sums of every level it completed, zone-major (x, y, z of zone 0, then zone 1..).
    const std::vector<std::vector<TExactSum>>& PartSums() const { return Levels; }

    bool Running() const { return Active; }
    bool Converged() const { return Done; } // ended by the convergence test
    const std::vector<std::string>& Lines() const { return Output; }
    const std::vector<std::string>& ResultLines() const { return Results; }
    const std::vector<bool>& ResultTicks() const { return Ticks; }
    uint64_t Revision() const { return Rev; }          // grows when Lines() changes
    uint64_t ResultRevision() const { return ResRev; } // grows when the result list changes
    int Level() const { return K; }
    int64_t PositionsDone() const { return Counter; }
    int64_t PositionsTotal() const { return Total; }

    std::vector<TZoneVolume> Volumes; // ZoneVolumes
    int Threads = 1;                  // 0 = all cores
    int Part = 0, Parts = 1;
    bool KeepSums = false;

  private:
    struct TContribution {
        int32_t Zone;
        int32_t Axis; // 0 x, 1 y, 2 z
        double Value;
    };
    void AddLine(std::string line);
    void SetLine0(std::string line);
    // Up to `positions` grid positions of the current row, or a level's completion.
    void Advance(int64_t positions);
    void ProcessPositions(int64_t first, int64_t end);
    void CompleteLevel();
    std::string ProgressLine(int64_t percent, int64_t i, int64_t j) const;
    void BeginRun(const TAZoneData& zones, const TVolumeSettings& settings,
                  const std::vector<bool>& selected);
    int64_t RowBegin() const { return N * Part / std::max(Parts, 1); }
    int64_t RowEnd() const { return N * (Part + 1) / std::max(Parts, 1); }

    TCheckErrorSegments& Errors;
    const TAGeoData* Bodies = nullptr;
    const TAZoneData* Zones = nullptr;
    TZoneIndex Index;
    TVolumeSettings Set;
    bool Active = false;
    bool Done = false;
    int K = 0;         // level
    int64_t N = 1;     // rays per side at level K
    int64_t I = 0;     // row
    int64_t J = 0;     // next position (column) of row I
    int64_t Batch = 1; // positions per call of StepFor's loop
    int64_t Counter = 0, Total = 0;
    int64_t LastPercent = 0;
    std::vector<std::string> Output, Results;
    std::vector<bool> Ticks;
    uint64_t Rev = 0, ResRev = 0;
    std::vector<std::vector<TContribution>> PerPosition; // reused from row to row
    std::vector<TExactSum> Sums;                          // level in progress, zone-major
    std::vector<std::vector<TExactSum>> Levels;           // a part's completed levels
};

// Result file name: ".dat" is appended when the name has no extension.
std::string VolumeFileName(const std::string& chosen);
// Writes the result file (values of the last completed level) through a temporary file that
// replaces the target only when complete. False with a message in `error` on failure.
bool WriteVolumeFile(const std::string& path, const TAZoneData& zones,
                     const std::vector<TZoneVolume>& volumes, std::string& error);
