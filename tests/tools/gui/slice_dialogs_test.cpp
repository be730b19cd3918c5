// The slice window and the track-zone check dialog under a display: the picture, the legend,
// hovering, panning and zooming, saving, and choosing a mismatch.
#include "dialogs/Desktop.h"
#include "tests/FailingAllocation.h"
#include "tests/TestApp.h"
#include "tests/tools/ToolGeometry.h"
#include "dialogs/SliceDialog.h"
#include "dialogs/TrackZoneDialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

// Two spheres of radius 5 whose centres are 6 apart on x, each its own zone, a void around them
// up to r 20 and a gap from r 20 to 21 before the outer void.
TGeometry LensAndGap() {
    TGeometry g;
    g.Bodies = {Sph(1, 5, -3), Sph(2, 5, 3), Sph(3, 20), Sph(4, 21)};
    AddZone(g, "ZA", 1, {{1}});
    AddZone(g, "ZB", 2, {{2}});
    AddZone(g, "ZO", 0, {{3, -1, -2}});
    AddZone(g, "ZV", 0, {{-4}});
    g.ZoneLooks = {{0x0000FF, true}, {0x00FF00, true}, {0x808080, true}, {0x404040, true}};
    g.Materials = {{1, 0x0000FF, true}, {2, 0x00FF00, true}};
    Prepare(g);
    return g;
}

TColor At(const QImage& img, int x, int y) {
    QColor c = img.pixelColor(x, y);
    return static_cast<TColor>(c.red() | c.green() << 8 | c.blue() << 16);
}

struct SliceWindow : ::testing::Test {
    void SetUp() override {
        TestApp();
        Settings.SceneSize = 21;
        Dlg = std::make_unique<TFmSlice>(nullptr, Geo, Settings);
        Dlg->OutlineChanged = [this] { ++OutlineChanges; };
        Dlg->resize(900, 640);
        Dlg->show();
        Pump(50);
        Dlg->SetPlane(2, 0);
        Dlg->FitWindow();
        Dlg->FinishPicture();
    }
    // Canvas pixel of a point of the z = 0 plane.
    QPoint PixelOf(double x, double y) const {
        const TSlicePlane& p = Dlg->Plane();
        int w = Dlg->Core().Width(), h = Dlg->Core().Height();
        return {static_cast<int>((x - p.Umin) / (p.Umax - p.Umin) * w),
                static_cast<int>((p.Vmax - y) / (p.Vmax - p.Vmin) * h)};
    }
    TGeometry Geo = LensAndGap();
    TDisplaySettings Settings;
    std::unique_ptr<TFmSlice> Dlg;
    int OutlineChanges = 0;
};

} // namespace

TEST_F(SliceWindow, ShowsZonesOverlapAndGapWithALegend) {
    const QImage& img = Dlg->Picture();
    ASSERT_EQ(img.width(), Dlg->Core().Width());
    ASSERT_EQ(img.height(), Dlg->Core().Height());
    ASSERT_GT(img.width(), 300); // the canvas takes what the window leaves
    QPoint a = PixelOf(-6, 0), b = PixelOf(6, 0), lens = PixelOf(0, 0), gap = PixelOf(0, 20.5);
    EXPECT_EQ(At(img, a.x(), a.y()), 0x0000FFu);
    EXPECT_EQ(At(img, b.x(), b.y()), 0x00FF00u);
    TColor l = At(img, lens.x(), lens.y()), g = At(img, gap.x(), gap.y());
    EXPECT_TRUE(l == SliceOverlapColors[0] || l == SliceOverlapColors[1]) << std::hex << l;
    EXPECT_TRUE(g == SliceUndefinedColors[0] || g == SliceUndefinedColors[1]) << std::hex << g;

    QStringList legend;
    for (int i = 0; i < Dlg->LBLegend->count(); ++i) legend << Dlg->LBLegend->item(i)->text();
    EXPECT_EQ(legend, QStringList({"ZA  material 1", "ZB  material 2", "ZO  void", "ZV  void",
                                   "undefined (no zone)", "overlap (several zones)"}));
    // by material: the void zones share one entry and the background colour
    Dlg->CBColor->setCurrentIndex(1);
    EXPECT_EQ(Dlg->LBLegend->count(), 5);
    EXPECT_EQ(At(Dlg->Picture(), PixelOf(0, 15).x(), PixelOf(0, 15).y()), Settings.BackColor);
}

