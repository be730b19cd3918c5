#include "ZoneSurfaceJob.h"

#include <new>

namespace {

// FNV-1a over the bytes of the values.
struct THash {
    uint64_t H = 1469598103934665603ull;
    void Bytes(const void* p, size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i) H = (H ^ b[i]) * 1099511628211ull;
    }
    template <class T> void Value(const T& v) { Bytes(&v, sizeof v); }
    void Text(const std::string& s) {
        Value(s.size());
        Bytes(s.data(), s.size());
    }
};

} // namespace

uint64_t ZoneSurfaceKey(const TGeometry& geo, const TGeoData* cutBox) {
    THash h;
    h.Value(geo.Bodies.size());
    for (const TGeoData& b : geo.Bodies) {
        h.Text(b.Symbol);
        h.Value(b.Number);
        h.Bytes(b.Params.data(), sizeof(double) * b.Params.size());
        h.Value(b.MeshGrid.size());
    }
    h.Value(geo.Zones.size());
    for (const TZoneData& z : geo.Zones) {
        h.Value(z.Material);
        for (size_t g = 0; g < z.BodyIndex.size(); ++g) {
            h.Value(g);
            h.Bytes(z.BodyIndex[g].data(), sizeof(int32_t) * z.BodyIndex[g].size());
            if (g < z.Sign.size()) h.Bytes(z.Sign[g].data(), sizeof(int32_t) * z.Sign[g].size());
            if (g < z.GroupOp.size()) h.Value(z.GroupOp[g]);
        }
    }
    h.Value(geo.Materials.size());
    for (const TMaterialLook& m : geo.Materials) h.Value(m.Number);
    h.Value(cutBox != nullptr);
    if (cutBox) h.Bytes(cutBox->Params.data(), sizeof(double) * 6);
    return h.H == 0 ? 1 : h.H;
}

void TZoneSurfaceJob::Start(const TGeometry& geo, const TGeoData* cutBox, uint64_t key) {
    Cancel();
    Copy.Bodies = geo.Bodies; // copies start unprepared
    for (size_t b = 0; b < Copy.Bodies.size(); ++b)
        if (geo.Bodies[b].Prep.Ready) PrepareBody(Copy.Bodies[b]);
    Copy.Zones = geo.Zones;
    Copy.Materials = geo.Materials;
    HasCut = cutBox != nullptr;
    if (HasCut) Cut = *cutBox;
    JobKey = key;
    Stop = false;
    Finished = false;
    Share = 0;
    Ok = false;
    Thread = std::thread([this] {
        TSurfaceOptions options;
        options.CutBox = HasCut ? &Cut : nullptr;
        options.Progress = [this](double done) {
            Share = done;
            return !Stop.load();
        };
        try {
            Ok = BuildZoneSurfaces(Copy, options, Result);
        } catch (const std::bad_alloc&) {
            Ok = false;
            Result = TZoneSurfaces{};
        }
        Copy = TGeometry{};
        Finished = true;
    });
}

void TZoneSurfaceJob::Cancel() {
    Stop = true;
    if (Thread.joinable()) Thread.join();
    Stop = false;
}

bool TZoneSurfaceJob::Take(TZoneSurfaces& out) {
    if (!Thread.joinable() || !Finished.load()) return false;
    Thread.join();
    if (!Ok) return false;
    out = std::move(Result);
    Result = TZoneSurfaces{};
    return true;
}
