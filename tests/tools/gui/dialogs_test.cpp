// The check and volume dialogs under a display: captions, enabled states, start and stop.
#include "tests/FailingAllocation.h"
#include "tests/TestApp.h"
#include "tests/tools/ToolGeometry.h"
#include "dialogs/VolumeDialog.h"
#include "dialogs/CheckDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

namespace {

QApplication& App() {
    return *TestApp();
}

// Sphere 1 (material 1) inside a void shell; `gap` leaves r 5..6 in no zone.
TGeometry Spheres(bool gap) {
    TGeometry g;
    g.Bodies = {Sph(1, 5), Sph(2, 6), Sph(3, 20)};
    AddZone(g, "Z1", 1, {{1}});
    AddZone(g, "Z2", 0, {{3, gap ? -2 : -1}});
    Prepare(g);
    return g;
}

template <class Dialog> bool WaitIdle(Dialog& d, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (d.Running() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return !d.Running();
}

QStringList Lines(QPlainTextEdit* m) {
    return m->toPlainText().split('\n');
}

// Starts a run of the dialog and takes its idle steps until it ends, with the nth allocation
// from the start on failing: on the dialog's thread one of at least 256 bytes, or, with
// `workers`, any on another thread. True when the failure happened within the run.
template <class Dialog>
bool RunWithFailingAllocation(Dialog& d, void (Dialog::*step)(), int64_t nth, bool workers) {
    FailAllocation(nth, workers, workers ? 0 : 256);
    d.BtnStartClick();
    QElapsedTimer t;
    t.start();
    while (d.Running() && t.elapsed() < 20000) (d.*step)();
    return StopFailingAllocations();
}

// Allocation counts spread over a run's start, its first steps and its workers.
const int64_t FailAt[] = {1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 377, 610, 987, 1597, 4181};

// Runs the dialog with each of the FailAt allocations failing, on its thread and on workers.
// Every run ends with the dialog ready for the next (Start caption, `ready` enabled): where the
// failure hit the run, with the message and "Stop by lack of memory", elsewhere as usual
// (`end`). A last run without failures ends as usual. Returns the runs the failure hit, on the
// dialog's thread and on workers.
template <class Dialog>
std::array<int, 2> RunsWithFailingAllocations(Dialog& d, void (Dialog::*step)(),
                                              const std::string& message, const QString& start,
                                              const QString& end, QWidget* ready) {
    std::vector<std::string> said;
    d.Message = [&](const std::string& m) { said.push_back(m); };
    d.BtnStartClick(); // the toolkit's first-time set-up (timers, lists) happens unarmed
    EXPECT_TRUE(WaitIdle(d));
    std::array<int, 2> failed{0, 0};
    for (bool workers : {false, true}) {
        for (int64_t nth : FailAt) {
            said.clear();
            const bool hit = RunWithFailingAllocation(d, step, nth, workers);
            SCOPED_TRACE(testing::Message() << "allocation " << nth << " workers " << workers);
            EXPECT_FALSE(d.Running());
            EXPECT_EQ(d.BtnStart->text(), start);
            EXPECT_TRUE(ready->isEnabled());
            if (hit) {
                ++failed[workers];
                EXPECT_EQ(said, std::vector<std::string>{message});
                EXPECT_EQ(Lines(d.mMsg).back(), "Stop by lack of memory");
            } else {
                EXPECT_TRUE(said.empty());
                EXPECT_EQ(Lines(d.mMsg).back(), end);
            }
        }
    }
    d.BtnStartClick(); // as good as new
    EXPECT_TRUE(WaitIdle(d));
    EXPECT_EQ(Lines(d.mMsg).back(), end);
    d.Message = nullptr;
    return failed;
}

} // namespace

TEST(CheckDialog, CaptionsAndInitialEntries) {
    App();
    TGeometry g = Spheres(false);
    TCheckErrorSegments errors;
    TFmCheckDlg d(nullptr, g, errors);
    EXPECT_EQ(d.windowTitle(), "Geometry Check");
    EXPECT_EQ(d.GBPos->title(), "Start Position");
    EXPECT_EQ(d.GBVect->title(), "Direction");
    EXPECT_EQ(d.BtnStart->text(), "CHECK START");
    EXPECT_EQ(d.BtnClose->text(), "CLOSE");
    EXPECT_EQ(d.BtnHelp->text(), "HELP");
    EXPECT_EQ(d.EIteration->text(), "100000");
    EXPECT_EQ(d.eXmax->text(), "0");
    EXPECT_EQ(d.eTmax->text(), "360");
    EXPECT_EQ(d.ePmin->text(), "-90");
    EXPECT_TRUE(d.mMsg->isReadOnly());
    EXPECT_TRUE(d.mMsg->toPlainText().isEmpty());
}

TEST(CheckDialog, RunDisablesEntriesAndEndsWithCheckEnd) {
    App();
    TGeometry g = Spheres(false);
    TCheckErrorSegments errors;
    TFmCheckDlg d(nullptr, g, errors);
    int notified = 0;
    d.ErrorsChanged = [&] { ++notified; };
    d.show();
    d.EIteration->setText("3000");
    QTest::mouseClick(d.BtnStart, Qt::LeftButton);
    EXPECT_EQ(d.BtnStart->text(), "CHECK STOP");
    EXPECT_FALSE(d.EIteration->isEnabled());
    EXPECT_FALSE(d.GBPos->isEnabled());
    EXPECT_FALSE(d.GBVect->isEnabled());
    EXPECT_TRUE(d.BtnClose->isEnabled());
    EXPECT_GE(notified, 1); // the start cleared the error list
    ASSERT_TRUE(WaitIdle(d));
    EXPECT_EQ(d.BtnStart->text(), "CHECK START");
    EXPECT_TRUE(d.EIteration->isEnabled());
    EXPECT_TRUE(d.GBPos->isEnabled());
    EXPECT_EQ(Lines(d.mMsg), (QStringList{"100%", "error count = 0", "Check End"}));
}

TEST(CheckDialog, StopByUserTenErrorsAndBadEntries) {
    App();
    TGeometry g = Spheres(true);
    TCheckErrorSegments errors;
    TFmCheckDlg d(nullptr, g, errors);
    std::string said;
    d.Message = [&](const std::string& m) { said = m; };
    d.show();

    d.ePmax->setText("ninety");
    QTest::mouseClick(d.BtnStart, Qt::LeftButton);
    EXPECT_NE(said.find("\"ninety\""), std::string::npos);
    EXPECT_EQ(d.BtnStart->text(), "CHECK START"); // refused: nothing changed
    EXPECT_TRUE(d.GBVect->isEnabled());
    EXPECT_FALSE(d.Running());
    d.ePmax->setText("90");

    QTest::mouseClick(d.BtnStart, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(d));
    EXPECT_EQ(Lines(d.mMsg).back(), "Stop by error count is 10 over");
    EXPECT_EQ(errors.Count, 10);
    EXPECT_EQ(d.BtnStart->text(), "CHECK START");

    // A geometry without errors and many rays: the Stop button ends the run.
    TGeometry clean = Spheres(false);
    TFmCheckDlg d2(nullptr, clean, errors);
    d2.show();
    d2.EIteration->setText("100000000");
    QTest::mouseClick(d2.BtnStart, Qt::LeftButton);
    QApplication::processEvents();
    QTest::mouseClick(d2.BtnStart, Qt::LeftButton);
    EXPECT_FALSE(d2.Running());
    EXPECT_EQ(Lines(d2.mMsg).back(), "Stop by User");
    EXPECT_EQ(d2.BtnStart->text(), "CHECK START");
    EXPECT_TRUE(d2.EIteration->isEnabled());

    // Closing while running stops the run the same way.
    QTest::mouseClick(d2.BtnStart, Qt::LeftButton);
    EXPECT_EQ(Lines(d2.mMsg).size(), 1);
    QTest::mouseClick(d2.BtnClose, Qt::LeftButton);
    EXPECT_FALSE(d2.isVisible());
    EXPECT_FALSE(d2.Running());
    EXPECT_EQ(Lines(d2.mMsg).back(), "Stop by User");
    EXPECT_EQ(d2.result(), QDialog::Accepted);
}

TEST(CheckDialog, RunningOutOfMemoryStopsTheRunWithAMessage) {
    App();
    TGeometry g = Spheres(false);
    TCheckErrorSegments errors;
    TFmCheckDlg d(nullptr, g, errors);
    d.ErrorsChanged = [] {};
    d.EIteration->setText("3000");
    const auto failed = RunsWithFailingAllocations(
        d, &TFmCheckDlg::CheckStep, "Not enough memory for the geometry check: the run was stopped.",
        "CHECK START", "Check End", d.EIteration);
    EXPECT_GE(failed[0], 2);
    EXPECT_GE(failed[1], 2);
    EXPECT_EQ(Lines(d.mMsg), (QStringList{"100%", "error count = 0", "Check End"}));
}

TEST(VolumeDialog, RunningOutOfMemoryStopsTheRunWithAMessage) {
    App();
    TGeometry g = Spheres(false);
    TCheckErrorSegments errors;
    TFmCalVolume d(nullptr, g, errors);
    d.ErrorsChanged = [] {};
    d.ResetZoneVolumes();
    d.EIteration->setText("5");
    const auto failed = RunsWithFailingAllocations(
        d, &TFmCalVolume::VolumeStep,
        "Not enough memory for the volume calculation: the run was stopped.",
        "Calculation START", "Calculation Finished", d.BtnSaveFile);
    EXPECT_GE(failed[0], 2);
    // (its workers allocate nothing once warm: the check covers failures on workers)
}

TEST(VolumeDialog, CaptionsRunAndSave) {
    App();
    namespace fs = std::filesystem;
    TGeometry g = Spheres(false);
    TCheckErrorSegments errors;
    errors.Count = 2;
    TFmCalVolume d(nullptr, g, errors);
    EXPECT_EQ(d.windowTitle(), "Calculate Volume of Regions");
    EXPECT_EQ(d.GBPos->title(), "Surface area");
    EXPECT_EQ(d.GBVect->title(), "Level of convergence");
    EXPECT_EQ(d.GBCom1->text(), "Three direction:");
    EXPECT_EQ(d.GBCom2->text(), "Division level:");
    EXPECT_EQ(d.BtnStart->text(), "Calculation START");
    EXPECT_EQ(d.BtnSaveFile->text(), "Save File");
    EXPECT_EQ(d.EIteration->text(), "12");
    EXPECT_EQ(d.eXmin->text(), "-100");
    EXPECT_EQ(d.ePmax->text(), "1.001");
    EXPECT_TRUE(d.windowState() & Qt::WindowMaximized);

    std::string said;
    d.Message = [&](const std::string& m) { said = m; };
    d.ErrorsChanged = [] {};
    d.ResetZoneVolumes();
    ASSERT_EQ(d.CLBVolume->count(), 2);
    EXPECT_EQ(d.CLBVolume->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(d.CLBVolume->item(1)->text().toStdString(),
              "      Z2 = 0.0000E+000, 0.0000E+000, 0.0000E+000 [cm3]  0.00000, 0.00000, 0.00000");
    d.show();

    d.EIteration->setText("15");
    QTest::mouseClick(d.BtnStart, Qt::LeftButton);
    EXPECT_NE(said.find("Division level"), std::string::npos);
    EXPECT_FALSE(d.Running());
    EXPECT_EQ(d.BtnStart->text(), "Calculation START");
    EXPECT_EQ(errors.Count, 2);

    d.EIteration->setText("5");
    d.CLBVolume->item(0)->setCheckState(Qt::Checked);
    QTest::mouseClick(d.BtnStart, Qt::LeftButton);
    EXPECT_EQ(errors.Count, 0);
    EXPECT_EQ(d.BtnStart->text(), "Calculation STOP");
    EXPECT_FALSE(d.BtnSaveFile->isEnabled());
    EXPECT_FALSE(d.EIteration->isEnabled());
    EXPECT_FALSE(d.GBPos->isEnabled());
    EXPECT_FALSE(d.GBVect->isEnabled());
    EXPECT_TRUE(d.CLBVolume->isEnabled());
    ASSERT_TRUE(WaitIdle(d));
    EXPECT_EQ(d.BtnStart->text(), "Calculation START");
    EXPECT_TRUE(d.BtnSaveFile->isEnabled());
    EXPECT_EQ(Lines(d.mMsg).back(), "Calculation Finished");
    EXPECT_EQ(d.CLBVolume->item(0)->checkState(), Qt::Checked);
    EXPECT_GT(d.ZoneVolumes()[0].XLast, 0);

    fs::path dir = fs::temp_directory_path() / "trazon_volume_dialog_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    d.ChooseSaveFile = [&] { return (dir / "result").string(); };
    int asked = 0;
    d.AskOverwrite = [&](const std::string& q) {
        ++asked;
        EXPECT_EQ(q, "result.dat is Found! OverWrite OK?");
        return false;
    };
    QTest::mouseClick(d.BtnSaveFile, Qt::LeftButton);
    EXPECT_EQ(said, "Save File Finished");
    ASSERT_TRUE(fs::exists(dir / "result.dat"));
    std::ifstream in(dir / "result.dat");
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "Zone_No.,     average, x_direction, y_direction, z_direction");
    said.clear();
    QTest::mouseClick(d.BtnSaveFile, Qt::LeftButton); // exists: asked, cancelled
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(said.empty());

    // Stop by the user, then every opening starts from zero.
    d.EIteration->setText("14");
    QTest::mouseClick(d.BtnStart, Qt::LeftButton);
    QApplication::processEvents();
    QTest::mouseClick(d.BtnStart, Qt::LeftButton);
    EXPECT_EQ(Lines(d.mMsg).back(), "Stop by User");
    EXPECT_TRUE(d.BtnSaveFile->isEnabled());
    QTimer::singleShot(0, &d, [&] { d.BtnCloseClick(); });
    d.exec();
    EXPECT_EQ(d.CLBVolume->item(0)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(d.mMsg->toPlainText().isEmpty());
    fs::remove_all(dir);
}
