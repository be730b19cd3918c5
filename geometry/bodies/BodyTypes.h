// One entry per body type: everything the engine does with a body of that type.
// Each type lives in its own file in this folder (rpp.cpp, rcc.cpp, ...).
#pragma once

#include "../BoxSide.h"
#include "../MyCGUnit.h"

#include <cmath>
#include <cstdint>

struct TBodyType {
    const char* Symbol;
    int ParamCount;
    // xmin, xmax, ymin, ymax, zmin, zmax as given by BodyExtent
    void (*Extent)(const TGeoData& b, double e[6]);
    // Derived constants the inside test and the crossings read (K[], Arb, Hex); may be null.
    // Runs once per load through PrepareBody, or per call on an unprepared body.
    void (*Prepare)(const TGeoData& b, TBodyPrep& p);
    // A box that encloses every point the inside test accepts (before padding), given the
    // constants from Prepare; false when no finite box is known (no culling then).
    bool (*Bound)(const TGeoData& b, const TBodyPrep& p, double box[6]);
    bool (*Inside)(const TGeoData& b, const TBodyPrep& p, double x, double y, double z);
    void (*Crossings)(const TVector& o, const TVector& d, const TGeoData& b, const TBodyPrep& p,
                      TMatrixA3d& pts, TMatrixAi& codes);
    // Worth testing the enclosing box before the inside test (false when the test is as cheap).
    bool CullInside;
    // Every crossing the type reports lies on its surface up to rounding, so a ray whose line
    // misses the enclosing ball has none. Not so for the slab-type bodies (they report entry and
    // exit of rays that miss them), nor for TOR, TEC and ELL, whose solvers or squared equations
    // can yield roots away from the surface.
    bool CullRays = false;
    // Side of the box lo..hi decided from the type's own shape, beyond what the enclosing box
    // and (for convex types) the corners tell: only certain answers, every point of the box
    // farther than m from the surface (see BodyBoxSide). May be null.
    TBoxSide (*BoxSide)(const TGeoData& b, const TBodyPrep& p, const double lo[3],
                        const double hi[3], double m) = nullptr;
};

// Indexed by the position in BodySymbols (canonical order).
const TBodyType& BodyTypeOf(int kind);

#define TRAZON_DECLARE_BODY(name) extern const TBodyType name##Type;

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

// ---- helpers shared by the body files ----

// Absent bound of the slab and clip methods.
inline constexpr double NoBound = 1e20;

// Three consecutive parameters as a vector; first is 1-based like the parameter table.
inline TVector ParamVec(const TGeoData& b, int first) {
    return {b.Params[static_cast<size_t>(first - 1)], b.Params[static_cast<size_t>(first)],
            b.Params[static_cast<size_t>(first + 1)]};
}
inline double Param(const TGeoData& b, int n) {
    return b.Params[static_cast<size_t>(n - 1)];
}

inline TVector RayPoint(const TVector& o, const TVector& d, double t) {
    return {o.x + t * d.x, o.y + t * d.y, o.z + t * d.z};
}

// Appends O + t.D and Number*10 + k. The code wraps instead of overflowing on absurd numbers.
inline void AddHit(const TVector& o, const TVector& d, const TGeoData& b, double t, int k,
                   TMatrixA3d& pts, TMatrixAi& codes) {
    pts.push_back(RayPoint(o, d, t));
    codes.push_back(static_cast<int32_t>(
        static_cast<uint32_t>(static_cast<int64_t>(b.Number) * 10 + static_cast<int64_t>(k))));
}

// Box helpers for the enclosing boxes (box = xmin, xmax, ymin, ymax, zmin, zmax).
void BoxAround(const TVector& lo, const TVector& hi, double box[6]);
// Box of {V + Q : lo[k] <= Q.N[k] <= hi[k], k = 0..2}; false when the normals are (nearly)
// dependent, the set is then unbounded or too ill-conditioned to bound reliably.
bool SlabBox(const TVector& v, const TVector n[3], const double lo[3], const double hi[3],
             double box[6]);
// Box of {V + C.(a, b, g) : a^2 + b^2 <= s(g)^2, 0 <= g <= 1} where C is the inverse of the
// matrix with rows r[0..2] and s(g) = 1 - (1 - k).g: elliptic cylinders and cones (REC, TEC).
bool EllipticBox(const TVector& v, const TVector r[3], double k, double box[6]);
// Box of {V + C.s : |s| <= 1}, C the inverse of the matrix with rows r[0..2] (GEL).
bool BallBox(const TVector& v, const TVector r[3], double box[6]);

// Real roots of a.t^2 - 2b.t + c (a != 0) without cancellation: 0 (none), 1 (a double root,
// lo = hi) or 2 (lo < hi).
int QuadraticRoots(double a, double b, double c, double& lo, double& hi);

// The slab method of BOX and HEX over n slabs 0 <= (P - q[k]).nrm[k] <= width[k]: reports the
// largest entry (k = 1) and the smallest exit (k = 2) without comparing them with each other.
void SlabCrossings(const TVector& o, const TVector& d, const TGeoData& b, int n, const TVector* q,
                   const TVector* nrm, const double* width, TMatrixA3d& pts, TMatrixAi& codes);

// Shared by BOX and WED (box.cpp): the extent over the 8 corners of the parallelepiped on
// V, H1, H2, H3; K[0..2] = |Hk|^2; the enclosing box of 0 <= (P - V).Hk <= |Hk|^2.
void ParallelepipedExtent(const TGeoData& b, double e[6]);
void ParallelepipedPrepare(const TGeoData& b, TBodyPrep& p);
bool ParallelepipedBound(const TGeoData& b, const TBodyPrep& p, double box[6]);

// Shared by REC and TEC (rec.cpp): extent with the radial margin times factor; K[0] = |H|^2,
// K[1] = |R1|^4, K[2] = |R2|^4, K[3] = K[1]*K[2], K[6] = 1/|R1|^2, K[7] = 1/|R2|^2; the enclosing
// box for the top scale factor.
void EllipticExtent(const TGeoData& b, double factor, double e[6]);
void EllipticPrepare(const TGeoData& b, TBodyPrep& p);
bool EllipticBound(const TGeoData& b, double factor, double box[6]);
