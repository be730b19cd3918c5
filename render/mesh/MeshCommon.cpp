#include "MeshTypes.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <cstdio>
#include <cstdlib>

using namespace meshutil;

const TUnitShape* UnitShapeOf(int kind) {
    static const TUnitShape sphere{MakeUnitSph, PlaceSph};
    return kind == BodyKind("SPH") ? &sphere : nullptr;
}

TMeshBuilder MeshBuilderOf(int kind) {
    // Same order as BodySymbols.
    static const TMeshBuilder table[BodyTypeCount] = {
        BuildRppMesh, BuildRccMesh, BuildSphMesh, BuildTrcMesh, BuildTorMesh,
        BuildBoxMesh, BuildRecMesh, BuildTecMesh, BuildEllMesh, BuildWedMesh,
        BuildArbMesh, BuildHafMesh, BuildHexMesh, BuildGelMesh};
    if (kind < 0 || kind >= BodyTypeCount) return nullptr;
    return table[kind];
}

namespace {

std::atomic<uint64_t> LastStamp{0};

struct TPointKey {
    uint64_t X, Y, Z;
    bool operator==(const TPointKey&) const = default;
};
struct TPointHash {
    size_t operator()(const TPointKey& k) const {
        return std::hash<uint64_t>()(k.X * 0x9E3779B97F4A7C15ull ^ k.Y * 0xC2B2AE3D27D4EB4Full ^
                                     k.Z);
    }
};
TPointKey KeyOf(const TVector& v) {
    return {std::bit_cast<uint64_t>(v.x), std::bit_cast<uint64_t>(v.y),
            std::bit_cast<uint64_t>(v.z)};
}

// Polygons into the compact form; equal points (bit for bit) are stored once.
void Compact(const TMatrixAA3d& polygons, bool invert, TBodyMesh& out) {
    std::unordered_map<TPointKey, uint32_t, TPointHash> seen;
    size_t refs = 0;
    for (const TMatrixA3d& p : polygons) refs += std::min<size_t>(p.size(), 255);
    out.Index.reserve(refs);
    out.Count.reserve(polygons.size());
    for (const TMatrixA3d& p : polygons) {
        size_t n = std::min<size_t>(p.size(), 255);
        for (size_t j = 0; j < n; ++j) {
            // reversal exchanges points 0 and 2
            size_t from = (invert && n >= 3 && (j == 0 || j == 2)) ? 2 - j : j;
            auto [it, added] =
                seen.try_emplace(KeyOf(p[from]), static_cast<uint32_t>(out.Points.size()));
            if (added) out.Points.push_back(p[from]);
            out.Index.push_back(it->second);
        }
        out.Count.push_back(static_cast<uint8_t>(n));
    }
    out.Points.shrink_to_fit();
}

void BoxOfPoints(const std::vector<TVector>& points, std::array<double, 6>& box) {
    box = {1, -1, 1, -1, 1, -1};
    if (points.empty()) return;
    box = {points[0].x, points[0].x, points[0].y, points[0].y, points[0].z, points[0].z};
    for (const TVector& p : points) {
        box[0] = std::min(box[0], p.x), box[1] = std::max(box[1], p.x);
        box[2] = std::min(box[2], p.y), box[3] = std::max(box[3], p.y);
        box[4] = std::min(box[4], p.z), box[5] = std::max(box[5], p.z);
    }
}

// The unit mesh of a placed type, one per tessellation and winding, shared by all its bodies.
std::shared_ptr<const TBodyMesh> UnitMesh(int kind, bool invert, const TMeshCounts& counts) {
    struct TEntry {
        int Kind;
        bool Invert;
        TMeshCounts Counts;
        std::shared_ptr<const TBodyMesh> Mesh;
    };
    static std::mutex lock;
    static std::vector<TEntry> made;
    std::lock_guard<std::mutex> hold(lock);
    for (const TEntry& e : made)
        if (e.Kind == kind && e.Invert == invert &&
            std::memcmp(&e.Counts, &counts, sizeof counts) == 0)
            return e.Mesh;
    TGeoData unit;
    unit.Symbol = BodySymbols[static_cast<size_t>(kind)];
    UnitShapeOf(kind)->MakeUnit(unit);
    TMatrixAA3d polygons;
    MeshBuilderOf(kind)(unit, 0, counts, polygons);
    auto mesh = std::make_shared<TBodyMesh>();
    Compact(polygons, invert, *mesh);
    BoxOfPoints(mesh->Points, mesh->Box);
    made.push_back({kind, invert, counts, mesh});
    return mesh;
}

} // namespace

void BuildMesh(TGeoData& body, bool invert, double hafExtent, const TMeshCounts& counts) {
    TBodyMesh& mesh = body.MeshGrid;
    mesh.clear();
    mesh.Stamp = ++LastStamp;
    int kind = BodyKind(body.Symbol);
    TMeshBuilder build = MeshBuilderOf(kind);
    if (!build) return;
    if (const TUnitShape* shape = UnitShapeOf(kind)) {
        mesh.Shared = UnitMesh(kind, invert, counts);
        shape->Place(body, mesh.Origin, mesh.Scale);
        const std::array<double, 6>& u = mesh.Shared->Box;
        if (mesh.Shared->Points.empty()) return;
        // placing is monotone in each coordinate, so the unit box's corners bound the points
        const double origin[3] = {mesh.Origin.x, mesh.Origin.y, mesh.Origin.z};
        for (size_t a = 0; a < 3; ++a) {
            double lo = origin[a] + u[2 * a] * mesh.Scale;
            double hi = origin[a] + u[2 * a + 1] * mesh.Scale;
            mesh.Box[2 * a] = std::min(lo, hi), mesh.Box[2 * a + 1] = std::max(lo, hi);
        }
        return;
    }
    TMatrixAA3d polygons;
    build(body, hafExtent, counts, polygons);
    Compact(polygons, invert, mesh);
    BoxOfPoints(mesh.Points, mesh.Box);
}

