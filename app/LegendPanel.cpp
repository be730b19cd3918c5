#include "LegendPanel.h"

#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {
constexpr int PanelHeight = 76;
constexpr int RowTop = 20, RowStep = 18;
constexpr int ImageLeft = 62, ImageWidth = 71, ImageHeight = 11;
// The energy bar below the samples, its labels under it.
constexpr int BarTop = PanelHeight - 4, BarHeight = 10, BarLabelHeight = 14;
constexpr int EnergyPanelHeight = BarTop + BarHeight + BarLabelHeight + 4;
} // namespace

TLegendPanel::TLegendPanel(QWidget* parent) : QFrame(parent) {
    setObjectName("PGuide");
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    resize(166, PanelHeight);
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(4, 2, 158, 16);
    QLabel** names[3] = {&LPho, &LEle, &LPos};
    QLabel** images[3] = {&ImgPho, &ImgEle, &ImgPos};
    const char* texts[3] = {"Photon", "Electron", "Positron"};
    const char* imageNames[3] = {"ImgPho", "ImgEle", "ImgPos"};
    for (int k = 0; k < 3; ++k) {
        int y = RowTop + k * RowStep;
        *names[k] = new QLabel(texts[k], this);
        (*names[k])->setGeometry(6, y, ImageLeft - 8, 16);
        *images[k] = new QLabel(this);
        (*images[k])->setObjectName(imageNames[k]);
        (*images[k])->setGeometry(ImageLeft, y + 3, ImageWidth, ImageHeight);
    }
    // The buttons sit right of the samples, so a long range label never covers them.
    BtnUp = new QPushButton("+", this);
    BtnUp->setObjectName("BtnUp");
    BtnUp->setToolTip("Next history range");
    BtnUp->setGeometry(ImageLeft + ImageWidth + 6, RowTop + 2, 22, 16);
    BtnDown = new QPushButton("-", this);
    BtnDown->setObjectName("BtnDown");
    BtnDown->setToolTip("Previous history range");
    BtnDown->setGeometry(ImageLeft + ImageWidth + 6, RowTop + 2 + RowStep, 22, 16);
    BtnUp->hide();
    BtnDown->hide();
    ImgEnergy = new QLabel(this);
    ImgEnergy->setObjectName("ImgEnergy");
    ImgEnergy->hide();
    const Qt::Alignment align[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    for (int k = 0; k < 3; ++k) {
        LEnergy[static_cast<size_t>(k)] = new QLabel(this);
        LEnergy[static_cast<size_t>(k)]->setAlignment(align[k] | Qt::AlignTop);
        LEnergy[static_cast<size_t>(k)]->hide();
    }
}

QImage TLegendPanel::EnergyBar(int width, int height, double low, double high) {
    QImage img(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    QPainter p(&img);
    for (int x = 0; x < img.width(); ++x) {
        const double t = img.width() > 1 ? double(x) / (img.width() - 1) : 0.5;
        const double e = low > 0 && high > low ? low * std::pow(high / low, t) : low;
        p.setPen(ToQColor(EnergyColor(e, low, high)));
        p.drawLine(x, 0, x, img.height() - 1);
    }
    return img;
}

QString TLegendPanel::EnergyText(double energy) {
    return QString::number(energy, 'g', 3);
}

QColor TLegendPanel::ToQColor(TColor c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

QImage TLegendPanel::SampleLine(TColor colour, int lineKind, TColor backColor) {
    QImage img(ImageWidth, ImageHeight, QImage::Format_RGB32);
    img.fill(ToQColor(backColor));
    static const Qt::PenStyle styles[4] = {Qt::SolidLine, Qt::DotLine, Qt::DashDotLine,
                                           Qt::DashDotDotLine};
    QPen pen(ToQColor(colour));
    pen.setWidth(1);
    pen.setStyle(styles[(lineKind >= 0 && lineKind < 4) ? lineKind : 0]);
    QPainter p(&img);
    p.setPen(pen);
    p.drawLine(0, 5, 70, 5);
    return img;
}

void TLegendPanel::SetRangeText(const std::string& text) {
    Label1->setText(QString::fromStdString(text));
}

void TLegendPanel::Refresh(const TTracks& tracks, const TDisplaySettings& settings) {
    std::string label = RangeLabelText(tracks, settings);
    SetRangeText(label);
    int w = LegendPanelWidth(label);
    const bool byEnergy = settings.ColorByEnergy;
    resize(w, byEnergy ? EnergyPanelHeight : PanelHeight);
    ImgEnergy->setVisible(byEnergy);
    for (QLabel* l : LEnergy) l->setVisible(byEnergy);
    if (byEnergy) {
        const double lo = settings.EnergyLow, hi = settings.EnergyHigh;
        ImgEnergy->setGeometry(6, BarTop, w - 12, BarHeight);
        ImgEnergy->setPixmap(QPixmap::fromImage(EnergyBar(w - 12, BarHeight, lo, hi)));
        const double values[3] = {lo, std::sqrt(lo * hi), hi};
        for (int k = 0; k < 3; ++k) {
            QLabel* l = LEnergy[static_cast<size_t>(k)];
            l->setText(EnergyText(values[k]));
            l->setGeometry(4 + k * (w - 8) / 3, BarTop + BarHeight, (w - 8) / 3, BarLabelHeight);
        }
    }
    Label1->resize(w - 8, Label1->height());
    bool buttons = RangeButtonsVisible(settings);
    BtnUp->setVisible(buttons);
    BtnDown->setVisible(buttons);
    QLabel* images[3] = {ImgPho, ImgEle, ImgPos};
    for (int k = 0; k < 3; ++k) {
        const TParticleStyle& s = settings.ParticleStyles[static_cast<size_t>(k)];
        // coloured by energy, the samples show only the kinds' patterns
        images[k]->setPixmap(QPixmap::fromImage(SampleLine(
            byEnergy ? settings.ForeColor : s.Color, s.LineKind, settings.BackColor)));
    }
    ApplyColours(settings.BackColor, settings.ForeColor);
}

void TLegendPanel::ApplyColours(TColor back, TColor fore) {
    QPalette pal = palette();
    for (QPalette::ColorRole r : {QPalette::Window, QPalette::Base, QPalette::Button})
        pal.setColor(r, ToQColor(back));
    for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(r, ToQColor(fore));
    setPalette(pal);
    for (QLabel* l : {Label1, LPho, LEle, LPos, LEnergy[0], LEnergy[1], LEnergy[2]}) {
        l->setPalette(pal);
        l->setAutoFillBackground(true);
    }
}
