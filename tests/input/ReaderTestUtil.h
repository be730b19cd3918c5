// Loads data text through both reader passes into a model owned by the fixture.
#pragma once

#include "input/Reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

class ReaderFixture : public ::testing::Test {
  protected:
    TGeometry Geometry;
    TTracks Tracks;
    TDisplaySettings Settings;
    double Size = 1000.0;
    std::string Shown; // every error text the reader showed
    int ShowCount = 0;

    std::string WriteData(const std::string& text, const std::string& name = "data.txt") {
        std::string path = WorkFilePath("test-" + name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // Both passes on the text; true on success.
    bool Load(const std::string& text) { return LoadFile(WriteData(text)); }
    bool LoadFile(const std::string& path) {
        TDataReader reader(Geometry, Tracks, Settings, Size);
        reader.Hooks.ShowError = [this](const std::string& t) {
            Shown += t;
            ++ShowCount;
        };
        bool ok = reader.Load(path);
        LastError = reader.LastError();
        return ok;
    }
    std::string LastError;
    static std::string Composed(const std::string& msg, const std::string& token,
                                const std::string& line) {
        return "error : " + msg + "\nReadStr : " + token + "\nLine : " + line + "\n";
    }
    void ExpectEmptyModel() {
        EXPECT_TRUE(Geometry.Bodies.empty());
        EXPECT_TRUE(Geometry.BodyLooks.empty());
        EXPECT_TRUE(Geometry.Zones.empty());
        EXPECT_TRUE(Geometry.ZoneLooks.empty());
        EXPECT_TRUE(Geometry.Materials.empty());
        EXPECT_TRUE(Tracks.empty());
    }
};
