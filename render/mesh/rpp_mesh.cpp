// RPP: the six faces of an axis-parallel box.
#include "MeshTypes.h"

void BuildRppMesh(const TGeoData& b, double, const TMeshCounts&, TMatrixAA3d& out) {
    const auto& p = b.Params;
    double x0 = p[0], x1 = p[1], y0 = p[2], y1 = p[3], z0 = p[4], z1 = p[5];
    meshutil::BoxFaces({TVector{x0, y0, z0},
                        {x1, y0, z0},
                        {x1, y1, z0},
                        {x0, y1, z0},
                        {x0, y0, z1},
                        {x1, y0, z1},
                        {x1, y1, z1},
                        {x0, y1, z1}},
                       out);
}
