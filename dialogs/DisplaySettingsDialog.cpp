#include "dialogs/DisplaySettingsDialog.h"

#include "app/Animation.h"
#include "app/ColorNames.h"
#include "dialogs/Desktop.h"
#include "app/resource.h"
#include "input/Reader.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

// ---- Texts -----------------------------------------------------------------------------------

static std::string Pad(const std::string& s, size_t width, bool left) {
    if (s.size() >= width) return s;
    std::string fill(width - s.size(), ' ');
    return left ? s + fill : fill + s;
}

static std::string TrimStr(const std::string& s) {
    return std::string(TrimView(s));
}

std::string NumberEntryText(int32_t number, const std::string& colourName) {
    return Pad(std::to_string(number), 8, false) + "-" + Pad(colourName, 30, true);
}

std::string NameEntryText(const std::string& name, const std::string& colourName) {
    return Pad(name, 8, false) + "-" + Pad(colourName, 30, true);
}

// Index of the separator hyphen: character 9, or the last hyphen when the field is wider.
static size_t SeparatorPos(const std::string& entry) {
    if (entry.size() >= 9 && entry[8] == '-') return 8;
    size_t p = entry.rfind('-');
    return p == std::string::npos ? entry.size() : p;
}

void SplitEntryText(const std::string& entry, std::string& field, std::string& colourName) {
    size_t p = SeparatorPos(entry);
    field = entry.substr(0, p);
    colourName = p < entry.size() ? TrimStr(entry.substr(p + 1)) : std::string();
}

std::string RecolourEntryText(const std::string& entry, const std::string& colourName) {
    size_t p = SeparatorPos(entry);
    std::string head = entry.substr(0, p);
    return head + "-" + Pad(colourName, 30, true);
}

std::string FormatGeneral(double x, int precision) {
    if (precision < 1) precision = 1;
    if (x == 0) return "0";
    if (!std::isfinite(x)) return x != x ? "NAN" : (x > 0 ? "INF" : "-INF");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, x);
    std::string s = buf;
    size_t e = s.find('e');
    int ex = std::atoi(s.c_str() + e + 1);
    auto stripZeros = [](std::string m) {
        if (m.find('.') != std::string::npos) {
            while (!m.empty() && m.back() == '0') m.pop_back();
            if (!m.empty() && m.back() == '.') m.pop_back();
        }
        return m;
    };
    if (ex + 1 > precision || std::fabs(x) < 1e-5)
        return stripZeros(s.substr(0, e)) + "E" + (ex < 0 ? "-" : "") +
               std::to_string(std::abs(ex));
    std::snprintf(buf, sizeof buf, "%.*f", std::max(0, precision - 1 - ex), x);
    return stripZeros(buf);
}

double DlgStrToFloat(const std::string& text) {
    double v = 0;
    if (!TryStrToFloatDot(TrimView(text), v))
        throw EConvertError("'" + text + "' is not a valid floating point value");
    return v;
}

int32_t DlgStrToInt(const std::string& text) {
    int32_t v = 0;
    if (!TryStrToInt32(TrimView(text), v))
        throw EConvertError("'" + text + "' is not a valid integer value");
    return v;
}

// 10 raised to ceil(log10(size)); 1 for a size that is not positive.
static double PowerOfTenAbove(double size) {
    if (!(size > 0) || !std::isfinite(size)) return 1.0;
    return std::pow(10.0, std::ceil(std::log10(size)));
}

static std::string Str(const QString& s) {
    return s.toStdString();
}
static QString QStr(const std::string& s) {
    return QString::fromStdString(s);
}

// Colour of a colour-name text; a text that names no colour is a conversion error.
static TColor ColourOf(const std::string& text) {
    TColor c = 0;
    if (!TryStringToColor(TrimStr(text), c))
        throw EConvertError("'" + TrimStr(text) + "' is not a valid colour name");
    return c;
}

static const char* const UnitNames[4] = {"mm", "cm", "m", "km"};

// ---- Construction -----------------------------------------------------------------------------

TFmViewDlg::TFmViewDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("FmViewDlg");
    setFixedSize(632, 453);
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 4, 4, 6);
    PageControl = new QTabWidget(this);
    // 120 pixels a tab, padding included
    PageControl->setStyleSheet("QTabBar::tab { width: 108px; padding: 4px 6px; }");
    top->addWidget(PageControl, 1);
    BuildGeometryPage();
    BuildParticlePage();
    BuildGeneralPage();
    BuildDeletePage();

    auto* buttons = new QHBoxLayout();
    BtnOK = new QPushButton(this);
    BtnCancel = new QPushButton(this);
    BtnDefault = new QPushButton(this);
    BtnHelp = new QPushButton(this);
    buttons->addStretch(1);
    for (QPushButton* b : {BtnOK, BtnCancel, BtnDefault, BtnHelp}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    top->addLayout(buttons);
    connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(BtnDefault, &QPushButton::clicked, this, [this] { BtnDefaultClick(); });
    connect(BtnHelp, &QPushButton::clicked, this, [this] { BtnHelpClick(); });

    FormCreate();
}

static QLineEdit* NewEdit(QWidget* parent, int width = 80) {
    auto* e = new QLineEdit(parent);
    e->setFixedWidth(width);
    return e;
}

static QListWidget* NewCheckList(QWidget* parent) {
    auto* l = new QListWidget(parent);
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    l->setContextMenuPolicy(Qt::CustomContextMenu);
    return l;
}

