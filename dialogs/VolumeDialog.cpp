#include "VolumeDialog.h"

#include "dialogs/Desktop.h"
#include "dialogs/ViewerHost.h"
#include "document/Document.h"
#include "ToolWidgets.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TFmCalVolume::TFmCalVolume(QWidget* parent, TDocument& document, TViewerHost& host)
    : TFmCalVolume(parent, document.Geometry, document.CheckErrors) {
    Host = &host;
}

TFmCalVolume::TFmCalVolume(QWidget* parent, const TGeometry& geometry, TCheckErrorSegments& errors)
    : QDialog(parent), Model(&geometry), Run(errors) {
    Run.Threads = 0; // all cores
    Build();
    FormCreate();
}

TFmCalVolume::~TFmCalVolume() = default;

void TFmCalVolume::Build() {
    setObjectName("FmCalVolume");
    setModal(true);
    LIteration = new QLabel;
    EIteration = new QLineEdit("12");
    EIteration->setObjectName("EIteration");

    GBPos = new QGroupBox;
    GBPos->setObjectName("GBPos");
    auto* pos = new QGridLayout(GBPos);
    AddRangeRow(pos, 0, new QLabel("X:"), eXmin, eXmax, "-100", "100", "eXmin", "eXmax");
    AddRangeRow(pos, 1, new QLabel("Y:"), eYmin, eYmax, "-100", "100", "eYmin", "eYmax");
    AddRangeRow(pos, 2, new QLabel("Z:"), eZmin, eZmax, "-100", "100", "eZmin", "eZmax");

    GBVect = new QGroupBox;
    GBVect->setObjectName("GBVect");
    auto* vect = new QGridLayout(GBVect);
    GBCom1 = new QLabel;
    GBCom1->setObjectName("GBCom1");
    GBCom2 = new QLabel;
    GBCom2->setObjectName("GBCom2");
    AddRangeRow(vect, 0, GBCom1, eTmin, eTmax, "0.999", "1.001", "eTmin", "eTmax");
    AddRangeRow(vect, 1, GBCom2, ePmin, ePmax, "0.999", "1.001", "ePmin", "ePmax");

    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    CLBVolume = new QListWidget;
    CLBVolume->setObjectName("CLBVolume");
    CLBVolume->setFont(mono);
    LOutput = new QLabel;
    mMsg = new QPlainTextEdit;
    mMsg->setObjectName("mMsg");
    mMsg->setReadOnly(true);
    mMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    mMsg->setFont(mono);
    mMsg->setMaximumHeight(140);

    BtnStart = new QPushButton;
    BtnStart->setObjectName("BtnStart");
    BtnSaveFile = new QPushButton;
    BtnSaveFile->setObjectName("BtnSaveFile");
    BtnClose = new QPushButton;
    BtnClose->setObjectName("BtnClose");
    BtnHelp = new QPushButton;
    BtnHelp->setObjectName("BtnHelp");
    for (QPushButton* b : {BtnStart, BtnSaveFile, BtnClose, BtnHelp}) b->setAutoDefault(false);

    auto* iter = new QHBoxLayout;
    iter->addWidget(LIteration);
    iter->addWidget(EIteration);
    iter->addStretch();
    auto* left = new QVBoxLayout;
    left->addLayout(iter);
    left->addWidget(GBPos);
    left->addWidget(GBVect);
    left->addStretch();
    auto* upper = new QHBoxLayout;
    upper->addLayout(left);
    upper->addWidget(CLBVolume, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtnStart);
    buttons->addWidget(BtnSaveFile);
    buttons->addStretch();
    buttons->addWidget(BtnHelp);
    buttons->addWidget(BtnClose);
    auto* top = new QVBoxLayout(this);
    top->addLayout(upper, 1);
    top->addWidget(LOutput);
    top->addWidget(mMsg);
    top->addLayout(buttons);

    Idle = new QTimer(this);
    Idle->setInterval(0);
    connect(Idle, &QTimer::timeout, this, &TFmCalVolume::VolumeStep);
    connect(BtnStart, &QPushButton::clicked, this, &TFmCalVolume::BtnStartClick);
    connect(BtnSaveFile, &QPushButton::clicked, this, &TFmCalVolume::BtnSaveFileClick);
    connect(BtnClose, &QPushButton::clicked, this, &TFmCalVolume::BtnCloseClick);
    connect(BtnHelp, &QPushButton::clicked, this, &TFmCalVolume::BtnHelpClick);
}

void TFmCalVolume::FormCreate() {
    setWindowTitle("Calculate Volume of Regions");
    GBPos->setTitle("Surface area");
    GBVect->setTitle("Level of convergence");
    GBCom1->setText("Three direction:");
    GBCom2->setText("Division level:");
    LIteration->setText("Division by power of 2 (Max 14):");
    LOutput->setText("Output:");
    BtnStart->setText("Calculation START");
    BtnClose->setText("CLOSE");
    BtnHelp->setText("HELP");
    BtnSaveFile->setText("Save File");
    setWindowState(windowState() | Qt::WindowMaximized);
}

void TFmCalVolume::Say(const std::string& text) {
    if (Message)
        Message(text);
    else
        ShowMessage(Host, text);
}

