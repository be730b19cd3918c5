// Data files of scenes that the render benchmark and the pixel tests draw, written as text in
// the free layout so that they load through the ordinary reader.
#pragma once

#include <string>

namespace testscenes {

// A world sphere (radius 100) holding count small spheres, boxes and cylinders that do not
// touch each other; the world zone subtracts every one of them, each small body is a zone of
// its own, and an outer void zone subtracts the world.
std::string WorldMinusBodies(int count, unsigned seed = 1);

// 100 zones of 3 to 5 terms: a cylinder minus 2 to 4 spheres around its axis.
std::string HundredZones();

// One body of every type; zones that subtract, intersect and cut them against each other.
std::string AllTypes();

// GSTA SPHR: count concentric spheres (radii 1 .. count); zone k is sphere k minus sphere k-1.
std::string ConcentricSpheres(int count);

// Writes text to path; false when it cannot.
bool WriteText(const std::string& path, const std::string& text);

} // namespace testscenes
