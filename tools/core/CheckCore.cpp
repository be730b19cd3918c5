#include "CheckCore.h"

#include "CheckFormat.h"
#include "CheckRay.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double MinPiece = 0.01; // pieces shorter than this are not tested

TVector Mid(const TVector& a, const TVector& b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}

std::string Xyz(const TVector& m) {
    return "x=" + FormatE(m.x, 4, 11) + " y=" + FormatE(m.y, 4, 11) + " z=" + FormatE(m.z, 4, 11);
}

} // namespace

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
                 const TVector& start, const TVector& dir, std::vector<TCheckFinding>& findings) {
    thread_local TRayCrossings walk;
    walk.Walk(start, dir, bodies);
    const TMatrixA3d& p = walk.Points;
    TMatrixAi& hits = walk.Hits;
    const size_t n = p.size();

    auto found = [&](TCheckFinding::Kind kind, const TVector& m, const TVector& a,
                     const TVector& b) -> TCheckFinding& {
        TCheckFinding& f = findings.emplace_back();
        f.What = kind;
        f.Mid = m;
        f.PieceStart = a;
        f.PieceEnd = b;
        if (kind == TCheckFinding::Overlap) f.ZonesHit.assign(hits.begin(), hits.end());
        for (const TGeoData& body : bodies)
            if (PointInBody(body, m.x, m.y, m.z)) f.BodiesAt.push_back(body.Number);
        return f;
    };

    int32_t lastMaterial = -1;
    for (size_t i = 0; i + 1 < n; ++i) {
        if (Distance(p[i], p[i + 1]) < MinPiece) continue;
        TVector m = Mid(p[i], p[i + 1]);
        int count = FindZone(bodies, zones, index, hits, m.x, m.y, m.z);
        if (count == 0) {
            if (lastMaterial != 0) found(TCheckFinding::NoZone, m, p[i], p[i + 1]);
        } else if (count >= 2) {
            if (lastMaterial == 0) continue;
            found(TCheckFinding::Overlap, m, p[i], p[i + 1]);
            lastMaterial = zones[static_cast<size_t>(hits[0])].Material;
        } else {
            lastMaterial = zones[static_cast<size_t>(hits[0])].Material;
        }
    }
    if (lastMaterial > 0) {
        // Open end: look a little beyond the last crossing for the enclosing void.
        const TVector& last = p[n - 1];
        TVector q{last.x + 0.1 * (last.x - start.x), last.y + 0.1 * (last.y - start.y),
                  last.z + 0.1 * (last.z - start.z)};
        TVector m = Mid(last, q);
        if (FindZone(bodies, zones, index, hits, m.x, m.y, m.z) == 1)
            lastMaterial = zones[static_cast<size_t>(hits[0])].Material;
        if (lastMaterial != 0) found(TCheckFinding::OpenEnd, m, last, q);
    }
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
            list += z < zones.size() ? zones[z].Name : std::string();
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
    Bodies = &bodies;
    Zones = &zones;
    BuildZoneIndex(bodies, zones, Index);
    Set = settings;
    Counter = 0;
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
    AddLine("Stop by User");
    Stop();
}

bool TCheckRun::Report(const TCheckFinding& f, const TVector& dir) {
    AddLine(CheckFindingLine(f, *Zones, dir));
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

void TCheckRun::AdvanceFor(double seconds) {
    RunForTime(seconds, Batch, 1 << 16, [this](int64_t rays) {
        Advance(static_cast<int>(rays));
        return Active;
    });
}

int TCheckRun::Advance(int maxRays) {
    constexpr int MaxBatch = 4096;
    struct TRay {
        double Draw[5] = {0, 0, 0, 0, 0}; // r1..r5
        TVector Start, Dir;
        uint32_t SeedAfter = 0;
        std::vector<TCheckFinding> Findings;
    };
    // Per calling thread; the workers reach it through the reference below.
    thread_local std::vector<TRay> buffer;
    std::vector<TRay>& rays = buffer;

    int fired = 0;
    while (Active && fired < maxRays) {
        if (Counter >= Set.Rays) {
            Finish();
            break;
        }
        const int batch = static_cast<int>(
            std::min<int64_t>({maxRays - fired, int64_t(Set.Rays) - Counter, MaxBatch}));
        if (rays.size() < static_cast<size_t>(batch)) rays.resize(static_cast<size_t>(batch));
        // The random draws stay sequential; the rays are built and walked in parallel.
        for (int b = 0; b < batch; ++b) {
            TRay& r = rays[static_cast<size_t>(b)];
            for (double& v : r.Draw) v = Random.Next();
            r.SeedAfter = Random.Seed;
            r.Findings.clear();
        }
        const TAGeoData& bodies = *Bodies;
        const TAZoneData& zones = *Zones;
        const TZoneIndex& index = Index;
        const TCheckSettings& s = Set;
        ParallelSlices(batch, Threads, 16, [&](int begin, int end, int) {
            const double deg = std::numbers::pi / 180;
            for (int b = begin; b < end; ++b) {
                TRay& r = rays[static_cast<size_t>(b)];
                const double* d = r.Draw;
                r.Start = {(s.Xmax - s.Xmin) * d[0] + s.Xmin, (s.Ymax - s.Ymin) * d[1] + s.Ymin,
                           (s.Zmax - s.Zmin) * d[2] + s.Zmin};
                double theta = ((s.Tmax - s.Tmin) * d[3] + s.Tmin) * deg;
                double phi = ((s.Pmax - s.Pmin) * d[4] + s.Pmin) * deg;
                r.Dir = {std::cos(theta) * std::cos(phi), std::sin(theta) * std::cos(phi),
                         std::sin(phi)};
                CheckOneRay(bodies, zones, index, r.Start, r.Dir, r.Findings);
            }
        });
        for (int b = 0; b < batch; ++b) {
            const TRay& r = rays[static_cast<size_t>(b)];
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
    }
    return fired;
}
