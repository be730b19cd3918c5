// Track points of the loaded histories and the filters that pick what is drawn.
// GL-free: the selection hands the renderer points and segments with their styles.
#pragma once

#include "input/DisplaySettings.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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

// All track points in file order.
using TTracks = std::vector<TrackPoint>;

// Bytes the track list holds in memory.
inline size_t TrackMemoryBytes(const TTracks& tracks) {
    return tracks.capacity() * sizeof(TrackPoint);
}

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
