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

inline TVector Unit(TVector v) { return v * (1.0 / Length(v)); }

inline TVector RandomUnit(std::mt19937_64& rng) {
    std::normal_distribution<double> n(0, 1);
    for (;;) {
        TVector v{n(rng), n(rng), n(rng)};
        double l = Length(v);
        if (l > 1e-3) return v * (1.0 / l);
    }
}

inline bool Inside(const TGeoData& b, const TVector& p) { return PointInBody(b, p.x, p.y, p.z); }
