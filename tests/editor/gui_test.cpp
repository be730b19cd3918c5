// The editor's grid and dialog under a display.
#include "tests/TestApp.h"
#include "dialogs/Desktop.h"
#include "input/Reader.h"
#include "dialogs/EditorGrid.h"
#include "dialogs/GeometryEditor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

QApplication& App() {
    return *TestApp();
}

struct TTempDir {
    std::filesystem::path Path;
    TTempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "editor-gui-XXXXXX").string();
        Path = mkdtemp(t.data());
    }
    ~TTempDir() { std::filesystem::remove_all(Path); }
    QString operator/(const char* n) const { return QString::fromStdString((Path / n).string()); }
};

std::string ReadFile(const QString& p) {
    std::ifstream in(p.toStdString(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const QString& p, const std::string& text) {
    std::ofstream(p.toStdString(), std::ios::binary) << text;
}

// Fills a row from column 1 on.
void Fill(TCGGrid* g, int row, const QStringList& cells) {
    while (g->RowCount() <= row) g->AppendRow();
    for (int i = 0; i < cells.size(); ++i) g->SetCell(i + 1, row, cells[i]);
}

QStringList RowCells(TCGGrid* g, int row, int count) {
    QStringList out;
    for (int c = 1; c <= count; ++c) out << g->Cell(c, row);
    return out;
}

// Answers the dialog's message boxes and questions, recording them.
struct THooks {
    std::vector<std::string> Messages, Questions;
    bool Answer = true;
    THooks() {
        App(); // before any widget of the fixture
        MessageBoxHook = [this](const std::string& t) { Messages.push_back(t); };
        QuestionHook = [this](const std::string& t) {
            Questions.push_back(t);
            return Answer;
        };
    }
    ~THooks() {
        MessageBoxHook = nullptr;
        QuestionHook = nullptr;
    }
};

// A dialog with a small valid geometry typed in.
struct TDialog {
    THooks Hooks;
    TFmMakeDlg Dlg{nullptr};
    TDialog() {
        App();
        Fill(Dlg.SGGeo, 1, {"RPP", "1", "-10", "10", "-10", "10", "-10", "10"});
        Fill(Dlg.SGGeo, 2, {"SPH", "2", "0", "0", "0", "5"});
        Fill(Dlg.SGZon, 1, {"1", "2"});
        Fill(Dlg.SGZon, 2, {"2", "1", "-2"});
        Fill(Dlg.SGZon, 3, {"0", "-1"});
    }
    // Shown and active, so that the keyboard reaches it.
    bool ShowActive() {
        Dlg.show();
        Dlg.activateWindow();
        return QTest::qWaitForWindowActive(&Dlg);
    }
    ~TDialog() {
        Dlg.OpenDirChosen.clear(); // keep the test runs out of the settings file
        Dlg.SaveDirChosen.clear();
    }
};

} // namespace

TEST(EditorGrid, LabelsAndRowOperations) {
    App();
    TCGGrid g;
    g.SetColCount(5);
    g.SetNumbering(true);
    EXPECT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.Cell(0, 1), "Z0001");
    Fill(&g, 3, {"a"});
    Fill(&g, 1, {"x"});
    g.InsertRow(2);
    EXPECT_EQ(g.RowCount(), 5);
    EXPECT_EQ(g.Cell(1, 2), "");
    EXPECT_EQ(g.Cell(1, 4), "a");
    EXPECT_EQ(g.Cell(0, 4), "Z0004");
    g.DeleteRow(1);
    EXPECT_EQ(g.Cell(1, 3), "a");
    EXPECT_EQ(g.Cell(0, 3), "Z0003");
    g.ClearAll();
    EXPECT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.Cell(1, 1), "");
    g.DeleteRow(1); // one data row always stays
    EXPECT_EQ(g.RowCount(), 2);

    // past row 9999 every label reads Z9999
    g.setRowCount(9999);
    g.Renumber(1);
    g.InsertRow(5);
    g.AppendRow();
    EXPECT_EQ(g.Cell(0, 9999), "Z9999");
    EXPECT_EQ(g.Cell(0, 10000), "Z9999");
    EXPECT_EQ(g.Cell(0, 10001), "Z9999");
    EXPECT_EQ(g.Cell(0, 9998), "Z9998");
}

