// Small helpers shared by the geometry tests.
#pragma once

#include "geometry/MyCGUnit.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <random>
#include <string>

inline TGeoData MakeBody(const std::string& symbol, int number, std::initializer_list<double> p) {
    TGeoData b;
    b.Symbol = symbol;
    b.Number = number;
    size_t i = 0;
    for (double v : p) b.Params[i++] = v;
    return b;
}

inline TGeoData Prepared(TGeoData b) {
    PrepareBody(b);
    return b;
}

struct TCrossing {
    double t;
    TVector p;
    int code;
};

// All crossings of one body along the ray, with their distances, sorted by distance.
inline std::vector<TCrossing> SortedCrossings(const TGeoData& b, const TVector& o,
                                              const TVector& d) {
    TMatrixA3d pts;
    TMatrixAi codes;
    RayBodyIntersections(o, d, b, pts, codes);
    std::vector<TCrossing> out;
    for (size_t i = 0; i < pts.size(); ++i) out.push_back({Dot(pts[i] - o, d), pts[i], codes[i]});
    std::sort(out.begin(), out.end(),
              [](const TCrossing& a, const TCrossing& c) { return a.t < c.t; });
    return out;
}

inline TVector Unit(TVector v) {
    return v * (1.0 / Length(v));
}

inline TVector RandomUnit(std::mt19937_64& rng) {
    std::normal_distribution<double> n(0, 1);
    for (;;) {
        TVector v{n(rng), n(rng), n(rng)};
        double l = Length(v);
        if (l > 1e-3) return v * (1.0 / l);
    }
}

inline bool Inside(const TGeoData& b, const TVector& p) {
    return PointInBody(b, p.x, p.y, p.z);
}

// One or more sample bodies of every type, prepared, in rotated frames, with their volumes.
inline constexpr double Pi = std::numbers::pi;

// A rotated orthonormal frame so that no body is aligned with the coordinate axes.
struct TFrame {
    TVector e1, e2, e3;
};
inline TFrame Frame() {
    TVector a = Unit({1, 2, 3});
    double th = 0.7, c = std::cos(th), s = std::sin(th);
    auto rot = [&](const TVector& v) { // Rodrigues
        return v * c + Cross(a, v) * s + a * (Dot(a, v) * (1 - c));
    };
    return {rot({1, 0, 0}), rot({0, 1, 0}), rot({0, 0, 1})};
}

struct TCase {
    std::string Name;
    TGeoData Body;
    double Volume; // < 0: unbounded, no volume test
};

inline TGeoData Body(const std::string& s, std::vector<double> p) {
    TGeoData b;
    b.Symbol = s;
    b.Number = 7;
    for (size_t i = 0; i < p.size(); ++i) b.Params[i] = p[i];
    return b;
}
inline std::vector<double> Cat(std::initializer_list<TVector> vs,
                               std::initializer_list<double> tail = {}) {
    std::vector<double> out;
    for (const TVector& v : vs) out.insert(out.end(), {v.x, v.y, v.z});
    out.insert(out.end(), tail);
    return out;
}

