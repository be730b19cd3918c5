#include "main.h"

#include "app/LegendPanel.h"
#include "app/resource.h"
#include "dialogs/DisplaySettingsDialog.h"
#include "input/FileWrite.h"
#include "input/Reader.h"
#include "render/Scene.h"
#include "render/mesh/BodyMesh.h"
#include "render/mesh/LatticeMesh.h"
#include "dialogs/VolumeDialog.h"
#include "dialogs/CheckDialog.h"
#include "dialogs/GeometryEditor.h"
#include "dialogs/SliceDialog.h"
#include "dialogs/TrackZoneDialog.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWheelEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QImageWriter>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

std::string SettingsPathOverride;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QColor ToQColor(TColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

std::string DirOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

QLabel* MakeText(QWidget* parent, const QRect& r, bool large) {
    auto* l = new QLabel(parent);
    l->setGeometry(r);
    // A native child window: the GL picture copied into the parent cannot paint over it.
    l->setAttribute(Qt::WA_NativeWindow);
    l->setAutoFillBackground(true);
    if (large) {
        QFont f = l->font();
        f.setPointSize(18);
        f.setBold(true);
        l->setFont(f);
        l->setAlignment(Qt::AlignCenter);
    } else {
        QFont f = l->font();
        f.setPointSize(8);
        l->setFont(f);
    }
    return l;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Drawing surface

TGLCanvas::TGLCanvas(TFmMain* owner) : QWidget(owner), Owner(owner) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
}

unsigned long TGLCanvas::NativeWindow() const {
    return (unsigned long)winId();
}

void TGLCanvas::paintEvent(QPaintEvent*) {
    Owner->ExposePaint();
}
void TGLCanvas::resizeEvent(QResizeEvent*) {
    Owner->FormResize();
}

void TGLCanvas::mousePressEvent(QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    Owner->FormMouseDown(e->button(), e->modifiers(), p.x(), p.y());
}
void TGLCanvas::mouseMoveEvent(QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    Owner->FormMouseMove(e->modifiers(), p.x(), p.y());
}
void TGLCanvas::mouseReleaseEvent(QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    Owner->FormMouseUp(e->button(), e->modifiers(), p.x(), p.y());
}
void TGLCanvas::wheelEvent(QWheelEvent* e) {
    QPoint p = e->position().toPoint();
    Owner->FormMouseWheel(e->angleDelta().y(), p.x(), p.y());
    e->accept();
}
void TGLCanvas::dragEnterEvent(QDragEnterEvent* e) {
    QApplication::sendEvent(Owner, e);
}
void TGLCanvas::dropEvent(QDropEvent* e) {
    QApplication::sendEvent(Owner, e);
}

// Mouse moves over the legend and the title and memo texts: the canvas takes them, so a drag
// that starts there goes to the form's handlers.
bool TGLCanvas::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) Owner->ComMouseMove();
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Main window

TFmMain::TFmMain(TDocument& document, QWidget* parent) : QMainWindow(parent), Doc(document) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAcceptDrops(true);
    Canvas = new TGLCanvas(this);
    setCentralWidget(Canvas);
    resize(749, 699);
    if (QScreen* scr = QApplication::primaryScreen()) {
        QRect a = scr->availableGeometry();
        move(a.center() - QPoint(749 / 2, 699 / 2));
    }
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    STComment = new TStaticText(Canvas);
    STComment->setGeometry(0, 0, 749, 13);
    STComment->setAttribute(Qt::WA_NativeWindow);
    STComment->setAutoFillBackground(true);
    connect(STComment, &TStaticText::DoubleClicked, this, [this] { STCommentDblClick(); });
    STName = MakeText(Canvas, QRect(0, 40, 631, 36), true);
    STVer = MakeText(Canvas, QRect(0, 80, 631, 36), true);
    STSelect = MakeText(Canvas, QRect(0, 525, 631, 31), true);
    STLeft = MakeText(Canvas, QRect(455, 450, 171, 21), false);
    STRight = MakeText(Canvas, QRect(455, 470, 171, 21), false);
    STMid = MakeText(Canvas, QRect(455, 490, 171, 21), false);
    STTitle = MakeText(Canvas, QRect(455, 195, 66, 16), false);
    STMemo = MakeText(Canvas, QRect(455, 215, 66, 16), false);
    STTitle->hide();
    STMemo->hide();

    PGuide = new TLegendPanel(Canvas);
    PGuide->setGeometry(455, 235, 166, 76);
    PGuide->setAttribute(Qt::WA_NativeWindow);
    connect(PGuide->BtnUp, &QPushButton::clicked, this, [this] { BtnUpClick(); });
    connect(PGuide->BtnDown, &QPushButton::clicked, this, [this] { BtnDownClick(); });
    PGuide->hide();
    for (QWidget* w : {(QWidget*)STTitle, (QWidget*)STMemo, (QWidget*)PGuide}) {
        w->setMouseTracking(true);
        w->installEventFilter(Canvas);
    }
    for (QObject* o : PGuide->children())
        if (auto* w = qobject_cast<QLabel*>(o)) {
            w->setMouseTracking(true);
            w->installEventFilter(Canvas);
        }

    IdleTimer = new QTimer(this);
    IdleTimer->setInterval(50);
    connect(IdleTimer, &QTimer::timeout, this, [this] { SpinWhileIdle(); });
    SurfaceTimer = new QTimer(this);
    SurfaceTimer->setInterval(150);
    connect(SurfaceTimer, &QTimer::timeout, this, [this] { SurfaceJobStep(); });

    BuildMenus();
    FormCreate();
}

