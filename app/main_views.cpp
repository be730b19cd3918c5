// Display settings dialog, view points and animation commands of the main window.
#include "main.h"

#include "app/Animation.h"
#include "app/ViewPoints.h"
#include "app/resource.h"
#include "dialogs/DisplaySettingsDialog.h"
#include "dialogs/SliceDialog.h"
#include "input/Reader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QTimer>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Title or memo text: shown or hidden, lines joined with line feeds, 14 pixels a line.
void ShowUserText(QLabel* label, bool on, std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const QString q = Q(text);
    const int lines = q.isEmpty() ? 1 : static_cast<int>(q.count('\n')) + 1;
    int width = 8;
    const QFontMetrics fm(label->font());
    for (const QString& line : q.split('\n'))
        width = std::max(width, fm.horizontalAdvance(line) + 4);
    label->setText(q);
    label->resize(width, 14 * lines);
    label->setVisible(on);
}

std::string ChooseViewFile(QWidget* parent, bool save, const std::string& dir) {
    QFileDialog dlg(parent);
    SetFileFilters(dlg, {"View Data File(*.viw)", "All(*.*)"});
    dlg.setDefaultSuffix("viw");
    dlg.setDirectory(Q(dir));
    if (save) {
        dlg.setWindowTitle(QString::fromUtf8("保存"));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        // The overwrite question is the command's own, as with every other save.
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::ExistingFile);
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().front().toStdString();
}

} // namespace

// ---- Display settings --------------------------------------------------------------------------

void TFmMain::MenuViewSetClick() {
    if (!FmViewDlg) return;
    TFmViewDlg& dlg = *FmViewDlg;
    dlg.Settings = &Doc.Display;
    dlg.Geometry = &Doc.Geometry;
    dlg.CameraSize = GL ? GL->Size : 1000.0;
    dlg.ExeDir = ExeDir;
    dlg.Tracks = &Doc.Tracks;
    dlg.Fill(Doc.Display, Doc.Geometry);
    // The time fields keep what the last load or OK left in them; Cancel puts back what the
    // user typed into the fields that showing the dialog does not refill.
    dlg.KeepUnfilledTexts();

    const bool ok = ViewDlgResult ? ViewDlgResult(dlg) : dlg.exec() == QDialog::Accepted;
    if (!ok) dlg.RestoreUnfilledTexts();
    if (ok) {
        try {
            dlg.Apply(Doc.Display, Doc.Geometry, Doc.Tracks);
        } catch (const EConvertError& e) {
            // What was applied before the bad text stays; the rest of the command is skipped.
            ShowError(e.what());
            return;
        }
        ShowUserText(STTitle, Doc.Display.TitleOn, Doc.Display.TitleText);
        ShowUserText(STMemo, Doc.Display.MemoOn, Doc.Display.MemoText);
        PGuide->setVisible(Doc.Display.LegendOn);
        Doc.RebuildMeshes();
        UpdateRangeLabel();
        if (FmSlice) FmSlice->ColoursChanged();
    }
    if (!Doc.Display.TimeOn) Doc.Display.AnimActive = false;
    // Redraw so that the new settings show at once, whichever way the dialog closed.
    Repaint();
}

void TFmMain::SetTimeFields() {
    if (FmViewDlg)
        FmViewDlg->SetTimeFields(Doc.Display);
    else
        Doc.Display.TimeOn = Doc.Display.HasTime;
}

void TFmMain::ClearTimeOption() {
    if (FmViewDlg) FmViewDlg->SetTimeChecked(false);
    Doc.Display.TimeOn = false;
}

// ---- View points -------------------------------------------------------------------------------

void TFmMain::MEyeSaveClick(int slot) {
    if (!GL) return;
    StoreViewSlot(ViewSlots, slot, GL->Size, GL->Translation.data(), GL->Rotation.data());
    UpdateSlotMenus();
}

void TFmMain::MEyeLoadClick(int slot) {
    UpdateSlotMenus(); // choosing an item toggled its mark
    if (!GL) return;
    if (!RestoreViewSlot(ViewSlots, slot, GL->Size, GL->Translation.data(), GL->Rotation.data())) {
        ShowMessage("視点データがまだ保存されていません");
        return;
    }
    Repaint();
}

