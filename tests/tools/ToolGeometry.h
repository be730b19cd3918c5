// Small closed-form geometries for the tool tests, built without the reader.
#pragma once

#include "DetectorGeometry.h" // MakeBody
#include "geometry/MyCGUnit.h"

#include <initializer_list>
#include <string>
#include <vector>

inline TGeoData Sph(int number, double r, double x = 0, double y = 0, double z = 0) {
    return MakeBody("SPH", number, {x, y, z, r});
}

// groups: one list of signed body numbers per OR group.
inline void AddZone(TGeometry& g, const std::string& name, int material,
                    std::initializer_list<std::initializer_list<int>> groups) {
    TZoneData z;
    z.Name = name;
    z.Material = material;
    for (const auto& group : groups) {
        TMatrixAi idx, sign;
        for (int term : group) {
            idx.push_back(FindBodyIndex(g.Bodies, term < 0 ? -term : term));
            sign.push_back(term < 0 ? -1 : 1);
        }
        z.BodyIndex.push_back(idx);
        z.Sign.push_back(sign);
        z.GroupOp.push_back('O');
    }
    g.Zones.push_back(z);
}

inline void Prepare(TGeometry& g) {
    PrepareBodies(g.Bodies);
}
