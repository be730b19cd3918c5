// WED: right-angled wedge, the triangle V, V + H1, V + H2 swept along H3.
#include "BodyTypes.h"

namespace {
// K[0..2] = |Hk|^2 (as BOX)
bool Inside(const TGeoData& b, const TBodyPrep& p, double x, double y, double z) {
    TVector w{x - b.Params[0], y - b.Params[1], z - b.Params[2]};
    double u[3];
    for (int k = 0; k < 3; ++k) {
        u[k] = Dot(w, ParamVec(b, 4 + 3 * k));
        if (!(0 <= u[k] && u[k] <= p.K[static_cast<size_t>(k)])) return false;
    }
    return u[0] * p.K[1] + u[1] * p.K[0] <= p.K[0] * p.K[1];
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    double tNear = -NoBound, tFar = NoBound;
    int nearId = 0, farId = 0;
    TVector w = o - ParamVec(b, 1);
    double len[3], ok[3], dk[3];
    for (int k = 0; k < 3; ++k) {
        TVector h = ParamVec(b, 4 + 3 * k);
        len[k] = p.K[static_cast<size_t>(k)], ok[k] = Dot(w, h), dk[k] = Dot(d, h);
    }
    double s = ok[1] * len[0] + ok[0] * len[1];
    double e = len[0] * len[1] - s;
    // the two legs, faces (P - V).Hk >= 0
    for (int k = 0; k < 2; ++k) {
        if (dk[k] == 0) {
            if (ok[k] < 0 || ok[k] > len[k]) return;
        } else if (dk[k] > 0) {
            if (ok[k] > len[k]) return;
            if (ok[k] <= 0 && -ok[k] / dk[k] > tNear) tNear = -ok[k] / dk[k], nearId = k + 1;
        } else {
            if (ok[k] < 0) return;
            if (-ok[k] / dk[k] < tFar) tFar = -ok[k] / dk[k], farId = k + 1;
        }
    }
    // the two ends along H3
    if (dk[2] == 0) {
        if (ok[2] < 0 || ok[2] > len[2]) return;
    } else if (dk[2] > 0) {
        if (ok[2] <= 0 && -ok[2] / dk[2] > tNear) tNear = -ok[2] / dk[2], nearId = 3;
        double ee = len[2] - ok[2];
        if (ee < 0) return;
        if (ee / dk[2] < tFar) tFar = ee / dk[2], farId = 3;
    } else {
        double ee = len[2] - ok[2];
        if (ee <= 0 && ee / dk[2] > tNear) tNear = ee / dk[2], nearId = 3;
        if (ok[2] < 0) return;
        if (-ok[2] / dk[2] < tFar) tFar = -ok[2] / dk[2], farId = 3;
    }
    // the hypotenuse face
    double g = len[0] * dk[1] + len[1] * dk[0];
    if (g == 0) {
        if (s < 0 || e < 0) return;
    } else if (g > 0) {
        if (e < 0) return;
        if (e / g < tFar) tFar = e / g, farId = 4;
    } else {
        if (e / g > tNear) tNear = e / g, nearId = 4;
    }
    if (nearId + farId <= 0) return;
    if (0 <= tNear && tNear < NoBound) AddHit(o, d, b, tNear, 9, pts, codes);
    if (0 <= tFar && tFar < NoBound) AddHit(o, d, b, tFar, 9, pts, codes);
}
} // namespace

const TBodyType WedType = {
    "WED",     12,  ParallelepipedExtent, ParallelepipedPrepare, ParallelepipedBound, Inside,
    Crossings, true};
