#include "CheckCore.h"
#include "geometry/Lattice.h"

#include "CheckFormat.h"
#include "CheckRay.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace {

constexpr double MinPiece = 0.01; // pieces shorter than this are not tested

std::string Xyz(const TVector& m) {
    return "x=" + FormatE(m.x, 4, 11) + " y=" + FormatE(m.y, 4, 11) + " z=" + FormatE(m.z, 4, 11);
}

} // namespace

void TCheckRandom::Skip(uint64_t draws) {
    // n steps of seed := a seed + c are one affine map; square the map bit by bit
    uint32_t a = 134775813u, c = 1u;
    for (; draws > 0; draws >>= 1) {
        if (draws & 1) Seed = a * Seed + c;
        c = a * c + c;
        a = a * a;
    }
}

bool ConvertCheckEntries(const TCheckEntries& e, TCheckSettings& out, std::string& error) {
    TCheckSettings s;
    std::optional<int32_t> rays = ParseInt(e.Rays);
    if (!rays) {
        error = "Iteration: \"" + e.Rays + "\" is not a valid integer.";
        return false;
    }
    s.Rays = *rays;
    if (!ParseBoxEntries(e, s, error) || !ParseRealEntry(e.Tmin, "THETA min", s.Tmin, error) ||
        !ParseRealEntry(e.Tmax, "THETA max", s.Tmax, error) ||
        !ParseRealEntry(e.Pmin, "PHI min", s.Pmin, error) ||
        !ParseRealEntry(e.Pmax, "PHI max", s.Pmax, error))
        return false;
    out = s;
    return true;
}

void CheckOneRay(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
                 const TVector& start, const TVector& dir, std::vector<TCheckFinding>& findings,
                 const std::atomic<bool>* cancel, size_t maxFindings) {
    thread_local TRayCrossings walk;
    walk.Walk(start, dir, bodies, zones, index);
    const TMatrixA3d& p = walk.Points;
    TMatrixAi& hits = walk.Hits;
    const size_t n = p.size();
    const size_t limit = findings.size() + maxFindings;

    auto found = [&](TCheckFinding::Kind kind, const TVector& m, const TVector& a,
                     const TVector& b) {
        TCheckFinding& f = findings.emplace_back();
        f.What = kind;
        f.Mid = m;
        f.PieceStart = a;
        f.PieceEnd = b;
    };

    int32_t lastMaterial = -1;
    for (size_t i = 0; i + 1 < n; ++i) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return;
        if (findings.size() >= limit) return;
        if (Distance(p[i], p[i + 1]) < MinPiece) continue;
        TVector m = PieceMid(p, i);
        int count = walk.Zones.Find(i, hits);
        if (count == 0) {
            if (lastMaterial != 0) found(TCheckFinding::NoZone, m, p[i], p[i + 1]);
        } else if (count >= 2) {
            if (lastMaterial == 0) continue;
            found(TCheckFinding::Overlap, m, p[i], p[i + 1]);
            lastMaterial = ZoneMaterial(zones, static_cast<size_t>(hits[0]));
        } else {
            lastMaterial = ZoneMaterial(zones, static_cast<size_t>(hits[0]));
        }
    }
    if (lastMaterial > 0) {
        // Open end: look a little beyond the last crossing for the enclosing void.
        const TVector& last = p[n - 1];
        TVector q{last.x + 0.1 * (last.x - start.x), last.y + 0.1 * (last.y - start.y),
                  last.z + 0.1 * (last.z - start.z)};
        TVector m = Midpoint(last, q);
        if (FindZone(bodies, zones, index, hits, m.x, m.y, m.z) == 1)
            lastMaterial = ZoneMaterial(zones, static_cast<size_t>(hits[0]));
        if (lastMaterial != 0) found(TCheckFinding::OpenEnd, m, last, q);
    }
}

void AddFindingDetails(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
                       TCheckFinding& f) {
    const TVector& m = f.Mid;
    f.ZonesHit.clear();
    f.BodiesAt.clear();
    if (f.What == TCheckFinding::Overlap) {
        TMatrixAi hits;
        FindZone(bodies, zones, index, hits, m.x, m.y, m.z);
        f.ZonesHit.assign(hits.begin(), hits.end());
    }
    BodiesAt(bodies, zones, m.x, m.y, m.z, f.BodiesAt);
}

