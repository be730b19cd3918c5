#include "VolumeCore.h"
#include "geometry/Lattice.h"

#include "CheckFormat.h"
#include "CheckRay.h"

#include <algorithm>
#include <cmath>

bool ConvertVolumeEntries(const TVolumeEntries& e, TVolumeSettings& out, std::string& error) {
    TVolumeSettings s;
    std::optional<int32_t> level = ParseInt(e.Level);
    if (!level) {
        error = "Division level: \"" + e.Level + "\" is not a valid integer.";
        return false;
    }
    if (*level < 0 || *level > VolumeMaxLevel) {
        error = "Division level: " + std::to_string(*level) + " is outside 0 to " +
                std::to_string(VolumeMaxLevel) + ".";
        return false;
    }
    s.Level = *level;
    if (!ParseBoxEntries(e, s, error) ||
        !ParseRealEntry(e.RatioMin, "Three direction min", s.RatioMin, error) ||
        !ParseRealEntry(e.RatioMax, "Three direction max", s.RatioMax, error) ||
        !ParseRealEntry(e.AgreeMin, "Division level min", s.AgreeMin, error) ||
        !ParseRealEntry(e.AgreeMax, "Division level max", s.AgreeMax, error))
        return false;
    out = s;
    return true;
}

bool VolumeTicks(const TAZoneData& zones, const std::string& zoneList, std::vector<bool>& ticks,
                 std::string& error) {
    const size_t count = ZoneCount(zones);
    ticks.assign(count, zoneList == "all");
    if (zoneList.empty()) {
        for (size_t z = 0; z < count; ++z) ticks[z] = ZoneMaterial(zones, z) > 0;
        return true;
    }
    if (zoneList == "all") return true;
    size_t from = 0;
    while (from <= zoneList.size()) {
        size_t comma = zoneList.find(',', from);
        std::string name =
            zoneList.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        bool found = false;
        for (size_t z = 0; z < count; ++z)
            if (ZoneName(zones, z) == name) ticks[z] = found = true;
        if (!found) {
            std::string names; // (the first of a lattice's millions)
            for (size_t z = 0; z < count && names.size() < 4096; ++z)
                names += " " + ZoneName(zones, z);
            error = "no zone named \"" + name + "\" (zones:" + names + ")";
            return false;
        }
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return true;
}

std::string VolumeResultLine(const std::string& name, double x, double y, double z, double rx,
                             double ry, double rz) {
    return PadLeft(name, 8) + " = " + FormatE(x, 5) + ", " + FormatE(y, 5) + ", " + FormatE(z, 5) +
           " [cm3]  " + FormatF(rx, 5) + ", " + FormatF(ry, 5) + ", " + FormatF(rz, 5);
}

void TVolumeRun::AddLine(std::string line) {
    Output.push_back(std::move(line));
    ++Rev;
}

void TVolumeRun::SetLine0(std::string line) {
    if (Output.empty())
        Output.push_back(std::move(line));
    else
        Output[0] = std::move(line);
    ++Rev;
}

void TVolumeRun::Reset(const TAZoneData& zones) {
    Active = false;
    const size_t count = ZoneCount(zones);
    Volumes.assign(count, TZoneVolume{});
    Results.clear();
    for (size_t z = 0; z < count; ++z)
        Results.push_back(VolumeResultLine(ZoneName(zones, z), 0, 0, 0, 0, 0, 0));
    Ticks.assign(count, false);
    ++ResRev;
    Output.clear();
    ++Rev;
}

void TVolumeRun::Start(const TAGeoData& bodies, const TAZoneData& zones,
                       const TVolumeSettings& settings, const std::vector<bool>& selected) {
    Bodies = &bodies;
    BuildZoneIndex(bodies, zones, Index);
    BeginRun(zones, settings, selected);
}

void TVolumeRun::StartFromSums(const TAZoneData& zones, const TVolumeSettings& settings,
                               const std::vector<bool>& selected) {
    Bodies = nullptr;
    Part = 0;
    Parts = 1;
    KeepSums = false;
    BeginRun(zones, settings, selected);
}

void TVolumeRun::FinishLevel(const std::vector<TExactSum>& sums) {
    if (!Active || K > Set.Level) return;
    N = PowerOfTwo(K);
    Counter = 0;
    for (int k = 0; k <= K; ++k) Counter += PowerOfTwo(k) * PowerOfTwo(k);
    Sums = sums;
    Sums.resize(Volumes.size() * 3);
    I = N;
    J = 0;
    CompleteLevel();
}

void TVolumeRun::BeginRun(const TAZoneData& zones, const TVolumeSettings& settings,
                          const std::vector<bool>& selected) {
    Zones = &zones;
    Set = settings;
    Counter = 0;
    Errors.Reset();
    LastPercent = 0;
    Total = 0;
    for (int k = 0; k <= Set.Level; ++k) Total += PowerOfTwo(k) * PowerOfTwo(k);
    K = 0;
    N = 1;
    I = RowBegin();
    J = 0;
    Batch = 1;
    const size_t count = ZoneCount(zones);
    Volumes.assign(count, TZoneVolume{});
    for (size_t z = 0; z < Volumes.size(); ++z)
        Volumes[z].Selected = z < selected.size() && selected[z];
    Sums.assign(count * 3, TExactSum{});
    Levels.clear();
    if (Results.size() != count) {
        // The zone list changed since the dialog was opened: start from zero lines.
        Results.clear();
        for (size_t z = 0; z < count; ++z)
            Results.push_back(VolumeResultLine(ZoneName(zones, z), 0, 0, 0, 0, 0, 0));
        Ticks.assign(count, false);
        for (size_t z = 0; z < Volumes.size(); ++z) Ticks[z] = Volumes[z].Selected;
        ++ResRev;
    }
    Output.clear();
    AddLine("0%");
    Active = true;
    Done = false;
}

void TVolumeRun::StopByUser() {
    if (!Active) return;
    AddLine("Stop by User");
    Active = false;
}

void TVolumeRun::StopOutOfMemory() {
    Active = false;
    Index = TZoneIndex{};
    std::vector<std::vector<TContribution>>().swap(PerPosition);
    AddLine("Stop by lack of memory");
}

std::string TVolumeRun::ProgressLine(int64_t percent, int64_t i, int64_t j) const {
    return std::to_string(percent) + "% , nlp=" + std::to_string(K) +
           ", nlpcnt=" + std::to_string(N) + ", ilp=" + std::to_string(i) +
           ", jlp=" + std::to_string(j);
}

void TVolumeRun::Step() {
    Advance(PowerOfTwo(VolumeMaxLevel));
}

void TVolumeRun::StepFor(double seconds) {
    RunForTime(seconds, Batch, PowerOfTwo(VolumeMaxLevel), [this](int64_t positions) {
        Advance(positions);
        return Active;
    });
}

void TVolumeRun::Advance(int64_t positions) {
    if (!Active) return;
    if (K > Set.Level) {
        SetLine0("100%");
        AddLine("Calculation Finished");
        Active = false;
        return;
    }
    N = PowerOfTwo(K);
    if (I < RowEnd()) {
        const int64_t end = std::min(N, J + std::max<int64_t>(positions, 1));
        ProcessPositions(J, end);
        J = end;
        if (J == N) {
            J = 0;
            ++I;
        }
    } else {
        CompleteLevel();
    }
}

void TVolumeRun::ProcessPositions(int64_t first, int64_t end) {
    const TAGeoData& bodies = *Bodies;
    const TAZoneData& zones = *Zones;
    const TZoneIndex& index = Index;
    const TVolumeSettings& s = Set;
    const double n = static_cast<double>(N);
    const double nn = n * n;
    const double area[3] = {(s.Ymax - s.Ymin) * (s.Zmax - s.Zmin) / nn,
                            (s.Xmax - s.Xmin) * (s.Zmax - s.Zmin) / nn,
                            (s.Xmax - s.Xmin) * (s.Ymax - s.Ymin) / nn};
    const double ci = static_cast<double>(I) + 0.5;
    const int count = static_cast<int>(end - first);
    if (PerPosition.size() < static_cast<size_t>(count))
        PerPosition.resize(static_cast<size_t>(count));

    ParallelSlices(count, Threads, 8, [&](int begin, int stop, int) {
        thread_local TRayCrossings walk;
        for (int slot = begin; slot < stop; ++slot) {
            std::vector<TContribution>& out = PerPosition[static_cast<size_t>(slot)];
            out.clear();
            const double cj = static_cast<double>(first + slot) + 0.5;
            const TVector starts[3] = {
                {s.Xmin, s.Ymin + (s.Ymax - s.Ymin) * ci / n, s.Zmin + (s.Zmax - s.Zmin) * cj / n},
                {s.Xmin + (s.Xmax - s.Xmin) * cj / n, s.Ymin, s.Zmin + (s.Zmax - s.Zmin) * ci / n},
                {s.Xmin + (s.Xmax - s.Xmin) * ci / n, s.Ymin + (s.Ymax - s.Ymin) * cj / n, s.Zmin}};
            static const TVector dirs[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
            for (int axis = 0; axis < 3; ++axis) {
                walk.Walk(starts[axis], dirs[axis], bodies, zones, index);
                const TMatrixA3d& p = walk.Points;
                for (size_t k = 0; k + 1 < p.size(); ++k) {
                    const TVector& a = p[k];
                    const TVector& b = p[k + 1];
                    double d = axis == 0   ? std::fabs(b.x - a.x)
                               : axis == 1 ? std::fabs(b.y - a.y)
                                           : std::fabs(b.z - a.z);
                    if (!std::isfinite(d)) continue; // a degenerate crossing adds nothing
                    walk.Zones.Find(k, walk.Hits);
                    for (int32_t z : walk.Hits) out.push_back({z, axis, d * area[axis]});
                }
            }
        }
    });

    // Progress in position order, as one thread would do it.
    for (int slot = 0; slot < count; ++slot) {
        int64_t p = Total > 0 ? (Counter * 100 + Total - 1) / Total : 100;
        if (p > LastPercent) {
            LastPercent = p;
            SetLine0(ProgressLine(p, I, first + slot));
        }
        ++Counter;
        for (const TContribution& c : PerPosition[static_cast<size_t>(slot)])
            Sums[static_cast<size_t>(c.Zone) * 3 + static_cast<size_t>(c.Axis)].Add(c.Value);
    }
}

void TVolumeRun::CompleteLevel() {
    if (KeepSums) {
        // a part cannot judge convergence: it keeps the level's sums and goes on
        Levels.push_back(Sums);
        for (TExactSum& sum : Sums) sum.Clear();
        ++K;
        N = PowerOfTwo(K);
        I = RowBegin();
        J = 0;
        return;
    }
    for (size_t z = 0; z < Volumes.size(); ++z) {
        Volumes[z].X = Sums[z * 3].Value();
        Volumes[z].Y = Sums[z * 3 + 1].Value();
        Volumes[z].Z = Sums[z * 3 + 2].Value();
    }
    for (TExactSum& sum : Sums) sum.Clear();
    LastPercent = Total > 0 ? (Counter * 100 + Total - 1) / Total : 100;
    SetLine0(ProgressLine(LastPercent, N - 1, N - 1));

    bool any = false, levelOk = true, directionOk = true;
    const TAZoneData& zones = *Zones;
    Results.clear();
    Ticks.clear();
    auto inside = [](double v, double lo, double hi) { return v >= lo && v <= hi; };
    for (size_t z = 0; z < Volumes.size(); ++z) {
        TZoneVolume& v = Volumes[z];
        // 0 where the ratio is undefined: no volume yet, or volumes beyond the range of a double
        auto ratio = [](double last, double now) {
            double r = now != 0 ? std::fabs(last) / std::fabs(now) : 0;
            return std::isfinite(r) ? r : 0.0;
        };
        double rx = ratio(v.XLast, v.X), ry = ratio(v.YLast, v.Y), rz = ratio(v.ZLast, v.Z);
        if (v.Selected) {
            any = true;
            if (!inside(rx, Set.RatioMin, Set.RatioMax) ||
                !inside(ry, Set.RatioMin, Set.RatioMax) || !inside(rz, Set.RatioMin, Set.RatioMax))
                levelOk = false;
            double a = (v.X + v.Y + v.Z) / 3;
            if (a == 0) {
                directionOk = false;
            } else if (!inside(v.X / a, Set.AgreeMin, Set.AgreeMax) ||
                       !inside(v.Y / a, Set.AgreeMin, Set.AgreeMax) ||
                       !inside(v.Z / a, Set.AgreeMin, Set.AgreeMax)) {
                directionOk = false;
            }
        }
        Results.push_back(VolumeResultLine(ZoneName(zones, z), v.X,
                                           v.Y, v.Z, rx, ry, rz));
        Ticks.push_back(v.Selected);
        v.XLast = v.X;
        v.YLast = v.Y;
        v.ZLast = v.Z;
        v.X = v.Y = v.Z = 0;
    }
    ++ResRev;
    if (any && levelOk && directionOk) {
        AddLine("Calculation Finished");
        Active = false;
        Done = true;
        return;
    }
    ++K;
    N = PowerOfTwo(K);
    I = RowBegin();
    J = 0;
}
