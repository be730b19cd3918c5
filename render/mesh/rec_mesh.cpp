// REC: capped elliptic cylinder, the ellipse's first semi-axis along R1.
#include "MeshTypes.h"

void BuildRecMesh(const TGeoData& b, double, const TMeshCounts& c, TMatrixAA3d& out) {
    meshutil::BuildEllipticTube(b, c.RecSlices, c.RecStacks, 1.0, out);
}
