// Columns of the track list (TTracks) and the runs of its history numbers and latches.
#include "input/Tracks.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

// ---- Runs ---------------------------------------------------------------------------------

int32_t TRunColumn::Get(size_t i) const {
    // the last run starting at or before i
    auto it = std::upper_bound(Runs.begin(), Runs.end(), i,
                               [](size_t v, const TRun& r) { return v < r.Start; });
    return it == Runs.begin() ? 0 : std::prev(it)->Value;
}

void TRunColumn::Append(int32_t value, size_t index) {
    if (Runs.empty() || Runs.back().Value != value) Runs.push_back({index, value});
}

void TRunColumn::Set(size_t from, size_t to, int32_t value, size_t count) {
    if (from >= to) return;
    if (to == count) {
        // the last points (a history's latch): only runs at the end change
        while (!Runs.empty() && Runs.back().Start >= from) Runs.pop_back();
        Append(value, from);
        return;
    }
    const int32_t after = to < count ? Get(to) : value;
    std::vector<TRun> out;
    out.reserve(Runs.size() + 2);
    auto add = [&out](size_t start, int32_t v) {
        if (!out.empty() && out.back().Start == start) out.pop_back();
        if (out.empty() || out.back().Value != v) out.push_back({start, v});
    };
    for (const TRun& r : Runs)
        if (r.Start < from) add(r.Start, r.Value);
    add(from, value);
    if (to < count) add(to, after);
    for (const TRun& r : Runs)
        if (r.Start > to) add(r.Start, r.Value);
    Runs.swap(out);
}

int32_t TRunColumn::Max(int32_t none) const {
    if (Runs.empty()) return none;
    int32_t m = Runs.front().Value;
    for (const TRun& r : Runs) m = std::max(m, r.Value);
    return m;
}

// ---- Track points -------------------------------------------------------------------------

namespace {
// Time 0 stays exactly 0 whatever the block's time origin: a NaN of its own marks it.
constexpr uint32_t ZeroTimeBits = 0x7FC0'0001u;
float ZeroTime() {
    return std::bit_cast<float>(ZeroTimeBits);
}
bool IsZeroTime(float t) {
    return std::bit_cast<uint32_t>(t) == ZeroTimeBits;
}
} // namespace

TTracks::TTracks(std::initializer_list<TrackPoint> points) {
    for (const TrackPoint& p : points) push_back(p);
}

TTracks::TTracks(size_t count) {
    for (size_t i = 0; i < count; ++i) push_back(TrackPoint());
}

namespace {
bool SamePoint(const TrackPoint& a, const TrackPoint& b) {
    auto same = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return a.HistoryNo == b.HistoryNo && a.Kind == b.Kind && same(a.X, b.X) && same(a.Y, b.Y) &&
           same(a.Z, b.Z) && same(a.Energy, b.Energy) && a.Zone == b.Zone &&
           same(a.Weight, b.Weight) && same(a.Time, b.Time) && a.Latch == b.Latch &&
           a.TrackEnd == b.TrackEnd;
}
} // namespace

TTracks::TPointRef::TPointRef(TTracks& tracks, size_t i)
    : P(std::as_const(tracks)[i]), Was(P), Owner(&tracks), Index(i) {}

TTracks::TPointRef::~TPointRef() {
    if (!SamePoint(P, Was)) Owner->Set(Index, P);
}

void TTracks::clear() {
    std::vector<TBlock>().swap(Blocks);
    Count = 0;
    History.Clear();
    Latches.Clear();
    OddKinds.clear();
    OddEnds.clear();
}

size_t TTracks::BlockBytes(bool withTime) {
    return BlockSize * ((withTime ? 1 : 0) * sizeof(float) + 4 * sizeof(double) + sizeof(int32_t) +
                        2 * sizeof(int8_t));
}

size_t TTracks::MemoryBytes() const {
    size_t bytes = Blocks.capacity() * sizeof(TBlock) + History.MemoryBytes() +
                   Latches.MemoryBytes() +
                   (OddKinds.capacity() + OddEnds.capacity()) * sizeof(std::pair<size_t, int32_t>);
    for (const TBlock& b : Blocks)
        bytes += (b.Weight.capacity() + b.Time.capacity()) * sizeof(float) +
                 (b.X.capacity() + b.Y.capacity() + b.Z.capacity() + b.Energy.capacity()) *
                     sizeof(double) +
                 b.Zone.capacity() * sizeof(int32_t) + b.Kind.capacity() + b.End.capacity();
    return bytes;
}

int32_t TTracks::Odd(const std::vector<std::pair<size_t, int32_t>>& odd, size_t i) const {
    auto it = std::lower_bound(odd.begin(), odd.end(), std::make_pair(i, INT32_MIN));
    return it != odd.end() && it->first == i ? it->second : 0;
}

void TTracks::SetOdd(std::vector<std::pair<size_t, int32_t>>& odd, size_t i, int32_t v,
                     int8_t small) {
    auto it = std::lower_bound(odd.begin(), odd.end(), std::make_pair(i, INT32_MIN));
    const bool there = it != odd.end() && it->first == i;
    if (small != Outlier) {
        if (there) odd.erase(it);
    } else if (there) {
        it->second = v;
    } else {
        odd.insert(it, {i, v});
    }
}

