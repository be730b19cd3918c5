#include "EditorGrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

namespace {
std::string ToStd(const QString& s) {
    return s.toStdString();
}
QString FromStd(const std::string& s) {
    return QString::fromStdString(s);
}
} // namespace

TCGGrid::TCGGrid(QWidget* parent) : QTableWidget(parent) {
    setRowCount(1);
    setColumnCount(1);
    verticalHeader()->setDefaultSectionSize(16);
    verticalHeader()->setMinimumSectionSize(12);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // the header row does nothing on a click; the label column is handled below
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->setHighlightSections(true);
    verticalHeader()->viewport()->installEventFilter(this);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setCornerButtonEnabled(false);
    // numbers such as 1.2345E+003 are shown whole, not as "1...." in the narrow columns
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    if (auto* corner = findChild<QAbstractButton*>()) {
        Corner = corner;
        corner->installEventFilter(this);
    }
    SetRowMode(false);
    SetLabel(0, QString());
    connect(qApp, &QApplication::focusChanged, this, &TCGGrid::FocusChanged);
}

void TCGGrid::SetNumbering(bool on) {
    FNumbering = on;
    Renumber(1);
}

void TCGGrid::SetColCount(int count) {
    setColumnCount(std::max(count - 1, 1));
}

void TCGGrid::SetColWidth(int col, int width) {
    if (col == 0)
        verticalHeader()->setFixedWidth(width);
    else
        setColumnWidth(col - 1, width);
}

QString TCGGrid::Cell(int col, int row) const {
    if (row == 0) {
        if (col == 0) return CornerText;
        const QTableWidgetItem* h = horizontalHeaderItem(col - 1);
        return h ? h->text() : QString();
    }
    if (col == 0) {
        const QTableWidgetItem* v = verticalHeaderItem(row - 1);
        return v ? v->text() : QString();
    }
    const QTableWidgetItem* it = item(row - 1, col - 1);
    return it ? it->text() : QString();
}

void TCGGrid::SetCell(int col, int row, const QString& text) {
    if (row < 0 || col < 0 || row >= RowCount() || col >= ColCount()) return;
    if (row == 0) {
        if (col == 0) {
            CornerText = text;
            if (Corner) Corner->update();
            return;
        }
        setHorizontalHeaderItem(col - 1, new QTableWidgetItem(text));
        return;
    }
    if (col == 0) {
        SetLabel(row, text);
        return;
    }
    QTableWidgetItem* it = item(row - 1, col - 1);
    if (!it) {
        if (text.isEmpty()) return;
        setItem(row - 1, col - 1, new QTableWidgetItem(text));
    } else if (it->text() != text) {
        it->setText(text);
    }
}

void TCGGrid::SetLabel(int row, const QString& text) {
    if (row < 1 || row >= RowCount()) return;
    QTableWidgetItem* v = verticalHeaderItem(row - 1);
    if (!v) {
        v = new QTableWidgetItem(text);
        v->setTextAlignment(Qt::AlignCenter);
        setVerticalHeaderItem(row - 1, v);
    } else if (v->text() != text) {
        v->setText(text);
    }
}

void TCGGrid::Renumber(int fromRow) {
    for (int r = std::max(fromRow, 1); r < RowCount(); ++r)
        if (FNumbering)
            SetLabel(r, FromStd(ZoneLabel(r)));
        else if (!verticalHeaderItem(r - 1))
            SetLabel(r, QString()); // no default row numbers in an unnumbered grid
}

void TCGGrid::AppendRow() {
    insertRow(rowCount());
    Renumber(RowCount() - 1);
}

void TCGGrid::InsertRow(int at) {
    if (at < 1 || at > RowCount()) return;
    insertRow(at - 1);
    Renumber(at);
}

void TCGGrid::DeleteRow(int at) {
    if (at < 1 || at >= RowCount()) return;
    if (rowCount() > 1) {
        removeRow(at - 1);
    } else {
        for (int c = 0; c < columnCount(); ++c) delete takeItem(at - 1, c);
        SetLabel(at, QString());
    }
    Renumber(at);
}

