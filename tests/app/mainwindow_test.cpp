#include "MainWindowFixture.h"

#include <QMouseEvent>
#include "dialogs/SliceDialog.h"
#include "dialogs/TrackZoneDialog.h"
#include "dialogs/EditorGrid.h"
#include "dialogs/GeometryEditor.h"
#include <QElapsedTimer>
#include <cstdlib>

TEST_F(MainWindowTest, StartUpShowsTitleScreenOverTurningSample) {
    Start();
    EXPECT_EQ(Main->windowTitle().toStdString(),
              "particle trajectory and geometry display program");
    EXPECT_EQ(Main->STName->text().toStdString(),
              "particle trajectory and geometry display program");
    EXPECT_EQ(Main->STVer->text().toStdString(), "TRAZON 2.4.0");
    EXPECT_EQ(Main->STSelect->text().toStdString(), "Please Select Data");
    EXPECT_EQ(Main->STLeft->text().toStdString(), "MouseLeftButton  - Rotate");
    EXPECT_EQ(Main->STRight->text().toStdString(), "MouseRightButton - Scale");
    EXPECT_EQ(Main->STMid->text().toStdString(), "MouseMiddleButton- Translate");
    for (QLabel* l :
         {Main->STName, Main->STVer, Main->STSelect, Main->STLeft, Main->STRight, Main->STMid})
        EXPECT_TRUE(l->isVisible());
    EXPECT_FALSE(Main->STTitle->isVisible());
    EXPECT_FALSE(Main->PGuide->isVisible());
    EXPECT_TRUE(Main->MenuPclOpen->isEnabled());
    EXPECT_FALSE(Main->MenuReLoad->isEnabled());
    EXPECT_FALSE(Main->MenuSave->isEnabled());
    EXPECT_FALSE(Main->MenuPrint->isEnabled());
    EXPECT_TRUE(Main->MenuGeoMake->isEnabled());
    EXPECT_TRUE(Main->MEyeLoadFile->isEnabled());
    for (QMenu* m : {Main->MenuEnv, Main->MenuDispAxis, Main->MenuAxis, Main->MenuProjection,
                     Main->MenuDispType, Main->MenuTool})
        EXPECT_FALSE(Enabled(m)) << m->title().toStdString();
    EXPECT_FALSE(Main->MenuAnimation->isEnabled());
    EXPECT_EQ(Main->MOrtho->text().toStdString(), "Ortho");
    EXPECT_EQ(Main->MZY->text().toStdString(), "Z-Y");
    EXPECT_EQ(Main->MEyeSave[9]->text().toStdString(), "Slot10");
    // defaults: ON, Polygon, Z-Y, Ortho
    EXPECT_TRUE(Main->MAxisOn->isChecked());
    EXPECT_TRUE(Main->MPolygon->isChecked());
    EXPECT_TRUE(Main->MZY->isChecked());
    EXPECT_TRUE(Main->MOrtho->isChecked());
    EXPECT_EQ(Main->GL->DrawMode, 1);
    EXPECT_EQ(Main->GL->ViewMode, 5);
    // the sample: 10 bodies, 7 zones, turning while idle
    EXPECT_TRUE(Main->IsSample);
    EXPECT_EQ(Doc.Geometry.Bodies.size(), 10u);
    EXPECT_EQ(Doc.Geometry.Zones.size(), 7u);
    EXPECT_TRUE(Main->Spinning());
    TGLMatrix before = Main->GL->Rotation;
    Pump(300);
    EXPECT_NE(Main->GL->Rotation, before);
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(Main->GL->Ready());
}

