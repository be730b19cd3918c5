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

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep&,
               TMatrixA3d& pts, TMatrixAi& codes) {
    const double* p = b.Params.data();
    const double oc[3] = {o.x, o.y, o.z}, dc[3] = {d.x, d.y, d.z};
    for (int i = 0; i < 6; ++i) {
        int axis = i >> 1;
        double dv = dc[axis];
        if (dv == 0) continue;
        double num = p[i] - oc[axis];
        // The plane lies behind the start when num and dv differ in sign; the division is
        // skipped only where its quotient cannot underflow to -0 (which counts as t >= 0).
        if ((num < 0) != (dv < 0) && std::fabs(num) > std::fabs(dv) * 1e-300) continue;
        double t = num / dv;
        if (!(t >= 0)) continue;
        TVector q = RayPoint(o, d, t);
        const double qc[3] = {q.x, q.y, q.z};
        int a1 = axis == 0 ? 1 : 0, a2 = axis == 2 ? 1 : 2;
        if (p[2 * a1] <= qc[a1] && qc[a1] <= p[2 * a1 + 1] && p[2 * a2] <= qc[a2] &&
            qc[a2] <= p[2 * a2 + 1])
            AddHit(o, d, b, t, i, pts, codes);
    }
}
} // namespace

const TBodyType RppType = {"RPP", 6, Extent, nullptr, Bound, Inside, Crossings, false, true};
