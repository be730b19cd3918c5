#include "SliceDialog.h"

#include "dialogs/Desktop.h"
#include "dialogs/ViewerHost.h"
#include "document/Document.h"
#include "render/ImageFile.h"
#include "dialogs/ToolWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

// The picture area: paints the slice 1:1 and turns mouse drags into pans and zooms, as in the
// 3-D view: left or middle button drag pans, right button drag up/down zooms, the wheel zooms
// about the cursor, Shift-drag zooms to a rectangle.
class TSliceCanvas : public QWidget {
  public:
    explicit TSliceCanvas(TFmSlice* owner) : QWidget(owner), Owner(owner) {
        setMouseTracking(true);
        setMinimumSize(200, 200);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setCursor(Qt::CrossCursor);
    }
    QSize sizeHint() const override { return {640, 560}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        p.drawImage(0, 0, Owner->Picture());
        if (Mode == Rect) {
            p.setPen(QPen(Qt::white, 1, Qt::DashLine));
            p.drawRect(QRect(Start, Last).normalized());
        }
    }
    void resizeEvent(QResizeEvent*) override { Owner->CanvasResized(); }
    void mousePressEvent(QMouseEvent* e) override {
        Start = Last = e->position().toPoint();
        if (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier))
            Mode = Rect;
        else if (e->button() == Qt::RightButton)
            Mode = Zoom;
        else
            Mode = Pan;
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        QPoint p = e->position().toPoint();
        QPoint d = p - Last;
        switch (Mode) {
        case Pan:
            Owner->CanvasPan(d.x(), d.y());
            break;
        case Zoom: // about the point where the drag started
            Owner->CanvasZoom(std::exp(0.01 * d.y()), Start.x(), Start.y());
            break;
        case Rect:
            update();
            break;
        case None:
            break;
        }
        Last = p;
        Owner->CanvasHover(p.x(), p.y());
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        QPoint p = e->position().toPoint();
        if (Mode == Rect && (p - Start).manhattanLength() > 3)
            Owner->CanvasZoomRect(Start.x(), Start.y(), p.x(), p.y());
        Mode = None;
        update();
    }
    void wheelEvent(QWheelEvent* e) override {
        QPoint p = e->position().toPoint();
        double steps = e->angleDelta().y() / 120.0;
        if (steps != 0) Owner->CanvasZoom(std::pow(0.8, steps), p.x(), p.y());
    }
    void leaveEvent(QEvent*) override { Owner->CanvasLeft(); }

  private:
    enum { None, Pan, Zoom, Rect } Mode = None;
    TFmSlice* Owner;
    QPoint Start, Last;
};