void TFmViewDlg::BuildGeometryPage() {
    TSGeometry = new QWidget();
    PageControl->addTab(TSGeometry, QString());
    auto* grid = new QGridLayout(TSGeometry);

    RGViewInfo = new QGroupBox(TSGeometry);
    auto* rg = new QHBoxLayout(RGViewInfo);
    RGViewInfoButtons = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        RBViewInfo[i] = new QRadioButton(RGViewInfo);
        RGViewInfoButtons->addButton(RBViewInfo[i], i);
        rg->addWidget(RBViewInfo[i]);
    }
    connect(RGViewInfoButtons, &QButtonGroup::idClicked, this, [this](int) { RGViewInfoClick(); });
    grid->addWidget(RGViewInfo, 0, 0, 1, 3);

    CLBBody = NewCheckList(TSGeometry);
    CLBZone = NewCheckList(TSGeometry);
    CLBMaterial = NewCheckList(TSGeometry);
    PopupMenu = new QMenu(this);
    MAllCheck = PopupMenu->addAction(QString());
    MAllUnCheck = PopupMenu->addAction(QString());
    MChangeColor = PopupMenu->addAction(QString());
    connect(MAllCheck, &QAction::triggered, this, [this] { AllCheckClick(); });
    connect(MAllUnCheck, &QAction::triggered, this, [this] { AllUnCheckClick(); });
    connect(MChangeColor, &QAction::triggered, this, [this] { ChangeColorClick(); });
    int col = 0;
    for (QListWidget* l : {CLBBody, CLBZone, CLBMaterial}) {
        grid->addWidget(l, 1, col++);
        connect(l, &QListWidget::customContextMenuRequested, this,
                [this, l](const QPoint& pos) { ShowPopup(l, pos); });
    }

    auto* gbRev = new QGroupBox("Correction Option", TSGeometry);
    auto* revGrid = new QGridLayout(gbRev);
    ERevRate = NewEdit(gbRev, 100);
    ERevValue = NewEdit(gbRev, 100);
    revGrid->addWidget(new QLabel("Correction Factor :", gbRev), 0, 0);
    revGrid->addWidget(ERevRate, 0, 1);
    revGrid->addWidget(new QLabel("Correction Value :", gbRev), 1, 0);
    revGrid->addWidget(ERevValue, 1, 1);
    grid->addWidget(gbRev, 2, 0, 1, 2);

    auto* gbView = new QGroupBox("View Option", TSGeometry);
    auto* viewGrid = new QGridLayout(gbView);
    EGeoWidth = NewEdit(gbView, 60);
    viewGrid->addWidget(new QLabel("Geometry Line Width :", gbView), 0, 0);
    viewGrid->addWidget(EGeoWidth, 0, 1);
    viewGrid->setRowStretch(1, 1);
    grid->addWidget(gbView, 2, 2);
    grid->setRowStretch(1, 1);
}

