// HEX: right regular hexagonal prism, base centre V, axis H, width W across flats, normal A.
#include "BodyTypes.h"

#include <algorithm>
#include <numbers>

void HexPlanes(const TGeoData& b, THexPlanes& out) {
    TVector v = ParamVec(b, 1), h = ParamVec(b, 4), a = ParamVec(b, 8);
    double w = Param(b, 7);
    out.Width = {Dot(h, h), w * w, w * w, w * w};
    out.Q[0] = v, out.N[0] = h;
    out.N[1] = a * (w / Length(a));
    out.Q[1] = v - out.N[1] * 0.5;
    double hl = Length(h);
    TVector u{h.x / hl, h.y / hl, h.z / hl};
    for (int k = 0; k < 2; ++k) {
        double th = (k == 0 ? 60.0 : -60.0) * std::numbers::pi / 180;
        double c = std::cos(th), s = std::sin(th), oc = 1 - c;
        // R = cos.I + (1 - cos).u.uT + sin.[u]x
        double r[3][3] = {{c + oc * u.x * u.x, oc * u.x * u.y - s * u.z, oc * u.x * u.z + s * u.y},
                          {oc * u.y * u.x + s * u.z, c + oc * u.y * u.y, oc * u.y * u.z - s * u.x},
                          {oc * u.z * u.x - s * u.y, oc * u.z * u.y + s * u.x, c + oc * u.z * u.z}};
        const TVector& n = out.N[1];
        TVector rn{r[0][0] * n.x + r[0][1] * n.y + r[0][2] * n.z,
                   r[1][0] * n.x + r[1][1] * n.y + r[1][2] * n.z,
                   r[2][0] * n.x + r[2][1] * n.y + r[2][2] * n.z};
        out.N[static_cast<size_t>(2 + k)] = rn;
        out.Q[static_cast<size_t>(2 + k)] = v - rn * 0.5;
    }
}

namespace {
void Extent(const TGeoData& b, double e[6]) {
    TVector v = ParamVec(b, 1), t = v + ParamVec(b, 4);
    double m = 2 * Param(b, 7) / std::sqrt(3.0);
    e[0] = std::min(v.x, t.x) - m, e[1] = std::max(v.x, t.x) + m;
    e[2] = std::min(v.y, t.y) - m, e[3] = std::max(v.y, t.y) + m;
    e[4] = std::min(v.z, t.z) - m, e[5] = std::max(v.z, t.z) + m;
}

void Prepare(const TGeoData& b, TBodyPrep& p) {
    HexPlanes(b, p.Hex);
}

// The end slab and two side slabs already close a prism around the hexagonal one.
bool Bound(const TGeoData& b, const TBodyPrep& p, double box[6]) {
    const THexPlanes& x = p.Hex;
    TVector v = ParamVec(b, 1);
    TVector n[3] = {x.N[0], x.N[1], x.N[2]};
    double lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
        double off = Dot(v - x.Q[static_cast<size_t>(k)], n[k]);
        lo[k] = -off, hi[k] = x.Width[static_cast<size_t>(k)] - off;
    }
    return SlabBox(v, n, lo, hi, box);
}

bool Inside(const TGeoData&, const TBodyPrep& p, double x, double y, double z) {
    const THexPlanes& h = p.Hex;
    TVector pt{x, y, z};
    for (size_t k = 0; k < 4; ++k) {
        double s = Dot(pt - h.Q[k], h.N[k]);
        if (!(0 <= s && s <= h.Width[k])) return false;
    }
    return true;
}

void Crossings(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
               TMatrixA3d& pts, TMatrixAi& codes) {
    SlabCrossings(o, d, b, 4, p.Hex.Q.data(), p.Hex.N.data(), p.Hex.Width.data(), pts, codes);
}
} // namespace

const TBodyType HexType = {"HEX", 10, Extent, Prepare, Bound, Inside, Crossings, true};
