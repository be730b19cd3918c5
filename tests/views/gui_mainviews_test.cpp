// The main window's view commands: view-point slots and files, the animation, and the
// display settings command. Needs a display (Xvfb).
#include "tests/TestApp.h"
#include "app/main.h"
#include "app/resource.h"
#include "dialogs/DisplaySettingsDialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

QApplication* App() {
    return TestApp();
}

// Times 0 to 100 on one track, so the dialog proposes an end of 1.1E+02 and a step of 1.1E+01.
const char* TimeData = "CSTA-FREE-TIME\n"
                       "RPP 1 -10.0 10.0 -10.0 10.0 -5.0 5.0\n"
                       "END\n"
                       "Z1 1\n"
                       "END\n"
                       "CEND\n"
                       "MSTA\n"
                       "1\n"
                       "1\n"
                       "MEND\n"
                       "0 1\n"
                       "4 0.0 0.0 -30.0 10.0 1 1.0 0.0\n"
                       "4 0.0 0.0 -20.0 9.0 1 1.0 100.0\n"
                       "-1\n"
                       "9 1\n";

class MainViews : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        Dir = fs::temp_directory_path() / ("trazon_views_" + std::to_string(::getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        SettingsPathOverride = (Dir / "trazon.ini").string();
        MessageBoxHook = [this](const std::string& t) { Messages.push_back(t); };
        Doc.Display = TDisplaySettings();
    }
    void TearDown() override {
        delete Main;
        Main = nullptr;
        MessageBoxHook = nullptr;
        SettingsPathOverride.clear();
        fs::remove_all(Dir);
    }
    TFmMain* Start() {
        Main = new TFmMain(Doc);
        Main->CreateDialogs();
        Main->show();
        Pump(50);
        return Main;
    }
    void Restart() {
        delete Main;
        Main = nullptr;
        Start();
    }
    void OpenTimeData() {
        const std::string p = (Dir / "time.pic").string();
        std::ofstream(p) << TimeData;
        Main->ChooseOpenFile = [p] { return p; };
        Main->MenuPclOpenClick();
        Path = p;
    }
    TFmViewDlg& Dlg() { return *Main->FmViewDlg; }
    void TurnView() {
        Main->GL->RotateX(0.3);
        Main->GL->RotateY(-0.7);
        Main->GL->Translate(1, 2, 3);
        Main->GL->Size *= 1.7;
    }

    fs::path Dir;
    std::string Path;
    TDocument Doc;
    TFmMain* Main = nullptr;
    std::vector<std::string> Messages;
};

} // namespace

TEST_F(MainViews, SlotSaveTurnRestoreReturnsTheExactView) {
    Start();
    OpenTimeData();
    TurnView();
    const double size = Main->GL->Size;
    const auto t = Main->GL->Translation, r = Main->GL->Rotation;
    Main->MEyeSave3Click();
    TurnView();
    ASSERT_NE(Main->GL->Rotation, r);
    Main->MEyeLoad3Click();
    EXPECT_EQ(Main->GL->Size, size);
    EXPECT_EQ(Main->GL->Translation, t);
    EXPECT_EQ(Main->GL->Rotation, r);
    EXPECT_TRUE(Messages.empty());

    // an empty slot: the message, the view unchanged
    TurnView();
    const auto r2 = Main->GL->Rotation;
    const double s2 = Main->GL->Size;
    Main->MEyeLoad7Click();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], "視点データがまだ保存されていません");
    EXPECT_EQ(Main->GL->Rotation, r2);
    EXPECT_EQ(Main->GL->Size, s2);
}

TEST_F(MainViews, SlotsSurviveARestartThroughTheSettingsFile) {
    Start();
    TurnView();
    Main->MEyeSave2Click();
    const TViewSlot saved = Main->ViewSlots[1];
    Restart();
    ASSERT_FALSE(Main->ViewSlots[1].Empty());
    EXPECT_NEAR(Main->ViewSlots[1].EyePos, saved.EyePos, 1e-12 * saved.EyePos);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(Main->ViewSlots[1].RMatrix[i], saved.RMatrix[i], 1e-13);
    for (int n : {1, 3, 10}) EXPECT_TRUE(Main->ViewSlots[n - 1].Empty());
    Main->MEyeLoad2Click();
    EXPECT_TRUE(Messages.empty());
}

