// The list control as assistive technology sees it: a table of the shown rows and columns with
// the column headers, each cell's text (a masked password read as "hidden password"), the notes
// line as the row's description, the selected row, and events when the selection or focus moves.
#pragma once

#include <QAccessibleWidget>
#include <map>
#include <utility>
#include <vector>

class Grid;

class GridAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    // The dynamic property of a grid that holds the text standing for a hidden password.
    static constexpr char MASK_PROPERTY[] = "passwordMask";
    // What a cell showing that text reads as.
    static const QString HIDDEN_PASSWORD;
    // Sends the list's events to assistive technology; tests replace it to see them, as Qt
    // passes events on only while a screen reader listens.
    static inline void (*Notify)(QAccessibleEvent* event) = &QAccessible::updateAccessibility;

    explicit GridAccessible(Grid* grid);
    ~GridAccessible() override;
    GridAccessible(const GridAccessible&) = delete;
    GridAccessible& operator=(const GridAccessible&) = delete;

    Grid* grid() const;

    // QAccessibleInterface: the children are the column headers, then the cells row by row.
    void* interface_cast(QAccessible::InterfaceType type) override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // QAccessibleTableInterface, in shown rows and columns from 0.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int /*column*/) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int /*column*/) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int /*column*/) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    // For the cells, which name a grid row (0 for the header) and a grid column, both from 1.
    // The shown position of each; -1 where it is not shown.
    int shownRow(int lGridRow) const;
    int shownColumn(int lGridColumn) const;
    // The interface of a cell or header, made once and kept until the rows change.
    QAccessibleInterface* cell(int lGridRow, int lGridColumn) const;
    QString cellText(int lGridRow, int lGridColumn) const;
    // The notes drawn beneath a row when they have no column of their own.
    QString rowNotes(int lGridRow) const;
    // On the screen.
    QRect cellRect(int lGridRow, int lGridColumn) const;

private:
    // Rebuilds the shown rows and columns after a change of the grid or of its being hidden.
    void refresh() const;
    // The list is hidden inside its window (the window is locked).
    bool hiddenInWindow() const;
    // Forgets the cell interfaces: the rows they stood for have changed.
    void dropCells() const;
    void gridRowsChanged();
    // Tells assistive technology about the selected row: selected (after a change of the
    // selection), and focused when the list has the focus.
    void announceSelection(bool bSelectionChanged) const;
    QAccessibleInterface* selectedCell() const;

    mutable bool m_dirty = true;
    mutable bool m_hidden = false;
    mutable std::vector<int> m_rows;     // grid rows shown, in order
    mutable std::vector<int> m_rowTops;  // top of each in the list's content
    mutable std::vector<int> m_rowIndex; // grid row - 1 -> shown position, or -1
    mutable std::vector<int> m_columns;  // grid columns shown, in order
    mutable std::map<std::pair<int, int>, QAccessible::Id> m_cells;
    std::vector<QMetaObject::Connection> m_connections;
};
