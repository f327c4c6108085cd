// The list control on its own: hidden rows, row removal and selection, sorting by collation,
// points to cells, the events a user's mouse and keys raise, and the table a screen reader reads.
#include "platform/Grid.h"
#include "platform/GridAccessible.h"
#include "ui/controls/modAccessibility.h"
#include "ui/main/modGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

// A grid with a title column, a user column and notes as row text.
void fill(Grid& grid, const QStringList& titles)
{
    grid.GridClear(true);
    grid.GridAddColumn(QStringLiteral("TITLE_TX"), QStringLiteral("Title"), 100);
    grid.GridAddColumn(QStringLiteral("USER_NM"), QStringLiteral("User"), 80, true, false,
                       Grid::SortTextNoCase);
    grid.GridAddColumn(QStringLiteral("NOTES_TX"), QStringLiteral("Notes"), 275, true, true);
    grid.setRowTextStartColumn(1);
    grid.SetHeaders();
    for (int i = 0; i < titles.size(); ++i) {
        grid.GridAddRow(QString::number(10 + i));
        grid.GridSetCell(i + 1, 1, titles[i]);
        grid.GridSetCell(i + 1, 2, QStringLiteral("user%1").arg(i));
    }
}

QStringList column(const Grid& grid, int c)
{
    QStringList texts;
    for (int i = 1; i <= grid.GridRowCount(); ++i) {
        texts << grid.GridCellText(i, c);
    }
    return texts;
}

// A password list as the main window builds it: title, user, the shown password (masked or
// not), the real one in a hidden column, and the notes beneath the row or in their own column.
void fillPasswords(Grid& grid, bool bNotesOwnColumn)
{
    const QString mask = QStringLiteral("\u2022\u2022\u2022");
    grid.setProperty(GridAccessible::MASK_PROPERTY, mask);
    grid.GridClear(true);
    grid.GridAddColumn(QStringLiteral("TITLE_TX"), QStringLiteral("Title"), 100);
    grid.GridAddColumn(QStringLiteral("USER_NM"), QStringLiteral("User Name"), 80);
    grid.GridAddColumn(QStringLiteral("PASSWORD_TX"), QStringLiteral("Password"), 70);
    grid.GridAddColumn(QStringLiteral("PASSWORD_TX_HIDDEN"), QString(), -1, false);
    grid.GridAddColumn(QStringLiteral("NOTES_TX"), QStringLiteral("Notes"), 200, true,
                       !bNotesOwnColumn);
    grid.setRowTextStartColumn(bNotesOwnColumn ? 0 : 1);
    grid.SetHeaders();
    const QStringList rows[] = {{"Bob's bank", "bob", mask, "s3cret", "Branch on Main St"},
                                {"Chess club", "carl", "knight", "knight", ""},
                                {"alpha mail", "ann", mask, "p4ss", "old"}};
    for (const QStringList& row : rows) {
        grid.GridAddRow(QString::number(grid.GridRowCount() + 1));
        for (int c = 0; c < row.size(); ++c) {
            grid.GridSetCell(grid.GridRowCount(), c + 1, row[c]);
        }
    }
}

// The Focus and Selection events sent, as "event: cell name @ shown row".
QStringList g_announced;

void recordAnnouncement(QAccessibleEvent* event)
{
    if (event->type() != QAccessible::Focus && event->type() != QAccessible::Selection) {
        return;
    }
    QAccessibleInterface* target = event->accessibleInterface();
    if (!target || !target->tableCellInterface()) {
        return;
    }
    g_announced << QStringLiteral("%1: %2 @ %3")
                       .arg(event->type() == QAccessible::Focus ? "focus" : "selection",
                            target->text(QAccessible::Name))
                       .arg(target->tableCellInterface()->rowIndex());
}

} // namespace

class TestGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void outOfRangeRaises();
    void hiddenRowsKeepIdsOrderAndHeights();
    void removeRowMovesSelection();
    void sortIsCaseInsensitiveStableAndKeepsSelection_data();
    void sortIsCaseInsensitiveStableAndKeepsSelection();
    void cellFromPointAndMouseDown();
    void rowTextHeightFollowsWidth_data();
    void rowTextHeightFollowsWidth();
    void keysMoveSelectionOverShownRows();
    void headerEvents();
    void accessibleTable_data();
    void accessibleTable();
    void accessibleSelectionEvents();
};

void TestGrid::outOfRangeRaises()
{
    Grid grid;
    fill(grid, {QStringLiteral("a")});
    QVERIFY_THROWS_EXCEPTION(std::exception, grid.GridCellText(2, 1));
    QVERIFY_THROWS_EXCEPTION(std::exception, grid.GridCellText(1, 4));
    QVERIFY_THROWS_EXCEPTION(std::exception, grid.GridRowID(0));
    QCOMPARE(grid.GridColumnIndex(QStringLiteral("missing")), 0);
    // The helpers go on past failing steps.
    modGrid::AutoSizeRowHeights(&grid, 9);
    modGrid::SortGrid(&grid, 9);
    QCOMPARE(grid.GridRowCount(), 1);
}

