#include "LegendPanel.h"

#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

namespace {
constexpr int PanelHeight = 76;
constexpr int RowTop = 20, RowStep = 18;
constexpr int ImageLeft = 62, ImageWidth = 71, ImageHeight = 11;
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
    resize(w, PanelHeight);
    Label1->resize(w - 8, Label1->height());
    bool buttons = RangeButtonsVisible(settings);
    BtnUp->setVisible(buttons);
    BtnDown->setVisible(buttons);
    QLabel* images[3] = {ImgPho, ImgEle, ImgPos};
    for (int k = 0; k < 3; ++k) {
        const TParticleStyle& s = settings.ParticleStyles[static_cast<size_t>(k)];
        images[k]->setPixmap(
            QPixmap::fromImage(SampleLine(s.Color, s.LineKind, settings.BackColor)));
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
    for (QLabel* l : {Label1, LPho, LEle, LPos}) {
        l->setPalette(pal);
        l->setAutoFillBackground(true);
    }
}