TEST(EditorGrid, KeysAndLeavingTheGrid) {
    TDialog d;
    ASSERT_TRUE(d.ShowActive());
    TCGGrid* g = d.Dlg.SGGeo;
    g->setFocus();
    g->SetCurrent(1, 2);
    QTest::keyClick(g, Qt::Key_Down);
    EXPECT_EQ(g->RowCount(), 4);
    EXPECT_EQ(g->CurrentRow(), 3);
    // Return moves right and does not press a button
    QTest::keyClick(g, Qt::Key_Return);
    EXPECT_EQ(g->CurrentCol(), 2);
    EXPECT_TRUE(d.Dlg.isVisible());
    // typing into the new row keeps it while the editor has the focus
    QTest::keyClick(g, 'S');
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "PH");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(g->CurrentCol(), 3);
    EXPECT_EQ(g->Cell(2, 3), "SPH");
    EXPECT_EQ(g->RowCount(), 4);
    g->SetCell(2, 3, "");
    // leaving for another control removes the blank rows
    QTest::keyClick(g, Qt::Key_Down);
    EXPECT_EQ(g->RowCount(), 5);
    d.Dlg.SGZon->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(g->RowCount(), 3);
    EXPECT_EQ(g->Cell(1, 2), "SPH");
    d.Dlg.hide();
}

TEST(EditorGrid, RowModeAndPopupItems) {
    TDialog d;
    d.Dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d.Dlg));
    TCGGrid* g = d.Dlg.SGZon;
    QHeaderView* vh = g->verticalHeader();
    QTest::mouseClick(vh->viewport(), Qt::LeftButton, {},
                      QPoint(vh->width() / 2, vh->sectionViewportPosition(1) + 5));
    EXPECT_TRUE(g->RowMode());
    EXPECT_EQ(g->CurrentRow(), 2);
    EXPECT_EQ(g->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(g->editTriggers(), QAbstractItemView::NoEditTriggers);
    d.Dlg.PopupGrid = g;
    d.Dlg.PMenuPopup();
    EXPECT_TRUE(d.Dlg.PMCut->isVisible());
    EXPECT_TRUE(d.Dlg.PMRowIns->isVisible());
    EXPECT_FALSE(d.Dlg.PMDel->isVisible());
    EXPECT_FALSE(d.Dlg.PMIns->isVisible());
    // a right click on a cell keeps the row selected
    QRect cell = g->visualRect(g->model()->index(0, 3));
    QTest::mousePress(g->viewport(), Qt::RightButton, {}, cell.center());
    QTest::mouseRelease(g->viewport(), Qt::RightButton, {}, cell.center());
    EXPECT_TRUE(g->RowMode());
    EXPECT_EQ(g->CurrentRow(), 2);
    // a left click on a cell goes back to cell mode
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_FALSE(g->RowMode());
    EXPECT_EQ(g->CurrentRow(), 1);
    EXPECT_EQ(g->CurrentCol(), 4);
    d.Dlg.PMenuPopup();
    EXPECT_FALSE(d.Dlg.PMCut->isVisible());
    EXPECT_TRUE(d.Dlg.PMDel->isVisible());
    EXPECT_TRUE(d.Dlg.PMIns->isVisible());
    d.Dlg.hide();
}

