// Track-zone check dialog: checks the zone every loaded track point records against the
// geometry and lists the mismatches; choosing one centres the 3-D view on the point and marks it.
#pragma once

#include "tools/core/TrackZoneCheck.h"

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class TDocument;
class TViewerHost;
class QLineEdit;
class QListWidget;
class QPushButton;

class TFmTrackZones : public QDialog {
    Q_OBJECT
  public:
    // Checks the document's geometry and tracks; the host centres on a chosen point.
    TFmTrackZones(QWidget* parent, TDocument& document, TViewerHost& host);
    // Checks the given model without a host (tests).
    TFmTrackZones(QWidget* parent, const TGeometry& geometry, const TTracks& tracks);
    ~TFmTrackZones() override;

    QLineEdit* ETolerance = nullptr;
    QLabel *LTolerance = nullptr, *LPoints = nullptr, *LMismatches = nullptr;
    QListWidget* LBMismatch = nullptr;
    QPushButton *BtnCheck = nullptr, *BtnHelp = nullptr, *BtnClose = nullptr;

    // Runs the check and fills the list.
    void BtnCheckClick();
    // The model was loaded anew: the old list no longer applies.
    void ModelChanged();
    const TTrackZoneResult& Result() const { return Last; }

    // Called with a chosen mismatch (empty: the host centres on it and marks it).
    std::function<void(const TTrackZoneMismatch&)> PointChosen;
    // Shows a message (bad tolerance). Empty: the host's message box.
    std::function<void(const std::string&)> Message;

  protected:
    void showEvent(QShowEvent* e) override; // the first showing after a load runs the check
    void hideEvent(QHideEvent* e) override; // the view's mark goes with the dialog

  private:
    void Build();
    void RowChosen(int row);
    void ClearResult(); // no result shown

    const TGeometry* Model;
    TViewerHost* Host = nullptr;
    const TTracks* Points;
    TTrackZoneResult Last;
    bool Checked = false;
};
