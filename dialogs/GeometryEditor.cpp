#include "GeometryEditor.h"

#include "app/IniFile.h"
#include "app/resource.h"
#include "dialogs/Desktop.h"
#include "dialogs/ViewerHost.h"
#include "document/Document.h"
#include "tools/core/GeoEditorFile.h"
#include "tools/core/GeoValidate.h"
#include "tools/core/GeoWriter.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTimer>

namespace {

const char* const FileFilter[] = {"Geometry File(*.geo)", "CSV File(*.csv)", "ALL Data(*)"};
const char* const IniSection = "Dir";

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Plain message box; tests answer it through the main window's hook.
void PlainMessage(QWidget* parent, const QString& text) {
    if (MessageBoxHook) {
        MessageBoxHook(text.toStdString());
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, "TRAZON", text, QMessageBox::Ok, parent);
    box.exec();
}

// Warning box with OK and Cancel; true for OK.
bool AskWarning(QWidget* parent, const QString& text) {
    if (QuestionHook) return QuestionHook(text.toStdString());
    return QMessageBox::warning(parent, "TRAZON", text, QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Ok;
}

std::string DirOfFile(const QString& path) {
    return QFileInfo(path).absolutePath().toStdString();
}

std::string WithoutTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

} // namespace

TFmMakeDlg::TFmMakeDlg(QWidget* parent, TDocument& document, TViewerHost& host)
    : TFmMakeDlg(parent) {
    Doc = &document;
    Host = &host;
}

TFmMakeDlg::TFmMakeDlg(QWidget* parent) : QDialog(parent) {
    setSizeGripEnabled(true);
    LblGeo = new QLabel(this);
    LblZon = new QLabel(this);
    SGGeo = new TCGGrid(this);
    SGZon = new TCGGrid(this);
    BtnOpenFile = new QPushButton(this);
    BtnSaveFile = new QPushButton(this);
    BtnOK = new QPushButton(this);
    BtnCancel = new QPushButton(this);
    BtnHelp = new QPushButton(this);
    // Return belongs to the grids (next cell); no button is pressed by it
    for (QPushButton* b : {BtnOpenFile, BtnSaveFile, BtnOK, BtnCancel, BtnHelp}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    PMenu = new QMenu(this);
    PMDel = PMenu->addAction(QString());
    PMIns = PMenu->addAction(QString());
    PMCut = PMenu->addAction(QString());
    PMCopy = PMenu->addAction(QString());
    PMPaste = PMenu->addAction(QString());
    PMInsPaste = PMenu->addAction(QString());
    PMRowDel = PMenu->addAction(QString());
    PMRowIns = PMenu->addAction(QString());

    OpenDialog = new QFileDialog(this);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    SaveDialog = new QFileDialog(this);
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite); // asked by the editor itself
    for (QFileDialog* d : {OpenDialog, SaveDialog})
        d->setNameFilters({FileFilter[0], FileFilter[1], FileFilter[2]});

    connect(BtnOpenFile, &QPushButton::clicked, this, &TFmMakeDlg::BtnOpenFileClick);
    connect(BtnSaveFile, &QPushButton::clicked, this, &TFmMakeDlg::BtnSaveFileClick);
    connect(BtnOK, &QPushButton::clicked, this, &TFmMakeDlg::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TFmMakeDlg::BtnCancelClick);
    connect(BtnHelp, &QPushButton::clicked, this, &TFmMakeDlg::BtnHelpClick);
    connect(PMenu, &QMenu::aboutToShow, this, &TFmMakeDlg::PMenuPopup);
    connect(PMDel, &QAction::triggered, this, &TFmMakeDlg::PMDelClick);
    connect(PMIns, &QAction::triggered, this, &TFmMakeDlg::PMInsClick);
    connect(PMCut, &QAction::triggered, this, &TFmMakeDlg::PMCutClick);
    connect(PMCopy, &QAction::triggered, this, &TFmMakeDlg::PMCopyClick);
    connect(PMPaste, &QAction::triggered, this, &TFmMakeDlg::PMPasteClick);
    connect(PMInsPaste, &QAction::triggered, this, &TFmMakeDlg::PMInsPasteClick);
    connect(PMRowDel, &QAction::triggered, this, &TFmMakeDlg::PMRowDelClick);
    connect(PMRowIns, &QAction::triggered, this, &TFmMakeDlg::PMRowInsClick);
    for (TCGGrid* g : {SGGeo, SGZon}) {
        g->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(g, &QWidget::customContextMenuRequested, this,
                [this, g](const QPoint& pos) { ShowPopup(g, g->viewport(), pos); });
        QHeaderView* vh = g->verticalHeader();
        vh->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(vh, &QWidget::customContextMenuRequested, this,
                [this, g, vh](const QPoint& pos) { ShowPopup(g, vh->viewport(), pos); });
    }

    FormCreate();
    resize(960, 640);
    for (TCGGrid* g : {SGGeo, SGZon}) {
        QAbstractItemModel* m = g->model();
        connect(m, &QAbstractItemModel::dataChanged, this, &TFmMakeDlg::ShowModifiedMark);
        connect(m, &QAbstractItemModel::rowsInserted, this, &TFmMakeDlg::ShowModifiedMark);
        connect(m, &QAbstractItemModel::rowsRemoved, this, &TFmMakeDlg::ShowModifiedMark);
        connect(m, &QAbstractItemModel::modelReset, this, &TFmMakeDlg::ShowModifiedMark);
    }
    MarkSaved();
}

TFmMakeDlg::~TFmMakeDlg() {
    FormDestroy();
}

std::string TFmMakeDlg::ViewerFilePath() {
    return WorkFilePath(DummyFileName);
}

void TFmMakeDlg::FormCreate() {
    RowClipboard.clear();

    setWindowTitle("Making Geometry - NONAME");
    LblGeo->setText("Body Data :");
    LblZon->setText("Zone Data :");
    BtnSaveFile->setText("SAVE FILE");
    BtnOpenFile->setText("OPEN FILE");
    SaveDialog->setWindowTitle("Save File");
    OpenDialog->setWindowTitle("Open File");
    BtnOK->setText("VIEW");
    BtnCancel->setText("CANCEL");
    BtnHelp->setText("HELP");
    PMDel->setText("Delete(&D)");
    PMIns->setText("Insert(&I)");
    PMCut->setText("Cut(&X)");
    PMCopy->setText("Copy(&C)");
    PMPaste->setText("Paste(&P)");
    PMInsPaste->setText("Insert&Paste(&T)");
    PMRowDel->setText("Row Delete(&M)");
    PMRowIns->setText("Row Insert(&L)");

    // headers and widths
    const TGeoTable geo = MakeBodyTable(1);
    SGGeo->SetColCount(GeoColCount);
    SGGeo->horizontalHeader()->setDefaultSectionSize(60);
    for (int c = 0; c < GeoColCount; ++c) SGGeo->SetCell(c, 0, Q(geo[0][size_t(c)]));
    SGGeo->SetColWidth(0, 20);
    SGGeo->SetNumbering(false);

    const TGeoTable zon = MakeZoneTable(1);
    SGZon->SetColCount(ZoneColCount);
    SGZon->horizontalHeader()->setDefaultSectionSize(40);
    for (int c = 0; c < ZoneColCount; ++c) SGZon->SetCell(c, 0, Q(zon[0][size_t(c)]));
    SGZon->SetColWidth(0, 80);
    SGZon->SetColWidth(1, 80);
    SGZon->SetNumbering(true);

    const std::string exeDir = ExecutableDir();
    TIniFile ini(SettingsFilePath(exeDir));
    OpenDialog->setDirectory(Q(ini.ReadString(IniSection, "MGOpenDir", exeDir)));
    SaveDialog->setDirectory(Q(ini.ReadString(IniSection, "MGSaveDir", exeDir)));

    TakeSnapshot();
}

void TFmMakeDlg::FormShow() {
    TakeSnapshot();
}

void TFmMakeDlg::FormResize() {
    const int w = width(), h = height();
    const int lh = LblGeo->sizeHint().height();
    const int bh = BtnOK->sizeHint().height();
    const int bw = std::max(100, BtnOK->sizeHint().width());
    const int left = 10;
    const int gridH = std::max(0, (h - 50 - 2 * lh - bh) / 2);
    const int gridW = std::max(0, w - left - 10);
    LblGeo->setGeometry(left, 5, gridW, lh);
    SGGeo->setGeometry(left, LblGeo->y() + lh + 5, gridW, gridH);
    LblZon->setGeometry(left, SGGeo->y() + gridH + 10, gridW, lh);
    SGZon->setGeometry(left, LblZon->y() + lh + 5, gridW, gridH);
    const int by = h - 10 - bh;
    BtnOpenFile->setGeometry(left, by, bw, bh);
    BtnSaveFile->setGeometry(left + bw + 10, by, bw, bh);
    BtnHelp->setGeometry(w - 10 - bw, by, bw, bh);
    BtnCancel->setGeometry(BtnHelp->x() - 10 - bw, by, bw, bh);
    BtnOK->setGeometry(BtnCancel->x() - 10 - bw, by, bw, bh);
}

void TFmMakeDlg::FormDestroy() {
    if (OpenDirChosen.empty() && SaveDirChosen.empty()) return;
    // the main window keeps keys it does not know, so this edit survives its own write
    TIniFile ini(SettingsFilePath(ExecutableDir()));
    if (!OpenDirChosen.empty()) ini.WriteString(IniSection, "MGOpenDir", OpenDirChosen);
    if (!SaveDirChosen.empty()) ini.WriteString(IniSection, "MGSaveDir", SaveDirChosen);
    ini.UpdateFile();
}

void TFmMakeDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFmMakeDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

// ---- files ----------------------------------------------------------------------------------

void TFmMakeDlg::SetCaptionFile(const QString& path) {
    CaptionPath = path;
    setWindowTitle("Making Geometry - " + path);
}

namespace {
// The cells of each data row (without the row number), up to the last row holding any.
QStringList RowTexts(TCGGrid* grid) {
    QStringList rows;
    int last = 0;
    for (int r = 1; r < grid->RowCount(); ++r) {
        QStringList cells;
        bool any = false;
        for (int c = 1; c < grid->ColCount(); ++c) {
            cells << grid->Cell(c, r);
            any = any || !cells.back().trimmed().isEmpty();
        }
        rows << cells.join(QChar(0x1F));
        if (any) last = r;
    }
    return rows.mid(0, last);
}
} // namespace

void TFmMakeDlg::MarkSaved() {
    SavedGeo = RowTexts(SGGeo);
    SavedZon = RowTexts(SGZon);
    MarkPending = false;
    setWindowTitle("Making Geometry - " + CaptionPath);
}

bool TFmMakeDlg::HasUnsavedEdits() {
    SGGeo->CommitEdit();
    SGZon->CommitEdit();
    return RowTexts(SGGeo) != SavedGeo || RowTexts(SGZon) != SavedZon;
}

void TFmMakeDlg::ShowModifiedMark() {
    if (MarkPending) return;
    MarkPending = true;
    QTimer::singleShot(0, this, [this] {
        if (!MarkPending) return;
        MarkPending = false;
        const bool edited = RowTexts(SGGeo) != SavedGeo || RowTexts(SGZon) != SavedZon;
        setWindowTitle("Making Geometry - " + CaptionPath + (edited ? " *" : ""));
    });
}

bool TFmMakeDlg::MayDropEdits() {
    return !HasUnsavedEdits() ||
           AskWarning(this, "The edited data is not saved. Discard the edits?");
}

void TFmMakeDlg::reject() {
    BtnCancelClick();
}

void TFmMakeDlg::BtnOpenFileClick() {
    if (!MayDropEdits()) return;
    QString path;
    if (ChooseOpenFile) {
        path = ChooseOpenFile();
    } else if (OpenDialog->exec() == QDialog::Accepted && !OpenDialog->selectedFiles().isEmpty()) {
        path = OpenDialog->selectedFiles().first();
    }
    if (path.isEmpty()) return;
    OpenDirChosen = WithoutTrailingSlash(DirOfFile(path));
    OpenFile(path);
}

bool TFmMakeDlg::OpenFile(const QString& path) {
    TEditorLattice lattice;
    if (EditorFileLattice(path.toStdString(), lattice)) {
        PlainMessage(this, QString::fromStdString(EditorLatticeMessage(
                               QFileInfo(path).fileName().toStdString(), lattice)));
        return false;
    }
    const std::string tokenFile = WorkFilePath(DivFileName);
    std::string error;
    if (tokenFile.empty()) {
        ShowError("Cannot create the work directory for the token file.");
        return false;
    }
    if (!TokeniseEditorFile(path.toStdString(), tokenFile, error)) {
        ShowError("Cannot read the file: " + error);
        return false;
    }
    TGeoTable bodies, zones;
    TEditorLoad info;
    if (!LoadEditorTokenFile(tokenFile, bodies, zones, info, error)) {
        ShowError("Cannot read the file: " + error);
        return false;
    }
    if (Doc) Doc->CheckErrors.Reset();
    SGGeo->CommitEdit();
    SGZon->CommitEdit();
    SGGeo->FromTable(bodies);
    SGZon->FromTable(zones);
    const QString full = QFileInfo(path).absoluteFilePath();
    SetCaptionFile(full);
    SaveDialog->selectFile(full);
    TakeSnapshot();
    MarkSaved();
    if (info.Dropped > 0)
        PlainMessage(this, QString("%1 items of %2 lay beyond the last column of their row and "
                                   "were left out.")
                               .arg(info.Dropped)
                               .arg(QFileInfo(path).fileName()));
    return true;
}

void TFmMakeDlg::BtnSaveFileClick() {
    QString path;
    if (ChooseSaveFile) {
        path = ChooseSaveFile();
    } else if (SaveDialog->exec() == QDialog::Accepted && !SaveDialog->selectedFiles().isEmpty()) {
        path = SaveDialog->selectedFiles().first();
    }
    if (path.isEmpty()) return;
    SaveDirChosen = WithoutTrailingSlash(DirOfFile(path));
    SaveFile(path);
}

bool TFmMakeDlg::SaveFile(const QString& chosen) {
    QString path = chosen;
    if (QFileInfo(path).suffix().isEmpty()) path += ".geo";
    QFileInfo info(path);
    if (info.exists() && !AskWarning(this, info.fileName() + " is Found! OverWrite OK?"))
        return false;
    SGGeo->CommitEdit();
    SGZon->CommitEdit();
    const TGeoTable bodies = SGGeo->ToTable(), zones = SGZon->ToTable();
    const bool csv = HasCsvExtension(path.toStdString());
    TSplitCell split;
    if (FindSplitCell(bodies, zones, csv, split) &&
        !AskWarning(this, QString("%1 Row %2, Column %3 holds \"%4\", which will not read back as "
                                  "one item. Save anyway?")
                              .arg(split.IsZone ? "Zone Data" : "Body Data")
                              .arg(split.Row)
                              .arg(split.Col)
                              .arg(Q(split.Text))))
        return false;
    std::string error;
    const bool ok = csv ? WriteCsvFile(path.toStdString(), bodies, zones, error)
                        : WriteBlankSeparatedFile(path.toStdString(), bodies, zones, false, error);
    if (!ok) {
        ShowError("Cannot write " + path.toStdString() + ": " + error);
        return false;
    }
    const QString full = info.absoluteFilePath();
    SetCaptionFile(full);
    OpenDialog->selectFile(full);
    MarkSaved();
    return true;
}

// ---- VIEW, CANCEL, HELP -----------------------------------------------------------------

bool TFmMakeDlg::ValidateGeometry() {
    SGGeo->CommitEdit();
    SGZon->CommitEdit();
    TGeoTable bodies = SGGeo->ToTable(), zones = SGZon->ToTable();
    const TGeoCheck res = ::ValidateGeometry(bodies, zones);
    // the normalised cells go back up to the row where the check stopped
    SGGeo->StoreRows(bodies, 1, res.Ok || res.IsZone ? SGGeo->RowCount() - 1 : res.Row);
    if (res.Ok || res.IsZone) SGZon->StoreRows(zones, 1, res.Ok ? SGZon->RowCount() - 1 : res.Row);
    if (res.Ok) return true;
    TCGGrid* grid = res.IsZone ? SGZon : SGGeo;
    grid->SetRowMode(false);
    grid->SetCurrent(grid->CurrentCol() > 0 ? grid->CurrentCol() : 1, res.Row);
    PlainMessage(this, Q(res.Message));
    return false;
}

bool TFmMakeDlg::WriteViewerFile() {
    const std::string path = ViewerFilePath();
    std::string error = "no work directory";
    if (path.empty() ||
        !WriteBlankSeparatedFile(path, SGGeo->ToTable(), SGZon->ToTable(), true, error)) {
        ShowError("Cannot write the viewer file " + path + ": " + error);
        return false;
    }
    return true;
}

void TFmMakeDlg::BtnOKClick() {
    if (!ValidateGeometry()) return;
    if (!WriteViewerFile()) return;
    accept();
}

void TFmMakeDlg::BtnCancelClick() {
    if (!AskWarning(this, "Clear Edited Data! Cansel OK?")) return;
    QDialog::reject();
    RestoreSnapshot();
}

void TFmMakeDlg::BtnHelpClick() {
    OpenHelp(Host, "makedlg.html");
}

void TFmMakeDlg::TakeSnapshot() {
    SnapGeo.clear();
    SnapZon.clear();
    for (int r = 1; r < SGGeo->RowCount(); ++r) SnapGeo << SGGeo->RowCommaText(r);
    for (int r = 1; r < SGZon->RowCount(); ++r) SnapZon << SGZon->RowCommaText(r);
}

void TFmMakeDlg::RestoreSnapshot() {
    const std::pair<TCGGrid*, const QStringList*> grids[] = {{SGGeo, &SnapGeo}, {SGZon, &SnapZon}};
    for (const auto& [grid, snap] : grids) {
        grid->CommitEdit();
        grid->clearContents();
        grid->setRowCount(std::max<int>(static_cast<int>(snap->size()), 1));
        for (int r = 0; r < snap->size(); ++r) grid->SetRowCommaText(r + 1, snap->at(r));
        grid->Renumber(1);
    }
}

// ---- popup menu ---------------------------------------------------------------------------

void TFmMakeDlg::ShowPopup(TCGGrid* grid, QWidget* source, const QPoint& pos) {
    PopupGrid = grid;
    PMenu->exec(source->mapToGlobal(pos));
}

TCGGrid* TFmMakeDlg::ActiveGrid() const {
    return PopupGrid ? PopupGrid : SGGeo;
}

void TFmMakeDlg::PMenuPopup() {
    const bool rows = ActiveGrid()->RowMode();
    for (QAction* a : {PMCut, PMCopy, PMPaste, PMInsPaste, PMRowDel, PMRowIns}) a->setVisible(rows);
    for (QAction* a : {PMDel, PMIns}) a->setVisible(!rows);
}

void TFmMakeDlg::PMDelClick() {
    TCGGrid* g = ActiveGrid();
    g->CommitEdit();
    if (g->CurrentRow() > 0) g->DeleteCell(g->CurrentCol(), g->CurrentRow());
}

void TFmMakeDlg::PMInsClick() {
    TCGGrid* g = ActiveGrid();
    g->CommitEdit();
    if (g->CurrentRow() > 0) g->InsertCell(g->CurrentCol(), g->CurrentRow());
}

void TFmMakeDlg::PMCutClick() {
    TCGGrid* g = ActiveGrid();
    const int r = g->CurrentRow();
    if (r < 1) return;
    RowClipboard = g->RowCommaText(r);
    for (int c = 0; c < g->ColCount(); ++c) g->SetCell(c, r, QString());
    g->Renumber(r);
}

void TFmMakeDlg::PMCopyClick() {
    TCGGrid* g = ActiveGrid();
    if (g->CurrentRow() > 0) RowClipboard = g->RowCommaText(g->CurrentRow());
}

void TFmMakeDlg::PMPasteClick() {
    TCGGrid* g = ActiveGrid();
    const int r = g->CurrentRow();
    if (r < 1) return;
    g->SetRowCommaText(r, RowClipboard);
    g->Renumber(r);
}

void TFmMakeDlg::PMInsPasteClick() {
    TCGGrid* g = ActiveGrid();
    const int r = g->CurrentRow();
    if (r < 1) return;
    g->InsertRow(r);
    g->SetRowCommaText(r, RowClipboard);
    g->Renumber(r);
    g->selectRow(r - 1);
}

void TFmMakeDlg::PMRowDelClick() {
    TCGGrid* g = ActiveGrid();
    if (g->CurrentRow() > 0) g->DeleteRow(g->CurrentRow());
}

void TFmMakeDlg::PMRowInsClick() {
    TCGGrid* g = ActiveGrid();
    const int r = g->CurrentRow();
    if (r < 1) return;
    g->InsertRow(r);
    g->selectRow(r - 1);
}