inline std::vector<TCase> SampleBodies() {
    TFrame f = Frame();
    TVector v{0.3, -0.2, 0.1};
    std::vector<TCase> c;
    c.push_back({"RPP", Body("RPP", {-1, 2, -0.5, 1.5, 0, 3}), 18});
    c.push_back({"RCC", Body("RCC", Cat({v, f.e3 * 3}, {1.2})), Pi * 1.44 * 3});
    c.push_back({"SPH", Body("SPH", {0.5, 0.5, -0.5, 1.7}), 4.0 / 3 * Pi * std::pow(1.7, 3)});
    c.push_back({"TRC", Body("TRC", Cat({v, f.e1 * 2.5}, {1.5, 0.6})),
                 Pi * 2.5 / 3 * (1.5 * 1.5 + 1.5 * 0.6 + 0.6 * 0.6)});
    double ring = 2 * Pi * Pi * 2.5 * 0.7 * 0.7;
    c.push_back({"TOR full z", Body("TOR", {0, 0, 0.2, 2.5, 0.7, 0, 0, 3}), ring});
    double ring2 = 2 * Pi * Pi * 2 * 0.6 * 0.6;
    c.push_back(
        {"TOR x sector through 0", Body("TOR", {0.1, 0, 0, 2, 0.6, 300, 60, 1}), ring2 / 3});
    c.push_back({"TOR y half", Body("TOR", {0, 0.1, 0, 2, 0.6, 90, -90, 2}), ring2 / 2});
    c.push_back({"TOR code 7 is z", Body("TOR", {0, 0, 0, 2, 0.6, 45, 200, 7}), ring2 * 155 / 360});
    c.push_back({"BOX", Body("BOX", Cat({v, f.e1 * 2, f.e2 * 1.5, f.e3 * 0.8})), 2 * 1.5 * 0.8});
    c.push_back(
        {"REC", Body("REC", Cat({v, f.e3 * 2, f.e1 * 1.3, f.e2 * 0.7})), Pi * 1.3 * 0.7 * 2});
    c.push_back({"TEC", Body("TEC", Cat({v, f.e2 * 2, f.e3 * 1.2, f.e1 * 0.8}, {0.4})),
                 Pi * 1.2 * 0.8 * 2 * (1 + 0.4 + 0.16) / 3});
    {
        double a = 1.5, cc = 0.8, b2 = a * a - cc * cc;
        c.push_back({"ELL", Body("ELL", Cat({v - f.e1 * cc, v + f.e1 * cc}, {2 * a})),
                     4.0 / 3 * Pi * a * b2});
    }
    c.push_back(
        {"WED", Body("WED", Cat({v, f.e1 * 1.5, f.e2 * 2, f.e3 * 1.2})), 0.5 * 1.5 * 2 * 1.2});
    {
        // triangular prism: two triangles and three quads
        TVector p[6] = {{0, 0, 0}, {2, 0, 0}, {0, 1.5, 0}, {0, 0, 1}, {2, 0, 1}, {0, 1.5, 1}};
        std::vector<double> q;
        for (int i = 0; i < 8; ++i) {
            TVector w = i < 6 ? p[i] : TVector{0, 0, 0};
            TVector r = v + f.e1 * w.x + f.e2 * w.y + f.e3 * w.z;
            if (i >= 6) r = {0, 0, 0};
            q.insert(q.end(), {r.x, r.y, r.z});
        }
        q.insert(q.end(), {1230, 4560, 1254, 1364, 2356, 0});
        c.push_back({"ARB prism", Body("ARB", q), 1.5});
    }
    {
        // cube of side 1.5, digits of the codes in mixed orders
        std::vector<double> q;
        for (int i = 0; i < 8; ++i) {
            double x = (i & 1) ? 1.5 : 0, y = (i & 2) ? 1.5 : 0, z = (i & 4) ? 1.5 : 0;
            TVector r = v + f.e1 * x + f.e2 * y + f.e3 * z;
            q.insert(q.end(), {r.x, r.y, r.z});
        }
        // vertex k+1 has bits of k: faces x=0 {1,3,5,7}, x=1 {2,4,6,8}, y=0 {1,2,5,6},
        // y=1 {3,4,7,8}, z=0 {1,2,3,4}, z=1 {5,6,7,8}
        q.insert(q.end(), {1375, 8642, 2156, 3487, 4321, 5687});
        c.push_back({"ARB cube", Body("ARB", q), 1.5 * 1.5 * 1.5});
    }
    c.push_back({"HAF", Body("HAF", {0.3, -1, 0.5, 0.4}), -1});
    c.push_back({"HEX", Body("HEX", Cat({v, f.e1 * 2}, {1.6, f.e2.x, f.e2.y, f.e2.z})),
                 std::sqrt(3.0) / 2 * 1.6 * 1.6 * 2});
    c.push_back({"GEL", Body("GEL", Cat({v, f.e1 * 1.5, f.e2 * 0.8, f.e3 * 1.1})),
                 4.0 / 3 * Pi * 1.5 * 0.8 * 1.1});
    for (TCase& x : c) PrepareBody(x.Body);
    return c;
}