void TFmViewDlg::BuildParticlePage() {
    TSParticle = new QWidget();
    PageControl->addTab(TSParticle, QString());
    auto* grid = new QGridLayout(TSParticle);
    grid->setVerticalSpacing(4);

    CLBParticle = new QListWidget(TSParticle);
    CLBParticle->setFixedHeight(62);
    grid->addWidget(CLBParticle, 0, 0);
    CBEnergyColor = new QCheckBox(TSParticle);
    grid->addWidget(CBEnergyColor, 0, 1, Qt::AlignLeft | Qt::AlignTop);
    connect(CLBParticle, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { CLBParticleClickCheck(CLBParticle->row(item)); });

    for (int i = 0; i < 3; ++i) {
        auto* gb = new QGroupBox(TSParticle);
        GBParticle[i] = gb;
        auto* g = new QGridLayout(gb);
        g->setVerticalSpacing(2);
        g->setContentsMargins(6, 4, 6, 4);
        STPclColor[i] = new QLabel(gb);
        STPclColor[i]->setFrameShape(QFrame::StyledPanel);
        STPclColor[i]->setMinimumWidth(90);
        BtnPclColor[i] = new QPushButton("...", gb);
        BtnPclColor[i]->setFixedWidth(28);
        BtnPclColor[i]->setAutoDefault(false);
        CBLineType[i] = new QComboBox(gb);
        ELineWidth[i] = NewEdit(gb, 50);
        CBEgyRange[i] = new QCheckBox(gb);
        EEgyRangeS[i] = NewEdit(gb, 118);
        EEgyRangeE[i] = NewEdit(gb, 118);
        g->addWidget(new QLabel("LineColor :", gb), 0, 0);
        g->addWidget(STPclColor[i], 0, 1);
        g->addWidget(BtnPclColor[i], 0, 2);
        g->addWidget(new QLabel("LineType :", gb), 0, 3);
        g->addWidget(CBLineType[i], 0, 4);
        g->addWidget(new QLabel("LineWidth :", gb), 0, 5);
        g->addWidget(ELineWidth[i], 0, 6);
        g->addWidget(CBEgyRange[i], 1, 0, 1, 3);
        auto* egy = new QHBoxLayout();
        egy->addWidget(EEgyRangeS[i]);
        egy->addWidget(new QLabel("-", gb));
        egy->addWidget(EEgyRangeE[i]);
        egy->addStretch(1);
        g->addLayout(egy, 1, 3, 1, 4);
        grid->addWidget(gb, i + 1, 0, 1, 2);
        const int kind = FirstKind + i;
        connect(BtnPclColor[i], &QPushButton::clicked, this,
                [this, kind] { ClrSelectClick(kind); });
        connect(CBEgyRange[i], &QCheckBox::clicked, this, [this, kind] { EgyRangeClick(kind); });
    }

    auto* gbHty = new QGroupBox(TSParticle);
    gbHty->setObjectName("GBHistory");
    auto* h = new QGridLayout(gbHty);
    h->setVerticalSpacing(2);
    h->setContentsMargins(6, 4, 6, 4);
    CBHtyRange = new QCheckBox(gbHty);
    EHtyFrom = NewEdit(gbHty, 60);
    EHtyTo = NewEdit(gbHty, 60);
    CBLastHty = new QCheckBox(gbHty);
    ELastHty = NewEdit(gbHty, 60);
    CBLatch = new QCheckBox(gbHty);
    auto* hr = new QHBoxLayout();
    hr->addWidget(CBHtyRange);
    hr->addWidget(EHtyFrom);
    hr->addWidget(new QLabel("-", gbHty));
    hr->addWidget(EHtyTo);
    hr->addStretch(1);
    h->addLayout(hr, 0, 0);
    auto* hl = new QHBoxLayout();
    hl->addWidget(CBLastHty);
    hl->addWidget(ELastHty);
    hl->addStretch(1);
    h->addLayout(hl, 1, 0);
    h->addWidget(CBLatch, 2, 0);
    grid->addWidget(gbHty, 4, 0);
    connect(CBHtyRange, &QCheckBox::clicked, this, [this] { HtyRangeClick(); });
    connect(CBLastHty, &QCheckBox::clicked, this, [this] { CbLastHtyRangeClick(); });
    connect(CBLatch, &QCheckBox::clicked, this, [this] { CbLastHtyRangeClick(); });

    auto* gbTime = new QGroupBox(TSParticle);
    gbTime->setObjectName("GBTime");
    auto* t = new QGridLayout(gbTime);
    t->setVerticalSpacing(2);
    t->setContentsMargins(6, 4, 6, 4);
    CBTime = new QCheckBox(gbTime);
    ETimeStart = NewEdit(gbTime, 80);
    ETimeEnd = NewEdit(gbTime, 80);
    ETimeStep = NewEdit(gbTime, 80);
    t->addWidget(CBTime, 0, 0, 1, 4);
    t->addWidget(new QLabel("Time range", gbTime), 1, 0);
    t->addWidget(ETimeStart, 1, 1);
    t->addWidget(new QLabel("-", gbTime), 1, 2);
    t->addWidget(ETimeEnd, 1, 3);
    t->addWidget(new QLabel("Time step", gbTime), 2, 0);
    t->addWidget(ETimeStep, 2, 1);
    grid->addWidget(gbTime, 4, 1);
    connect(CBTime, &QCheckBox::clicked, this, [this] { TimeshowClick(); });
    grid->setRowStretch(5, 1);
}

void TFmViewDlg::BuildGeneralPage() {
    TSGeneral = new QWidget();
    PageControl->addTab(TSGeneral, QString());
    auto* grid = new QGridLayout(TSGeneral);

    auto colourRow = [&](int row, const char* caption, QLabel*& text, QPushButton*& btn) {
        grid->addWidget(new QLabel(caption, TSGeneral), row, 0);
        text = new QLabel(TSGeneral);
        text->setFrameShape(QFrame::StyledPanel);
        text->setMinimumWidth(120);
        grid->addWidget(text, row, 1);
        btn = new QPushButton("...", TSGeneral);
        btn->setFixedWidth(28);
        btn->setAutoDefault(false);
        grid->addWidget(btn, row, 2);
    };
    colourRow(0, "BackGround Color :", STBackColor, BtnBackGround);
    colourRow(1, "Letter Color :", STForeColor, BtnForeGround);
    connect(BtnBackGround, &QPushButton::clicked, this, [this] { BtnBackGroundClick(); });
    connect(BtnForeGround, &QPushButton::clicked, this, [this] { BtnForeGroundClick(); });

    CBTitle = new QCheckBox(TSGeneral);
    CBMemo = new QCheckBox(TSGeneral);
    MTitle = new QPlainTextEdit(TSGeneral);
    MMemo = new QPlainTextEdit(TSGeneral);
    MTitle->setPlainText("Title");
    MMemo->setPlainText("Memo");
    grid->addWidget(CBTitle, 2, 0);
    grid->addWidget(MTitle, 2, 1, 1, 2);
    grid->addWidget(CBMemo, 3, 0);
    grid->addWidget(MMemo, 3, 1, 1, 2);
    CBLegend = new QCheckBox(TSGeneral);
    grid->addWidget(CBLegend, 4, 0, 1, 3);

    auto* gbAxis = new QGroupBox(TSGeneral);
    gbAxis->setObjectName("GBAxis");
    auto* a = new QGridLayout(gbAxis);
    CBUnit = new QComboBox(gbAxis);
    EDivSize = NewEdit(gbAxis);
    EDivSpace = NewEdit(gbAxis);
    EAllowSize = NewEdit(gbAxis);
    EStrSize = NewEdit(gbAxis);
    EStrSpace = NewEdit(gbAxis);
    const std::pair<const char*, QWidget*> rows[] = {
        {"Divisions Unit :", CBUnit},     {"Divisions Size :", EDivSize},
        {"Divisions Space :", EDivSpace}, {"Allow Size :", EAllowSize},
        {"String Size :", EStrSize},      {"String Space :", EStrSpace}};
    int r = 0;
    for (const auto& [caption, w] : rows) {
        a->addWidget(new QLabel(caption, gbAxis), r, 0);
        a->addWidget(w, r++, 1);
    }
    a->setRowStretch(r, 1);
    grid->addWidget(gbAxis, 0, 3, 5, 1);

    auto* browser = new QHBoxLayout();
    browser->addWidget(new QLabel("Browser Name", TSGeneral));
    EBrowser = new QLineEdit(TSGeneral);
    browser->addWidget(EBrowser, 1);
    BtnBrowser = new QPushButton("...", TSGeneral);
    BtnBrowser->setFixedWidth(28);
    BtnBrowser->setAutoDefault(false);
    browser->addWidget(BtnBrowser);
    grid->addLayout(browser, 5, 0, 1, 4);
    connect(BtnBrowser, &QPushButton::clicked, this, [this] { BtnBrowserClick(); });
    grid->setColumnStretch(1, 1);
}

