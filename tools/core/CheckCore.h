// Ray-walk consistency check: fires random rays through the geometry and reports points in no
// zone, in several zones, and rays that leave the last material zone without reaching a void.
// One object lives as long as its dialog (or the command line run); the random sequence
// continues from one run to the next.
#pragma once

#include "geometry/CheckErrors.h"
#include "geometry/MyCGUnit.h"
#include "geometry/ZoneIndex.h"

#include <atomic>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

// The program's 32-bit linear congruential generator (seed 0 at start-up).
class TCheckRandom {
  public:
    double Next() {
        Seed = Seed * 134775813u + 1u;
        return static_cast<double>(Seed) / 4294967296.0;
    }
    // Moves on as `draws` calls of Next would, in a number of steps that grows with the
    // logarithm of `draws`.
    void Skip(uint64_t draws);
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
    // Filled by AddFindingDetails, for a finding that is reported: a walk holds only what
    // locates its findings, however many zones overlap or bodies hold the point.
    std::vector<int32_t> ZonesHit; // overlap: zone positions in the order found
    std::vector<int32_t> BodiesAt; // numbers of the bodies containing Mid, body order
};

// Walks one ray and returns its first `maxFindings` findings in the order they occur (a run
// reports no more than CheckErrorLimit). The index serves the zone searches (built for these
// lists; otherwise the plain search is used). A set `cancel` ends the walk early, its findings
// incomplete.
void CheckOneRay(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
                 const TVector& start, const TVector& dir, std::vector<TCheckFinding>& findings,
                 const std::atomic<bool>* cancel = nullptr, size_t maxFindings = 10);
// The overlapping zones (as the walk's search found them) and the bodies at the finding's
// midpoint.
void AddFindingDetails(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
                       TCheckFinding& f);

class TCheckRun {
  public:
    // The shared error list is written by every run; the caller owns it.
    explicit TCheckRun(TCheckErrorSegments& errors) : Errors(errors) {}
    ~TCheckRun() { CancelWalk(); }
    TCheckRun(const TCheckRun&) = delete;
    TCheckRun& operator=(const TCheckRun&) = delete;

    // Starts a run over the given geometry (which must stay unchanged while running):
    // resets the ray counter and the shared error list, clears the output to "0%".
    // With Parts > 1 the run fires only part Part (0-based) of the rays: the consecutive
    // rays from Rays * Part / Parts up to Rays * (Part + 1) / Parts, drawn from where the
    // generator stands after the rays before them.
    void Start(const TAGeoData& bodies, const TAZoneData& zones, const TCheckSettings& settings);

    // One step: fires one ray, or ends the run when every ray is fired.
    void Step() { Advance(1); }
    // Up to `maxRays` steps; rays are walked on `Threads` threads and reported in ray order,
    // so the outcome is the same as that many single steps. Returns the rays fired.
    int Advance(int maxRays);
    // Fires rays for about `seconds` and returns, however slow a single ray is: the rays are
    // walked on a background thread, and a batch that is not done by then is waited for by the
    // next call. Same outcome as single steps.
    void AdvanceFor(double seconds);
    // The user stopped the run: adds "Stop by User". Rays still being walked are abandoned as
    // if never fired.
    void StopByUser();
    // Memory ran out inside Start or a step: drops the rays in hand and the zone index and
    // ends the run with "Stop by lack of memory". Allocates next to nothing itself.
    void StopOutOfMemory();

    bool Running() const { return Active; }
    const std::vector<std::string>& Lines() const { return Output; }
    // Grows whenever Lines() changes, so a view can skip unchanged refreshes.
    uint64_t Revision() const { return Rev; }
    int32_t RaysDone() const { return Counter; }
    int32_t ErrorCount() const { return Errors.Count; }

    // An error as reported: the ray (its number in the run, from 0), the finding and the
    // ray's direction.
    struct TReported {
        int64_t Ray = 0;
        TCheckFinding Finding;
        TVector Dir;
    };
    const std::vector<TReported>& Reported() const { return Found; }
    // The rays of this run (all of them, or the part's): [FirstRay(), EndRay()).
    int64_t FirstRay() const { return First; }
    int64_t EndRay() const { return End; }

    TCheckRandom Random; // continues across runs
    int Threads = 1;     // 0 = all cores
    int Part = 0, Parts = 1;

  private:
    struct TRay {
        double Draw[5] = {0, 0, 0, 0, 0}; // r1..r5
        TVector Start, Dir;
        uint32_t SeedAfter = 0;
        std::vector<TCheckFinding> Findings;
    };
    // The next batch: random draws in sequence on the calling thread.
    void DrawRays(int count);
    // Walks the drawn rays (on all `Threads`).
    void WalkRays();
    // Reports the walked rays in ray order; returns the rays fired.
    int ReportRays();
    // Stops a background walk and waits for it; its rays are dropped.
    void CancelWalk();
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
    int64_t First = 0, End = 0; // rays of this run
    int32_t LastPercent = 0;
    std::vector<TReported> Found;
    std::vector<std::string> Output;
    uint64_t Rev = 0;
    int64_t Batch = 1; // rays per batch of AdvanceFor
    std::vector<TRay> Rays;
    int Drawn = 0;           // rays of the current batch
    uint32_t SeedBefore = 0; // the generator before the current batch
    std::future<void> Walking;
    std::atomic<bool> Cancel{false};
    double WalkStarted = 0; // seconds on the steady clock
};

// Output line of one finding (without the body-number line).
std::string CheckFindingLine(const TCheckFinding& f, const TAZoneData& zones, const TVector& dir);
std::string CheckBodiesLine(const TCheckFinding& f);

inline constexpr int CheckErrorLimit = 10;
