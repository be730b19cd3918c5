// BOX: corner V and three perpendicular edge vectors H1, H2, H3.
#include "BodyTypes.h"

#include <algorithm>

namespace {
// K[0..2] = |Hk|^2
void Corners(const TGeoData& b, TVector c[8]) {
    TVector v = ParamVec(b, 1), h1 = ParamVec(b, 4), h2 = ParamVec(b, 7), h3 = ParamVec(b, 10);
    c[0] = v, c[1] = v + h1, c[2] = v + h1 + h2, c[3] = v + h1 + h3;
    c[4] = v + h1 + h2 + h3, c[5] = v + h2, c[6] = v + h3, c[7] = v + h2 + h3;
}
} // namespace

// Shared with WED: the extent of the parallelepiped on V, H1, H2, H3.
void ParallelepipedExtent(const TGeoData& b, double e[6]) {
    TVector c[8];
    Corners(b, c);
    e[0] = e[1] = c[0].x, e[2] = e[3] = c[0].y, e[4] = e[5] = c[0].z;
    for (int i = 1; i < 8; ++i) {
        e[0] = std::min(e[0], c[i].x), e[1] = std::max(e[1], c[i].x);
        e[2] = std::min(e[2], c[i].y), e[3] = std::max(e[3], c[i].y);
        e[4] = std::min(e[4], c[i].z), e[5] = std::max(e[5], c[i].z);
    }
}

// Shared with WED: K[0..2] = |Hk|^2 and the box of 0 <= (P - V).Hk <= |Hk|^2.
void ParallelepipedPrepare(const TGeoData& b, TBodyPrep& p) {
    for (int k = 0; k < 3; ++k) {
        TVector h = ParamVec(b, 4 + 3 * k);
        p.K[static_cast<size_t>(k)] = Dot(h, h);
    }
}
bool ParallelepipedBound(const TGeoData& b, const TBodyPrep& p, double box[6]) {
    TVector n[3] = {ParamVec(b, 4), ParamVec(b, 7), ParamVec(b, 10)};
    double lo[3] = {0, 0, 0}, hi[3] = {p.K[0], p.K[1], p.K[2]};
    return SlabBox(ParamVec(b, 1), n, lo, hi, box);
}

namespace {
bool Inside(const TGeoData& b, const TBodyPrep& p, double x, double y, double z) {
    TVector w{x - b.Params[0], y - b.Params[1], z - b.Params[2]};
    for (int k = 0; k < 3; ++k) {
        double u = Dot(w, ParamVec(b, 4 + 3 * k));
        if (!(0 <= u && u <= p.K[static_cast<size_t>(k)])) return false;
    }
    return true;
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    TVector v = ParamVec(b, 1);
    TVector q[3] = {v, v, v};
    TVector n[3] = {ParamVec(b, 4), ParamVec(b, 7), ParamVec(b, 10)};
    SlabCrossings(o, d, b, 3, q, n, p.K.data(), pts, codes);
}
} // namespace

const TBodyType BoxType = {
    "BOX",     12,  ParallelepipedExtent, ParallelepipedPrepare, ParallelepipedBound, Inside,
    Crossings, true};