TEST_F(MainWindowTest, OpenWithTimeColumnThenReload) {
    Start();
    std::string path = Write("with time.pic", TimeData);
    Open(path);
    EXPECT_FALSE(Main->Spinning());
    EXPECT_FALSE(Main->IsSample);
    EXPECT_EQ(Main->windowTitle().toStdString(), "TRAZON  - " + path);
    EXPECT_EQ(Main->WindowTitle, "TRAZON  - " + path);
    EXPECT_EQ(Doc.Geometry.Bodies.size(), 2u);
    EXPECT_FALSE(Main->STName->isVisible());
    EXPECT_FALSE(Main->STSelect->isVisible());
    EXPECT_TRUE(Main->MenuReLoad->isEnabled());
    EXPECT_TRUE(Main->MenuSave->isEnabled());
    for (QMenu* m : {Main->MenuEnv, Main->MenuDispAxis, Main->MenuAxis, Main->MenuProjection,
                     Main->MenuDispType, Main->MenuTool})
        EXPECT_TRUE(Enabled(m));
    EXPECT_TRUE(Main->MenuAnimation->isEnabled());
    EXPECT_TRUE(Doc.Display.HasTime);
    EXPECT_TRUE(Doc.Display.TimeOn);
    EXPECT_EQ(Main->Dirs.OpenDir, Dir.string());

    // reload reads the same path again
    Doc.Tracks.clear();
    Main->MenuReLoadClick();
    EXPECT_EQ(Doc.Tracks.size(), 2u);
    // a file that has gone
    fs::remove(path);
    Main->MenuReLoadClick();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], path + " is Not Found!");

    // a file without a time column keeps "Animation" disabled
    Open(Write("plain.pic", PlainData));
    EXPECT_FALSE(Main->MenuAnimation->isEnabled());
    EXPECT_FALSE(Doc.Display.TimeOn);
}

TEST_F(MainWindowTest, CancelledOpenStillStopsTheIdleRotation) {
    Start();
    Main->ChooseOpenFile = [] { return std::string(); };
    Main->MenuPclOpenClick();
    EXPECT_FALSE(Main->Spinning());
    EXPECT_TRUE(Main->IsSample);
    EXPECT_EQ(Doc.Geometry.Bodies.size(), 10u);
}

TEST_F(MainWindowTest, ReadErrorShowsOneMessageAndEmptiesModel) {
    Start();
    Open(Write("bad.pic", "CSTA-FREE\nRPP 0 1 2 3 4 5 6\nEND\n"));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_NE(Messages[0].find("Read Body Number Error"), std::string::npos);
    EXPECT_TRUE(Doc.Geometry.Bodies.empty());
    EXPECT_FALSE(Main->STName->isVisible()); // loaded state with an empty model
    Main->Repaint();
}

TEST_F(MainWindowTest, SaveImageInEachFormat) {
    Start();
    Open(Write("plain.pic", PlainData));
    Doc.Display.BackColor = 0x0000FF; // red, so the background is easy to find
    Main->UpdateRangeLabel();
    struct Case {
        const char* Name;
        std::string Magic;
    } cases[] = {{"shot.bmp", "BM"}, {"shot.png", "\x89PNG"}, {"shot.jpg", "\xFF\xD8\xFF"}};
    for (const auto& c : cases) {
        std::string p = (Dir / c.Name).string();
        Main->ChooseSaveFile = [p] { return p; };
        Main->MenuSaveClick();
        std::string bytes = ReadFile(p);
        ASSERT_GE(bytes.size(), c.Magic.size()) << c.Name;
        EXPECT_EQ(bytes.substr(0, c.Magic.size()), c.Magic) << c.Name;
        QImage img(QString::fromStdString(p));
        ASSERT_FALSE(img.isNull()) << c.Name;
        EXPECT_EQ(img.size(), Main->Canvas->size());
        QColor corner = img.pixelColor(2, img.height() - 3);
        EXPECT_NEAR(corner.red(), 255, 8) << c.Name;
        EXPECT_NEAR(corner.green(), 0, 8) << c.Name;
        EXPECT_NEAR(corner.blue(), 0, 8) << c.Name;
    }
    EXPECT_TRUE(Questions.empty());
    EXPECT_EQ(Main->Dirs.SaveDir, Dir.string());

    // overwriting asks; Cancel writes nothing
    std::string p = (Dir / "shot.bmp").string();
    std::ofstream(p) << "keep";
    Answer = false;
    Main->ChooseSaveFile = [p] { return p; };
    Main->MenuSaveClick();
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Questions[0], "shot.bmp is Found! OverWrite OK?");
    EXPECT_EQ(ReadFile(p), "keep");
    Answer = true;
    Main->MenuSaveClick();
    EXPECT_EQ(ReadFile(p).substr(0, 2), "BM");
}

