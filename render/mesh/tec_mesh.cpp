// TEC: capped truncated elliptic cone; the top ellipse is the base scaled by k.
#include "MeshTypes.h"

void BuildTecMesh(const TGeoData& b, double, const TMeshCounts& c, TMatrixAA3d& out) {
    meshutil::BuildEllipticTube(b, c.TecSlices, c.TecStacks, b.Params[12], out);
}
