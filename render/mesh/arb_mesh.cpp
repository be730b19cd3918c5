// ARB: one polygon per face code with 3 or 4 vertices, turned away from the solid.
#include "MeshTypes.h"

#include <algorithm>

using namespace meshutil;

namespace {
double Angle(const TVector& a, const TVector& b) {
    double la = Len(a), lb = Len(b);
    if (la == 0 || lb == 0) return 0;
    return std::acos(std::clamp(Dot(a, b) / (la * lb), -1.0, 1.0));
}
} // namespace

void BuildArbMesh(const TGeoData& b, double, const TMeshCounts&, TMatrixAA3d& out) {
    std::array<TVector, 8> p;
    for (int k = 0; k < 8; ++k) p[static_cast<size_t>(k)] = Vec(b, 3 * k);
    std::vector<std::vector<int>> faces;
    int highest = 0;
    for (int f = 0; f < 6; ++f) {
        long code = std::labs(std::lround(b.Params[static_cast<size_t>(24 + f)]));
        if (code == 0) break; // a zero code ends the face list
        std::vector<int> digits;
        for (long d = 1000; d >= 1; d /= 10) {
            int digit = static_cast<int>((code / d) % 10);
            // digit 9 names no vertex of an ARB
            if (digit >= 1 && digit <= 8) digits.push_back(digit - 1);
        }
        for (int d : digits) highest = std::max(highest, d + 1);
        faces.push_back(std::move(digits));
    }
    for (std::vector<int>& face : faces) {
        if (face.size() != 3 && face.size() != 4) continue;
        auto P = [&](int k) { return p[static_cast<size_t>(face[static_cast<size_t>(k)])]; };
        if (face.size() == 4) {
            // bring the quadrilateral into cyclic order: the widest angle at vertex 0 must be
            // between its two neighbours (vertices 1 and 3)
            TVector d1 = P(1) - P(0), d2 = P(2) - P(0), d3 = P(3) - P(0);
            double a12 = Angle(d1, d2), a13 = Angle(d1, d3), a23 = Angle(d2, d3);
            if (a12 > a13 && a12 >= a23)
                std::swap(face[2], face[3]);
            else if (a23 > a13 && a23 > a12)
                std::swap(face[1], face[2]);
        }
        int ref = -1;
        for (int k = 0; k < std::max(highest, 1) && ref < 0; ++k)
            if (std::find(face.begin(), face.end(), k) == face.end()) ref = k;
        TMatrixA3d poly;
        for (size_t k = 0; k < face.size(); ++k) poly.push_back(P(static_cast<int>(k)));
        if (ref >= 0) {
            TVector n = Unit(Cross(Unit(poly[1] - poly[0]), Unit(poly[2] - poly[1])));
            TVector r = Unit(p[static_cast<size_t>(ref)] - poly[0]);
            if (Dot(n, r) > 0) std::swap(poly[0], poly[2]);
        }
        out.push_back(std::move(poly));
    }
}
