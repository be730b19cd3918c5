#include "input/Tracks.h"

#include <gtest/gtest.h>

namespace {

TrackPoint Pt(int32_t hist, int32_t kind, double x, double energy = 1.0, double time = 0.0,
              int32_t trackEnd = 0, int32_t latch = 0, double weight = 1.0) {
    TrackPoint p;
    p.HistoryNo = hist;
    p.Kind = kind;
    p.X = x;
    p.Energy = energy;
    p.Time = time;
    p.TrackEnd = trackEnd;
    p.Latch = latch;
    p.Weight = weight;
    return p;
}

// Histories 1..n, each one photon track of two points closed by "-1".
TTracks Histories(int n) {
    TTracks t;
    for (int h = 1; h <= n; ++h) {
        t.push_back(Pt(h, 4, h));
        t.push_back(Pt(h, 4, h + 0.5, 1.0, 0.0, -1));
    }
    return t;
}

std::vector<int32_t> DrawnHistories(const TTracks& t, const TDisplaySettings& s) {
    std::vector<int32_t> h;
    for (const TTrackPiece& p : SelectTracks(t, s)) {
        int32_t no = t[p.Index].HistoryNo;
        if (h.empty() || h.back() != no) h.push_back(no);
    }
    return h;
}

} // namespace

