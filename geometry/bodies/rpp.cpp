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

// Written without data-dependent branches until the hits are known: which planes lie ahead
// changes at random from ray to ray. The results are those of the plain plane-by-plane test.
void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep&,
               TMatrixA3d& pts, TMatrixAi& codes) {
    static constexpr int Other1[3] = {1, 0, 0}, Other2[3] = {2, 2, 1};
    const double* p = b.Params.data();
    const double oc[3] = {o.x, o.y, o.z}, dc[3] = {d.x, d.y, d.z};
    // The plane lies behind the start when num and dv differ in sign; the division is skipped
    // only where its quotient cannot underflow to -0 (which counts as t >= 0).
    double num[6];
    int cand[6], n = 0;
    for (int i = 0; i < 6; ++i) {
        double dv = dc[i >> 1];
        num[i] = p[i] - oc[i >> 1];
        bool behind = ((num[i] < 0) != (dv < 0)) & (std::fabs(num[i]) > std::fabs(dv) * 1e-300);
        cand[n] = i;
        n += !((dv == 0) | behind);
    }
    double ht[6];
    int hk[6], m = 0;
    for (int c = 0; c < n; ++c) {
        int i = cand[c], axis = i >> 1;
        double t = num[i] / dc[axis];
        TVector q = RayPoint(o, d, t);
        const double qc[3] = {q.x, q.y, q.z};
        int a1 = Other1[axis], a2 = Other2[axis];
        bool ok = (t >= 0) & (p[2 * a1] <= qc[a1]) & (qc[a1] <= p[2 * a1 + 1]) &
                  (p[2 * a2] <= qc[a2]) & (qc[a2] <= p[2 * a2 + 1]);
        ht[m] = t, hk[m] = i;
        m += ok;
    }
    for (int h = 0; h < m; ++h) AddHit(o, d, b, ht[h], hk[h], pts, codes);
}
} // namespace

const TBodyType RppType = {"RPP", 6, Extent, nullptr, Bound, Inside, Crossings, false, true};
