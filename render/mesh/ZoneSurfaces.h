// The surfaces that bound every zone and every material, computed once per load (and again when
// the cut box changes) from the bodies' meshes, with the engine as the only judge of inside and
// outside. GL-free, so that tests and benchmarks build and measure them without a display.
//
// A piece of a body's surface bounds zone Z where Z holds on one side of it and not on the
// other: every mesh polygon of every body that some zone uses is cut into pieces over which
// the zones on both sides stay the same, and each piece is classified at a point of the body's
// true surface (found with the body's own crossings) just inside and just outside it, with
// FindZone. So a zone's surface follows whatever its terms say (any number of terms and groups,
// subtracted tori, half-spaces) and faces between two groups of the same zone disappear.
// Polygons are cut exactly along half-space planes and refined around smaller bodies down to a
// fraction of their size, with seams placed by bisection between two classifications.
// Coincident surfaces: where several bodies' surfaces pass through the same place, the first of
// them in the body list draws it. With a cut box, the box is taken away from every zone and its
// faces show the zones they cut.
#pragma once

#include "geometry/MyCGUnit.h"

#include <cstdint>
#include <functional>
#include <vector>

// Triangles that lie close together and belong to one owner (a zone or a material entry).
struct TSurfaceCluster {
    uint32_t First = 0; // first triangle
    uint32_t Count = 0;
    int32_t Owner = 0;
    float Centre[3] = {0, 0, 0};
};

// The bounding surfaces of one kind of owner: flat triangles, counter-clockwise seen from
// outside the owner, with the outward normal repeated at every corner.
struct TSurfaceSet {
    std::vector<float> Vertex; // x, y, z of every corner, three corners a triangle
    std::vector<float> Normal; // x, y, z at every corner
    std::vector<TSurfaceCluster> Clusters;
    std::vector<uint32_t> OwnerTriangles; // per owner
    size_t Triangles() const { return Vertex.size() / 9; }
    size_t Bytes() const;
};

struct TZoneSurfaces {
    TSurfaceSet Zones;     // Owner: position in TGeometry::Zones
    TSurfaceSet Materials; // Owner: position in TGeometry::Materials
    bool Empty() const { return Zones.Vertex.empty() && Materials.Vertex.empty(); }
    size_t Bytes() const { return Zones.Bytes() + Materials.Bytes(); }
};

struct TSurfaceOptions {
    // Removed from every zone when given (an RPP); its faces show the zones they cut.
    const TGeoData* CutBox = nullptr;
    unsigned Threads = 0; // 0: every core
    // More triangles than this and the build gives up (returns false with an empty result):
    // beyond it neither memory nor drawing would cope, and the caller draws another way.
    size_t MaxTriangles = 12000000;
    // Called now and then from the calling thread with the share done (0..1); returning false
    // stops the work, and the build then returns false with an empty result.
    std::function<bool(double done)> Progress;
};

// Builds the surfaces from geo.Bodies (prepared, with their meshes built) and geo.Zones.
// Returns false when stopped through Progress or when they would pass MaxTriangles.
bool BuildZoneSurfaces(const TGeometry& geo, const TSurfaceOptions& options, TZoneSurfaces& out);

// Per owner: the volume the oriented triangles enclose (divergence theorem) and the length of
// their summed area vectors, which is 0 for a closed surface. For tests and diagnostics.
struct TSurfaceMeasure {
    double Volume = 0;
    double Area = 0;       // total area
    double OpenArea = 0;   // |sum of area vectors|
    size_t Triangles = 0;
};
std::vector<TSurfaceMeasure> MeasureSurfaces(const TSurfaceSet& set, size_t owners);
