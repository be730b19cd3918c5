// Splits the lines of a data file into the reader's tokens, in the file's layout. Both the
// token pre-pass (which writes them into the work files) and the one-pass load use it.
// Internal to the input library.
#pragma once

#include "input/TextUtil.h"

#include <string_view>

class TLineTokenizer {
  public:
    enum class TLayout { Fixed, Free, Csv };

    // Layout and time column from the data file's first line (which is then tokenized
    // like any other line).
    void Start(std::string_view firstLine) {
        const std::string upper = UpperCase(firstLine);
        Layout = Contains(upper, "FREE") ? TLayout::Free
                 : Contains(upper, "CSV") ? TLayout::Csv
                                          : TLayout::Fixed;
        TimeColumn = Contains(firstLine, "TIME");
        HistoryPart = false;
    }

    TLayout Layout = TLayout::Fixed;
    bool TimeColumn = false;  // "TIME" in the first line: fixed-column records carry a time
    bool HistoryPart = false; // fixed-column layout after the "MEND" line

    // Calls emit(token, upper) for each token of `line` (without its line feed and CR) from
    // byte `from` on; upper: the token is to be upper-cased. Bytes before `from` were taken
    // by the caller (a material list read in place); the "MEND" test still sees the whole line.
    template <class Emit> void Line(std::string_view line, size_t from, Emit&& emit) {
        auto words = [&](std::string_view text) {
            ForEachWord(text, [&](std::string_view t) { emit(t, true); });
        };
        switch (Layout) {
        case TLayout::Free:
            words(line.substr(from));
            break;
        case TLayout::Csv: {
            size_t start = 0;
            for (size_t i = 0; i < line.size(); ++i) {
                if (line[i] == ',') {
                    emit(TrimView(line.substr(start, i - start)), true);
                    start = i + 1;
                }
            }
            if (start < line.size()) emit(TrimView(line.substr(start)), true);
            break;
        }
        case TLayout::Fixed:
            if (!HistoryPart) {
                words(line.substr(from));
                const std::string_view t = TrimView(line);
                if (t.size() == 4 && UpperCase(t) == "MEND") HistoryPart = true;
            } else if (!line.empty() && line[0] == '9') {
                emit("9", false);
                emit(Columns(line, 2, 6) == "-1" ? "-1" : "1", false);
            } else if (!line.empty() && line[0] >= '4' && line[0] <= '6') {
                emit(line.substr(0, 1), false);
                emit(Columns(line, 2, 14), false);
                emit(Columns(line, 15, 27), false);
                emit(Columns(line, 28, 40), false);
                emit(Columns(line, 41, 50), false);
                emit(Columns(line, 51, 54), false);
                const std::string_view w = Columns(line, 55, 64);
                emit(w.empty() ? std::string_view("1") : w, false);
                if (TimeColumn) emit(Columns(line, 65, 76), false);
            } else {
                words(line);
            }
            break;
        }
    }

    static bool Contains(std::string_view s, std::string_view what) {
        return s.find(what) != std::string_view::npos;
    }

  private:
    // Column field of a fixed-column line: 1-based columns first..last, trimmed.
    static std::string_view Columns(std::string_view line, size_t first, size_t last) {
        if (line.size() < first) return {};
        const size_t len = std::min(line.size(), last) - (first - 1);
        return TrimView(line.substr(first - 1, len));
    }
};