// The body grown by the factor s about the origin: lengths scale; TOR angles and axis code, the
// TEC ratio and the ARB face codes do not.
inline TGeoData Scaled(TGeoData b, double s) {
    int n = ParameterCount(b.Symbol);
    for (int i = 0; i < n; ++i) {
        bool length = !((b.Symbol == "TOR" && i >= 5) || (b.Symbol == "TEC" && i == 12) ||
                        (b.Symbol == "ARB" && i >= 24));
        if (length) b.Params[static_cast<size_t>(i)] *= s;
    }
    PrepareBody(b);
    return b;
}

// What one ray's crossings tell about a body: crossings where the inside test does not change
// (off the surface), and pieces between neighbouring crossings that are not uniformly inside or
// outside (a transition without a crossing). Distances are relative to size.
struct TRayAudit {
    int Hits = 0, OffSurface = 0, MixedPieces = 0, RaysWithMiss = 0;
};

// The slab-type bodies report a pair with entry beyond exit for rays that miss them.
inline bool MissPair(const TGeoData& b, const TMatrixA3d& pts, const TVector& o) {
    if ((b.Symbol == "BOX" || b.Symbol == "HEX" || b.Symbol == "WED") && pts.size() == 2)
        return Length(pts[0] - o) > Length(pts[1] - o);
    return false;
}

inline void AuditRay(const TGeoData& b, const TVector& o, const TVector& d, double size,
                     TRayAudit& audit) {
    TMatrixA3d pts;
    TMatrixAi codes;
    RayBodyIntersections(o, d, b, pts, codes);
    bool miss = MissPair(b, pts, o);
    std::vector<double> ts;
    for (const TVector& p : pts) {
        double t = Dot(p - o, d);
        ts.push_back(t);
        if (miss) continue;
        ++audit.Hits;
        double h = 1e-7 * size;
        if (Inside(b, p - d * h) == Inside(b, p + d * h)) ++audit.OffSurface;
    }
    std::sort(ts.begin(), ts.end());
    ts.insert(ts.begin(), 0.0);
    ts.push_back(ts.back() + size);
    int mixed = 0;
    for (size_t i = 0; i + 1 < ts.size(); ++i) {
        double len = ts[i + 1] - ts[i];
        if (len < 1e-6 * size) continue;
        bool mid = Inside(b, o + d * (ts[i] + len / 2));
        for (double f : {0.02, 0.25, 0.75, 0.98})
            if (Inside(b, o + d * (ts[i] + len * f)) != mid) {
                ++mixed;
                break;
            }
    }
    audit.MixedPieces += mixed;
    audit.RaysWithMiss += mixed > 0;
}

// Chord sums over an n x n grid of parallel rays along d started outside the body's box: the
// body's volume up to the cells its silhouette cuts.
inline double ChordSumVolume(const TGeoData& b, TVector d, int n) {
    d = Unit(d);
    TVector u = Unit(std::fabs(d.x) < 0.9 ? Cross(d, {1, 0, 0}) : Cross(d, {0, 1, 0}));
    TVector w = Cross(d, u);
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (int k = 0; k < 8; ++k) {
        TVector p{b.Prep.Box[(k & 1) ? 1 : 0], b.Prep.Box[(k & 2) ? 3 : 2],
                  b.Prep.Box[(k & 4) ? 5 : 4]};
        double q[3] = {Dot(p, u), Dot(p, w), Dot(p, d)};
        for (int i = 0; i < 3; ++i) lo[i] = std::min(lo[i], q[i]), hi[i] = std::max(hi[i], q[i]);
    }
    double du = (hi[0] - lo[0]) / n, dw = (hi[1] - lo[1]) / n, sum = 0;
    double back = hi[2] - lo[2];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            TVector o = u * (lo[0] + (i + 0.5) * du) + w * (lo[1] + (j + 0.5) * dw) +
                        d * (lo[2] - back / 3);
            std::vector<TCrossing> cs = SortedCrossings(b, o, d);
            for (size_t k = 0; k + 1 < cs.size(); ++k) {
                double len = cs[k + 1].t - cs[k].t;
                if (len > 0 && Inside(b, o + d * (cs[k].t + len / 2))) sum += len;
            }
        }
    return sum * du * dw;
}
