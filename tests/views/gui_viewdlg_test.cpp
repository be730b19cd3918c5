#include "tests/TestApp.h"
#include "app/ColorNames.h"
#include "dialogs/DisplaySettingsDialog.h"
#include "input/Reader.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

QApplication* App() {
    return TestApp();
}

std::string S(const QString& s) {
    return s.toStdString();
}

TGeometry SampleGeometry() {
    TGeometry g;
    for (int n : {1, 5, 12}) {
        TGeoData b;
        b.Symbol = "RPP";
        b.Number = n;
        g.Bodies.push_back(b);
        g.BodyLooks.push_back({PaletteColor(n), true});
    }
    g.BodyLooks[1].Color = 0x0000FF; // body 5 red
    const std::pair<const char*, int> zones[] = {{"Z1", 1}, {"VOID", 0}, {"ZONELONGNAME", 2}};
    for (auto [name, mat] : zones) {
        TZoneData z;
        z.Name = name;
        z.Material = mat;
        g.Zones.push_back(z);
        g.ZoneLooks.push_back({PaletteColor(mat), mat >= 1});
    }
    g.Materials.push_back({1, PaletteColor(0), true});
    g.Materials.push_back({2, PaletteColor(1), false});
    return g;
}

TTracks SampleTracks(int lastHistory) {
    TTracks t;
    for (int h = 1; h <= lastHistory; ++h) {
        TrackPoint p;
        p.HistoryNo = h;
        p.Kind = 4;
        t.push_back(p);
    }
    return t;
}

class ViewDlg : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        Dlg = std::make_unique<TFmViewDlg>(nullptr);
        Geo = SampleGeometry();
        Settings.SceneSize = 35;
        Dlg->Settings = &Settings;
        Dlg->Geometry = &Geo;
        Dlg->Fill(Settings, Geo);
    }
    std::unique_ptr<TFmViewDlg> Dlg;
    TGeometry Geo;
    TDisplaySettings Settings;
};

} // namespace

TEST(ViewDlgText, EntryFormats) {
    EXPECT_EQ(NumberEntryText(5, "clRed"), "       5-clRed" + std::string(25, ' '));
    EXPECT_EQ(NumberEntryText(5, "clRed").size(), 39u);
    EXPECT_EQ(NameEntryText("Z1", "clBlue"), "      Z1-clBlue" + std::string(24, ' '));
    std::string field, colour;
    SplitEntryText(NumberEntryText(-12, "$00123456"), field, colour);
    EXPECT_EQ(field, "     -12");
    EXPECT_EQ(colour, "$00123456");
    // a field wider than 8 characters keeps all of it
    SplitEntryText(NameEntryText("ZONELONGNAME", "clLime"), field, colour);
    EXPECT_EQ(field, "ZONELONGNAME");
    EXPECT_EQ(colour, "clLime");
    EXPECT_EQ(RecolourEntryText(NameEntryText("ZONELONGNAME", "clLime"), "clRed"),
              NameEntryText("ZONELONGNAME", "clRed"));
    EXPECT_EQ(RecolourEntryText(NumberEntryText(5, "clRed"), "clBlue"),
              NumberEntryText(5, "clBlue"));
}

TEST(ViewDlgText, NumbersAndConversions) {
    EXPECT_EQ(FormatGeneral(1, 5), "1");
    EXPECT_EQ(FormatGeneral(0.25, 5), "0.25");
    EXPECT_EQ(FormatGeneral(1e-6), "1E-6");
    EXPECT_EQ(FormatGeneral(1e15), "1E15");
    EXPECT_EQ(FormatGeneral(1e14), "100000000000000");
    EXPECT_EQ(FormatGeneral(123456, 5), "1.2346E5");
    EXPECT_EQ(FormatGeneral(-0.005), "-0.005");
    EXPECT_EQ(FormatGeneral(35.5), "35.5");
    EXPECT_EQ(DlgStrToFloat(" 2.5 "), 2.5);
    EXPECT_EQ(DlgStrToInt(" 7"), 7);
    try {
        DlgStrToInt("1.5");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'1.5' is not a valid integer value");
    }
    EXPECT_THROW(DlgStrToFloat(""), EConvertError);
    EXPECT_THROW(DlgStrToFloat("1,5"), EConvertError);
}

