// Track points of the loaded histories and the filters that pick what is drawn.
// GL-free: the selection hands the renderer points and segments with their styles.
#pragma once

#include "input/DisplaySettings.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

struct TrackPoint {
    int32_t HistoryNo = 0;
    int32_t Kind = 0; // 4 photon, 5 electron, 6 positron
    double X = 0.0, Y = 0.0, Z = 0.0;
    double Energy = 0.0;
    int32_t Zone = 0; // as given in the file, not interpreted
    double Weight = 1.0;
    double Time = 0.0;
    int32_t Latch = 0;    // value of the history's closing "9" record
    int32_t TrackEnd = 0; // -1 when the track ends at this point
};

// Values of a column that change seldom (history number, latch): runs of equal values.
class TRunColumn {
  public:
    int32_t Get(size_t i) const;
    void Append(int32_t value, size_t index); // the value of point `index` (= the count so far)
    void Set(size_t from, size_t to, int32_t value, size_t count); // points [from, to)
    void Clear() { std::vector<TRun>().swap(Runs); }
    size_t MemoryBytes() const { return Runs.capacity() * sizeof(TRun); }
    // Largest value of points [0, count); `none` when count is 0.
    int32_t Max(int32_t none) const;

    struct TRun {
        size_t Start;
        int32_t Value;
    };
    std::vector<TRun> Runs; // by Start, the first at 0; equal neighbours joined
};

// All track points in file order, held in columns: positions and energy in double precision
// (a point's zone is judged from its exact position), time in single precision relative to
// the block's first time and only where a file has times (0 stays exactly 0), weight in single
// precision and only where a block has a weight other than 1, kind and track end in a byte
// each, zone as given, history number and latch as runs. About 38 bytes a point (42 with
// times) instead of 72. Read through operator[] (a TrackPoint by value) or the iterator.
class TTracks {
  public:
    TTracks() = default;
    TTracks(std::initializer_list<TrackPoint> points);
    explicit TTracks(size_t count); // count default points

    // A point to change in place, field by field or whole (tracks[i].Zone = 9;
    // tracks[i] = point;): a copy whose changes are stored when it goes out of scope.
    class TPointRef {
      public:
        template <class T> class TField {
          public:
            explicit TField(T* v) : V(v) {}
            TField(const TField&) = delete;
            TField& operator=(T v) {
                *V = v;
                return *this;
            }
            TField& operator=(const TField& o) { return *this = T(o); }
            operator T() const { return *V; }

          private:
            T* V;
        };
        TPointRef(TTracks& tracks, size_t i);
        ~TPointRef();
        TPointRef(const TPointRef&) = delete;
        TPointRef& operator=(const TPointRef&) = delete;
        TPointRef& operator=(const TrackPoint& p) {
            P = p;
            return *this;
        }
        operator TrackPoint() const { return P; }

      private:
        TrackPoint P, Was;
        TTracks* Owner;
        size_t Index;

      public:
        TField<int32_t> HistoryNo{&P.HistoryNo}, Kind{&P.Kind};
        TField<double> X{&P.X}, Y{&P.Y}, Z{&P.Z}, Energy{&P.Energy};
        TField<int32_t> Zone{&P.Zone};
        TField<double> Weight{&P.Weight}, Time{&P.Time};
        TField<int32_t> Latch{&P.Latch}, TrackEnd{&P.TrackEnd};
    };

    size_t size() const { return Count; }
    bool empty() const { return Count == 0; }
    void clear();
    void reserve(size_t) {} // blocks are added as points come: nothing is ever copied
    void push_back(const TrackPoint& p);
    TrackPoint operator[](size_t i) const;
    TPointRef operator[](size_t i) { return TPointRef(*this, i); }
    TrackPoint front() const { return (*this)[0]; }
    TrackPoint back() const { return (*this)[Count - 1]; }

    // Replaces point i.
    void Set(size_t i, const TrackPoint& p);
    // Point i's TrackEnd; the latch of points [from, to).
    void SetTrackEnd(size_t i, int32_t end);
    void SetLatch(size_t from, size_t to, int32_t latch);

    int32_t HistoryNo(size_t i) const { return History.Get(i); }
    int32_t Latch(size_t i) const { return Latches.Get(i); }
    // Largest HistoryNo, -1 when there are no points.
    int32_t HistMax() const { return History.Max(-1); }

