// Geometry editor: body and zone tables with a row clipboard, editor files, and the hand-over
// of a checked geometry to the viewer through the work file "dummy.tmp".
//
// The main window shows it modally; exec() returns QDialog::Accepted after VIEW wrote the
// viewer file (ViewerFilePath()), QDialog::Rejected when it was closed any other way.
#pragma once

#include "dialogs/EditorGrid.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <string>

class QLabel;
class TDocument;
class TViewerHost;
class QMenu;
class QAction;
class QPushButton;
class QFileDialog;

class TFmMakeDlg : public QDialog {
    Q_OBJECT
  public:
    // Without a document and host (tests) the editor's help and messages use the desktop's.
    explicit TFmMakeDlg(QWidget* parent = nullptr);
    // Opening an editor file clears the document's check errors.
    TFmMakeDlg(QWidget* parent, TDocument& document, TViewerHost& host);
    ~TFmMakeDlg() override;

    // --- components ---
    QLabel *LblGeo = nullptr, *LblZon = nullptr;
    TCGGrid *SGGeo = nullptr, *SGZon = nullptr;
    QPushButton *BtnSaveFile = nullptr, *BtnOpenFile = nullptr, *BtnOK = nullptr,
                *BtnCancel = nullptr, *BtnHelp = nullptr;
    QMenu* PMenu = nullptr;
    QAction *PMDel = nullptr, *PMIns = nullptr, *PMCut = nullptr, *PMCopy = nullptr,
            *PMPaste = nullptr, *PMInsPaste = nullptr, *PMRowDel = nullptr, *PMRowIns = nullptr;
    QFileDialog *OpenDialog = nullptr, *SaveDialog = nullptr;

    // --- state ---
    QString RowClipboard;                     // comma text of the copied row
    QStringList SnapGeo, SnapZon;             // comma texts of the data rows, for CANCEL
    QStringList SavedGeo, SavedZon;           // the same as last opened or saved
    TCGGrid* PopupGrid = nullptr;             // the grid whose popup menu was opened last
    std::string OpenDirChosen, SaveDirChosen; // set when a file was picked in a dialog

    // File choosers, replaceable by tests; they return the chosen path, empty on cancel.
    std::function<QString()> ChooseOpenFile;
    std::function<QString()> ChooseSaveFile;

    // Where VIEW writes the data file for the viewer.
    static std::string ViewerFilePath();

    // --- handlers ---
    void FormCreate();
    void FormShow();
    void FormResize();
    void FormDestroy();
    void BtnOpenFileClick();
    void BtnSaveFileClick();
    void BtnOKClick();
    void BtnCancelClick();
    void BtnHelpClick();
    void PMenuPopup();
    void PMDelClick();
    void PMInsClick();
    void PMCutClick();
    void PMCopyClick();
    void PMPasteClick();
    void PMInsPasteClick();
    void PMRowDelClick();
    void PMRowInsClick();

    // The steps behind the buttons, without the file dialogs. Each reports its own failure.
    bool OpenFile(const QString& path);
    bool SaveFile(const QString& path); // asks before overwriting
    bool ValidateGeometry();            // shows the first failure
    bool WriteViewerFile();
    void TakeSnapshot();
    void RestoreSnapshot();
    // Whether the tables differ from the file last opened or saved (from the empty tables
    // before any). The title carries a "*" while they do.
    bool HasUnsavedEdits();
    // Asks whether unsaved edits may be dropped; true when there are none or the user agrees.
    bool MayDropEdits();
    // Escape and the window's close button ask CANCEL's question.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ShowPopup(TCGGrid* grid, QWidget* source, const QPoint& pos);
    TCGGrid* ActiveGrid() const;
    void SetCaptionFile(const QString& path);
    void MarkSaved();
    void ShowModifiedMark(); // soon after a change: many cells may change at once
    QString CaptionPath = "NONAME";
    TDocument* Doc = nullptr;
    TViewerHost* Host = nullptr;
    bool MarkPending = false;
};
