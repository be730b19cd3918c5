#include "app/Animation.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

std::string FormatExp(double x, int digits, int expDigits) {
    if (!std::isfinite(x)) return x != x ? "NAN" : (x > 0 ? "INF" : "-INF");
    if (digits < 1) digits = 1;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", digits - 1, x);
    std::string s = buf;
    size_t e = s.find('e');
    if (e == std::string::npos) return s;
    std::string mant = s.substr(0, e);
    int ex = std::atoi(s.c_str() + e + 1);
    std::string exs = std::to_string(std::abs(ex));
    while (static_cast<int>(exs.size()) < expDigits) exs.insert(exs.begin(), '0');
    return mant + "E" + (ex < 0 ? "-" : "+") + exs;
}

static std::string E3(double x) {
    return FormatExp(x, 3, 3);
}

std::string AnimCaption(const std::string& windowTitle, double winStart, double winEnd) {
    return windowTitle + " " + E3(winStart) + " - " + E3(winEnd);
}

std::string AnimComment(double winStart, double winEnd) {
    return "[Double click at this area is used for abort] Time: " + E3(winStart) + " - " +
           E3(winEnd);
}

static bool BlankText(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

TAnimRange ParseAnimRange(const std::string& start, const std::string& end, const std::string& step,
                          const std::function<double(const std::string&)>& toReal) {
    TAnimRange r;
    if (!BlankText(start)) r.T0 = toReal(start);
    if (!BlankText(end)) r.T1 = toReal(end);
    if (!BlankText(step)) r.Step = toReal(step);
    return r;
}

void RunAnimationFrames(const TAnimRange& range, bool hasTime, int waitMs, const TAnimFlags& f,
                        const TAnimHost& host) {
    const double t0 = range.T0, t1 = range.T1, step = range.Step;
    *f.WinStart = t0;
    double prev = t0;
    *f.Animating = true;
    *f.AbortRequested = false;

    // An abort ends the playback with the full scene and no further pause.
    auto stopNow = [&] {
        *f.AnimActive = false;
        host.Repaint();
        host.ClearComment();
        *f.Animating = false;
        *f.AbortRequested = false;
    };

    for (;;) {
        double winEnd = std::fabs(step) + prev;
        if (winEnd > t1 || step == 0 || !hasTime) winEnd = t1;
        *f.WinEnd = winEnd;
        if (hasTime) host.ShowTimes(*f.WinStart, winEnd);
        host.Repaint();
        // A NaN end (never reached) must not loop for ever: treat it as reached.
        if (winEnd >= t1 || std::isnan(winEnd)) break;
        if (step > 0) *f.WinStart = winEnd;
        // A step too small to move the window on would repeat the same frame for ever.
        if (winEnd <= prev && step != 0) break;
        prev = winEnd;
        if (*f.AbortRequested) return stopNow();
        host.Pause(waitMs);
        if (*f.AbortRequested) return stopNow();
    }

    if (step != 0) {
        host.Pause(waitMs);
        *f.AnimActive = false;
        host.Repaint();
    }
    host.ClearComment();
    *f.Animating = false;
    *f.AbortRequested = false;
}