std::string CheckFindingLine(const TCheckFinding& f, const TAZoneData& zones, const TVector& dir) {
    switch (f.What) {
    case TCheckFinding::NoZone:
        return Xyz(f.Mid) + " is no Zone";
    case TCheckFinding::Overlap: {
        std::string list;
        for (size_t k = 0; k < f.ZonesHit.size(); ++k) {
            if (k > 0) list += ",";
            size_t z = static_cast<size_t>(f.ZonesHit[k]);
            list += ZoneName(zones, z);
        }
        return Xyz(f.Mid) + " is Overlap Zone. Number[" + list + "]";
    }
    case TCheckFinding::OpenEnd:
        return Xyz(f.Mid) + " u=" + FormatE(dir.x, 4, 11) + " v=" + FormatE(dir.y, 4, 11) +
               " w=" + FormatE(dir.z, 4, 11) + "  Material Number 0 is not exist";
    }
    return {};
}

std::string CheckBodiesLine(const TCheckFinding& f) {
    std::string s = "Body Number of including the point:";
    for (int32_t number : f.BodiesAt) {
        s += ' ';
        s += std::to_string(number);
    }
    return s;
}

void TCheckRun::AddLine(std::string line) {
    Output.push_back(std::move(line));
    ++Rev;
}

void TCheckRun::SetLine0(std::string line) {
    if (Output.empty())
        Output.push_back(std::move(line));
    else
        Output[0] = std::move(line);
    ++Rev;
}

void TCheckRun::Start(const TAGeoData& bodies, const TAZoneData& zones,
                      const TCheckSettings& settings) {
    CancelWalk();
    Bodies = &bodies;
    Zones = &zones;
    BuildZoneIndex(bodies, zones, Index);
    Set = settings;
    const int64_t rays = std::max<int64_t>(settings.Rays, 0);
    const int64_t parts = std::max(Parts, 1);
    First = rays * Part / parts;
    End = rays * (Part + 1) / parts;
    Random.Skip(uint64_t(First) * 5); // five draws per ray
    Counter = static_cast<int32_t>(First);
    Found.clear();
    Errors.Reset();
    LastPercent = 0;
    Output.clear();
    AddLine("0%");
    Active = true;
    Batch = 1;
}

void TCheckRun::Finish() {
    SetLine0("100%");
    AddLine("error count = " + std::to_string(Errors.Count));
    AddLine("Check End");
    Stop();
}

void TCheckRun::StopByUser() {
    if (!Active) return;
    CancelWalk();
    AddLine("Stop by User");
    Stop();
}

void TCheckRun::StopOutOfMemory() {
    CancelWalk();
    if (Drawn > 0) Random.Seed = SeedBefore; // the batch in hand counts as never fired
    Drawn = 0;
    std::vector<TRay>().swap(Rays);
    Index = TZoneIndex{};
    Stop();
    AddLine("Stop by lack of memory");
}

bool TCheckRun::Report(const TCheckFinding& found, const TVector& dir) {
    TCheckFinding f = found;
    AddFindingDetails(*Bodies, *Zones, Index, f);
    AddLine(CheckFindingLine(f, *Zones, dir));
    Found.push_back({Counter, f, dir});
    ++Errors.Count;
    size_t slot = static_cast<size_t>(Errors.Count - 1);
    if (slot < Errors.Entry.size()) Errors.Entry[slot] = {f.Mid, f.PieceStart, f.PieceEnd};
    AddLine(CheckBodiesLine(f));
    if (Errors.Count >= CheckErrorLimit) {
        AddLine("Stop by error count is 10 over");
        Stop();
        return false;
    }
    return true;
}

namespace {

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr int MaxBatch = 4096;

} // namespace

void TCheckRun::CancelWalk() {
    if (!Walking.valid()) return;
    Cancel.store(true, std::memory_order_relaxed);
    Walking.wait();
    Walking = {};
    Cancel.store(false, std::memory_order_relaxed);
    Random.Seed = SeedBefore;
    Drawn = 0;
}

