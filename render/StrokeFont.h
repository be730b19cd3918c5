// Stroke font of the 3-D text: one glyph per character code 32..127 in the unit cell
// (0 <= x, y <= 1; digits and capitals between y 0.2187 and 0.875), each glyph at most four
// line strips given as index ranges into one shared point list. GL-free data.
#pragma once

#include <array>
#include <cstdint>

struct TStrokePoint {
    float X, Y; // z is always 0
};

struct TStrokeGlyph {
    // (first, last) into StrokePoints; first > last is an empty strip
    std::array<std::array<int16_t, 2>, 4> Strips;
};

inline constexpr int StrokeFirstCode = 32;
inline constexpr int StrokeGlyphCount = 96;

extern const std::array<TStrokeGlyph, 96> StrokeGlyphs;
extern const int StrokePointCount;
extern const TStrokePoint StrokePoints[];