void TestGrid::hiddenRowsKeepIdsOrderAndHeights()
{
    Grid grid;
    grid.resize(400, 300);
    fill(grid, {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    grid.GridRowHeight(2, 40);
    long count = 0;
    modGrid::FilterGrid(&grid, QStringLiteral("T"), grid.GridColumnCount(), count);
    QCOMPARE(count, 2L);
    QVERIFY(!grid.isGridRowVisible(1));
    modGrid::FilterGrid(&grid, QString(), grid.GridColumnCount(), count);
    QCOMPARE(column(grid, 1), QStringList({"one", "two", "three"}));
    QCOMPARE(grid.GridRowID(3), 12L);
    QCOMPARE(grid.gridRowHeight(2), 40);
    QVERIFY(grid.isGridRowVisible(1));
}

void TestGrid::removeRowMovesSelection()
{
    Grid grid;
    fill(grid, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    grid.GridSelectCell(3, 1, true);
    grid.GridRemoveRow(1);
    QCOMPARE(grid.GridSelectedRow(), 2);
    QCOMPARE(grid.GridCellText(grid.GridSelectedRow(), 1), QStringLiteral("c"));
    grid.GridRemoveRow(2);
    QCOMPARE(grid.GridSelectionCount(), 0);
    QCOMPARE(grid.GridSelectedRow(), 0);
}

void TestGrid::sortIsCaseInsensitiveStableAndKeepsSelection_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("ascending");
    QTest::newRow("case ignored") << QStringList{"beta", "Alpha", "gamma", "Beta"}
                                  << QStringList{"Alpha", "beta", "Beta", "gamma"};
    QTest::newRow("accents beside their letter")
        << QStringList{"Zoe", "Émile", "Eve", "Adam"} << QStringList{"Adam", "Émile", "Eve", "Zoe"};
    QTest::newRow("empty first") << QStringList{"b", "", "a"} << QStringList{"", "a", "b"};
}

void TestGrid::sortIsCaseInsensitiveStableAndKeepsSelection()
{
    QFETCH(QStringList, titles);
    QFETCH(QStringList, ascending);
    Grid grid;
    fill(grid, titles);
    grid.GridSelectCell(1, 1, true);
    const long selectedId = grid.GridRowID(1);
    modGrid::SortGrid(&grid, 1);
    QCOMPARE(grid.GridSortOrder(1), int(Grid::SortAscending));
    QCOMPARE(column(grid, 1), ascending);
    QCOMPARE(grid.GridRowID(grid.GridSelectedRow()), selectedId);
    modGrid::SortGrid(&grid, 1);
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    // Equal keys keep their order, so compare case-insensitively.
    QCOMPARE(column(grid, 1).join('|').toLower(), descending.join('|').toLower());
    QCOMPARE(grid.GridRowID(grid.GridSelectedRow()), selectedId);
    // Another column starts from its own direction.
    modGrid::SortGrid(&grid, 2);
    QCOMPARE(grid.GridSortOrder(2), int(Grid::SortAscending));
    QCOMPARE(grid.GridSortOrder(1), int(Grid::SortDescending));
}

void TestGrid::cellFromPointAndMouseDown()
{
    Grid grid;
    grid.resize(500, 300);
    fill(grid, {QStringLiteral("first"), QStringLiteral("second")});
    grid.GridSetCell(1, 3, QStringLiteral("a note"));
    modGrid::AutoSizeRowHeights(&grid, grid.GridRowTextColumn());
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const int rowHeight = grid.gridRowHeight(1);
    QCOMPARE(rowHeight, grid.GridCellTextHeight(1, 3) + grid.GridDefaultRowHeight() + 4);

    int row = 0;
    int col = 0;
    grid.GridCellFromPoint(120, 5, row, col);
    QCOMPARE(row, 1);
    QCOMPARE(col, 2);
    grid.GridCellFromPoint(10, grid.GridDefaultRowHeight() + 3, row, col);
    QCOMPARE(col, 3); // the row text beneath the cells
    grid.GridCellFromPoint(10, rowHeight + 2, row, col);
    QCOMPARE(row, 2);
    grid.GridCellFromPoint(10, 290, row, col);
    QCOMPARE(row, 0);

    QSignalSpy down(&grid, &Grid::MouseDown);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(20, rowHeight + 2));
    QCOMPARE(grid.GridSelectedRow(), 2);
    QCOMPARE(down.size(), 1);
    QCOMPARE(down[0][0].toInt(), 1);
    QCOMPARE(down[0][1].toInt(), 1);
    // The right button leaves the selection as it is.
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, QPoint(20, 5));
    QCOMPARE(grid.GridSelectedRow(), 2);
    QCOMPARE(down[1][0].toInt(), 2);
    QSignalSpy dbl(&grid, &Grid::DblClick);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, QPoint(20, 5));
    QCOMPARE(dbl.size(), 1);
}

