// Region volume calculation: grids of parallel rays along x, y and z through an evaluation box,
// refined level by level (2^k rays per side) until the ticked zones converge.
// One grid row per step; a row's positions are walked on all cores and added in position
// order, so the sums do not depend on the number of threads.
#pragma once

#include "geometry/CheckErrors.h"
#include "geometry/MyCGUnit.h"
#include "geometry/ZoneIndex.h"

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
    void Start(const TAGeoData& bodies, const TAZoneData& zones, const TVolumeSettings& settings,
               const std::vector<bool>& selected);
    // One step: the rest of a grid row, or the completion of a level, or the end of the run.
    void Step();
    // As many steps as fit in about `seconds`, a row taken in parts as time allows (at least
    // one grid position): an idle step stays short at any level. Same sums as whole rows.
    void StepFor(double seconds);
    void StopByUser(); // adds "Stop by User"

    bool Running() const { return Active; }
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

    TCheckErrorSegments& Errors;
    const TAGeoData* Bodies = nullptr;
    const TAZoneData* Zones = nullptr;
    TZoneIndex Index;
    TVolumeSettings Set;
    bool Active = false;
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
};

// Result file name: ".dat" is appended when the name has no extension.
std::string VolumeFileName(const std::string& chosen);
// The question asked before overwriting: the name without directory + " is Found! OverWrite OK?"
std::string VolumeOverwriteQuestion(const std::string& path);
// Writes the result file (values of the last completed level) through a temporary file that
// replaces the target only when complete. False with a message in `error` on failure.
bool WriteVolumeFile(const std::string& path, const TAZoneData& zones,
                     const std::vector<TZoneVolume>& volumes, std::string& error);
