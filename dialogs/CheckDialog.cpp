#include "CheckDialog.h"

#include "dialogs/Desktop.h"
#include "dialogs/ViewerHost.h"
#include "document/Document.h"
#include "ToolWidgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

TFmCheckDlg::TFmCheckDlg(QWidget* parent, TDocument& document, TViewerHost& host)
    : TFmCheckDlg(parent, document.Geometry, document.CheckErrors) {
    Host = &host;
}

TFmCheckDlg::TFmCheckDlg(QWidget* parent, const TGeometry& geometry, TCheckErrorSegments& errors)
    : QDialog(parent), Model(&geometry), Run(errors) {
    Run.Threads = 0; // all cores
    Build();
    FormCreate();
}

TFmCheckDlg::~TFmCheckDlg() = default;

void TFmCheckDlg::Build() {
    setObjectName("FmCheckDlg");
    setModal(true);
    EIteration = new QLineEdit("100000");
    EIteration->setObjectName("EIteration");
    LIteration = new QLabel;

    GBPos = new QGroupBox;
    GBPos->setObjectName("GBPos");
    auto* pos = new QGridLayout(GBPos);
    AddRangeRow(pos, 0, new QLabel("X:"), eXmin, eXmax, "0", "0", "eXmin", "eXmax");
    AddRangeRow(pos, 1, new QLabel("Y:"), eYmin, eYmax, "0", "0", "eYmin", "eYmax");
    AddRangeRow(pos, 2, new QLabel("Z:"), eZmin, eZmax, "0", "0", "eZmin", "eZmax");

    GBVect = new QGroupBox;
    GBVect->setObjectName("GBVect");
    auto* vect = new QGridLayout(GBVect);
    AddRangeRow(vect, 0, new QLabel("THETA:"), eTmin, eTmax, "0", "360", "eTmin", "eTmax");
    AddRangeRow(vect, 1, new QLabel("PHI:"), ePmin, ePmax, "-90", "90", "ePmin", "ePmax");

    LOutput = new QLabel;
    mMsg = new QPlainTextEdit;
    mMsg->setObjectName("mMsg");
    mMsg->setReadOnly(true);
    mMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    mMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    mMsg->setFont(mono);
    mMsg->setMinimumSize(560, 220);

    BtnStart = new QPushButton;
    BtnStart->setObjectName("BtnStart");
    BtnClose = new QPushButton;
    BtnClose->setObjectName("BtnClose");
    BtnHelp = new QPushButton;
    BtnHelp->setObjectName("BtnHelp");
    BtnStart->setAutoDefault(false);
    BtnClose->setAutoDefault(false);
    BtnHelp->setAutoDefault(false);

    auto* iter = new QHBoxLayout;
    iter->addWidget(LIteration);
    iter->addWidget(EIteration);
    iter->addStretch();
    auto* groups = new QHBoxLayout;
    groups->addWidget(GBPos);
    groups->addWidget(GBVect);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtnStart);
    buttons->addStretch();
    buttons->addWidget(BtnHelp);
    buttons->addWidget(BtnClose);
    auto* top = new QVBoxLayout(this);
    top->addLayout(iter);
    top->addLayout(groups);
    top->addWidget(LOutput);
    top->addWidget(mMsg, 1);
    top->addLayout(buttons);

    Idle = new QTimer(this);
    Idle->setInterval(0);
    connect(Idle, &QTimer::timeout, this, &TFmCheckDlg::CheckStep);
    connect(BtnStart, &QPushButton::clicked, this, &TFmCheckDlg::BtnStartClick);
    connect(BtnClose, &QPushButton::clicked, this, &TFmCheckDlg::BtnCloseClick);
    connect(BtnHelp, &QPushButton::clicked, this, &TFmCheckDlg::BtnHelpClick);
}

void TFmCheckDlg::FormCreate() {
    Run.Random.Seed = 0;
    setWindowTitle("Geometry Check");
    GBPos->setTitle("Start Position");
    GBVect->setTitle("Direction");
    LIteration->setText("Iteration:");
    LOutput->setText("Output:");
    BtnStart->setText("CHECK START");
    BtnClose->setText("CLOSE");
    BtnHelp->setText("HELP");
}

void TFmCheckDlg::EnableEntries(bool on) {
    EIteration->setEnabled(on);
    GBPos->setEnabled(on);
    GBVect->setEnabled(on);
}

void TFmCheckDlg::NotifyErrors() {
    ShownErrors = Run.ErrorCount();
    if (ErrorsChanged)
        ErrorsChanged();
    else if (Host)
        Host->Repaint();
}

void TFmCheckDlg::BtnStartClick() {
    WithinMemory([this] { StartOrStop(); }, [this] { OutOfMemory(); },
                 [this] { SayOutOfMemory(); });
}

void TFmCheckDlg::StartOrStop() {
    if (BtnStart->text() != "CHECK START") {
        Run.StopByUser();
        StopCheck();
        return;
    }
    TCheckEntries e;
    e.Rays = EIteration->text().toStdString();
    e.Xmin = eXmin->text().toStdString(), e.Xmax = eXmax->text().toStdString();
    e.Ymin = eYmin->text().toStdString(), e.Ymax = eYmax->text().toStdString();
    e.Zmin = eZmin->text().toStdString(), e.Zmax = eZmax->text().toStdString();
    e.Tmin = eTmin->text().toStdString(), e.Tmax = eTmax->text().toStdString();
    e.Pmin = ePmin->text().toStdString(), e.Pmax = ePmax->text().toStdString();
    TCheckSettings settings;
    std::string error;
    if (!ConvertCheckEntries(e, settings, error)) {
        if (Message)
            Message(error);
        else
            ShowMessage(Host, error);
        return;
    }
    BtnStart->setText("CHECK STOP");
    EnableEntries(false);
    Run.Start(Model->Bodies, Model->Zones, settings);
    ShowLines();
    NotifyErrors();
    Idle->start();
}

void TFmCheckDlg::CheckStep() {
    WithinMemory([this] { Advance(); }, [this] { OutOfMemory(); }, [this] { SayOutOfMemory(); });
}

void TFmCheckDlg::Advance() {
    if (!Run.Running()) {
        StopCheck();
        return;
    }
    Run.AdvanceFor(IdleSliceSeconds);
    ShowLines();
    if (Run.ErrorCount() != ShownErrors) NotifyErrors();
    if (!Run.Running()) StopCheck();
}

void TFmCheckDlg::StopCheck() {
    Idle->stop();
    BtnStart->setText("CHECK START");
    EnableEntries(true);
    ShowLines();
}

void TFmCheckDlg::OutOfMemory() {
    Run.StopOutOfMemory();
    StopCheck();
    NotifyErrors();
}

void TFmCheckDlg::SayOutOfMemory() {
    const std::string text = "Not enough memory for the geometry check: the run was stopped.";
    if (Message)
        Message(text);
    else
        ShowMessage(Host, text);
}

void TFmCheckDlg::ShowLines() {
    if (Run.Revision() == ShownRevision) return;
    ShownRevision = Run.Revision();
    mMsg->setPlainText(JoinLines(Run.Lines()));
    mMsg->verticalScrollBar()->setValue(mMsg->verticalScrollBar()->maximum());
}

void TFmCheckDlg::BtnCloseClick() {
    done(QDialog::Accepted);
}

void TFmCheckDlg::done(int result) {
    if (Run.Running()) {
        Run.StopByUser();
        StopCheck();
    }
    QDialog::done(result);
}

void TFmCheckDlg::BtnHelpClick() {
    OpenHelp(Host, "setting.html");
}
