#include "MyCGUnit.h"
#include "bodies/BodyTypes.h"

#include <cmath>

const std::array<const char*, BodyTypeCount> BodySymbols = {
    "RPP", "RCC", "SPH", "TRC", "TOR", "BOX", "REC", "TEC", "ELL", "WED", "ARB", "HAF", "HEX", "GEL"};

const std::array<TColor, 14> BasicPalette = {0x000000, 0xFFFFFF, 0x0000FF, 0xFF00FF, 0x00FFFF,
                                             0x00FF00, 0xFFFF00, 0xFF0000, 0x000080, 0x800080,
                                             0x008080, 0x008000, 0x808000, 0x800000};

TColor PaletteColor(int64_t n) {
    int64_t m = n % 12;
    if (m < 0) m += 12;
    return BasicPalette[static_cast<size_t>(m + 2)];
}

void TGeometry::Clear() {
    Bodies.clear();
    GrownBodies.clear();
    BodyLooks.clear();
    Zones.clear();
    ZoneLooks.clear();
    Materials.clear();
}

const TBodyType& BodyTypeOf(int kind) {
    static const TBodyType* const table[BodyTypeCount] = {
        &RppType, &RccType, &SphType, &TrcType, &TorType, &BoxType, &RecType,
        &TecType, &EllType, &WedType, &ArbType, &HafType, &HexType, &GelType};
    return *table[kind];
}

int BodyKind(const std::string& symbol) {
    for (int k = 0; k < BodyTypeCount; ++k)
        if (symbol == BodySymbols[static_cast<size_t>(k)]) return k;
    return -1;
}

int ParameterCount(const std::string& symbol) {
    int k = BodyKind(symbol);
    return k < 0 ? 0 : BodyTypeOf(k).ParamCount;
}

int FindBodyIndex(const TAGeoData& bodies, int32_t number) {
    for (size_t i = 0; i < bodies.size(); ++i)
        if (bodies[i].Number == number) return static_cast<int>(i);
    return -1;
}

static int KindOf(const TGeoData& b) { return b.Prep.Ready ? b.Prep.Kind : BodyKind(b.Symbol); }

void BodyExtent(const TGeoData& body, double& xmin, double& xmax, double& ymin, double& ymax,
                double& zmin, double& zmax, double& dmin, double& dmax) {
    int k = KindOf(body);
    if (k < 0) return;
    double e[6];
    BodyTypeOf(k).Extent(body, e);
    xmin = e[0], xmax = e[1], ymin = e[2], ymax = e[3], zmin = e[4], zmax = e[5];
    dmin = std::sqrt(xmin * xmin + ymin * ymin + zmin * zmin);
    dmax = std::sqrt(xmax * xmax + ymax * ymax + zmax * zmax);
}

void PrepareBody(TGeoData& body) {
    body.Prep = TBodyPrep{};
    body.Prep.Kind = BodyKind(body.Symbol);
    if (body.Prep.Kind >= 0) {
        const TBodyType& t = BodyTypeOf(body.Prep.Kind);
        if (t.Prepare) t.Prepare(body);
    }
    body.Prep.Ready = true;
}

void PrepareBodies(TAGeoData& bodies) {
    for (TGeoData& b : bodies) PrepareBody(b);
}

bool PointInBody(const TGeoData& body, double x, double y, double z) {
    int k = KindOf(body);
    return k >= 0 && BodyTypeOf(k).Inside(body, x, y, z);
}

void RayBodyIntersections(const TVector& o, const TVector& d, const TGeoData& body,
                          TMatrixA3d& points, TMatrixAi& codes) {
    int k = KindOf(body);
    if (k >= 0) BodyTypeOf(k).Crossings(o, d, body, points, codes);
}

bool ZoneContains(const TAGeoData& bodies, const TZoneData& zone, double x, double y, double z) {
    for (size_t g = 0; g < zone.BodyIndex.size(); ++g) {
        const TMatrixAi& idx = zone.BodyIndex[g];
        const TMatrixAi& sgn = zone.Sign[g];
        bool in = true;
        for (size_t t = 0; t < idx.size() && in; ++t) {
            bool inside = idx[t] >= 0 && PointInBody(bodies[static_cast<size_t>(idx[t])], x, y, z);
            in = (sgn[t] > 0) ? inside : !inside;
        }
        if (in) return true;
    }
    return false;
}

int FindZone(const TAGeoData& bodies, const TAZoneData& zones, TMatrixAi& result, double x,
             double y, double z) {
    result.clear();
    for (size_t i = 0; i < zones.size(); ++i)
        if (ZoneContains(bodies, zones[i], x, y, z)) result.push_back(static_cast<int32_t>(i));
    return static_cast<int>(result.size());
}
