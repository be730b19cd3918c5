// Time playback of the tracks: the frame loop and the texts it shows. No Qt here; the main
// window supplies painting, event processing and the pause through the callbacks.
#pragma once

#include <functional>
#include <string>

// x in exponent notation with `digits` significant digits and an exponent of at least
// `expDigits` digits: FormatExp(100, 3, 3) == "1.00E+002", FormatExp(110, 2, 2) == "1.1E+02".
std::string FormatExp(double x, int digits, int expDigits);

// The text of the time fields: 2 significant digits, 2 exponent digits ("1.1E+02").
inline std::string FormatTimeField(double x) {
    return FormatExp(x, 2, 2);
}

// Window caption and comment line of one frame (E(x) with 3 digits and a 3-digit exponent).
std::string AnimCaption(const std::string& windowTitle, double winStart, double winEnd);
std::string AnimComment(double winStart, double winEnd);

struct TAnimRange {
    double T0 = 0;
    double T1 = 1.0e30;
    double Step = 0;
};

// The three time fields of the settings dialog: empty after trimming gives 0, 1.0e30 and 0,
// anything else goes through `toReal`, which throws on text that is not a number.
TAnimRange ParseAnimRange(const std::string& start, const std::string& end, const std::string& step,
                          const std::function<double(const std::string&)>& toReal);

// Shared state the loop changes; the track selection reads AnimActive, WinStart and WinEnd.
struct TAnimFlags {
    bool* AnimActive = nullptr;
    double* WinStart = nullptr;
    double* WinEnd = nullptr;
    bool* Animating = nullptr;
    bool* AbortRequested = nullptr;
};

struct TAnimHost {
    // Caption and comment for one frame, then pending events are processed.
    std::function<void(double winStart, double winEnd)> ShowTimes;
    std::function<void()> Repaint;
    std::function<void()> ClearComment;
    // Waits `ms` milliseconds while the window keeps reacting; may return early on abort.
    std::function<void(int ms)> Pause;
};

// The frame loop from the start of playback to its end (steps from "WinStart := T0" to
// "Animating := false"). An abort seen at a frame or during a pause ends the playback at
// once with the full scene, without a further pause.
void RunAnimationFrames(const TAnimRange& range, bool hasTime, int waitMs, const TAnimFlags& f,
                        const TAnimHost& host);
