// HAF: a box standing for the half-space; polygon 0 is its face in the plane.
#include "MeshTypes.h"

using namespace meshutil;

void BuildHafMesh(const TGeoData& b, double e, const TMeshCounts&, TMatrixAA3d& out) {
    TVector nrm = Vec(b, 0);
    if (Len(nrm) < 1e-6) return;
    TVector u = Unit(nrm);
    TAxisFrame f = AxisFrame(u, u * b.Params[3]);
    if (!f.Valid) return;
    std::array<TVector, 8> c{TVector{-e, -e, 0}, {e, -e, 0},     {e, e, 0},     {-e, e, 0},
                             {-e, -e, 2 * e},    {e, -e, 2 * e}, {e, e, 2 * e}, {-e, e, 2 * e}};
    for (TVector& p : c) p = f.Place(p);
    BoxFaces(c, out);
}
