// One cell or column header of the list control for assistive technology.
#include "platform/GridCellAccessible.h"

#include "platform/Grid.h"
#include "platform/GridAccessible.h"

#include <QWidget>

GridCellAccessible::GridCellAccessible(GridAccessible* table, int lGridRow, int lGridColumn)
    : m_table(table), m_row(lGridRow), m_column(lGridColumn)
{
}

void* GridCellAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableCellInterface && !isHeader()) {
        return static_cast<QAccessibleTableCellInterface*>(this);
    }
    return nullptr;
}

bool GridCellAccessible::isValid() const
{
    // Only while the table shows the cell's row and column: none while the list is hidden.
    return m_table->isValid() && m_table->shownColumn(m_column) >= 0 &&
           (isHeader() || m_table->shownRow(m_row) >= 0);
}

QWindow* GridCellAccessible::window() const
{
    return m_table->window();
}

QAccessibleInterface* GridCellAccessible::parent() const
{
    return m_table;
}

QString GridCellAccessible::text(QAccessible::Text type) const
{
    if (!isValid()) {
        return QString();
    }
    switch (type) {
    case QAccessible::Name:
        return isHeader() ? m_table->grid()->GridColumnHeader(m_column)
                          : m_table->cellText(m_row, m_column);
    case QAccessible::Description:
        return isHeader() ? QString() : m_table->rowNotes(m_row);
    default:
        return QString();
    }
}

QRect GridCellAccessible::rect() const
{
    return isValid() ? m_table->cellRect(m_row, m_column) : QRect();
}

QAccessible::Role GridCellAccessible::role() const
{
    return isHeader() ? QAccessible::ColumnHeader : QAccessible::Cell;
}

QAccessible::State GridCellAccessible::state() const
{
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    const Grid* grid = m_table->grid();
    if (!grid->isVisible()) {
        state.invisible = true;
    } else if (!rect().intersects(
                   QRect(grid->viewport()->mapToGlobal(QPoint(0, 0)), grid->viewport()->size())) &&
               !isHeader()) {
        state.offscreen = true;
    }
    if (!isHeader()) {
        state.selectable = true;
        state.focusable = true;
        state.selected = isSelected();
        // The focus is on the selected row; its first shown cell stands for it.
        state.focused = state.selected && grid->hasFocus() && columnIndex() == 0;
    }
    return state;
}

bool GridCellAccessible::isSelected() const
{
    return isValid() && !isHeader() && m_table->grid()->GridSelectedRow() == m_row;
}

QList<QAccessibleInterface*> GridCellAccessible::columnHeaderCells() const
{
    if (!isValid()) {
        return {};
    }
    return {m_table->cell(0, m_column)};
}

int GridCellAccessible::columnIndex() const
{
    return isValid() ? m_table->shownColumn(m_column) : -1;
}

int GridCellAccessible::rowIndex() const
{
    return isValid() && !isHeader() ? m_table->shownRow(m_row) : -1;
}

QAccessibleInterface* GridCellAccessible::table() const
{
    return m_table;
}