namespace {

constexpr int SliderSteps = 1000;

QColor ToQColor(TColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// A legend swatch drawn with the picture's own colours and patterns.
QIcon Swatch(int32_t cls, const std::vector<TColor>& colors) {
    QImage img(16, 16, QImage::Format_RGB888);
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 16; ++i) img.setPixelColor(i, j, ToQColor(SlicePixelColor(cls, colors, i, j)));
    QPainter p(&img);
    p.setPen(Qt::gray);
    p.drawRect(0, 0, 15, 15);
    p.end();
    return QIcon(QPixmap::fromImage(img));
}

std::string G(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

} // namespace

TFmSlice::TFmSlice(QWidget* parent, TDocument& document, TViewerHost& host)
    : TFmSlice(parent, document.Geometry, document.Display) {
    Host = &host;
}

TFmSlice::TFmSlice(QWidget* parent, const TGeometry& geometry, const TDisplaySettings& settings)
    : QDialog(parent), Model(&geometry), Settings(&settings) {
    Render.Threads = 0; // all cores
    View.Axis = 1;      // x across, z up: the side view of most set-ups
    Build();
    ModelChanged();
}

TFmSlice::~TFmSlice() = default;

void TFmSlice::Build() {
    setObjectName("FmSlice");
    setWindowTitle("Slice");
    setModal(false);
    setSizeGripEnabled(true);

    CBAxis = new QComboBox;
    CBAxis->setObjectName("CBAxis");
    CBAxis->addItems({"x =", "y =", "z ="});
    SLPlane = new QSlider(Qt::Horizontal);
    SLPlane->setObjectName("SLPlane");
    SLPlane->setRange(0, SliderSteps);
    SLPlane->setMinimumWidth(160);
    SEPlane = new QDoubleSpinBox;
    SEPlane->setObjectName("SEPlane");
    SEPlane->setKeyboardTracking(false);
    SEPlane->setMinimumWidth(110);
    CBColor = new QComboBox;
    CBColor->setObjectName("CBColor");
    CBColor->addItems({"Zone", "Material"});
    CBOutline = new QCheckBox("Plane in 3-D view");
    CBOutline->setObjectName("CBOutline");
    CBOutline->setChecked(true);

    Canvas = new TSliceCanvas(this);
    Canvas->setObjectName("SliceCanvas");
    LBLegend = new QListWidget;
    LBLegend->setObjectName("LBLegend");
    LBLegend->setFixedWidth(230);
    LBLegend->setSelectionMode(QAbstractItemView::NoSelection);
    LBLegend->setFocusPolicy(Qt::NoFocus);
    STStatus = new QLabel;
    STStatus->setObjectName("STStatus");
    STStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    STStatus->setMinimumWidth(100);
    STStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    BtnFit = new QPushButton("Fit");
    BtnFit->setObjectName("BtnFit");
    BtnSave = new QPushButton("Save as...");
    BtnSave->setObjectName("BtnSave");
    BtnHelp = new QPushButton("HELP");
    BtnHelp->setObjectName("BtnHelp");
    BtnClose = new QPushButton("CLOSE");
    BtnClose->setObjectName("BtnClose");
    for (QPushButton* b : {BtnFit, BtnSave, BtnHelp, BtnClose}) b->setAutoDefault(false);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel("Plane:"));
    controls->addWidget(CBAxis);
    controls->addWidget(SEPlane);
    controls->addWidget(SLPlane, 1);
    controls->addSpacing(12);
    controls->addWidget(new QLabel("Colour by:"));
    controls->addWidget(CBColor);
    controls->addWidget(BtnFit);
    auto* legend = new QVBoxLayout;
    legend->addWidget(new QLabel("Legend:"));
    legend->addWidget(LBLegend, 1);
    legend->addWidget(CBOutline);
    auto* middle = new QHBoxLayout;
    middle->addWidget(Canvas, 1);
    middle->addLayout(legend);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(STStatus, 1);
    buttons->addWidget(BtnSave);
    buttons->addWidget(BtnHelp);
    buttons->addWidget(BtnClose);
    auto* top = new QVBoxLayout(this);
    top->addLayout(controls);
    top->addLayout(middle, 1);
    top->addLayout(buttons);

    Idle = new QTimer(this);
    Idle->setInterval(0);
    connect(Idle, &QTimer::timeout, this, &TFmSlice::Step);
    connect(CBAxis, &QComboBox::currentIndexChanged, this, [this](int axis) {
        if (Syncing) return;
        SetPlane(axis, (Box[static_cast<size_t>(2 * axis)] + Box[static_cast<size_t>(2 * axis + 1)]) / 2);
        FitWindow();
    });
    connect(SLPlane, &QSlider::valueChanged, this, &TFmSlice::SliderMoved);
    connect(SEPlane, &QDoubleSpinBox::valueChanged, this, &TFmSlice::SpinChanged);
    connect(CBColor, &QComboBox::currentIndexChanged, this, [this] { ColoursChanged(); });
    connect(CBOutline, &QCheckBox::toggled, this, [this] { NotifyOutline(); });
    connect(BtnFit, &QPushButton::clicked, this, &TFmSlice::FitWindow);
    connect(BtnSave, &QPushButton::clicked, this, &TFmSlice::BtnSaveClick);
    connect(BtnHelp, &QPushButton::clicked, this, [this] { OpenHelp(Host, "slice.html"); });
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::close);
    resize(900, 640);
}

