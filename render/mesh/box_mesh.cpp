// BOX: six faces from the corner V and the edges H1, H2, H3, each turned outwards.
#include "MeshTypes.h"

using namespace meshutil;

void BuildBoxMesh(const TGeoData& b, double, const TMeshCounts&, TMatrixAA3d& out) {
    TVector v = Vec(b, 0), h1 = Vec(b, 3), h2 = Vec(b, 6), h3 = Vec(b, 9);
    TVector c0 = v, c1 = v + h1, c2 = v + h1 + h2, c3 = v + h2;
    TVector c4 = v + h3, c5 = c1 + h3, c6 = c2 + h3, c7 = c3 + h3;
    auto face = [&](TMatrixA3d poly, const TVector& ref) {
        OrientPolygon(poly, ref);
        out.push_back(std::move(poly));
    };
    face({c0, c1, c2, c3}, h3 * -1.0);
    face({c4, c5, c6, c7}, h3);
    face({c0, c1, c5, c4}, h2 * -1.0);
    face({c3, c2, c6, c7}, h2);
    face({c0, c3, c7, c4}, h1 * -1.0);
    face({c1, c2, c6, c5}, h1);
}
