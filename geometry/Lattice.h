// A box lattice kept as a lattice: cell boundaries on the three axes and one material per cell
// in a compact array, instead of one RPP body and one zone per cell.
//
// Cell k = (kz * NY + jy) * NX + ix (ix fastest) stands for body k and zone k of the
// body-per-cell model: body number k + 1, zone name "k + 1", the zone made of body k alone.
// Every answer here is the one that model gives, computed from the boundaries: cells are closed
// boxes, so a point on a shared face lies in both cells, on an edge in four.
//
//   auto lat = std::make_shared<TLattice>();
//   lat->SetEdges(x, y, z);            // non-decreasing boundaries, at least two per axis
//   lat->SetMaterials(numbers);        // one per cell
//   geometry.Zones.Lattice = lat;      // the zone list then stands for the cells
#pragma once

#include "MyCGUnit.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TLattice {
  public:
    // Boundaries of the cells on each axis; each list non-decreasing with at least two values.
    // False (nothing changed) otherwise.
    bool SetEdges(std::vector<double> x, std::vector<double> y, std::vector<double> z);
    // Material number of every cell, in cell order (CellCount() values). Stored as 1, 2 or 4
    // bytes a cell, by the number of distinct materials.
    void SetMaterials(const std::vector<int32_t>& numbers);
    // Bytes a lattice of these cell counts and distinct materials needs.
    static size_t BytesFor(size_t cells, size_t distinctMaterials, size_t edges);

    const std::vector<double>& Edges(int axis) const { return Edge[axis]; }
    size_t Cells(int axis) const { return Edge[axis].size() - 1; }
    size_t CellCount() const { return Cells(0) * Cells(1) * Cells(2); }
    size_t CellIndex(size_t ix, size_t jy, size_t kz) const {
        return (kz * Cells(1) + jy) * Cells(0) + ix;
    }
    void CellOf(size_t k, size_t& ix, size_t& jy, size_t& kz) const;
    // The closed box of cell k: {xmin, xmax, ymin, ymax, zmin, zmax}.
    std::array<double, 6> CellBox(size_t k) const;
    // Box of all cells.
    std::array<double, 6> Box() const;

    int32_t Material(size_t k) const {
        switch (CodeBytes) {
        case 1:
            return Table[Code8[k]];
        case 2:
            return Table[Code16[k]];
        default:
            return Table[Code32[k]];
        }
    }
    // Distinct material numbers, and the index of each cell's number in that list.
    const std::vector<int32_t>& MaterialTable() const { return Table; }
    uint32_t MaterialSlot(size_t k) const {
        return CodeBytes == 1 ? Code8[k] : CodeBytes == 2 ? Code16[k] : Code32[k];
    }
    size_t Bytes() const;

    // Cells on `axis` whose closed range holds c: [lo, hi]; false when none does.
    bool Range(int axis, double c, size_t& lo, size_t& hi) const;
    // The cells (zone positions) whose closed box holds the point, in cell order: FindZone of
    // the body-per-cell model.
    int Locate(double x, double y, double z, TMatrixAi& result) const;
    // Appends the crossings of the ray with every cell's faces, and sorts them with what was
    // there (element 0 the start) by distance: the list that the crossings of every cell's RPP
    // in body order, sorted by SortCrossings, make. Costs the cells the ray passes.
    void RayCrossings(const TVector& o, const TVector& d, TMatrixA3d& points,
                      TMatrixAi& codes) const;

  private:
    std::array<std::vector<double>, 3> Edge;
    std::vector<int32_t> Table;
    int CodeBytes = 1;
    std::vector<uint8_t> Code8;
    std::vector<uint16_t> Code16;
    std::vector<uint32_t> Code32;
};

// What a zone list tells about its zones, for a list of records and for a lattice alike.
size_t ZoneCount(const TAZoneData& zones);
std::string ZoneName(const TAZoneData& zones, size_t k); // empty beyond the list
int32_t ZoneMaterial(const TAZoneData& zones, size_t k); // 0 beyond the list
// Numbers of the bodies holding the point, in body order; a lattice's bodies are its cells.
void BodiesAt(const TAGeoData& bodies, const TAZoneData& zones, double x, double y, double z,
              std::vector<int32_t>& numbers);
