// The main window: menus and commands, the status texts over the picture, start-up and
// shut-down, mouse view control, and the drawing surface the GL picture is copied into.
// It shows a document and serves the dialogs as their host.
#pragma once

#include "app/LegendPanel.h"
#include "app/Settings.h"
#include "app/ViewPoints.h"
#include "dialogs/Desktop.h"
#include "dialogs/ViewerHost.h"
#include "document/Document.h"
#include "render/MyGLUnit.h"
#include "render/Scene.h"
#include "render/mesh/ZoneSurfaceJob.h"

#include <QLabel>
#include <QMainWindow>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QActionGroup;
class QMenu;
class QTimer;
class QPushButton;
class QFrame;
class QFileDialog;
class TFmMain;
class TFmViewDlg;
class TFmMakeDlg;
class TFmCheckDlg;
class TFmCalVolume;
class TDataReader;
class TFmSlice;
class TFmTrackZones;

// The client area. The GL picture is copied straight into its native X window, so Qt never
// paints it; the status texts and the legend are native child windows, which the copy
// cannot paint over.
class TGLCanvas : public QWidget, public TGLControl {
    Q_OBJECT
  public:
    explicit TGLCanvas(TFmMain* owner);
    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
    unsigned long NativeWindow() const override;
    QPaintEngine* paintEngine() const override { return nullptr; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    // Drops on the picture go to the window (the canvas is a native window of its own).
    void dragEnterEvent(QDragEnterEvent*) override;
    void dropEvent(QDropEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    TFmMain* Owner;
};

// A status text; double-clicks are reported (the comment line aborts the animation with one).
class TStaticText : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;
  signals:
    void DoubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent*) override { emit DoubleClicked(); }
};

// When set, the settings file is read from and written to this path (tests).
extern std::string SettingsPathOverride;

// The main window shows one document, which its owner keeps (the program's main, a test).
class TFmMain : public QMainWindow, public TViewerHost {
    Q_OBJECT
  public:
    explicit TFmMain(TDocument& document, QWidget* parent = nullptr);
    ~TFmMain() override;

    // --- components ---
    TGLCanvas* Canvas = nullptr;
    TStaticText* STComment = nullptr;
    QLabel *STName = nullptr, *STVer = nullptr, *STSelect = nullptr;
    QLabel *STLeft = nullptr, *STRight = nullptr, *STMid = nullptr;
    QLabel *STTitle = nullptr, *STMemo = nullptr;
    // Legend panel with the history range label (Label1) and the range buttons.
    TLegendPanel* PGuide = nullptr;

    // menus and items
    QMenu *MenuFile = nullptr, *MenuEnv = nullptr, *MenuDispAxis = nullptr, *MenuAxis = nullptr,
          *MenuProjection = nullptr, *MenuDispType = nullptr, *MenuTool = nullptr,
          *MenuHelp = nullptr, *MenuEyeSave = nullptr, *MenuEyeLoad = nullptr,
          *MenuRecent = nullptr;
    QAction *MenuPclOpen = nullptr, *MenuReLoad = nullptr, *MenuSave = nullptr,
            *MEyeLoadFile = nullptr, *MEyeSaveFile = nullptr, *MenuGeoMake = nullptr,
            *MenuOpenDos = nullptr, *MenuPrint = nullptr, *MenuExit = nullptr;
    QAction *MenuViewSet = nullptr, *MenuChk = nullptr, *MenuCalVolume = nullptr;
    QAction *MAxisOn = nullptr, *MAxisOff = nullptr;
    QAction *MZY = nullptr, *MYZ = nullptr, *MXZ = nullptr, *MXY = nullptr;
    QAction *MOrtho = nullptr, *MPerspective = nullptr;
    QAction* MFitView = nullptr;
    QAction *MPolygon = nullptr, *MLine = nullptr;
    std::array<QAction*, 10> MEyeSave{}, MEyeLoad{};
    QAction *MenuSlice = nullptr, *MenuTrackZones = nullptr;
    QAction* MenuAnimation = nullptr;
    QAction* MenuUsage = nullptr;

