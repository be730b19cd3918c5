// Geometry check dialog: fires random rays through the loaded geometry while the event loop
// is idle and lists points in no zone, in several zones, and rays without an outer void.
#pragma once

#include "tools/core/CheckCore.h"

#include <QDialog>

#include <functional>
#include <string>

class QGroupBox;
class TDocument;
class TViewerHost;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class TFmCheckDlg : public QDialog {
    Q_OBJECT
  public:
    // Checks the document's geometry and writes its check errors; the host shows them.
    TFmCheckDlg(QWidget* parent, TDocument& document, TViewerHost& host);
    // Checks the given model without a host (tests).
    TFmCheckDlg(QWidget* parent, const TGeometry& geometry, TCheckErrorSegments& errors);
    ~TFmCheckDlg() override;

    QLineEdit* EIteration = nullptr;
    QGroupBox *GBPos = nullptr, *GBVect = nullptr;
    QLineEdit *eXmin = nullptr, *eXmax = nullptr, *eYmin = nullptr, *eYmax = nullptr,
              *eZmin = nullptr, *eZmax = nullptr;
    QLineEdit *eTmin = nullptr, *eTmax = nullptr, *ePmin = nullptr, *ePmax = nullptr;
    QPlainTextEdit* mMsg = nullptr;
    QPushButton *BtnStart = nullptr, *BtnClose = nullptr, *BtnHelp = nullptr;
    QLabel *LIteration = nullptr, *LOutput = nullptr;

    // Called whenever the shared error list changed (run start, each error), so the main
    // view can redraw the error pieces. Empty: the host repaints.
    std::function<void()> ErrorsChanged;
    // Shows a message (bad entries). Empty: the host's message box.
    std::function<void(const std::string&)> Message;

    void FormCreate();
    void BtnStartClick();
    void BtnCloseClick();
    void BtnHelpClick();
    // Idle step: fires rays for a few milliseconds, then returns to the event loop.
    void CheckStep();
    void StopCheck();

    bool Running() const { return Run.Running(); }
    TCheckRun& Core() { return Run; }

    void done(int result) override; // closing stops a run like the Stop button

  private:
    void Build();
    void ShowLines();
    void EnableEntries(bool on);
    void NotifyErrors();
    void StartOrStop();    // the Start/Stop button's work
    void Advance();        // the idle step's work
    void OutOfMemory();    // ends a run that ran out of memory
    void SayOutOfMemory(); // and tells the user

    const TGeometry* Model;
    TViewerHost* Host = nullptr;
    TCheckRun Run;
    QTimer* Idle = nullptr;
    uint64_t ShownRevision = ~0ull;
    int32_t ShownErrors = -1;
};
