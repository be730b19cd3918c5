// Body meshes: flat triangles and quadrilaterals approximating each body's surface,
// counter-clockwise seen from outside (or all reversed for the inverted meshes that the
// stencil drawing uses for subtracted terms). GL-free; built once per load and after the
// display settings are applied, never per frame.
#pragma once

#include "geometry/MyCGUnit.h"

// Tessellation counts: slices around, stacks along. Fixed for the life of the program.
struct TMeshCounts {
    int SphSlices = 30, SphStacks = 30;
    int RccSlices = 30, RccStacks = 1;
    int TrcSlices = 30, TrcStacks = 1;
    int TorSlices = 30, TorStacks = 30;
    int RecSlices = 30, RecStacks = 1;
    int TecSlices = 30, TecStacks = 1;
    int EllSlices = 30, EllStacks = 30;
    int GelSlices = 30, GelStacks = 30;
};

// Fills body.MeshGrid from the body's parameters (an unknown symbol gives an empty mesh),
// with its box and a new stamp.
// With invert every polygon has its points 0 and 2 exchanged. hafExtent is the half-size of
// the box that stands for a HAF half-space.
void BuildMesh(TGeoData& body, bool invert, double hafExtent,
               const TMeshCounts& counts = TMeshCounts{});

// Exchanges points 0 and 2 when the polygon's normal (from its first three points) points
// away from reference.
void OrientPolygon(TMatrixA3d& polygon, const TVector& reference);

// The frame that carries local +z onto an axis vector A and the origin onto a base point.
struct TAxisFrame {
    double Alpha = 0;  // rotation about x, applied second
    double Beta = 0;   // rotation about y, applied first
    double Length = 0; // |A|
    TVector Origin;
    bool Valid = false; // false when |A| < 1e-6: the body has no usable mesh
    TVector Place(const TVector& local) const;
    // Inverse of the rotation part: a world direction in local coordinates.
    TVector ToLocal(const TVector& dir) const;
};
TAxisFrame AxisFrame(const TVector& axis, const TVector& origin);

// v rounded to 4 significant decimal digits (the way RCC meshes store their points).
double RoundTo4Digits(double v);

// The enlarged drawing copy of a body (relative growth reviseRate, absolute reviseValue).
TGeoData BuildGrownBody(const TGeoData& source, double reviseRate, double reviseValue);

// Half-size of the boxes that stand for HAF half-spaces: twice the radius about the origin of
// every body's extent box (and at least twice sceneSize), so that only a box's plane face can
// meet the rest of the scene; its other faces stay clear of it.
double HafStandInExtent(const TAGeoData& bodies, double sceneSize);

// After a load or after applying the display settings: rebuilds every body mesh (plain), the
// enlarged copies with their inverted meshes of the bodies that some zone subtracts (the
// others keep an empty entry in geo.GrownBodies), the cut box mesh (inverted) and
// geo.MeshReach. Call it with the zones in place.
// sceneSize is the scene size recorded right after loading.
void RebuildSceneMeshes(TGeometry& geo, TGeoData& cutBox, double sceneSize, double reviseRate,
                        double reviseValue, const TMeshCounts& counts = TMeshCounts{});