TEST_F(ViewDlg, LayoutAndCaptions) {
    EXPECT_EQ(S(Dlg->windowTitle()), "Environment for display");
    EXPECT_EQ(Dlg->width(), 632);
    EXPECT_EQ(Dlg->height(), 453);
    ASSERT_EQ(Dlg->PageControl->count(), 4);
    EXPECT_EQ(S(Dlg->PageControl->tabText(0)), "geometry display");
    EXPECT_EQ(S(Dlg->PageControl->tabText(1)), "Particle display");
    EXPECT_EQ(S(Dlg->PageControl->tabText(2)), "General display");
    EXPECT_EQ(S(Dlg->PageControl->tabText(3)), "Delete Part");
    EXPECT_EQ(Dlg->PageControl->currentIndex(), 1);
    EXPECT_EQ(S(Dlg->BtnOK->text()), "OK");
    EXPECT_EQ(S(Dlg->BtnCancel->text()), "CANCEL");
    EXPECT_EQ(S(Dlg->BtnDefault->text()), "DEFAULT");
    EXPECT_EQ(S(Dlg->BtnHelp->text()), "HELP");
    EXPECT_EQ(S(Dlg->CLBParticle->item(2)->text()), "Display Positron");
    EXPECT_EQ(Dlg->CBLineType[1]->count(), 4);
    EXPECT_EQ(S(Dlg->CBLineType[1]->itemText(3)), "DashDotDot");
    EXPECT_EQ(S(Dlg->CBLatch->text()), "Use Lacth");
    EXPECT_EQ(S(Dlg->CBUnit->itemText(3)), "km");
    EXPECT_EQ(S(Dlg->RGViewInfo->title()), "Select Display Type");
    EXPECT_EQ(S(Dlg->MTitle->toPlainText()), "Title");
    EXPECT_EQ(S(Dlg->MMemo->toPlainText()), "Memo");
    EXPECT_EQ(S(Dlg->MChangeColor->text()), "ChangeColor");
}