void TestGrid::rowTextHeightFollowsWidth_data()
{
    QTest::addColumn<QString>("text");
    // What is laid out: the whole text, or the start of a long one with an ellipsis.
    QTest::addColumn<QString>("shown");
    const QString words = QStringLiteral("ab cd efg hij klmno pq rstu vw xyz ").repeated(10);
    for (const int length : {6, 40, 55, 62, 70, 90, 140, 300}) {
        QTest::addRow("%d characters", length) << words.left(length) << words.left(length);
    }
    QTest::newRow("line breaks") << QStringLiteral("one\r\ntwo\r\nthree")
                                 << QStringLiteral("one\r\ntwo\r\nthree");
    const QString foreign = QStringLiteral("Gr\u00fc\u00dfe \u00e0 Z\u00fcrich, ").repeated(4);
    QTest::newRow("outside ASCII") << foreign << foreign;
    const QString lines = QStringLiteral("a line of a long note\n").repeated(100000);
    QTest::newRow("a note of 100,000 lines") << lines << lines.left(2000) + QChar(0x2026);
}

// The wrapped height of a note is that of a full layout at the list's width, also after the
// width changed and back; a note of megabytes is laid out only as far as the list shows it.
void TestGrid::rowTextHeightFollowsWidth()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    Grid grid;
    fill(grid, {QStringLiteral("first")});
    grid.GridSetCell(1, 3, text);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QFontMetrics metrics(grid.font());
    for (const int width : {500, 260, 500}) {
        grid.resize(width, 300);
        const int textWidth = grid.viewport()->width() - 6;
        const QRect layout =
            metrics.boundingRect(QRect(0, 0, textWidth, 1 << 20),
                                 Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, shown);
        QCOMPARE(grid.GridCellTextHeight(1, 3), std::max(layout.height(), metrics.height()));
    }
}

void TestGrid::keysMoveSelectionOverShownRows()
{
    Grid grid;
    grid.resize(400, 300);
    fill(grid, {QStringLiteral("apple"), QStringLiteral("banana"), QStringLiteral("cherry"),
                QStringLiteral("blueberry")});
    grid.setKeySearchColumn(1);
    grid.GridRowVisible(2, false);
    QSignalSpy keys(&grid, &Grid::KeyDown);
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(grid.GridSelectedRow(), 1);
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(grid.GridSelectedRow(), 3); // the hidden row is skipped
    QTest::keyClick(&grid, Qt::Key_End);
    QCOMPARE(grid.GridSelectedRow(), 4);
    QTest::keyClick(&grid, Qt::Key_C);
    QCOMPARE(grid.GridSelectedRow(), 3);
    QTest::keyClick(&grid, Qt::Key_Delete);
    QTest::keyClick(&grid, Qt::Key_Return);
    QCOMPARE(keys.last()[0].toInt(), 13);
    QCOMPARE(keys[keys.size() - 2][0].toInt(), 46);
}

void TestGrid::headerEvents()
{
    Grid grid;
    grid.resize(400, 300);
    fill(grid, {QStringLiteral("a")});
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QHeaderView* header = grid.findChild<QHeaderView*>();
    QSignalSpy clicks(&grid, &Grid::ColumnClick);
    QSignalSpy widths(&grid, &Grid::ColumnWidthChanged);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, 5));
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks[0][0].toInt(), 2);
    header->resizeSection(1, 33);
    QCOMPARE(widths.size(), 1);
    QCOMPARE(widths[0][0].toInt(), 2);
    QCOMPARE(widths[0][1].toInt(), 33);
    QCOMPARE(grid.GridColumnWidth(2), 33);
    // Building the columns is not a user's change.
    fill(grid, {QStringLiteral("a")});
    QCOMPARE(widths.size(), 1);
}

