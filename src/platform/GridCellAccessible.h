// One cell of the list control, or one of its column headers, as assistive technology sees it.
// It reads the grid each time it is asked, through the table it belongs to.
#pragma once

#include <QAccessible>

class GridAccessible;

class GridCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    // A grid row from 1, or 0 for the column's header; a grid column from 1.
    GridCellAccessible(GridAccessible* table, int lGridRow, int lGridColumn);

    bool isHeader() const { return m_row == 0; }
    int gridRow() const { return m_row; }
    int gridColumn() const { return m_column; }

    // QAccessibleInterface
    void* interface_cast(QAccessible::InterfaceType type) override;
    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text /*type*/, const QString& /*text*/) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;

    // QAccessibleTableCellInterface, in shown rows and columns from 0.
    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override;
    int rowIndex() const override;
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override;

private:
    GridAccessible* m_table;
    int m_row;
    int m_column;
};
