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