void TCGGrid::ClearAll() {
    clearContents();
    setRowCount(1);
    SetLabel(1, QString());
    Renumber(0);
}

QString TCGGrid::RowCommaText(int row) const {
    TGeoRow cells(static_cast<size_t>(ColCount()));
    for (int c = 0; c < ColCount(); ++c) cells[static_cast<size_t>(c)] = ToStd(Cell(c, row));
    return FromStd(RowToCommaText(cells));
}

void TCGGrid::SetRowCommaText(int row, const QString& text) {
    TGeoRow cells(static_cast<size_t>(ColCount()));
    RowFromCommaText(cells, ToStd(text));
    for (int c = 0; c < ColCount(); ++c) SetCell(c, row, FromStd(cells[static_cast<size_t>(c)]));
}

void TCGGrid::DeleteCell(int col, int row) {
    if (row < 1 || row >= RowCount()) return;
    TGeoRow cells(static_cast<size_t>(ColCount()));
    for (int c = 0; c < ColCount(); ++c) cells[static_cast<size_t>(c)] = ToStd(Cell(c, row));
    RowDeleteCell(cells, col);
    for (int c = 1; c < ColCount(); ++c) SetCell(c, row, FromStd(cells[static_cast<size_t>(c)]));
}

void TCGGrid::InsertCell(int col, int row) {
    if (row < 1 || row >= RowCount()) return;
    TGeoRow cells(static_cast<size_t>(ColCount()));
    for (int c = 0; c < ColCount(); ++c) cells[static_cast<size_t>(c)] = ToStd(Cell(c, row));
    RowInsertCell(cells, col);
    for (int c = 1; c < ColCount(); ++c) SetCell(c, row, FromStd(cells[static_cast<size_t>(c)]));
}

int TCGGrid::CurrentRow() const {
    return currentRow() < 0 ? 0 : currentRow() + 1;
}
int TCGGrid::CurrentCol() const {
    return currentColumn() < 0 ? 0 : currentColumn() + 1;
}

void TCGGrid::SetCurrent(int col, int row) {
    if (row < 1 || row >= RowCount()) return;
    col = std::clamp(col, 1, ColCount() - 1);
    setCurrentCell(row - 1, col - 1);
}

void TCGGrid::SetRowMode(bool on) {
    FRowMode = on;
    if (on) {
        CommitEdit();
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
    } else {
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setSelectionMode(QAbstractItemView::ContiguousSelection);
        // No SelectedClicked: Qt opens that editor only after the double-click interval and
        // meanwhile hands typed keys to its keyboard search, which moves to another row. A
        // click on the current cell opens the editor at once instead (mouseReleaseEvent).
        setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::AnyKeyPressed);
    }
}

void TCGGrid::RemoveBlankRows() {
    for (int r = RowCount() - 1; r >= 1; --r) {
        QString joined;
        for (int c = 1; c < ColCount(); ++c) joined += Cell(c, r);
        if (joined.trimmed().isEmpty()) DeleteRow(r);
    }
}

void TCGGrid::CommitEdit() {
    if (state() != QAbstractItemView::EditingState) return;
    QWidget* editor = QApplication::focusWidget();
    if (editor && editor != this && isAncestorOf(editor)) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

TGeoTable TCGGrid::ToTable() const {
    TGeoTable t(static_cast<size_t>(RowCount()), TGeoRow(static_cast<size_t>(ColCount())));
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c)
            t[static_cast<size_t>(r)][static_cast<size_t>(c)] = ToStd(Cell(c, r));
    return t;
}

void TCGGrid::FromTable(const TGeoTable& table) {
    clearContents();
    setRowCount(std::max<int>(static_cast<int>(table.size()) - 1, 1));
    StoreRows(table, 1, static_cast<int>(table.size()) - 1);
    Renumber(1);
}

void TCGGrid::StoreRows(const TGeoTable& table, int fromRow, int toRow) {
    toRow = std::min({toRow, RowCount() - 1, static_cast<int>(table.size()) - 1});
    for (int r = std::max(fromRow, 1); r <= toRow; ++r) {
        const TGeoRow& row = table[static_cast<size_t>(r)];
        const int cols = std::min<int>(ColCount(), static_cast<int>(row.size()));
        for (int c = 0; c < cols; ++c) SetCell(c, r, FromStd(row[static_cast<size_t>(c)]));
    }
}

void TCGGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (event->button() == Qt::RightButton) {
            // a selected row stays selected for the popup menu
            if (FRowMode || !index.isValid()) return;
            setCurrentIndex(index);
            return;
        }
        if (index.isValid() && FRowMode) SetRowMode(false);
        ClickedCurrent = event->button() == Qt::LeftButton && index.isValid() && hasFocus() &&
                                 index == currentIndex() &&
                                 selectionModel()->isSelected(index)
                             ? QPersistentModelIndex(index)
                             : QPersistentModelIndex();
    }
    QTableWidget::mousePressEvent(event);
}

void TCGGrid::mouseReleaseEvent(QMouseEvent* event) {
    QTableWidget::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && !FRowMode && ClickedCurrent.isValid() &&
        index == ClickedCurrent && state() != QAbstractItemView::EditingState)
        edit(index);
    ClickedCurrent = QPersistentModelIndex();
}

void TCGGrid::keyboardSearch(const QString&) {
    // typed text belongs to the current cell, never to a search through the column
}

void TCGGrid::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Down && event->modifiers() == Qt::NoModifier &&
        currentRow() == rowCount() - 1) {
        CommitEdit();
        AppendRow();
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // moves on to the next cell; never reaches the dialog's buttons
        event->accept();
        auto moveRight = [this] {
            if (currentColumn() >= 0 && currentColumn() < columnCount() - 1)
                setCurrentCell(currentRow(), currentColumn() + 1);
        };
        if (state() == QAbstractItemView::EditingState)
            // the cell editor has already queued its own commit and close: move after it
            QMetaObject::invokeMethod(this, moveRight, Qt::QueuedConnection);
        else
            moveRight();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

bool TCGGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == verticalHeader()->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        const int row = verticalHeader()->logicalIndexAt(me->position().toPoint());
        if (row >= 0 && (me->button() == Qt::LeftButton || me->button() == Qt::RightButton)) {
            SetRowMode(true);
            setFocus(Qt::MouseFocusReason);
            setCurrentCell(row, std::max(currentColumn(), 0));
            selectRow(row);
        }
        return me->button() == Qt::LeftButton;
    }
    if (watched == Corner && event->type() == QEvent::Paint) {
        PaintCorner(Corner);
        return true;
    }
    return QTableWidget::eventFilter(watched, event);
}

void TCGGrid::PaintCorner(QWidget* corner) {
    QPainter painter(corner);
    QStyleOptionHeader opt;
    opt.initFrom(corner);
    // the corner button itself is disabled (no select-all); its caption reads like a header
    opt.state = QStyle::State_Raised | QStyle::State_Horizontal;
    if (isEnabled()) opt.state |= QStyle::State_Enabled;
    opt.palette = horizontalHeader()->palette();
    opt.rect = corner->rect();
    opt.position = QStyleOptionHeader::OnlyOneSection;
    opt.text = CornerText;
    opt.textAlignment = Qt::AlignCenter;
    style()->drawControl(QStyle::CE_Header, &opt, &painter, corner);
}

void TCGGrid::FocusChanged(QWidget* old, QWidget* now) {
    // Leaving the grid for another control of the same window; the cell editor and other
    // windows (message boxes, menus) do not count.
    if (!old || !now || now == this || isAncestorOf(now)) return;
    if (old != this && !isAncestorOf(old)) return;
    if (now->window() != window()) return;
    RemoveBlankRows();
    // Only the grid the keyboard acts on shows its current cell; the cell stays current.
    selectionModel()->clearSelection();
}

void TCGGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    const QModelIndex current = currentIndex();
    if (!current.isValid() || selectionModel()->hasSelection()) return;
    selectionModel()->select(current, FRowMode ? QItemSelectionModel::Select |
                                                     QItemSelectionModel::Rows
                                               : QItemSelectionModel::Select);
}
