// Internal helpers of the tokenizers.
#pragma once

#include "input/Reader.h"

#include <string>
#include <string_view>

// Calls emit for each word of SplitWords, without building a list. A quoted word is
// assembled in a scratch string; plain words are views into the line.
template <class Emit> void ForEachWord(std::string_view line, Emit&& emit) {
    std::string joined;
    size_t i = 0, n = line.size();
    while (i < n) {
        while (i < n && line[i] == ' ') ++i;
        if (i >= n) break;
        if (line[i] == '"') {
            // the quoted part keeps its blanks; text right after the closing quote joins it
            size_t q = line.find('"', i + 1);
            size_t qe = q == std::string_view::npos ? n : q;
            joined.assign(line.substr(i + 1, qe - i - 1));
            i = q == std::string_view::npos ? n : q + 1;
            size_t s = i;
            while (i < n && line[i] != ' ') ++i;
            joined.append(line.substr(s, i - s));
            std::string_view t = TrimView(joined);
            if (!t.empty()) emit(t);
        } else {
            size_t s = i;
            while (i < n && line[i] != ' ') ++i;
            std::string_view t = TrimView(line.substr(s, i - s));
            if (!t.empty()) emit(t);
        }
    }
}
