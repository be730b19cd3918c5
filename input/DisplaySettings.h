// Display settings shared by the viewer, the settings file, the settings dialog and the
// track selection. Plain data: every member starts at its program-start default.
#pragma once

#include "geometry/MyCGUnit.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Particle kinds as they appear in the data file.
inline constexpr int32_t KindPhoton = 4;
inline constexpr int32_t KindElectron = 5;
inline constexpr int32_t KindPositron = 6;
inline constexpr int32_t FirstKind = KindPhoton;
inline constexpr int ParticleKindCount = 3;

// Position of a kind in ParticleStyles, -1 for anything but 4, 5, 6.
inline int ParticleIndex(int32_t kind) {
    return (kind >= KindPhoton && kind <= KindPositron) ? kind - FirstKind : -1;
}

// Line kinds: 0 "Solid", 1 "Dot", 2 "DashDot", 3 "DashDotDot".
inline constexpr int LineKindCount = 4;

// Track style of one particle kind.
struct TParticleStyle {
    bool OnOff = true;
    TColor Color = 0; // red in the lowest byte, blue in the highest
    int32_t LineKind = 0;
    int32_t LineWidth = 1;
    bool EgyRange = false;
    double EgyRangeS = 0.0;
    double EgyRangeE = 1e15;
};

inline constexpr TColor DefaultPhotonColor = 0x00FFFF;   // yellow
inline constexpr TColor DefaultElectronColor = 0x0000FF; // red
inline constexpr TColor DefaultPositronColor = 0xFF0000; // blue

// Default style of kind 4, 5 or 6 (photon style for anything else).
inline TParticleStyle DefaultParticleStyle(int32_t kind) {
    TParticleStyle s;
    s.Color = kind == KindElectron   ? DefaultElectronColor
              : kind == KindPositron ? DefaultPositronColor
                                     : DefaultPhotonColor;
    return s;
}

// Cut box as it stands before the first load: an RPP with number 0 and all limits 0.
inline TGeoData DefaultCutBox() {
    TGeoData b;
    b.Symbol = "RPP";
    b.Number = 0;
    return b;
}

struct TDisplaySettings {
    // Geometry drawn by bodies (0), zones (1) or materials (2).
    int32_t ViewInfoType = 0;

    // Per-kind track styles, indexed by ParticleIndex(kind): photon, electron, positron.
    // StyleOf takes a kind 4, 5 or 6 only (the reader admits no other).
    std::array<TParticleStyle, ParticleKindCount> ParticleStyles = {
        DefaultParticleStyle(KindPhoton), DefaultParticleStyle(KindElectron),
        DefaultParticleStyle(KindPositron)};
    TParticleStyle& StyleOf(int32_t kind) { return ParticleStyles[ParticleIndex(kind)]; }
    const TParticleStyle& StyleOf(int32_t kind) const {
        return ParticleStyles[ParticleIndex(kind)];
    }

    // History filters.
    bool HistRangeOn = false;
    int32_t HistFrom = 0;
    int32_t HistTo = 0;
    int32_t HistStep = -1; // HistTo - HistFrom + 1 while a range is specified, else -1
    bool LastHistOn = true;
    int32_t LastHistCount = 1; // never below 1
    bool LatchOn = true;       // hide points whose latch is negative
    bool TimeOn = false;       // enables the animation; filters nothing by itself
    bool AnimActive = false;   // the time window applies only while this is set
    double WinStart = 0.0;
    double WinEnd = 0.0;

    // Tracks coloured by the energy of each piece's start point instead of by kind, on a
    // logarithmic map from EnergyLow to EnergyHigh (the positive energies of the loaded
    // points, set by every load); the kinds keep their line patterns and widths.
    bool ColorByEnergy = false;
    double EnergyLow = 0.0;
    double EnergyHigh = 0.0;

    // Window colours.
    TColor BackColor = 0x000000; // black
    TColor ForeColor = 0xFFFFFF; // white

    // Enlarged drawing copies of the bodies and geometry outlines.
    double ReviseRate = 1e-6;
    double ReviseValue = 0.005;
    double GeoWidth = 1.0;

    // Axes. Every load overwrites these from the scene size.
    double AxisLength = 0.0;
    double DivSpace = 1.0;
    double DivSize = 0.25;
    double AllowSize = 1.0;
    double StrSize = 1.0;
    int32_t StrSpace = 5;
    std::string Units = "cm";

    // Delete-part box; every load turns cutting off and resets the box.
    bool CutOn = false;
    TGeoData CutBox = DefaultCutBox();

    // Legend, title and memo texts of the main window.
    bool LegendOn = false; // the legend panel starts hidden
    bool TitleOn = false;
    bool MemoOn = false;
    std::string TitleText = "Title";
    std::string MemoText = "Memo";

    std::string BrowserName = "/usr/bin/mozilla";
    int32_t WaitTime = 1000; // pause between animation steps, ms

    // Largest history number read from a data file.
    int32_t ReadMax = 1000;

    // Saved body, zone and material colours, applied by position after every load.
    std::vector<TColor> GColor;
    std::vector<TColor> ZColor;
    std::vector<TColor> MColor;

    // Start directories of the data and image dialogs (empty: the program directory).
    std::string OpenDir;
    std::string SaveDir;

    // Set by every load.
    bool HasTime = false;   // the header announced a time column
    double MaxTime = 0.0;   // largest time of a track point
    double SceneSize = 0.0; // camera size right after the load
};