TEST_F(MainWindowTest, SavedImageIncludesTheTextsOverThePicture) {
    Start();
    Doc.Display.BackColor = 0x000000;
    Doc.Display.ForeColor = 0xFFFFFF;
    Main->UpdateRangeLabel();
    Main->StopSpinning();
    QImage img = Main->ClientImage();
    QRect r = Main->STSelect->geometry();
    int white = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y).lightness() > 200) ++white;
    EXPECT_GT(white, 50); // the letters of "Please Select Data"
}

TEST_F(MainWindowTest, SettingsFileWrittenAtShutDownAndReadAtStart) {
    Start();
    delete Main;
    Main = nullptr;
    std::string text = ReadFile(SettingsPathOverride);
    for (const char* key :
         {"[Particle]", "ReadMax=1000", "[ParticleView4]", "Color=clYellow", "[GroundColor]",
          "Back=clBlack", "[AxisData]", "[DrawType]", "DirectionType=5", "[ViewMode]", "Rate=1E-6",
          "[HViewData]", "[Browser]", "[ColorCount]", "Waittime=1000"})
        EXPECT_NE(text.find(key), std::string::npos) << key;
    EXPECT_EQ(text.find("EyePos"), std::string::npos);

    // values in the file set the menus through their handlers; unknown keys are kept
    std::ofstream(SettingsPathOverride)
        << "[Dir]\nMGOpenDir=/editor/dir\n[AxisData]\nOnOff=0\n[DrawType]\nDrawType=0\n"
           "[DirectionType]\nDirectionType=1\n[ViewMode]\nViewMode=1\n";
    Start();
    EXPECT_TRUE(Main->MAxisOff->isChecked());
    EXPECT_TRUE(Main->MLine->isChecked());
    EXPECT_TRUE(Main->MXZ->isChecked());
    EXPECT_TRUE(Main->MPerspective->isChecked());
    EXPECT_EQ(Main->GL->DrawMode, 0);
    EXPECT_EQ(Main->GL->Projection, 1);
    EXPECT_EQ(Main->GL->ViewMode, 1);
    // a slot saved during the run is written at shut-down
    Main->ViewSlots[6].EyePos = 77;
    delete Main;
    Main = nullptr;
    text = ReadFile(SettingsPathOverride);
    EXPECT_NE(text.find("MGOpenDir=/editor/dir"), std::string::npos);
    EXPECT_NE(text.find("DirectionType=1"), std::string::npos);
    EXPECT_NE(text.find("[EyePos]\nData7=77"), std::string::npos);
    Start();
    EXPECT_EQ(Main->ViewSlots[6].EyePos, 77);
}

TEST_F(MainWindowTest, UnknownMenuValueKeepsDefault) {
    std::ofstream(SettingsPathOverride) << "[DirectionType]\nDirectionType=2\n";
    Start();
    EXPECT_TRUE(Main->MZY->isChecked());
    delete Main;
    Main = nullptr;
    EXPECT_NE(ReadFile(SettingsPathOverride).find("DirectionType=5"), std::string::npos);
}

TEST_F(MainWindowTest, GarbledSettingsFileGivesDefaults) {
    std::string junk =
        "[GroundColor\n\x01\x02\xff=\n[Particle]\nReadMax=abc\n[ColorCount]\nGeo=-4\n";
    std::ofstream(SettingsPathOverride, std::ios::binary) << junk;
    Start();
    EXPECT_EQ(Doc.Display.ReadMax, 1000);
    EXPECT_TRUE(Doc.Display.GColor.empty());
    EXPECT_TRUE(Messages.empty());
}

