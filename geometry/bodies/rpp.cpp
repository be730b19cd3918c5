// RPP: box with faces parallel to the coordinate planes.
#include "BodyTypes.h"

namespace {
void Extent(const TGeoData& b, double e[6]) {
    for (int i = 0; i < 6; ++i) e[i] = b.Params[static_cast<size_t>(i)];
}

bool Bound(const TGeoData& b, const TBodyPrep&, double box[6]) {
    Extent(b, box);
    return true;
}

bool Inside(const TGeoData& b, const TBodyPrep&, double x, double y, double z) {
    const auto& p = b.Params;
    return p[0] <= x && x <= p[1] && p[2] <= y && y <= p[3] && p[4] <= z && z <= p[5];
}

double Comp(const TVector& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep&,
               TMatrixA3d& pts, TMatrixAi& codes) {
    const auto& p = b.Params;
    for (int i = 0; i < 6; ++i) {
        int axis = i / 2;
        double dc = Comp(d, axis);
        if (dc == 0) continue;
        double t = (p[static_cast<size_t>(i)] - Comp(o, axis)) / dc;
        if (!(t >= 0)) continue;
        TVector q{o.x + t * d.x, o.y + t * d.y, o.z + t * d.z};
        bool ok = true;
        for (int other = 0; other < 3 && ok; ++other) {
            if (other == axis) continue;
            double c = Comp(q, other);
            ok = p[static_cast<size_t>(2 * other)] <= c && c <= p[static_cast<size_t>(2 * other + 1)];
        }
        if (ok) AddHit(o, d, b, t, i, pts, codes);
    }
}
} // namespace

const TBodyType RppType = {"RPP", 6, Extent, nullptr, Bound, Inside, Crossings, false, true};
