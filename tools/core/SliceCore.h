// Geometry debugging on the zone search: a 2-D cut through the geometry classified pixel by
// pixel (zone, no zone, several zones), and the point inspector. The viewer's slice window and
// trazon-cli share it.
//
//   TZoneIndex index;  BuildZoneIndex(geo.Bodies, geo.Zones, index);
//   TSliceRender r;  r.Start(geo.Bodies, geo.Zones, index, plane, 800, 800);
//   while (!r.Advance(0.05)) show(r);          // coarse first, then finer
//   PaintSlice(r.Classes(), 800, 800, SliceZoneColors(geo, TSliceColorBy::Zone, back), rgb);
#pragma once

#include "geometry/MyCGUnit.h"
#include "geometry/ZoneIndex.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A plane x = C (Axis 0), y = C (1) or z = C (2) and a window in the plane's other two axes,
// in order: x-plane u = y, v = z; y-plane u = x, v = z; z-plane u = x, v = y.
struct TSlicePlane {
    int Axis = 2;
    double C = 0;
    double Umin = -1, Umax = 1, Vmin = -1, Vmax = 1;
};

// The coordinate axes (0 x, 1 y, 2 z) of u and v.
std::array<int, 2> SliceAxes(int axis);
// The 3-D point at (u, v) of the plane.
TVector SlicePoint(const TSlicePlane& plane, double u, double v);
// Centre of pixel (i, j) of a width x height picture, column i from the left, row j from the
// top (the top row is at Vmax).
TVector SlicePixelCentre(const TSlicePlane& plane, int width, int height, int i, int j);

// "x=C", "y=C" or "z=C" (a blank-free number); false for anything else.
bool ParseSlicePlane(const std::string& text, int& axis, double& c);
inline constexpr const char* SliceAxisNames[3] = {"x", "y", "z"};

// The box of every bounded body, {xmin, xmax, ymin, ymax, zmin, zmax}; a cube of half-size
// `fallback` (1 when not positive) around the origin when no body has a finite box.
std::array<double, 6> SceneBox(const TAGeoData& bodies, double fallback);
// The same with a lattice's box when the zone list is a lattice.
std::array<double, 6> SceneBox(const TAGeoData& bodies, const TAZoneData& zones, double fallback);
// The scene box's range in the plane's u and v, widened about its centre so that pixels of a
// width x height picture come out square.
void DefaultSliceWindow(const std::array<double, 6>& box, int width, int height,
                        TSlicePlane& plane);

// Pixel classes: a zone position (0 or more), or one of these.
inline constexpr int32_t SliceUndefined = -1; // the centre lies in no zone
inline constexpr int32_t SliceOverlap = -2;   // the centre lies in two or more zones
inline constexpr int32_t SliceNotYet = -3;    // not computed yet

// Class of one point: its zone position, SliceUndefined or SliceOverlap. `hits` is scratch.
int32_t PointZoneClass(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
                       TMatrixAi& hits, double x, double y, double z);
// PointZoneClass of `count` points (x, y, z back to back in `xyz`) into `out`, on `threads`
// threads (0 = all cores).
void LocateZones(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
                 const double* xyz, size_t count, int32_t* out, int threads);

// Classifies every pixel centre of a picture with FindZone through the index, coarse to fine:
// the first level samples every 16th pixel in both directions and fills the block it stands
// for, each further level halves the spacing, the last one reaches every pixel. Each pixel's
// final class is that of its own centre.
class TSliceRender {
  public:
    // The lists and the index must stay unchanged while the picture is being computed.
    void Start(const TAGeoData& bodies, const TAZoneData& zones, const TZoneIndex& index,
               const TSlicePlane& plane, int width, int height);
    // Works for about `seconds` (at least one batch of pixels); true once the picture is done.
    bool Advance(double seconds);
    // Everything at once.
    void Finish() {
        while (!Advance(1e9)) {
        }
    }
    // Ends the picture and gives back its pixels (memory ran out while it was computed): an
    // empty picture that is done.
    void Stop();
    bool Done() const { return Level < 0; }
    // Spacing of the level in progress (1 for the last), 0 when done.
    int Spacing() const { return Level < 0 ? 0 : 1 << Level; }
    // Share of the pixels whose own centre is classified, 0 to 1.
    double Progress() const;

