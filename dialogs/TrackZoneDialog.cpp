#include "TrackZoneDialog.h"

#include "dialogs/Desktop.h"
#include "dialogs/ViewerHost.h"
#include "document/Document.h"
#include "tools/core/CheckFormat.h"
#include "dialogs/ToolWidgets.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TFmTrackZones::TFmTrackZones(QWidget* parent, TDocument& document, TViewerHost& host)
    : TFmTrackZones(parent, document.Geometry, document.Tracks) {
    Host = &host;
}

TFmTrackZones::TFmTrackZones(QWidget* parent, const TGeometry& geometry, const TTracks& tracks)
    : QDialog(parent), Model(&geometry), Points(&tracks) {
    Build();
}

TFmTrackZones::~TFmTrackZones() = default;

void TFmTrackZones::Build() {
    setObjectName("FmTrackZones");
    setWindowTitle("Check track zones");
    setModal(false);
    setSizeGripEnabled(true);
    LTolerance = new QLabel("Tolerance:");
    ETolerance = new QLineEdit;
    ETolerance->setObjectName("ETolerance");
    ETolerance->setPlaceholderText("from the printed digits");
    ETolerance->setToolTip("Distance within which the recorded zone must come to the point.\n"
                           "Empty: twice the rounding error of the digits the file prints.");
    LPoints = new QLabel("points: -");
    LPoints->setObjectName("LPoints");
    LMismatches = new QLabel("mismatches: -");
    LMismatches->setObjectName("LMismatches");
    LBMismatch = new QListWidget;
    LBMismatch->setObjectName("LBMismatch");
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    LBMismatch->setFont(mono);
    LBMismatch->setMinimumSize(620, 260);
    BtnCheck = new QPushButton("CHECK");
    BtnCheck->setObjectName("BtnCheck");
    BtnHelp = new QPushButton("HELP");
    BtnHelp->setObjectName("BtnHelp");
    BtnClose = new QPushButton("CLOSE");
    BtnClose->setObjectName("BtnClose");
    for (QPushButton* b : {BtnCheck, BtnHelp, BtnClose}) b->setAutoDefault(false);

    auto* entry = new QHBoxLayout;
    entry->addWidget(LTolerance);
    entry->addWidget(ETolerance);
    entry->addWidget(BtnCheck);
    entry->addStretch();
    auto* counts = new QHBoxLayout;
    counts->addWidget(LPoints);
    counts->addSpacing(24);
    counts->addWidget(LMismatches);
    counts->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel("Choose a line to centre the view on its point."));
    buttons->addStretch();
    buttons->addWidget(BtnHelp);
    buttons->addWidget(BtnClose);
    auto* top = new QVBoxLayout(this);
    top->addLayout(entry);
    top->addLayout(counts);
    top->addWidget(LBMismatch, 1);
    top->addLayout(buttons);

    connect(BtnCheck, &QPushButton::clicked, this, &TFmTrackZones::BtnCheckClick);
    connect(ETolerance, &QLineEdit::returnPressed, this, &TFmTrackZones::BtnCheckClick);
    connect(BtnHelp, &QPushButton::clicked, this, [this] { OpenHelp(Host, "slice.html"); });
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(LBMismatch, &QListWidget::currentRowChanged, this, &TFmTrackZones::RowChosen);
}

void TFmTrackZones::BtnCheckClick() {
    TTrackZoneOptions options;
    std::string text = ETolerance->text().trimmed().toStdString();
    if (!text.empty()) {
        std::optional<double> t = ParseReal(text);
        if (!t || !std::isfinite(*t) || !(*t > 0)) {
            std::string error = "Tolerance: \"" + text + "\" is not a positive length.";
            if (Message)
                Message(error);
            else
                ShowMessage(Host, error);
            return;
        }
        options.Tolerance = *t;
    }
    Checked = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool done = WithinMemory(
        [&] {
            TZoneIndex index;
            BuildZoneIndex(Model->Bodies, Model->Zones, index);
            Last = CheckTrackZones(Model->Bodies, Model->Zones, index, *Points, options);
        },
        [this] { ClearResult(); }, // Checked stays: no new try until the user asks
        [this] {
            QApplication::restoreOverrideCursor();
            const std::string error = "Not enough memory to check the track zones.";
            if (Message)
                Message(error);
            else
                ShowMessage(Host, error);
        });
    if (!done) return;
    QApplication::restoreOverrideCursor();
    LPoints->setText(QString("points: %1").arg(Last.Points));
    LMismatches->setText(
        QString("mismatches: %1%2")
            .arg(Last.Mismatches)
            .arg(Last.Mismatches > static_cast<int64_t>(Last.Kept.size())
                     ? QString(" (the first %1 listed)").arg(Last.Kept.size())
                     : QString()));
    QSignalBlocker block(LBMismatch);
    LBMismatch->clear();
    for (const TTrackZoneMismatch& m : Last.Kept)
        LBMismatch->addItem(QString::fromStdString(TrackZoneMismatchLine(m, Model->Zones)));
}

void TFmTrackZones::ClearResult() {
    Last = TTrackZoneResult{};
    QSignalBlocker block(LBMismatch);
    LBMismatch->clear();
    LPoints->setText("points: -");
    LMismatches->setText("mismatches: -");
}

void TFmTrackZones::ModelChanged() {
    Checked = false;
    ClearResult();
    if (isVisible()) BtnCheckClick();
}

void TFmTrackZones::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // after the window is up, so that it shows while the check runs
    if (!Checked) QTimer::singleShot(0, this, [this] {
        if (!Checked) BtnCheckClick();
    });
}

void TFmTrackZones::RowChosen(int row) {
    if (row < 0 || static_cast<size_t>(row) >= Last.Kept.size()) return;
    const TTrackZoneMismatch& m = Last.Kept[static_cast<size_t>(row)];
    if (PointChosen)
        PointChosen(m);
    else if (Host)
        Host->CentreOn(m.At);
}

void TFmTrackZones::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    if (!PointChosen && Host && Host->HasPointMark()) {
        Host->ClearPointMark();
        Host->Repaint();
    }
}
