// GEL: general ellipsoid, centre V and semi-axis vectors A1, A2, A3.
#include "BodyTypes.h"

#include <algorithm>

namespace {
// K[0..2] = |Ak|^2, K[3] = how far behind the start a root may lie and still count as a
// crossing at the start: a millionth of the smallest semi-axis
void Extent(const TGeoData& b, double e[6]) {
    TVector v = ParamVec(b, 1), a1 = ParamVec(b, 4), a2 = ParamVec(b, 7), a3 = ParamVec(b, 10);
    double mx = std::max({std::fabs(a1.x), std::fabs(a2.x), std::fabs(a3.x)});
    double my = std::max({std::fabs(a1.y), std::fabs(a2.y), std::fabs(a3.y)});
    double mz = std::max({std::fabs(a1.z), std::fabs(a2.z), std::fabs(a3.z)});
    e[0] = v.x - mx, e[1] = v.x + mx, e[2] = v.y - my, e[3] = v.y + my;
    e[4] = v.z - mz, e[5] = v.z + mz;
}

void Prepare(const TGeoData& b, TBodyPrep& p) {
    for (int k = 0; k < 3; ++k) {
        TVector a = ParamVec(b, 4 + 3 * k);
        p.K[static_cast<size_t>(k)] = Dot(a, a);
    }
    p.K[3] = 1e-6 * std::sqrt(std::min({p.K[0], p.K[1], p.K[2]}));
}

bool Bound(const TGeoData& b, const TBodyPrep& p, double box[6]) {
    TVector r[3];
    for (int k = 0; k < 3; ++k) r[k] = ParamVec(b, 4 + 3 * k) * (1.0 / p.K[static_cast<size_t>(k)]);
    return BallBox(ParamVec(b, 1), r, box);
}

bool Inside(const TGeoData& b, const TBodyPrep& p, double x, double y, double z) {
    TVector w{x - b.Params[0], y - b.Params[1], z - b.Params[2]};
    double sum = 0;
    for (int k = 0; k < 3; ++k) {
        double s = Dot(w, ParamVec(b, 4 + 3 * k)) / p.K[static_cast<size_t>(k)];
        sum += s * s;
    }
    return sum <= 1;
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    TVector w = o - ParamVec(b, 1);
    double a = 0, bb = 0, c = 0;
    for (int k = 0; k < 3; ++k) {
        TVector ak = ParamVec(b, 4 + 3 * k);
        double len = p.K[static_cast<size_t>(k)];
        double dk = Dot(d, ak) / len, ok = Dot(w, ak) / len;
        a += dk * dk, bb += dk * ok, c += ok * ok;
    }
    c -= 1;
    double roots[2];
    int n = 0;
    if (a == 0) {
        if (bb != 0) roots[n++] = -c / (2 * bb);
    } else {
        double disc = bb * bb - a * c;
        if (disc < 0) return;
        double s = std::sqrt(disc);
        roots[n++] = (-bb - s) / a;
        roots[n++] = (-bb + s) / a;
    }
    for (int i = 0; i < n; ++i) {
        double t = roots[i];
        if (t >= 0)
            AddHit(o, d, b, t, 1, pts, codes);
        else if (t >= -p.K[3])
            AddHit(o, d, b, 0.0, 1, pts, codes);
    }
}
} // namespace

const TBodyType GelType = {"GEL", 12, Extent, Prepare, Bound, Inside, Crossings, true, true};