TSliceColorBy TFmSlice::ColorBy() const {
    return CBColor->currentIndex() == 1 ? TSliceColorBy::Material : TSliceColorBy::Zone;
}

bool TFmSlice::WithinMemory(const std::function<void()>& work) {
    return ::WithinMemory(
        work, [this] { StopPicture(); },
        [this] { ShowMessage(Host, "Not enough memory for the slice picture: it was stopped."); });
}

void TFmSlice::StopPicture() {
    Idle->stop();
    Render.Stop();
    ShownRevision = Render.Revision();
    Image = QImage();
    Canvas->update();
    LBLegend->clear();
    STStatus->setText("Not enough memory for the picture");
}

void TFmSlice::ModelChanged() {
    IndexReady = false;
    if (!WithinMemory([this] { BuildZoneIndex(Model->Bodies, Model->Zones, Index); })) {
        Index = TZoneIndex{};
        return;
    }
    IndexReady = true;
    Box = SceneBox(Model->Bodies, Model->Zones, Settings->SceneSize);
    int axis = std::clamp(View.Axis, 0, 2);
    View.Axis = axis;
    PlaneRangeChanged();
    SetPlane(axis, (Box[static_cast<size_t>(2 * axis)] + Box[static_cast<size_t>(2 * axis + 1)]) / 2);
    FitWindow();
}

void TFmSlice::PlaneRangeChanged() {
    const size_t a = static_cast<size_t>(View.Axis);
    double lo = Box[2 * a], hi = Box[2 * a + 1], ext = hi - lo;
    if (!(ext > 0)) ext = std::max(std::fabs(lo), 1.0);
    // decimals enough for a thousandth of the box, whatever its scale
    int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(ext / SliderSteps))), 0, 12);
    Syncing = true;
    SEPlane->setDecimals(decimals);
    SEPlane->setRange(lo - ext, hi + ext);
    SEPlane->setSingleStep(ext / 100);
    Syncing = false;
}

void TFmSlice::SetPlane(int axis, double c) {
    axis = std::clamp(axis, 0, 2);
    bool axisChanged = axis != View.Axis;
    View.Axis = axis;
    View.C = c;
    if (axisChanged) PlaneRangeChanged();
    Syncing = true;
    if (CBAxis->currentIndex() != axis) CBAxis->setCurrentIndex(axis);
    SEPlane->setValue(c);
    const size_t a = static_cast<size_t>(axis);
    double lo = Box[2 * a], hi = Box[2 * a + 1];
    SLPlane->setValue(hi > lo ? static_cast<int>(std::lround((c - lo) / (hi - lo) * SliderSteps))
                              : SliderSteps / 2);
    Syncing = false;
    Restart();
}

void TFmSlice::SliderMoved(int value) {
    if (Syncing) return;
    const size_t a = static_cast<size_t>(View.Axis);
    double lo = Box[2 * a], hi = Box[2 * a + 1];
    double c = lo + (hi - lo) * value / SliderSteps;
    View.C = c;
    Syncing = true;
    SEPlane->setValue(c);
    Syncing = false;
    Restart();
}

void TFmSlice::SpinChanged(double value) {
    if (Syncing) return;
    SetPlane(View.Axis, value);
}

void TFmSlice::SetWindow(double cu, double cv, double perPixel) {
    if (!std::isfinite(cu) || !std::isfinite(cv) || !(perPixel > 0) || !std::isfinite(perPixel))
        return;
    CentreU = cu, CentreV = cv, PerPixel = perPixel;
    Restart();
}

void TFmSlice::FitWindow() {
    int w = std::max(Canvas->width(), 1), h = std::max(Canvas->height(), 1);
    TSlicePlane p = View;
    DefaultSliceWindow(Box, w, h, p);
    // a little room around the scene, so its edges are seen
    SetWindow((p.Umin + p.Umax) / 2, (p.Vmin + p.Vmax) / 2, (p.Umax - p.Umin) / w * 1.05);
    Fitted = true;
}

