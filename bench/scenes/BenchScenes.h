// Geometries the benchmarks (and the zone-search identity test) run on, with a box that holds
// them, for ray starts and volume grids.
#pragma once

#include "DetectorGeometry.h"
#include "geometry/MyCGUnit.h"

#include <string>
#include <vector>

using TBenchScene = TScene; // Box: xmin, xmax, ymin, ymax, zmin, zmax

// Generated(n), prepared ("detector" at n = 200).
TBenchScene DetectorScene(int n);
// A side x side x side lattice of touching voxels (RPP), one zone each, in a void sphere.
TBenchScene PhantomScene(int side = 10);
// The shielding-style geometry of ShieldingGeometry.h, read through the data file reader, with
// its plane-heavy buried target cut into `targetSlices` slices (0: none). False (with the
// reader's message in `error`) when it does not load.
bool ShieldingScene(TBenchScene& scene, std::string& error, double scale = 1,
                    int targetSlices = 0);
// Slices of the buried target in the "planes" scene: about 220 half-spaces more.
inline constexpr int PlaneSlices = 200;
// `count` concentric spheres of radii 1..count, a shell zone between each two, in a void: a ray
// from the centre crosses every sphere ("nested" in NamedScene: 30,000 spheres).
TBenchScene NestedScene(int count);
// The built-in sample.
bool SampleScene(TBenchScene& scene);
// Loads a data file through the reader; the box is the union of the body extents.
bool FileScene(const std::string& path, TBenchScene& scene, std::string& error);
// By name: "detector" (or a body count such as "200"), "phantom", "shielding", "planes" (the
// shielding geometry with its buried target), "nested", "sample", or a data file path.
bool NamedScene(const std::string& name, TBenchScene& scene, std::string& error);