TEST_F(MainViews, ViewPointFileRoundTrip) {
    Start();
    TurnView();
    Main->MEyeSave2Click();
    const TViewSlot saved = Main->ViewSlots[1];
    const std::string file = (Dir / "views.viw").string();
    Main->ChooseViewSaveFile = [file] { return file; };
    Main->MEyeSaveFileClick();
    ASSERT_TRUE(fs::exists(file));

    Main->ViewSlots = TViewSlots();
    Main->MEyeSave5Click(); // replaced by the file's content
    Main->ChooseViewOpenFile = [file] { return file; };
    const double sizeBefore = Main->GL->Size;
    Main->MEyeLoadFileClick();
    EXPECT_EQ(Main->GL->Size, sizeBefore); // reading does not change the view
    for (int n = 1; n <= 10; ++n) EXPECT_EQ(Main->ViewSlots[n - 1].Empty(), n != 2) << n;
    EXPECT_NEAR(Main->ViewSlots[1].EyePos, saved.EyePos, 1e-12 * saved.EyePos);

    // cancelled dialogs change nothing
    Main->ChooseViewOpenFile = [] { return std::string(); };
    Main->MEyeLoadFileClick();
    EXPECT_FALSE(Main->ViewSlots[1].Empty());
    EXPECT_TRUE(Messages.empty());
}

TEST_F(MainViews, AnimationPlaysMovingWindowsThenFullScene) {
    Start();
    OpenTimeData();
    EXPECT_EQ(Dlg().ETimeEnd->text().toStdString(), "1.1E+02");
    EXPECT_EQ(Dlg().ETimeStep->text().toStdString(), "1.1E+01");
    EXPECT_TRUE(Doc.Display.TimeOn);
    ASSERT_TRUE(Main->MenuAnimation->isEnabled());

    Dlg().ETimeStart->setText("0");
    Dlg().ETimeEnd->setText("10");
    Dlg().ETimeStep->setText("2.5");
    Doc.Display.WaitTime = 5;
    std::vector<std::string> titles;
    QObject::connect(Main, &QWidget::windowTitleChanged,
                     [&](const QString& t) { titles.push_back(t.toStdString()); });
    Main->MenuAnimationClick();
    const std::string base = "TRAZON  - " + Path;
    std::vector<std::string> expected = {
        base + " 0.00E+000 - 2.50E+000", base + " 2.50E+000 - 5.00E+000",
        base + " 5.00E+000 - 7.50E+000", base + " 7.50E+000 - 1.00E+001", base};
    EXPECT_EQ(titles, expected);
    EXPECT_FALSE(Doc.Display.AnimActive);
    EXPECT_FALSE(Main->Animating);
    EXPECT_TRUE(Main->STComment->text().isEmpty());
    EXPECT_TRUE(Main->MenuAnimation->isEnabled());
}

TEST_F(MainViews, StepZeroLeavesTheTimeRangeShown) {
    Start();
    OpenTimeData();
    Dlg().ETimeStart->setText("20");
    Dlg().ETimeEnd->setText("50");
    Dlg().ETimeStep->setText(" 0 ");
    Main->MenuAnimationClick();
    EXPECT_TRUE(Doc.Display.AnimActive);
    EXPECT_EQ(Doc.Display.WinStart, 20);
    EXPECT_EQ(Doc.Display.WinEnd, 50);
    EXPECT_EQ(Main->windowTitle().toStdString(), "TRAZON  - " + Path + " 2.00E+001 - 5.00E+001");
    EXPECT_TRUE(Main->STComment->text().isEmpty());
    EXPECT_TRUE(Main->MenuAnimation->isEnabled());

    // closing the settings dialog with the time option off ends the filter
    Main->ViewDlgResult = [](TFmViewDlg& d) {
        d.CBTime->setChecked(false);
        return true;
    };
    Doc.Display.HasTime = false; // the dialog then leaves the option off
    Main->MenuViewSetClick();
    EXPECT_FALSE(Doc.Display.AnimActive);
}

TEST_F(MainViews, AnimationWithTimeOptionOffOnlyRepaints) {
    Start();
    OpenTimeData();
    Doc.Display.TimeOn = false;
    Main->MenuAnimationClick();
    EXPECT_FALSE(Doc.Display.AnimActive);
    EXPECT_FALSE(Main->Animating);
    EXPECT_TRUE(Main->MenuAnimation->isEnabled());
}

TEST_F(MainViews, BadTimeFieldShowsErrorAndKeepsMenu) {
    Start();
    OpenTimeData();
    Dlg().ETimeEnd->setText("1O0");
    Main->MenuAnimationClick();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], "'1O0' is not a valid floating point value");
    EXPECT_TRUE(Main->MenuAnimation->isEnabled());
    EXPECT_FALSE(Doc.Display.AnimActive);
    EXPECT_FALSE(Main->Animating);
    EXPECT_TRUE(Main->STComment->text().isEmpty());
}

