// WED: the right triangle V, V+H1, V+H2 swept along H3; five faces turned outwards.
#include "MeshTypes.h"

using namespace meshutil;

void BuildWedMesh(const TGeoData& b, double, const TMeshCounts&, TMatrixAA3d& out) {
    TVector v = Vec(b, 0), h1 = Vec(b, 3), h2 = Vec(b, 6), h3 = Vec(b, 9);
    TVector w0 = v, w1 = v + h1, w2 = v + h2, w3 = v + h3, w4 = w1 + h3, w5 = w2 + h3;
    auto face = [&](TMatrixA3d poly, const TVector& ref) {
        OrientPolygon(poly, ref);
        out.push_back(std::move(poly));
    };
    face({w0, w1, w2}, h3 * -1.0);
    face({w3, w4, w5}, h3);
    face({w0, w1, w4, w3}, h2 * -1.0);
    face({w0, w2, w5, w3}, h1 * -1.0);
    face({w1, w2, w5, w4}, h1 + h2);
}
