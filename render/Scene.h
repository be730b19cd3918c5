// One frame of the main view: clear, geometry through the stencil passes, axes, tracks,
// check errors, present. Qt-free, so that the main window and trazon-cli draw through the
// same code.
//
//   PaintScene(gl, geometry, tracks, settings, checkErrors, options);
//
// Meshes are not built here: after every load and after the display settings are applied,
// call RebuildSceneMeshes (render/mesh/BodyMesh.h) with settings.CutBox and settings.SceneSize.
#pragma once

#include "geometry/CheckErrors.h"
#include "geometry/MyCGUnit.h"
#include "input/DisplaySettings.h"
#include "input/Tracks.h"
#include "input/ViewBox.h"
#include "render/GLDraw.h"
#include "render/MyGLUnit.h"
#include "render/mesh/BodyMesh.h"
#include "render/mesh/Outline.h"
#include "render/mesh/ZoneSurfaces.h"

#include <array>
#include <string>
#include <vector>

// Which axis-pair menu item is selected; it decides where marks, labels and names go.
// None draws the three axis lines only.
enum class TAxisLayout { None, XZ, XY, YZ, ZY };

// The layout that belongs to a view mode of TGLUnit::SetView (0 "X-Y", 1 "X-Z", 3 "Y-Z",
// 5 "Z-Y"; the modes without a menu item give None).
TAxisLayout AxisLayoutForViewMode(int viewMode);

// An opaque line drawn over the frame: the slice plane's outline, a marked point.
struct TSceneMark {
    TVector A, B;
    TColor Color = 0;
};

struct TSceneOptions {
    bool AxesOn = false;                        // the axes menu item "ON" is selected
    TAxisLayout AxisLayout = TAxisLayout::None; // the selected axis-pair menu item
    bool ZoomDragging = false;                  // a zoom rectangle is being dragged
    std::vector<TSceneMark> Marks;              // drawn last
    // Every stencil pass over the whole frame and nothing culled: the reference picture that
    // the culled drawing must match pixel for pixel.
    bool Plain = false;
    // A drag is under way and full frames are slow: the visible entries as bodies without the
    // stencil passes, and an even share of a big track selection.
    bool Quick = false;
    // The zone and material surfaces of this geometry and cut box (BuildZoneSurfaces): Zone
    // and Material display draw them when filled. Without them (or with Plain) those displays
    // fall back to the stencil passes, the reference drawing.
    const TZoneSurfaces* Surfaces = nullptr;
};

// Draws one complete frame and presents it (TGLUnit::Present). Geometry, axes, tracks and
// check errors are drawn only when there is at least one body and no zoom rectangle is being
// dragged. The window caption is the caller's: restore it before calling when no animation runs.
void PaintScene(TGLUnit& gl, const TGeometry& geometry, const TTracks& tracks,
                const TDisplaySettings& settings, const TCheckErrorSegments& checkErrors,
                const TSceneOptions& options);

// Frames what the display type draws (DrawnBox) in the current orientation; false, leaving
// the camera alone, when nothing drawn has a finite box. The default view after a load.
bool FitView(TGLUnit& gl, const TGeometry& geometry, const TDisplaySettings& settings);

// Parallel projection of exactly the window {UMIN, UMAX, VMIN, VMAX} of an axis view's plane
// (view mode 0 "X-Y", 1 "X-Z", 3 "Y-Z", 5 "Z-Y": u and v are the mode's axes in order), with
// the view set afresh.
void SetViewWindow(TGLUnit& gl, int viewMode, const double window[4]);

// ---- the passes of a frame, for tests and special callers ----

// Fixed alpha of every body, zone and material colour.
inline constexpr double GeometryAlpha = 0.3;

struct TCullFrame;

// What the geometry passes draw from. With Cull the stencil passes skip what cannot change a
// pixel and keep to the screen rectangle they can touch; without, they run as they are.
struct TSceneGeometry {
    TGLUnit& GL;
    const TGeometry& Geo;
    const TDisplaySettings& Settings;
    TCullFrame* Cull = nullptr;
    // When given, zones whose surface is empty are left out of the passes.
    const TZoneSurfaces* Surfaces = nullptr;
};