TEST_F(MainViews, DoubleClickDuringAPauseAbortsAtOnce) {
    Start();
    OpenTimeData();
    Doc.Display.WaitTime = 3000;
    QTimer::singleShot(300, Main, [this] {
        EXPECT_TRUE(Main->Animating);
        EXPECT_FALSE(Main->MenuAnimation->isEnabled());
        emit Main->STComment->DoubleClicked();
    });
    QElapsedTimer clock;
    clock.start();
    Main->MenuAnimationClick();
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_FALSE(Doc.Display.AnimActive);
    EXPECT_FALSE(Main->Animating);
    EXPECT_FALSE(Main->AbortRequested);
    EXPECT_EQ(Main->windowTitle().toStdString(), "TRAZON  - " + Path);
    EXPECT_TRUE(Main->MenuAnimation->isEnabled());
}

TEST_F(MainViews, SettingsOkShowsTitleMemoLegendAndStyles) {
    Start();
    OpenTimeData();
    Main->ViewDlgResult = [](TFmViewDlg& d) {
        d.CBTitle->setChecked(true);
        d.MTitle->setPlainText("Line one\nLine two\n");
        d.CBMemo->setChecked(false);
        d.CBLegend->setChecked(true);
        d.STPclColor[1]->setText("clLime");
        d.CBHtyRange->setChecked(true);
        d.CBLastHty->setChecked(false);
        d.EHtyFrom->setText("1");
        d.EHtyTo->setText("1");
        return true;
    };
    Main->MenuViewSetClick();
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(Main->STTitle->isVisible());
    EXPECT_EQ(Main->STTitle->text().toStdString(), "Line one\nLine two");
    EXPECT_EQ(Main->STTitle->height(), 28);
    EXPECT_FALSE(Main->STMemo->isVisible());
    EXPECT_TRUE(Main->PGuide->isVisible());
    EXPECT_GE(Main->PGuide->x(), 0);
    EXPECT_EQ(Doc.Display.ParticleStyles[1].Color, 0x00FF00u);
    EXPECT_TRUE(Doc.Display.HistRangeOn);
    EXPECT_EQ(Doc.Display.HistStep, 1);
    EXPECT_EQ(Main->PGuide->Label1->text().toStdString(), " Histroy Range :1-1");
    EXPECT_TRUE(Main->PGuide->BtnUp->isVisible());
}

TEST_F(MainViews, SettingsConversionErrorKeepsWhatWasApplied) {
    Start();
    OpenTimeData();
    Main->ViewDlgResult = [](TFmViewDlg& d) {
        d.STPclColor[0]->setText("clLime");
        d.EDivSpace->setText("x1");
        d.CBTitle->setChecked(true);
        return true;
    };
    const double divSize = Doc.Display.DivSize;
    Main->MenuViewSetClick();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], "'x1' is not a valid floating point value");
    EXPECT_EQ(Doc.Display.ParticleStyles[0].Color, 0x00FF00u);
    EXPECT_EQ(Doc.Display.DivSize, divSize);
    EXPECT_FALSE(Main->STTitle->isVisible());
}

// Showing the dialog no longer resets the time fields: what the load or the last OK left
// stays, and Cancel discards what was typed meanwhile.
TEST_F(MainViews, TheTimeFieldsKeepTheirValuesAndCancelDiscardsEdits) {
    Start();
    OpenTimeData();
    EXPECT_TRUE(Doc.Display.TimeOn);
    Main->ViewDlgResult = [](TFmViewDlg& d) {
        EXPECT_TRUE(d.CBTime->isChecked());
        EXPECT_EQ(d.ETimeEnd->text().toStdString(), "1.1E+02");
        d.CBTime->setChecked(false);
        d.ETimeEnd->setText("50");
        d.ETimeStep->setText("5");
        return true;
    };
    Main->MenuViewSetClick();
    EXPECT_FALSE(Doc.Display.TimeOn);
    Doc.Display.ParticleStyles[0].LineWidth = 2;
    Main->ViewDlgResult = [](TFmViewDlg& d) {
        EXPECT_FALSE(d.CBTime->isChecked());
        EXPECT_EQ(d.ETimeEnd->text().toStdString(), "50");
        EXPECT_EQ(d.ETimeStep->text().toStdString(), "5");
        d.ETimeEnd->setText("77");
        d.MTitle->setPlainText("typed");
        d.ELineWidth[0]->setText("7");
        d.CBTime->setChecked(true);
        return false;
    };
    Main->MenuViewSetClick();
    EXPECT_FALSE(Doc.Display.TimeOn);
    EXPECT_EQ(Doc.Display.ParticleStyles[0].LineWidth, 2);
    EXPECT_EQ(Dlg().ETimeEnd->text().toStdString(), "50");
    EXPECT_EQ(Dlg().MTitle->toPlainText().toStdString(), "Title");
}

