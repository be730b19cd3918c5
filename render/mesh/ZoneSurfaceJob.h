// Zone surfaces computed on a thread of their own, so that a window stays responsive while a
// large geometry's surfaces are made: the job works on its own copy of the bodies, zones and
// materials, reports its progress, and can be stopped at any time.
#pragma once

#include "ZoneSurfaces.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

// What the surfaces depend on: the bodies, the zones, the materials and the cut box (when on).
// Equal keys, equal surfaces.
uint64_t ZoneSurfaceKey(const TGeometry& geo, const TGeoData* cutBox);

class TZoneSurfaceJob {
  public:
    TZoneSurfaceJob() = default;
    TZoneSurfaceJob(const TZoneSurfaceJob&) = delete;
    TZoneSurfaceJob& operator=(const TZoneSurfaceJob&) = delete;
    ~TZoneSurfaceJob() { Cancel(); }

    // Starts on a copy of what the surfaces are made from; a job in progress is stopped first.
    void Start(const TGeometry& geo, const TGeoData* cutBox, uint64_t key);
    // Stops a job in progress and waits for its thread.
    void Cancel();
    bool Busy() const { return Thread.joinable() && !Finished.load(); }
    uint64_t Key() const { return JobKey; } // of the job started last (0: none)
    double Progress() const { return Share.load(); }
    // A finished job's surfaces, moved out (once); false while it runs or when there are none.
    bool Take(TZoneSurfaces& out);

  private:
    std::thread Thread;
    std::atomic<bool> Stop{false}, Finished{false};
    std::atomic<double> Share{0};
    bool Ok = false;
    uint64_t JobKey = 0;
    TGeometry Copy;
    TGeoData Cut;
    bool HasCut = false;
    TZoneSurfaces Result;
};
