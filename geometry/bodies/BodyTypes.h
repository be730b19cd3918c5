// One entry per body type: everything the engine does with a body of that type.
// Each type lives in its own file in this folder (rpp.cpp, rcc.cpp, ...).
#pragma once

#include "../MyCGUnit.h"

struct TBodyType {
    const char* Symbol;
    int ParamCount;
    // xmin, xmax, ymin, ymax, zmin, zmax as given by BodyExtent
    void (*Extent)(const TGeoData& b, double e[6]);
    // type-specific derived constants into b.Prep (may be null)
    void (*Prepare)(TGeoData& b);
    bool (*Inside)(const TGeoData& b, double x, double y, double z);
    void (*Crossings)(const TVector& o, const TVector& d, const TGeoData& b, TMatrixA3d& pts,
                      TMatrixAi& codes);
};

// Indexed by the position in BodySymbols (canonical order).
const TBodyType& BodyTypeOf(int kind);

#define TRAZON_DECLARE_BODY(name)                                                                  \
    extern const TBodyType name##Type;

TRAZON_DECLARE_BODY(Rpp)
TRAZON_DECLARE_BODY(Rcc)
TRAZON_DECLARE_BODY(Sph)
TRAZON_DECLARE_BODY(Trc)
TRAZON_DECLARE_BODY(Tor)
TRAZON_DECLARE_BODY(Box)
TRAZON_DECLARE_BODY(Rec)
TRAZON_DECLARE_BODY(Tec)
TRAZON_DECLARE_BODY(Ell)
TRAZON_DECLARE_BODY(Wed)
TRAZON_DECLARE_BODY(Arb)
TRAZON_DECLARE_BODY(Haf)
TRAZON_DECLARE_BODY(Hex)
TRAZON_DECLARE_BODY(Gel)
#undef TRAZON_DECLARE_BODY
