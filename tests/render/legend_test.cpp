// Legend panel: sample line images, range label, width rule and button visibility.
#include "tests/TestApp.h"
#include "app/LegendPanel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {
QApplication& App() {
    return *TestApp();
}
} // namespace

TEST(LegendPanel, SampleLinesFollowColourAndPattern) {
    App();
    QImage solid = TLegendPanel::SampleLine(0x0000FF, 0, 0x000000);
    ASSERT_EQ(solid.size(), QSize(71, 11));
    for (int x = 0; x <= 70; ++x) EXPECT_EQ(solid.pixelColor(x, 5), QColor(255, 0, 0)) << x;
    EXPECT_EQ(solid.pixelColor(10, 4), QColor(0, 0, 0));
    EXPECT_EQ(solid.pixelColor(10, 6), QColor(0, 0, 0));
    // Dot: lit and background pixels alternate along the line
    QImage dot = TLegendPanel::SampleLine(0x00FFFF, 1, 0xFFFFFF);
    int lit = 0, back = 0;
    for (int x = 0; x < 70; ++x) {
        QColor c = dot.pixelColor(x, 5);
        if (c == QColor(255, 255, 0))
            ++lit;
        else if (c == QColor(255, 255, 255))
            ++back;
    }
    EXPECT_GT(lit, 20);
    EXPECT_GT(back, 20);
    // the four styles give four different pictures
    QImage dd = TLegendPanel::SampleLine(0x00FFFF, 2, 0xFFFFFF);
    QImage ddd = TLegendPanel::SampleLine(0x00FFFF, 3, 0xFFFFFF);
    EXPECT_NE(dot, dd);
    EXPECT_NE(dd, ddd);
    EXPECT_NE(ddd, TLegendPanel::SampleLine(0x00FFFF, 0, 0xFFFFFF));
}

TEST(LegendPanel, RefreshSetsLabelWidthAndButtons) {
    App();
    TLegendPanel panel;
    TTracks tracks;
    TDisplaySettings s;
    panel.Refresh(tracks, s);
    EXPECT_EQ(panel.Label1->text(), " Histroy Range :0-0");
    EXPECT_EQ(panel.width(), 166);
    EXPECT_FALSE(panel.BtnUp->isVisibleTo(&panel));
    EXPECT_EQ(panel.ImgEle->pixmap().toImage().pixelColor(3, 5), QColor(255, 0, 0));

    TrackPoint p;
    p.Kind = 4;
    for (int h : {1, 2, 123456789}) {
        p.HistoryNo = h;
        tracks.push_back(p);
    }
    s.LastHistOn = false;
    s.HistRangeOn = true;
    s.HistFrom = 1000000;
    s.HistTo = 123456789;
    s.BackColor = 0x808080;
    panel.Refresh(tracks, s);
    std::string label = panel.Label1->text().toStdString();
    EXPECT_EQ(label, " Histroy Range :1000000-123456789");
    EXPECT_EQ(panel.width(), 6 * static_cast<int>(label.size()) + 22);
    EXPECT_TRUE(panel.BtnUp->isVisibleTo(&panel));
    EXPECT_TRUE(panel.BtnDown->isVisibleTo(&panel));
    EXPECT_EQ(panel.ImgPho->pixmap().toImage().pixelColor(3, 1), QColor(128, 128, 128));
}

TEST(LegendPanel, EnergyColourBarWithItsLabels) {
    App();
    QImage bar = TLegendPanel::EnergyBar(101, 10, 0.01, 100);
    EXPECT_EQ(bar.pixelColor(0, 5), QColor(0, 0, 255));     // lowest: blue
    EXPECT_EQ(bar.pixelColor(50, 5), QColor(0, 255, 0));    // 1, half-way on the log scale
    EXPECT_EQ(bar.pixelColor(100, 5), QColor(255, 0, 0));   // highest: red

    TLegendPanel panel;
    TTracks tracks(2);
    TDisplaySettings s;
    s.EnergyLow = 0.01;
    s.EnergyHigh = 100;
    panel.Refresh(tracks, s);
    EXPECT_FALSE(panel.ImgEnergy->isVisibleTo(&panel));
    const int plain = panel.height();
    s.ColorByEnergy = true;
    panel.Refresh(tracks, s);
    EXPECT_TRUE(panel.ImgEnergy->isVisibleTo(&panel));
    EXPECT_GT(panel.height(), plain);
    EXPECT_LE(panel.ImgEnergy->geometry().bottom(), panel.height());
    EXPECT_EQ(panel.LEnergy[0]->text(), "0.01");
    EXPECT_EQ(panel.LEnergy[1]->text(), "1");
    EXPECT_EQ(panel.LEnergy[2]->text(), "100");
    for (QLabel* l : panel.LEnergy) EXPECT_LE(l->geometry().bottom(), panel.height());
}
