// BOX: placeholder until the engine lands.
#include "BodyTypes.h"

namespace {
void Extent(const TGeoData&, double e[6]) {
    for (int i = 0; i < 6; ++i) e[i] = 0;
}
bool Inside(const TGeoData&, double, double, double) { return false; }
void Crossings(const TVector&, const TVector&, const TGeoData&, TMatrixA3d&, TMatrixAi&) {}
} // namespace

const TBodyType BoxType = {"BOX", 12, Extent, nullptr, Inside, Crossings};
