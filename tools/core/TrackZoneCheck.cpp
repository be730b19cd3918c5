#include "TrackZoneCheck.h"

#include "CheckRay.h"
#include "geometry/Lattice.h"
#include "SliceCore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

int PrintedDigits(double v) {
    if (v == 0 || !std::isfinite(v)) return 1;
    char buf[40];
    for (int p = 1; p < 17; ++p) {
        std::snprintf(buf, sizeof buf, "%.*e", p - 1, v);
        if (std::strtod(buf, nullptr) == v) return p;
    }
    return 17;
}

int TrackDigits(const TTracks& tracks) {
    // One printing format serves a whole file; a sample is enough to find it.
    constexpr size_t Sample = 4096;
    const size_t n = tracks.size();
    const size_t step = std::max<size_t>(1, n / Sample);
    int digits = 1;
    for (size_t i = 0; i < n; i += step) {
        const TrackPoint& p = tracks[i];
        digits = std::max({digits, PrintedDigits(p.X), PrintedDigits(p.Y), PrintedDigits(p.Z)});
    }
    return digits;
}

double RoundingError(const TVector& p, int digits) {
    double sum = 0;
    for (double v : {p.x, p.y, p.z}) {
        if (v == 0 || !std::isfinite(v)) continue;
        double unit = std::pow(10.0, std::floor(std::log10(std::fabs(v))) - (digits - 1));
        sum += 0.25 * unit * unit;
    }
    return std::sqrt(sum);
}

namespace {

TVector Unit(const TVector& d) {
    double l = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (!(l > 0) || !std::isfinite(l)) return {0, 0, 0};
    return {d.x / l, d.y / l, d.z / l};
}

// The 26 directions to the neighbours of a cube cell, normalised.
const std::vector<TVector>& AroundDirections() {
    static const std::vector<TVector> dirs = [] {
        std::vector<TVector> d;
        for (int a = -1; a <= 1; ++a)
            for (int b = -1; b <= 1; ++b)
                for (int c = -1; c <= 1; ++c)
                    if (a || b || c) d.push_back(Unit({double(a), double(b), double(c)}));
        return d;
    }();
    return dirs;
}

// Whether the zone comes within t of p: probes at t/4, t/2 and t along the track's directions
// first (where a step's end point meets its boundary), then around the point.
template <class TContains>
bool NearZone(TContains&& contains, const TVector& p, double t, const TVector& in,
              const TVector& out) {
    const double f[3] = {0.25, 0.5, 1.0};
    auto probe = [&](const TVector& d) {
        if (d.x == 0 && d.y == 0 && d.z == 0) return false;
        for (double k : f)
            if (contains(p.x + k * t * d.x, p.y + k * t * d.y, p.z + k * t * d.z))
                return true;
        return false;
    };
    for (const TVector& d : {in, out})
        if (probe(d) || probe({-d.x, -d.y, -d.z})) return true;
    for (const TVector& d : AroundDirections())
        if (probe(d)) return true;
    return false;
}

} // namespace