TEST_F(MainWindowTest, ViewMenusSetTheCamera) {
    Start();
    Main->StopSpinning();
    Main->GL->RotateX(0.5);
    Main->GL->Translate(3, 4, 0);
    Main->MPerspectiveClick();
    EXPECT_TRUE(Main->MPerspective->isChecked());
    EXPECT_EQ(Main->GL->Projection, 1);
    EXPECT_EQ(Main->GL->ViewMode, 5); // orientation kept, rotation and pan discarded
    EXPECT_EQ(Main->GL->Translation, TGLUnit::IdentityMatrix());
    Main->MXYClick();
    EXPECT_EQ(Main->GL->ViewMode, 0);
    EXPECT_EQ(Main->GL->Rotation, TGLUnit::IdentityMatrix());
    Main->MLineClick();
    EXPECT_EQ(Main->GL->DrawMode, 0);
    Main->MAxisOffClick();
    EXPECT_FALSE(Main->AxisOn());
    TMenuSettings m = Main->MenuState();
    EXPECT_EQ(m.AxisData, 0);
    EXPECT_EQ(m.DrawType, 0);
    EXPECT_EQ(m.DirectionType, 0);
    EXPECT_EQ(m.ViewMode, 1);
}

TEST_F(MainWindowTest, ZoomRectangleBackwardsEqualsForwards) {
    Start();
    Main->StopSpinning();
    auto zoom = [&](int x0, int y0, int x1, int y1) {
        Main->GL->SetView(0);
        Main->GL->Size = 100;
        Main->FormMouseDown(Qt::LeftButton, Qt::ShiftModifier, x0, y0);
        EXPECT_EQ(Main->DragMode, 4);
        Main->FormMouseMove(Qt::ShiftModifier, (x0 + x1) / 2, (y0 + y1) / 2);
        Main->FormMouseMove(Qt::ShiftModifier, x1, y1);
        Main->FormMouseUp(Qt::LeftButton, Qt::ShiftModifier, x1, y1);
        EXPECT_EQ(Main->DragMode, 0);
        return std::make_pair(Main->GL->Size, Main->GL->Translation);
    };
    auto fwd = zoom(100, 120, 300, 220);
    auto back = zoom(300, 220, 100, 120);
    EXPECT_DOUBLE_EQ(fwd.first, back.first);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(fwd.second[i], back.second[i], 1e-9);
    double w = Main->Canvas->width(), h = Main->Canvas->height();
    EXPECT_DOUBLE_EQ(fwd.first, 100 * std::max(200 / w, 100 / h));
    EXPECT_NEAR(fwd.second[12], 150 * (w - 400) / h, 1e-9);
    // a Shift-click without moving changes nothing
    auto none = zoom(50, 60, 50, 60);
    EXPECT_EQ(none.first, 100);
    EXPECT_EQ(none.second, TGLUnit::IdentityMatrix());
}

TEST_F(MainWindowTest, ZoomRectangleIsDrawnOverTheLastFrame) {
    Start();
    Main->StopSpinning();
    Open(Write("plain.pic", PlainData));
    Main->Repaint();
    std::vector<uint8_t> frame = Main->GL->FrameRGB();
    auto lit = [](const std::vector<uint8_t>& rgb) {
        int n = 0;
        for (size_t k = 0; k + 2 < rgb.size(); k += 3) n += rgb[k] + rgb[k + 1] + rgb[k + 2] > 0;
        return n;
    };
    ASSERT_GT(lit(frame), 1000);
    Main->FormMouseDown(Qt::LeftButton, Qt::ShiftModifier, 10, 10);
    Main->FormMouseMove(Qt::ShiftModifier, 60, 50);
    std::vector<uint8_t> shown = Main->GL->PackedRGB(Main->GL->ShownBuffer());
    ASSERT_EQ(shown.size(), frame.size());
    const size_t w = static_cast<size_t>(Main->GL->ViewWidth);
    size_t corner = (50 * w + 60) * 3;
    EXPECT_EQ(shown[corner], 255); // the rectangle in the foreground colour
    // and apart from its outline the picture it frames
    int differ = 0;
    for (size_t k = 0; k < frame.size(); k += 3) differ += shown[k + 1] != frame[k + 1];
    EXPECT_LE(differ, 2 * (50 + 40) + 4);
    EXPECT_GT(lit(shown), lit(frame) - 200);
    Main->FormMouseUp(Qt::LeftButton, Qt::ShiftModifier, 60, 50);
}

