// The detector-like geometries of the engine benchmark, shared with the slice benchmark: n
// disjoint spheres, boxes and cylinders on a lattice inside an outer zone that subtracts them
// all, with a void shell around it.
#pragma once

#include "geometry/MyCGUnit.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>

struct TScene {
    std::string Name;
    TGeometry Geo;
    double Box[6]; // ray start range
};

inline TGeoData MakeBody(const char* sym, int number, std::initializer_list<double> p) {
    TGeoData b;
    b.Symbol = sym;
    b.Number = number;
    size_t i = 0;
    for (double v : p) b.Params[i++] = v;
    return b;
}

inline TScene Generated(int n) {
    TScene s;
    s.Name = std::to_string(n) + " bodies";
    int side = static_cast<int>(std::ceil(std::cbrt(static_cast<double>(n))));
    const double cell = 10;
    for (int i = 0; i < n; ++i) {
        double cx = (i % side + 0.5) * cell, cy = (i / side % side + 0.5) * cell;
        double cz = (i / (side * side) + 0.5) * cell;
        int num = i + 1;
        switch (i % 3) {
        case 0:
            s.Geo.Bodies.push_back(MakeBody("SPH", num, {cx, cy, cz, 3.5}));
            break;
        case 1:
            s.Geo.Bodies.push_back(
                MakeBody("RPP", num, {cx - 3, cx + 3, cy - 2.5, cy + 3.5, cz - 3.5, cz + 2}));
            break;
        default:
            s.Geo.Bodies.push_back(MakeBody("RCC", num, {cx - 1, cy - 2, cz - 2.5, 2, 3, 5, 2.5}));
        }
    }
    double hi = side * cell;
    int layers = (n + side * side - 1) / (side * side);
    double top = layers * cell;
    s.Geo.Bodies.push_back(MakeBody("RPP", n + 1, {-2, hi + 2, -2, hi + 2, -2, top + 2}));
    double c[3] = {hi / 2, hi / 2, top / 2};
    double r = std::sqrt(2 * (hi / 2 + 2) * (hi / 2 + 2) + (top / 2 + 2) * (top / 2 + 2)) + 5;
    s.Geo.Bodies.push_back(MakeBody("SPH", n + 2, {c[0], c[1], c[2], r}));
    for (int i = 0; i < n; ++i) {
        TZoneData z;
        z.Name = "Z" + std::to_string(i + 1);
        z.Material = 1 + i % 3;
        z.BodyIndex = {{i}};
        z.Sign = {{1}};
        z.GroupOp = {'O'};
        s.Geo.Zones.push_back(z);
    }
    TZoneData outer;
    outer.Name = "ZOUT";
    outer.Material = 4;
    outer.BodyIndex = {{n}};
    outer.Sign = {{1}};
    for (int i = 0; i < n; ++i) outer.BodyIndex[0].push_back(i), outer.Sign[0].push_back(-1);
    outer.GroupOp = {'O'};
    s.Geo.Zones.push_back(outer);
    TZoneData shell;
    shell.Name = "ZVOID";
    shell.BodyIndex = {{n + 1, n}};
    shell.Sign = {{1, -1}};
    shell.GroupOp = {'O'};
    s.Geo.Zones.push_back(shell);
    double box[6] = {-2, hi + 2, -2, hi + 2, -2, top + 2};
    std::memcpy(s.Box, box, sizeof box);
    return s;
}

