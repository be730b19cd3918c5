// The track list's columns: what goes in comes back (positions and energies exactly, times
// within single precision of the block's times, at every scale), edits in place, runs of
// histories and latches, and the memory a point takes.
#include "input/Tracks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

TrackPoint RandomPoint(std::mt19937_64& rnd, double scale, size_t i) {
    std::uniform_real_distribution<double> u(-1, 1);
    TrackPoint p;
    p.HistoryNo = static_cast<int32_t>(1 + i / 57);
    p.Kind = 4 + static_cast<int32_t>(i % 3);
    p.X = u(rnd) * scale, p.Y = u(rnd) * scale, p.Z = (2 + u(rnd)) * scale;
    p.Energy = std::exp(u(rnd) * 10);
    p.Zone = static_cast<int32_t>(i % 7) - 1;
    p.Weight = i % 11 == 0 ? 0.5 : 1.0;
    p.Time = i % 13 == 0 ? 0.0 : (1 + u(rnd)) * 1e-9;
    p.Latch = i % 300 < 150 ? 1 : -1;
    p.TrackEnd = i % 9 == 8 ? -1 : 0;
    return p;
}

} // namespace

TEST(TrackStorage, PointsComeBackAtEveryScale) {
    for (int k = -4; k <= 4; ++k) {
        const double scale = std::pow(10.0, k);
        std::mt19937_64 rnd(7);
        TTracks t;
        std::vector<TrackPoint> in;
        const size_t n = 150000; // more than two blocks
        for (size_t i = 0; i < n; ++i) {
            in.push_back(RandomPoint(rnd, scale, i));
            t.push_back(in.back());
        }
        ASSERT_EQ(t.size(), n);
        size_t i = 0;
        for (const TrackPoint& p : t) {
            const TrackPoint& q = in[i];
            ASSERT_EQ(p.HistoryNo, q.HistoryNo) << i;
            ASSERT_EQ(p.Kind, q.Kind);
            ASSERT_EQ(p.Zone, q.Zone);
            ASSERT_EQ(p.Latch, q.Latch) << i;
            ASSERT_EQ(p.TrackEnd, q.TrackEnd);
            ASSERT_EQ(p.Energy, q.Energy);
            ASSERT_EQ(p.Weight, q.Weight);
            ASSERT_EQ(p.X, q.X) << i << " at 1e" << k;
            ASSERT_EQ(p.Y, q.Y);
            ASSERT_EQ(p.Z, q.Z);
            if (q.Time == 0.0) {
                ASSERT_EQ(p.Time, 0.0) << i;
            } else {
                ASSERT_NEAR(p.Time, q.Time, 1e-6 * 2e-9);
            }
            // random access gives the same as the walk
            if (i % 997 == 0) {
                const TrackPoint r = t[i];
                ASSERT_EQ(r.X, p.X);
                ASSERT_EQ(r.HistoryNo, p.HistoryNo);
                ASSERT_EQ(r.Latch, p.Latch);
                ASSERT_EQ(r.Time, p.Time);
            }
            ++i;
        }
        ASSERT_EQ(i, n);
        EXPECT_EQ(t.HistMax(), in.back().HistoryNo);
        // about 42 bytes a point with times and weights, instead of the 72 of a TrackPoint
        EXPECT_LT(t.MemoryBytes(), n * 46 + 2 * TTracks::BlockBytes(true));
    }
}

TEST(TrackStorage, EditsInPlaceAndOddValues) {
    TTracks t(5);
    EXPECT_EQ(t.size(), 5u);
    t[0] = {3, 5, 1.25, 2.5, -4, 7, 2, 1, 0, 0, 0};
    t[2].X = 1e6;
    t[3].Kind = 100000;
    t[3].TrackEnd = -7;
    t[4].Zone = -2147483647;
    t[1].HistoryNo = 9;
    t[1].Latch = -1;
    const TTracks& c = t;
    EXPECT_EQ(c[0].HistoryNo, 3);
    EXPECT_EQ(c[0].X, 1.25);
    EXPECT_EQ(c[0].Energy, 7.0);
    EXPECT_EQ(c[2].X, 1e6);
    EXPECT_EQ(c[3].Kind, 100000);
    EXPECT_EQ(c[3].TrackEnd, -7);
    EXPECT_EQ(c[4].Zone, -2147483647);
    EXPECT_EQ(c[1].HistoryNo, 9);
    EXPECT_EQ(c[2].HistoryNo, 0);
    EXPECT_EQ(c[1].Latch, -1);
    EXPECT_EQ(c[2].Latch, 0);
    EXPECT_EQ(t.HistMax(), 9);
    // the odd values go back to small ones
    t[3].Kind = 4;
    EXPECT_EQ(c[3].Kind, 4);
    EXPECT_EQ(c[3].TrackEnd, -7);
    // latches of a history, set at its end as the reader does
    t.SetLatch(2, 5, 6);
    EXPECT_EQ(c[1].Latch, -1);
    for (size_t i = 2; i < 5; ++i) EXPECT_EQ(c[i].Latch, 6);
    t.SetLatch(0, 2, 2);
    EXPECT_EQ(c[0].Latch, 2);
    EXPECT_EQ(c[1].Latch, 2);
    EXPECT_EQ(c[2].Latch, 6);
    t.SetTrackEnd(4, -1);
    EXPECT_EQ(c[4].TrackEnd, -1);
    // copies are independent
    TTracks copy = t;
    copy[0].X = 2;
    EXPECT_EQ(c[0].X, 1.25);
    EXPECT_EQ(std::as_const(copy)[0].X, 2.0);
    t.clear();
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(t.HistMax(), -1);
    EXPECT_LT(t.MemoryBytes(), 1024u);
}