// The viewer and trazon-cli render draw the same pixels for the same file, size and view.
TEST_F(MainWindowTest, CanvasEqualsTheCommandLinePicture) {
    Start();
    Main->StopSpinning();
    std::string data = Write("time.pic", TimeData);
    Open(data);
    Doc.Display.ViewInfoType = 1;
    const int w = Main->Canvas->width(), h = Main->Canvas->height();
    for (bool perspective : {false, true}) {
        SCOPED_TRACE(perspective ? "perspective" : "parallel");
        if (perspective)
            Main->MPerspectiveClick();
        else
            Main->MOrthoClick();
        Main->MZYClick();
        const double degree = 3.14159265358979323846 / 180;
        Main->GL->RotateX(23 * degree);
        Main->GL->RotateY(17 * degree);
        Main->MFitViewClick(); // as the command line frames what is drawn
        PaintWithSurfaces();
        Main->Repaint(); // a second frame: nothing may depend on the one before
        std::vector<uint8_t> canvas = Main->GL->FrameRGB();
        std::string png = (Dir / "cli.png").string();
        std::string cmd = std::string(TRAZON_CLI) + " render " + data + " -o " + png + " --size " +
                          std::to_string(w) + "x" + std::to_string(h) +
                          " --view zy --type zone --turn 23,17" +
                          (perspective ? " --projection perspective" : "") + " > /dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        QImage cli = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(cli.width(), w);
        ASSERT_EQ(cli.height(), h);
        int differ = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * 3; ++x)
                differ += cli.constScanLine(y)[x] != canvas[(static_cast<size_t>(y) * w) * 3 + x];
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(MainWindowTest, MouseDragsCameraAndLabels) {
    Start();
    Main->StopSpinning();
    Main->GL->SetView(0);
    Main->FormMouseDown(Qt::LeftButton, Qt::NoModifier, 10, 300);
    Main->FormMouseMove(Qt::NoModifier, 110, 300);
    Main->FormMouseUp(Qt::LeftButton, Qt::NoModifier, 110, 300);
    TOffscreenControl c(10, 10);
    TGLUnit ref(&c, 1);
    ref.RotateX(0);
    ref.RotateY(0.9);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(Main->GL->Rotation[i], ref.Rotation[i], 1e-12);

    // a hidden text does not catch the press
    Main->STMemo->hide();
    QPoint inMemo = Main->STMemo->geometry().center();
    Main->FormMouseDown(Qt::LeftButton, Qt::NoModifier, inMemo.x(), inMemo.y());
    EXPECT_EQ(Main->DragMode, 0);
    Main->FormMouseUp(Qt::LeftButton, Qt::NoModifier, inMemo.x(), inMemo.y());
    // the visible legend panel is dragged
    Main->PGuide->show();
    QPoint start = Main->PGuide->pos();
    QPoint in = Main->PGuide->geometry().center();
    Main->FormMouseDown(Qt::LeftButton, Qt::NoModifier, in.x(), in.y());
    EXPECT_EQ(Main->DragMode, 3);
    Main->FormMouseMove(Qt::NoModifier, in.x() - 30, in.y() + 12);
    Main->FormMouseUp(Qt::LeftButton, Qt::NoModifier, in.x() - 30, in.y() + 12);
    EXPECT_EQ(Main->PGuide->pos(), start + QPoint(-30, 12));
    EXPECT_EQ(Main->DragMode, 0);
    // mouse moves during an animation are dropped
    Main->Animating = true;
    Main->FormMouseDown(Qt::LeftButton, Qt::NoModifier, 10, 10);
    TGLMatrix r = Main->GL->Rotation;
    Main->FormMouseMove(Qt::NoModifier, 60, 10);
    EXPECT_EQ(Main->GL->Rotation, r);
    Main->Animating = false;
    Main->FormMouseUp(Qt::LeftButton, Qt::NoModifier, 60, 10);
}

TEST_F(MainWindowTest, ResizeKeepsLayoutInside) {
    Start();
    Main->PGuide->show();
    Main->PGuide->move(600, 500);
    Main->resize(500, 400);
    Pump(100);
    Main->FormResize();
    int W = Main->Canvas->width(), H = Main->Canvas->height();
    EXPECT_EQ(Main->PGuide->x() + Main->PGuide->width(), W);
    EXPECT_EQ(Main->PGuide->y() + Main->PGuide->height(), H);
    EXPECT_EQ(Main->STSelect->y(), H - Main->STSelect->height() - 40);
    EXPECT_EQ(Main->STSelect->width(), W);
    EXPECT_EQ(Main->STMid->x(), W - Main->STMid->width() - 40);
    EXPECT_EQ(Main->STLeft->x(), Main->STMid->x());
    EXPECT_EQ(Main->STRight->y(), Main->STMid->y() - Main->STRight->height());
    // the picture follows the new size
    Main->Repaint();
    EXPECT_EQ(Main->GL->ViewWidth, W);
    EXPECT_EQ(Main->GL->ViewHeight, H);
}

TEST_F(MainWindowTest, WorkFilesDoNotOutliveTheLoad) {
    Start();
    std::string dir = WorkDir();
    ASSERT_FALSE(dir.empty());
    // the sample is loaded: nothing of it is kept in the work directory
    for (const char* name : {DummyFileName, DivFileName, LineFileName})
        EXPECT_FALSE(fs::exists(dir + name)) << name;
    delete Main;
    Main = nullptr;
    EXPECT_FALSE(fs::exists(dir + DummyFileName));
}

TEST(RunCommandTest, NoShellAndMissingProgram) {
    App();
    fs::path dir = fs::temp_directory_path() / ("trazon_run_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string out = (dir / "out.txt").string();
    std::string script = (dir / "echo it.sh").string();
    std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << out << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    // a path with a blank, and an argument full of shell characters, passed as one word
    std::string arg = "file:///tmp/a b;touch " + (dir / "pwned").string() + "&$(x)";
    ASSERT_TRUE(RunCommand("\"" + script + "\"", arg));
    for (int i = 0; i < 100 && !fs::exists(out); ++i) Pump(20);
    Pump(50);
    std::ifstream in(out);
    std::string got((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(got, arg);
    EXPECT_FALSE(fs::exists(dir / "pwned"));
    EXPECT_FALSE(RunCommand("/no/such/browser", "file:///x"));
    EXPECT_FALSE(RunCommand("   ", ""));
    fs::remove_all(dir);
}

TEST(HelpPageTest, NoBrowserAtAllNamesThePage) {
    App();
    fs::path dir = fs::temp_directory_path() / ("trazon help #1 " + std::to_string(::getpid()));
    fs::create_directories(dir / "help");
    std::ofstream(dir / "help/index.html") << "<html></html>\n";
    std::vector<std::string> messages, urls;
    MessageBoxHook = [&](const std::string& text) { messages.push_back(text); };
    OpenUrlHook = [&](const std::string& url) {
        urls.push_back(url);
        return false; // the desktop has no handler either
    };
    const std::string exeDir = dir.string() + "/";
    OpenHelpPage("index.html", "/no/such/browser", exeDir);
    ASSERT_EQ(urls.size(), 1u);
    // '#' and blanks of the program's path are encoded, so the browser gets the right file
    EXPECT_EQ(urls[0], FileUrl(exeDir + "help/index.html"));
    EXPECT_EQ(urls[0].find('#'), std::string::npos);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(exeDir + "help/index.html"), std::string::npos) << messages[0];

    // a page that is not there is named too, and nothing is started
    messages.clear();
    urls.clear();
    OpenHelpPage("missing.html", "/no/such/browser", exeDir);
    EXPECT_TRUE(urls.empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(exeDir + "help/missing.html"), std::string::npos);
    MessageBoxHook = nullptr;
    OpenUrlHook = nullptr;
    fs::remove_all(dir);
}

// Quitting with edits the geometry editor never saved to a file asks first.
TEST_F(MainWindowTest, ExitAsksBeforeDroppingUnsavedEditorData) {
    Start();
    Main->MenuExitClick();
    EXPECT_TRUE(Questions.empty()); // nothing edited: no question
    delete Main;
    Main = nullptr;
    Start();
    Main->FmMakeDlg->SGGeo->SetCell(1, 1, "RPP");
    Answer = false;
    Main->MenuExitClick();
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_NE(Questions[0].find("not saved"), std::string::npos);
    EXPECT_TRUE(Main->isVisible());
    Answer = true;
    Main->MenuExitClick();
    EXPECT_EQ(Questions.size(), 2u);
    EXPECT_FALSE(Main->isVisible());
}

// The desktop's opener starts even when it then finds no program for the page: its exit
// status decides whether the page's path is shown.
TEST(HelpPageTest, AnOpenerThatShowsNoPageIsNoticed) {
    App();
    fs::path dir = fs::temp_directory_path() / ("trazon help opener " + std::to_string(::getpid()));
    fs::create_directories(dir / "help");
    fs::create_directories(dir / "bin");
    std::ofstream(dir / "help/index.html") << "<html></html>\n";
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", ((dir / "bin").string() + ":" + oldPath).c_str(), 1);
    std::vector<std::string> messages;
    MessageBoxHook = [&](const std::string& text) { messages.push_back(text); };
    const std::string exeDir = dir.string() + "/";
    for (int status : {3, 0}) {
        fs::path opener = dir / "bin" / DesktopOpener;
        std::ofstream(opener) << "#!/bin/sh\necho \"$1\" > '" << (dir / "asked").string()
                              << "'\nexit " << status << "\n";
        fs::permissions(opener, fs::perms::owner_all);
        fs::remove(dir / "asked");
        messages.clear();
        OpenHelpPage("index.html", "/no/such/browser", exeDir);
        QElapsedTimer clock;
        clock.start();
        while (!fs::exists(dir / "asked") || (status != 0 && messages.empty())) {
            if (clock.elapsed() > 20000) break;
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        // the opener has ended: any message has come by now
        for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_TRUE(fs::exists(dir / "asked")) << status;
        if (status == 0) {
            EXPECT_TRUE(messages.empty());
        } else {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].find(exeDir + "help/index.html"), std::string::npos);
        }
    }
    setenv("PATH", oldPath.c_str(), 1);
    MessageBoxHook = nullptr;
    fs::remove_all(dir);
}

TEST(FileFilterTest, AllKeepsItsCaptionAndShowsNamesWithoutADot) {
    App();
    QFileDialog dlg;
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    SetFileFilters(dlg, {"CG Data File(*.pic)", "All(*.*)"});
    auto* combo = dlg.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1).toStdString(), "All(*.*)");
    combo->setCurrentIndex(1); // as the user picks it
    emit combo->activated(1);
    auto* model = dlg.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    // "*" matches a data file named run42; "*.*" would not
    EXPECT_EQ(model->nameFilters(), QStringList{"*"});
}

