#include "input/Reader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cstring>
#include <cmath>

TEST(Tokenizers, SplitWords) {
    TMatrixAs out;
    SplitWords("  RPP   1\t 2.5  ", out);
    EXPECT_EQ(out, (TMatrixAs{"RPP", "1", "2.5"}));
    SplitWords("a\tb", out); // tabs do not separate
    EXPECT_EQ(out, (TMatrixAs{"a\tb"}));
    SplitWords("x \" two  words \" \"\" y", out); // quotes keep blanks; empty tokens dropped
    EXPECT_EQ(out, (TMatrixAs{"x", "two  words", "y"}));
    SplitWords("\"unterminated quote", out);
    EXPECT_EQ(out, (TMatrixAs{"unterminated quote"}));
    SplitWords("", out);
    EXPECT_TRUE(out.empty());
}

TEST(Tokenizers, SplitAt) {
    TMatrixAs out;
    SplitAt("4,1,,2,", out, ",");
    EXPECT_EQ(out, (TMatrixAs{"4", "1", "", "2"})); // no trailing empty field
    SplitAt(",", out, ",");
    EXPECT_EQ(out, (TMatrixAs{""}));
    SplitAt("a;b,c", out, ",;");
    EXPECT_EQ(out, (TMatrixAs{"a", "b", "c"}));
    SplitAt("", out, ",");
    EXPECT_TRUE(out.empty());
}

TEST(Numbers, Integers) {
    int32_t v = 0;
    EXPECT_TRUE(TryStrToInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(TryStrToInt32("+17", v));
    EXPECT_EQ(v, 17);
    EXPECT_TRUE(TryStrToInt32("-0", v));
    EXPECT_EQ(v, 0);
    for (const char* bad : {"", "-", "+", "2147483648", "1.0", "1e3", " 1", "0x10", "+-1", "1a"})
        EXPECT_FALSE(TryStrToInt32(bad, v)) << bad;
}

TEST(Numbers, RealsUseTheDotWhateverTheLocale) {
    // a locale with a decimal comma must not change the reading
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    bool comma =
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    double v = 0;
    EXPECT_TRUE(TryStrToFloatDot("1.0E+30", v));
    EXPECT_EQ(v, 1e30);
    EXPECT_TRUE(TryStrToFloatDot("-8.50E-01", v));
    EXPECT_EQ(v, -0.85);
    EXPECT_TRUE(TryStrToFloatDot("1e15", v));
    EXPECT_EQ(v, 1e15);
    EXPECT_TRUE(TryStrToFloatDot("+.5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(TryStrToFloatDot("5.", v));
    EXPECT_EQ(v, 5.0);
    EXPECT_TRUE(TryStrToFloatDot("1e-400", v)); // underflow reads as zero
    EXPECT_EQ(v, 0.0);
    for (const char* bad : {"", ".", "1,5", "1e", "e5", "1e999", "-1e999", "inf", "nan", "0x1p3",
                            "1.0D+00", " 1", "1 ", "--1", "1e+"})
        EXPECT_FALSE(TryStrToFloatDot(bad, v)) << bad;
    EXPECT_EQ(StrToFloatDot(" 2.5 "), 2.5);
    EXPECT_THROW(StrToFloatDot("2,5"), EConvertError);
    if (comma) std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Numbers, RealsAreCorrectlyRounded) {
    // against the standard library's correctly rounded conversion, over typical data file
    // forms and long or extreme ones
    uint64_t state = 99;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state;
    };
    const char* formats[] = {"%.5E", "%.17g", "%.3f", "%.0f", "%.25e", "%.9e"};
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        double x;
        uint64_t bits = next();
        std::memcpy(&x, &bits, sizeof x);
        if (!std::isfinite(x)) continue;
        if (i % 2)
            x = static_cast<double>(static_cast<int64_t>(next() % 2000000) - 1000000) / 997.0;
        std::snprintf(text, sizeof text, formats[i % 6], x);
        double expected = 0, got = 0;
        auto r = std::from_chars(text, text + std::strlen(text), expected);
        if (r.ec != std::errc()) continue;
        ASSERT_TRUE(TryStrToFloatDot(text, got)) << text;
        EXPECT_EQ(got, expected) << text;
    }
    double v = 0;
    EXPECT_TRUE(TryStrToFloatDot("00000000000000000000000001.5", v));
    EXPECT_EQ(v, 1.5);
    EXPECT_TRUE(TryStrToFloatDot("9007199254740993", v)); // 2^53 + 1: rounds to even
    EXPECT_EQ(v, 9007199254740992.0);
    EXPECT_TRUE(TryStrToFloatDot("-0.0", v));
    EXPECT_TRUE(std::signbit(v));
}