TEST(EditorDialog, ClipboardCommands) {
    TDialog d;
    TCGGrid* z = d.Dlg.SGZon;
    d.Dlg.PopupGrid = z;
    z->SetCurrent(1, 2);
    d.Dlg.PMCutClick(); // row 2 emptied, keeps its label
    EXPECT_EQ(z->RowCount(), 4);
    EXPECT_EQ(RowCells(z, 2, 3), QStringList({"", "", ""}));
    EXPECT_EQ(z->Cell(0, 2), "Z0002");
    EXPECT_EQ(d.Dlg.RowClipboard, "Z0002,2,1,-2" + QString(",").repeated(ZoneColCount - 4));
    z->SetCurrent(1, 3);
    d.Dlg.PMInsPasteClick(); // pasted above row 3, label of the target row
    EXPECT_EQ(z->RowCount(), 5);
    EXPECT_EQ(z->Cell(0, 3), "Z0003");
    EXPECT_EQ(RowCells(z, 3, 4), QStringList({"2", "1", "-2", " "}));
    EXPECT_EQ(RowCells(z, 4, 2), QStringList({"0", "-1"}));
    EXPECT_EQ(z->Cell(0, 4), "Z0004");
    z->SetCurrent(1, 1);
    d.Dlg.PMCopyClick();
    z->SetCurrent(1, 4);
    d.Dlg.PMPasteClick();
    EXPECT_EQ(RowCells(z, 4, 2), QStringList({"1", "2"}));
    EXPECT_EQ(z->Cell(0, 4), "Z0004");
    d.Dlg.PMRowDelClick();
    EXPECT_EQ(z->RowCount(), 4);
    z->SetCurrent(1, 1);
    d.Dlg.PMRowInsClick();
    EXPECT_EQ(z->RowCount(), 5);
    EXPECT_EQ(RowCells(z, 1, 2), QStringList({"", ""}));
    EXPECT_EQ(RowCells(z, 2, 2), QStringList({"1", "2"}));

    // cell shifts on the body grid
    TCGGrid* g = d.Dlg.SGGeo;
    d.Dlg.PopupGrid = g;
    g->SetCurrent(3, 1);
    d.Dlg.PMInsClick();
    EXPECT_EQ(RowCells(g, 1, 5), QStringList({"RPP", "1", "", "-10", "10"}));
    d.Dlg.PMDelClick();
    EXPECT_EQ(RowCells(g, 1, 4), QStringList({"RPP", "1", "-10", "10"}));
    // the clipboard is shared: a zone row pasted into the body grid lands cell by cell
    d.Dlg.RowClipboard = "Z0001,7,3";
    g->SetCurrent(1, 2);
    d.Dlg.PMPasteClick();
    EXPECT_EQ(RowCells(g, 2, 3), QStringList({"7", "3", ""}));
}

TEST(EditorDialog, CancelRestoresTheShownTables) {
    TDialog d;
    d.Dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d.Dlg));
    d.Dlg.SGGeo->SetCell(1, 1, "BOX");
    d.Dlg.SGZon->AppendRow();
    d.Dlg.SGZon->SetCell(1, 4, "9");
    d.Hooks.Answer = false; // "Cancel" on the question: nothing happens
    d.Dlg.BtnCancelClick();
    EXPECT_TRUE(d.Dlg.isVisible());
    EXPECT_EQ(d.Dlg.SGGeo->Cell(1, 1), "BOX");
    d.Hooks.Answer = true;
    d.Dlg.BtnCancelClick();
    ASSERT_EQ(d.Hooks.Questions.size(), 2u);
    EXPECT_EQ(d.Hooks.Questions[0], "Clear Edited Data! Cansel OK?");
    EXPECT_FALSE(d.Dlg.isVisible());
    EXPECT_EQ(d.Dlg.result(), QDialog::Rejected);
    EXPECT_EQ(d.Dlg.SGGeo->Cell(1, 1), "RPP");
    EXPECT_EQ(d.Dlg.SGGeo->Cell(2, 1), "1");
    EXPECT_EQ(d.Dlg.SGZon->RowCount(), 4);
    EXPECT_EQ(d.Dlg.SGZon->Cell(0, 3), "Z0003");
    // cells that were empty come back holding one blank
    EXPECT_EQ(d.Dlg.SGZon->Cell(4, 3), " ");
}

