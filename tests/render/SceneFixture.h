// The frame fixture of the pixel tests: a 200 x 200 off-screen surface, camera size 10,
// a geometry built up body by body, and pixel access to the presented frame.
#pragma once

#include "document/Document.h"
#include "render/ImageFile.h"
#include "render/Scene.h"
#include "tests/geometry/GeoTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

namespace scenetest {

constexpr int W = 200, H = 200;

inline TGeoData Body(const std::string& sym, int number, std::initializer_list<double> params) {
    return MakeBody(sym, number, params);
}

struct TRGB {
    int R, G, B;
    bool Dark() const { return R + G + B == 0; }
};

class Scene : public ::testing::Test {
  protected:
    void SetUp() override {
        Surface = std::make_unique<TOffscreenControl>(W, H);
        GL = std::make_unique<TGLUnit>(Surface.get(), 10.0);
        if (!GL->Ready()) GTEST_SKIP() << "no X display with GLX";
        Settings.ViewInfoType = 0;
    }
    void AddBody(const TGeoData& b, TColor colour) {
        Geo.Bodies.push_back(b);
        Geo.BodyLooks.push_back({colour, true});
    }
    // A zone of signed body positions per group (position + 1, negative when subtracted; a
    // position past the bodies names a missing body), drawn in its own colour.
    void AddZone(std::initializer_list<std::initializer_list<int>> groups, TColor colour) {
        TZoneData z;
        z.Name = "Z" + std::to_string(Geo.Zones.size() + 1);
        z.Material = 1;
        for (const auto& g : groups) {
            TMatrixAi idx, sign;
            for (int t : g) {
                int pos = std::abs(t) - 1;
                idx.push_back(pos < static_cast<int>(Geo.Bodies.size()) ? pos : -1);
                sign.push_back(t < 0 ? -1 : 1);
            }
            z.BodyIndex.push_back(idx);
            z.Sign.push_back(sign);
            z.GroupOp.push_back('O');
        }
        Geo.Zones.push_back(z);
        Geo.ZoneLooks.push_back({colour, true});
        Settings.ViewInfoType = 1;
    }
    void Build(double sceneSize = 10) {
        Settings.SceneSize = sceneSize;
        Doc.RebuildMeshes();
    }
    void Paint() {
        PaintScene(*GL, Geo, Tracks, Settings, Errors, Options);
        Frame = GL->FrameRGB();
    }
    TRGB At(int x, int y) const { // y from the top
        size_t k = (static_cast<size_t>(y) * W + static_cast<size_t>(x)) * 3;
        return {Frame[k], Frame[k + 1], Frame[k + 2]};
    }
    // Dark pixels with at least six lit neighbours of eight: holes in a filled picture.
    int IsolatedDark() const {
        int n = 0;
        for (int y = 1; y + 1 < H; ++y)
            for (int x = 1; x + 1 < W; ++x) {
                if (!At(x, y).Dark()) continue;
                int lit = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        lit += (dx || dy) && !At(x + dx, y + dy).Dark();
                n += lit >= 6;
            }
        return n;
    }
    int Count(bool (*pred)(const TRGB&)) const {
        int n = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) n += pred(At(x, y));
        return n;
    }
    // Screen column of an eye-space x under the parallel projection (Size 10 -> half-width 15).
    static int Column(double xEye) {
        return static_cast<int>((xEye / (GLSize() * 1.5) + 1) * W / 2);
    }
    static int Row(double yEye) { return static_cast<int>((1 - yEye / (GLSize() * 1.5)) * H / 2); }
    static double GLSize() { return 10.0; }

    std::unique_ptr<TOffscreenControl> Surface;
    std::unique_ptr<TGLUnit> GL;
    TDocument Doc;
    TGeometry& Geo = Doc.Geometry;
    TTracks& Tracks = Doc.Tracks;
    TDisplaySettings& Settings = Doc.Display;
    TCheckErrorSegments& Errors = Doc.CheckErrors;
    TSceneOptions Options;
    std::vector<uint8_t> Frame;
};

inline bool Lit(const TRGB& c) {
    return !c.Dark();
}

// With TRAZON_PIXEL_DUMP set to a directory, frames can be saved there for looking at.
inline void Dump(const std::vector<uint8_t>& frame, const std::string& name) {
    const char* dir = std::getenv("TRAZON_PIXEL_DUMP");
    if (!dir) return;
    std::string error;
    SaveImage(std::string(dir) + "/" + name + ".png", W, H, frame, error);
}

} // namespace scenetest