TFmMain::~TFmMain() {
    FormDestroy();
}

void TFmMain::BuildMenus() {
    QMenuBar* bar = menuBar();
    auto item = [this](QMenu* menu, void (TFmMain::*handler)()) {
        QAction* a = menu->addAction(QString());
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    auto radio = [&](QMenu* menu, QActionGroup* group, const char* text,
                     void (TFmMain::*handler)()) {
        QAction* a = item(menu, handler);
        a->setText(QString::fromUtf8(text));
        a->setCheckable(true);
        group->addAction(a);
        return a;
    };

    MenuFile = bar->addMenu(QString());
    MenuPclOpen = item(MenuFile, &TFmMain::MenuPclOpenClick);
    MenuReLoad = item(MenuFile, &TFmMain::MenuReLoadClick);
    MenuSave = item(MenuFile, &TFmMain::MenuSaveClick);
    MenuRecent = new QMenu(MenuFile);
    MenuFile->insertMenu(MenuReLoad, MenuRecent);
    MenuFile->addSeparator();
    MEyeLoadFile = item(MenuFile, &TFmMain::MEyeLoadFileClick);
    MEyeSaveFile = item(MenuFile, &TFmMain::MEyeSaveFileClick);
    MenuFile->addSeparator();
    MenuGeoMake = item(MenuFile, &TFmMain::MenuGeoMakeClick);
    MenuFile->addSeparator();
    MenuOpenDos = item(MenuFile, &TFmMain::MenuOpenDosClick);
    MenuPrint = item(MenuFile, &TFmMain::MenuPrintClick);
    MenuExit = item(MenuFile, &TFmMain::MenuExitClick);
    MenuReLoad->setEnabled(false);
    MenuSave->setEnabled(false);
    MenuPrint->setEnabled(false);

    MenuEnv = bar->addMenu(QString());
    MenuViewSet = item(MenuEnv, &TFmMain::MenuViewSetClick);
    MenuChk = item(MenuEnv, &TFmMain::MenuChkClick);
    MenuCalVolume = item(MenuEnv, &TFmMain::MenuCalVolumeClick);

    // The radio items keep the captions of the window resource where the creation step does
    // not replace them.
    MenuDispAxis = bar->addMenu(QString());
    auto* gAxisOn = new QActionGroup(this);
    MAxisOn = radio(MenuDispAxis, gAxisOn, "ON", &TFmMain::MAxisOnClick);
    MAxisOff = radio(MenuDispAxis, gAxisOn, "OFF", &TFmMain::MAxisOffClick);
    MAxisOn->setChecked(true);

    MenuAxis = bar->addMenu(QString());
    auto* gAxis = new QActionGroup(this);
    MZY = radio(MenuAxis, gAxis, "Z-Y", &TFmMain::MZYClick);
    MYZ = radio(MenuAxis, gAxis, "Y-Z", &TFmMain::MYZClick);
    MXZ = radio(MenuAxis, gAxis, "X-Z", &TFmMain::MXZClick);
    MXY = radio(MenuAxis, gAxis, "X-Y", &TFmMain::MXYClick);
    MZY->setChecked(true);
    MenuAxis->addSeparator();
    MFitView = item(MenuAxis, &TFmMain::MFitViewClick);

    MenuProjection = bar->addMenu(QString());
    auto* gProj = new QActionGroup(this);
    MOrtho = radio(MenuProjection, gProj, "平行投影", &TFmMain::MOrthoClick);
    MPerspective = radio(MenuProjection, gProj, "透視投影", &TFmMain::MPerspectiveClick);
    MOrtho->setChecked(true);

    MenuDispType = bar->addMenu(QString());
    auto* gType = new QActionGroup(this);
    MPolygon = radio(MenuDispType, gType, "面表示", &TFmMain::MPolygonClick);
    MLine = radio(MenuDispType, gType, "線表示", &TFmMain::MLineClick);
    MPolygon->setChecked(true);

    MenuTool = bar->addMenu(QString());
    MenuEyeSave = MenuTool->addMenu(QString());
    MenuEyeLoad = MenuTool->addMenu(QString());
    for (int i = 0; i < 10; ++i) {
        MEyeSave[i] = MenuEyeSave->addAction(QString("Slot%1").arg(i + 1));
        MEyeLoad[i] = MenuEyeLoad->addAction(QString("Slot%1").arg(i + 1));
        MEyeSave[i]->setCheckable(true);
        MEyeLoad[i]->setCheckable(true);
        connect(MEyeSave[i], &QAction::triggered, this, [this, i] { MEyeSaveClick(i + 1); });
        connect(MEyeLoad[i], &QAction::triggered, this, [this, i] { MEyeLoadClick(i + 1); });
    }

    MenuTool->addSeparator();
    MenuSlice = item(MenuTool, &TFmMain::MenuSliceClick);
    MenuTrackZones = item(MenuTool, &TFmMain::MenuTrackZonesClick);

    MenuAnimation = bar->addAction(QString());
    connect(MenuAnimation, &QAction::triggered, this, [this] { MenuAnimationClick(); });
    MenuAnimation->setEnabled(false);

    MenuHelp = bar->addMenu(QString());
    MenuUsage = item(MenuHelp, &TFmMain::MenuUsageClick);

    for (QMenu* m : {MenuEyeSave, MenuEyeLoad})
        connect(m, &QMenu::aboutToShow, this, [this] { UpdateSlotMenus(); });

    MenuPclOpen->setShortcut(QKeySequence::Open);
    MenuReLoad->setShortcut(Qt::Key_F5);
    MenuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    MenuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    MenuUsage->setShortcut(Qt::Key_F1);
    MFitView->setShortcut(Qt::Key_Home);
    // The shortcuts work while their menus are still disabled (before the first load).
    addActions({MenuPclOpen, MenuReLoad, MenuSave, MenuExit, MenuUsage, MFitView});

    for (QMenu* m : {MenuEnv, MenuDispAxis, MenuAxis, MenuProjection, MenuDispType, MenuTool})
        m->menuAction()->setEnabled(false);
}

void TFmMain::SetEnglishTexts() {
    setWindowTitle("particle trajectory and geometry display program");
    WindowTitle = windowTitle().toStdString();
    STName->setText("particle trajectory and geometry display program");
    STVer->setText("TRAZON 2.4.0");
    STSelect->setText("Please Select Data");
    STLeft->setText("MouseLeftButton  - Rotate");
    STRight->setText("MouseRightButton - Scale");
    STMid->setText("MouseMiddleButton- Translate");
    // "&" marks the mnemonic letter (Alt+letter); the texts read as before.
    MenuFile->setTitle("&File");
    MenuPclOpen->setText("&Read geometry/trajectory data");
    MenuRecent->setTitle("Recent &Files");
    MenuReLoad->setText("Re&Load");
    MenuSave->setText("&Save as");
    MEyeLoadFile->setText("Load &View Point");
    MEyeSaveFile->setText("Save View &Point");
    MenuGeoMake->setText("&Making geometry data");
    MenuOpenDos->setText("Open X-&Terminal Window");
    MenuPrint->setText("Print");
    MenuExit->setText("E&xit");
    MenuEnv->setTitle("&Environment");
    MenuViewSet->setText("&Environment for display");
    MenuChk->setText("Geometry &Check");
    MenuCalVolume->setText("Calculate &Volume of Regions");
    MenuDispAxis->setTitle("Display&Axis");
    MenuAxis->setTitle("A&xis");
    MFitView->setText("&Fit View");
    MenuProjection->setTitle("&Projection");
    MOrtho->setText("Ortho");
    MPerspective->setText("Perspective");
    MenuDispType->setTitle("Display&Type");
    MPolygon->setText("Polygon");
    MLine->setText("Line");
    MenuTool->setTitle("T&ool");
    MenuEyeSave->setTitle("&Save ViewPoint");
    MenuEyeLoad->setTitle("&Load ViewPoint");
    MenuSlice->setText("Slice");
    MenuTrackZones->setText("Check track zones");
    MenuAnimation->setText("A&nimation");
    MenuHelp->setTitle("&Help");
    MenuUsage->setText("&Usage");
    STComment->setText(QString());
}

void TFmMain::FormCreate() {
    ExeDir = ExecutableDir();
    SetMessageHook([](const std::string& text) { ::ShowMessage(text); });
    GL = std::make_unique<TGLUnit>(Canvas, 1000.0);
    Doc.Display.WaitTime = 1000;
    ReadSettingsFile();
    Doc.CheckErrors.Reset();
    SetEnglishTexts();
    Animating = false;
    AbortRequested = false;
    Doc.Display.AnimActive = false;
    IsSample = true;
    Doc.Path.clear();
    Doc.LoadSample(GL->Size, LoadHooks());
    IdleTimer->start();
    FormResize();
}

void TFmMain::CreateDialogs() {
    if (!FmViewDlg) FmViewDlg = new TFmViewDlg(this);
    if (!FmMakeDlg) FmMakeDlg = new TFmMakeDlg(this, Doc, *this);
    if (!FmCheckDlg) FmCheckDlg = new TFmCheckDlg(this, Doc, *this);
    if (!FmCalVolume) FmCalVolume = new TFmCalVolume(this, Doc, *this);
}

void TFmMain::ReadSettingsFile() {
    SettingsPath = SettingsPathOverride.empty() ? SettingsFilePath(ExeDir) : SettingsPathOverride;
    const std::string beside = ExeDir + SettingsFileName;
    // Moving to the per-user file (the program's file cannot be written): its settings go along.
    if (!FileExists(SettingsPath) && SettingsPathOverride.empty() && FileExists(beside))
        TIniFile(beside).SaveAs(SettingsPath);
    if (!FileExists(SettingsPath)) std::ofstream(SettingsPath, std::ios::app);
    TIniFile ini(SettingsPath);
    TMenuSettings menus;
    ReadSettings(ini, ExeDir, Doc.Display, Dirs, menus, ViewSlots);
    switch (menus.AxisData) {
    case 0:
        MAxisOffClick();
        break;
    case 1:
        MAxisOnClick();
        break;
    default:
        break;
    }
    switch (menus.DrawType) {
    case 0:
        MLineClick();
        break;
    case 1:
        MPolygonClick();
        break;
    default:
        break;
    }
    switch (menus.DirectionType) {
    case 0:
        MXYClick();
        break;
    case 1:
        MXZClick();
        break;
    case 3:
        MYZClick();
        break;
    case 5:
        MZYClick();
        break;
    default:
        break;
    }
    switch (menus.ViewMode) {
    case 0:
        MOrthoClick();
        break;
    case 1:
        MPerspectiveClick();
        break;
    default:
        break;
    }
    ResetUnstoredSettings(Doc.Display);
    Doc.RebuildCutBoxMesh();
    UpdateSlotMenus();
    UpdateRecentMenu();
}

TMenuSettings TFmMain::MenuState() const {
    TMenuSettings m;
    m.AxisData = MAxisOn->isChecked() ? 1 : 0;
    m.DrawType = MPolygon->isChecked() ? 1 : 0;
    m.DirectionType = MXY->isChecked() ? 0 : MXZ->isChecked() ? 1 : MYZ->isChecked() ? 3 : 5;
    m.ViewMode = MOrtho->isChecked() ? 0 : 1;
    return m;
}

bool TFmMain::AxisOn() const {
    return MAxisOn->isChecked();
}

void TFmMain::WriteSettingsFile() {
    if (SettingsPath.empty()) SettingsPath = SettingsFilePath(ExeDir);
    TIniFile ini(SettingsPath);
    WriteSettings(ini, Doc.Display, Dirs, MenuState(), ViewSlots);
    std::string reason;
    if (!ini.UpdateFile(&reason))
        ShowError("The settings cannot be saved: " + SettingsPath + " cannot be written (" +
                  reason + "). The file is left as it was; changes made in this run are lost.");
}

void TFmMain::closeEvent(QCloseEvent* e) {
    // edits of the geometry editor that were never saved to a file are not dropped unasked
    if (!Destroyed && FmMakeDlg && FmMakeDlg->HasUnsavedEdits() &&
        !AskOkCancel("The geometry editor holds edits that are not saved to a file. Quit and "
                     "discard them?")) {
        e->ignore();
        return;
    }
    if (Animating) AbortRequested = true;
    FormDestroy();
    e->accept();
}

void TFmMain::FormDestroy() {
    if (Destroyed) return;
    Destroyed = true;
    IdleTimer->stop();
    WriteSettingsFile();
    RemoveWorkDir();
    GL.reset();
    SetMessageHook(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Loading

TLoadHooks TFmMain::LoadHooks() {
    TLoadHooks hooks;
    hooks.ShowError = [](const std::string& t) { ShowError(t); };
    // A new scene is framed on what is drawn: a detector inside a large void world shows
    // the detector, not a dot in the middle of the world.
    hooks.ResetCamera = [this] {
        if (!GL) return;
        GL->SetView(-1);
        FitView(*GL, Doc.Geometry, Doc.Display);
    };
    hooks.RefreshLabels = [this] { UpdateRangeLabel(); };
    return hooks;
}

bool TFmMain::MayLoad() {
    if (Loading) return false;
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        ShowMessage("Close the open dialog before loading another file.");
        return false;
    }
    // the playback's next pause or frame ends it: it never goes on over the new data
    if (Animating) AbortRequested = true;
    return true;
}

bool TFmMain::LoadDataFile(const std::string& path) {
    Loading = true;
    ++DataGeneration;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{Loading};
    if (Animating) AbortRequested = true;
    double size = GL ? GL->Size : 1000.0;
    bool ok = Doc.Load(path, GL ? GL->Size : size, LoadHooks());
    GeometryTooBig = false;
    PointMarked = false;
    if (FmSlice) FmSlice->ModelChanged();
    if (FmTrackZones) FmTrackZones->ModelChanged();
    // A failed read leaves an empty model; the window still shows its loaded state.
    if (!ok) UpdateRangeLabel();
    if (GL && !(GL->Size > 0)) GL->Size = 1000.0;
    return ok;
}

void TFmMain::StopSpinning() {
    IdleTimer->stop();
}
bool TFmMain::Spinning() const {
    return IdleTimer->isActive();
}

void TFmMain::SpinWhileIdle() {
    if (!GL || Animating) return;
    GL->RotateX(0.02);
    GL->RotateZ(0.02);
    FormPaint();
}

void TFmMain::ApplyLabelColours() {
    QPalette pal;
    pal.setColor(QPalette::Window, ToQColor(Doc.Display.BackColor));
    pal.setColor(QPalette::WindowText, ToQColor(Doc.Display.ForeColor));
    pal.setColor(QPalette::Base, ToQColor(Doc.Display.BackColor));
    pal.setColor(QPalette::Text, ToQColor(Doc.Display.ForeColor));
    for (QWidget* w : {(QWidget*)STComment, (QWidget*)STName, (QWidget*)STVer, (QWidget*)STSelect,
                       (QWidget*)STLeft, (QWidget*)STRight, (QWidget*)STMid, (QWidget*)STTitle,
                       (QWidget*)STMemo}) {
        w->setPalette(pal);
        w->setAutoFillBackground(true);
    }
}

void TFmMain::UpdateRangeLabel() {
    if (!IsSample) {
        for (QWidget* w : {STName, STVer, STSelect, STLeft, STRight, STMid}) w->hide();
        MenuSave->setEnabled(true);
        for (QMenu* m : {MenuEnv, MenuDispAxis, MenuAxis, MenuProjection, MenuDispType, MenuTool})
            m->menuAction()->setEnabled(true);
        MenuAnimation->setEnabled(Doc.Display.HasTime);
    }
    PGuide->Refresh(Doc.Tracks, Doc.Display);
    ApplyLabelColours();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TFmMain::FormPaint() {
    if (!GL || Destroyed || InPaint) return;
    InPaint = true;
    if (DragMode == 4) {
        // While a zoom rectangle is dragged: the last frame with the rectangle over it.
        GL->PresentWithRect(DragX, DragY, RectX, RectY, Doc.Display.ForeColor);
    } else {
        if (!Doc.Geometry.Bodies.empty() && !Doc.Display.AnimActive &&
            windowTitle() != Q(WindowTitle))
            setWindowTitle(Q(WindowTitle));
        TSceneOptions options;
        options.AxesOn = AxisOn();
        options.AxisLayout = AxisLayoutForViewMode(MenuState().DirectionType);
        AddDebugMarks(options.Marks);
        // A slow scene follows a drag with quick frames; releasing the mouse draws it whole.
        bool dragging = GL->Rotating || GL->Translating || GL->Scaling;
        options.Quick = dragging && LastFullFrameMs > 100;
        if (!options.Quick) {
            options.Surfaces = SurfacesForFrame();
            // until the zone surfaces are made, or when they were too large: the quick picture
            // (a lattice has no bodies and no zone surfaces: its faces are always at hand)
            if (!options.Surfaces && Doc.Display.ViewInfoType != 0 &&
                !Doc.Geometry.Bodies.empty() &&
                (SurfaceJob.Busy() || FailedSurfacesKey == WantedSurfacesKey))
                options.Quick = true;
        }
        // a slow frame shows the busy cursor while it is drawn
        const bool slow = !options.Quick && LastFullFrameMs > 300;
        if (slow) QApplication::setOverrideCursor(Qt::BusyCursor);
        ++SceneDraws;
        QElapsedTimer clock;
        clock.start();
        // A geometry whose meshes do not fit in memory is left out of the picture (until the
        // next load) instead of ending the program.
        static const TGeometry NoGeometry;
        try {
            PaintScene(*GL, GeometryTooBig ? NoGeometry : Doc.Geometry, Doc.Tracks, Doc.Display,
                       Doc.CheckErrors, options);
        } catch (const std::bad_alloc&) {
            GeometryTooBig = true;
            PaintScene(*GL, NoGeometry, Doc.Tracks, Doc.Display, Doc.CheckErrors, options);
            QTimer::singleShot(0, this, [] {
                ::ShowMessage("Not enough memory to draw the geometry. It stays hidden until "
                            "the next file is loaded.");
            });
        }
        if (slow) QApplication::restoreOverrideCursor();
        if (!options.Quick) LastFullFrameMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }
    InPaint = false;
}

void TFmMain::ExposePaint() {
    if (GL && !InPaint && DragMode != 4 && GL->ShowLastFrame()) return;
    FormPaint();
}

const TZoneSurfaces* TFmMain::SurfacesForFrame() {
    if (!GL || Doc.Display.ViewInfoType == 0 || Doc.Geometry.Bodies.empty() || GeometryTooBig)
        return nullptr;
    std::array<double, 6> cut;
    std::copy_n(Doc.Display.CutBox.Params.begin(), 6, cut.begin());
    if (KeyMeshGeneration != Doc.Geometry.MeshGeneration || KeyCutOn != Doc.Display.CutOn ||
        (Doc.Display.CutOn && KeyCut != cut)) {
        KeyMeshGeneration = Doc.Geometry.MeshGeneration;
        KeyCutOn = Doc.Display.CutOn;
        KeyCut = cut;
        WantedSurfacesKey =
            ZoneSurfaceKey(Doc.Geometry, Doc.Display.CutOn ? &Doc.Display.CutBox : nullptr);
    }
    if (SurfacesKey == WantedSurfacesKey) return &Surfaces;
    if (!Surfaces.Empty()) Surfaces = TZoneSurfaces{}, SurfacesKey = 0; // stale: give it back
    if (FailedSurfacesKey == WantedSurfacesKey) return nullptr;
    if (SurfaceJob.Key() != WantedSurfacesKey || !SurfaceJob.Busy()) {
        SurfaceJob.Start(Doc.Geometry, Doc.Display.CutOn ? &Doc.Display.CutBox : nullptr,
                         WantedSurfacesKey);
        SurfaceTimer->start();
    }
    return nullptr;
}

void TFmMain::SurfaceJobStep() {
    if (SurfaceJob.Busy()) {
        if (!Animating)
            STComment->setText(QString("Computing zone surfaces: %1%")
                                   .arg(static_cast<int>(SurfaceJob.Progress() * 100)));
        return;
    }
    SurfaceTimer->stop();
    TZoneSurfaces made;
    if (SurfaceJob.Take(made)) {
        Surfaces = std::move(made);
        SurfacesKey = SurfaceJob.Key();
    } else {
        FailedSurfacesKey = SurfaceJob.Key();
    }
    if (!Animating) STComment->setText(QString());
    FormPaint();
}

void TFmMain::AddDebugMarks(std::vector<TSceneMark>& marks) const {
    constexpr TColor Magenta = 0xFF00FF;
    if (FmSlice && FmSlice->OutlineShown()) {
        std::array<TVector, 4> c = FmSlice->OutlineCorners();
        for (size_t k = 0; k < 4; ++k) marks.push_back({c[k], c[(k + 1) % 4], Magenta});
    }
    if (PointMarked && GL) {
        // a cross of three axis-parallel lines, a few per cent of the view across
        double r = 0.03 * GL->Size;
        const TVector& p = PointMark;
        marks.push_back({{p.x - r, p.y, p.z}, {p.x + r, p.y, p.z}, Magenta});
        marks.push_back({{p.x, p.y - r, p.z}, {p.x, p.y + r, p.z}, Magenta});
        marks.push_back({{p.x, p.y, p.z - r}, {p.x, p.y, p.z + r}, Magenta});
    }
}

void TFmMain::CentreOn(const TVector& point) {
    if (!GL) return;
    const TGLMatrix& r = GL->Rotation;
    const TGLMatrix& t = GL->Translation;
    // where the point lands in eye coordinates: Translation x Rotation x point
    double x = r[0] * point.x + r[4] * point.y + r[8] * point.z + r[12] + t[12];
    double y = r[1] * point.x + r[5] * point.y + r[9] * point.z + r[13] + t[13];
    GL->Translate(-x, -y, 0);
    PointMarked = true;
    PointMark = point;
    FormPaint();
}

void TFmMain::ClearPointMark() {
    PointMarked = false;
}

void TFmMain::OpenHelp(const std::string& page) {
    OpenHelpPage(page, Doc.Display.BrowserName, ExeDir);
}

void TFmMain::MenuSliceClick() {
    if (!FmSlice) FmSlice = new TFmSlice(this, Doc, *this);
    FmSlice->show();
    FmSlice->raise();
    FmSlice->activateWindow();
}

void TFmMain::MenuTrackZonesClick() {
    if (!FmTrackZones) FmTrackZones = new TFmTrackZones(this, Doc, *this);
    FmTrackZones->show();
    FmTrackZones->raise();
    FmTrackZones->activateWindow();
}

void TFmMain::MenuRendarClick() {
    FormPaint();
}

QImage TFmMain::ClientImage() {
    int w = Canvas->width(), h = Canvas->height();
    QImage img(w, h, QImage::Format_RGB888);
    img.fill(ToQColor(Doc.Display.BackColor));
    if (GL && GL->Ready() && GL->ViewWidth == w && GL->ViewHeight == h) {
        std::vector<uint8_t> rgb = GL->FrameRGB();
        if (rgb.size() == (size_t)w * h * 3)
            for (int y = 0; y < h; ++y)
                std::memcpy(img.scanLine(y), rgb.data() + (size_t)y * w * 3, (size_t)w * 3);
    }
    QPainter p(&img);
    for (QObject* o : Canvas->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (!child || !child->isVisible()) continue;
        child->render(&p, child->pos(), QRegion(),
                      QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    p.end();
    return img;
}

bool TFmMain::SaveClientImage(const std::string& path) {
    QImage img = ClientImage();
    QString suffix = QFileInfo(Q(path)).suffix().toLower();
    QByteArray format = "BMP";
    if (suffix == "png")
        format = "PNG";
    else if (suffix == "jpg" || suffix == "jpeg")
        format = "JPEG";
    else if (suffix == "bmp")
        format = "BMP";
    else if (QImageWriter::supportedImageFormats().contains(suffix.toLatin1()))
        format = suffix.toLatin1().toUpper();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!img.save(&buffer, format.constData(), format == "JPEG" ? 95 : -1)) return false;
    // through a temporary file: a full disk must not cost the picture already there
    std::string error;
    return WriteFileReplacing(path, std::string_view(bytes.constData(), size_t(bytes.size())),
                              error);
}

// ---------------------------------------------------------------------------------------------
// Commands

void TFmMain::MenuPclOpenClick() {
    StopSpinning();
    std::string path;
    if (ChooseOpenFile) {
        path = ChooseOpenFile();
    } else {
        QFileDialog dlg(this, "File Open", Q(Dirs.OpenDir));
        SetFileFilters(dlg, {"CG Data File(*.pic)", "All(*.*)"});
        dlg.setFileMode(QFileDialog::ExistingFile);
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            path = dlg.selectedFiles().first().toStdString();
    }
    if (path.empty()) return;
    OpenDataFile(path);
}

void TFmMain::OpenDataFile(const std::string& given) {
    if (!MayLoad()) return;
    StopSpinning();
    // stored as absolute: Recent Files and reload work from any working directory
    const std::string path =
        given.empty() ? given : QFileInfo(Q(given)).absoluteFilePath().toStdString();
    Dirs.OpenDir = DirOf(path);
    Dirs.OpenChosen = true;
    Doc.CheckErrors.Reset();
    IsSample = false;
    Doc.Path = path;
    setWindowTitle(Q("Now loading " + path));
    AddRecentFile(Dirs.RecentFiles, path);
    UpdateRecentMenu();
    LoadDataFile(path);
    ClearTimeOption();
    setWindowTitle(Q("TRAZON  - " + path));
    WindowTitle = "TRAZON  - " + path;
    MenuReLoad->setEnabled(true);
    MEyeLoadFile->setEnabled(true);
    MEyeSaveFile->setEnabled(true);
    FormPaint();
    SetTimeFields();
}

void TFmMain::MenuReLoadClick() {
    if (!MayLoad()) return;
    const std::string path = Doc.Path;
    if (FileExists(path)) {
        Doc.CheckErrors.Reset(); // the check's error pieces belong to the data replaced
        LoadDataFile(path);
    } else {
        ShowMessage(path + " is Not Found!");
    }
    FormPaint();
}

void TFmMain::MenuSaveClick() {
    std::string path;
    if (ChooseSaveFile) {
        path = ChooseSaveFile();
    } else {
        QFileDialog dlg(this, QString::fromUtf8("保存"), Q(Dirs.SaveDir));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setNameFilters({"BitMap(*.bmp)", "Jpeg(*.jpg)", "PNG(*.png)"});
        dlg.setDefaultSuffix("bmp");
        // The default suffix follows the chosen filter.
        connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& f) {
            dlg.setDefaultSuffix(f.contains("jpg") ? "jpg" : f.contains("png") ? "png" : "bmp");
        });
        // The overwrite question is ours.
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            path = dlg.selectedFiles().first().toStdString();
    }
    if (path.empty()) return;
    Dirs.SaveDir = DirOf(path);
    Dirs.SaveChosen = true;
    if (FileExists(path) && !AskOkCancel(BaseName(path) + " is Found! OverWrite OK?")) return;
    FormPaint();
    if (!SaveClientImage(path)) ShowMessage("Cannot write the image file " + path);
}

void TFmMain::MenuGeoMakeClick() {
    StopSpinning();
    if (!FmMakeDlg) CreateDialogs();
    if (FmMakeDlg->exec() != QDialog::Accepted || !MayLoad()) return;
    IsSample = false;
    Doc.Path.clear(); // the editor's hand-over is no file to load again
    LoadDataFile(WorkFilePath(DummyFileName));
    setWindowTitle("TRAZON  - MakeData");
    WindowTitle = "TRAZON  - MakeData";
    MenuReLoad->setEnabled(false);
    ClearTimeOption();
    FormPaint();
}

void TFmMain::MenuOpenDosClick() {
    if (!RunCommand("xterm", "")) ShowMessage("Cannot start the terminal program xterm.");
}

void TFmMain::MenuPrintClick() {}

void TFmMain::MenuExitClick() {
    close();
}

void TFmMain::MenuChkClick() {
    if (!FmCheckDlg) CreateDialogs();
    FmCheckDlg->exec();
    FormPaint();
}

void TFmMain::MenuCalVolumeClick() {
    if (!FmCalVolume) CreateDialogs();
    FmCalVolume->exec();
}

void TFmMain::MenuUsageClick() {
    OpenHelp("index.html");
}

// ---------------------------------------------------------------------------------------------
// View menus

void TFmMain::MAxisOnClick() {
    MAxisOn->setChecked(true);
}
void TFmMain::MAxisOffClick() {
    MAxisOff->setChecked(true);
}

void TFmMain::MOrthoClick() {
    MOrtho->setChecked(true);
    GL->Projection = 0;
    GL->ApplyProjection();
    GL->SetView(-1);
}

void TFmMain::MPerspectiveClick() {
    MPerspective->setChecked(true);
    GL->Projection = 1;
    GL->ApplyProjection();
    GL->SetView(-1);
}

void TFmMain::MPolygonClick() {
    MPolygon->setChecked(true);
    GL->DrawMode = 1;
}

void TFmMain::MLineClick() {
    MLine->setChecked(true);
    GL->DrawMode = 0;
}

void TFmMain::MZYClick() {
    MZY->setChecked(true);
    GL->SetView(5);
}
void TFmMain::MYZClick() {
    MYZ->setChecked(true);
    GL->SetView(3);
}
void TFmMain::MXZClick() {
    MXZ->setChecked(true);
    GL->SetView(1);
}
void TFmMain::MXYClick() {
    MXY->setChecked(true);
    GL->SetView(0);
}

void TFmMain::MFitViewClick() {
    if (!GL) return;
    FitView(*GL, Doc.Geometry, Doc.Display);
    FormPaint();
}

void TFmMain::UpdateSlotMenus() {
    for (int i = 0; i < ViewSlotCount; ++i) {
        const bool filled = !ViewSlots[static_cast<size_t>(i)].Empty();
        MEyeSave[static_cast<size_t>(i)]->setChecked(filled);
        MEyeLoad[static_cast<size_t>(i)]->setChecked(filled);
    }
}

void TFmMain::UpdateRecentMenu() {
    MenuRecent->clear();
    int n = 0;
    for (const std::string& path : Dirs.RecentFiles) {
        ++n;
        // the number is the item's mnemonic; "&" in a path must not become one
        QString text = QString("&%1 %2").arg(n).arg(Q(path).replace("&", "&&"));
        QAction* a = MenuRecent->addAction(text);
        connect(a, &QAction::triggered, this, [this, path] { OpenRecentFile(path); });
    }
    MenuRecent->setEnabled(n > 0);
}

void TFmMain::OpenRecentFile(const std::string& path) {
    StopSpinning();
    if (!FileExists(path)) {
        ShowMessage(path + " is Not Found!");
        RemoveRecentFile(Dirs.RecentFiles, path);
        UpdateRecentMenu();
        return;
    }
    OpenDataFile(path);
}

void TFmMain::dragEnterEvent(QDragEnterEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile()) e->acceptProposedAction();
}

void TFmMain::dropEvent(QDropEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return;
    e->acceptProposedAction();
    const std::string path = urls.front().toLocalFile().toStdString();
    // Opened after the drop has finished, so the source application is not kept waiting.
    QTimer::singleShot(0, this, [this, path] { OpenRecentFile(path); });
}

// ---------------------------------------------------------------------------------------------
// Legend range buttons

void TFmMain::BtnUpClick() {
    PGuide->SetRangeText(HistRangeUp(Doc.Display, HistMax(Doc.Tracks)));
    FormPaint();
}

void TFmMain::BtnDownClick() {
    PGuide->SetRangeText(HistRangeDown(Doc.Display, HistMax(Doc.Tracks)));
    FormPaint();
}

// ---------------------------------------------------------------------------------------------
// Mouse and layout

void TFmMain::ComMouseMove() {
    // Qt passes presses on the texts on to the canvas, which then holds the implicit grab
    // for the whole drag; nothing more is needed than keeping the canvas as the receiver.
    if (QWidget::mouseGrabber() == nullptr && QApplication::mouseButtons() != Qt::NoButton)
        Canvas->grabMouse();
}

void TFmMain::FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    QPoint p(x, y);
    auto inside = [&](QWidget* w) { return w->isVisible() && w->geometry().contains(p); };
    if (inside(STMemo)) {
        DragMode = 1;
        DragX = x;
        DragY = y;
    } else if (inside(STTitle)) {
        DragMode = 2;
        DragX = x;
        DragY = y;
    } else if (PGuide->isVisible() && PGuide->BtnUp->isVisible() &&
               PGuide->BtnUp->geometry().contains(p - PGuide->pos())) {
        DragMode = 0;
        BtnUpClick();
    } else if (PGuide->isVisible() && PGuide->BtnDown->isVisible() &&
               PGuide->BtnDown->geometry().contains(p - PGuide->pos())) {
        DragMode = 0;
        BtnDownClick();
    } else if (inside(PGuide)) {
        DragMode = 3;
        DragX = x;
        DragY = y;
    } else if (shift & Qt::ShiftModifier) {
        DragMode = 4;
        DragX = RectX = x;
        DragY = RectY = y;
    } else if (GL) {
        TMouseButton b = button == Qt::LeftButton    ? TMouseButton::Left
                         : button == Qt::RightButton ? TMouseButton::Right
                                                     : TMouseButton::Middle;
        GL->MouseDown(b, x, y);
    }
    // a press changes nothing drawn yet: the moves and the release draw what it starts
}