    // The next point starts a new block.
    bool NextNeedsBlock() const { return (Count & (BlockSize - 1)) == 0; }
    // Bytes held in memory; bytes a new block of points takes.
    size_t MemoryBytes() const;
    static size_t BlockBytes(bool withTime);

    class const_iterator {
      public:
        using value_type = TrackPoint;
        using difference_type = std::ptrdiff_t;
        TrackPoint operator*() const { return Tracks->Decode(Index, HistRun, LatchRun); }
        const_iterator& operator++();
        bool operator==(const const_iterator& o) const { return Index == o.Index; }
        bool operator!=(const const_iterator& o) const { return Index != o.Index; }
        size_t Position() const { return Index; }

      private:
        friend class TTracks;
        const TTracks* Tracks = nullptr;
        size_t Index = 0;
        size_t HistRun = 0, LatchRun = 0; // runs holding point Index
    };
    const_iterator begin() const;
    const_iterator end() const;

  private:
    static constexpr size_t BlockShift = 16, BlockSize = size_t{1} << BlockShift;
    static constexpr int8_t Outlier = INT8_MIN; // the value is in OddValues
    struct TBlock {
        double TimeOrigin = 0; // of the first point with a time other than 0
        std::vector<double> X, Y, Z, Energy;
        std::vector<float> Time;   // relative to TimeOrigin; empty while every time is 0
        std::vector<float> Weight; // empty while every weight is 1
        std::vector<int32_t> Zone;
        std::vector<int8_t> Kind, End;
    };
    static int8_t Small(int32_t v) { return v > INT8_MIN && v <= INT8_MAX ? static_cast<int8_t>(v) : Outlier; }
    int32_t Odd(const std::vector<std::pair<size_t, int32_t>>& odd, size_t i) const;
    void SetOdd(std::vector<std::pair<size_t, int32_t>>& odd, size_t i, int32_t v, int8_t small);
    void Store(TBlock& b, size_t k, size_t i, const TrackPoint& p);
    TrackPoint Decode(size_t i, size_t histRun, size_t latchRun) const;

    std::vector<TBlock> Blocks;
    size_t Count = 0;
    TRunColumn History, Latches;
    // Kinds and track ends beyond a byte, by point (rare: the reader gives 4 to 6 and 0, -1)
    std::vector<std::pair<size_t, int32_t>> OddKinds, OddEnds;
};

// Largest HistoryNo (negative numbers included), -1 when there are no points.
int32_t HistMax(const TTracks& tracks);

// Smallest and largest positive energy of the points; 0 and 0 when there is none.
void TrackEnergyRange(const TTracks& tracks, double& low, double& high);

// Colour of an energy on the logarithmic map from low (blue) over cyan, green and yellow to
// high (red); energies outside the range take the colour of its nearer end, and a range
// without width gives the middle colour.
TColor EnergyColor(double energy, double low, double high);

// One thing to draw: a single point (track end) or a segment from A to B.
struct TTrackPiece {
    bool IsPoint = false;
    TVector A; // the point, or the segment start (clipped to the time window)
    TVector B; // segment end (clipped); equal to A for a point
    TColor Color = 0;
    int32_t LineKind = 0; // segments only
    float Width = 1.0f;   // segments only: style width times the start point's weight
    int32_t Kind = 0;     // particle kind of the point that starts the piece
    size_t Index = 0;     // position of that point in the track list
};

// Calls emit for every point and segment the filters let through, in list order.
void SelectTracks(const TTracks& tracks, const TDisplaySettings& settings,
                  const std::function<void(const TTrackPiece&)>& emit);

// Same selection collected into a list.
std::vector<TTrackPiece> SelectTracks(const TTracks& tracks, const TDisplaySettings& settings);

// Caption of the legend's range label, e.g. " Histroy Range :3-5".
std::string RangeLabelText(const TTracks& tracks, const TDisplaySettings& settings);

// The up/down range buttons are shown exactly while a range is specified.
inline bool RangeButtonsVisible(const TDisplaySettings& settings) {
    return settings.HistRangeOn;
}

// Up/down stepping of the specified history range; both return the new label text.
std::string HistRangeUp(TDisplaySettings& settings, int32_t histMax);
std::string HistRangeDown(TDisplaySettings& settings, int32_t histMax);

// Legend panel width in pixels for a given range label text.
int LegendPanelWidth(const std::string& labelText);

// Resets the display range after a load: 1 to HistMax, or 0 to 0 when HistMax < 1.
void ResetHistRange(TDisplaySettings& settings, int32_t histMax);
