// The list control as an accessible table: shown rows and columns, cells made on demand and
// kept until the rows change, and the selection and focus events a screen reader announces.
#include "platform/GridAccessible.h"

#include "platform/Grid.h"
#include "platform/GridCellAccessible.h"

#include <QApplication>
#include <QScrollBar>
#include <algorithm>

const QString GridAccessible::HIDDEN_PASSWORD = QStringLiteral("hidden password");

namespace {

GridAccessible* tableOf(Grid* grid)
{
    return dynamic_cast<GridAccessible*>(QAccessible::queryAccessibleInterface(grid));
}

} // namespace

GridAccessible::GridAccessible(Grid* grid) : QAccessibleWidget(grid, QAccessible::Table)
{
    m_connections.push_back(
        QObject::connect(grid, &Grid::rowsChanged, grid, [this] { gridRowsChanged(); }));
    m_connections.push_back(
        QObject::connect(grid, &Grid::selectionChanged, grid, [this] { announceSelection(true); }));
    // The list's own focus event comes after the focus moves: the selected row follows it.
    m_connections.push_back(QObject::connect(
        qApp, &QApplication::focusChanged, grid, [grid](QWidget* /*old*/, QWidget* now) {
            if (now != grid) {
                return;
            }
            QMetaObject::invokeMethod(
                grid,
                [grid] {
                    if (GridAccessible* table = tableOf(grid)) {
                        table->announceSelection(false);
                    }
                },
                Qt::QueuedConnection);
        }));
}

GridAccessible::~GridAccessible()
{
    for (const QMetaObject::Connection& connection : m_connections) {
        QObject::disconnect(connection);
    }
    dropCells();
}

Grid* GridAccessible::grid() const
{
    return static_cast<Grid*>(widget());
}

void* GridAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface) {
        return static_cast<QAccessibleTableInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

bool GridAccessible::hiddenInWindow() const
{
    return !grid()->isWindow() && !grid()->isVisibleTo(grid()->window());
}

void GridAccessible::refresh() const
{
    const bool hidden = isValid() && hiddenInWindow();
    if (!m_dirty && hidden == m_hidden) {
        return;
    }
    m_rows.clear();
    m_rowTops.clear();
    m_rowIndex.clear();
    m_columns.clear();
    if (!isValid()) {
        return;
    }
    m_dirty = false;
    m_hidden = hidden;
    if (hidden) {
        // A list its window hides (the locked window) shows nothing to anyone.
        return;
    }
    const Grid* list = grid();
    m_rowIndex.assign(static_cast<std::size_t>(list->GridRowCount()), -1);
    int top = 0;
    for (int r = 1; r <= list->GridRowCount(); ++r) {
        if (list->isGridRowVisible(r)) {
            m_rowIndex[static_cast<std::size_t>(r - 1)] = static_cast<int>(m_rows.size());
            m_rows.push_back(r);
            m_rowTops.push_back(top);
            top += list->gridRowHeight(r);
        }
    }
    for (int c = 1; c <= list->GridColumnCount(); ++c) {
        if (list->GridColumnVisible(c)) {
            m_columns.push_back(c);
        }
    }
}

void GridAccessible::dropCells() const
{
    for (const auto& entry : m_cells) {
        QAccessible::deleteAccessibleInterface(entry.second);
    }
    m_cells.clear();
}

void GridAccessible::gridRowsChanged()
{
    // The cells stood for grid rows that may now hold other entries or be gone.
    dropCells();
    if (!m_dirty) {
        m_dirty = true;
        QAccessibleTableModelChangeEvent event(grid(),
                                               QAccessibleTableModelChangeEvent::ModelReset);
        Notify(&event);
    }
}

void GridAccessible::modelChange(QAccessibleTableModelChangeEvent* /*event*/)
{
    dropCells();
    m_dirty = true;
}

QAccessibleInterface* GridAccessible::cell(int lGridRow, int lGridColumn) const
{
    const auto key = std::make_pair(lGridRow, lGridColumn);
    const auto found = m_cells.find(key);
    if (found != m_cells.end()) {
        if (QAccessibleInterface* known = QAccessible::accessibleInterface(found->second)) {
            return known;
        }
    }
    auto* made = new GridCellAccessible(const_cast<GridAccessible*>(this), lGridRow, lGridColumn);
    m_cells[key] = QAccessible::registerAccessibleInterface(made);
    return made;
}

int GridAccessible::shownRow(int lGridRow) const
{
    refresh();
    if (lGridRow < 1 || lGridRow > static_cast<int>(m_rowIndex.size())) {
        return -1;
    }
    return m_rowIndex[static_cast<std::size_t>(lGridRow - 1)];
}

int GridAccessible::shownColumn(int lGridColumn) const
{
    refresh();
    const auto found = std::find(m_columns.begin(), m_columns.end(), lGridColumn);
    return found == m_columns.end() ? -1 : static_cast<int>(found - m_columns.begin());
}

QString GridAccessible::cellText(int lGridRow, int lGridColumn) const
{
    const QString text = grid()->GridCellText(lGridRow, lGridColumn);
    const QVariant mask = grid()->property(MASK_PROPERTY);
    if (!text.isEmpty() && mask.isValid() && text == mask.toString()) {
        return HIDDEN_PASSWORD;
    }
    return text;
}

QString GridAccessible::rowNotes(int lGridRow) const
{
    const int notesColumn = grid()->GridRowTextColumn();
    return notesColumn > 0 ? grid()->GridCellText(lGridRow, notesColumn) : QString();
}

QRect GridAccessible::cellRect(int lGridRow, int lGridColumn) const
{
    const int column = shownColumn(lGridColumn);
    if (column < 0 || (lGridRow > 0 && shownRow(lGridRow) < 0)) {
        return QRect();
    }
    const Grid* list = grid();
    int left = -list->horizontalScrollBar()->value();
    for (int c = 0; c < column; ++c) {
        left += list->GridColumnWidth(m_columns[static_cast<std::size_t>(c)]);
    }
    const int width = list->GridColumnWidth(lGridColumn);
    const QWidget* area = list->viewport();
    if (lGridRow == 0) {
        // The headers stand above the list area.
        return QRect(list->mapToGlobal(QPoint(area->x() + left, 0)), QSize(width, area->y()));
    }
    const int top = m_rowTops[static_cast<std::size_t>(shownRow(lGridRow))] -
                    list->verticalScrollBar()->value();
    return QRect(area->mapToGlobal(QPoint(left, top)), QSize(width, list->gridRowHeight(lGridRow)));
}

int GridAccessible::childCount() const
{
    refresh();
    return static_cast<int>(m_columns.size() * (m_rows.size() + 1));
}

QAccessibleInterface* GridAccessible::child(int index) const
{
    if (index < 0 || index >= childCount()) {
        return nullptr;
    }
    const auto columns = static_cast<int>(m_columns.size());
    const int row = index / columns - 1;
    const int column = m_columns[static_cast<std::size_t>(index % columns)];
    return cell(row < 0 ? 0 : m_rows[static_cast<std::size_t>(row)], column);
}

int GridAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* item = dynamic_cast<const GridCellAccessible*>(child);
    if (!item || item->table() != this || !item->isValid()) {
        return -1;
    }
    const int column = shownColumn(item->gridColumn());
    if (column < 0) {
        return -1;
    }
    if (item->isHeader()) {
        return column;
    }
    const int row = shownRow(item->gridRow());
    return row < 0 ? -1 : (row + 1) * static_cast<int>(m_columns.size()) + column;
}

