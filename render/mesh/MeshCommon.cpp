#include "MeshTypes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace meshutil;

TMeshBuilder MeshBuilderOf(int kind) {
    // Same order as BodySymbols.
    static const TMeshBuilder table[BodyTypeCount] = {
        BuildRppMesh, BuildRccMesh, BuildSphMesh, BuildTrcMesh, BuildTorMesh,
        BuildBoxMesh, BuildRecMesh, BuildTecMesh, BuildEllMesh, BuildWedMesh,
        BuildArbMesh, BuildHafMesh, BuildHexMesh, BuildGelMesh};
    if (kind < 0 || kind >= BodyTypeCount) return nullptr;
    return table[kind];
}

void BuildMesh(TGeoData& body, bool invert, double hafExtent, const TMeshCounts& counts) {
    body.MeshGrid.clear();
    TMeshBuilder build = MeshBuilderOf(BodyKind(body.Symbol));
    if (!build) return;
    build(body, hafExtent, counts, body.MeshGrid);
    if (!invert) return;
    for (TMatrixA3d& poly : body.MeshGrid)
        if (poly.size() >= 3) std::swap(poly[0], poly[2]);
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
