// The culled stencil drawing: the same pixels as the plain passes of DrawCSG, without the
// passes that cannot change any of them and with every pass and clear kept to the screen
// rectangle that it can touch.
#pragma once

#include "Scene.h"

#include <array>

// Screen rectangle in window pixels, [X0, X1) x [Y0, Y1), origin bottom left.
struct TPixelRect {
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    bool Empty() const { return X0 >= X1 || Y0 >= Y1; }
    TPixelRect operator&(const TPixelRect& o) const;
};

// State of one frame's culled drawing.
struct TCullFrame {
    std::array<double, 16> MVP{}; // projection x model-view, column-major
    int Width = 0, Height = 0;
    double Slack = 0;    // world distance by which boxes are enlarged before they are compared
    double PixelPad = 0; // pixels by which projected rectangles are enlarged
    bool DepthClamp = false;
    // The normal that the plain drawing would have left current, and the one that is: a
    // filled triangle takes the current normal, so a skipped draw must not change it.
    TVector PlainNormal, CurrentNormal;

    // Sets the frame up from the GL state; false when culling cannot be exact here.
    bool SetUp(const TSceneGeometry& s);
    TPixelRect Rect(const std::array<double, 6>& box) const;
    // Whether no part of the box is cut away by the near or far plane.
    bool InDepthRange(const std::array<double, 6>& box) const;
    void Drew(const TGeoData* mesh, int polygon, TGLUnit& gl);
    void Skipped(const TGeoData* mesh, int polygon, TGLUnit& gl);
    void SyncNormal();
};

// The mesh that a term is drawn with, and -1 for all of its polygons or the one polygon.
const TGeoData* TermMesh(const TSceneGeometry& s, int bodyIndex, int sign, int& polygon);

// False when the term list is too long for the stencil values: then draw it plainly.
bool DrawCSGCulled(const TSceneGeometry& s, const TTermList& terms);
