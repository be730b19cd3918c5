// Tokenizers and locale-independent number conversion.
#include "input/Reader.h"
#include "input/TextUtil.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

std::string_view TrimView(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

void SplitWords(std::string_view line, TMatrixAs& out) {
    out.clear();
    ForEachWord(line, [&out](std::string_view t) { out.emplace_back(t); });
}

void SplitAt(std::string_view line, TMatrixAs& out, std::string_view separators) {
    out.clear();
    size_t start = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (separators.find(line[i]) != std::string_view::npos) {
            out.emplace_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < line.size()) out.emplace_back(line.substr(start));
}

bool TryStrToInt32(std::string_view s, int32_t& value) {
    if (!s.empty() && s[0] == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s[0] == '-') return false;
    }
    if (s.empty()) return false;
    int32_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v, 10);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
    value = v;
    return true;
}

bool TryStrToFloatDot(std::string_view s, double& value) {
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    // digits or a dot first: keeps out "inf", "nan" and a second sign
    if (s.empty() || !((s[0] >= '0' && s[0] <= '9') || s[0] == '.')) return false;
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (r.ptr != s.data() + s.size()) return false;
    if (r.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero (or a subnormal); overflow is rejected below.
        static locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
        std::string copy(s);
        v = cLocale ? strtod_l(copy.c_str(), nullptr, cLocale) : HUGE_VAL;
    } else if (r.ec != std::errc()) {
        return false;
    }
    if (!std::isfinite(v)) return false;
    value = negative ? -v : v;
    return true;
}

double StrToFloatDot(std::string_view s) {
    double v = 0;
    if (!TryStrToFloatDot(TrimView(s), v))
        throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
    return v;
}
