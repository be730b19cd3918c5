// The drawn surface of a lattice: only the faces between cells of different shown materials,
// merged into large rectangles where the neighbours agree, so that a frame costs the surface of
// the material regions, not the cell count. GL-free; built after a load and after the display
// settings are applied.
#pragma once

#include "geometry/Lattice.h"

#include <array>
#include <cstdint>
#include <vector>

// A face rectangle of the lattice surface: in the plane Axis = C, spanning [U0, U1] x [V0, V1]
// on the plane's other two axes (in order x, y, z), facing +Axis when Up, -Axis otherwise,
// bounding the cell Cell (its material region lies on the other side of the normal).
struct TLatticeRect {
    int Axis = 0;
    bool Up = true;
    double C = 0, U0 = 0, U1 = 0, V0 = 0, V1 = 0;
    size_t Cell = 0;
};

// The rectangles bounding the shown cells: a cell is shown when shown[its material slot] is
// true (see TLattice::MaterialSlot). Neighbours of different slots, and a shown cell next to
// one not shown or to the outside, are parted by a face on the shown side. With cutBox given
// ({xmin, xmax, ...}), the part of every cell inside it is taken out: the cut faces lie on the
// box exactly.
void LatticeRects(const TLattice& lattice, const std::vector<bool>& shown,
                  const std::array<double, 6>* cutBox, std::vector<TLatticeRect>& out);

// geo.LatticeFaces for a display type (0 Body, 1 Zone, 2 Material): in Material display the
// visible materials above 0 in their colours; in Zone display the cells of materials above 0,
// in Body display every cell, each face in the colour of the zone (body) of its cell. Nothing
// for a zone list that is no lattice. Widens geo.MeshReach to the lattice.
void BuildLatticeFaces(TGeometry& geo, int viewType, bool cutOn, const TGeoData& cutBox);
