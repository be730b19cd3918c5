#include "ColorNames.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

struct TColorName {
    TColor Value;
    const char* Name;
};

// Written names first; the aliases after them are accepted when read.
const TColorName Names[] = {
    {0x000000, "clBlack"},  {0x000080, "clMaroon"},     {0x008000, "clGreen"},
    {0x008080, "clOlive"},  {0x800000, "clNavy"},       {0x800080, "clPurple"},
    {0x808000, "clTeal"},   {0x808080, "clGray"},       {0xC0C0C0, "clSilver"},
    {0x0000FF, "clRed"},    {0x00FF00, "clLime"},       {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"},   {0xFF00FF, "clFuchsia"},    {0xFFFF00, "clAqua"},
    {0xFFFFFF, "clWhite"},  {0xC0DCC0, "clMoneyGreen"}, {0xF0CAA6, "clSkyBlue"},
    {0xF0FBFF, "clCream"},  {0xA4A0A0, "clMedGray"},    {0xC0C0C0, "clLtGray"},
    {0x808080, "clDkGray"},
};
constexpr int WrittenNames = 20;

bool SameName(std::string_view a, const char* b) {
    std::string_view bv(b);
    if (a.size() != bv.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)bv[i])) return false;
    return true;
}

bool ParseNumber(std::string_view s, int base, TColor& out) {
    if (s.empty() || s.size() > 10) return false;
    unsigned long long v = 0;
    for (char ch : s) {
        int d;
        if (ch >= '0' && ch <= '9')
            d = ch - '0';
        else if (base == 16 && ch >= 'a' && ch <= 'f')
            d = ch - 'a' + 10;
        else if (base == 16 && ch >= 'A' && ch <= 'F')
            d = ch - 'A' + 10;
        else
            return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFull) return false;
    }
    out = (TColor)v;
    return true;
}

} // namespace

std::string ColorToString(TColor colour) {
    for (int i = 0; i < WrittenNames; ++i)
        if (Names[i].Value == colour) return Names[i].Name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%.8X", (unsigned)colour);
    return buf;
}

bool TryStringToColor(const std::string& text, TColor& colour) {
    std::string_view s(text);
    while (!s.empty() && (unsigned char)s.front() <= ' ') s.remove_prefix(1);
    while (!s.empty() && (unsigned char)s.back() <= ' ') s.remove_suffix(1);
    if (s.empty()) return false;
    for (const auto& n : Names)
        if (SameName(s, n.Name)) {
            colour = n.Value;
            return true;
        }
    if (s.front() == '$') return ParseNumber(s.substr(1), 16, colour);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        return ParseNumber(s.substr(2), 16, colour);
    if (s.front() == '-') return false;
    return ParseNumber(s, 10, colour);
}

TColor StringToColor(const std::string& text, TColor def) {
    TColor c;
    return TryStringToColor(text, c) ? c : def;
}