QAccessibleInterface* GridAccessible::childAt(int x, int y) const
{
    refresh();
    const Grid* list = grid();
    if (m_columns.empty() || !list->isVisible()) {
        return nullptr;
    }
    const QPoint inArea = list->viewport()->mapFromGlobal(QPoint(x, y));
    if (inArea.y() < 0) {
        // Over the headers: the column whose header spans the point.
        for (const int c : m_columns) {
            if (cellRect(0, c).contains(x, y)) {
                return cell(0, c);
            }
        }
        return nullptr;
    }
    int row = 0;
    int column = 0;
    list->GridCellFromPoint(inArea.x(), inArea.y(), row, column);
    if (row <= 0) {
        return nullptr;
    }
    // The notes beneath a row belong to the row: its first cell stands for them.
    return cell(row, shownColumn(column) >= 0 ? column : m_columns.front());
}

QAccessibleInterface* GridAccessible::selectedCell() const
{
    refresh();
    const int row = grid()->GridSelectedRow();
    if (m_columns.empty() || shownRow(row) < 0) {
        return nullptr;
    }
    return cell(row, m_columns.front());
}

QAccessibleInterface* GridAccessible::focusChild() const
{
    return isValid() && grid()->hasFocus() ? selectedCell() : nullptr;
}

void GridAccessible::announceSelection(bool bSelectionChanged) const
{
    if (!isValid()) {
        return;
    }
    QAccessibleInterface* selected = selectedCell();
    if (!selected) {
        return;
    }
    if (bSelectionChanged) {
        QAccessibleEvent selection(selected, QAccessible::Selection);
        Notify(&selection);
    }
    if (grid()->hasFocus()) {
        QAccessibleEvent focus(selected, QAccessible::Focus);
        Notify(&focus);
    }
}

QAccessibleInterface* GridAccessible::cellAt(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
        return nullptr;
    }
    return cell(m_rows[static_cast<std::size_t>(row)], m_columns[static_cast<std::size_t>(column)]);
}

int GridAccessible::rowCount() const
{
    refresh();
    return static_cast<int>(m_rows.size());
}

int GridAccessible::columnCount() const
{
    refresh();
    return static_cast<int>(m_columns.size());
}

QString GridAccessible::columnDescription(int column) const
{
    if (column < 0 || column >= columnCount()) {
        return QString();
    }
    return grid()->GridColumnHeader(m_columns[static_cast<std::size_t>(column)]);
}

QString GridAccessible::rowDescription(int row) const
{
    if (row < 0 || row >= rowCount()) {
        return QString();
    }
    return rowNotes(m_rows[static_cast<std::size_t>(row)]);
}

int GridAccessible::selectedRowCount() const
{
    return selectedRows().size();
}

QList<int> GridAccessible::selectedRows() const
{
    if (!isValid()) {
        return {};
    }
    const int row = shownRow(grid()->GridSelectedRow());
    return row < 0 ? QList<int>() : QList<int>{row};
}

bool GridAccessible::isRowSelected(int row) const
{
    return selectedRows().contains(row);
}

int GridAccessible::selectedCellCount() const
{
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface*> GridAccessible::selectedCells() const
{
    QList<QAccessibleInterface*> cells;
    for (const int row : selectedRows()) {
        for (int column = 0; column < columnCount(); ++column) {
            cells << cellAt(row, column);
        }
    }
    return cells;
}

bool GridAccessible::selectRow(int row)
{
    if (row < 0 || row >= rowCount() || m_columns.empty()) {
        return false;
    }
    const int gridRow = m_rows[static_cast<std::size_t>(row)];
    grid()->GridSelectCell(gridRow, m_columns.front(), true);
    grid()->GridEnsureVisible(gridRow, m_columns.front());
    return true;
}

bool GridAccessible::unselectRow(int row)
{
    if (!isRowSelected(row)) {
        return false;
    }
    grid()->GridClearSelection();
    return true;
}