    // --- state ---
    TDocument& Doc;
    std::unique_ptr<TGLUnit> GL;
    bool IsSample = false;
    std::string WindowTitle;
    std::string ExeDir;
    TViewSlots ViewSlots;
    bool Animating = false;
    bool AbortRequested = false;
    // Counts the loads: a nested event loop (an animation's pause, a dialog) that finds it
    // changed knows that the data under it was replaced.
    uint64_t DataGeneration = 0;
    bool Loading = false; // a load is under way (its progress lets events through)
    // Whether a load may start now: not within another load, nor under an open dialog that
    // works on the data (a message says why). A running animation is stopped.
    bool MayLoad();
    int32_t DragMode = 0;
    int32_t DragX = 0, DragY = 0;
    TDialogDirs Dirs;
    std::string SettingsPath; // where trazon.ini is read and written

    // Dialogs, created in the start-up order by CreateDialogs.
    TFmViewDlg* FmViewDlg = nullptr;
    TFmMakeDlg* FmMakeDlg = nullptr;
    TFmCheckDlg* FmCheckDlg = nullptr;
    TFmCalVolume* FmCalVolume = nullptr;
    // The geometry debugging windows stay open beside the view; made on first use.
    TFmSlice* FmSlice = nullptr;
    TFmTrackZones* FmTrackZones = nullptr;
    void CreateDialogs();

    // File choosers, replaceable by tests. Return the chosen path, empty when cancelled.
    std::function<std::string()> ChooseOpenFile;
    std::function<std::string()> ChooseSaveFile;

    // --- handlers ---
    void FormCreate();
    void FormDestroy();
    void FormPaint();
    // The canvas was exposed (a menu or dialog closed over it, the window uncovered): the
    // last frame is shown again; the scene is drawn only when there is no frame of this size.
    void ExposePaint();
    // Frames drawn from the scene since the start (not those shown again), for tests.
    uint64_t SceneDraws = 0;
    // Zone and Material display draw the zones' surfaces, made in the background after a
    // load or a change of the cut box; null while they are not ready.
    const TZoneSurfaces* SurfacesForFrame();
    bool SurfacesPending() const { return SurfaceJob.Busy(); }
    void FormResize();
    void FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void FormMouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void FormMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    // Wheel turned by `delta` eighths of a degree over client pixel (x, y): zoom about it.
    void FormMouseWheel(int delta, int x, int y);
    void ComMouseMove();
    void BtnUpClick();
    void BtnDownClick();

    void MenuPclOpenClick();
    void MenuReLoadClick();
    void MenuSaveClick();
    void MenuGeoMakeClick();
    void MenuOpenDosClick();
    void MenuPrintClick();
    void MenuExitClick();
    void MenuChkClick();
    void MenuCalVolumeClick();
    void MAxisOnClick();
    void MAxisOffClick();
    void MZYClick();
    void MYZClick();
    void MXZClick();
    void MXYClick();
    // Frames what is drawn (the default view after every load).
    void MFitViewClick();
    void MOrthoClick();
    void MPerspectiveClick();
    void MPolygonClick();
    void MLineClick();
    void MenuRendarClick();
    void MenuUsageClick();
    void MenuSliceClick();
    void MenuTrackZonesClick();

    // display settings, view points and animation (main_views.cpp)
    void MenuViewSetClick();
    void MEyeLoadFileClick();
    void MEyeSaveFileClick();
    void MEyeSaveClick(int slot); // shared routine of MEyeSave1Click..MEyeSave10Click
    void MEyeLoadClick(int slot); // shared routine of MEyeLoad1Click..MEyeLoad10Click
    void MEyeSave1Click() { MEyeSaveClick(1); }
    void MEyeSave2Click() { MEyeSaveClick(2); }
    void MEyeSave3Click() { MEyeSaveClick(3); }
    void MEyeSave4Click() { MEyeSaveClick(4); }
    void MEyeSave5Click() { MEyeSaveClick(5); }
    void MEyeSave6Click() { MEyeSaveClick(6); }
    void MEyeSave7Click() { MEyeSaveClick(7); }
    void MEyeSave8Click() { MEyeSaveClick(8); }
    void MEyeSave9Click() { MEyeSaveClick(9); }
    void MEyeSave10Click() { MEyeSaveClick(10); }
    void MEyeLoad1Click() { MEyeLoadClick(1); }
    void MEyeLoad2Click() { MEyeLoadClick(2); }
    void MEyeLoad3Click() { MEyeLoadClick(3); }
    void MEyeLoad4Click() { MEyeLoadClick(4); }
    void MEyeLoad5Click() { MEyeLoadClick(5); }
    void MEyeLoad6Click() { MEyeLoadClick(6); }
    void MEyeLoad7Click() { MEyeLoadClick(7); }
    void MEyeLoad8Click() { MEyeLoadClick(8); }
    void MEyeLoad9Click() { MEyeLoadClick(9); }
    void MEyeLoad10Click() { MEyeLoadClick(10); }
    void MenuAnimationClick();
    void STCommentDblClick();
    // Time fields of the settings dialog after a load that has (or lacks) a time column.
    void SetTimeFields();
    // Time option off: the dialog's time check box unchecked and TimeOn false.
    void ClearTimeOption();
    // The dialogs of these commands, replaceable by tests: the settings dialog's result (true
    // for OK) and the view-point file choosers (empty when cancelled).
    std::function<bool(TFmViewDlg& dlg)> ViewDlgResult;
    std::function<std::string()> ChooseViewOpenFile;
    std::function<std::string()> ChooseViewSaveFile;
    std::string ViewDialogDir; // start directory of the view-point file dialogs
    // Pause between animation frames; events are processed meanwhile, an abort ends it.
    void AnimationPause(int ms);
    // end of the view block

