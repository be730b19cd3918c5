// Drawing helpers on top of TGLUnit that the scene passes use.
#pragma once

#include "render/MyGLUnit.h"

// Same picture as TGLUnit::DrawMesh (all polygons when polygonIndex < 0, else just that one;
// filled and lit when DrawMode is 1, outlines otherwise), but the lighting switch is set once
// per mesh instead of per polygon and runs of triangles or quadrilaterals share one
// glBegin/glEnd, which lets the GL driver batch them. Quadrilaterals carry their own normal;
// triangles keep the current one, as in DrawTriangle.
void DrawMeshBatched(TGLUnit& gl, const TGeoData& body, int polygonIndex);