TTrackZoneResult CheckTrackZones(const TAGeoData& bodies, const TAZoneData& zones,
                                 const TZoneIndex& index, const TTracks& tracks,
                                 const TTrackZoneOptions& options) {
    TTrackZoneResult result;
    const size_t n = tracks.size();
    result.Points = static_cast<int64_t>(n);
    const int digits = TrackDigits(tracks);
    result.Digits = digits;

    // Track and point numbers in one sequential pass: a track is a run of points of one
    // history closed by a track end.
    std::vector<int32_t> trackNo(n), pointNo(n);
    std::vector<uint8_t> hasPrev(n), hasNext(n);
    int32_t track = 0, point = 0;
    for (size_t i = 0; i < n; ++i) {
        const TrackPoint& p = tracks[i];
        bool newHistory = i == 0 || tracks[i - 1].HistoryNo != p.HistoryNo;
        bool newTrack = newHistory || tracks[i - 1].TrackEnd == -1;
        if (newHistory) track = 0;
        if (newTrack) ++track, point = 0;
        trackNo[i] = track;
        pointNo[i] = ++point;
        hasPrev[i] = !newTrack;
        if (!newTrack) hasNext[i - 1] = 1;
    }

    // A coordinate printed as exactly 0 carries no rounding error, yet the point may lie on a
    // boundary through the origin: the probes always reach a little way, relative to the scene.
    const std::array<double, 6> box = SceneBox(bodies, zones, 1);
    const double floor = 1e-9 * std::max({box[1] - box[0], box[3] - box[2], box[5] - box[4]});

    std::vector<uint8_t> bad(n, 0);
    ParallelSlices(static_cast<int>(std::min<size_t>(n, INT32_MAX)), options.Threads, 256,
                   [&](int begin, int end, int) {
                       thread_local TMatrixAi hits;
                       for (int k = begin; k < end; ++k) {
                           const size_t i = static_cast<size_t>(k);
                           const TrackPoint& p = tracks[i];
                           FindZone(bodies, zones, index, hits, p.X, p.Y, p.Z);
                           const int32_t want = p.Zone - 1;
                           if (std::find(hits.begin(), hits.end(), want) != hits.end()) continue;
                           if (want < 0 || static_cast<size_t>(want) >= ZoneCount(zones)) {
                               bad[i] = 1;
                               continue;
                           }
                           TVector at{p.X, p.Y, p.Z}, in{0, 0, 0}, out{0, 0, 0};
                           if (hasPrev[i]) {
                               const TrackPoint& q = tracks[i - 1];
                               in = Unit({p.X - q.X, p.Y - q.Y, p.Z - q.Z});
                           }
                           if (hasNext[i]) {
                               const TrackPoint& q = tracks[i + 1];
                               out = Unit({q.X - p.X, q.Y - p.Y, q.Z - p.Z});
                           }
                           double t = options.Tolerance > 0
                                          ? options.Tolerance
                                          : std::max(2 * RoundingError(at, digits), floor);
                           const size_t zone = static_cast<size_t>(want);
                           auto contains = [&](double x, double y, double z) {
                               if (!zones.Lattice)
                                   return ZoneContains(bodies, zones[zone], x, y, z);
                               const std::array<double, 6> c = zones.Lattice->CellBox(zone);
                               return c[0] <= x && x <= c[1] && c[2] <= y && y <= c[3] &&
                                      c[4] <= z && z <= c[5];
                           };
                           if (!(t > 0) || !std::isfinite(t) || !NearZone(contains, at, t, in, out))
                               bad[i] = 1;
                       }
                   });

    TMatrixAi hits;
    for (size_t i = 0; i < n; ++i) {
        if (!bad[i]) continue;
        ++result.Mismatches;
        if (result.Kept.size() >= options.MaxKept) continue;
        const TrackPoint& p = tracks[i];
        TTrackZoneMismatch m;
        m.Point = i;
        m.History = p.HistoryNo;
        m.Track = trackNo[i];
        m.Index = pointNo[i];
        m.At = {p.X, p.Y, p.Z};
        m.Recorded = p.Zone;
        FindZone(bodies, zones, index, hits, p.X, p.Y, p.Z);
        m.Found.assign(hits.begin(), hits.end());
        result.Kept.push_back(std::move(m));
    }
    return result;
}

std::string TrackZoneMismatchLine(const TTrackZoneMismatch& m, const TAZoneData& zones) {
    std::string recorded =
        m.Recorded >= 1 && static_cast<size_t>(m.Recorded) <= ZoneCount(zones)
            ? ZoneName(zones, static_cast<size_t>(m.Recorded - 1))
            : "#" + std::to_string(m.Recorded) + "(no such zone)";
    return "history " + std::to_string(m.History) + " track " + std::to_string(m.Track) +
           " point " + std::to_string(m.Index) + ": " + ShortNumber(m.At.x) + " " +
           ShortNumber(m.At.y) + " " + ShortNumber(m.At.z) + " recorded " + recorded + " found " +
           ZoneNamesText(zones, m.Found);
}