    int Width() const { return W; }
    int Height() const { return H; }
    const TSlicePlane& Plane() const { return Set; }
    // Row-major, top row first.
    const std::vector<int32_t>& Classes() const { return Cls; }
    // Grows whenever Classes() changes.
    uint64_t Revision() const { return Rev; }

    int Threads = 0; // 0 = all cores

  private:
    const TAGeoData* Bodies = nullptr;
    const TAZoneData* Zones = nullptr;
    const TZoneIndex* Index = nullptr;
    TSlicePlane Set;
    int W = 0, H = 0;
    int Level = -1;   // level in progress: spacing 2^Level; -1 done
    int Top = 0;      // coarsest level
    int Row = 0;      // next sample row of the level
    int64_t Computed = 0;
    int Batch = 4096; // samples per batch, adapted so that a batch stays short
    std::vector<int32_t> Cls;
    uint64_t Rev = 0;
};

// Counts over a finished (or partial) picture.
struct TSliceCounts {
    int64_t Pixels = 0, Undefined = 0, Overlap = 0;
    std::vector<int64_t> PerZone; // by zone position, up to the last zone in the picture
};
TSliceCounts CountSlice(const std::vector<int32_t>& classes, size_t zoneCount);

enum class TSliceColorBy { Zone, Material };
// "zone" or "material"; false for anything else.
bool ParseSliceColorBy(const std::string& text, TSliceColorBy& by);

// Colour of each zone position: its own colour or its material's, from the display settings.
// Zones without a material (0 or less) take `voidColor` when coloured by material.
std::vector<TColor> SliceZoneColors(const TGeometry& geometry, TSliceColorBy by,
                                    TColor voidColor);

// The two pattern colours of the pixels in no zone (a checkerboard) and in several zones
// (diagonal stripes); colours are 0xBBGGRR.
inline constexpr TColor SliceUndefinedColors[2] = {0x000000, 0xFFFFFF};
inline constexpr TColor SliceOverlapColors[2] = {0x0000FF, 0x00FFFF};
// Colour of pixel (i, j) of a class; a zone position outside `zoneColors` is drawn as undefined.
TColor SlicePixelColor(int32_t cls, const std::vector<TColor>& zoneColors, int i, int j);
// The picture as tightly packed RGB rows, top row first (what SaveImage takes). Pixels not
// computed yet take `pending`.
void PaintSlice(const std::vector<int32_t>& classes, int width, int height,
                const std::vector<TColor>& zoneColors, TColor pending, std::vector<uint8_t>& rgb);

// One line of the legend: what a colour stands for and how many pixels show it.
struct TSliceLegendEntry {
    std::string Text;
    int32_t Class = 0; // the zone position of a sample pixel, or SliceUndefined / SliceOverlap
    TColor Color = 0;
    int64_t Pixels = 0;
};
// The entries of the colours in view: zones (or materials, then void) in list order, then
// "undefined" and "overlap" when present.
std::vector<TSliceLegendEntry> SliceLegend(const TGeometry& geometry, TSliceColorBy by,
                                           const TSliceCounts& counts,
                                           const std::vector<TColor>& zoneColors);

// What is at a point: the zones containing it (positions, zone order), their materials (one
// per zone) and the numbers of the bodies containing it (body order).
struct TPointInfo {
    std::vector<int32_t> Zones;
    std::vector<int32_t> Materials;
    std::vector<int32_t> Bodies;
};
TPointInfo InspectPoint(const TAGeoData& bodies, const TAZoneData& zones,
                        const TZoneIndex& index, double x, double y, double z);

// Blank-separated zone names of positions, or "none".
std::string ZoneNamesText(const TAZoneData& zones, const std::vector<int32_t>& positions);
// Blank-separated numbers, or "none".
std::string NumbersText(const std::vector<int32_t>& numbers);
// "zones: ...", "materials: ...", "bodies: ...".
std::vector<std::string> PointInfoLines(const TAZoneData& zones, const TPointInfo& info);
// Shortest text that reads back as the same double ("%.17g" at most).
std::string ShortNumber(double v);
