// Colour values as text: the standard colour names ("clBlack", "clRed", ...) where one exists,
// otherwise "$" and eight hex digits 00BBGGRR. No Qt here.
#pragma once

#include "geometry/MyCGUnit.h"

#include <string>

// The name of a colour, or "$00BBGGRR" when it has none.
std::string ColorToString(TColor colour);
// A colour name, "$" hex number, "0x" hex number or decimal number; false on anything else.
bool TryStringToColor(const std::string& text, TColor& colour);
// Like TryStringToColor; returns def for text that is not a colour.
TColor StringToColor(const std::string& text, TColor def);
