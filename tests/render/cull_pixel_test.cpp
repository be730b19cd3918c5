// The culled stencil drawing against the plain passes: identical pixels on scenes with many
// subtracted bodies, every body type, the cut box, both projections and both polygon styles.
#include "bench/render/TestScenes.h"
#include "input/Reader.h"
#include "render/ImageFile.h"
#include "render/Scene.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int W = 240, H = 180;

class Culling : public ::testing::Test {
  protected:
    void SetUp() override {
        Surface = std::make_unique<TOffscreenControl>(W, H);
        GL = std::make_unique<TGLUnit>(Surface.get(), 10.0);
        if (!GL->Ready()) GTEST_SKIP() << "no X display with GLX";
    }
    // Loads a data file text (the built-in sample when empty) as the viewer does.
    void Load(const std::string& text) {
        double size = 1000;
        TDataReader reader(Geo, Tracks, Settings, size);
        reader.Hooks.ShowError = [](const std::string& t) { ADD_FAILURE() << t; };
        reader.Hooks.RebuildBodies = [&] {
            RebuildSceneMeshes(Geo, Settings.CutBox, Settings.SceneSize, Settings.ReviseRate,
                               Settings.ReviseValue);
        };
        bool ok;
        if (text.empty()) {
            ok = reader.LoadSample();
        } else {
            std::string path = WorkFilePath("cull_scene.dat");
            ASSERT_TRUE(testscenes::WriteText(path, text));
            ok = reader.Load(path);
        }
        ASSERT_TRUE(ok);
        GL->Size = size * 0.6;
    }
    std::vector<uint8_t> Frame(bool plain) {
        TSceneOptions options;
        options.Plain = plain;
        PaintScene(*GL, Geo, Tracks, Settings, Errors, options);
        return GL->FrameRGB();
    }
    // Plain and culled frames of the loaded scene in the given displays, both projections,
    // filled and outlined, with and without the cut box.
    void ExpectSamePixels(const std::string& name, std::initializer_list<int> displays,
                          std::initializer_list<bool> cuts = {false, true},
                          std::initializer_list<int> modes = {1, 0},
                          std::initializer_list<int> projections = {0, 1}) {
        for (int projection : projections)
            for (int mode : modes)
                for (int display : displays)
                    for (bool cut : cuts) {
                        GL->Projection = projection;
                        GL->DrawMode = mode;
                        GL->SetView(1);
                        GL->RotateX(0.45);
                        GL->RotateY(0.6);
                        Settings.ViewInfoType = display;
                        Settings.CutOn = cut;
                        Frame(false); // the light follows the previous frame's camera
                        std::vector<uint8_t> plain = Frame(true);
                        std::vector<uint8_t> culled = Frame(false);
                        std::string what = name + " projection " + std::to_string(projection) +
                                           " mode " + std::to_string(mode) + " display " +
                                           std::to_string(display) + (cut ? " cut" : "");
                        int differ = 0, lit = 0;
                        for (size_t k = 0; k < plain.size(); k += 3) {
                            differ += plain[k] != culled[k] || plain[k + 1] != culled[k + 1] ||
                                      plain[k + 2] != culled[k + 2];
                            lit += plain[k] + plain[k + 1] + plain[k + 2] > 0;
                        }
                        EXPECT_EQ(differ, 0) << what;
                        EXPECT_GT(lit, 100) << what; // a scene is in the picture
                        if (differ && std::getenv("TRAZON_PIXEL_DUMP")) {
                            std::string dir = std::getenv("TRAZON_PIXEL_DUMP"), error;
                            SaveImage(dir + "/" + what + " plain.png", W, H, plain, error);
                            SaveImage(dir + "/" + what + " culled.png", W, H, culled, error);
                        }
                    }
    }
    void CutThrough(double lo, double hi) {
        Settings.CutBox.Params = {lo, hi, lo, hi, lo, hi};
        BuildMesh(Settings.CutBox, true, 0);
    }

    std::unique_ptr<TOffscreenControl> Surface;
    std::unique_ptr<TGLUnit> GL;
    TGeometry Geo;
    TTracks Tracks;
    TDisplaySettings Settings;
    TCheckErrorSegments Errors;
};

} // namespace

TEST_F(Culling, SampleInEveryDisplay) {
    Load("");
    CutThrough(0, 40);
    ExpectSamePixels("sample", {0, 1, 2});
}

TEST_F(Culling, HundredZones) {
    Load(testscenes::HundredZones());
    CutThrough(-20, 100);
    ExpectSamePixels("zones", {1}, {false, true}, {1});
    ExpectSamePixels("zones", {2}, {false}, {0}, {1});
}

TEST_F(Culling, WorldMinusTwoHundredBodies) {
    // the plain passes of this scene take seconds a frame: a few pictures only
    Load(testscenes::WorldMinusBodies(200));
    CutThrough(0, 200);
    ExpectSamePixels("world", {1}, {false}, {1}, {0});
    ExpectSamePixels("world", {1}, {true}, {1}, {1});
}

TEST_F(Culling, EveryBodyType) {
    Load(testscenes::AllTypes());
    CutThrough(-5, 60);
    ExpectSamePixels("types", {0, 1, 2});
}

TEST_F(Culling, ZoomedInSoThatMostBodiesLeaveTheView) {
    Load(testscenes::WorldMinusBodies(60, 3));
    GL->Translate(30, 10, 0);
    Settings.CutOn = false;
    double size = GL->Size;
    GL->Size = size / 6;
    ExpectSamePixels("zoomed", {1}, {false});
}
