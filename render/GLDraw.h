// Drawing helpers on top of TGLUnit that the scene passes use.
#pragma once

#include "input/DisplaySettings.h"
#include "input/Tracks.h"
#include "render/MyGLUnit.h"

#include <array>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

// Same picture as TGLUnit::DrawMesh (all polygons when polygonIndex < 0, else just that one;
// filled and lit when DrawMode is 1, outlines otherwise), but the lighting switch is set once
// per mesh instead of per polygon and runs of triangles or quadrilaterals share one
// glBegin/glEnd, which lets the GL driver batch them. Quadrilaterals carry their own normal;
// triangles keep the current one, as in DrawTriangle.
void DrawMeshBatched(TGLUnit& gl, const TGeoData& body, int polygonIndex);

// The surface of a mesh (all polygons when polygonIndex < 0, else just that one) as triangles
// of positions only, quadrilaterals split into 0-1-2 and 0-2-3, with lighting switched off:
// what the stencil passes, which write no colour, need. The current normal stays as it was.
void DrawMeshShape(const TGeoData& body, int polygonIndex);

// Normal of a filled quadrilateral as the drawing gives it (from its first three points).
TVector QuadNormal(const TVector& p0, const TVector& p1, const TVector& p2);

// The selected track pieces, uploaded into a display list that is drawn again as long as the
// selection stays the same; a quick (dragging) frame draws every k-th segment of a big
// selection from a list of its own.
class TTrackLists {
  public:
    void Draw(TGLUnit& gl, const TTracks& tracks, const TDisplaySettings& settings, bool quick);

  private:
    struct TList {
        unsigned Id = 0;
        uint64_t Hash = 0;
        size_t Pieces = 0, Step = 1;
    };
    TList Full, Thinned;
};

// Meshes that the stencil passes draw many times a frame, uploaded once into display lists
// (one per mesh, stamp and drawing mode) that live as long as the GL context. Beyond a budget
// of vertices the meshes are drawn as they are, so that huge geometries do not double their
// memory. Both ways draw what DrawMeshBatched(gl, body, -1) draws (the GL driver may split
// quadrilaterals of a list differently, which can move a shade by one level).
class TMeshLists {
  public:
    struct TEntry {
        uint64_t Stamp = 0;
        int Mode = -1;
        unsigned List = 0; // 0: drawn directly
        size_t Vertices = 0;
        uint64_t UsedFrame = 0;
        bool HasNormal = false; // the mesh sets the current normal (filled, with a quad)
        TVector LastNormal;     // the normal it leaves current
    };
    // Draws the whole mesh of body and returns what is known about it.
    const TEntry& Draw(TGLUnit& gl, const TGeoData& body);
    // The entry without drawing (for the normal the mesh would leave current).
    const TEntry& Look(TGLUnit& gl, const TGeoData& body);
    // What DrawMeshShape(body, -1) draws, from a vertex buffer of its points uploaded once.
    // With keep, only the runs of triangles whose box keep accepts (a pass that can touch
    // only part of the frame drops the triangles that lie wholly outside it), in their order.
    using TChunkFilter = std::function<bool(const std::array<double, 6>& box)>;
    void DrawShape(TGLUnit& gl, const TGeoData& body, const TChunkFilter& keep = {});
    // Once per frame: lists not used for a while are given back.
    void NextFrame();

    size_t VertexBudget = 4000000;
    size_t ShapeBudgetBytes = size_t(256) << 20;
    TTrackLists Tracks; // lives in the same context

  private:
    struct TShape {
        uint64_t Stamp = 0;
        unsigned Buffers[2] = {0, 0}; // points, triangle indices; 0: drawn directly
        int Indices = 0;
        size_t Bytes = 0;
        std::vector<std::array<double, 6>> Chunks; // box of every run of ChunkTriangles
        uint64_t UsedFrame = 0;
    };
    TEntry& Find(TGLUnit& gl, const TGeoData& body, bool upload);
    void Release(TShape& shape);
    // The driver queues the work of many frames' worth of vertices when drawing lags behind;
    // waiting for it now and then keeps that queue, and the memory it holds, bounded.
    void Submitted(size_t vertices);
    std::unordered_map<const TBodyMesh*, TEntry> Entries;
    std::unordered_map<const TBodyMesh*, TShape> Shapes;
    std::vector<int> RunCounts;
    std::vector<const void*> RunStarts;
    size_t ListedVertices = 0, ShapeBytes = 0, Unfinished = 0;
    uint64_t Frame = 1;
    int Buffers = -1; // vertex buffers: -1 not yet known, 0 missing, 1 present
};