void TCheckRun::DrawRays(int count) {
    SeedBefore = Random.Seed;
    if (Rays.size() < static_cast<size_t>(count)) Rays.resize(static_cast<size_t>(count));
    for (int b = 0; b < count; ++b) {
        TRay& r = Rays[static_cast<size_t>(b)];
        for (double& v : r.Draw) v = Random.Next();
        r.SeedAfter = Random.Seed;
        r.Findings.clear();
    }
    Drawn = count;
}

void TCheckRun::WalkRays() {
    const TAGeoData& bodies = *Bodies;
    const TAZoneData& zones = *Zones;
    const TZoneIndex& index = Index;
    const TCheckSettings& s = Set;
    ParallelSlices(Drawn, Threads, 16, [&](int begin, int end, int) {
        const double deg = std::numbers::pi / 180;
        for (int b = begin; b < end; ++b) {
            if (Cancel.load(std::memory_order_relaxed)) return;
            TRay& r = Rays[static_cast<size_t>(b)];
            const double* d = r.Draw;
            r.Start = {(s.Xmax - s.Xmin) * d[0] + s.Xmin, (s.Ymax - s.Ymin) * d[1] + s.Ymin,
                       (s.Zmax - s.Zmin) * d[2] + s.Zmin};
            double theta = ((s.Tmax - s.Tmin) * d[3] + s.Tmin) * deg;
            double phi = ((s.Pmax - s.Pmin) * d[4] + s.Pmin) * deg;
            r.Dir = {std::cos(theta) * std::cos(phi), std::sin(theta) * std::cos(phi),
                     std::sin(phi)};
            CheckOneRay(bodies, zones, index, r.Start, r.Dir, r.Findings, &Cancel,
                        CheckErrorLimit);
        }
    });
}

int TCheckRun::ReportRays() {
    int fired = 0;
    const int drawn = Drawn;
    Drawn = 0;
    for (int b = 0; b < drawn; ++b) {
        const TRay& r = Rays[static_cast<size_t>(b)];
        int64_t p = (int64_t(Counter) * 100 + Set.Rays - 1) / Set.Rays;
        if (p > LastPercent) {
            LastPercent = static_cast<int32_t>(p);
            SetLine0(std::to_string(p) + "%");
        }
        ++fired;
        for (const TCheckFinding& f : r.Findings) {
            if (!Report(f, r.Dir)) {
                Random.Seed = r.SeedAfter; // later rays of the batch were never fired
                return fired;
            }
        }
        ++Counter;
    }
    return fired;
}

void TCheckRun::AdvanceFor(double seconds) {
    const double end = SteadySeconds() + std::max(seconds, 0.0);
    while (Active) {
        if (!Walking.valid()) {
            if (Counter >= End) {
                Finish();
                return;
            }
            DrawRays(static_cast<int>(std::min<int64_t>({Batch, End - Counter, MaxBatch})));
            WalkStarted = SteadySeconds();
            Walking = std::async(std::launch::async, [this] { WalkRays(); });
        }
        // a batch not done in time is waited for by the next call; the window gets its turn
        const double left = end - SteadySeconds();
        if (Walking.wait_for(std::chrono::duration<double>(std::max(left, 0.0))) !=
            std::future_status::ready)
            return;
        Walking.get();
        // batches of about a quarter of the time given leave room for the event loop
        const double took = SteadySeconds() - WalkStarted;
        if (took < seconds / 8)
            Batch = std::min<int64_t>(Batch * 2, MaxBatch);
        else if (took > seconds / 3)
            Batch = std::max<int64_t>(Batch / 2, 1);
        ReportRays();
        if (SteadySeconds() >= end) return;
    }
}

int TCheckRun::Advance(int maxRays) {
    int fired = 0;
    if (Walking.valid()) { // a batch AdvanceFor left walking
        Walking.get();
        fired += ReportRays();
    }
    while (Active && fired < maxRays) {
        if (Counter >= End) {
            Finish();
            break;
        }
        DrawRays(static_cast<int>(std::min<int64_t>({maxRays - fired, End - Counter, MaxBatch})));
        WalkRays();
        fired += ReportRays();
    }
    return fired;
}