void TTracks::Store(TBlock& b, size_t k, size_t i, const TrackPoint& p) {
    b.X[k] = p.X;
    b.Y[k] = p.Y;
    b.Z[k] = p.Z;
    b.Energy[k] = p.Energy;
    if (p.Weight != 1.0 && b.Weight.empty()) b.Weight.assign(BlockSize, 1.0f);
    if (!b.Weight.empty()) b.Weight[k] = static_cast<float>(p.Weight);
    if (p.Time != 0.0 && b.Time.empty()) {
        if (std::isfinite(p.Time)) b.TimeOrigin = p.Time;
        b.Time.assign(BlockSize, ZeroTime()); // the points before this one
    }
    if (!b.Time.empty())
        b.Time[k] = p.Time == 0.0 ? ZeroTime() : static_cast<float>(p.Time - b.TimeOrigin);
    b.Zone[k] = p.Zone;
    b.Kind[k] = Small(p.Kind);
    b.End[k] = Small(p.TrackEnd);
    SetOdd(OddKinds, i, p.Kind, b.Kind[k]);
    SetOdd(OddEnds, i, p.TrackEnd, b.End[k]);
}

void TTracks::push_back(const TrackPoint& p) {
    const size_t k = Count & (BlockSize - 1);
    if (k == 0) {
        TBlock b;
        for (std::vector<double>* v : {&b.X, &b.Y, &b.Z, &b.Energy}) v->resize(BlockSize);
        b.Zone.resize(BlockSize);
        b.Kind.resize(BlockSize);
        b.End.resize(BlockSize);
        Blocks.push_back(std::move(b));
    }
    Store(Blocks.back(), k, Count, p);
    History.Append(p.HistoryNo, Count);
    Latches.Append(p.Latch, Count);
    ++Count;
}

void TTracks::Set(size_t i, const TrackPoint& p) {
    Store(Blocks[i >> BlockShift], i & (BlockSize - 1), i, p);
    History.Set(i, i + 1, p.HistoryNo, Count);
    Latches.Set(i, i + 1, p.Latch, Count);
}

void TTracks::SetTrackEnd(size_t i, int32_t end) {
    int8_t& e = Blocks[i >> BlockShift].End[i & (BlockSize - 1)];
    e = Small(end);
    SetOdd(OddEnds, i, end, e);
}

void TTracks::SetLatch(size_t from, size_t to, int32_t latch) {
    Latches.Set(from, std::min(to, Count), latch, Count);
}

TrackPoint TTracks::Decode(size_t i, size_t histRun, size_t latchRun) const {
    const TBlock& b = Blocks[i >> BlockShift];
    const size_t k = i & (BlockSize - 1);
    TrackPoint p;
    p.HistoryNo = History.Runs.empty() ? 0 : History.Runs[histRun].Value;
    p.Latch = Latches.Runs.empty() ? 0 : Latches.Runs[latchRun].Value;
    p.Kind = b.Kind[k] == Outlier ? Odd(OddKinds, i) : b.Kind[k];
    p.TrackEnd = b.End[k] == Outlier ? Odd(OddEnds, i) : b.End[k];
    p.X = b.X[k];
    p.Y = b.Y[k];
    p.Z = b.Z[k];
    p.Energy = b.Energy[k];
    p.Zone = b.Zone[k];
    p.Weight = b.Weight.empty() ? 1.0 : b.Weight[k];
    p.Time = b.Time.empty() || IsZeroTime(b.Time[k]) ? 0.0
                                                     : b.TimeOrigin + static_cast<double>(b.Time[k]);
    return p;
}

namespace {
// Position of the run holding point i.
size_t RunOf(const TRunColumn& c, size_t i) {
    auto it = std::upper_bound(c.Runs.begin(), c.Runs.end(), i,
                               [](size_t v, const TRunColumn::TRun& r) { return v < r.Start; });
    return it == c.Runs.begin() ? 0 : static_cast<size_t>(it - c.Runs.begin()) - 1;
}
} // namespace

TrackPoint TTracks::operator[](size_t i) const {
    return Decode(i, RunOf(History, i), RunOf(Latches, i));
}

TTracks::const_iterator TTracks::begin() const {
    const_iterator it;
    it.Tracks = this;
    return it;
}

TTracks::const_iterator TTracks::end() const {
    const_iterator it;
    it.Tracks = this;
    it.Index = Count;
    return it;
}

TTracks::const_iterator& TTracks::const_iterator::operator++() {
    ++Index;
    const auto& h = Tracks->History.Runs;
    while (HistRun + 1 < h.size() && h[HistRun + 1].Start <= Index) ++HistRun;
    const auto& l = Tracks->Latches.Runs;
    while (LatchRun + 1 < l.size() && l[LatchRun + 1].Start <= Index) ++LatchRun;
    return *this;
}
