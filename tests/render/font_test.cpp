// Stroke font layout and the axis label texts.
#include "render/Scene.h"
#include "render/StrokeFont.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {
std::vector<std::pair<float, float>> Strip(char ch, int k) {
    const TStrokeGlyph& g = StrokeGlyphs[static_cast<size_t>(ch - StrokeFirstCode)];
    std::vector<std::pair<float, float>> out;
    for (int i = g.Strips[static_cast<size_t>(k)][0]; i <= g.Strips[static_cast<size_t>(k)][1]; ++i)
        out.push_back({StrokePoints[i].X, StrokePoints[i].Y});
    return out;
}
void ExpectStrip(char ch, int k, std::vector<std::pair<float, float>> want) {
    SCOPED_TRACE(std::string(1, ch) + " strip " + std::to_string(k));
    auto got = Strip(ch, k);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_FLOAT_EQ(got[i].first, want[i].first);
        EXPECT_FLOAT_EQ(got[i].second, want[i].second);
    }
}
} // namespace

TEST(StrokeFont, EveryGlyphFitsItsCell) {
    for (int code = 32; code < 128; ++code) {
        SCOPED_TRACE(code);
        const TStrokeGlyph& g = StrokeGlyphs[static_cast<size_t>(code - 32)];
        bool any = false;
        for (const auto& s : g.Strips) {
            if (s[0] > s[1]) continue;
            any = true;
            ASSERT_GE(s[0], 0);
            ASSERT_LT(s[1], StrokePointCount);
            for (int i = s[0]; i <= s[1]; ++i) {
                float x = StrokePoints[i].X, y = StrokePoints[i].Y;
                EXPECT_TRUE(x >= 0.1563f - 1e-6f && x <= 0.8438f + 1e-6f) << x;
                EXPECT_TRUE(y >= 0 && y <= 1) << y;
                if (std::isdigit(code) || std::isupper(code)) {
                    EXPECT_TRUE(y >= 0.2187f - 1e-6f && y <= 0.875f + 1e-6f) << y;
                }
            }
        }
        if (code != 32 && code != 127) {
            EXPECT_TRUE(any);
        }
    }
    const TStrokeGlyph& space = StrokeGlyphs[0];
    for (const auto& s : space.Strips) EXPECT_GT(s[0], s[1]);
}

TEST(StrokeFont, ExampleGlyphsExactly) {
    ExpectStrip('-', 0, {{0.2188f, 0.5f}, {0.7813f, 0.5f}});
    ExpectStrip('1', 0,
                {{0.4219f, 0.75f}, {0.4844f, 0.7812f}, {0.5781f, 0.875f}, {0.5781f, 0.2187f}});
    ExpectStrip('X', 0, {{0.2813f, 0.875f}, {0.7188f, 0.2187f}});
    ExpectStrip('X', 1, {{0.7188f, 0.875f}, {0.2813f, 0.2187f}});
    ExpectStrip(
        '.', 0,
        {{0.5f, 0.2812f}, {0.4688f, 0.25f}, {0.5f, 0.2187f}, {0.5313f, 0.25f}, {0.5f, 0.2812f}});
    ExpectStrip('[', 0, {{0.3906f, 1.0f}, {0.3906f, 0.0f}});
    ExpectStrip('[', 1, {{0.4219f, 1.0f}, {0.4219f, 0.0f}});
    ExpectStrip('[', 2, {{0.3906f, 1.0f}, {0.6094f, 1.0f}});
    ExpectStrip('[', 3, {{0.3906f, 0.0f}, {0.6094f, 0.0f}});
    auto zero = Strip('0', 0);
    ASSERT_EQ(zero.size(), 17u);
    EXPECT_FLOAT_EQ(zero[3].first, 0.2813f);
    EXPECT_FLOAT_EQ(zero[3].second, 0.5937f);
    EXPECT_EQ(zero.front(), zero.back());
}

TEST(AxisLabels, GeneralFormatWithUnitFactor) {
    EXPECT_EQ(AxisLabelText(2.5 * AxisUnitFactor("mm")), "25");
    EXPECT_EQ(AxisLabelText(2.5 * AxisUnitFactor("m")), "0.025");
    EXPECT_EQ(AxisLabelText(-2.5 * AxisUnitFactor("cm")), "-2.5");
    EXPECT_EQ(AxisLabelText(123456.0), "1.2346E+005");
    EXPECT_EQ(AxisLabelText(0.00001234), "1.234E-005");
    EXPECT_EQ(AxisLabelText(12345.0), "12345");
    EXPECT_EQ(AxisUnitFactor("km"), 0.00001f);
    EXPECT_EQ(AxisUnitFactor("inch"), 1.0f);
    EXPECT_EQ(AxisLayoutForViewMode(3), TAxisLayout::YZ);
    EXPECT_EQ(AxisLayoutForViewMode(2), TAxisLayout::None);
}
