// Operations over the whole list; each step ignores a failing grid operation.
#include "ui/main/modGrid.h"
#include "app/modGeneral.h"

#include "platform/Grid.h"

#include <QStringMatcher>
#include <exception>
#include <vector>

namespace modGrid {

void AutoSizeRowHeights(Grid* grid, int lColumn, bool bVisibleOnly)
{
    int rows = 0;
    modGeneral::IgnoreErrors([&] { rows = grid->GridRowCount(); });
    int rowTextColumn = 0;
    modGeneral::IgnoreErrors([&] { rowTextColumn = grid->GridRowTextColumn(); });
    const bool isRowText = lColumn > 0 && lColumn == rowTextColumn;
    for (int i = 1; i <= rows; ++i) {
        modGeneral::IgnoreErrors([&] {
            if (bVisibleOnly && !grid->isGridRowVisible(i)) {
                return;
            }
            if (isRowText && !grid->GridCellView(i, lColumn).isEmpty()) {
                grid->GridRowHeight(i, grid->GridCellTextHeight(i, lColumn) +
                                           grid->GridDefaultRowHeight() + 4);
            } else {
                grid->GridAutoRowHeight(i, 18);
            }
        });
    }
}

void SelectRowByID(Grid* grid, long lID)
{
    int rows = 0;
    modGeneral::IgnoreErrors([&] { rows = grid->GridRowCount(); });
    for (int i = 1; i <= rows; ++i) {
        bool found = false;
        modGeneral::IgnoreErrors(
            [&] { found = !grid->GridIsGroupRow(i) && grid->GridRowID(i) == lID; });
        if (found) {
            modGeneral::IgnoreErrors([&] { grid->GridSelectCell(i, 1, true); });
            modGeneral::IgnoreErrors([&] { grid->GridEnsureVisible(i, 1); });
            return;
        }
    }
}

void ExpandGroupRows(Grid* grid)
{
    int rows = 0;
    modGeneral::IgnoreErrors([&] { rows = grid->GridRowCount(); });
    for (int i = 1; i <= rows; ++i) {
        modGeneral::IgnoreErrors([&] {
            if (grid->GridIsGroupRow(i)) {
                grid->GridGroupRowState(i, 1);
            }
        });
    }
}

void FilterGrid(Grid* grid, const QString& sText, int lColumns, long& rlCount)
{
    modGeneral::IgnoreErrors([&] { grid->GridRedraw(false); });
    modGeneral::IgnoreErrors([&] { grid->GridClearSelection(); });
    int rows = 0;
    modGeneral::IgnoreErrors([&] { rows = grid->GridRowCount(); });
    if (sText.isEmpty()) {
        for (int i = 1; i <= rows; ++i) {
            modGeneral::IgnoreErrors([&] { grid->GridRowVisible(i, true); });
        }
    } else {
        // The text columns, once for all rows.
        std::vector<int> columns;
        for (int j = 1; j <= lColumns; ++j) {
            modGeneral::IgnoreErrors([&] {
                const int type = grid->GridSortType(j);
                if (type == Grid::SortText || type == Grid::SortTextNoCase) {
                    columns.push_back(j);
                }
            });
        }
        const QStringMatcher matcher(sText, Qt::CaseInsensitive);
        for (int i = 1; i <= rows; ++i) {
            modGeneral::IgnoreErrors([&] {
                if (grid->GridIsGroupRow(i)) {
                    return;
                }
                bool matched = false;
                for (const int j : columns) {
                    // The text where the list keeps it: a password is not copied out.
                    if (matcher.indexIn(grid->GridCellView(i, j)) >= 0) {
                        matched = true;
                        ++rlCount;
                        break;
                    }
                }
                grid->GridRowVisible(i, matched);
            });
        }
    }
    modGeneral::IgnoreErrors([&] { grid->GridRedraw(true); });
}

void SortGrid(Grid* grid, int lColumn)
{
    modGeneral::IgnoreErrors([&] { grid->GridRedraw(false); });
    long id = 0;
    bool hadSelection = false;
    modGeneral::IgnoreErrors([&] {
        const int selected = grid->GridSelectedRow();
        if (selected > 0) {
            id = grid->GridRowID(selected);
            hadSelection = true;
        }
    });
    modGeneral::IgnoreErrors([&] { grid->GridClearSelection(); });
    modGeneral::IgnoreErrors([&] {
        Grid::SortSpec& sortKeys = grid->GridSortSpec();
        sortKeys.Clear();
        int key = sortKeys.IndexOf(lColumn);
        if (key == 0) {
            key = sortKeys.Count() + 1;
        }
        const int order = grid->GridSortOrder(lColumn) == Grid::SortAscending ? Grid::SortDescending
                                                                              : Grid::SortAscending;
        grid->setGridSortOrder(lColumn, order);
        sortKeys.SetKey(key, lColumn, grid->GridSortType(lColumn), order);
    });
    modGeneral::IgnoreErrors([&] { grid->GridSort(); });
    ExpandGroupRows(grid);
    if (hadSelection) {
        SelectRowByID(grid, id);
    }
    modGeneral::IgnoreErrors([&] { grid->GridRedraw(true); });
}

} // namespace modGrid
