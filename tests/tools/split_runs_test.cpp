// The pieces split runs stand on: the generator's jump, order-free exact sums, and part files
// that merge into the whole run's output.
#include "ToolGeometry.h"

#include "tools/core/ExactSum.h"
#include "tools/core/SplitRuns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

// A sphere Z1 (material 1) in a void sphere Z2, and a small box across Z1's surface that no zone
// holds: a few of the rays from the origin find it.
TGeometry HoleGeometry() {
    TGeometry g;
    g.Bodies = {Sph(1, 5), Sph(2, 20), MakeBody("RPP", 3, {4.9, 7, -0.5, 0.5, -0.5, 0.5})};
    AddZone(g, "Z1", 1, {{1, -3}});
    AddZone(g, "Z2", 0, {{2, -1, -3}});
    Prepare(g);
    return g;
}

TEST(CheckRandom, SkipLandsWhereSingleDrawsLand) {
    for (uint32_t seed : {0u, 1u, 0xDEADBEEFu}) {
        for (uint64_t n : {0ull, 1ull, 2ull, 5ull, 1000ull, 123457ull}) {
            TCheckRandom walked, jumped;
            walked.Seed = jumped.Seed = seed;
            for (uint64_t k = 0; k < n; ++k) walked.Next();
            jumped.Skip(n);
            EXPECT_EQ(jumped.Seed, walked.Seed) << "seed " << seed << ", " << n << " draws";
        }
    }
    // the period is 2^32: a full turn comes back
    TCheckRandom r;
    r.Seed = 77;
    r.Skip(uint64_t{1} << 32);
    EXPECT_EQ(r.Seed, 77u);
}

double SumOf(const std::vector<double>& v) {
    TExactSum s;
    for (double x : v) s.Add(x);
    return s.Value();
}

TEST(ExactSum, RoundsTheExactSumOnce) {
    EXPECT_EQ(SumOf({}), 0.0);
    EXPECT_EQ(SumOf(std::vector<double>(10, 0.1)), 1.0); // a plain sum gives 0.9999999999999999
    EXPECT_EQ(SumOf({1e16, 1.0, -1e16}), 1.0);
    EXPECT_EQ(SumOf({1e100, 1.0, -1e100, 1e-100, -1.0}), 1e-100);
    // half-way cases decided by a far smaller term
    EXPECT_EQ(SumOf({1e16, 1.0, 1e-16}), 10000000000000002.0);
    EXPECT_EQ(SumOf({1e16, 1.0, -1e-16}), 1e16);
    const double tiny = std::numeric_limits<double>::denorm_min();
    EXPECT_EQ(SumOf({tiny, 1.0, -1.0, tiny}), 2 * tiny);
}

TEST(ExactSum, OrderAndGroupingDoNotMatter) {
    std::mt19937_64 gen(5);
    std::uniform_real_distribution<double> mant(-1, 1);
    std::uniform_int_distribution<int> exp(-60, 60);
    std::vector<double> v(3000);
    for (double& x : v) x = std::ldexp(mant(gen), exp(gen));
    const double whole = SumOf(v);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(v.begin(), v.end(), gen);
        EXPECT_EQ(SumOf(v), whole);
        // in three groups added afterwards, as parts are merged
        TExactSum a, b, c;
        for (size_t k = 0; k < v.size(); ++k) (k % 3 == 0 ? a : k % 3 == 1 ? b : c).Add(v[k]);
        TExactSum merged;
        merged.Add(c);
        merged.Add(a);
        merged.Add(b);
        EXPECT_EQ(merged.Value(), whole);
        // and rebuilt from what a part file keeps
        TExactSum copy;
        copy.Add(merged.NonFinite());
        for (double p : merged.Partials()) copy.Add(p);
        EXPECT_EQ(copy.Value(), whole);
    }
    TExactSum self;
    self.Add(0.1);
    self.Add(self);
    EXPECT_EQ(self.Value(), 0.2);
}

TEST(ExactSum, NonFiniteTermsActAsInAPlainSum) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(SumOf({1.0, inf, 2.0}), inf);
    EXPECT_EQ(SumOf({-inf, 1.0}), -inf);
    EXPECT_TRUE(std::isnan(SumOf({inf, 1.0, -inf})));
    EXPECT_TRUE(std::isnan(SumOf({std::nan(""), 1.0})));
    EXPECT_EQ(SumOf({1e308, 1e308}), inf); // beyond the range
    TExactSum s;
    s.Add(inf);
    EXPECT_FALSE(s.Empty());
    s.Clear();
    EXPECT_TRUE(s.Empty());
}

