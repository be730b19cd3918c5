// String grid of the geometry editor: row labels, automatic row handling and row operations.
//
// Addresses use the table's own coordinates: row 0 is the header row (the horizontal header),
// column 0 the fixed label column (the vertical header); data cells start at row 1, column 1.
#pragma once

#include "tools/core/GeoTable.h"

#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>
#include <QTableWidget>

class TCGGrid : public QTableWidget {
    Q_OBJECT
    Q_PROPERTY(bool Numbering READ Numbering WRITE SetNumbering)
  public:
    explicit TCGGrid(QWidget* parent = nullptr);

    // Row labels "Z%.4d" (from row 10000 on "Z9999") in the fixed column.
    bool Numbering() const { return FNumbering; }
    void SetNumbering(bool on);

    int RowCount() const { return rowCount() + 1; }    // with the header row
    int ColCount() const { return columnCount() + 1; } // with the fixed column
    void SetColCount(int count);                       // with the fixed column
    void SetColWidth(int col, int width);
    // Cell text; row 0 is the header, column 0 the label.
    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

    // Row operations; each keeps the labels right from the first changed row on.
    void Renumber(int fromRow);
    void AppendRow();
    void InsertRow(int at);
    void DeleteRow(int at); // keeps one data row
    void ClearAll();

    // Comma text of a whole row (label first) and its reverse.
    QString RowCommaText(int row) const;
    void SetRowCommaText(int row, const QString& text);
    // Cell shifts within a row, from column `col` on.
    void DeleteCell(int col, int row);
    void InsertCell(int col, int row);

    // Current data row (1..) and column (1..); 0 when there is none.
    int CurrentRow() const;
    int CurrentCol() const;
    void SetCurrent(int col, int row);

    // Row mode: whole rows are selected and cells are not edited (after a click on the label
    // column); cell mode otherwise.
    bool RowMode() const { return FRowMode; }
    void SetRowMode(bool on);

    // Deletes every data row whose cells (label column aside) are all blank, from the last
    // row up; at least one data row stays. Runs when the focus leaves the grid.
    void RemoveBlankRows();
    // Ends an open cell editor, keeping what was typed.
    void CommitEdit();

    // The whole grid as a table, and back (the table's row 0 and column count are ignored
    // beyond what fits).
    TGeoTable ToTable() const;
    void FromTable(const TGeoTable& table);
    // Only the data cells of the given row range (header row untouched).
    void StoreRows(const TGeoTable& table, int fromRow, int toRow);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void focusInEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FocusChanged(QWidget* old, QWidget* now);
    void SetLabel(int row, const QString& text);
    void PaintCorner(QWidget* corner);
    bool FNumbering = false;
    bool FRowMode = false;
    QString CornerText;
    QWidget* Corner = nullptr;
    QPersistentModelIndex ClickedCurrent; // a press on the already current cell
};
