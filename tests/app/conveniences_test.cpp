// The main window's faults around saving and its conveniences: settings that cannot be saved,
// view-point files over existing files, fit view, wheel zoom, recent files, drag and drop,
// slot menus, shortcuts and the read error box.
#include "MainWindowFixture.h"

#include "dialogs/DisplaySettingsDialog.h"
#include "app/IniFile.h"
#include "render/Scene.h"

#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

namespace {

// A detector (two bodies of material 1 and 2) at (500, 0, 0) inside a 1 km void world.
constexpr const char* WorldData = "CSTA-FREE\n"
                                  "RPP 1 490.0 510.0 -10.0 10.0 -10.0 10.0\n"
                                  "SPH 2 500.0 0.0 0.0 5.0\n"
                                  "SPH 3 0.0 0.0 0.0 100000.0\n"
                                  "SPH 4 0.0 0.0 0.0 200000.0\n"
                                  "END\n"
                                  "Z1 1 -2\n"
                                  "Z2 2\n"
                                  "Z3 3 -1\n"
                                  "Z4 4 -3\n"
                                  "END\n"
                                  "CEND\n"
                                  "MSTA\n"
                                  "4\n"
                                  "1 2 0 0\n"
                                  "MEND\n";

// Eye-space position of a world point under the current camera.
// Makes the window the active one, so that its shortcuts take keys. Without a window manager
// a parallel test's new window can take the activation for a moment: ask again until then.
bool Activate(QWidget* w) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        w->raise();
        w->activateWindow();
        if (QTest::qWaitForWindowActive(w, 1000)) return true;
    }
    return false;
}

std::array<double, 3> Eye(const TGLUnit& gl, double x, double y, double z) {
    const auto& r = gl.Rotation;
    const auto& t = gl.Translation;
    std::array<double, 3> e{};
    for (int k = 0; k < 3; ++k)
        e[k] = r[k] * x + r[4 + k] * y + r[8 + k] * z + t[12 + k];
    return e;
}

// Client pixel of a world point in the parallel projection.
QPointF Pixel(const TGLUnit& gl, int w, int h, double x, double y, double z) {
    const auto e = Eye(gl, x, y, z);
    const double perPixel = 2 * gl.ViewUnit() / std::min(w, h);
    return {w / 2.0 + e[0] / perPixel, h / 2.0 - e[1] / perPixel};
}

} // namespace

TEST_F(MainWindowTest, SettingsThatCannotBeSavedAreReportedOnce) {
    SettingsPathOverride = (Dir / "missing" / "trazon.ini").string();
    Start();
    EXPECT_TRUE(Messages.empty());
    delete Main;
    Main = nullptr;
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_NE(Messages[0].find("The settings cannot be saved"), std::string::npos);
}

TEST_F(MainWindowTest, ViewPointFileOverAnExistingFileAsksFirst) {
    Start();
    Main->MEyeSave2Click();
    const std::string picture = Write("picture.bmp", "BM picture bytes\n[x]\nkey=1\n");
    Main->ChooseViewSaveFile = [picture] { return picture; };
    Answer = false;
    Main->MEyeSaveFileClick();
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Questions[0], "picture.bmp is Found! OverWrite OK?");
    EXPECT_EQ(ReadFile(picture), "BM picture bytes\n[x]\nkey=1\n");
    Answer = true;
    Main->MEyeSaveFileClick();
    EXPECT_EQ(Questions.size(), 2u);
    const std::string text = ReadFile(picture);
    EXPECT_EQ(text.rfind("[EyePos]\nData2=", 0), 0u) << text;
    EXPECT_EQ(text.find("[x]"), std::string::npos);
    // a new file is written without a question
    const std::string fresh = (Dir / "fresh.viw").string();
    Main->ChooseViewSaveFile = [fresh] { return fresh; };
    Main->MEyeSaveFileClick();
    EXPECT_EQ(Questions.size(), 2u);
    EXPECT_TRUE(fs::exists(fresh));
}

TEST_F(MainWindowTest, MemoAndLegendStartWhereTheLayoutPutsThem) {
    Start();
    EXPECT_EQ(Main->STMemo->pos(), QPoint(455, 215));
    EXPECT_EQ(Main->STTitle->pos(), QPoint(455, 195));
    EXPECT_EQ(Main->PGuide->pos(), QPoint(455, 235));
}