void TFmSlice::Restart() {
    if (!IndexReady || PerPixel <= 0) return;
    int w = std::max(Canvas->width(), 1), h = std::max(Canvas->height(), 1);
    View.Umin = CentreU - PerPixel * w / 2;
    View.Umax = CentreU + PerPixel * w / 2;
    View.Vmin = CentreV - PerPixel * h / 2;
    View.Vmax = CentreV + PerPixel * h / 2;
    // (a lambda of `this` alone: handing it on allocates nothing)
    const bool started = WithinMemory([this] {
        Render.Start(Model->Bodies, Model->Zones, Index, View, std::max(Canvas->width(), 1),
                     std::max(Canvas->height(), 1));
        ShownRevision = ~0ull;
        UpdatePicture();
    });
    if (started && isVisible()) Idle->start();
    NotifyOutline();
}

void TFmSlice::Step() {
    WithinMemory([this] {
        Render.Advance(0.03);
        UpdatePicture();
    });
    if (Render.Done()) Idle->stop();
}

void TFmSlice::FinishPicture() {
    Idle->stop();
    if (!Render.Done()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        WithinMemory([this] { Render.Finish(); });
        QApplication::restoreOverrideCursor();
    }
    WithinMemory([this] { UpdatePicture(); });
}

void TFmSlice::UpdatePicture() {
    if (Render.Revision() == ShownRevision) return;
    ShownRevision = Render.Revision();
    const int w = Render.Width(), h = Render.Height();
    std::vector<uint8_t> rgb;
    PaintSlice(Render.Classes(), w, h, SliceZoneColors(*Model, ColorBy(), Settings->BackColor),
               Settings->BackColor, rgb);
    Image = QImage(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        std::memcpy(Image.scanLine(y), rgb.data() + static_cast<size_t>(y) * w * 3,
                    static_cast<size_t>(w) * 3);
    Canvas->update();
    UpdateLegend();
    if (HoverX < 0) STStatus->setText(QString::fromStdString(HoverText(-1, -1)));
}

void TFmSlice::UpdateLegend() {
    // The legend follows the levels as they finish, not every batch.
    if (!Render.Done() && LBLegend->count() > 0 && Render.Spacing() > 1) return;
    TSliceCounts counts = CountSlice(Render.Classes(), Model->Zones.size());
    std::vector<TColor> colors = SliceZoneColors(*Model, ColorBy(), Settings->BackColor);
    LBLegend->clear();
    for (const TSliceLegendEntry& e : SliceLegend(*Model, ColorBy(), counts, colors)) {
        auto* item = new QListWidgetItem(Swatch(e.Class, colors), QString::fromStdString(e.Text));
        item->setToolTip(QString("%1 pixels").arg(e.Pixels));
        LBLegend->addItem(item);
    }
}

void TFmSlice::ColoursChanged() {
    ShownRevision = ~0ull;
    LBLegend->clear();
    WithinMemory([this] { UpdatePicture(); });
}

std::string TFmSlice::HoverText(int x, int y) const {
    if (x < 0 || y < 0 || x >= Render.Width() || y >= Render.Height()) {
        if (!Render.Done())
            return "Computing " + std::to_string(static_cast<int>(Render.Progress() * 100)) + "%";
        TSliceCounts c = CountSlice(Render.Classes(), Model->Zones.size());
        return std::to_string(c.Pixels) + " pixels, " + std::to_string(c.Undefined) +
               " undefined, " + std::to_string(c.Overlap) + " overlap";
    }
    TVector p = SlicePixelCentre(View, Render.Width(), Render.Height(), x, y);
    TPointInfo info = InspectPoint(Model->Bodies, Model->Zones, Index, p.x, p.y, p.z);
    std::string s = "x=" + G(p.x) + " y=" + G(p.y) + " z=" + G(p.z);
    for (const std::string& line : PointInfoLines(Model->Zones, info)) s += "   " + line;
    return s;
}

void TFmSlice::CanvasResized() {
    // A fitted window stays fitted; one the user panned or zoomed keeps its scale.
    if (PerPixel <= 0 || Fitted)
        FitWindow();
    else
        Restart();
}

void TFmSlice::CanvasHover(int x, int y) {
    HoverX = x;
    STStatus->setText(QString::fromStdString(HoverText(x, y)));
}

void TFmSlice::CanvasLeft() {
    HoverX = -1;
    STStatus->setText(QString::fromStdString(HoverText(-1, -1)));
}

void TFmSlice::CanvasPan(int dx, int dy) {
    Fitted = false;
    SetWindow(CentreU - dx * PerPixel, CentreV + dy * PerPixel, PerPixel);
}

void TFmSlice::CanvasZoom(double factor, int x, int y) {
    int w = std::max(Canvas->width(), 1), h = std::max(Canvas->height(), 1);
    // the point under (x, y) stays where it is
    double u = CentreU + (x + 0.5 - w / 2.0) * PerPixel;
    double v = CentreV - (y + 0.5 - h / 2.0) * PerPixel;
    double pp = PerPixel * factor;
    Fitted = false;
    SetWindow(u - (x + 0.5 - w / 2.0) * pp, v + (y + 0.5 - h / 2.0) * pp, pp);
}

void TFmSlice::CanvasZoomRect(int x0, int y0, int x1, int y1) {
    int w = std::max(Canvas->width(), 1), h = std::max(Canvas->height(), 1);
    double cx = (x0 + x1) / 2.0, cy = (y0 + y1) / 2.0;
    double u = CentreU + (cx - w / 2.0) * PerPixel, v = CentreV - (cy - h / 2.0) * PerPixel;
    double f = std::max(std::abs(x1 - x0) / double(w), std::abs(y1 - y0) / double(h));
    if (f > 0) {
        Fitted = false;
        SetWindow(u, v, PerPixel * f);
    }
}

bool TFmSlice::OutlineShown() const {
    return isVisible() && CBOutline->isChecked() && Render.Width() > 0;
}

std::array<TVector, 4> TFmSlice::OutlineCorners() const {
    return {SlicePoint(View, View.Umin, View.Vmin), SlicePoint(View, View.Umax, View.Vmin),
            SlicePoint(View, View.Umax, View.Vmax), SlicePoint(View, View.Umin, View.Vmax)};
}

void TFmSlice::NotifyOutline() {
    if (OutlineChanged)
        OutlineChanged();
    else if (Host && isVisible())
        Host->Repaint();
}

bool TFmSlice::SavePicture(const std::string& path, std::string& error) {
    FinishPicture();
    if (Render.Width() <= 0 || Render.Height() <= 0) {
        error = "There is no picture to save.";
        return false;
    }
    try {
        std::vector<uint8_t> rgb;
        PaintSlice(Render.Classes(), Render.Width(), Render.Height(),
                   SliceZoneColors(*Model, ColorBy(), Settings->BackColor), Settings->BackColor,
                   rgb);
        return SaveImage(path, Render.Width(), Render.Height(), rgb, error);
    } catch (const std::bad_alloc&) {
        error = "Not enough memory to save the slice picture.";
        return false;
    }
}

void TFmSlice::BtnSaveClick() {
    std::string path;
    if (ChooseSaveFile) {
        path = ChooseSaveFile();
    } else {
        QFileDialog dlg(this, "Save slice");
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setNameFilters({"PNG(*.png)", "Jpeg(*.jpg)", "BitMap(*.bmp)"});
        dlg.setDefaultSuffix("png");
        connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& f) {
            dlg.setDefaultSuffix(f.contains("jpg") ? "jpg" : f.contains("bmp") ? "bmp" : "png");
        });
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            path = dlg.selectedFiles().first().toStdString();
    }
    if (path.empty()) return;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        std::string name = path.substr(path.rfind('/') + 1);
        if (!AskOkCancel(name + " is Found! OverWrite OK?")) return;
    }
    std::string error;
    if (!SavePicture(path, error)) ShowMessage(Host, error);
}

void TFmSlice::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!Render.Done()) Idle->start();
    NotifyOutline();
}

void TFmSlice::hideEvent(QHideEvent* e) {
    Idle->stop();
    QDialog::hideEvent(e);
    if (OutlineChanged)
        OutlineChanged();
    else if (Host)
        Host->Repaint();
}