TEST(EditorDialog, SaveOpenRoundTripsAndQuestions) {
    TDialog d;
    TTempDir dir;
    // no extension: ".geo" is appended
    ASSERT_TRUE(d.Dlg.SaveFile(dir / "first"));
    EXPECT_TRUE(std::filesystem::exists((dir / "first.geo").toStdString()));
    EXPECT_EQ(d.Dlg.windowTitle(), "Making Geometry - " + (dir / "first.geo"));
    // an existing file is overwritten only after OK
    d.Hooks.Answer = false;
    d.Dlg.SGGeo->SetCell(2, 1, "33");
    EXPECT_FALSE(d.Dlg.SaveFile(dir / "first.geo"));
    ASSERT_EQ(d.Hooks.Questions.size(), 1u);
    EXPECT_EQ(d.Hooks.Questions[0], "first.geo is Found! OverWrite OK?");
    EXPECT_EQ(ReadFile(dir / "first.geo").find(" 33 "), std::string::npos);
    d.Hooks.Answer = true;
    ASSERT_TRUE(d.Dlg.SaveFile(dir / "first.geo"));
    EXPECT_NE(ReadFile(dir / "first.geo").find("   33 "), std::string::npos);
    ASSERT_TRUE(d.Dlg.SaveFile(dir / "second.CSV"));
    EXPECT_EQ(ReadFile(dir / "second.CSV").substr(0, 21), "RPP,33,-10,10,-10,10,");

    const TGeoTable geo = d.Dlg.SGGeo->ToTable(), zon = d.Dlg.SGZon->ToTable();
    for (const char* name : {"first.geo", "second.CSV"}) {
        d.Dlg.SGGeo->ClearAll();
        d.Dlg.SGZon->ClearAll();
        ASSERT_TRUE(d.Dlg.OpenFile(dir / name));
        EXPECT_EQ(d.Dlg.SGGeo->ToTable(), geo) << name;
        EXPECT_EQ(d.Dlg.SGZon->ToTable(), zon) << name;
        EXPECT_EQ(d.Dlg.windowTitle(), "Making Geometry - " + (dir / name));
    }
    // a ".CSV" file is split at commas whatever the case of its extension
    WriteFile(dir / "third.CsV", "sph,4,0,0,0,1,\nEND\nZ1,4,\nEND\n3,\n");
    ASSERT_TRUE(d.Dlg.OpenFile(dir / "third.CsV"));
    EXPECT_EQ(RowCells(d.Dlg.SGGeo, 1, 6), QStringList({"SPH", "4", "0", "0", "0", "1"}));
    EXPECT_EQ(RowCells(d.Dlg.SGZon, 1, 2), QStringList({"3", "4"}));
    // opening renews the snapshot
    d.Dlg.SGGeo->SetCell(1, 1, "XXX");
    d.Dlg.RestoreSnapshot();
    EXPECT_EQ(d.Dlg.SGGeo->Cell(1, 1), "SPH");
    // a missing file leaves the tables and reports
    EXPECT_FALSE(d.Dlg.OpenFile(dir / "none.geo"));
    EXPECT_EQ(d.Dlg.SGGeo->Cell(1, 1), "SPH");
    EXPECT_FALSE(d.Hooks.Messages.empty());
    // a cell that would split on reading is saved only after OK
    d.Dlg.SGGeo->SetCell(3, 1, "1,5");
    d.Hooks.Answer = false;
    EXPECT_FALSE(d.Dlg.SaveFile(dir / "fourth.csv"));
    EXPECT_FALSE(std::filesystem::exists((dir / "fourth.csv").toStdString()));
    EXPECT_NE(d.Hooks.Questions.back().find("Body Data Row 1, Column 3"), std::string::npos);
    d.Hooks.Answer = true;
    EXPECT_TRUE(d.Dlg.SaveFile(dir / "fourth.csv"));
    // a file that cannot be written is reported and the caption stays
    const QString caption = d.Dlg.windowTitle();
    EXPECT_FALSE(d.Dlg.SaveFile(dir / "missing/x.geo"));
    EXPECT_EQ(d.Dlg.windowTitle(), caption);
}