void OrientPolygon(TMatrixA3d& polygon, const TVector& reference) {
    if (polygon.size() < 3) return;
    TVector n = Unit(Cross(Unit(polygon[1] - polygon[0]), Unit(polygon[2] - polygon[1])));
    if (Dot(n, Unit(reference)) < 0) std::swap(polygon[0], polygon[2]);
}

TAxisFrame AxisFrame(const TVector& axis, const TVector& origin) {
    TAxisFrame f;
    f.Origin = origin;
    f.Length = Len(axis);
    if (f.Length < 1e-6) return f;
    double d = std::sqrt(axis.y * axis.y + axis.z * axis.z);
    if (d >= 1e-6) {
        double c = std::clamp(axis.z / d, -1.0, 1.0);
        f.Alpha = axis.y >= 0 ? -std::acos(c) : std::acos(c);
    }
    f.Beta = std::asin(std::clamp(axis.x / f.Length, -1.0, 1.0));
    f.Valid = true;
    return f;
}

TVector TAxisFrame::Place(const TVector& local) const {
    return RotX(RotY(local, Beta), Alpha) + Origin;
}

TVector TAxisFrame::ToLocal(const TVector& dir) const {
    return RotY(RotX(dir, -Alpha), -Beta);
}

double RoundTo4Digits(double v) {
    if (!std::isfinite(v)) return v;
    char text[64];
    std::snprintf(text, sizeof text, "%.3e", v);
    return std::strtod(text, nullptr);
}

namespace meshutil {

void CappedTubePolygons(const TGrid& g, int n, int m, TMatrixAA3d& out) {
    out.reserve(out.size() + static_cast<size_t>(n * (m + 2)));
    for (int i = 0; i < n; ++i) out.push_back({G(g, n + 1, 0), G(g, i + 1, 0), G(g, i, 0)});
    for (int i = 0; i < n; ++i) out.push_back({G(g, n + 1, m), G(g, i, m), G(g, i + 1, m)});
    for (int j = 0; j < m; ++j)
        for (int i = 0; i < n; ++i)
            out.push_back({G(g, i, j), G(g, i + 1, j), G(g, i + 1, j + 1), G(g, i, j + 1)});
}

void BoxFaces(const std::array<TVector, 8>& c, TMatrixAA3d& out) {
    out.push_back({c[0], c[3], c[2], c[1]}); // zmin
    out.push_back({c[0], c[1], c[5], c[4]}); // ymin
    out.push_back({c[1], c[2], c[6], c[5]}); // xmax
    out.push_back({c[2], c[3], c[7], c[6]}); // ymax
    out.push_back({c[3], c[0], c[4], c[7]}); // xmin
    out.push_back({c[4], c[5], c[6], c[7]}); // zmax
}

bool FrameFromXY(const TVector& x, const TVector& y, TVector& ex, TVector& ey, TVector& ez) {
    if (Len(x) < 1e-12) return false;
    ex = Unit(x);
    TVector t = y - ex * Dot(y, ex);
    if (Len(t) < 1e-9 * std::max(1.0, Len(y))) {
        // y gives no direction: any perpendicular will do (the solid is symmetric about x)
        TVector helper = std::fabs(ex.x) < 0.9 ? TVector{1, 0, 0} : TVector{0, 1, 0};
        t = helper - ex * Dot(helper, ex);
    }
    ey = Unit(t);
    ez = Cross(ex, ey);
    return true;
}

void BuildEllipticTube(const TGeoData& b, int n, int m, double k, TMatrixAA3d& out) {
    TVector v = Vec(b, 0), h = Vec(b, 3), r1 = Vec(b, 6), r2 = Vec(b, 9);
    TAxisFrame f = AxisFrame(h, v);
    if (!f.Valid || n < 1 || m < 1) return;
    double a = Len(r1), bb = Len(r2);
    TVector lr = f.ToLocal(r1);
    // Turn the ring so that its first semi-axis ends up along R1.
    double gamma = (lr.x == 0 && lr.y == 0) ? 0.0 : std::atan2(lr.y, lr.x);
    TGrid g = MakeGrid(n + 2, m + 1);
    for (int j = 0; j <= m; ++j) {
        double s = 1.0 - (1.0 - k) * j / m;
        double z = j * f.Length / m;
        for (int i = 0; i <= n; ++i) {
            double th = i * 2 * Pi / n;
            TVector p{a * std::cos(th) * s, bb * std::sin(th) * s, z};
            g[static_cast<size_t>(i)][static_cast<size_t>(j)] = f.Place(RotZ(p, gamma));
        }
        g[static_cast<size_t>(n + 1)][static_cast<size_t>(j)] = f.Place({0, 0, z});
    }
    CappedTubePolygons(g, n, m, out);
}

} // namespace meshutil
