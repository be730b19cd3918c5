// Writes data files of many track points for benchmarks and tests: a small geometry and
// shower-like histories (tracks as short random walks away from a common start), in any of
// the reader's three layouts, with or without the TIME column.
#pragma once

#include <cstdint>
#include <string>

enum class TTrackFileLayout { Free, Csv, Fixed };

struct TTrackFileOptions {
    int64_t Points = 1000000;
    TTrackFileLayout Layout = TTrackFileLayout::Free;
    bool Time = false;
    uint64_t Seed = 12345;
    double Scale = 1.0; // every length times this (the geometry and the tracks)
};

// Statistics of what was written.
struct TTrackFileSummary {
    int64_t Points = 0;
    int64_t Histories = 0;
    int64_t Tracks = 0;
    uint64_t Bytes = 0;
};

// False when the file cannot be written.
bool WriteTrackFile(const std::string& path, const TTrackFileOptions& options,
                    TTrackFileSummary* summary = nullptr);

// "free", "csv" or "fixed"; false for any other text.
bool ParseTrackFileLayout(const std::string& text, TTrackFileLayout& layout);