TEST(EditorDialog, ViewValidatesWritesAndAccepts) {
    TDialog d;
    d.Dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d.Dlg));
    // a fault keeps the dialog open with one message; cells before it are normalised
    d.Dlg.SGGeo->SetCell(1, 1, " rpp ");
    d.Dlg.SGZon->SetCell(3, 2, "8");
    std::filesystem::remove(TFmMakeDlg::ViewerFilePath());
    d.Dlg.BtnOKClick();
    ASSERT_EQ(d.Hooks.Messages.size(), 1u);
    EXPECT_EQ(d.Hooks.Messages[0], "zone error : Z0002 ,Geometry Number 8 is None");
    EXPECT_TRUE(d.Dlg.isVisible());
    EXPECT_EQ(d.Dlg.SGGeo->Cell(1, 1), "RPP");
    EXPECT_FALSE(std::filesystem::exists(TFmMakeDlg::ViewerFilePath()));

    d.Dlg.SGZon->SetCell(3, 2, "-2");
    d.Dlg.BtnOKClick();
    EXPECT_EQ(d.Hooks.Messages.size(), 1u);
    EXPECT_FALSE(d.Dlg.isVisible());
    EXPECT_EQ(d.Dlg.result(), QDialog::Accepted);
    const std::string text = ReadFile(QString::fromStdString(TFmMakeDlg::ViewerFilePath()));
    EXPECT_EQ(text.substr(0, 10), "CSTA-FREE\n");
    EXPECT_NE(text.find("Z0002         1        -2\n"), std::string::npos);
    EXPECT_NE(text.find("MSTA\n3\n   1    2    0 \nMEND\n"), std::string::npos);
}

// Clicking the current cell again and typing at once must type into that cell: no keyboard
// search may jump to another row that starts with the typed character.
TEST(EditorGrid, TypingRightAfterASecondClickStaysInTheCell) {
    TDialog d;
    TCGGrid* z = d.Dlg.SGZon;
    Fill(z, 1, {"1", "6", "OR", "7"});
    Fill(z, 2, {"2", "5", "OR", "6"});
    ASSERT_TRUE(d.ShowActive());
    const QPoint term = z->visualRect(z->model()->index(0, 1)).center();
    QTest::mouseClick(z->viewport(), Qt::LeftButton, {}, term);
    Pump(QApplication::doubleClickInterval() + 100); // two clicks, not a double-click
    QTest::mouseClick(z->viewport(), Qt::LeftButton, {}, term);
    // The keys go where the keyboard is. Another test's window on the same display can take
    // the activation away, so without a focus widget they go to the open cell editor, or to
    // the grid itself, where the old keyboard search would show.
    auto keyboard = [z]() -> QWidget* {
        if (QWidget* w = QApplication::focusWidget()) return w;
        for (QLineEdit* e : z->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) return e;
        return z;
    };
    for (const char* key : {"5", "3"})
        QTest::keyClicks(keyboard(), key);
    Pump(QApplication::doubleClickInterval() + 100);
    QTest::keyClick(keyboard(), Qt::Key_Return);
    Pump(50);
    EXPECT_EQ(z->Cell(2, 1), "53");
    EXPECT_EQ(z->Cell(2, 2), "5");
    EXPECT_EQ(z->Cell(4, 2), "6");
    d.Dlg.hide();
}

