// Shielding-style test geometry written the way geometries converted from other CG codes are
// written: a world bounded by half-spaces (one of them tilted), an infinite-like beam pipe and
// ducts that pierce it, nested layered collimators and side blocks, hundreds of small
// components of every simple body type in racks, a beam dump of nested large cylinders, and air
// zones that subtract almost everything in their hall. The zones partition space exactly, so a
// consistency check of it reports nothing.
//
//   TShieldingOptions o;                    // about 600 bodies and 650 zones
//   o.TargetSlices = 200;                   // optionally ~280 half-spaces more (see below)
//   std::string text = ShieldingDataText(o); // a complete data file (free layout)
#pragma once

#include <cstdint>
#include <string>

struct TShieldingOptions {
    uint32_t Seed = 1;  // picks the component types, sizes and housings
    double Scale = 1;   // every length is multiplied by it (cm at 1)
    int Histories = 0;  // simple beam histories appended after the geometry
    int RackColumns = 14; // components per rack row along the beam (zones grow ~32 per column)
    // Plane-heavy part buried in the ground, as converted inputs write it (0: none): a target
    // cylinder cut into this many slices by parallel half-spaces, inside an octagonal housing
    // of half-spaces split into sectors by planes through its axis, a hexagonal block of
    // half-spaces, and the ground zone written as the union of intersections that subtracting
    // both prisms expands into (one group per pair of their faces).
    int TargetSlices = 0;
};

// Extent of the world (the box its half-spaces bound, before the tilt of the ceiling), at
// Scale 1: x -1200..1200, y -800..800, z -400..600.
inline constexpr double ShieldingWorld[6] = {-1200, 1200, -800, 800, -400, 600};

std::string ShieldingDataText(const TShieldingOptions& options);
// Writes ShieldingDataText to `path`; false with a message in `error` when it cannot.
bool WriteShieldingFile(const std::string& path, const TShieldingOptions& options,
                        std::string& error);
