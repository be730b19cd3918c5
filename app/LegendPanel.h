// Legend panel of the main view: the history range label with its up/down buttons and, for
// photon, electron and positron, the name and a 71 x 11 sample of the track line.
#pragma once

#include "geometry/MyCGUnit.h"
#include "input/DisplaySettings.h"
#include "input/Tracks.h"

#include <QFrame>
#include <QImage>

#include <array>

class QLabel;
class QPushButton;

class TLegendPanel : public QFrame {
    Q_OBJECT
  public:
    explicit TLegendPanel(QWidget* parent = nullptr);

    // Range label text, width rule, button visibility, colours and sample lines from the
    // loaded tracks and the display settings (after every read and after the settings dialog).
    void Refresh(const TTracks& tracks, const TDisplaySettings& settings);
    // Only the range label (after the up/down buttons stepped the range).
    void SetRangeText(const std::string& text);

    // The 71 x 11 sample: BackColor, with a line from (0, 5) to (70, 5) in the kind's colour
    // and pen style (0 Solid, 1 Dot, 2 DashDot, 3 DashDotDot), pen width 1.
    static QImage SampleLine(TColor colour, int lineKind, TColor backColor);
    static QColor ToQColor(TColor colour); // red in the lowest byte
    // The colour bar of tracks coloured by energy: low energies left, high right, on the
    // logarithmic map of EnergyColor.
    static QImage EnergyBar(int width, int height, double low, double high);
    // Label text of an energy under the bar ("0.01", "1.5e+03").
    static QString EnergyText(double energy);

    QLabel* Label1;
    QPushButton* BtnUp;
    QPushButton* BtnDown;
    QLabel* LPho;
    QLabel* LEle;
    QLabel* LPos;
    QLabel* ImgPho;
    QLabel* ImgEle;
    QLabel* ImgPos;
    // Shown while tracks are coloured by energy: the bar and its low, middle and high labels.
    QLabel* ImgEnergy;
    std::array<QLabel*, 3> LEnergy;

  private:
    void ApplyColours(TColor back, TColor fore);
};