// OK with a text that is no number keeps the dialog open on that field; nothing is applied
// until every entry converts.
TEST_F(MainViews, OkWithABadNumberKeepsTheDialogOnTheField) {
    Start();
    OpenTimeData();
    const TColor before = Doc.Display.ParticleStyles[0].Color;
    bool checked = false;
    Main->ViewDlgResult = [&](TFmViewDlg& d) {
        d.show();
        d.STPclColor[0]->setText("clLime");
        d.EDivSpace->setText("x1");
        d.BtnOK->click();
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(Messages.size(), 1u);
        EXPECT_EQ(d.PageControl->currentWidget(), d.TSGeneral);
        EXPECT_EQ(d.focusWidget(), d.EDivSpace);
        EXPECT_EQ(d.EDivSpace->selectedText().toStdString(), "x1");
        EXPECT_EQ(Doc.Display.ParticleStyles[0].Color, before);
        // a bad list entry: its list's page, the entry made current
        d.EDivSpace->setText("2");
        const QString entry = d.CLBBody->item(0)->text();
        d.CLBBody->item(0)->setText("   x-clRed");
        d.BtnOK->click();
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.PageControl->currentWidget(), d.TSGeometry);
        EXPECT_EQ(d.CLBBody->currentRow(), 0);
        d.CLBBody->item(0)->setText(entry);
        d.BtnOK->click();
        EXPECT_FALSE(d.isVisible());
        checked = true;
        return d.result() == QDialog::Accepted;
    };
    Main->MenuViewSetClick();
    EXPECT_TRUE(checked);
    EXPECT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Doc.Display.DivSpace, 2);
    EXPECT_EQ(Doc.Display.ParticleStyles[0].Color, 0x00FF00u);
}

// ---- loads under a playback or a dialog ----

namespace {
const char* PlainData = "CSTA-FREE\nSPH 1 0.0 0.0 0.0 6.0\nEND\nZ1 1\nEND\nCEND\nMSTA\n1\n1\nMEND\n";
} // namespace

// Opening another file during the playback ends it: no frame of the old playback is shown
// over the new file, and a file without times leaves the Animation menu off.
TEST_F(MainViews, OpeningAnotherFileStopsThePlayback) {
    Start();
    OpenTimeData();
    const std::string plain = (Dir / "plain.pic").string();
    std::ofstream(plain) << PlainData;
    Doc.Display.WaitTime = 3000;
    std::vector<std::string> titles;
    QTimer::singleShot(300, Main, [&] {
        EXPECT_TRUE(Main->Animating);
        Main->ChooseOpenFile = [plain] { return plain; };
        Main->MenuPclOpenClick();
        QObject::connect(Main, &QWidget::windowTitleChanged,
                         [&](const QString& t) { titles.push_back(t.toStdString()); });
    });
    QElapsedTimer clock;
    clock.start();
    Main->MenuAnimationClick();
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_FALSE(Main->Animating);
    EXPECT_FALSE(Doc.Display.AnimActive);
    EXPECT_EQ(Main->windowTitle().toStdString(), "TRAZON  - " + plain);
    for (const std::string& t : titles) EXPECT_EQ(t, "TRAZON  - " + plain);
    EXPECT_FALSE(Doc.Display.HasTime);
    EXPECT_FALSE(Main->MenuAnimation->isEnabled());
}

// A load asked for while a dialog works on the data waits for the dialog to close.
TEST_F(MainViews, NoLoadUnderAnOpenDialog) {
    Start();
    OpenTimeData();
    const std::string plain = (Dir / "plain.pic").string();
    std::ofstream(plain) << PlainData;
    const uint64_t before = Main->DataGeneration;
    QTimer::singleShot(200, Main, [&] {
        Main->OpenDataFile(plain);
        Dlg().reject();
    });
    Main->MenuViewSetClick(); // the dialog itself, run modally
    EXPECT_EQ(Main->DataGeneration, before);
    EXPECT_EQ(Main->WindowTitle, "TRAZON  - " + Path);
    ASSERT_FALSE(Messages.empty());
    EXPECT_EQ(Messages.back(), "Close the open dialog before loading another file.");
}

// Reload drops the check's error pieces as opening does; Recent Files holds absolute paths,
// whatever the working directory the file was named from.
TEST_F(MainViews, ReloadClearsCheckErrorsAndRecentFilesAreAbsolute) {
    Start();
    OpenTimeData();
    Doc.CheckErrors.Count = 3;
    Main->MenuReLoadClick();
    EXPECT_EQ(Doc.CheckErrors.Count, 0);

    const fs::path here = fs::current_path();
    fs::current_path(Dir);
    std::ofstream("plain.pic") << PlainData;
    Main->OpenDataFile("plain.pic");
    fs::current_path(here);
    ASSERT_FALSE(Main->Dirs.RecentFiles.empty());
    EXPECT_EQ(Main->Dirs.RecentFiles.front(), (Dir / "plain.pic").string());
    EXPECT_EQ(Main->WindowTitle, "TRAZON  - " + (Dir / "plain.pic").string());
    Main->MenuReLoadClick(); // from another working directory
    EXPECT_TRUE(Messages.empty()) << Messages.front();
}
