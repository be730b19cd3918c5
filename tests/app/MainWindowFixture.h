// Shared fixture of the main window tests: a private settings file, answered message boxes.
#pragma once

#include "tests/TestApp.h"
#include "app/main.h"
#include "app/resource.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

QApplication* App() {
    return TestApp();
}

constexpr const char* TimeData = "CSTA-FREE-TIME\n"
                                 "RPP 1 -10.0 10.0 -10.0 10.0 -5.0 5.0\n"
                                 "SPH 2 0.0 0.0 15.0 6.0\n"
                                 "END\n"
                                 "Z1 1\n"
                                 "Z2 2 -1\n"
                                 "END\n"
                                 "CEND\n"
                                 "MSTA\n"
                                 "2\n"
                                 "1 2\n"
                                 "MEND\n"
                                 "0 1\n"
                                 "4 0.0 0.0 -30.0 10.0 1 1.0 0.0\n"
                                 "4 0.0 0.0 -20.0 9.0 1 1.0 100.0\n"
                                 "-1\n"
                                 "9 1\n";

constexpr const char* PlainData = "CSTA-FREE\n"
                                  "SPH 1 0.0 0.0 0.0 6.0\n"
                                  "END\n"
                                  "Z1 1\n"
                                  "END\n"
                                  "CEND\n"
                                  "MSTA\n"
                                  "1\n"
                                  "1\n"
                                  "MEND\n";

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        Dir = fs::temp_directory_path() / ("trazon_main_" + std::to_string(::getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        SettingsPathOverride = (Dir / "trazon.ini").string();
        MessageBoxHook = [this](const std::string& t) { Messages.push_back(t); };
        QuestionHook = [this](const std::string& t) {
            Questions.push_back(t);
            return Answer;
        };
    }
    void TearDown() override {
        delete Main;
        Main = nullptr;
        MessageBoxHook = nullptr;
        QuestionHook = nullptr;
        SettingsPathOverride.clear();
        fs::remove_all(Dir);
    }
    TFmMain* Start() {
        Main = new TFmMain(Doc);
        Main->CreateDialogs();
        Main->show();
        Pump(100);
        return Main;
    }
    std::string Write(const char* name, const char* text) {
        std::string p = (Dir / name).string();
        std::ofstream(p) << text;
        return p;
    }
    std::string ReadFile(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Open(const std::string& path) {
        Main->ChooseOpenFile = [path] { return path; };
        Main->MenuPclOpenClick();
    }
    static bool Enabled(QMenu* m) { return m->menuAction()->isEnabled(); }
    // Draws a frame and lets the zone surfaces that it asks for be made and drawn.
    void PaintWithSurfaces() {
        Main->Repaint();
        for (int i = 0; i < 600 && Main->SurfacesPending(); ++i) Pump(50);
        Pump(300); // the job's last step draws the frame with them
    }

    fs::path Dir;
    TDocument Doc; // what the window shows
    TFmMain* Main = nullptr;
    std::vector<std::string> Messages, Questions;
    bool Answer = true;
};

} // namespace