void TestGrid::accessibleTable_data()
{
    QTest::addColumn<bool>("notesOwnColumn");
    QTest::addColumn<int>("hiddenRow"); // 0: every row shown
    QTest::addColumn<int>("selectedRow");
    QTest::addColumn<QStringList>("headers");
    // Each shown row: its cells' names, then its description after " | ".
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<int>>("selectedRows");
    QTest::newRow("notes beneath the rows")
        << false << 0 << 3 << QStringList{"Title", "User Name", "Password"}
        << QStringList{"Bob's bank, bob, hidden password | Branch on Main St",
                       "Chess club, carl, knight | ", "alpha mail, ann, hidden password | old"}
        << QList<int>{2};
    QTest::newRow("notes in their column, a row hidden")
        << true << 2 << 3 << QStringList{"Title", "User Name", "Password", "Notes"}
        << QStringList{"Bob's bank, bob, hidden password, Branch on Main St | ",
                       "alpha mail, ann, hidden password, old | "}
        << QList<int>{1};
    QTest::newRow("the selected row hidden")
        << false << 1 << 1 << QStringList{"Title", "User Name", "Password"}
        << QStringList{"Chess club, carl, knight | ", "alpha mail, ann, hidden password | old"}
        << QList<int>{};
}

// Shown rows and columns only; masked passwords read as such, the hidden column never.
void TestGrid::accessibleTable()
{
    QFETCH(bool, notesOwnColumn);
    QFETCH(int, hiddenRow);
    QFETCH(int, selectedRow);
    QFETCH(QStringList, headers);
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, selectedRows);
    modAccessibility::Install();
    Grid grid;
    grid.resize(500, 300);
    fillPasswords(grid, notesOwnColumn);
    if (hiddenRow > 0) {
        grid.GridRowVisible(hiddenRow, false);
    }
    grid.GridSelectCell(selectedRow, 1, true);

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&grid);
    QCOMPARE(iface->role(), QAccessible::Table);
    QAccessibleTableInterface* table = iface->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->columnCount(), headers.size());
    QCOMPARE(table->rowCount(), rows.size());
    QStringList seenHeaders;
    for (int c = 0; c < table->columnCount(); ++c) {
        QCOMPARE(table->columnDescription(c), headers[c]);
        const QList<QAccessibleInterface*> header =
            table->cellAt(0, c)->tableCellInterface()->columnHeaderCells();
        QCOMPARE(header.size(), 1);
        seenHeaders << header[0]->text(QAccessible::Name);
    }
    QCOMPARE(seenHeaders, headers);
    QStringList seenRows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) {
            QAccessibleInterface* cell = table->cellAt(r, c);
            QCOMPARE(cell->tableCellInterface()->rowIndex(), r);
            QCOMPARE(cell->tableCellInterface()->columnIndex(), c);
            QCOMPARE(cell->state().selected, selectedRows.contains(r));
            cells << cell->text(QAccessible::Name);
        }
        seenRows << cells.join(QStringLiteral(", ")) + QStringLiteral(" | ") +
                        table->rowDescription(r);
    }
    QCOMPARE(seenRows, rows);
    QCOMPARE(table->selectedRows(), selectedRows);
    // The children are the headers, then the cells row by row, each found at its own index.
    QCOMPARE(iface->childCount(), headers.size() * (rows.size() + 1));
    for (int i = 0; i < iface->childCount(); ++i) {
        QCOMPARE(iface->indexOfChild(iface->child(i)), i);
    }
    QCOMPARE(iface->child(0)->role(), QAccessible::ColumnHeader);

    // A change of the rows drops the cells made for the old ones.
    const QAccessible::Id first = QAccessible::uniqueId(table->cellAt(0, 0));
    grid.GridRemoveRow(3);
    QVERIFY(!QAccessible::accessibleInterface(first));
    QCOMPARE(table->rowCount(), rows.size() - 1);
    QVERIFY(table->selectRow(0));
    QCOMPARE(grid.GridSelectedRow(), hiddenRow == 1 ? 2 : 1);
}

// A reader hears the row the selection moves to, and the row the focus comes back to.
void TestGrid::accessibleSelectionEvents()
{
    modAccessibility::Install();
    // The list and a box to take the focus away.
    QWidget window;
    auto* other = new QLineEdit(&window);
    auto* list = new Grid(&window);
    Grid& grid = *list;
    grid.setGeometry(0, 30, 400, 300);
    fill(grid, {QStringLiteral("apple"), QStringLiteral("banana"), QStringLiteral("cherry")});
    grid.GridRowVisible(2, false);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    grid.setFocus();
    QAccessibleTableInterface* table =
        QAccessible::queryAccessibleInterface(&grid)->tableInterface();
    QCoreApplication::processEvents();
    g_announced.clear();
    GridAccessible::Notify = recordAnnouncement;

    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_Down); // no further row: nothing to announce
    other->setFocus();
    table->selectRow(0);
    QTest::keyClick(other, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list);
    QCoreApplication::processEvents();
    GridAccessible::Notify = &QAccessible::updateAccessibility;
    QCOMPARE(g_announced,
             QStringList({"selection: apple @ 0", "focus: apple @ 0", "selection: cherry @ 1",
                          "focus: cherry @ 1", "selection: apple @ 0", "focus: apple @ 0"}));
}

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
