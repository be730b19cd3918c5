// Outlines of CSG products for the Line display: the pieces of the terms' mesh edges that lie
// on the product's boundary, and the seams where two terms' meshes meet. GL-free; computed
// once per geometry and term list by the caller's cache.
#pragma once

#include "geometry/MyCGUnit.h"

#include <vector>

// One CSG term: a position in Bodies (-1 for the cut box) and +1 intersected / -1 subtracted.
struct TTerm {
    int Body;
    int Sign;
};
using TTermList = std::vector<TTerm>;

struct TSegment {
    TVector A, B;
};

// The outline of the volume inside every intersected term and outside every subtracted one.
// Terms are classified with the engine's inside tests and ray crossings, so the bodies (and
// the cut box) must be prepared; edges and seams come from the bodies' own meshes (a HAF
// contributes its plane face only).
std::vector<TSegment> ProductOutline(const TGeometry& geo, const TGeoData& cutBox,
                                     const TTermList& terms);
