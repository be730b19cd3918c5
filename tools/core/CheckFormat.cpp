#include "CheckFormat.h"

#include "input/Reader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

std::string FormatE(double value, int precision, int width) {
    if (precision < 1) precision = 1;
    std::string s;
    if (std::isnan(value)) {
        s = "NAN";
    } else if (std::isinf(value)) {
        s = value < 0 ? "-INF" : "INF";
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*E", precision - 1, value);
        s = buf;
        // C gives at least two exponent digits; three are wanted.
        size_t e = s.find('E');
        if (e != std::string::npos && e + 2 < s.size()) {
            std::string digits = s.substr(e + 2);
            while (digits.size() < 3) digits.insert(digits.begin(), '0');
            s = s.substr(0, e + 2) + digits;
        }
    }
    return PadLeft(s, width);
}

std::string FormatF(double value, int precision) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", precision, value);
    return buf;
}

std::string PadLeft(const std::string& text, int width) {
    if (width <= 0 || static_cast<int>(text.size()) >= width) return text;
    return std::string(static_cast<size_t>(width) - text.size(), ' ') + text;
}

static std::string Trimmed(const std::string& text) {
    size_t a = text.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    size_t b = text.find_last_not_of(" \t\r\n");
    return text.substr(a, b - a + 1);
}

std::optional<double> ParseReal(const std::string& text) {
    std::string t = Trimmed(text);
    if (t.empty()) return std::nullopt;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (*first == '+') ++first;
    if (first == last || *first == '+') return std::nullopt;
    double v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ec != std::errc() || ptr != last) return std::nullopt;
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<int32_t> ParseInt(const std::string& text) {
    std::string t = Trimmed(text);
    if (t.empty()) return std::nullopt;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (*first == '+') ++first;
    if (first == last || *first == '+' || (*first == '-' && first != t.data())) return std::nullopt;
    int32_t v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || ptr != last) return std::nullopt;
    return v;
}

bool ParseRealEntry(const std::string& text, const char* label, double& out, std::string& error) {
    std::optional<double> v = ParseReal(text);
    if (!v) {
        error = std::string(label) + ": \"" + text +
                "\" is not a valid number (use \".\" as the decimal separator).";
        return false;
    }
    if (std::fabs(*v) > MaxDataReal) {
        // the ray arithmetic would overflow into infinities and NaNs
        error =
            std::string(label) + ": \"" + text + "\" is out of range (" + MaxDataRealText + ").";
        return false;
    }
    out = *v;
    return true;
}