TEST_F(ViewDlg, FillShowsSettingsAndGeometry) {
    ASSERT_EQ(Dlg->CLBBody->count(), 3);
    EXPECT_EQ(S(Dlg->CLBBody->item(1)->text()), NumberEntryText(5, "clRed"));
    EXPECT_EQ(S(Dlg->CLBZone->item(0)->text()),
              NameEntryText("Z1", ColorToString(PaletteColor(1))));
    // zones of material 0 are greyed and unchecked
    EXPECT_FALSE(Dlg->CLBZone->item(1)->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(Dlg->CLBZone->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(Dlg->CLBMaterial->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(S(Dlg->STPclColor[0]->text()), "clYellow");
    EXPECT_EQ(S(Dlg->ELineWidth[0]->text()), "1");
    EXPECT_EQ(S(Dlg->EEgyRangeS[1]->text()), "0.000000E+000");
    EXPECT_EQ(S(Dlg->EEgyRangeE[1]->text()), "1.000000E+015");
    EXPECT_EQ(S(Dlg->EGeoWidth->text()), "1.0");
    EXPECT_EQ(S(Dlg->ERevRate->text()), "1E-6");
    EXPECT_EQ(S(Dlg->ERevValue->text()), "0.005");
    EXPECT_EQ(S(Dlg->EDivSize->text()), "0.25");
    EXPECT_EQ(S(Dlg->STBackColor->text()), "clBlack");
    EXPECT_TRUE(Dlg->CBLastHty->isChecked());
    EXPECT_TRUE(Dlg->ELastHty->isEnabled());
    EXPECT_FALSE(Dlg->EHtyFrom->isEnabled());
    EXPECT_FALSE(Dlg->ECut[0]->isEnabled());
    // lists start with only the body list enabled
    EXPECT_TRUE(Dlg->CLBBody->isEnabled());
    EXPECT_FALSE(Dlg->CLBZone->isEnabled());
}

TEST_F(ViewDlg, DisplayTypeEnablesOneListAndAllCheckSkipsGreyedZones) {
    Dlg->RBViewInfo[1]->click();
    EXPECT_FALSE(Dlg->CLBBody->isEnabled());
    EXPECT_TRUE(Dlg->CLBZone->isEnabled());
    EXPECT_FALSE(Dlg->CLBMaterial->isEnabled());
    Dlg->PopupList = Dlg->CLBZone;
    Dlg->AllUnCheckClick();
    EXPECT_EQ(Dlg->CLBZone->item(0)->checkState(), Qt::Unchecked);
    Dlg->AllCheckClick();
    EXPECT_EQ(Dlg->CLBZone->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(Dlg->CLBZone->item(2)->checkState(), Qt::Checked);
    EXPECT_EQ(Dlg->CLBZone->item(1)->checkState(), Qt::Unchecked);
    // Fill does not run the display type handler: the enabled list stays
    Settings.ViewInfoType = 2;
    Dlg->Fill(Settings, Geo);
    EXPECT_TRUE(Dlg->RBViewInfo[2]->isChecked());
    EXPECT_TRUE(Dlg->CLBZone->isEnabled());
}

TEST_F(ViewDlg, ChangeColorRecoloursSelectionAndApplySavesIt) {
    Dlg->PickColor = [](TColor& c) {
        c = 0xFF0000; // blue
        return true;
    };
    Dlg->PopupList = Dlg->CLBBody;
    Dlg->CLBBody->setCurrentRow(1);
    Dlg->CLBBody->item(1)->setCheckState(Qt::Unchecked);
    Dlg->ChangeColorClick();
    EXPECT_EQ(S(Dlg->CLBBody->item(1)->text()), NumberEntryText(5, "clBlue"));
    EXPECT_EQ(Dlg->CLBBody->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(S(Dlg->CLBBody->item(0)->text()), NumberEntryText(1, ColorToString(PaletteColor(1))));

    // a cancelled colour dialog changes nothing
    Dlg->PickColor = [](TColor&) { return false; };
    Dlg->CLBBody->item(0)->setSelected(true);
    Dlg->ChangeColorClick();
    EXPECT_EQ(S(Dlg->CLBBody->item(0)->text()), NumberEntryText(1, ColorToString(PaletteColor(1))));

    TTracks none;
    Dlg->Apply(Settings, Geo, none);
    EXPECT_EQ(Geo.BodyLooks[1].Color, 0xFF0000u);
    EXPECT_FALSE(Geo.BodyLooks[1].Visible);
    ASSERT_EQ(Settings.GColor.size(), 3u);
    EXPECT_EQ(Settings.GColor[1], 0xFF0000u);
    EXPECT_EQ(Settings.ZColor.size(), 3u);
    EXPECT_EQ(Settings.MColor.size(), 2u);
}

TEST_F(ViewDlg, OkWithoutChangesKeepsEverything) {
    Settings.ParticleStyles[1].EgyRange = true;
    Settings.ParticleStyles[1].EgyRangeS = 0.125;
    Settings.ParticleStyles[2].LineKind = 3;
    Settings.ParticleStyles[2].LineWidth = 4;
    Settings.CutOn = true;
    for (int i = 0; i < 6; ++i) Settings.CutBox.Params[i] = i * 1.5 - 3;
    Settings.BackColor = 0x123456;
    Settings.Units = "mm";
    Settings.HistFrom = 1;
    Settings.HistTo = 3;
    Dlg->Fill(Settings, Geo);
    const TDisplaySettings before = Settings;
    const TGeometry geoBefore = Geo;
    TTracks tracks = SampleTracks(3);
    Dlg->Apply(Settings, Geo, tracks);
    for (int i = 0; i < 3; ++i) {
        const auto &a = before.ParticleStyles[i], &b = Settings.ParticleStyles[i];
        EXPECT_EQ(a.OnOff, b.OnOff);
        EXPECT_EQ(a.Color, b.Color);
        EXPECT_EQ(a.LineKind, b.LineKind);
        EXPECT_EQ(a.LineWidth, b.LineWidth);
        EXPECT_EQ(a.EgyRange, b.EgyRange);
        EXPECT_EQ(a.EgyRangeS, b.EgyRangeS);
        EXPECT_EQ(a.EgyRangeE, b.EgyRangeE);
    }
    EXPECT_EQ(Settings.CutOn, true);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Settings.CutBox.Params[i], before.CutBox.Params[i]);
    EXPECT_EQ(Settings.BackColor, 0x123456u);
    EXPECT_EQ(Settings.Units, "mm");
    EXPECT_EQ(Settings.ReviseRate, before.ReviseRate);
    EXPECT_EQ(Settings.GeoWidth, before.GeoWidth);
    EXPECT_EQ(Settings.HistFrom, 1);
    EXPECT_EQ(Settings.HistTo, 3);
    EXPECT_EQ(Settings.LastHistOn, true);
    EXPECT_EQ(Settings.HistStep, -1);
    for (size_t i = 0; i < Geo.Bodies.size(); ++i) {
        EXPECT_EQ(Geo.Bodies[i].Number, geoBefore.Bodies[i].Number);
        EXPECT_EQ(Geo.BodyLooks[i].Color, geoBefore.BodyLooks[i].Color);
        EXPECT_EQ(Geo.BodyLooks[i].Visible, geoBefore.BodyLooks[i].Visible);
    }
    // zone names, long ones included, come back as they were
    for (size_t i = 0; i < Geo.Zones.size(); ++i) {
        EXPECT_EQ(Geo.Zones[i].Name, geoBefore.Zones[i].Name);
        EXPECT_EQ(Geo.ZoneLooks[i].Color, geoBefore.ZoneLooks[i].Color);
        EXPECT_EQ(Geo.ZoneLooks[i].Visible, geoBefore.ZoneLooks[i].Visible);
    }
    for (size_t i = 0; i < Geo.Materials.size(); ++i) {
        EXPECT_EQ(Geo.Materials[i].Number, geoBefore.Materials[i].Number);
        EXPECT_EQ(Geo.Materials[i].Visible, geoBefore.Materials[i].Visible);
    }
}

TEST_F(ViewDlg, EmptyFieldsTakeTheirDefaults) {
    Dlg->CBCut->setChecked(true);
    Dlg->ECut[0]->clear();
    Dlg->ECut[5]->setText("  ");
    Dlg->CBHtyRange->setChecked(true);
    Dlg->CBLastHty->setChecked(false);
    Dlg->EHtyFrom->clear();
    Dlg->EHtyTo->clear();
    Dlg->ELastHty->setText("0");
    Dlg->EEgyRangeS[0]->clear();
    Dlg->EEgyRangeE[0]->clear();
    TTracks tracks = SampleTracks(7);
    Dlg->Apply(Settings, Geo, tracks);
    EXPECT_EQ(Settings.CutBox.Params[0], -100); // SceneSize 35
    EXPECT_EQ(Settings.CutBox.Params[5], 100);
    EXPECT_EQ(Settings.HistFrom, 1);
    EXPECT_EQ(Settings.HistTo, 7);
    EXPECT_EQ(Settings.HistStep, 7);
    EXPECT_EQ(Settings.LastHistCount, 1);
    EXPECT_FALSE(Settings.LastHistOn);
    EXPECT_EQ(Settings.ParticleStyles[0].EgyRangeS, 0);
    EXPECT_EQ(Settings.ParticleStyles[0].EgyRangeE, 1e15);
}

TEST_F(ViewDlg, HistoryOptionsAreTakenOnlyWithTracks) {
    Settings.HistFrom = 4;
    Settings.LastHistOn = true;
    Dlg->CBLastHty->setChecked(false);
    Dlg->EHtyFrom->setText("abc"); // not read at all without tracks
    TTracks none;
    Dlg->Apply(Settings, Geo, none);
    EXPECT_EQ(Settings.HistFrom, 4);
    EXPECT_TRUE(Settings.LastHistOn);
}

TEST_F(ViewDlg, ConversionErrorKeepsEarlierValuesOnly) {
    Dlg->STPclColor[0]->setText("clLime");
    Dlg->CBLatch->setChecked(false);
    Dlg->EDivSize->setText("1.5"); // applied after DivSpace, so never reached
    Dlg->EDivSpace->setText("abc");
    Dlg->CBCut->setChecked(true);
    Dlg->ERevRate->setText("2");
    TTracks none;
    try {
        Dlg->Apply(Settings, Geo, none);
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'abc' is not a valid floating point value");
    }
    EXPECT_EQ(Settings.ParticleStyles[0].Color, 0x00FF00u); // before the error
    EXPECT_FALSE(Settings.LatchOn);
    EXPECT_EQ(Settings.DivSize, 0.25); // after it
    EXPECT_FALSE(Settings.CutOn);
    EXPECT_EQ(Settings.ReviseRate, 1e-6);

    // a non-integer line width stops at the particle styles
    TDisplaySettings fresh;
    Dlg->EDivSpace->setText("1");
    Dlg->ELineWidth[1]->setText("1.5");
    EXPECT_THROW(Dlg->Apply(fresh, Geo, none), EConvertError);
    EXPECT_EQ(fresh.ParticleStyles[0].Color, 0x00FF00u);
    EXPECT_TRUE(fresh.LatchOn);
}

TEST_F(ViewDlg, ParticleAndOptionEnablingRules) {
    Dlg->CBEgyRange[0]->click();
    EXPECT_TRUE(Dlg->EEgyRangeS[0]->isEnabled());
    Dlg->CLBParticle->item(0)->setCheckState(Qt::Unchecked); // runs the click handler
    EXPECT_FALSE(Dlg->STPclColor[0]->isEnabled());
    EXPECT_FALSE(Dlg->BtnPclColor[0]->isEnabled());
    EXPECT_FALSE(Dlg->CBLineType[0]->isEnabled());
    EXPECT_FALSE(Dlg->CBEgyRange[0]->isEnabled());
    EXPECT_FALSE(Dlg->EEgyRangeS[0]->isEnabled());
    EXPECT_TRUE(Dlg->BtnPclColor[1]->isEnabled());
    Dlg->CLBParticle->item(0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(Dlg->EEgyRangeE[0]->isEnabled());
    Dlg->CBEgyRange[0]->click();
    EXPECT_FALSE(Dlg->EEgyRangeE[0]->isEnabled());

    Dlg->CBHtyRange->click();
    EXPECT_TRUE(Dlg->EHtyFrom->isEnabled());
    EXPECT_FALSE(Dlg->CBLastHty->isChecked());
    EXPECT_FALSE(Dlg->ELastHty->isEnabled());
    Dlg->CBLastHty->click();
    EXPECT_FALSE(Dlg->CBHtyRange->isChecked());
    EXPECT_FALSE(Dlg->EHtyTo->isEnabled());
    EXPECT_TRUE(Dlg->ELastHty->isEnabled());

    Dlg->CBTime->click();
    EXPECT_EQ(Dlg->ETimeStep->isEnabled(), Dlg->CBTime->isChecked());
    Dlg->CBCut->click();
    for (QLineEdit* e : Dlg->ECut) EXPECT_TRUE(e->isEnabled());
    Dlg->CBCut->click();
    for (QLineEdit* e : Dlg->ECut) EXPECT_FALSE(e->isEnabled());

    Dlg->PickColor = [](TColor& c) {
        c = 0x0000FF;
        return true;
    };
    Dlg->BtnPclColor[2]->click();
    EXPECT_EQ(S(Dlg->STPclColor[2]->text()), "clRed");
    Dlg->BtnForeGround->click();
    EXPECT_EQ(S(Dlg->STForeColor->text()), "clRed");
    Dlg->PickProgram = [] { return std::string("/usr/bin/firefox"); };
    Dlg->BtnBrowser->click();
    EXPECT_EQ(S(Dlg->EBrowser->text()), "/usr/bin/firefox");
    std::string prog, arg;
    Dlg->ExeDir = "/opt/trazon/";
    Dlg->RunHelp = [&](const std::string& p, const std::string& a) { prog = p, arg = a; };
    Dlg->BtnHelp->click();
    EXPECT_EQ(prog, Settings.BrowserName);
    EXPECT_EQ(arg, "file:///opt/trazon/help/setdlg.html");
}

TEST_F(ViewDlg, DefaultPutsDefaultsIntoControlsOnly) {
    Geo.ZoneLooks[1].Visible = false;
    Dlg->CameraSize = 35;
    Settings.HasTime = true;
    Settings.MaxTime = 100;
    Settings.TimeOn = false;
    Dlg->CBEgyRange[2]->setChecked(true);
    Dlg->EGeoWidth->setText("3");
    Dlg->BtnDefault->click();
    EXPECT_EQ(S(Dlg->EGeoWidth->text()), "1.0");
    EXPECT_EQ(Settings.GeoWidth, 1.0);
    EXPECT_FALSE(Dlg->CBEgyRange[2]->isChecked());
    EXPECT_EQ(S(Dlg->EEgyRangeE[2]->text()), "1e15");
    EXPECT_EQ(S(Dlg->STPclColor[1]->text()), "clRed");
    EXPECT_EQ(S(Dlg->EDivSpace->text()), "1");
    EXPECT_EQ(S(Dlg->EDivSize->text()), "0.25");
    EXPECT_EQ(S(Dlg->EStrSpace->text()), "5");
    EXPECT_EQ(S(Dlg->CBUnit->currentText()), "cm");
    EXPECT_EQ(S(Dlg->ERevRate->text()), "1E-6");
    EXPECT_EQ(S(Dlg->STForeColor->text()), "clWhite");
    EXPECT_TRUE(Dlg->CBLastHty->isChecked());
    EXPECT_EQ(S(Dlg->ELastHty->text()), "1");
    EXPECT_TRUE(Dlg->EHtyFrom->text().isEmpty());
    EXPECT_TRUE(Dlg->ECut[3]->text().isEmpty());
    // every geometry entry enabled and checked, palette colours
    EXPECT_TRUE(Dlg->CLBZone->item(1)->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(Dlg->CLBZone->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(S(Dlg->CLBBody->item(1)->text()), NumberEntryText(5, ColorToString(PaletteColor(5))));
    EXPECT_EQ(S(Dlg->CLBMaterial->item(1)->text()),
              NumberEntryText(2, ColorToString(PaletteColor(1))));
    // time: applied at once
    EXPECT_EQ(S(Dlg->ETimeStart->text()), "0");
    EXPECT_EQ(S(Dlg->ETimeEnd->text()), "1.1E+02");
    EXPECT_EQ(S(Dlg->ETimeStep->text()), "1.1E+01");
    EXPECT_TRUE(Dlg->CBTime->isChecked());
    EXPECT_TRUE(Settings.TimeOn);

    Settings.HasTime = false;
    Dlg->BtnDefault->click();
    EXPECT_EQ(S(Dlg->ETimeEnd->text()), "1.0E+30");
    EXPECT_EQ(S(Dlg->ETimeStep->text()), "0");
    EXPECT_FALSE(Dlg->CBTime->isChecked());
    EXPECT_FALSE(Settings.TimeOn);
}

TEST_F(ViewDlg, TimeFieldsKeepTheStart) {
    Dlg->ETimeStart->setText("3");
    Settings.HasTime = true;
    Settings.MaxTime = 100;
    Dlg->SetTimeFields(Settings);
    EXPECT_EQ(S(Dlg->ETimeStart->text()), "3");
    EXPECT_EQ(S(Dlg->ETimeEnd->text()), "1.1E+02");
    EXPECT_EQ(S(Dlg->ETimeStep->text()), "1.1E+01");
    EXPECT_TRUE(Settings.TimeOn);
    EXPECT_TRUE(Dlg->ETimeEnd->isEnabled());
}