TEST_F(MainWindowTest, SliceAndTrackZoneWindowsFollowLoadsAndMarkTheView) {
    Start();
    Open(Write("plain.pic", PlainData));
    EXPECT_TRUE(Main->MenuTool->actions().contains(Main->MenuSlice));
    EXPECT_EQ(Main->MenuSlice->text(), "Slice");
    EXPECT_EQ(Main->MenuTrackZones->text(), "Check track zones");
    Main->MenuSliceClick();
    ASSERT_NE(Main->FmSlice, nullptr);
    EXPECT_TRUE(Main->FmSlice->isVisible());
    EXPECT_TRUE(Main->FmSlice->OutlineShown());
    // a new load gives the slice a new plane range: sphere 1 of radius 6 becomes one of 9
    double before = Main->FmSlice->Plane().Umax - Main->FmSlice->Plane().Umin;
    std::string larger = PlainData;
    larger.replace(larger.find("6.0"), 3, "9.0");
    Open(Write("larger.pic", larger.c_str()));
    EXPECT_NEAR(Main->FmSlice->Plane().Umax - Main->FmSlice->Plane().Umin, before * 1.5,
                before * 0.01);

    // centring: the point lands in the middle of the eye coordinates and is marked
    Main->GL->RotateX(0.4);
    Main->GL->RotateY(-0.3);
    Main->GL->Translate(3, -2, 0);
    TVector p{4, -1, 2};
    Main->CentreOn(p);
    const TGLMatrix& r = Main->GL->Rotation;
    const TGLMatrix& t = Main->GL->Translation;
    EXPECT_NEAR(r[0] * p.x + r[4] * p.y + r[8] * p.z + t[12], 0, 1e-12);
    EXPECT_NEAR(r[1] * p.x + r[5] * p.y + r[9] * p.z + t[13], 0, 1e-12);
    EXPECT_TRUE(Main->HasPointMark());
    Main->MenuTrackZonesClick();
    ASSERT_NE(Main->FmTrackZones, nullptr);
    Main->FmTrackZones->close(); // the mark goes with the dialog
    EXPECT_FALSE(Main->HasPointMark());
    Main->FmSlice->close();
    EXPECT_FALSE(Main->FmSlice->OutlineShown());
}

