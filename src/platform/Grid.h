// The list control of the main window: rows and columns addressed from 1, cells with a format
// and a colour, hidden rows, per-row heights, a row-text column drawn beneath each row, sort
// keys with per-column direction, whole-row single selection, and the events of a list. The cell
// texts live in the list's own store, zeroed when the list is cleared.
#pragma once

#include "platform/GridTextStore.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

class QCollator;
class QHeaderView;
class QStandardItemModel;

class Grid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // Sort types: the two text comparisons (both case-insensitive and in the user's locale).
    static constexpr int SortText = 102;
    static constexpr int SortTextNoCase = 103;
    // Sort directions.
    static constexpr int SortAscending = 1;
    static constexpr int SortDescending = 2;
    // Cell formats.
    static constexpr int DT_WORDBREAK = 0x10;
    static constexpr int DT_END_ELLIPSIS = 0x8000;

    // The sort keys: one column, type and direction each.
    class SortSpec
    {
    public:
        void Clear() { m_keys.clear(); }
        int Count() const { return static_cast<int>(m_keys.size()); }
        // The position (from 1) of the key of a column; 0 when it has none.
        int IndexOf(int lColumn) const;
        // Sets the key at a position; the position after the last one appends a key.
        void SetKey(int lPosition, int lColumn, int lSortType, int lOrder);

    private:
        friend class Grid;
        struct Key
        {
            int column;
            int sortType;
            int order;
        };
        std::vector<Key> m_keys;
    };

    explicit Grid(QWidget* parent = nullptr);
    ~Grid() override;

    void GridRedraw(bool bRedraw);
    void GridClear(bool bRemoveColumns);

    void GridAddColumn(const QString& sKey, const QString& sHeader, int lWidth = -1,
                       bool bVisible = true, bool bRowText = false, int lSortType = SortText);
    int GridColumnIndex(const QString& sKey) const; // 0 when there is no such column
    QString GridColumnKey(int lColumn) const;
    int GridColumnCount() const { return static_cast<int>(m_columns.size()); }
    int GridColumnWidth(int lColumn) const;
    bool GridColumnVisible(int lColumn) const;
    QString GridColumnHeader(int lColumn) const;
    // The column whose cell a typed letter looks for, and where the row text starts.
    void setKeySearchColumn(int lColumn) { m_keySearchColumn = lColumn; }
    void setRowTextStartColumn(int lColumn) { m_rowTextStartColumn = lColumn; }
    // Ends the set-up of the columns: the header shows them.
    void SetHeaders();

    void GridAddRow(const QString& sID);
    int GridRowCount() const { return static_cast<int>(m_rows.size()); }
    void GridSetCell(int lRow, int lColumn, QStringView sText, int lFormat = 0,
                     const QColor& color = QColor());
    // A copy of the cell's text.
    QString GridCellText(int lRow, int lColumn) const;
    // The cell's text where the list keeps it, without a copy: valid until the list changes.
    QStringView GridCellView(int lRow, int lColumn) const;
    void setGridCellText(int lRow, int lColumn, QStringView sText);
    QColor GridCellColor(int lRow, int lColumn) const;
    int GridCellFormat(int lRow, int lColumn) const;
    long GridRowID(int lRow) const;
    void GridRowVisible(int lRow, bool bVisible);
    bool isGridRowVisible(int lRow) const;
    void GridRowHeight(int lRow, int lHeight);
    int gridRowHeight(int lRow) const;
    void GridAutoRowHeight(int lRow, int lMinHeight);
    int GridCellTextHeight(int lRow, int lColumn) const;
    int GridDefaultRowHeight() const;
    int GridRowTextColumn() const;
    bool GridIsGroupRow(int lRow) const;
    void GridGroupRowState(int lRow, int lState);
    void GridSelectCell(int lRow, int lColumn, bool bSelected);
    void GridEnsureVisible(int lRow, int lColumn);
    void GridClearSelection();
    int GridSelectedRow() const { return m_selected; }
    int GridSelectionCount() const { return m_selected > 0 ? 1 : 0; }
    void GridRemoveRow(int lRow);
    // The cell under a point of the list area (pixels); row and column 0 where there is none.
    void GridCellFromPoint(int x, int y, int& rlRow, int& rlColumn) const;
    SortSpec& GridSortSpec() { return m_sortSpec; }
    void GridSort();
    int GridSortOrder(int lColumn) const;
    void setGridSortOrder(int lColumn, int lOrder);
    int GridSortType(int lColumn) const;

    // Look.
    void setHighlightBackColor(const QColor& color);
    void setAlternateRowBackColor(const QColor& color);
    QColor AlternateRowBackColor() const { return m_alternateColor; }

