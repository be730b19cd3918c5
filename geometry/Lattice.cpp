#include "Lattice.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <unordered_map>

namespace {

bool NonDecreasing(const std::vector<double>& v) {
    if (v.size() < 2) return false;
    for (size_t i = 0; i < v.size(); ++i) {
        if (!std::isfinite(v[i])) return false;
        if (i > 0 && v[i] < v[i - 1]) return false;
    }
    return true;
}

// The distance the crossing sort orders by (that of the ray walk, written out the same way).
double DistanceFrom(const TVector& a, const TVector& b) {
    double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double Coord(const TVector& v, int a) { return a == 0 ? v.x : a == 1 ? v.y : v.z; }

} // namespace

bool TLattice::SetEdges(std::vector<double> x, std::vector<double> y, std::vector<double> z) {
    if (!NonDecreasing(x) || !NonDecreasing(y) || !NonDecreasing(z)) return false;
    Edge[0] = std::move(x);
    Edge[1] = std::move(y);
    Edge[2] = std::move(z);
    return true;
}

void TLattice::SetMaterials(const std::vector<int32_t>& numbers) {
    // The table lists the numbers in the order they first occur. Small numbers (the rule) are
    // looked up in an array, others in a map; runs of one material, the rule in a phantom,
    // look up nothing. Two passes: the table first, then the codes written at their width.
    constexpr int32_t Direct = 4096;
    constexpr uint32_t None = std::numeric_limits<uint32_t>::max();
    std::vector<uint32_t> direct(Direct, None);
    std::unordered_map<int32_t, uint32_t> other;
    Table.clear();
    auto slotOf = [&](int32_t m) {
        uint32_t* slot;
        if (m >= 0 && m < Direct) {
            slot = &direct[static_cast<size_t>(m)];
        } else {
            auto it = other.try_emplace(m, None).first;
            slot = &it->second;
        }
        if (*slot == None) {
            *slot = static_cast<uint32_t>(Table.size());
            Table.push_back(m);
        }
        return *slot;
    };
    const size_t n = numbers.size();
    for (size_t k = 0; k < n; ++k)
        if (k == 0 || numbers[k] != numbers[k - 1]) slotOf(numbers[k]);
    Code8.clear(), Code16.clear(), Code32.clear();
    CodeBytes = Table.size() <= 256 ? 1 : Table.size() <= 65536 ? 2 : 4;
    auto fill = [&](auto& codes) {
        using TCode = typename std::decay_t<decltype(codes)>::value_type;
        codes.resize(n);
        TCode code = 0;
        for (size_t k = 0; k < n; ++k) {
            if (k == 0 || numbers[k] != numbers[k - 1]) code = static_cast<TCode>(slotOf(numbers[k]));
            codes[k] = code;
        }
    };
    if (CodeBytes == 1)
        fill(Code8);
    else if (CodeBytes == 2)
        fill(Code16);
    else
        fill(Code32);
}

size_t TLattice::BytesFor(size_t cells, size_t distinctMaterials, size_t edges) {
    size_t width = distinctMaterials <= 256 ? 1 : distinctMaterials <= 65536 ? 2 : 4;
    return cells * width + edges * sizeof(double) + distinctMaterials * sizeof(int32_t);
}

size_t TLattice::Bytes() const {
    return Code8.capacity() + Code16.capacity() * 2 + Code32.capacity() * 4 +
           (Edge[0].capacity() + Edge[1].capacity() + Edge[2].capacity()) * sizeof(double) +
           Table.capacity() * sizeof(int32_t);
}

void TLattice::CellOf(size_t k, size_t& ix, size_t& jy, size_t& kz) const {
    ix = k % Cells(0);
    k /= Cells(0);
    jy = k % Cells(1);
    kz = k / Cells(1);
}

std::array<double, 6> TLattice::CellBox(size_t k) const {
    size_t i[3];
    CellOf(k, i[0], i[1], i[2]);
    std::array<double, 6> box{};
    for (int a = 0; a < 3; ++a) {
        box[static_cast<size_t>(2 * a)] = Edge[a][i[a]];
        box[static_cast<size_t>(2 * a + 1)] = Edge[a][i[a] + 1];
    }
    return box;
}

std::array<double, 6> TLattice::Box() const {
    return {Edge[0].front(), Edge[0].back(), Edge[1].front(),
            Edge[1].back(),  Edge[2].front(), Edge[2].back()};
}

bool TLattice::Range(int axis, double c, size_t& lo, size_t& hi) const {
    if (std::isnan(c)) return false;
    const std::vector<double>& e = Edge[axis];
    // cell i holds c when e[i] <= c <= e[i + 1]
    size_t lb = static_cast<size_t>(std::lower_bound(e.begin(), e.end(), c) - e.begin());
    size_t ub = static_cast<size_t>(std::upper_bound(e.begin(), e.end(), c) - e.begin());
    const size_t n = e.size() - 1;
    if (ub == 0 || lb > n) return false;
    lo = lb == 0 ? 0 : lb - 1;
    hi = std::min(ub - 1, n - 1);
    return lo <= hi;
}

int TLattice::Locate(double x, double y, double z, TMatrixAi& result) const {
    result.clear();
    size_t lo[3], hi[3];
    if (!Range(0, x, lo[0], hi[0]) || !Range(1, y, lo[1], hi[1]) || !Range(2, z, lo[2], hi[2]))
        return 0;
    for (size_t kz = lo[2]; kz <= hi[2]; ++kz)
        for (size_t jy = lo[1]; jy <= hi[1]; ++jy)
            for (size_t ix = lo[0]; ix <= hi[0]; ++ix)
                result.push_back(static_cast<int32_t>(CellIndex(ix, jy, kz)));
    return static_cast<int>(result.size());
}

void TLattice::RayCrossings(const TVector& o, const TVector& d, TMatrixA3d& points,
                            TMatrixAi& codes) const {
    const double oc[3] = {o.x, o.y, o.z}, dc[3] = {d.x, d.y, d.z};
    // The stretch of the ray near the lattice's box, widened against rounding; the faces there
    // are then tested exactly as an RPP tests its own.
    double t0 = 0, t1 = std::numeric_limits<double>::infinity();
    double pad[3];
    for (int a = 0; a < 3; ++a) {
        const double lo = Edge[a].front(), hi = Edge[a].back();
        pad[a] = 1e-9 * (hi - lo) + 1e-12 * std::max({std::fabs(lo), std::fabs(hi),
                                                      std::fabs(oc[a])});
        if (dc[a] == 0) {
            if (!(lo <= oc[a] && oc[a] <= hi)) return; // no face of any cell is reached
            continue;
        }
        double ta = (lo - pad[a] - oc[a]) / dc[a], tb = (hi + pad[a] - oc[a]) / dc[a];
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(t0, ta);
        t1 = std::min(t1, tb);
    }
    if (!(t0 <= t1)) return;

    struct THit {
        double Dist;
        uint64_t Key; // cell * 8 + plane: the order of the body-by-body crossings
        TVector P;
    };
    thread_local std::vector<THit> hits;
    hits.clear();
    for (int a = 0; a < 3; ++a) {
        const double dv = dc[a];
        if (dv == 0) continue;
        const int a1 = a == 0 ? 1 : 0, a2 = a == 2 ? 1 : 2;
        const std::vector<double>& e = Edge[a];
        double ca = oc[a] + t0 * dv, cb = oc[a] + t1 * dv;
        if (ca > cb) std::swap(ca, cb);
        double w = pad[a] + 1e-12 * std::max(std::fabs(std::isfinite(ca) ? ca : 0),
                                             std::fabs(std::isfinite(cb) ? cb : 0));
        size_t first = static_cast<size_t>(std::lower_bound(e.begin(), e.end(), ca - w) - e.begin());
        size_t last = static_cast<size_t>(std::upper_bound(e.begin(), e.end(), cb + w) - e.begin());
        first = first > 0 ? first - 1 : 0;
        last = std::min(last + 1, e.size());
        const size_t n = e.size() - 1;
        for (size_t b = first; b < last; ++b) {
            // the plane test of an RPP face, step by step
            double num = e[b] - oc[a];
            bool behind = ((num < 0) != (dv < 0)) & (std::fabs(num) > std::fabs(dv) * 1e-300);
            if (behind) continue;
            double t = num / dv;
            if (!(t >= 0)) continue;
            TVector q{o.x + t * d.x, o.y + t * d.y, o.z + t * d.z};
            if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) continue;
            size_t lo1, hi1, lo2, hi2;
            if (!Range(a1, Coord(q, a1), lo1, hi1) || !Range(a2, Coord(q, a2), lo2, hi2))
                continue;
            double dist = DistanceFrom(o, q);
            if (std::isnan(dist)) dist = HUGE_VAL;
            size_t idx[3];
            // the cell below the plane meets it with its upper face, the one above with its lower
            for (int side = 0; side < 2; ++side) {
                if (side == 0 ? b == 0 : b >= n) continue;
                idx[a] = side == 0 ? b - 1 : b;
                const uint64_t plane = static_cast<uint64_t>(2 * a + (side == 0 ? 1 : 0));
                for (size_t i1 = lo1; i1 <= hi1; ++i1)
                    for (size_t i2 = lo2; i2 <= hi2; ++i2) {
                        idx[a1] = i1;
                        idx[a2] = i2;
                        uint64_t k = CellIndex(idx[0], idx[1], idx[2]);
                        hits.push_back({dist, k * 8 + plane, q});
                    }
            }
        }
    }
    std::sort(hits.begin(), hits.end(), [](const THit& x, const THit& y) {
        return x.Dist < y.Dist || (x.Dist == y.Dist && x.Key < y.Key);
    });
    for (const THit& h : hits) {
        points.push_back(h.P);
        const int64_t number = static_cast<int64_t>(h.Key / 8) + 1;
        codes.push_back(static_cast<int32_t>(
            static_cast<uint32_t>(number * 10 + static_cast<int64_t>(h.Key % 8))));
    }
}

size_t ZoneCount(const TAZoneData& zones) {
    return zones.Lattice ? zones.Lattice->CellCount() : zones.size();
}

std::string ZoneName(const TAZoneData& zones, size_t k) {
    if (zones.Lattice) return k < zones.Lattice->CellCount() ? std::to_string(k + 1) : std::string();
    return k < zones.size() ? zones[k].Name : std::string();
}

int32_t ZoneMaterial(const TAZoneData& zones, size_t k) {
    if (zones.Lattice) return k < zones.Lattice->CellCount() ? zones.Lattice->Material(k) : 0;
    return k < zones.size() ? zones[k].Material : 0;
}

void BodiesAt(const TAGeoData& bodies, const TAZoneData& zones, double x, double y, double z,
              std::vector<int32_t>& numbers) {
    numbers.clear();
    if (zones.Lattice) {
        TMatrixAi cells;
        zones.Lattice->Locate(x, y, z, cells);
        for (int32_t k : cells) numbers.push_back(k + 1);
        return;
    }
    for (const TGeoData& body : bodies)
        if (PointInBody(body, x, y, z)) numbers.push_back(body.Number);
}