void TFmViewDlg::BuildDeletePage() {
    TSDelete = new QWidget();
    PageControl->addTab(TSDelete, QString());
    auto* v = new QVBoxLayout(TSDelete);
    CBCut = new QCheckBox(TSDelete);
    v->addWidget(CBCut);
    GBCutArea = new QGroupBox(TSDelete);
    auto* g = new QGridLayout(GBCutArea);
    const char* caps[6] = {"X Min :", "X Max :", "Y Min :", "Y Max :", "Z Min :", "Z Max :"};
    for (int i = 0; i < 6; ++i) {
        ECut[i] = NewEdit(GBCutArea, 120);
        g->addWidget(new QLabel(caps[i], GBCutArea), i / 2, (i % 2) * 2);
        g->addWidget(ECut[i], i / 2, (i % 2) * 2 + 1);
    }
    g->setColumnStretch(4, 1);
    v->addWidget(GBCutArea);
    v->addStretch(1);
    connect(CBCut, &QCheckBox::clicked, this, [this] { CBCutClick(); });
}

// ---- Handlers ----------------------------------------------------------------------------------

void TFmViewDlg::FormCreate() {
    setWindowTitle("Environment for display");
    PageControl->setTabText(0, "geometry display");
    PageControl->setTabText(1, "Particle display");
    PageControl->setTabText(2, "General display");
    PageControl->setTabText(3, "Delete Part");
    PageControl->setCurrentIndex(1);
    BtnOK->setText("OK");
    BtnCancel->setText("CANCEL");
    BtnDefault->setText("DEFAULT");
    BtnHelp->setText("HELP");

    RGViewInfo->setTitle("Select Display Type");
    RBViewInfo[0]->setText("Body");
    RBViewInfo[1]->setText("Zone");
    RBViewInfo[2]->setText("Material");
    RBViewInfo[0]->setChecked(true);
    MAllCheck->setText("All Check");
    MAllUnCheck->setText("All UnCheck");
    MChangeColor->setText("ChangeColor");
    CLBBody->setEnabled(true);
    CLBZone->setEnabled(false);
    CLBMaterial->setEnabled(false);

    CLBParticle->blockSignals(true);
    CLBParticle->clear();
    for (const char* n : {"Display Photon", "Display Electron", "Display Positron"}) {
        auto* item = new QListWidgetItem(n, CLBParticle);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    CLBParticle->blockSignals(false);
    CBEnergyColor->setText("Colour Tracks by Energy");
    CBEnergyColor->setToolTip("Each segment takes the colour of its start point's energy on a "
                              "logarithmic scale; the legend shows the colour bar.");
    for (int i = 0; i < 3; ++i) {
        GBParticle[i]->setTitle(ParticleNames[i]);
        CBLineType[i]->clear();
        for (const char* n : LineKindNames) CBLineType[i]->addItem(n);
        CBEgyRange[i]->setText("Specify Energy Range");
    }
    findChild<QGroupBox*>("GBHistory")->setTitle("Specify History Range");
    CBHtyRange->setText("Specify");
    CBLastHty->setText("DisplayCount From LastHistory");
    CBLatch->setText("Use Lacth");
    findChild<QGroupBox*>("GBTime")->setTitle("Specify time option");
    CBTime->setText("Specify");

    CBTitle->setText("Title Display");
    CBMemo->setText("Memo Display");
    CBLegend->setText("Legend for Particle Display");
    findChild<QGroupBox*>("GBAxis")->setTitle("Axis Setting");
    CBUnit->clear();
    for (const char* u : UnitNames) CBUnit->addItem(u);

    CBCut->setText("Delete Part Of Geometry");
    GBCutArea->setTitle("Deleting Area");
    UpdateEnabledStates();
}

QListWidget* TFmViewDlg::GeometryList(int type) const {
    return type == 1 ? CLBZone : type == 2 ? CLBMaterial : CLBBody;
}

int TFmViewDlg::ViewInfoIndex() const {
    int id = RGViewInfoButtons->checkedId();
    return id < 0 ? 0 : id;
}

void TFmViewDlg::SetViewInfoIndex(int type) {
    if (type < 0 || type > 2) type = 0;
    RBViewInfo[type]->setChecked(true);
}

void TFmViewDlg::RGViewInfoClick() {
    CLBBody->setEnabled(false);
    CLBZone->setEnabled(false);
    CLBMaterial->setEnabled(false);
    GeometryList(ViewInfoIndex())->setEnabled(true);
}

void TFmViewDlg::ShowPopup(QListWidget* list, const QPoint& pos) {
    if (!list->isEnabled()) return;
    PopupList = list;
    PopupMenu->popup(list->viewport()->mapToGlobal(pos));
}

void TFmViewDlg::SetCheckAll(bool checked) {
    if (!PopupList) return;
    for (int i = 0; i < PopupList->count(); ++i) {
        QListWidgetItem* item = PopupList->item(i);
        if (item->flags() & Qt::ItemIsEnabled)
            item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

void TFmViewDlg::AllCheckClick() {
    SetCheckAll(true);
}
void TFmViewDlg::AllUnCheckClick() {
    SetCheckAll(false);
}

bool TFmViewDlg::AskColour(TColor& colour) {
    if (PickColor) return PickColor(colour);
    QColor start(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    QColor c = QColorDialog::getColor(start, this);
    if (!c.isValid()) return false;
    colour = static_cast<TColor>(c.red()) | (static_cast<TColor>(c.green()) << 8) |
             (static_cast<TColor>(c.blue()) << 16);
    return true;
}

// The colour swatch beside a geometry list entry, from the colour name in its text; none
// while the text names no colour.
static void SetSwatch(QListWidgetItem* item) {
    std::string field, name;
    SplitEntryText(Str(item->text()), field, name);
    TColor c = 0;
    if (!TryStringToColor(name, c)) {
        item->setIcon(QIcon());
        return;
    }
    QPixmap swatch(12, 12);
    swatch.fill(Qt::darkGray);
    QPainter p(&swatch);
    p.fillRect(1, 1, 10, 10, QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    p.end();
    item->setIcon(QIcon(swatch));
}

// Colour named by a text, or black when it names none (the picker's start colour only).
static TColor StartColour(const QString& text) {
    TColor c = 0;
    if (!TryStringToColor(TrimStr(Str(text)), c)) c = 0;
    return c;
}

void TFmViewDlg::ChangeColorClick() {
    if (!PopupList || PopupList->currentRow() < 0) return;
    std::string field, name;
    SplitEntryText(Str(PopupList->currentItem()->text()), field, name);
    TColor c = StartColour(QStr(name));
    if (!AskColour(c)) return;
    const std::string newName = ColorToString(c);
    for (int i = 0; i < PopupList->count(); ++i) {
        QListWidgetItem* item = PopupList->item(i);
        if (!item->isSelected()) continue;
        item->setText(QStr(RecolourEntryText(Str(item->text()), newName)));
        SetSwatch(item);
    }
}

static bool ItemChecked(const QListWidget* list, int row) {
    const QListWidgetItem* item = list->item(row);
    return item && item->checkState() == Qt::Checked;
}

void TFmViewDlg::CLBParticleClickCheck(int index) {
    if (index < 0 || index > 2) return;
    const bool on = ItemChecked(CLBParticle, index);
    STPclColor[index]->setEnabled(on);
    BtnPclColor[index]->setEnabled(on);
    CBLineType[index]->setEnabled(on);
    CBEgyRange[index]->setEnabled(on);
    EEgyRangeS[index]->setEnabled(on && CBEgyRange[index]->isChecked());
    EEgyRangeE[index]->setEnabled(on && CBEgyRange[index]->isChecked());
}

void TFmViewDlg::EgyRangeClick(int kind) {
    const int i = ParticleIndex(kind);
    if (i < 0) return;
    EEgyRangeS[i]->setEnabled(CBEgyRange[i]->isChecked());
    EEgyRangeE[i]->setEnabled(CBEgyRange[i]->isChecked());
}

void TFmViewDlg::ClrSelectClick(int kind) {
    const int i = ParticleIndex(kind);
    if (i < 0) return;
    TColor c = StartColour(STPclColor[i]->text());
    if (AskColour(c)) STPclColor[i]->setText(QStr(ColorToString(c)));
}

void TFmViewDlg::HtyRangeClick() {
    const bool on = CBHtyRange->isChecked();
    EHtyFrom->setEnabled(on);
    EHtyTo->setEnabled(on);
    if (on) {
        CBLastHty->setChecked(false);
        ELastHty->setEnabled(false);
    }
}

void TFmViewDlg::CbLastHtyRangeClick() {
    const bool on = CBLastHty->isChecked();
    ELastHty->setEnabled(on);
    if (on) {
        CBHtyRange->setChecked(false);
        EHtyFrom->setEnabled(false);
        EHtyTo->setEnabled(false);
    }
}

void TFmViewDlg::TimeshowClick() {
    const bool on = CBTime->isChecked();
    ETimeStart->setEnabled(on);
    ETimeEnd->setEnabled(on);
    ETimeStep->setEnabled(on);
}

void TFmViewDlg::BtnBackGroundClick() {
    TColor c = StartColour(STBackColor->text());
    if (AskColour(c)) STBackColor->setText(QStr(ColorToString(c)));
}

void TFmViewDlg::BtnForeGroundClick() {
    TColor c = StartColour(STForeColor->text());
    if (AskColour(c)) STForeColor->setText(QStr(ColorToString(c)));
}

void TFmViewDlg::BtnBrowserClick() {
    std::string path;
    if (PickProgram)
        path = PickProgram();
    else
        path = Str(QFileDialog::getOpenFileName(this, QString(), QString(), "Execute File(*)"));
    if (!path.empty()) EBrowser->setText(QStr(path));
}

void TFmViewDlg::CBCutClick() {
    for (QLineEdit* e : ECut) e->setEnabled(CBCut->isChecked());
}

void TFmViewDlg::BtnHelpClick() {
    const std::string program = Settings ? Settings->BrowserName : TrimStr(Str(EBrowser->text()));
    const std::string exeDir = ExeDir.empty() ? ExecutableDir() : ExeDir;
    if (RunHelp)
        RunHelp(program, HelpPageUrl(exeDir, "setdlg.html"));
    else
        OpenHelpPage("setdlg.html", program, exeDir);
}

// Enabled states that follow the check boxes, after the controls were set from code.
void TFmViewDlg::UpdateEnabledStates() {
    for (int i = 0; i < 3; ++i) CLBParticleClickCheck(i);
    EHtyFrom->setEnabled(CBHtyRange->isChecked());
    EHtyTo->setEnabled(CBHtyRange->isChecked());
    ELastHty->setEnabled(CBLastHty->isChecked());
    TimeshowClick();
    CBCutClick();
}

// ---- Filling and taking back -----------------------------------------------------------------

void TFmViewDlg::FillGeometryLists(const TGeometry& g, bool defaults) {
    auto addItem = [](QListWidget* list, const std::string& text, bool checked, bool enabled) {
        auto* item = new QListWidgetItem(QStr(text), list);
        SetSwatch(item);
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable;
        if (enabled) flags |= Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        item->setFlags(flags);
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    };
    CLBBody->clear();
    CLBZone->clear();
    CLBMaterial->clear();
    for (size_t i = 0; i < g.Bodies.size(); ++i) {
        const TGeoData& b = g.Bodies[i];
        const bool has = i < g.BodyLooks.size();
        TColor c = defaults ? PaletteColor(b.Number) : has ? g.BodyLooks[i].Color : 0;
        bool vis = defaults || (has && g.BodyLooks[i].Visible);
        addItem(CLBBody, NumberEntryText(b.Number, ColorToString(c)), vis, true);
    }
    for (size_t i = 0; i < g.Zones.size(); ++i) {
        const TZoneData& z = g.Zones[i];
        const bool has = i < g.ZoneLooks.size();
        TColor c = defaults ? PaletteColor(z.Material) : has ? g.ZoneLooks[i].Color : 0;
        bool vis = defaults || (has && g.ZoneLooks[i].Visible);
        addItem(CLBZone, NameEntryText(z.Name, ColorToString(c)), vis, defaults || z.Material >= 1);
    }
    for (size_t i = 0; i < g.Materials.size(); ++i) {
        const TMaterialLook& m = g.Materials[i];
        TColor c = defaults ? PaletteColor(static_cast<int64_t>(i)) : m.Color;
        addItem(CLBMaterial, NumberEntryText(m.Number, ColorToString(c)), defaults || m.Visible,
                true);
    }
}

static QString NumText(double x, int precision = 15) {
    return QStr(FormatGeneral(x, precision));
}

void TFmViewDlg::Fill(const TDisplaySettings& s, const TGeometry& geometry) {
    SetViewInfoIndex(s.ViewInfoType);
    FillGeometryLists(geometry, false);

    CLBParticle->blockSignals(true);
    for (int i = 0; i < 3; ++i) {
        const TParticleStyle& p = s.ParticleStyles[i];
        CLBParticle->item(i)->setCheckState(p.OnOff ? Qt::Checked : Qt::Unchecked);
        STPclColor[i]->setText(QStr(ColorToString(p.Color)));
        CBLineType[i]->setCurrentIndex(p.LineKind >= 0 && p.LineKind < LineKindCount ? p.LineKind
                                                                                     : 0);
        ELineWidth[i]->setText(NumText(p.LineWidth, 5));
        CBEgyRange[i]->setChecked(p.EgyRange);
        EEgyRangeS[i]->setText(QStr(FormatExp(p.EgyRangeS, 7, 3)));
        EEgyRangeE[i]->setText(QStr(FormatExp(p.EgyRangeE, 7, 3)));
    }
    CLBParticle->blockSignals(false);
    CBEnergyColor->setChecked(s.ColorByEnergy);

    CBHtyRange->setChecked(s.HistRangeOn);
    CBTime->setChecked(s.TimeOn);
    CBLastHty->setChecked(s.LastHistOn);
    CBLatch->setChecked(s.LatchOn);
    EHtyFrom->setText(QString::number(s.HistFrom));
    EHtyTo->setText(QString::number(s.HistTo));
    ELastHty->setText(QString::number(s.LastHistCount));

    EDivSpace->setText(NumText(s.DivSpace, 5));
    EDivSize->setText(NumText(s.DivSize, 5));
    EAllowSize->setText(NumText(s.AllowSize, 5));
    EStrSize->setText(NumText(s.StrSize, 5));
    EStrSpace->setText(QString::number(s.StrSpace));
    int unit = CBUnit->findText(QStr(s.Units));
    if (unit < 0) {
        // An unknown unit from elsewhere stays selectable rather than being lost.
        CBUnit->addItem(QStr(s.Units));
        unit = CBUnit->count() - 1;
    }
    CBUnit->setCurrentIndex(unit);

    CBCut->setChecked(s.CutOn);
    for (int i = 0; i < 6; ++i) ECut[i]->setText(NumText(s.CutBox.Params[i]));
    ERevRate->setText(NumText(s.ReviseRate));
    ERevValue->setText(NumText(s.ReviseValue));
    char w[64];
    std::snprintf(w, sizeof w, "%.1f", s.GeoWidth);
    EGeoWidth->setText(w);
    STBackColor->setText(QStr(ColorToString(s.BackColor)));
    STForeColor->setText(QStr(ColorToString(s.ForeColor)));
    EBrowser->setText(QStr(s.BrowserName));
    CBTitle->setChecked(s.TitleOn);
    CBMemo->setChecked(s.MemoOn);
    CBLegend->setChecked(s.LegendOn);
    UpdateEnabledStates();
}

void TFmViewDlg::SetTimeChecked(bool on) {
    CBTime->setChecked(on);
    TimeshowClick();
}

void TFmViewDlg::SetTimeFields(TDisplaySettings& s) {
    if (s.HasTime) {
        ETimeEnd->setText(QStr(FormatTimeField(1.1 * s.MaxTime)));
        ETimeStep->setText(QStr(FormatTimeField(1.1 * s.MaxTime / 10)));
        SetTimeChecked(true);
        s.TimeOn = true;
    } else {
        ETimeEnd->setText("1.0E+30");
        ETimeStep->setText("0");
        SetTimeChecked(false);
        s.TimeOn = false;
    }
}

void TFmViewDlg::BtnDefaultClick() {
    EGeoWidth->setText("1.0");
    CBHtyRange->setChecked(false);
    EHtyFrom->clear();
    EHtyTo->clear();
    CBLastHty->setChecked(true);
    ELastHty->setText("1");
    CBLatch->setChecked(true);
    CBCut->setChecked(false);
    for (QLineEdit* e : ECut) e->clear();

    CLBParticle->blockSignals(true);
    for (int i = 0; i < 3; ++i) {
        CLBParticle->item(i)->setCheckState(Qt::Checked);
        STPclColor[i]->setText(QStr(ColorToString(DefaultParticleStyle(FirstKind + i).Color)));
        CBLineType[i]->setCurrentIndex(0);
        ELineWidth[i]->setText("1");
        CBEgyRange[i]->setChecked(false);
        EEgyRangeS[i]->setText("0");
        EEgyRangeE[i]->setText("1e15");
    }
    CLBParticle->blockSignals(false);
    CBEnergyColor->setChecked(false);

    const double u = PowerOfTenAbove(CameraSize);
    EDivSpace->setText(NumText(0.01 * u, 5));
    EDivSize->setText(NumText(0.0025 * u, 5));
    EAllowSize->setText(NumText(0.01 * u, 5));
    EStrSize->setText(NumText(0.01 * u, 5));
    CBUnit->setCurrentIndex(1);
    EStrSpace->setText("5");

    STBackColor->setText(QStr(ColorToString(0x000000)));
    STForeColor->setText(QStr(ColorToString(0xFFFFFF)));
    ERevRate->setText("1E-6");
    ERevValue->setText("0.005");

    if (Geometry) FillGeometryLists(*Geometry, true);

    ETimeStep->setText("0");
    ETimeStart->setText("0");
    if (Settings) {
        SetTimeFields(*Settings);
    } else {
        ETimeEnd->setText("1.0E+30");
        SetTimeChecked(false);
    }
    UpdateEnabledStates();
}

// Reads one geometry list back: the field before the separator, the colour and the check.
template <typename F>
static void TakeList(QListWidget* list, std::vector<TColor>& saved, F store) {
    saved.resize(static_cast<size_t>(list->count()));
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        std::string field, name;
        SplitEntryText(Str(item->text()), field, name);
        try {
            const TColor c = ColourOf(name);
            store(static_cast<size_t>(i), field, c, item->checkState() == Qt::Checked);
            saved[static_cast<size_t>(i)] = c;
        } catch (const EConvertError& e) {
            throw EFieldError(e, list, i);
        }
    }
}

// Conversions of one control's text; a failure names the control.
template <typename T, typename Convert>
static T Take(QWidget* field, const QString& text, Convert convert) {
    try {
        return convert(Str(text));
    } catch (const EConvertError& e) {
        throw EFieldError(e, field);
    }
}
static double Real(QLineEdit* e) {
    return Take<double>(e, e->text(), DlgStrToFloat);
}
static int32_t Int(QLineEdit* e) {
    return Take<int32_t>(e, e->text(), DlgStrToInt);
}
static TColor Colour(QLabel* l) {
    return Take<TColor>(l, l->text(), ColourOf);
}
static bool IsEmptyField(const QLineEdit* e) {
    return e->text().trimmed().isEmpty();
}

void TFmViewDlg::Apply(TDisplaySettings& s, TGeometry& g, const TTracks& tracks) const {
    s.ViewInfoType = ViewInfoIndex();

    TakeList(CLBBody, s.GColor, [&](size_t i, const std::string& f, TColor c, bool vis) {
        const int32_t number = DlgStrToInt(f);
        if (i < g.Bodies.size()) g.Bodies[i].Number = number;
        if (g.BodyLooks.size() <= i) g.BodyLooks.resize(i + 1);
        g.BodyLooks[i].Color = c;
        g.BodyLooks[i].Visible = vis;
    });
    TakeList(CLBZone, s.ZColor, [&](size_t i, const std::string& f, TColor c, bool vis) {
        // The name field was padded on the left for the list; the padding is not the name's.
        if (i < g.Zones.size()) g.Zones[i].Name = TrimStr(f);
        if (g.ZoneLooks.size() <= i) g.ZoneLooks.resize(i + 1);
        g.ZoneLooks[i].Color = c;
        g.ZoneLooks[i].Visible = vis;
    });
    TakeList(CLBMaterial, s.MColor, [&](size_t i, const std::string& f, TColor c, bool vis) {
        const int32_t number = DlgStrToInt(f);
        if (g.Materials.size() <= i) g.Materials.resize(i + 1);
        g.Materials[i].Number = number;
        g.Materials[i].Color = c;
        g.Materials[i].Visible = vis;
    });

    for (int i = 0; i < 3; ++i) {
        TParticleStyle& p = s.ParticleStyles[i];
        p.OnOff = ItemChecked(CLBParticle, i);
        p.Color = Colour(STPclColor[i]);
        p.LineKind = CBLineType[i]->currentIndex() < 0 ? 0 : CBLineType[i]->currentIndex();
        p.LineWidth = Int(ELineWidth[i]);
        p.EgyRange = CBEgyRange[i]->isChecked();
        p.EgyRangeS = IsEmptyField(EEgyRangeS[i]) ? 0.0 : Real(EEgyRangeS[i]);
        p.EgyRangeE = IsEmptyField(EEgyRangeE[i]) ? 1e15 : Real(EEgyRangeE[i]);
    }

    s.ColorByEnergy = CBEnergyColor->isChecked();
    s.HistRangeOn = CBHtyRange->isChecked();
    s.TimeOn = CBTime->isChecked();
    s.LatchOn = CBLatch->isChecked();

    if (!tracks.empty()) {
        s.LastHistOn = CBLastHty->isChecked();
        s.HistFrom = IsEmptyField(EHtyFrom) ? 1 : Int(EHtyFrom);
        s.HistTo = IsEmptyField(EHtyTo) ? tracks.back().HistoryNo : Int(EHtyTo);
        const int32_t count = Int(ELastHty);
        s.LastHistCount = count < 1 ? 1 : count;
        s.HistStep = s.HistRangeOn ? s.HistTo - s.HistFrom + 1 : -1;
    }

    s.DivSpace = Real(EDivSpace);
    s.DivSize = Real(EDivSize);
    s.StrSpace = Int(EStrSpace);
    s.StrSize = Real(EStrSize);
    s.AllowSize = Real(EAllowSize);
    s.Units = Str(CBUnit->currentText());

    s.CutOn = CBCut->isChecked();
    const double u = PowerOfTenAbove(s.SceneSize);
    for (int i = 0; i < 6; ++i)
        s.CutBox.Params[i] = IsEmptyField(ECut[i]) ? (i % 2 == 0 ? -u : u) : Real(ECut[i]);

    s.BackColor = Colour(STBackColor);
    s.ForeColor = Colour(STForeColor);
    s.ReviseRate = Real(ERevRate);
    s.ReviseValue = Real(ERevValue);
    s.GeoWidth = Real(EGeoWidth);

    s.TitleOn = CBTitle->isChecked();
    s.TitleText = Str(MTitle->toPlainText());
    s.MemoOn = CBMemo->isChecked();
    s.MemoText = Str(MMemo->toPlainText());
    s.LegendOn = CBLegend->isChecked();
    s.BrowserName = TrimStr(Str(EBrowser->text()));
}

bool TFmViewDlg::CheckEntries() {
    TDisplaySettings scratch = Settings ? *Settings : TDisplaySettings();
    TGeometry noGeometry;
    const TTracks noTracks;
    try {
        Apply(scratch, noGeometry, Tracks ? *Tracks : noTracks);
    } catch (const EFieldError& e) {
        ShowError(e.what());
        for (QWidget* page : {TSGeometry, TSParticle, TSGeneral, TSDelete})
            if (page->isAncestorOf(e.Field)) PageControl->setCurrentWidget(page);
        if (auto* list = qobject_cast<QListWidget*>(e.Field); list && e.Row >= 0)
            list->setCurrentRow(e.Row);
        e.Field->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(e.Field)) edit->selectAll();
        return false;
    }
    return true;
}

void TFmViewDlg::accept() {
    if (CheckEntries()) QDialog::accept();
}

void TFmViewDlg::KeepUnfilledTexts() {
    KeptTexts = {MTitle->toPlainText(), MMemo->toPlainText(), ETimeStart->text(),
                 ETimeEnd->text(), ETimeStep->text()};
}

void TFmViewDlg::RestoreUnfilledTexts() {
    MTitle->setPlainText(KeptTexts[0]);
    MMemo->setPlainText(KeptTexts[1]);
    ETimeStart->setText(KeptTexts[2]);
    ETimeEnd->setText(KeptTexts[3]);
    ETimeStep->setText(KeptTexts[4]);
}