Q_SIGNALS:
    void ColumnClick(int lColumn);
    void ColumnWidthChanged(int lColumn, int lWidth);
    void DblClick();
    void KeyDown(int lKeyCode, int lShift);
    // Button 1 left, 2 right, 4 middle; shift state bits; position in the list area (pixels).
    void MouseDown(int lButton, int lShift, int x, int y);
    // Another row is selected, or the selection cleared, by the user or by a call; rows removed
    // or sorted raise rowsChanged instead.
    void selectionChanged();
    // Rows or columns were added, removed, shown, hidden, sorted or resized.
    void rowsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A cell: where its text is in the store, its length, the room it has there, and its format
    // and colour as an index into m_styles.
    struct Cell
    {
        quint32 position = 0;
        quint32 length = 0;
        quint32 room = 0;
        quint32 style = 0;
    };
    // A format with a colour (an invalid colour draws in the list's own text colour).
    struct Style
    {
        int format = 0;
        QColor color;
    };
    struct Row
    {
        long id = 0;
        // The row's first cell in m_cells; its cells follow, one per column.
        quint32 firstCell = 0;
        int height = 0;
        bool visible = true;
        // The wrapped height of the row text and the width it was measured at (-1: not yet):
        // fitting the rows again at a width they had before measures nothing.
        mutable int rowTextWidth = -1;
        mutable int rowTextHeight = 0;
    };
    struct Column
    {
        QString key;
        QString header;
        int width = 0;
        bool visible = true;
        bool rowText = false;
        int sortType = SortText;
        int sortOrder = 0;
    };

    bool validRow(int lRow) const { return lRow >= 1 && lRow <= GridRowCount(); }
    bool validColumn(int lColumn) const { return lColumn >= 1 && lColumn <= GridColumnCount(); }
    void requireCell(int lRow, int lColumn) const;
    Cell& cell(int lRow, int lColumn);
    const Cell* cellOrNull(int lRow, int lColumn) const;
    // The cells of a row (0-based) and a column (0-based).
    const Cell& cellAt(const Row& row, std::size_t lColumn) const
    {
        return m_cells[row.firstCell + lColumn];
    }
    QStringView textOf(const Cell& content) const
    {
        return m_texts.View(content.position, content.length);
    }
    // Puts a text into a cell, in its room when it fits.
    void storeText(Cell& target, QStringView sText);
    // Copies the texts still in use into a new store once erased texts take more than half.
    void compactTexts();
    int shownColumnsWidth() const;
    QRect rowTextRect() const;
    int textHeight(QStringView sText, int lWidth, bool bWrap) const;
    // True when the text certainly takes one line of the width (a quick test, no layout).
    bool fitsOneLine(QStringView text, int lWidth) const;
    int padding() const { return 3; }
    void layoutChanged();
    void ensureLayout() const;
    void updateScrollBars();
    // Fits the scroll bars to the layout once the current event round is over.
    void scheduleScrollBars();
    void syncHeader();
    // Puts the header above the list area and fits the scroll bars.
    void placeHeader();
    int visiblePosition(int lRow) const;
    int rowAt(int y) const;
    void moveSelection(int lVisibleDelta, bool bToEnd = false, bool bToStart = false);
    void keySearch(const QString& sText);
    void repaintIfAllowed();

    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    // Every row's cells, GridColumnCount() per row; rows removed leave theirs until the next
    // clear.
    std::vector<Cell> m_cells;
    GridTextStore m_texts;
    // The few formats and colours cells use; the first is no format and no colour.
    std::vector<Style> m_styles{Style()};
    quint32 styleIndex(int lFormat, const QColor& color);
    int m_selected = 0;
    int m_keySearchColumn = 0;
    int m_rowTextStartColumn = 0;
    bool m_redraw = true;
    bool m_settingUpHeader = false;
    bool m_scrollBarsPending = false;
    SortSpec m_sortSpec;
    QColor m_highlightColor{89, 135, 214};
    QColor m_alternateColor;
    QColor m_gridLineColor{216, 216, 216};
    QHeaderView* m_header = nullptr;
    QStandardItemModel* m_headerModel = nullptr;
    std::unique_ptr<QCollator> m_collator;
    // The advance of each printable ASCII character in the list's font; filled when first needed.
    mutable std::vector<qreal> m_asciiAdvances;

    // Visible rows in order, with the top of each and the total height; rebuilt when dirty.
    mutable bool m_layoutDirty = true;
    mutable std::vector<int> m_visibleRows;  // row indexes (0-based)
    mutable std::vector<int> m_visibleTops;  // top of each visible row
    mutable std::vector<int> m_visibleIndex; // row -> position among visible rows, or -1
    mutable int m_totalHeight = 0;
};