TEST_F(MainWindowTest, ReadErrorsUseTheErrorBox) {
    Start();
    MessageBoxHook = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(300, [&icon] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            icon = box->icon();
            box->accept();
        }
    });
    Open(Write("bad.pic", "CSTA-FREE\nRPP 0 1 2 3 4 5 6\nEND\n"));
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST_F(MainWindowTest, FitViewFramesWhatIsDrawnAlsoAfterLoading) {
    Start();
    Open(Write("world.pic", WorldData));
    // the default view after the load shows the detector, not the 2 km world
    const TGLUnit& gl = *Main->GL;
    const int w = Main->Canvas->width(), h = Main->Canvas->height();
    EXPECT_LT(gl.Size, 100.0);
    EXPECT_GT(gl.Size, 5.0);
    QPointF c = Pixel(gl, w, h, 500, 0, 0);
    EXPECT_NEAR(c.x(), w / 2.0, 1.0);
    EXPECT_NEAR(c.y(), h / 2.0, 1.0);
    // the whole detector box is inside the picture
    for (double x : {490.0, 510.0})
        for (double y : {-10.0, 10.0})
            for (double z : {-10.0, 10.0}) {
                QPointF p = Pixel(gl, w, h, x, y, z);
                EXPECT_GT(p.x(), 0);
                EXPECT_LT(p.x(), w);
                EXPECT_GT(p.y(), 0);
                EXPECT_LT(p.y(), h);
            }
    // zoomed away and turned, Home brings the framing back in the new orientation
    Main->GL->Size *= 30;
    Main->GL->Translate(300, 40, 0);
    Main->GL->RotateY(0.5);
    ASSERT_TRUE(Activate(Main));
    QTest::keyClick(Main, Qt::Key_Home);
    EXPECT_LT(gl.Size, 100.0);
    c = Pixel(gl, w, h, 500, 0, 0);
    EXPECT_NEAR(c.x(), w / 2.0, 1.0);
    EXPECT_NEAR(c.y(), h / 2.0, 1.0);
    // by zones: the void zones are never framed, hidden zones neither
    Doc.Display.ViewInfoType = 1;
    Main->MFitViewClick();
    EXPECT_LT(gl.Size, 100.0);
    Doc.Geometry.ZoneLooks[0].Visible = false; // only the sphere zone Z2 (radius 5) remains
    Main->MFitViewClick();
    // its box turned by 0.5 radian about the vertical: 5 (cos 0.5 + sin 0.5) wide
    EXPECT_NEAR(gl.Size, 5 * (std::cos(0.5) + std::sin(0.5)), 0.01);
    EXPECT_TRUE(Messages.empty());
}

TEST_F(MainWindowTest, WheelZoomsAboutThePointer) {
    Start();
    Open(Write("plain.pic", PlainData));
    TGLUnit& gl = *Main->GL;
    const int w = Main->Canvas->width(), h = Main->Canvas->height();
    // the pointer away from the centre
    const QPoint at(w / 2 + 120, h / 2 - 70);
    const double perPixel = 2 * gl.ViewUnit() / std::min(w, h);
    const auto e0 = Eye(gl, 0, 0, 0);
    const double size = gl.Size;
    auto wheel = [&](int delta) {
        QWheelEvent ev(QPointF(at), QPointF(Main->Canvas->mapToGlobal(at)), QPoint(),
                       QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Main->Canvas, &ev);
    };
    // the world point under the pointer now (the Z-Y view: eye x is world z, eye y world y)
    const double ex = (at.x() - w / 2.0) * perPixel - e0[0], ey = (h / 2.0 - at.y()) * perPixel - e0[1];
    ASSERT_EQ(gl.ViewMode, 5);
    const double wx = 0, wy = ey, wz = ex;
    wheel(120);
    EXPECT_NEAR(gl.Size, size * 0.8, 1e-9 * size);
    QPointF p = Pixel(gl, w, h, wx, wy, wz);
    EXPECT_NEAR(p.x(), at.x(), 0.01);
    EXPECT_NEAR(p.y(), at.y(), 0.01);
    wheel(-240);
    EXPECT_NEAR(gl.Size, size / 0.8, 1e-9 * size);
    p = Pixel(gl, w, h, wx, wy, wz);
    EXPECT_NEAR(p.x(), at.x(), 0.01);
    EXPECT_NEAR(p.y(), at.y(), 0.01);
}

