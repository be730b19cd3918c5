// "Environment for display": the modal dialog that edits every display setting. The dialog
// manages its controls; Fill and Apply move values between the controls and the settings.
#pragma once

#include "geometry/MyCGUnit.h"
#include "input/DisplaySettings.h"
#include "input/Reader.h"
#include "input/Tracks.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QAction;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

// ---- Texts of the geometry lists and numbers shown in the fields (no Qt) -----------------

// "%8d-%-30s": number right-aligned in 8 characters, hyphen, colour name in 30.
std::string NumberEntryText(int32_t number, const std::string& colourName);
// "%8s-%-30s" with a zone name.
std::string NameEntryText(const std::string& name, const std::string& colourName);
// Splits an entry into the field before its separator hyphen and the trimmed colour name.
// The separator is character 9; a field wider than 8 characters (a long zone name or a
// 9-digit number) ends at the last hyphen instead, so nothing of the field is lost.
void SplitEntryText(const std::string& entry, std::string& field, std::string& colourName);
// The entry with its colour replaced; the field and the separator stay as they are.
std::string RecolourEntryText(const std::string& entry, const std::string& colourName);

// General number text with up to `precision` significant digits; exponent form ("1E-6",
// "1.2346E15") for values below 1e-5 or with more integer digits than `precision`.
std::string FormatGeneral(double x, int precision = 15);

// Trimmed text to a real ("." separator) or a 32-bit integer; EConvertError naming the
// text when it is not one.
double DlgStrToFloat(const std::string& text);
int32_t DlgStrToInt(const std::string& text);

// A conversion error of one control: the field (and the list row) that holds the bad text.
class EFieldError : public EConvertError {
  public:
    EFieldError(const EConvertError& e, QWidget* field, int row = -1)
        : EConvertError(e), Field(field), Row(row) {}
    QWidget* Field;
    int Row;
};

// ---- The dialog ---------------------------------------------------------------------------

class TFmViewDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TFmViewDlg(QWidget* parent = nullptr);

    // Buttons below the pages.
    QTabWidget* PageControl = nullptr;
    QWidget* TSGeometry = nullptr;
    QWidget* TSParticle = nullptr;
    QWidget* TSGeneral = nullptr;
    QWidget* TSDelete = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;
    QPushButton* BtnDefault = nullptr;
    QPushButton* BtnHelp = nullptr;

    // "geometry display"
    QGroupBox* RGViewInfo = nullptr;
    std::array<QRadioButton*, 3> RBViewInfo{};
    QButtonGroup* RGViewInfoButtons = nullptr;
    QListWidget* CLBBody = nullptr;
    QListWidget* CLBZone = nullptr;
    QListWidget* CLBMaterial = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* MAllCheck = nullptr;
    QAction* MAllUnCheck = nullptr;
    QAction* MChangeColor = nullptr;
    QListWidget* PopupList = nullptr; // the list the pop-up menu was opened on
    QLineEdit* ERevRate = nullptr;
    QLineEdit* ERevValue = nullptr;
    QLineEdit* EGeoWidth = nullptr;

    // "Particle display"; per-particle arrays are indexed 0 photon, 1 electron, 2 positron.
    QListWidget* CLBParticle = nullptr;
    QCheckBox* CBEnergyColor = nullptr; // tracks coloured by energy
    std::array<QGroupBox*, 3> GBParticle{};
    std::array<QLabel*, 3> STPclColor{};
    std::array<QPushButton*, 3> BtnPclColor{};
    std::array<QComboBox*, 3> CBLineType{};
    std::array<QLineEdit*, 3> ELineWidth{};
    std::array<QCheckBox*, 3> CBEgyRange{};
    std::array<QLineEdit*, 3> EEgyRangeS{};
    std::array<QLineEdit*, 3> EEgyRangeE{};
    QCheckBox* CBHtyRange = nullptr;
    QLineEdit* EHtyFrom = nullptr;
    QLineEdit* EHtyTo = nullptr;
    QCheckBox* CBLastHty = nullptr;
    QLineEdit* ELastHty = nullptr;
    QCheckBox* CBLatch = nullptr;
    QCheckBox* CBTime = nullptr;
    QLineEdit* ETimeStart = nullptr;
    QLineEdit* ETimeEnd = nullptr;
    QLineEdit* ETimeStep = nullptr;

    // "General display"
    QLabel* STBackColor = nullptr;
    QLabel* STForeColor = nullptr;
    QPushButton* BtnBackGround = nullptr;
    QPushButton* BtnForeGround = nullptr;
    QCheckBox* CBTitle = nullptr;
    QCheckBox* CBMemo = nullptr;
    QPlainTextEdit* MTitle = nullptr;
    QPlainTextEdit* MMemo = nullptr;
    QCheckBox* CBLegend = nullptr;
    QComboBox* CBUnit = nullptr;
    QLineEdit* EDivSize = nullptr;
    QLineEdit* EDivSpace = nullptr;
    QLineEdit* EAllowSize = nullptr;
    QLineEdit* EStrSize = nullptr;
    QLineEdit* EStrSpace = nullptr;
    QLineEdit* EBrowser = nullptr;
    QPushButton* BtnBrowser = nullptr;

    // "Delete Part": limits in the order X Min, X Max, Y Min, Y Max, Z Min, Z Max.
    QCheckBox* CBCut = nullptr;
    QGroupBox* GBCutArea = nullptr;
    std::array<QLineEdit*, 6> ECut{};

    // Handlers (control states only).
    void FormCreate();
    void RGViewInfoClick();
    void AllCheckClick();
    void AllUnCheckClick();
    void ChangeColorClick();
    void CLBParticleClickCheck(int index);
    void EgyRangeClick(int kind);
    void ClrSelectClick(int kind);
    void HtyRangeClick();
    void CbLastHtyRangeClick();
    void TimeshowClick();
    void BtnBackGroundClick();
    void BtnForeGroundClick();
    void BtnBrowserClick();
    void CBCutClick();
    void BtnDefaultClick();
    void BtnHelpClick();

    // What the dialog reads besides its controls: the settings it shows (DEFAULT changes
    // TimeOn at once), the camera size for the axis defaults, the loaded geometry for the
    // default lists, and the program directory for the help page.
    TDisplaySettings* Settings = nullptr;
    const TGeometry* Geometry = nullptr;
    const TTracks* Tracks = nullptr;
    double CameraSize = 1000.0;
    std::string ExeDir;

    // Replaceable for tests: colour picker (true and the colour on OK), program picker
    // (empty when cancelled) and the help launcher (program, argument).
    std::function<bool(TColor& colour)> PickColor;
    std::function<std::string()> PickProgram;
    std::function<void(const std::string& program, const std::string& argument)> RunHelp;

    // Geometry list of a display type (0 bodies, 1 zones, 2 materials).
    QListWidget* GeometryList(int type) const;
    int ViewInfoIndex() const;
    void SetViewInfoIndex(int type); // without RGViewInfoClick

    // Time fields as after opening a file: with a time column end 1.1*MaxTime and step a
    // tenth of that, "Specify" checked; without, "1.0E+30", "0", unchecked. The start field
    // stays. Sets settings.TimeOn to match.
    void SetTimeFields(TDisplaySettings& settings);
    // Only the time "Specify" check box.
    void SetTimeChecked(bool on);

    // Controls from the settings and the geometry (everything but the title and memo
    // texts, the time fields and the enabled states of the geometry lists).
    void Fill(const TDisplaySettings& settings, const TGeometry& geometry);
    // Takes the controls back in their fixed order; throws EFieldError at the first text
    // that is not a number, leaving what was applied before it. Title, memo and legend
    // flags and texts go into the settings; the main window shows them.
    void Apply(TDisplaySettings& settings, TGeometry& geometry, const TTracks& tracks) const;
    // Converts every entry as Apply would, changing nothing; false after showing the first
    // bad text with the error box and putting the focus on its field.
    bool CheckEntries();
    // OK closes the dialog only when every entry converts.
    void accept() override;

    // The texts that showing the dialog does not refill (title, memo, time fields): kept
    // before it is shown and put back when it is closed with anything but OK.
    void KeepUnfilledTexts();
    void RestoreUnfilledTexts();

  private:
    void BuildGeometryPage();
    void BuildParticlePage();
    void BuildGeneralPage();
    void BuildDeletePage();
    void ShowPopup(QListWidget* list, const QPoint& pos);
    void SetCheckAll(bool checked);
    void UpdateEnabledStates();
    bool AskColour(TColor& colour);
    void FillGeometryLists(const TGeometry& geometry, bool defaults);
    std::array<QString, 5> KeptTexts;
};
