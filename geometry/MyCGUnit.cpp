#include "MyCGUnit.h"

#include "Lattice.h"
#include "bodies/BodyTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

const std::array<const char*, BodyTypeCount> BodySymbols = {"RPP", "RCC", "SPH", "TRC", "TOR",
                                                            "BOX", "REC", "TEC", "ELL", "WED",
                                                            "ARB", "HAF", "HEX", "GEL"};

const std::array<TColor, 14> BasicPalette = {0x000000, 0xFFFFFF, 0x0000FF, 0xFF00FF, 0x00FFFF,
                                             0x00FF00, 0xFFFF00, 0xFF0000, 0x000080, 0x800080,
                                             0x008080, 0x008000, 0x808000, 0x800000};

TColor PaletteColor(int64_t n) {
    int64_t m = n % 12;
    if (m < 0) m += 12;
    return BasicPalette[static_cast<size_t>(m + 2)];
}

size_t TBodyMesh::First(size_t k) const {
    const std::vector<uint8_t>& c = Source().Count;
    size_t first = 0;
    for (size_t i = 0; i < k && i < c.size(); ++i) first += c[i];
    return first;
}

TMatrixA3d TBodyMesh::Polygon(size_t k) const {
    const TBodyMesh& s = Source();
    TMatrixA3d out;
    if (k >= s.Count.size()) return out;
    size_t first = First(k);
    for (size_t j = 0; j < s.Count[k]; ++j) out.push_back(Place(s.Points[s.Index[first + j]]));
    return out;
}

TMatrixAA3d TBodyMesh::Polygons() const {
    const TBodyMesh& s = Source();
    TMatrixAA3d out;
    out.reserve(s.Count.size());
    size_t first = 0;
    for (uint8_t c : s.Count) {
        TMatrixA3d poly;
        for (size_t j = 0; j < c; ++j) poly.push_back(Place(s.Points[s.Index[first + j]]));
        first += c;
        out.push_back(std::move(poly));
    }
    return out;
}

size_t TBodyMesh::Bytes() const {
    return Points.capacity() * sizeof(TVector) + Index.capacity() * sizeof(uint32_t) +
           Count.capacity();
}

void TGeometry::Clear() {
    Bodies.clear();
    GrownBodies.clear();
    BodyLooks.clear();
    Zones.clear();
    Zones.Lattice.reset();
    ZoneLooks.clear();
    Materials.clear();
    LatticeFaces.clear();
    LatticeQuickFaces.clear();
    MeshReach = 0;
    MeshGeneration = 0;
}

const TBodyType& BodyTypeOf(int kind) {
    static const TBodyType* const table[BodyTypeCount] = {
        &RppType, &RccType, &SphType, &TrcType, &TorType, &BoxType, &RecType,
        &TecType, &EllType, &WedType, &ArbType, &HafType, &HexType, &GelType};
    return *table[kind];
}

int BodyKind(const std::string& symbol) {
    for (int k = 0; k < BodyTypeCount; ++k)
        if (symbol == BodySymbols[static_cast<size_t>(k)]) return k;
    return -1;
}

int ParameterCount(const std::string& symbol) {
    int k = BodyKind(symbol);
    return k < 0 ? 0 : BodyTypeOf(k).ParamCount;
}

int FindBodyIndex(const TAGeoData& bodies, int32_t number) {
    for (size_t i = 0; i < bodies.size(); ++i)
        if (bodies[i].Number == number) return static_cast<int>(i);
    return -1;
}

static int KindOf(const TGeoData& b) {
    return b.Prep.Ready ? b.Prep.Kind : BodyKind(b.Symbol);
}

void BodyExtent(const TGeoData& body, double& xmin, double& xmax, double& ymin, double& ymax,
                double& zmin, double& zmax, double& dmin, double& dmax) {
    int k = KindOf(body);
    if (k < 0) return;
    double e[6];
    BodyTypeOf(k).Extent(body, e);
    xmin = e[0], xmax = e[1], ymin = e[2], ymax = e[3], zmin = e[4], zmax = e[5];
    dmin = std::sqrt(xmin * xmin + ymin * ymin + zmin * zmin);
    dmax = std::sqrt(xmax * xmax + ymax * ymax + zmax * zmax);
    // squares of very large bounds overflow; the scaled length does not
    if (!std::isfinite(dmin)) dmin = std::hypot(xmin, ymin, zmin);
    if (!std::isfinite(dmax)) dmax = std::hypot(xmax, ymax, zmax);
}

namespace {
// Widens a finite enclosing box so that rounding in the inside tests can never accept a point
// outside it. An empty box (min > max) stays as it is; a box with a non-finite bound is unusable.
bool PadBox(std::array<double, 6>& box) {
    bool empty = false, finite = true;
    double size = 0, mag = 0;
    for (int a = 0; a < 3; ++a) {
        double lo = box[static_cast<size_t>(2 * a)], hi = box[static_cast<size_t>(2 * a + 1)];
        if (lo > hi) empty = true;
        if (!std::isfinite(lo) || !std::isfinite(hi)) finite = false;
        size = std::max(size, hi - lo);
        mag = std::max({mag, std::fabs(lo), std::fabs(hi)});
    }
    if (empty) return true;
    if (!finite) return false;
    double pad = 1e-6 * size + 1e-9 * mag + 1e-30;
    for (int a = 0; a < 3; ++a) {
        box[static_cast<size_t>(2 * a)] -= pad;
        box[static_cast<size_t>(2 * a + 1)] += pad;
    }
    return true;
}

constexpr double Inf = std::numeric_limits<double>::infinity();
} // namespace