void TFmCalVolume::ResetZoneVolumes() {
    if (Run.Running()) {
        Run.StopByUser();
        StopVolume();
    }
    Run.Reset(Model->Zones);
    ShowResults();
    ShowLines();
}

int TFmCalVolume::exec() {
    ResetZoneVolumes();
    return QDialog::exec();
}

void TFmCalVolume::EnableEntries(bool on) {
    EIteration->setEnabled(on);
    GBPos->setEnabled(on);
    GBVect->setEnabled(on);
    BtnSaveFile->setEnabled(on);
}

void TFmCalVolume::BtnStartClick() {
    WithinMemory([this] { StartOrStop(); }, [this] { OutOfMemory(); },
                 [this] { SayOutOfMemory(); });
}

void TFmCalVolume::StartOrStop() {
    if (BtnStart->text() != "Calculation START") {
        Run.StopByUser();
        StopVolume();
        return;
    }
    TVolumeEntries e;
    e.Level = EIteration->text().toStdString();
    e.Xmin = eXmin->text().toStdString(), e.Xmax = eXmax->text().toStdString();
    e.Ymin = eYmin->text().toStdString(), e.Ymax = eYmax->text().toStdString();
    e.Zmin = eZmin->text().toStdString(), e.Zmax = eZmax->text().toStdString();
    e.RatioMin = eTmin->text().toStdString(), e.RatioMax = eTmax->text().toStdString();
    e.AgreeMin = ePmin->text().toStdString(), e.AgreeMax = ePmax->text().toStdString();
    TVolumeSettings settings;
    std::string error;
    if (!ConvertVolumeEntries(e, settings, error)) {
        Say(error);
        return;
    }
    std::vector<bool> ticks(Model->Zones.size(), false);
    for (int r = 0; r < CLBVolume->count() && r < static_cast<int>(ticks.size()); ++r)
        ticks[static_cast<size_t>(r)] = CLBVolume->item(r)->checkState() == Qt::Checked;

    BtnStart->setText("Calculation STOP");
    EnableEntries(false);
    Run.Start(Model->Bodies, Model->Zones, settings, ticks);
    ShowLines();
    ShowResults();
    if (ErrorsChanged)
        ErrorsChanged();
    else if (Host)
        Host->Repaint();
    Idle->start();
}

void TFmCalVolume::VolumeStep() {
    WithinMemory([this] { Advance(); }, [this] { OutOfMemory(); }, [this] { SayOutOfMemory(); });
}

void TFmCalVolume::Advance() {
    // a row at a high level can take long: the step ends after a slice of time
    if (Run.Running()) Run.StepFor(IdleSliceSeconds);
    ShowLines();
    ShowResults();
    if (!Run.Running()) StopVolume();
}

void TFmCalVolume::OutOfMemory() {
    Run.StopOutOfMemory();
    StopVolume();
}

void TFmCalVolume::SayOutOfMemory() {
    Say("Not enough memory for the volume calculation: the run was stopped.");
}

void TFmCalVolume::StopVolume() {
    Idle->stop();
    BtnStart->setText("Calculation START");
    EnableEntries(true);
    ShowLines();
}

void TFmCalVolume::ShowLines() {
    if (Run.Revision() == ShownRevision) return;
    ShownRevision = Run.Revision();
    mMsg->setPlainText(JoinLines(Run.Lines()));
}

void TFmCalVolume::ShowResults() {
    if (Run.ResultRevision() == ShownResults) return;
    ShownResults = Run.ResultRevision();
    const auto& lines = Run.ResultLines();
    const auto& ticks = Run.ResultTicks();
    CLBVolume->clear();
    for (size_t i = 0; i < lines.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(lines[i]), CLBVolume);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(i < ticks.size() && ticks[i] ? Qt::Checked : Qt::Unchecked);
    }
}

void TFmCalVolume::BtnCloseClick() {
    done(QDialog::Accepted);
}

void TFmCalVolume::done(int result) {
    if (Run.Running()) {
        Run.StopByUser();
        StopVolume();
    }
    QDialog::done(result);
}

void TFmCalVolume::BtnHelpClick() {
    OpenHelp(Host, "setting.html");
}

void TFmCalVolume::BtnSaveFileClick() {
    std::string chosen;
    if (ChooseSaveFile) {
        chosen = ChooseSaveFile();
    } else {
        QFileDialog dialog(this, "Save File");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter("Volume File(*.dat)");
        // The overwrite question is asked below, after ".dat" has been added.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().first().toStdString();
    }
    if (chosen.empty()) return;
    std::string path = VolumeFileName(chosen);
    if (QFileInfo::exists(QString::fromStdString(path))) {
        std::string question = VolumeOverwriteQuestion(path);
        bool ok;
        if (AskOverwrite) {
            ok = AskOverwrite(question);
        } else {
            ok = QMessageBox::warning(this, windowTitle(), QString::fromStdString(question),
                                      QMessageBox::Ok | QMessageBox::Cancel,
                                      QMessageBox::Cancel) == QMessageBox::Ok;
        }
        if (!ok) return;
    }
    if (Write_VolumeFile_Dat(path)) Say("Save File Finished");
}

bool TFmCalVolume::Write_VolumeFile_Dat(const std::string& path) {
    std::string error;
    if (!WriteVolumeFile(path, Model->Zones, Run.Volumes, error)) {
        Say(error);
        return false;
    }
    return true;
}
