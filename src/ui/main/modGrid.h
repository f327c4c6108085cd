// Operations over the whole list: fitting row heights, selecting a row by its entry, filtering
// by a search text and sorting by a column. Each step ignores a failing grid operation and
// goes on with the next one.
#pragma once

#include <QString>

class Grid;

namespace modGrid {

// Fits every row's height to its texts; with bVisibleOnly, only the rows shown now (a hidden row
// is fitted when a later call finds it shown).
void AutoSizeRowHeights(Grid* grid, int lColumn, bool bVisibleOnly = false);
void SelectRowByID(Grid* grid, long lID);
void ExpandGroupRows(Grid* grid);
// Shows the rows that contain the text in any text column up to lColumns (all rows for an
// empty text) and counts the matches into rlCount.
void FilterGrid(Grid* grid, const QString& sText, int lColumns, long& rlCount);
void SortGrid(Grid* grid, int lColumn);

} // namespace modGrid