TEST(RunPart, ParsesOnlyAPartOfTheRun) {
    TRunPart p;
    std::string error;
    ASSERT_TRUE(ParseRunPart("3/7", p, error));
    EXPECT_EQ(p.Index, 2);
    EXPECT_EQ(p.Count, 7);
    for (const char* bad : {"0/3", "4/3", "1/0", "3", "a/b", "1/-2", "-1/2", "1/100001", "2/3x", "/"})
        EXPECT_FALSE(ParseRunPart(bad, p, error)) << bad;
}

// A check run of part `part` of `parts` over the geometry, as its part file.
std::string CheckPart(const TGeometry& g, const TCheckSettings& s, int part, int parts) {
    TCheckErrorSegments errors;
    TCheckRun run(errors);
    run.Part = part;
    run.Parts = parts;
    run.Start(g.Bodies, g.Zones, s);
    while (run.Running()) run.Advance(1000);
    return CheckPartText(run, g.Zones, s, {part, parts}, GeometryFingerprint(g.Bodies, g.Zones));
}

TEST(SplitRuns, CheckPartsMergeIntoTheWholeRun) {
    TGeometry g = HoleGeometry();
    TCheckSettings s;
    s.Rays = 4000;
    TCheckErrorSegments errors;
    TCheckRun whole(errors);
    whole.Start(g.Bodies, g.Zones, s);
    while (whole.Running()) whole.Advance(1000);
    for (int parts : {1, 2, 5}) {
        std::vector<std::string> texts;
        for (int i = parts - 1; i >= 0; --i) texts.push_back(CheckPart(g, s, i, parts));
        TMergedRun merged;
        std::string error;
        ASSERT_TRUE(MergeRunParts(texts, {}, merged, error)) << error;
        EXPECT_FALSE(merged.Volume);
        EXPECT_EQ(merged.Lines, whole.Lines()) << parts << " parts";
    }
    // the tenth error comes late in the run, so that later parts matter
    ASSERT_EQ(whole.Lines().back(), "Stop by error count is 10 over");
    EXPECT_GT(whole.Reported().back().Ray, 2000);
}

TEST(SplitRuns, MergeRefusesPartsOfAnotherGeometry) {
    TGeometry g = HoleGeometry();
    TCheckSettings s;
    s.Rays = 10;
    std::vector<std::string> texts = {CheckPart(g, s, 0, 2)};
    g.Bodies[0].Params[3] *= 1.000001; // the same file, one radius edited
    texts.push_back(CheckPart(g, s, 1, 2));
    TMergedRun merged;
    std::string error;
    EXPECT_FALSE(MergeRunParts(texts, {"a", "b"}, merged, error));
    EXPECT_NE(error.find("another run"), std::string::npos) << error;
    EXPECT_FALSE(MergeRunParts({}, {}, merged, error));
}

TEST(SplitRuns, VolumePartsMergeIntoTheWholeRun) {
    TGeometry g = HoleGeometry();
    TVolumeSettings s;
    s.Level = 4;
    s.Xmin = s.Ymin = s.Zmin = -7;
    s.Xmax = s.Ymax = s.Zmax = 7;
    const std::vector<bool> ticks(g.Zones.size(), true);
    TCheckErrorSegments errors;
    TVolumeRun whole(errors);
    whole.Start(g.Bodies, g.Zones, s, ticks);
    while (whole.Running()) whole.Step();
    std::vector<std::string> lines = whole.Lines();
    lines.insert(lines.end(), whole.ResultLines().begin(), whole.ResultLines().end());
    for (int parts : {1, 3, 20}) {
        std::vector<std::string> texts;
        for (int i = 0; i < parts; ++i) {
            TVolumeRun run(errors);
            run.Part = i;
            run.Parts = parts;
            run.KeepSums = true;
            run.Threads = i % 2 ? 0 : 1;
            run.Start(g.Bodies, g.Zones, s, ticks);
            while (run.Running()) run.Step();
            ASSERT_EQ(run.PartSums().size(), 5u);
            texts.push_back(VolumePartText(run, g.Zones, s, ticks, {i, parts},
                                           GeometryFingerprint(g.Bodies, g.Zones)));
        }
        TMergedRun merged;
        std::string error;
        ASSERT_TRUE(MergeRunParts(texts, {}, merged, error)) << error;
        EXPECT_TRUE(merged.Volume);
        EXPECT_EQ(merged.Lines, lines) << parts << " parts";
        ASSERT_EQ(merged.Volumes.size(), whole.Volumes.size());
        for (size_t z = 0; z < merged.Volumes.size(); ++z) {
            EXPECT_EQ(merged.Volumes[z].XLast, whole.Volumes[z].XLast);
            EXPECT_EQ(merged.Volumes[z].ZLast, whole.Volumes[z].ZLast);
            EXPECT_EQ(merged.Zones[z].Name, g.Zones[z].Name);
        }
    }
}

} // namespace
