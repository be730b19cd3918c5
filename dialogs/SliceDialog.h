// Slice window: an exact 2-D cut through the loaded geometry at x = c, y = c or z = c, every
// pixel coloured by the zone (or material) its centre lies in, with the pixels in no zone and
// in several zones in patterns of their own. Computed coarse to fine on all cores while the
// event loop is idle; the mouse pans and zooms, hovering names what is under the cursor.
#pragma once

#include "input/DisplaySettings.h"
#include "tools/core/SliceCore.h"

#include <QDialog>
#include <QImage>

#include <functional>
#include <string>

class QCheckBox;
class TDocument;
class TViewerHost;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QTimer;
class TSliceCanvas;

class TFmSlice : public QDialog {
    Q_OBJECT
  public:
    // Slices the document's geometry in its display colours; the host shows the outline.
    TFmSlice(QWidget* parent, TDocument& document, TViewerHost& host);
    // Slices the given model without a host (tests).
    TFmSlice(QWidget* parent, const TGeometry& geometry, const TDisplaySettings& settings);
    ~TFmSlice() override;

    QComboBox *CBAxis = nullptr, *CBColor = nullptr;
    QSlider* SLPlane = nullptr;
    QDoubleSpinBox* SEPlane = nullptr;
    QCheckBox* CBOutline = nullptr;
    QPushButton *BtnFit = nullptr, *BtnSave = nullptr, *BtnHelp = nullptr, *BtnClose = nullptr;
    TSliceCanvas* Canvas = nullptr;
    QListWidget* LBLegend = nullptr;
    QLabel* STStatus = nullptr;

    // The model was loaded anew: new index, plane range and window.
    void ModelChanged();
    // The display colours changed: repaint only.
    void ColoursChanged();
    // The plane and the window as they stand.
    const TSlicePlane& Plane() const { return View; }
    void SetPlane(int axis, double c);
    // Window centre and length per pixel; the canvas size gives the rest.
    void SetWindow(double cu, double cv, double perPixel);
    void FitWindow();

    // Computes the rest of the picture at once (tests, Save as).
    void FinishPicture();
    bool PictureDone() const { return Render.Done(); }
    const TSliceRender& Core() const { return Render; }
    // The picture as shown (the canvas paints it scaled 1:1).
    const QImage& Picture() const { return Image; }
    // The status line text for the point under canvas pixel (x, y).
    std::string HoverText(int x, int y) const;
    // Writes the finished picture as PNG, JPEG or BMP by the name's extension; false with a
    // message on failure.
    bool SavePicture(const std::string& path, std::string& error);

    // Called when the outline the 3-D view shows changes (empty: the host repaints).
    std::function<void()> OutlineChanged;
    // Save-as file chooser, replaceable by tests: empty when cancelled.
    std::function<std::string()> ChooseSaveFile;

    // The plane's outline as four corner points, when the 3-D view should show it.
    bool OutlineShown() const;
    std::array<TVector, 4> OutlineCorners() const;

    // Canvas events.
    void CanvasResized();
    void CanvasHover(int x, int y);
    void CanvasLeft();
    void CanvasPan(int dx, int dy);
    void CanvasZoom(double factor, int x, int y); // about canvas pixel (x, y)
    void CanvasZoomRect(int x0, int y0, int x1, int y1);

    void BtnSaveClick();

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    void Build();
    void Restart(); // recompute after a change of plane, window or size
    void Step();    // idle step
    void UpdatePicture();
    void UpdateLegend();
    void PlaneRangeChanged();
    void SliderMoved(int value);
    void SpinChanged(double value);
    void NotifyOutline();
    TSliceColorBy ColorBy() const;
    // Runs a piece of the picture's work; when memory runs out the picture stops empty and
    // the user is told. False then.
    bool WithinMemory(const std::function<void()>& work);
    void StopPicture();

    const TGeometry* Model;
    TViewerHost* Host = nullptr;
    const TDisplaySettings* Settings;
    TZoneIndex Index;
    bool IndexReady = false;
    TSliceRender Render;
    TSlicePlane View;
    double CentreU = 0, CentreV = 0, PerPixel = 0; // the window
    std::array<double, 6> Box{};
    QImage Image;
    QTimer* Idle = nullptr;
    uint64_t ShownRevision = ~0ull;
    bool Fitted = false;  // the window shows the whole scene box (kept so on resizes)
    bool Syncing = false; // slider and spin box follow each other without feedback
    int HoverX = -1;      // canvas column under the pointer, -1 when it is elsewhere
};