void TFmMain::FormMouseMove(Qt::KeyboardModifiers, int x, int y) {
    if (Animating) return;
    auto drag = [&](QWidget* w) {
        w->move(w->x() + x - DragX, w->y() + y - DragY);
        DragX = x;
        DragY = y;
    };
    switch (DragMode) {
    case 1:
        drag(STMemo);
        break;
    case 2:
        drag(STTitle);
        break;
    case 3:
        drag(PGuide);
        break;
    case 4:
        RectX = x;
        RectY = y;
        break;
    default:
        if (GL) GL->MouseMove(x, y);
        break;
    }
    // Only a change of the view or a zoom rectangle needs a frame; a hover or a moved label
    // leaves the scene as it is (what a label uncovers is shown again from the last frame).
    const bool viewDrag = GL && (GL->Rotating || GL->Translating || GL->Scaling);
    ViewMoved = ViewMoved || (DragMode == 0 && viewDrag);
    if (DragMode == 4 || (DragMode == 0 && viewDrag)) FormPaint();
}

void TFmMain::FormMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    // the end of a view drag or a zoom rectangle needs a whole frame; a click does not
    const bool changed = DragMode == 4 || ViewMoved;
    ViewMoved = false;
    if (DragMode == 4 && GL) GL->ZoomToRect(DragX, DragY, x, y);
    if (GL) GL->MouseUp();
    DragMode = 0;
    if (QWidget::mouseGrabber() == Canvas && QApplication::mouseButtons() == Qt::NoButton)
        Canvas->releaseMouse();
    if (changed) FormPaint();
}