TEST_F(MainWindowTest, RecentFilesAreKeptAndOpened) {
    Start();
    const std::string a = Write("a.pic", PlainData), b = Write("b.pic", PlainData);
    Open(a);
    Open(b);
    Open(a);
    EXPECT_EQ(Main->Dirs.RecentFiles, (std::vector<std::string>{a, b}));
    ASSERT_EQ(Main->MenuRecent->actions().size(), 2);
    EXPECT_EQ(Main->MenuRecent->actions()[1]->text().toStdString(), "&2 " + b);
    Main->MenuRecent->actions()[1]->trigger();
    EXPECT_EQ(Main->WindowTitle, "TRAZON  - " + b);
    EXPECT_EQ(Main->Dirs.RecentFiles.front(), b);
    // kept in the settings file under their own section
    delete Main;
    Main = nullptr;
    TIniFile ini(SettingsPathOverride);
    EXPECT_EQ(ini.ReadString("RecentFiles", "File1", ""), b);
    EXPECT_EQ(ini.ReadString("RecentFiles", "File2", ""), a);
    Start();
    EXPECT_EQ(Main->Dirs.RecentFiles, (std::vector<std::string>{b, a}));
    EXPECT_TRUE(Main->MenuRecent->isEnabled());
    // a file that has gone: the message, and it leaves the list
    fs::remove(a);
    Main->MenuRecent->actions()[1]->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], a + " is Not Found!");
    EXPECT_EQ(Main->Dirs.RecentFiles, (std::vector<std::string>{b}));
    // at most eight, newest first
    for (int i = 0; i < 10; ++i) AddRecentFile(Main->Dirs.RecentFiles, "/f" + std::to_string(i));
    EXPECT_EQ(Main->Dirs.RecentFiles.size(), MaxRecentFiles);
    EXPECT_EQ(Main->Dirs.RecentFiles.front(), "/f9");
}

TEST_F(MainWindowTest, DroppedDataFileIsOpened) {
    Start();
    const std::string path = Write("dropped.pic", PlainData);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    const QPoint at = Main->Canvas->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Main, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Main, &drop);
    Pump(50);
    EXPECT_EQ(Main->WindowTitle, "TRAZON  - " + path);
    EXPECT_FALSE(Main->IsSample);
    EXPECT_FALSE(Main->Spinning());
    // text or several files are refused
    QMimeData text;
    text.setText("hello");
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(Main, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(MainWindowTest, SlotMenusShowFilledSlotsAndShortcuts) {
    Start();
    Open(Write("plain.pic", PlainData));
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(Main->MEyeLoad[i]->isChecked()) << i;
    Main->MEyeSave4Click();
    EXPECT_TRUE(Main->MEyeLoad[3]->isChecked());
    EXPECT_TRUE(Main->MEyeSave[3]->isChecked());
    EXPECT_FALSE(Main->MEyeLoad[2]->isChecked());
    // triggering an item does not lose the mark
    Main->MEyeLoad[3]->trigger();
    EXPECT_TRUE(Main->MEyeLoad[3]->isChecked());
    Main->MEyeLoad[2]->trigger(); // empty: the message, still unmarked
    EXPECT_FALSE(Main->MEyeLoad[2]->isChecked());
    EXPECT_EQ(Main->MEyeLoad[3]->text().toStdString(), "Slot4");

    EXPECT_EQ(Main->MenuPclOpen->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(Main->MenuReLoad->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(Main->MenuSave->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(Main->MenuExit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(Main->MenuUsage->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(Main->MFitView->shortcut(), QKeySequence(Qt::Key_Home));
    EXPECT_EQ(Main->MenuFile->title().toStdString(), "&File");
    // F5 reloads the file
    ASSERT_TRUE(Activate(Main));
    Doc.Geometry.Bodies.clear();
    QTest::keyClick(Main, Qt::Key_F5);
    EXPECT_EQ(Doc.Geometry.Bodies.size(), 1u);
}