// Hovering, uncovering the canvas, a menu or a dialog closed over it: the last frame is shown
// again and the scene is not drawn; a change of the view draws it.
TEST_F(MainWindowTest, HoverExposeAndClosedMenusDrawNoScene) {
    Start();
    Main->StopSpinning();
    Open(Write("time.pic", TimeData));
    PaintWithSurfaces();
    const uint64_t before = Main->SceneDraws;
    for (int i = 0; i < 12; ++i) {
        QMouseEvent move(QEvent::MouseMove, QPointF(40 + 5 * i, 80), QPointF(40 + 5 * i, 80),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Main->Canvas, &move);
    }
    EXPECT_EQ(Main->SceneDraws, before) << "hover";
    Main->FormMouseMove(Qt::NoModifier, 200, 200); // a hover reaching the handler itself
    Main->Canvas->repaint();                        // an expose
    EXPECT_EQ(Main->SceneDraws, before) << "expose";
    {
        QWidget cover;
        cover.setWindowFlags(Qt::Tool);
        cover.setGeometry(QRect(Main->mapToGlobal(QPoint(20, 20)), QSize(200, 150)));
        cover.show();
        Pump(150);
    }
    Pump(150);
    EXPECT_EQ(Main->SceneDraws, before) << "covered";
    Main->MenuFile->popup(Main->mapToGlobal(QPoint(10, 30)));
    Pump(150);
    Main->MenuFile->hide();
    Pump(150);
    EXPECT_EQ(Main->SceneDraws, before);
    // a click on the canvas without a drag changes nothing either
    Main->FormMouseDown(Qt::LeftButton, Qt::NoModifier, 100, 100);
    Main->FormMouseUp(Qt::LeftButton, Qt::NoModifier, 100, 100);
    EXPECT_EQ(Main->SceneDraws, before);
    // a drag of the view does
    Main->FormMouseDown(Qt::LeftButton, Qt::NoModifier, 100, 100);
    Main->FormMouseMove(Qt::NoModifier, 130, 100);
    Main->FormMouseUp(Qt::LeftButton, Qt::NoModifier, 130, 100);
    EXPECT_GE(Main->SceneDraws, before + 2);
}