void TFmMain::MEyeSaveFileClick() {
    if (ViewDialogDir.empty()) ViewDialogDir = ExeDir;
    const std::string path =
        ChooseViewSaveFile ? ChooseViewSaveFile() : ChooseViewFile(this, true, ViewDialogDir);
    if (path.empty()) return;
    const QFileInfo info(Q(path));
    ViewDialogDir = info.absolutePath().toStdString();
    if (info.exists() &&
        !AskOkCancel(info.fileName().toStdString() + " is Found! OverWrite OK?"))
        return;
    if (!SaveViewPointFile(path, ViewSlots))
        ShowMessage("Cannot write the view point file " + path);
}

void TFmMain::MEyeLoadFileClick() {
    if (ViewDialogDir.empty()) ViewDialogDir = ExeDir;
    const std::string path =
        ChooseViewOpenFile ? ChooseViewOpenFile() : ChooseViewFile(this, false, ViewDialogDir);
    if (path.empty()) return;
    ViewDialogDir = QFileInfo(Q(path)).absolutePath().toStdString();
    if (!LoadViewPointFile(path, ViewSlots)) ShowMessage("Cannot read the view point file " + path);
    UpdateSlotMenus();
}

// ---- Animation ---------------------------------------------------------------------------------

void TFmMain::MenuAnimationClick() {
    // A load or the settings dialog during playback enables the menu again; one loop at a time.
    if (Animating) return;
    TDisplaySettings& ds = Doc.Display;
    MenuAnimation->setEnabled(false);
    ds.AnimActive = ds.TimeOn;
    if (!ds.TimeOn) {
        Repaint();
        MenuAnimation->setEnabled(ds.HasTime);
        return;
    }

    QPalette pal = STComment->palette();
    pal.setColor(QPalette::Window, QColor(ds.BackColor & 0xFF, (ds.BackColor >> 8) & 0xFF,
                                          (ds.BackColor >> 16) & 0xFF));
    pal.setColor(QPalette::WindowText, QColor(ds.ForeColor & 0xFF, (ds.ForeColor >> 8) & 0xFF,
                                              (ds.ForeColor >> 16) & 0xFF));
    STComment->setPalette(pal);
    STComment->setAutoFillBackground(true);
    STComment->setText("Animation start");

    TAnimRange range;
    try {
        const std::string start = FmViewDlg ? FmViewDlg->ETimeStart->text().toStdString() : "";
        const std::string end = FmViewDlg ? FmViewDlg->ETimeEnd->text().toStdString() : "";
        const std::string step = FmViewDlg ? FmViewDlg->ETimeStep->text().toStdString() : "";
        range = ParseAnimRange(start, end, step, DlgStrToFloat);
    } catch (const EConvertError& e) {
        // Nothing plays: no stale time window may hide the tracks, and the menu stays usable.
        ds.AnimActive = false;
        STComment->clear();
        ShowError(e.what());
        MenuAnimation->setEnabled(ds.HasTime);
        return;
    }

    TAnimHost host;
    host.ShowTimes = [this](double ws, double we) {
        setWindowTitle(Q(AnimCaption(WindowTitle, ws, we)));
        STComment->setText(Q(AnimComment(ws, we)));
        QApplication::processEvents();
    };
    host.Repaint = [this] { Repaint(); };
    host.ClearComment = [this] { STComment->clear(); };
    host.Pause = [this](int ms) { AnimationPause(ms); };
    TAnimFlags flags{&ds.AnimActive, &ds.WinStart, &ds.WinEnd, &Animating, &AbortRequested};
    RunAnimationFrames(range, ds.HasTime, ds.WaitTime, flags, host);
    MenuAnimation->setEnabled(ds.HasTime); // a load meanwhile may bring a file without times
}

void TFmMain::AnimationPause(int ms) {
    // Events keep flowing during the pause, so a double-click on the comment line or closing
    // the window ends the wait at once.
    QElapsedTimer clock;
    clock.start();
    QTimer wake; // guarantees an event to wake up for when the time is over
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!AbortRequested && clock.elapsed() < ms) {
        if (!wake.isActive()) wake.start(static_cast<int>(ms - clock.elapsed()));
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void TFmMain::STCommentDblClick() {
    AbortRequested = true;
    QApplication::processEvents();
}
