// Ray-walk consistency check: fires random rays through the geometry and reports points in no
// zone, in several zones, and rays that leave the last material zone without reaching a void.
// One object lives as long as its dialog (or the command line run); the random sequence
// continues from one run to the next.
#pragma once

#include "geometry/CheckErrors.h"
#include "geometry/MyCGUnit.h"
#include "geometry/ZoneIndex.h"

#include <cstdint>
#include <string>
#include <vector>

// The program's 32-bit linear congruential generator (seed 0 at start-up).
class TCheckRandom {
  public:
    double Next() {
        Seed = Seed * 134775813u + 1u;
        return static_cast<double>(Seed) / 4294967296.0;
    }
    uint32_t Seed = 0;
};

struct TCheckSettings {
    int32_t Rays = 100000;
    double Xmin = 0, Xmax = 0, Ymin = 0, Ymax = 0, Zmin = 0, Zmax = 0;
    double Tmin = 0, Tmax = 360;  // azimuth theta, degrees
    double Pmin = -90, Pmax = 90; // elevation phi, degrees
};

// Entry texts of the dialog in the order of TCheckSettings; converts them all or names the
// first bad one in `error` (the run is then refused).
struct TCheckEntries {
    std::string Rays = "100000";
    std::string Xmin = "0", Xmax = "0", Ymin = "0", Ymax = "0", Zmin = "0", Zmax = "0";
    std::string Tmin = "0", Tmax = "360", Pmin = "-90", Pmax = "90";
};
bool ConvertCheckEntries(const TCheckEntries& entries, TCheckSettings& out, std::string& error);

// One error found on a ray, before it is reported.
struct TCheckFinding {
    enum Kind { NoZone, Overlap, OpenEnd } What = NoZone;
    TVector Mid, PieceStart, PieceEnd;
    std::vector<int32_t> ZonesHit; // overlap: zone positions in the order found
    std::vector<int32_t> BodiesAt; // numbers of the bodies containing Mid, body order
};

// Walks one ray and returns its findings in the order they occur. The index serves the zone
// searches (built for these lists; otherwise the plain search is used).
void CheckOneRay(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
                 const TVector& start, const TVector& dir, std::vector<TCheckFinding>& findings);

class TCheckRun {
  public:
    // The shared error list is written by every run; the caller owns it.
    explicit TCheckRun(TCheckErrorSegments& errors) : Errors(errors) {}

    // Starts a run over the given geometry (which must stay unchanged while running):
    // resets the ray counter and the shared error list, clears the output to "0%".
    void Start(const TAGeoData& bodies, const TAZoneData& zones, const TCheckSettings& settings);

    // One step: fires one ray, or ends the run when every ray is fired.
    void Step() { Advance(1); }
    // Up to `maxRays` steps; rays are walked on `Threads` threads and reported in ray order,
    // so the outcome is the same as that many single steps. Returns the rays fired.
    int Advance(int maxRays);
    // Fires rays for about `seconds` (at least one ray), so an idle step stays short however
    // slow a single ray is; same outcome as single steps.
    void AdvanceFor(double seconds);
    // The user stopped the run: adds "Stop by User".
    void StopByUser();

    bool Running() const { return Active; }
    const std::vector<std::string>& Lines() const { return Output; }
    // Grows whenever Lines() changes, so a view can skip unchanged refreshes.
    uint64_t Revision() const { return Rev; }
    int32_t RaysDone() const { return Counter; }
    int32_t ErrorCount() const { return Errors.Count; }

    TCheckRandom Random; // continues across runs
    int Threads = 1;     // 0 = all cores

  private:
    void AddLine(std::string line);
    void SetLine0(std::string line);
    void Finish(); // all rays fired
    void Stop() { Active = false; }
    // Reports one finding; false when the run stops at the tenth error.
    bool Report(const TCheckFinding& f, const TVector& dir);

    TCheckErrorSegments& Errors;
    const TAGeoData* Bodies = nullptr;
    const TAZoneData* Zones = nullptr;
    TZoneIndex Index;
    TCheckSettings Set;
    bool Active = false;
    int32_t Counter = 0;
    int32_t LastPercent = 0;
    std::vector<std::string> Output;
    uint64_t Rev = 0;
    int64_t Batch = 1; // rays per call of AdvanceFor's loop
};

// Output line of one finding (without the body-number line).
std::string CheckFindingLine(const TCheckFinding& f, const TAZoneData& zones, const TVector& dir);
std::string CheckBodiesLine(const TCheckFinding& f);

inline constexpr int CheckErrorLimit = 10;