// The CSG terms of one group of a zone, base term first. The base is the group's first
// intersected term (intersection order does not matter); a group without one keeps its order.
// A term naming no body is, like in the engine, a body that contains no point: intersected it
// empties the group (no terms), subtracted it is left out.
TTermList GroupTerms(const TGeometry& geo, const TZoneData& zone, size_t group);

// Distance from the origin that the parallel projection's depth range must hold for a frame.
double SceneDepthReach(const TGLUnit& gl, const TGeometry& geometry,
                       const TDisplaySettings& settings);

void DrawBodies(const TSceneGeometry& s);
// The faces of a lattice zone list (geo.LatticeFaces) in every display type; `quick`: those of
// its coarse copy (geo.LatticeQuickFaces), for dragging frames.
void DrawLatticeFaces(const TSceneGeometry& s, bool quick = false);
void DrawZone(const TSceneGeometry& s, int zoneIndex, TColor colour);
void DrawBody(const TSceneGeometry& s, int bodyIndex, int sign);
// The term's surface for a pass that writes no colour: positions only, unlit, the current
// normal kept; with keep, only the runs of triangles whose box it accepts.
void DrawTermShape(const TSceneGeometry& s, int bodyIndex, int sign,
                   const TMeshLists::TChunkFilter& keep = {});
// Filled (DrawMode 1): the stencil passes. Outlines (DrawMode 0): the product's outline
// (ProductOutline), computed on first use and kept until the meshes are rebuilt.
void DrawCSG(const TSceneGeometry& s, const TTermList& terms);
// Zone or Material display (by ViewInfoType) from the zone surfaces, back to front.
void DrawZoneSurfaces(TGLUnit& gl, const TZoneSurfaces& surfaces, const TGeometry& geo,
                      const TDisplaySettings& settings);
// The surfaces options for this geometry and settings: the cut box when it is on.
TSurfaceOptions ZoneSurfaceOptions(const TDisplaySettings& settings);
// By ViewInfoType, blending on; culled unless plain.
void DrawGeometry(const TSceneGeometry& s, bool plain = false);
// The quick stand-in while dragging: in "Body" display the bodies without the cut, in "Zone"
// and "Material" display the body of the first term of every drawn group of the visible
// entries, each body once (in the colour of the first entry that draws it) and a half-space as
// its plane face; no stencil passes.
void DrawQuickGeometry(const TSceneGeometry& s);

// Tracks selected by the display filters, in file order; quick: an even share of the segments
// of a selection of more than 200,000 (about 100,000 of them).
void DrawTracks(TGLUnit& gl, const TTracks& tracks, const TDisplaySettings& settings,
                bool quick = false);
// The same for an already selected list of pieces.
void DrawTrackPieces(TGLUnit& gl, const std::vector<TTrackPiece>& pieces);

// Opaque white lines of the check's error pieces.
void DrawCheckErrors(TGLUnit& gl, const TCheckErrorSegments& errors);

// Opaque lines of the marks, 2 pixels wide.
void DrawMarks(TGLUnit& gl, const std::vector<TSceneMark>& marks);

// Axes with marks, labels, arrowheads and names (the latter only inside a layout).
void DrawAxes(TGLUnit& gl, const TDisplaySettings& settings, TAxisLayout layout);

// Text in the stroke font at (x, y, z), turned by the angles (degrees, applied z, y, x) and
// scaled; anchor 1..9 picks the point of the text box [0, n] x [0, 1] that lands on (x, y, z):
// 1/2/3 left, 4/5/6 centre, 7/8/9 right; 1/4/7 top, 2/5/8 middle, 3/6/9 bottom.
void DrawText(const std::string& text, int anchor, double scale, double x, double y, double z,
              double angleX, double angleY, double angleZ);

// Label text of an axis mark value: general format, 5 significant digits, exponent of at
// least 3 digits ("25", "0.025", "1.2346E+005").
std::string AxisLabelText(double value);
// Unit factor of the label values: "mm" 10, "m" 0.01, "km" 0.00001, anything else 1.
float AxisUnitFactor(const std::string& units);
