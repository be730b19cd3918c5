// The box that "fit view" frames: what the current display type draws, without the void
// around it. No Qt, no GL: the viewer and trazon-cli frame their views with it.
#pragma once

#include "geometry/MyCGUnit.h"
#include "input/DisplaySettings.h"

#include <array>

using TBox = std::array<double, 6>; // xmin, xmax, ymin, ymax, zmin, zmax

// Enclosing box of what is drawn:
// - bodies (ViewInfoType 0): the visible bodies that take part, with a plus sign, in a zone of
//   a material above 0; when no body does, every visible body;
// - zones (1): the visible zones of a material above 0;
// - materials (2): the zones of the visible materials above 0.
// A zone's box is the union over its OR groups of the intersection of the boxes of the
// group's plus terms; a body or zone without a finite box adds nothing. When nothing drawn
// has a finite box, every body with one counts. False when there is no finite box at all.
bool DrawnBox(const TGeometry& geometry, const TDisplaySettings& settings, TBox& box);
