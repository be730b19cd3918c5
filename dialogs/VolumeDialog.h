// Region volume dialog: estimates every zone's volume from grids of parallel rays, one grid row
// per idle call, and saves the results.
#pragma once

#include "tools/core/VolumeCore.h"

#include <QDialog>

#include <functional>
#include <string>

class QGroupBox;
class TDocument;
class TViewerHost;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class TFmCalVolume : public QDialog {
    Q_OBJECT
  public:
    // Works on the document's geometry and clears its check errors at each start.
    TFmCalVolume(QWidget* parent, TDocument& document, TViewerHost& host);
    // The same on the given model without a host (tests).
    TFmCalVolume(QWidget* parent, const TGeometry& geometry, TCheckErrorSegments& errors);
    ~TFmCalVolume() override;

    QLineEdit* EIteration = nullptr;
    QGroupBox *GBPos = nullptr, *GBVect = nullptr;
    QLabel *GBCom1 = nullptr, *GBCom2 = nullptr, *LIteration = nullptr, *LOutput = nullptr;
    QLineEdit *eXmin = nullptr, *eXmax = nullptr, *eYmin = nullptr, *eYmax = nullptr,
              *eZmin = nullptr, *eZmax = nullptr;
    QLineEdit *eTmin = nullptr, *eTmax = nullptr, *ePmin = nullptr, *ePmax = nullptr;
    QListWidget* CLBVolume = nullptr;
    QPlainTextEdit* mMsg = nullptr;
    QPushButton *BtnStart = nullptr, *BtnSaveFile = nullptr, *BtnClose = nullptr,
                *BtnHelp = nullptr;

    // What the volume command does before showing the dialog: one zeroed record and one
    // unticked zero line per zone of the current geometry, empty output. exec() does it, so
    // every opening starts from zero.
    void ResetZoneVolumes();
    int exec() override;

    // Hooks, replaceable by tests. Empty: the toolkit's dialogs and the host's boxes.
    std::function<std::string()> ChooseSaveFile;          // "" = cancelled
    std::function<void(const std::string&)> Message;      // information / errors
    std::function<bool(const std::string&)> AskOverwrite; // true = OK
    // Called when a start cleared the check's error list. Empty: the host repaints.
    std::function<void()> ErrorsChanged;

    void FormCreate();
    void BtnStartClick();
    void BtnCloseClick();
    void BtnHelpClick();
    void BtnSaveFileClick();
    bool Write_VolumeFile_Dat(const std::string& path);
    void VolumeStep(); // idle step: one grid row or a level's completion
    void StopVolume();

    bool Running() const { return Run.Running(); }
    TVolumeRun& Core() { return Run; }
    const std::vector<TZoneVolume>& ZoneVolumes() const { return Run.Volumes; }

    void done(int result) override; // closing stops a run like the Stop button

  private:
    void Build();
    void ShowLines();
    void ShowResults();
    void EnableEntries(bool on);
    void Say(const std::string& text);
    void StartOrStop();    // the Start/Stop button's work
    void Advance();        // the idle step's work
    void OutOfMemory();    // ends a run that ran out of memory
    void SayOutOfMemory(); // and tells the user

    const TGeometry* Model;
    TViewerHost* Host = nullptr;
    TVolumeRun Run;
    QTimer* Idle = nullptr;
    uint64_t ShownRevision = ~0ull, ShownResults = ~0ull;
};