void TFmMain::FormMouseWheel(int delta, int x, int y) {
    if (!GL || Animating || delta == 0) return;
    // One notch (120) forward shows the scene 1.25 times larger.
    GL->ZoomAt(std::pow(0.8, delta / 120.0), x, y);
    FormPaint();
}

void TFmMain::FormResize() {
    if (!Canvas) return;
    int W = Canvas->width(), H = Canvas->height();
    STComment->setGeometry(0, 0, W, 13);
    STName->resize(W, STName->height());
    STVer->resize(W, STVer->height());
    STSelect->setGeometry(STSelect->x(), H - STSelect->height() - 40, W, STSelect->height());
    STMid->move(W - STMid->width() - 40, STSelect->y() - STMid->height() - 20);
    STRight->move(STMid->x(), STMid->y() - STRight->height());
    STLeft->move(STMid->x(), STRight->y() - STLeft->height());
    // Before the window is shown the canvas has a provisional size; pushing the legend and
    // the memo into it would leave them in the top-left corner.
    if (!isVisible()) return;
    for (QWidget* w : {(QWidget*)PGuide, (QWidget*)STMemo}) {
        int l = w->x(), t = w->y();
        if (l > W - w->width()) l = std::max(0, W - w->width());
        if (t > H - w->height()) t = std::max(0, H - w->height());
        w->move(l, t);
    }
    FormPaint();
}
