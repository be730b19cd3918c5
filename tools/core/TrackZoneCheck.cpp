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

// Whether the zone holds a point of the segment from p along the unit direction d up to t.
// The zone can change only where the segment crosses one of its bodies: between two such
// crossings it holds either everywhere or nowhere, so one test in every piece decides, and a
// shell however thin is met. A longer segment has every piece of a shorter one.
bool ZoneAlong(const TAGeoData& bodies, const TZoneData& zone,
               const std::vector<int32_t>& zoneBodies, const TVector& p, const TVector& d,
               double t) {
    if (d.x == 0 && d.y == 0 && d.z == 0) return false;
    thread_local TMatrixA3d points;
    thread_local TMatrixAi codes;
    thread_local std::vector<double> cuts;
    points.clear();
    codes.clear();
    for (int32_t b : zoneBodies)
        RayBodyIntersections(p, d, bodies[static_cast<size_t>(b)], points, codes);
    cuts.assign(1, 0.0);
    for (const TVector& q : points) {
        double s = (q.x - p.x) * d.x + (q.y - p.y) * d.y + (q.z - p.z) * d.z;
        if (s > 0 && s < t) cuts.push_back(s);
    }
    cuts.push_back(t);
    std::sort(cuts.begin(), cuts.end());
    for (size_t k = 0; k + 1 < cuts.size(); ++k) {
        if (!(cuts[k + 1] > cuts[k])) continue;
        const double s = (cuts[k] + cuts[k + 1]) / 2;
        if (ZoneContains(bodies, zone, p.x + s * d.x, p.y + s * d.y, p.z + s * d.z)) return true;
    }
    // the far end: a zone touching the segment only there is still within t
    return ZoneContains(bodies, zone, p.x + t * d.x, p.y + t * d.y, p.z + t * d.z);
}

// The positions of the bodies a zone names, each once.
void ZoneBodies(const TAGeoData& bodies, const TZoneData& zone, std::vector<int32_t>& out) {
    out.clear();
    for (const TMatrixAi& group : zone.BodyIndex)
        for (int32_t b : group)
            if (b >= 0 && static_cast<size_t>(b) < bodies.size()) out.push_back(b);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

// Whether the zone comes within t of p: searched along the track's directions first (where a
// step's end point meets its boundary), then along the 26 directions around the point.
bool NearZone(const TAGeoData& bodies, const TZoneData& zone, const TVector& p, double t,
              const TVector& in, const TVector& out) {
    thread_local std::vector<int32_t> zoneBodies;
    ZoneBodies(bodies, zone, zoneBodies);
    auto along = [&](const TVector& d) { return ZoneAlong(bodies, zone, zoneBodies, p, d, t); };
    for (const TVector& d : {in, out})
        if (along(d) || along({-d.x, -d.y, -d.z})) return true;
    for (const TVector& d : AroundDirections())
        if (along(d)) return true;
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
                           if (!(t > 0) || !std::isfinite(t)) {
                               bad[i] = 1;
                           } else if (zones.Lattice) {
                               // the cell as the RPP body and the zone it stands for
                               thread_local TAGeoData cell(1);
                               thread_local TZoneData zone{"", 0, {{0}}, {{1}}, {'O'}};
                               cell[0].Symbol = "RPP";
                               cell[0].Number = p.Zone;
                               const std::array<double, 6> c =
                                   zones.Lattice->CellBox(static_cast<size_t>(want));
                               std::copy(c.begin(), c.end(), cell[0].Params.begin());
                               if (!NearZone(cell, zone, at, t, in, out)) bad[i] = 1;
                           } else if (!NearZone(bodies, zones[static_cast<size_t>(want)], at, t,
                                                in, out)) {
                               bad[i] = 1;
                           }
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
