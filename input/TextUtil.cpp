// Tokenizers and locale-independent number conversion.
#include "input/Reader.h"
#include "input/TextUtil.h"

#include <charconv>
#include <cstdint>
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

// Exact for a mantissa below 2^53 and a power of ten up to 22: both are doubles, so one
// correctly rounded multiplication or division gives the correctly rounded value. The
// usual data file numbers ("-8.50000E-01") take this path; the rest goes to from_chars.
// Returns 1 done, 0 not a real, -1 use the general conversion.
static int FastReal(std::string_view s, double& value) {
    static const double pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = s.data();
    const char* end = p + s.size();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    uint64_t m = 0;
    int digits = 0, significant = 0, exp10 = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (m == 0 && *p == '0') continue;
        if (++significant <= 19)
            m = m * 10 + static_cast<uint64_t>(*p - '0');
        else
            ++exp10;
    }
    if (p < end && *p == '.') {
        for (++p; p < end && *p >= '0' && *p <= '9'; ++p, ++digits) {
            if (m == 0 && *p == '0') {
                --exp10;
                continue;
            }
            if (++significant <= 19) {
                m = m * 10 + static_cast<uint64_t>(*p - '0');
                --exp10;
            }
        }
    }
    if (digits == 0) return 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool eneg = false;
        if (p < end && (*p == '+' || *p == '-')) eneg = *p++ == '-';
        if (p == end) return 0;
        int e = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p)
            if (e < 100000) e = e * 10 + (*p - '0');
        exp10 += eneg ? -e : e;
    }
    if (p != end) return 0;
    if (m == 0) {
        value = negative ? -0.0 : 0.0;
        return 1;
    }
    if (significant > 19 || m > (uint64_t{1} << 53) || exp10 < -22 || exp10 > 22) return -1;
    double v = static_cast<double>(m);
    v = exp10 < 0 ? v / pow10[-exp10] : v * pow10[exp10];
    value = negative ? -v : v;
    return 1;
}

bool TryStrToFloatDot(std::string_view s, double& value) {
    if (int fast = FastReal(s, value); fast >= 0) return fast == 1;
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

std::string ShownText(std::string_view s, size_t maxBytes) {
    bool cut = s.size() > maxBytes;
    if (cut) {
        size_t n = maxBytes;
        // do not end inside a multi-byte character
        while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
        s = s.substr(0, n);
    }
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size() + 3);
    auto escape = [&out](unsigned char c) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    };
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F)
                escape(c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        // Well-formed UTF-8 passes, except the C1 controls U+0080..U+009F (a terminal may
        // act on them); every other byte above 0x7F is shown as a number.
        size_t len = c >= 0xF0 ? (c <= 0xF4 ? 4 : 0) : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool ok = len > 0 && i + len <= s.size();
        uint32_t cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (size_t k = 1; ok && k < len; ++k) {
            unsigned char t = static_cast<unsigned char>(s[i + k]);
            ok = (t & 0xC0) == 0x80;
            cp = (cp << 6) | (t & 0x3F);
        }
        ok = ok && cp >= 0xA0 && !(len == 3 && cp < 0x800) && !(len == 4 && cp < 0x10000) &&
             cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (ok) {
            out.append(s.substr(i, len));
            i += len;
        } else {
            escape(c);
            ++i;
        }
    }
    if (cut) out += "...";
    return out;
}