void PrepareBody(TGeoData& body) {
    TBodyPrep p;
    p.Kind = BodyKind(body.Symbol);
    if (p.Kind >= 0) {
        const TBodyType& t = BodyTypeOf(p.Kind);
        if (t.Prepare) t.Prepare(body, p);
        double box[6];
        if (t.Bound && t.Bound(body, p, box)) {
            std::copy(box, box + 6, p.Box.begin());
            p.Bounded = PadBox(p.Box);
        }
        p.Cull = p.Bounded && t.CullInside;
        const auto& x = p.Box;
        if (p.Bounded && t.CullRays && x[0] <= x[1] && x[2] <= x[3] && x[4] <= x[5]) {
            double hx = (x[1] - x[0]) / 2, hy = (x[3] - x[2]) / 2, hz = (x[5] - x[4]) / 2;
            double r = std::sqrt(hx * hx + hy * hy + hz * hz);
            p.Ball = {x[0] + hx, x[2] + hy, x[4] + hz, 1.001 * r * r,
                      1.001 * (r + 1e-6) * (r + 1e-6)};
            p.RayCull = std::isfinite(p.Ball[4]);
        }
    } else {
        p.Box = {Inf, -Inf, Inf, -Inf, Inf, -Inf}; // contains no point
        p.Bounded = true;
    }
    for (double v : body.Params) p.ParamMag = std::max(p.ParamMag, std::fabs(v));
    p.Ready = true;
    body.Prep = std::move(p);
}

void PrepareBodies(TAGeoData& bodies) {
    for (TGeoData& b : bodies) PrepareBody(b);
}

bool PointInBody(const TGeoData& body, double x, double y, double z) {
    const TBodyPrep& p = body.Prep;
    if (p.Ready) {
        if (p.Kind < 0) return false;
        if (p.Cull && (x < p.Box[0] || x > p.Box[1] || y < p.Box[2] || y > p.Box[3] ||
                       z < p.Box[4] || z > p.Box[5]))
            return false;
        return BodyTypeOf(p.Kind).Inside(body, p, x, y, z);
    }
    int k = BodyKind(body.Symbol);
    if (k < 0) return false;
    const TBodyType& t = BodyTypeOf(k);
    TBodyPrep q;
    if (t.Prepare) t.Prepare(body, q);
    return t.Inside(body, q, x, y, z);
}

namespace {
// Whether the set the inside test accepts is convex, so that a box whose corners all pass lies
// wholly inside.
bool Convex(const TGeoData& b) {
    switch (b.Prep.Kind) {
    case 4:
        return false; // TOR
    case 7:
        return b.Params[12] >= 0; // TEC: a negative ratio makes a double cone
    case 10:
        return b.Prep.Arb.Valid; // ARB
    default:
        return b.Prep.Kind >= 0;
    }
}
} // namespace

TBoxSide BodyBoxSide(const TGeoData& b, const double lo[3], const double hi[3]) {
    const TBodyPrep& p = b.Prep;
    if (!p.Ready) return BodyKind(b.Symbol) < 0 ? TBoxSide::Outside : TBoxSide::Unknown;
    if (p.Kind < 0) return TBoxSide::Outside;
    double size = 0, mag = 0;
    for (int a = 0; a < 3; ++a) {
        if (!(lo[a] <= hi[a]) || !std::isfinite(lo[a]) || !std::isfinite(hi[a]))
            return TBoxSide::Unknown;
        size = std::max(size, hi[a] - lo[a]);
        mag = std::max({mag, std::fabs(lo[a]), std::fabs(hi[a])});
    }
    if (p.Bounded) {
        const auto& x = p.Box; // padded: holds every point the test accepts
        for (int a = 0; a < 3; ++a) {
            size_t i = static_cast<size_t>(2 * a);
            if (x[i + 1] < lo[a] || x[i] > hi[a]) return TBoxSide::Outside;
            size = std::max(size, x[i + 1] - x[i]);
        }
    }
    mag = std::max(mag, p.ParamMag);
    // Far above the rounding of the inside tests near their surfaces.
    double m = 1e-6 * size + 1e-9 * mag;
    if (!std::isfinite(m)) return TBoxSide::Unknown;
    const TBodyType& t = BodyTypeOf(p.Kind);
    if (t.BoxSide) {
        TBoxSide side = t.BoxSide(b, p, lo, hi, m);
        if (side != TBoxSide::Unknown) return side;
    }
    if (!Convex(b)) return TBoxSide::Unknown;
    // Corners pushed out by the margin: all inside means the grown box is inside.
    for (int corner = 0; corner < 8; ++corner) {
        double x = (corner & 1) ? hi[0] + m : lo[0] - m;
        double y = (corner & 2) ? hi[1] + m : lo[1] - m;
        double z = (corner & 4) ? hi[2] + m : lo[2] - m;
        if (!t.Inside(b, p, x, y, z)) return TBoxSide::Unknown;
    }
    return TBoxSide::Inside;
}

bool ZoneGroupCounts(const TZoneData& zone, size_t g) {
    if (g >= zone.BodyIndex.size() || zone.BodyIndex[g].empty()) return false;
    return g == 0 || (g < zone.GroupOp.size() && zone.GroupOp[g] == 'O');
}

bool ZoneContains(const TAGeoData& bodies, const TZoneData& zone, double x, double y, double z) {
    return ZoneHolds(zone, bodies.size(),
                     [&](size_t b) { return PointInBody(bodies[b], x, y, z); });
}

int FindZone(const TAGeoData& bodies, const TAZoneData& zones, TMatrixAi& result, double x,
             double y, double z) {
    if (zones.Lattice) return zones.Lattice->Locate(x, y, z, result);
    result.clear();
    for (size_t i = 0; i < zones.size(); ++i)
        if (ZoneContains(bodies, zones[i], x, y, z)) result.push_back(static_cast<int32_t>(i));
    return static_cast<int>(result.size());
}
