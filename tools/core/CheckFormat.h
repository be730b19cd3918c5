// Number formatting and entry conversion shared by the check and the volume calculation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// "%W.Pe": P significant digits, capital E, signed exponent of at least three digits,
// right-aligned in W characters (12.5 with W=11, P=4 gives " 1.250E+001").
std::string FormatE(double value, int precision, int width = 0);
// "%.Pf": fixed with P decimals.
std::string FormatF(double value, int precision);
// "%Ws": right-aligned in W characters (never cut).
std::string PadLeft(const std::string& text, int width);

// Entry conversion with "." as the decimal separator whatever the locale. Leading and trailing
// blanks are allowed; anything else that is not part of the number refuses the text.
std::optional<double> ParseReal(const std::string& text);
std::optional<int32_t> ParseInt(const std::string& text);
// A dialog entry as a real; on failure a message naming the field and the text.
bool ParseRealEntry(const std::string& text, const char* label, double& out, std::string& error);
// The six box entries Xmin .. Zmax that both tools' dialogs have, as reals.
template <class Entries, class Settings>
bool ParseBoxEntries(const Entries& e, Settings& s, std::string& error) {
    return ParseRealEntry(e.Xmin, "X min", s.Xmin, error) &&
           ParseRealEntry(e.Xmax, "X max", s.Xmax, error) &&
           ParseRealEntry(e.Ymin, "Y min", s.Ymin, error) &&
           ParseRealEntry(e.Ymax, "Y max", s.Ymax, error) &&
           ParseRealEntry(e.Zmin, "Z min", s.Zmin, error) &&
           ParseRealEntry(e.Zmax, "Z max", s.Zmax, error);
}
