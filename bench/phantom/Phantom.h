// CT-like voxel phantoms written as GSTA SLAB data files: air around an elliptic body outline of
// soft tissue, two lungs, a spine and a ring of ribs, on a lattice of any size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TPhantomOptions {
    int NX = 64, NY = 64, NZ = 32; // cells per axis
    double Voxel = 0.1;            // cell size (cm) in x and y; z uses 2x
    bool Uneven = false;           // boundaries spaced unevenly (cells from 0.5 to 1.5 voxels)
    int64_t TrackPoints = 0;       // photon track points in the cells, with their zones
    uint32_t Seed = 1;
};

// Materials of the phantom.
enum TPhantomMaterial : int32_t { PhAir = 1, PhTissue = 2, PhLung = 3, PhBone = 4 };

// Cell boundaries of each axis (cells + 1 values, increasing, centred on the origin).
std::vector<double> PhantomEdges(const TPhantomOptions& o, int axis);
// Material of cell (i, j, k).
int32_t PhantomMaterial(const TPhantomOptions& o, int i, int j, int k);

// Writes the data file; false with a message in `error` when it cannot be written.
bool WritePhantomFile(const std::string& path, const TPhantomOptions& o, std::string& error);