TEST_F(SliceWindow, HoverNamesZonesMaterialsAndBodies) {
    QPoint lens = PixelOf(0, 0.3);
    Dlg->CanvasHover(lens.x(), lens.y());
    std::string text = Dlg->STStatus->text().toStdString();
    EXPECT_NE(text.find("zones: ZA ZB   materials: 1 2   bodies: 1 2 3 4"), std::string::npos)
        << text;
    EXPECT_EQ(text.rfind("x=", 0), 0u);
    QPoint gap = PixelOf(20.5, 0);
    Dlg->CanvasHover(gap.x(), gap.y());
    EXPECT_NE(Dlg->STStatus->text().toStdString().find("zones: none   materials: none   bodies: 4"),
              std::string::npos);
    Dlg->CanvasLeft(); // the counts of the picture
    EXPECT_NE(Dlg->STStatus->text().toStdString().find(" undefined, "), std::string::npos);
}

TEST_F(SliceWindow, PansZoomsMovesThePlaneAndRefinesProgressively) {
    TSlicePlane before = Dlg->Plane();
    int w = Dlg->Core().Width(), h = Dlg->Core().Height();
    Dlg->CanvasZoom(0.5, w / 2, h / 2);
    TSlicePlane z = Dlg->Plane();
    EXPECT_NEAR(z.Umax - z.Umin, (before.Umax - before.Umin) / 2, 1e-9);
    Dlg->CanvasPan(10, 0); // dragging right shows what lies to the left
    EXPECT_LT(Dlg->Plane().Umin, z.Umin);
    Dlg->FitWindow();
    EXPECT_NEAR(Dlg->Plane().Umax - Dlg->Plane().Umin, before.Umax - before.Umin, 1e-9);

    // The slider and the spin box move the plane; the picture comes back coarse first.
    int changes = OutlineChanges;
    Dlg->SEPlane->setValue(4.5);
    EXPECT_DOUBLE_EQ(Dlg->Plane().C, 4.5);
    EXPECT_GT(OutlineChanges, changes);
    EXPECT_FALSE(Dlg->PictureDone());
    Dlg->SLPlane->setValue(0);
    EXPECT_NEAR(Dlg->Plane().C, -21, 0.1);
    for (int k = 0; k < 200 && !Dlg->PictureDone(); ++k) Pump(20);
    EXPECT_TRUE(Dlg->PictureDone());
    std::array<TVector, 4> c = Dlg->OutlineCorners();
    for (const TVector& v : c) EXPECT_NEAR(v.z, Dlg->Plane().C, 1e-12);
    EXPECT_TRUE(Dlg->OutlineShown());
    Dlg->CBAxis->setCurrentIndex(0);
    EXPECT_EQ(Dlg->Plane().Axis, 0);
    for (const TVector& v : Dlg->OutlineCorners()) EXPECT_NEAR(v.x, 0, 0.1);
}

TEST_F(SliceWindow, SavesThePictureAndAsksBeforeOverwriting) {
    namespace fs = std::filesystem;
    fs::path file = fs::temp_directory_path() / ("trazon_slice_" + std::to_string(::getpid()) + ".png");
    fs::remove(file);
    Dlg->ChooseSaveFile = [&] { return file.string(); };
    Dlg->BtnSaveClick();
    ASSERT_TRUE(fs::exists(file));
    EXPECT_GT(fs::file_size(file), 100u);
    std::string asked;
    QuestionHook = [&](const std::string& q) {
        asked = q;
        return false;
    };
    fs::resize_file(file, 10);
    Dlg->BtnSaveClick();
    EXPECT_EQ(asked, file.filename().string() + " is Found! OverWrite OK?");
    EXPECT_EQ(fs::file_size(file), 10u); // Cancel wrote nothing
    QuestionHook = nullptr;
    std::string error;
    EXPECT_FALSE(Dlg->SavePicture("/nonexistent-dir/x.png", error));
    EXPECT_FALSE(error.empty());
    fs::remove(file);
}

TEST_F(SliceWindow, RunningOutOfMemoryStopsThePictureWithAMessage) {
    std::vector<std::string> said;
    MessageBoxHook = [&](const std::string& m) { said.push_back(m); };
    int failed[2] = {0, 0}; // on the dialog's thread, on workers
    for (bool workers : {false, true}) {
        for (int64_t nth : {1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 377, 610, 987}) {
            SCOPED_TRACE(testing::Message() << "allocation " << nth << " workers " << workers);
            said.clear();
            Dlg->SetPlane(2, 0.25 * static_cast<double>(nth % 7)); // a new picture
            FailAllocation(nth, workers, workers ? 0 : 256); // as in the check dialog's test
            if (nth % 2) // a restart (as after a pan or a zoom), else the rest of the picture
                Dlg->SetWindow(0, 0, Dlg->Core().Plane().Umax / 100);
            Dlg->FinishPicture();
            const bool hit = StopFailingAllocations();
            EXPECT_TRUE(Dlg->PictureDone());
            if (hit && !said.empty()) {
                ++failed[workers];
                EXPECT_EQ(said, std::vector<std::string>{
                                    "Not enough memory for the slice picture: it was stopped."});
                EXPECT_EQ(Dlg->STStatus->text(), "Not enough memory for the picture");
                EXPECT_EQ(Dlg->Core().Width(), 0);
                std::string error;
                EXPECT_FALSE(Dlg->SavePicture("/nonexistent-dir/x.png", error));
                EXPECT_EQ(error, "There is no picture to save.");
            } else {
                EXPECT_TRUE(said.empty());
                EXPECT_EQ(Dlg->Picture().width(), Dlg->Core().Width());
            }
            Dlg->CanvasHover(10, 10); // the status line on whatever is there
        }
    }
    MessageBoxHook = nullptr;
    EXPECT_GE(failed[0], 2);
    // (its workers allocate nothing once warm: the check dialog covers failures on workers)
    // the next change of window computes a whole picture again
    Dlg->FitWindow();
    Dlg->FinishPicture();
    EXPECT_GT(Dlg->Core().Width(), 0);
    EXPECT_EQ(Dlg->Picture().width(), Dlg->Core().Width());
}

