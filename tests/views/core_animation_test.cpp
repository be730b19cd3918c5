#include "app/Animation.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

TEST(AnimationText, ExponentNotation) {
    EXPECT_EQ(FormatExp(100, 3, 3), "1.00E+002");
    EXPECT_EQ(FormatExp(0, 3, 3), "0.00E+000");
    EXPECT_EQ(FormatExp(-2.5, 3, 3), "-2.50E+000");
    EXPECT_EQ(FormatExp(0.00125, 3, 3), "1.25E-003");
    EXPECT_EQ(FormatExp(1.1e100, 2, 2), "1.1E+100");
    EXPECT_EQ(FormatTimeField(110), "1.1E+02");
    EXPECT_EQ(FormatTimeField(11), "1.1E+01");
    EXPECT_EQ(FormatTimeField(1.0e30), "1.0E+30");
    // rounding carries into the exponent
    EXPECT_EQ(FormatExp(9.999, 3, 3), "1.00E+001");
    EXPECT_EQ(FormatExp(0, 7, 3), "0.000000E+000");
    EXPECT_EQ(FormatExp(1e15, 7, 3), "1.000000E+015");
}

TEST(AnimationText, CaptionAndComment) {
    EXPECT_EQ(AnimCaption("TRAZON  - a.pic", 0, 2.5), "TRAZON  - a.pic 0.00E+000 - 2.50E+000");
    EXPECT_EQ(AnimComment(2.5, 5),
              "[Double click at this area is used for abort] Time: 2.50E+000 - 5.00E+000");
}

static double ToReal(const std::string& s) {
    size_t used = 0;
    double v = std::stod(s, &used);
    if (used != s.size()) throw std::invalid_argument(s);
    return v;
}

TEST(AnimationText, TimeFieldsEmptyGiveDefaults) {
    TAnimRange r = ParseAnimRange("  ", "", " \t", ToReal);
    EXPECT_EQ(r.T0, 0);
    EXPECT_EQ(r.T1, 1.0e30);
    EXPECT_EQ(r.Step, 0);
    r = ParseAnimRange("1", "9", "2", ToReal);
    EXPECT_EQ(r.T0, 1);
    EXPECT_EQ(r.T1, 9);
    EXPECT_EQ(r.Step, 2);
    EXPECT_THROW(ParseAnimRange("0", "1x", "2", ToReal), std::invalid_argument);
}

// Records what the loop does, in order.
struct Recorder {
    bool AnimActive = true, Animating = false, Abort = false;
    double WinStart = -99, WinEnd = -99;
    std::vector<std::string> Events;
    std::vector<std::pair<double, double>> Frames; // windows seen at each repaint
    std::vector<bool> ActiveAtRepaint;
    int AbortAtPause = -1; // request an abort during this pause (0-based)
    int AbortAtShow = -1;  // request an abort while this frame's texts are shown
    int Pauses = 0, Shows = 0;

    TAnimFlags Flags() { return {&AnimActive, &WinStart, &WinEnd, &Animating, &Abort}; }
    TAnimHost Host() {
        TAnimHost h;
        h.ShowTimes = [this](double a, double b) {
            Events.push_back("show " + std::to_string(a) + " " + std::to_string(b));
            if (Shows++ == AbortAtShow) Abort = true;
        };
        h.Repaint = [this] {
            Events.push_back("paint");
            Frames.push_back({WinStart, WinEnd});
            ActiveAtRepaint.push_back(AnimActive);
            EXPECT_TRUE(Animating);
        };
        h.ClearComment = [this] { Events.push_back("clear"); };
        h.Pause = [this](int ms) {
            EXPECT_EQ(ms, 1000);
            Events.push_back("pause");
            if (Pauses++ == AbortAtPause) Abort = true;
        };
        return h;
    }
    void Run(double t0, double t1, double step, bool hasTime = true) {
        RunAnimationFrames({t0, t1, step}, hasTime, 1000, Flags(), Host());
    }
};

using Windows = std::vector<std::pair<double, double>>;