// Of the two grids only the focused one shows its current cell; the cell stays current and
// shows again when the focus comes back. Long numbers are not elided.
TEST(EditorGrid, OnlyTheFocusedGridShowsItsCurrentCell) {
    TDialog d;
    ASSERT_TRUE(d.ShowActive());
    TCGGrid* g = d.Dlg.SGGeo;
    TCGGrid* z = d.Dlg.SGZon;
    g->setFocus();
    g->SetCurrent(3, 1);
    Pump(20);
    EXPECT_TRUE(g->selectionModel()->isSelected(g->currentIndex()));
    z->setFocus();
    z->SetCurrent(2, 2);
    Pump(20);
    EXPECT_FALSE(g->selectionModel()->hasSelection());
    EXPECT_EQ(g->CurrentCol(), 3);
    EXPECT_TRUE(z->selectionModel()->isSelected(z->currentIndex()));
    g->setFocus();
    Pump(20);
    EXPECT_FALSE(z->selectionModel()->hasSelection());
    EXPECT_TRUE(g->selectionModel()->isSelected(g->currentIndex()));
    EXPECT_EQ(g->textElideMode(), Qt::ElideNone);
    d.Dlg.hide();
}

// Edits not saved to a file: a "*" in the title, and OPEN FILE and Escape ask before they are
// dropped.
TEST(EditorDialog, UnsavedEditsAreMarkedAndNeverDroppedUnasked) {
    TDialog d;
    TTempDir dir;
    ASSERT_TRUE(d.ShowActive());
    QApplication::processEvents();
    EXPECT_TRUE(d.Dlg.HasUnsavedEdits()); // typed in, never saved
    EXPECT_TRUE(d.Dlg.windowTitle().endsWith(" *")) << d.Dlg.windowTitle().toStdString();
    ASSERT_TRUE(d.Dlg.SaveFile(dir / "saved.geo"));
    QApplication::processEvents();
    EXPECT_FALSE(d.Dlg.HasUnsavedEdits());
    EXPECT_EQ(d.Dlg.windowTitle(), "Making Geometry - " + (dir / "saved.geo"));

    d.Dlg.SGGeo->SetCell(6, 2, "7");
    QApplication::processEvents();
    EXPECT_TRUE(d.Dlg.HasUnsavedEdits());
    EXPECT_EQ(d.Dlg.windowTitle(), "Making Geometry - " + (dir / "saved.geo") + " *");

    // OPEN FILE: "Cancel" keeps the edit and opens nothing
    int chosen = 0;
    d.Dlg.ChooseOpenFile = [&] {
        ++chosen;
        return dir / "saved.geo";
    };
    d.Hooks.Answer = false;
    d.Dlg.BtnOpenFileClick();
    ASSERT_EQ(d.Hooks.Questions.size(), 1u);
    EXPECT_EQ(chosen, 0);
    EXPECT_EQ(d.Dlg.SGGeo->Cell(6, 2), "7");
    // Escape asks CANCEL's question; "Cancel" keeps the dialog open
    QTest::keyClick(&d.Dlg, Qt::Key_Escape);
    ASSERT_EQ(d.Hooks.Questions.size(), 2u);
    EXPECT_EQ(d.Hooks.Questions[1], "Clear Edited Data! Cansel OK?");
    EXPECT_TRUE(d.Dlg.isVisible());
    // OK drops the edit: the file comes back unmarked
    d.Hooks.Answer = true;
    d.Dlg.BtnOpenFileClick();
    EXPECT_EQ(chosen, 1);
    QApplication::processEvents();
    EXPECT_EQ(d.Dlg.SGGeo->Cell(6, 2).trimmed(), "5");
    EXPECT_FALSE(d.Dlg.HasUnsavedEdits());
    EXPECT_FALSE(d.Dlg.windowTitle().endsWith(" *"));
    // nothing to lose: OPEN FILE asks nothing
    const size_t asked = d.Hooks.Questions.size();
    d.Dlg.BtnOpenFileClick();
    EXPECT_EQ(d.Hooks.Questions.size(), asked);
}