TEST(TrackZonesDialog, ListsMismatchesAndHandsTheChosenPointOn) {
    TestApp();
    TGeometry g = LensAndGap();
    TTracks tracks(3);
    tracks[0] = {1, 5, -6, 0, 0, 1.0, 1, 1.0, 0, 0, 0};
    tracks[1] = {1, 5, 6, 0, 0, 1.0, 1, 1.0, 0, 0, 0};    // in ZB, recorded ZA
    tracks[2] = {1, 5, 20.5, 0, 0, 1.0, 3, 1.0, 0, 0, -1}; // in the gap
    TFmTrackZones d(nullptr, g, tracks);
    std::vector<TVector> chosen;
    d.PointChosen = [&](const TTrackZoneMismatch& m) { chosen.push_back(m.At); };
    d.show();
    Pump(50); // the first showing runs the check
    EXPECT_EQ(d.LPoints->text(), "points: 3");
    EXPECT_EQ(d.LMismatches->text(), "mismatches: 2");
    ASSERT_EQ(d.LBMismatch->count(), 2);
    EXPECT_EQ(d.LBMismatch->item(0)->text(), "history 1 track 1 point 2: 6 0 0 recorded ZA found ZB");
    d.LBMismatch->setCurrentRow(1);
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].x, 20.5);

    std::string message;
    d.Message = [&](const std::string& m) { message = m; };
    d.ETolerance->setText("-1");
    d.BtnCheckClick();
    EXPECT_EQ(message, "Tolerance: \"-1\" is not a positive length.");
    d.ETolerance->setText("2");
    d.BtnCheckClick();
    EXPECT_EQ(d.LMismatches->text(), "mismatches: 1");
    d.ModelChanged();
    EXPECT_EQ(d.LPoints->text(), "points: 3"); // visible: checked again at once
}

TEST(TrackZonesDialog, RunningOutOfMemoryShowsAMessageAndNoResult) {
    TestApp();
    TGeometry g = LensAndGap();
    TTracks tracks(3);
    tracks[0] = {1, 5, -6, 0, 0, 1.0, 1, 1.0, 0, 0, 0};
    tracks[1] = {1, 5, 6, 0, 0, 1.0, 1, 1.0, 0, 0, 0};
    tracks[2] = {1, 5, 20.5, 0, 0, 1.0, 3, 1.0, 0, 0, -1};
    TFmTrackZones d(nullptr, g, tracks);
    std::vector<std::string> said;
    d.Message = [&](const std::string& m) { said.push_back(m); };
    d.BtnCheckClick(); // the toolkit's first-time set-up (timers, lists) happens unarmed
    int failed[2] = {0, 0}; // on the dialog's thread, on workers
    for (bool workers : {false, true}) {
        for (int64_t nth : {1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144}) {
            SCOPED_TRACE(testing::Message() << "allocation " << nth << " workers " << workers);
            said.clear();
            FailAllocation(nth, workers, workers ? 0 : 256);
            d.BtnCheckClick();
            if (StopFailingAllocations() && !said.empty()) {
                ++failed[workers];
                EXPECT_EQ(said,
                          std::vector<std::string>{"Not enough memory to check the track zones."});
                EXPECT_EQ(d.LPoints->text(), "points: -");
                EXPECT_EQ(d.LBMismatch->count(), 0);
            } else {
                EXPECT_TRUE(said.empty());
                EXPECT_EQ(d.LMismatches->text(), "mismatches: 2");
            }
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        }
    }
    EXPECT_GE(failed[0], 2);
    // (its workers allocate nothing once warm: the check dialog covers failures on workers)
    d.BtnCheckClick();
    EXPECT_EQ(d.LMismatches->text(), "mismatches: 2");
}