TEST(TrackFilters, HistoryFiltersAndLabel) {
    TTracks t = Histories(5);
    TDisplaySettings s;
    ResetHistRange(s, HistMax(t));
    // start values: only the last history
    EXPECT_EQ(DrawnHistories(t, s), (std::vector<int32_t>{5}));
    EXPECT_EQ(RangeLabelText(t, s), " Histroy Range :5-5");
    s.LastHistCount = 3;
    EXPECT_EQ(DrawnHistories(t, s), (std::vector<int32_t>{3, 4, 5}));
    EXPECT_EQ(RangeLabelText(t, s), " Histroy Range :3-5");
    s.LastHistOn = false;
    s.HistRangeOn = true;
    s.HistFrom = 2;
    s.HistTo = 3;
    EXPECT_EQ(DrawnHistories(t, s), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(RangeLabelText(t, s), " Histroy Range :2-3");
    EXPECT_TRUE(RangeButtonsVisible(s));
    s.HistRangeOn = false;
    EXPECT_EQ(RangeLabelText(t, s), " Histroy Range :1-5");
    EXPECT_EQ(DrawnHistories(t, s).size(), 5u);
    EXPECT_EQ(RangeLabelText(TTracks{}, s), " Histroy Range :0-0");
    EXPECT_TRUE(SelectTracks(TTracks{}, s).empty());
    // a huge count must not wrap the lower bound
    s.LastHistOn = true;
    s.LastHistCount = INT32_MAX;
    EXPECT_EQ(DrawnHistories(t, s).size(), 5u);
    EXPECT_EQ(LegendPanelWidth(" Histroy Range :1-5"), 166);
    EXPECT_EQ(LegendPanelWidth(" Histroy Range :1000-2000"), 6 * 25 + 22);
}

TEST(TrackFilters, RangeStepping) {
    TDisplaySettings s;
    s.HistRangeOn = true;
    s.HistFrom = 2;
    s.HistTo = 3;
    s.HistStep = 2;
    EXPECT_EQ(HistRangeUp(s, 9), " Histroy Range :4-5");
    EXPECT_EQ(HistRangeUp(s, 9), " Histroy Range :6-7");
    EXPECT_EQ(HistRangeUp(s, 9), " Histroy Range :8-9");
    EXPECT_EQ(HistRangeUp(s, 9), " Histroy Range :8-9");
    s.HistFrom = 2;
    s.HistTo = 3;
    EXPECT_EQ(HistRangeDown(s, 9), " Histroy Range :1-2");
}

TEST(TrackFilters, LatchKindAndEnergy) {
    TTracks t = {Pt(1, 4, 0, 1, 0, 0, -1), Pt(1, 4, 1, 1, 0, -1, -1)};
    TDisplaySettings s;
    ResetHistRange(s, 1);
    EXPECT_TRUE(SelectTracks(t, s).empty());
    s.LatchOn = false;
    auto pieces = SelectTracks(t, s);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_FALSE(pieces[0].IsPoint);
    EXPECT_TRUE(pieces[1].IsPoint); // the track end is a single point
    EXPECT_EQ(pieces[1].Color, DefaultPhotonColor);
    s.StyleOf(4).OnOff = false;
    EXPECT_TRUE(SelectTracks(t, s).empty());

    // electron range 1..2: a segment from 1.5 to a point of energy 0.5 is not drawn
    TTracks e = {Pt(1, 5, 0, 1.5), Pt(1, 5, 1, 0.5), Pt(1, 5, 2, 1.2, 0, -1)};
    s = TDisplaySettings{};
    ResetHistRange(s, 1);
    s.StyleOf(5).EgyRange = true;
    s.StyleOf(5).EgyRangeS = 1;
    s.StyleOf(5).EgyRangeE = 2;
    pieces = SelectTracks(e, s);
    ASSERT_EQ(pieces.size(), 1u); // the segment from 0.5 starts outside, the end point is in
    EXPECT_TRUE(pieces[0].IsPoint);
    // the next point is held to its own kind's bounds even when that kind's range is off
    TTracks mixed = {Pt(1, 5, 0, 1.5), Pt(1, 4, 1, 1e16)};
    EXPECT_TRUE(SelectTracks(mixed, s).empty());
}

TEST(TrackFilters, TimeWindowClipsSegments) {
    TTracks t = {Pt(1, 4, 0, 1, 0), Pt(1, 4, 10, 1, 10), Pt(1, 4, 20, 1, 10),
                 Pt(1, 4, 30, 1, 40, -1)};
    t[0].Weight = 2;
    TDisplaySettings s;
    ResetHistRange(s, 1);
    s.StyleOf(4).LineWidth = 3;
    s.StyleOf(4).LineKind = 2;
    auto all = SelectTracks(t, s);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_FLOAT_EQ(all[0].Width, 6.0f);
    EXPECT_EQ(all[0].LineKind, 2);
    // the window applies only while animating a file with a time column
    s.AnimActive = true;
    s.WinStart = 2.5;
    s.WinEnd = 5;
    EXPECT_EQ(SelectTracks(t, s).size(), 4u);
    s.HasTime = true;
    auto w = SelectTracks(t, s);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_DOUBLE_EQ(w[0].A.x, 2.5); // a quarter to half of the segment
    EXPECT_DOUBLE_EQ(w[0].B.x, 5.0);
    // equal times inside the window: unclipped
    s.WinStart = 9;
    s.WinEnd = 12;
    w = SelectTracks(t, s);
    ASSERT_EQ(w.size(), 3u);
    EXPECT_DOUBLE_EQ(w[0].A.x, 9.0);
    EXPECT_DOUBLE_EQ(w[1].A.x, 10.0);
    EXPECT_DOUBLE_EQ(w[1].B.x, 20.0);
    EXPECT_DOUBLE_EQ(w[2].B.x, 20.0 + 10.0 * (2.0 / 30.0));
}

// HistMax is the largest history number read, also when every number is negative; only an
// empty list has none.
TEST(TrackFilters, NegativeHistoryNumbersAreDrawn) {
    TTracks t = {Pt(-3, 4, 1), Pt(-3, 4, 2, 1.0, 0.0, -1), Pt(-2, 5, 1),
                 Pt(-2, 5, 2, 1.0, 0.0, -1)};
    EXPECT_EQ(HistMax(t), -2);
    TDisplaySettings s;
    ResetHistRange(s, HistMax(t));
    EXPECT_EQ(DrawnHistories(t, s), (std::vector<int32_t>{-2}));
    EXPECT_EQ(RangeLabelText(t, s), " Histroy Range :-2--2");
    s.LastHistCount = 2;
    EXPECT_EQ(DrawnHistories(t, s), (std::vector<int32_t>{-3, -2}));
    // all points in history -1: that history, not an empty list
    TTracks minusOne = {Pt(-1, 4, 1), Pt(-1, 4, 2, 1.0, 0.0, -1)};
    s.LastHistCount = 1;
    EXPECT_EQ(DrawnHistories(minusOne, s), (std::vector<int32_t>{-1}));
    EXPECT_EQ(RangeLabelText(minusOne, s), " Histroy Range :-1--1");
    EXPECT_EQ(RangeLabelText(TTracks{}, s), " Histroy Range :0-0");
}