    // --- what the dialogs ask of the window ---
    void Repaint() override { FormPaint(); }
    void CentreOn(const TVector& point) override;
    void ClearPointMark() override;
    bool HasPointMark() const override { return PointMarked; }
    void ShowMessage(const std::string& text) override { ::ShowMessage(text); }
    void OpenHelp(const std::string& page) override;

    // --- operations ---
    // The open command after its file dialog: loads the file, sets the caption, menus and
    // time fields, and repaints.
    void OpenDataFile(const std::string& path);
    // Runs both reader passes on a data file; false after a read error (model empty).
    bool LoadDataFile(const std::string& path);
    // Range label, legend, title-screen texts, data menus and colours after a read or after
    // the settings dialog.
    void UpdateRangeLabel();
    // Idle rotation of the sample; removed for good by open and the editor.
    void StopSpinning();
    bool Spinning() const;
    // The window's client area as the user sees it: picture and status texts.
    QImage ClientImage();
    // Saves the client image to a file in the format its extension names (bmp, png, jpg).
    bool SaveClientImage(const std::string& path);
    // Current menu choices as they are stored in the settings file.
    TMenuSettings MenuState() const;
    bool AxisOn() const;
    // The slot items show a check mark on the slots that hold a view.
    void UpdateSlotMenus();
    // File > Recent Files from Dirs.RecentFiles; choosing one opens it again.
    void UpdateRecentMenu();
    void OpenRecentFile(const std::string& path);
    // Reads and writes the settings file (start-up and shut-down).
    void ReadSettingsFile();
    void WriteSettingsFile();

  protected:
    void closeEvent(QCloseEvent* e) override;
    // A data file dropped onto the window is opened.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

  private:
    // What a load asks of the window: error boxes, the camera, the labels.
    TLoadHooks LoadHooks();
    void BuildMenus();
    void SetEnglishTexts();
    void SpinWhileIdle();
    void ApplyLabelColours();
    // The slice plane's outline and the marked point, as lines over the frame.
    void AddDebugMarks(std::vector<TSceneMark>& marks) const;
    QTimer* IdleTimer = nullptr;
    int32_t RectX = 0, RectY = 0; // moving corner of the zoom rectangle
    bool Destroyed = false;
    bool InPaint = false;
    bool PointMarked = false;
    TVector PointMark;
    double LastFullFrameMs = 0; // drawing time of the last complete frame
    bool ViewMoved = false;     // the view was dragged since the button went down
    // zone surfaces: the ones at hand (for SurfacesKey), the job making the wanted ones
    void SurfaceJobStep();
    TZoneSurfaceJob SurfaceJob;
    TZoneSurfaces Surfaces;
    uint64_t SurfacesKey = 0, FailedSurfacesKey = 0, WantedSurfacesKey = 0;
    uint64_t KeyMeshGeneration = ~uint64_t{0};
    bool KeyCutOn = false;
    std::array<double, 6> KeyCut{};
    QTimer* SurfaceTimer = nullptr;
    bool GeometryTooBig = false; // its meshes did not fit in memory: not drawn
};