TEST(AnimationLoop, MovingWindowThenFullScene) {
    Recorder r;
    r.Run(0, 10, 2.5);
    // four windows, each followed by a pause, then the scene without the time filter
    EXPECT_EQ(r.Frames, (Windows{{0, 2.5}, {2.5, 5}, {5, 7.5}, {7.5, 10}, {7.5, 10}}));
    EXPECT_EQ(r.ActiveAtRepaint, (std::vector<bool>{true, true, true, true, false}));
    EXPECT_EQ(r.Pauses, 4);
    EXPECT_EQ(r.Events.back(), "clear");
    EXPECT_EQ(r.Events[r.Events.size() - 3], "pause");
    EXPECT_FALSE(r.AnimActive);
    EXPECT_FALSE(r.Animating);
}

TEST(AnimationLoop, NegativeStepGrowsTheWindow) {
    Recorder r;
    r.Run(0, 10, -2.5);
    r.Frames.pop_back();
    EXPECT_EQ(r.Frames, (Windows{{0, 2.5}, {0, 5}, {0, 7.5}, {0, 10}}));
    EXPECT_FALSE(r.AnimActive);
}

TEST(AnimationLoop, LastWindowStopsAtEnd) {
    Recorder r;
    r.Run(0, 9, 2);
    r.Frames.pop_back();
    EXPECT_EQ(r.Frames, (Windows{{0, 2}, {2, 4}, {4, 6}, {6, 8}, {8, 9}}));
}

TEST(AnimationLoop, StepZeroShowsOneFrameAndKeepsTheFilter) {
    Recorder r;
    r.Run(2, 7, 0);
    EXPECT_EQ(r.Frames, (Windows{{2, 7}}));
    EXPECT_EQ(r.Pauses, 0);
    EXPECT_TRUE(r.AnimActive);
    EXPECT_FALSE(r.Animating);
    EXPECT_EQ(r.WinStart, 2);
    EXPECT_EQ(r.WinEnd, 7);
}

TEST(AnimationLoop, WithoutTimeColumnOneFrameNoTexts) {
    Recorder r;
    r.Run(0, 10, 2.5, false);
    EXPECT_EQ(r.Shows, 0);
    EXPECT_EQ(r.Frames.front(), (std::pair<double, double>{0, 10}));
    EXPECT_EQ(r.Frames.size(), 2u); // the frame, then the final repaint without filter
}

TEST(AnimationLoop, AbortAtAFrameEndsAfterThatFrame) {
    Recorder r;
    r.AbortAtShow = 1; // seen while the texts of the second frame are shown
    r.Run(0, 10, 2.5);
    // the second frame is drawn, then the full scene (the window no longer applies)
    EXPECT_EQ(r.ActiveAtRepaint, (std::vector<bool>{true, true, false}));
    r.Frames.pop_back();
    EXPECT_EQ(r.Frames, (Windows{{0, 2.5}, {2.5, 5}}));
    EXPECT_EQ(r.Pauses, 1); // no further pause after the abort
    EXPECT_FALSE(r.Abort);
    EXPECT_FALSE(r.Animating);
    EXPECT_FALSE(r.AnimActive);
}

TEST(AnimationLoop, AbortDuringAPauseEndsAtOnce) {
    Recorder r;
    r.AbortAtPause = 0;
    r.Run(0, 10, 2.5);
    EXPECT_EQ(r.ActiveAtRepaint, (std::vector<bool>{true, false}));
    EXPECT_EQ(r.Pauses, 1);
    EXPECT_FALSE(r.AnimActive);
    EXPECT_FALSE(r.Abort);
    EXPECT_EQ(r.Events.back(), "clear");
}

TEST(AnimationLoop, StaleAbortIsClearedAtStart) {
    Recorder r;
    r.Abort = true;
    r.Run(0, 4, 2);
    EXPECT_EQ(r.Frames.size(), 3u);
}

TEST(AnimationLoop, StepTooSmallToMoveStillEnds) {
    Recorder r;
    r.Run(1e20, 1e30, 1.0); // 1e20 + 1 == 1e20: the window never moves on
    EXPECT_LE(r.Frames.size(), 3u);
    EXPECT_FALSE(r.Animating);
    EXPECT_FALSE(r.AnimActive);
}

TEST(AnimationLoop, EndBeforeStartDrawsOneEmptyWindow) {
    Recorder r;
    r.Run(5, 1, 2);
    EXPECT_EQ(r.Frames.front(), (std::pair<double, double>{5, 1}));
    EXPECT_FALSE(r.Animating);
}
