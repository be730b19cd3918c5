#include "input/Tracks.h"

#include <algorithm>
#include <cmath>
#include <limits>

int32_t HistMax(const TTracks& tracks) {
    return tracks.HistMax();
}

void TrackEnergyRange(const TTracks& tracks, double& low, double& high) {
    low = high = 0;
    for (const TrackPoint& p : tracks) {
        if (!(p.Energy > 0) || !std::isfinite(p.Energy)) continue;
        if (low == 0 || p.Energy < low) low = p.Energy;
        high = std::max(high, p.Energy);
    }
}

TColor EnergyColor(double energy, double low, double high) {
    double t = 0.5;
    if (low > 0 && high > low) {
        const double e = std::clamp(energy > 0 ? energy : low, low, high);
        t = std::log(e / low) / std::log(high / low);
    }
    // blue, cyan, green, yellow, red at t = 0, 1/4, 1/2, 3/4, 1
    static const double stops[5][3] = {{0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    const double x = std::clamp(t, 0.0, 1.0) * 4;
    const int i = std::min(3, static_cast<int>(x));
    const double f = x - i;
    TColor c = 0;
    for (int k = 0; k < 3; ++k) {
        const double v = stops[i][k] + (stops[i + 1][k] - stops[i][k]) * f;
        c |= static_cast<TColor>(std::lround(v * 255)) << (8 * k);
    }
    return c;
}

namespace {

const TParticleStyle* StyleFor(const TDisplaySettings& s, int32_t kind) {
    int i = ParticleIndex(kind);
    return i < 0 ? nullptr : &s.ParticleStyles[static_cast<size_t>(i)];
}

bool InEnergyRange(const TParticleStyle& s, double e) {
    return !(e < s.EgyRangeS || e > s.EgyRangeE);
}

int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

std::string RangeText(int64_t from, int64_t to) {
    return " Histroy Range :" + std::to_string(from) + "-" + std::to_string(to);
}

} // namespace

void SelectTracks(const TTracks& tracks, const TDisplaySettings& s,
                  const std::function<void(const TTrackPiece&)>& emit) {
    const int64_t histMax = HistMax(tracks);
    // 64 bits: a large LastHistCount must not wrap the lower bound
    const int64_t lastFrom = histMax - static_cast<int64_t>(s.LastHistCount) + 1;
    const bool timeWindow = s.AnimActive && s.HasTime;
    const size_t n = tracks.size();
    // each point decoded once: the next point of a segment is the following step's point
    TTracks::const_iterator it = tracks.begin();
    TrackPoint next = n ? *it : TrackPoint();
    for (size_t i = 0; i < n; ++i) {
        const TrackPoint p = next;
        if (i + 1 < n) next = *++it;
        if (s.HistRangeOn && (p.HistoryNo < s.HistFrom || p.HistoryNo > s.HistTo)) continue;
        if (s.LatchOn && p.Latch < 0) continue;
        if (s.LastHistOn && p.HistoryNo < lastFrom) continue;
        const TParticleStyle* st = StyleFor(s, p.Kind);
        if (!st || !st->OnOff) continue;
        TTrackPiece piece;
        piece.Color = s.ColorByEnergy ? EnergyColor(p.Energy, s.EnergyLow, s.EnergyHigh) : st->Color;
        piece.Kind = p.Kind;
        piece.Index = i;
        if (p.TrackEnd == -1) {
            if (st->EgyRange && !InEnergyRange(*st, p.Energy)) continue;
            if (timeWindow && (p.Time < s.WinStart || p.Time > s.WinEnd)) continue;
            piece.IsPoint = true;
            piece.A = piece.B = TVector{p.X, p.Y, p.Z};
            emit(piece);
            continue;
        }
        if (i + 1 >= n) continue;
        const TrackPoint& q = next;
        if (st->EgyRange) {
            // the next point is held to the range of its own kind, even with that range off
            const TParticleStyle* sq = StyleFor(s, q.Kind);
            if (!InEnergyRange(*st, p.Energy) || !sq || !InEnergyRange(*sq, q.Energy)) continue;
        }
        TVector a{p.X, p.Y, p.Z}, b{q.X, q.Y, q.Z};
        if (timeWindow) {
            if (p.Time > s.WinEnd || q.Time < s.WinStart) continue;
            const TVector d = b - a;
            const double dt = q.Time - p.Time;
            TVector a0 = a;
            if (s.WinStart > p.Time && dt != 0.0) a = a0 + d * ((s.WinStart - p.Time) / dt);
            if (s.WinEnd < q.Time && dt != 0.0) b = a0 + d * ((s.WinEnd - p.Time) / dt);
        }
        piece.A = a;
        piece.B = b;
        piece.LineKind = st->LineKind;
        piece.Width = static_cast<float>(st->LineWidth * p.Weight);
        emit(piece);
    }
}

std::vector<TTrackPiece> SelectTracks(const TTracks& tracks, const TDisplaySettings& settings) {
    std::vector<TTrackPiece> out;
    SelectTracks(tracks, settings, [&out](const TTrackPiece& p) { out.push_back(p); });
    return out;
}

std::string RangeLabelText(const TTracks& tracks, const TDisplaySettings& s) {
    if (tracks.empty()) return RangeText(0, 0);
    const int64_t m = HistMax(tracks);
    if (s.LastHistOn) return RangeText(m - static_cast<int64_t>(s.LastHistCount) + 1, m);
    if (s.HistRangeOn) return RangeText(s.HistFrom, s.HistTo);
    return " Histroy Range :1-" + std::to_string(m);
}

std::string HistRangeUp(TDisplaySettings& s, int32_t histMax) {
    int64_t from = int64_t{s.HistFrom} + s.HistStep, to = int64_t{s.HistTo} + s.HistStep;
    if (from > int64_t{histMax} - s.HistStep + 1) from = int64_t{histMax} - s.HistStep + 1;
    if (to > histMax) to = histMax;
    s.HistFrom = Clamp32(from);
    s.HistTo = Clamp32(to);
    return RangeText(s.HistFrom, s.HistTo);
}

std::string HistRangeDown(TDisplaySettings& s, int32_t /*histMax*/) {
    int64_t from = int64_t{s.HistFrom} - s.HistStep, to = int64_t{s.HistTo} - s.HistStep;
    if (from < 1) from = 1;
    if (to < s.HistStep) to = s.HistStep;
    s.HistFrom = Clamp32(from);
    s.HistTo = Clamp32(to);
    return RangeText(s.HistFrom, s.HistTo);
}

int LegendPanelWidth(const std::string& labelText) {
    const size_t len = labelText.size();
    return len > 24 ? static_cast<int>(6 * len + 22) : 166;
}

void ResetHistRange(TDisplaySettings& s, int32_t histMax) {
    if (histMax > 0) {
        s.HistFrom = 1;
        s.HistTo = histMax;
    } else {
        s.HistFrom = 0;
        s.HistTo = 0;
    }
}
