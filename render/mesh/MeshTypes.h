// One mesh builder per body type; each lives in its own file in this folder.
#pragma once

#include "BodyMesh.h"

#include <cmath>

using TMeshBuilder = void (*)(const TGeoData& b, double hafExtent, const TMeshCounts& c,
                              TMatrixAA3d& out);

// Indexed by the position in BodySymbols (canonical order); null for no builder.
TMeshBuilder MeshBuilderOf(int kind);

// A type whose bodies all share the mesh of one unit body, each placed as origin + scale * p:
// the builder's points for the body equal that placement of the unit body's points.
struct TUnitShape {
    void (*MakeUnit)(TGeoData& unit);
    void (*Place)(const TGeoData& body, TVector& origin, double& scale);
};
const TUnitShape* UnitShapeOf(int kind); // null for a type built body by body
void MakeUnitSph(TGeoData& unit);
void PlaceSph(const TGeoData& body, TVector& origin, double& scale);

void BuildRppMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildRccMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildSphMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildTrcMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildTorMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildBoxMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildRecMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildTecMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildEllMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildWedMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildArbMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildHafMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildHexMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);
void BuildGelMesh(const TGeoData&, double, const TMeshCounts&, TMatrixAA3d&);

// Shared helpers of the builders.
namespace meshutil {

inline constexpr double Pi = 3.14159265358979323846;

inline TVector Vec(const TGeoData& b, int first) { // parameters first..first+2 (0-based)
    return {b.Params[static_cast<size_t>(first)], b.Params[static_cast<size_t>(first + 1)],
            b.Params[static_cast<size_t>(first + 2)]};
}
inline double Len(const TVector& v) {
    return std::sqrt(Dot(v, v));
}
inline TVector Unit(const TVector& v) {
    double l = Len(v);
    return l > 0 ? v * (1.0 / l) : v;
}
// Standard right-handed rotations.
inline TVector RotX(const TVector& p, double a) {
    double c = std::cos(a), s = std::sin(a);
    return {p.x, p.y * c - p.z * s, p.y * s + p.z * c};
}
inline TVector RotY(const TVector& p, double a) {
    double c = std::cos(a), s = std::sin(a);
    return {p.x * c + p.z * s, p.y, -p.x * s + p.z * c};
}
inline TVector RotZ(const TVector& p, double a) {
    double c = std::cos(a), s = std::sin(a);
    return {p.x * c - p.y * s, p.x * s + p.y * c, p.z};
}

// Grid G[i][j], i around (0..n+1, column n+1 = axis points), j along (0..m).
using TGrid = std::vector<std::vector<TVector>>;
inline TGrid MakeGrid(int columns, int rows) {
    return TGrid(static_cast<size_t>(columns), std::vector<TVector>(static_cast<size_t>(rows)));
}
inline const TVector& G(const TGrid& g, int i, int j) {
    return g[static_cast<size_t>(i)][static_cast<size_t>(j)];
}

// The polygons of a capped tube grid: n base triangles, n top triangles, then the n*m sides.
void CappedTubePolygons(const TGrid& g, int n, int m, TMatrixAA3d& out);

// The six faces of a box from its eight corners in the RPP corner order.
void BoxFaces(const std::array<TVector, 8>& c, TMatrixAA3d& out);

// Rotation that carries local x onto unit(x) and local y towards y (in the plane of both);
// returns false when x is zero. Columns of the matrix are the images of the local axes.
bool FrameFromXY(const TVector& x, const TVector& y, TVector& ex, TVector& ey, TVector& ez);

// Elliptic tube (REC, TEC): ring scale s(j) = 1 - (1 - k)*j/m.
void BuildEllipticTube(const TGeoData& b, int n, int m, double k, TMatrixAA3d& out);

} // namespace meshutil
