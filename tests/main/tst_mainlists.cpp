// The main window's lists on real data files: columns, masking, search, sorting, widths, row
// heights, the layout pass, the clean-up when the window closes, and what a screen reader hears.
#include "TestEnv.h"
#include "app/ClipboardHelper.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "platform/Grid.h"
#include "platform/SettingsStore.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/modAccessibility.h"
#include "ui/main/frmMain.h"
#include "ui/main/modGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <memory>

namespace {

// The master row and three entries.
void addSample()
{
    TestEnv::AddPassword(QStringLiteral("KeyCask"), QStringLiteral("KeyCask"),
                         QStringLiteral("master"));
    TestEnv::AddPassword(QStringLiteral("Bob's bank"), QStringLiteral("bob"),
                         QStringLiteral("x9-vault"), QStringLiteral("www.bobsbank.example"));
    TestEnv::AddPassword(QStringLiteral("alpha mail"), QStringLiteral("ann"), QStringLiteral("p"));
    TestEnv::AddPassword(QStringLiteral("Chess club"), QStringLiteral("carl"),
                         QStringLiteral("knight"), QString(), QStringLiteral("Tuesdays"));
}

QStringList shownTitles(const Grid* grid)
{
    QStringList titles;
    for (int i = 1; i <= grid->GridRowCount(); ++i) {
        if (grid->isGridRowVisible(i)) {
            titles << grid->GridCellText(i, 1);
        }
    }
    return titles;
}

void typeSearch(frmMain& window, const QString& text)
{
    window.txtSearch->setFocus();
    window.txtSearch->selectAll();
    window.txtSearch->setText(text);
}

// Every text a screen reader can reach from an object: names, descriptions and values.
QStringList reachableTexts(QAccessibleInterface* iface)
{
    QStringList texts;
    for (const QAccessible::Text kind :
         {QAccessible::Name, QAccessible::Description, QAccessible::Value}) {
        texts << iface->text(kind);
    }
    for (int i = 0; i < iface->childCount(); ++i) {
        if (QAccessibleInterface* child = iface->child(i)) {
            texts << reachableTexts(child);
        }
    }
    return texts;
}

} // namespace

class TestMainLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void screenReader_data();
    void screenReader();
    void emptyTableColumns_data();
    void emptyTableColumns();
    void passwordsAreMasked();
    void revealSurvivesRebuildMasked();
    void search_data();
    void search();
    void searchPlaceholder();
    void tabSwitchWithQuery();
    void headerClicksSortBothWaysKeepingSelection();
    void columnWidthStoredAndReadBack();
    void notesRowHeights();
    void rowHeightsFollowListWidth_data();
    void rowHeightsFollowListWidth();
    void searchIgnoresWindowActivation();
    void fileListLayouts();
    void layoutOnNarrowWindow();
    void alwaysOnTopStored();
    void closeDeletesOwnReportsOnly_data();
    void closeDeletesOwnReportsOnly();
    void closeReportsUndeletableReport();
    void placementSurvivesRestart();
};

void TestMainLists::initTestCase()
{
    // Before any window is shown: Qt keeps the first interface it made for a widget.
    modAccessibility::Install();
}

void TestMainLists::screenReader_data()
{
    QTest::addColumn<bool>("reveal");
    QTest::addColumn<QString>("bobsRow"); // the cells of the second row
    QTest::newRow("masked") << false << QStringLiteral("Bob's bank, bob, hidden password");
    QTest::newRow("revealed") << true << QStringLiteral("Bob's bank, bob, x9-vault");
}

// The list reads as a table named after its tab, a masked password as "hidden password", and
// nothing reaches the hidden columns, nor the list of a locked window; Tab runs from the search
// box to the list; the images are named for what they do or silent.
void TestMainLists::screenReader()
{
    QFETCH(bool, reveal);
    QFETCH(QString, bobsRow);
    TestEnv env;
    addSample();
    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    if (reveal) {
        window.mbRevealPasswords = true;
        window.ApplyRevealState();
    }
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(window.grid);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Passwords"));
    QAccessibleTableInterface* table = list->tableInterface();
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) {
        cells << table->cellAt(1, c)->text(QAccessible::Name);
    }
    QCOMPARE(cells.join(QStringLiteral(", ")), bobsRow);
    const QStringList texts = reachableTexts(QAccessible::queryAccessibleInterface(&window));
    QCOMPARE(texts.filter(QStringLiteral("x9-vault")).isEmpty(), !reveal);
    QVERIFY(texts.filter(QStringLiteral("bobsbank")).isEmpty());
    QVERIFY(texts.filter(frmMain::PASSWORD_MASK).isEmpty());
    // The locked window's list tells nothing, not even through a cell found before.
    const QAccessible::Id firstCell = QAccessible::uniqueId(table->cellAt(0, 0));
    window.LockWindow();
    QCOMPARE(table->rowCount(), 0);
    QAccessibleInterface* cell = QAccessible::accessibleInterface(firstCell);
    QVERIFY(!cell || cell->text(QAccessible::Name).isEmpty());
    QVERIFY(reachableTexts(QAccessible::queryAccessibleInterface(&window))
                .filter(QStringLiteral("Bob's bank"))
                .isEmpty());
    window.cmdUnlock_Click();
    QCOMPARE(table->rowCount(), 3);

    // The list, then the tab bar (named after its tab too).
    QCOMPARE(TestEnv::TabNames(window.txtSearch),
             QStringList({"Search", "Passwords", "Passwords", "Always on top"}));
    window.txtSearch->setFocus();
    QTest::keyClick(window.txtSearch, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window.grid);
    QCOMPARE(TestEnv::ImageNames(&window),
             QStringList({"Lock KeyCask", "(silent)", "Quillon Software"}));
}

void TestMainLists::emptyTableColumns_data()
{
    QTest::addColumn<bool>("ownColumn");
    QTest::addColumn<int>("shown");
    QTest::newRow("notes under the row") << false << 3;
    QTest::newRow("notes in a column") << true << 4;
}

void TestMainLists::emptyTableColumns()
{
    QFETCH(bool, ownColumn);
    QFETCH(int, shown);
    TestEnv env;
    clsApp::shared().setShowNotesOwnColumn(ownColumn);
    frmMain window;
    Grid* grid = window.grid;
    QCOMPARE(grid->GridColumnCount(), 6);
    QCOMPARE(grid->GridRowCount(), 0);
    int visible = 0;
    for (int c = 1; c <= grid->GridColumnCount(); ++c) {
        visible += grid->GridColumnVisible(c) ? 1 : 0;
    }
    QCOMPARE(visible, shown);
    QCOMPARE(grid->GridRowTextColumn(), ownColumn ? 0 : 6);
    QCOMPARE(grid->GridSortType(2), Grid::SortTextNoCase);
    QCOMPARE(grid->GridSortType(3), Grid::SortTextNoCase);
    QCOMPARE(grid->GridSortType(1), Grid::SortText);
    QVERIFY(env.messages.isEmpty());
}

void TestMainLists::passwordsAreMasked()
{
    TestEnv env;
    addSample();
    frmMain window;
    Grid* grid = window.grid;
    QCOMPARE(shownTitles(grid), QStringList({"alpha mail", "Bob's bank", "Chess club"}));
    for (int i = 1; i <= grid->GridRowCount(); ++i) {
        QCOMPARE(grid->GridCellText(i, 3), QString(8, QChar(0x2022)));
    }
    QCOMPARE(grid->GridCellText(2, 4), QStringLiteral("x9-vault"));
    QCOMPARE(grid->GridRowID(2), 2L);
}

void TestMainLists::revealSurvivesRebuildMasked()
{
    TestEnv env;
    addSample();
    frmMain window;
    window.mbRevealPasswords = true;
    window.ApplyRevealState();
    QCOMPARE(window.grid->GridCellText(3, 3), QStringLiteral("knight"));
    window.FillPasswordGrid();
    QVERIFY(window.mbRevealPasswords);
    QCOMPARE(window.grid->GridCellText(3, 3), frmMain::PASSWORD_MASK);
}

void TestMainLists::search_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("bob, case and substring") << "bob" << QStringList{"Bob's bank"};
    QTest::newRow("bank") << "BANK" << QStringList{"Bob's bank"};
    QTest::newRow("web site") << "bobsbank.example" << QStringList{"Bob's bank"};
    QTest::newRow("hidden password") << "nigh" << QStringList{"Chess club"};
    QTest::newRow("user name") << "ann" << QStringList{"alpha mail"};
    QTest::newRow("notes") << "tuesday" << QStringList{"Chess club"};
    QTest::newRow("lower-case search filters") << "search" << QStringList{};
    QTest::newRow("empty shows all") << "" << QStringList{"alpha mail", "Bob's bank", "Chess club"};
}

void TestMainLists::search()
{
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    TestEnv env;
    addSample();
    frmMain window;
    window.show();
    typeSearch(window, QStringLiteral("zzz"));
    QVERIFY(shownTitles(window.grid).isEmpty());
    typeSearch(window, text);
    QCOMPARE(shownTitles(window.grid), shown);
    QVERIFY(!window.txtSearch->font().italic());
}

void TestMainLists::searchPlaceholder()
{
    TestEnv env;
    addSample();
    frmMain window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.txtSearch->text(), QStringLiteral("Search"));
    QVERIFY(window.txtSearch->font().italic());
    typeSearch(window, QStringLiteral("bob"));
    // "Search" itself is the resting text and never filters.
    window.txtSearch->setText(QStringLiteral("Search"));
    QVERIFY(window.txtSearch->font().italic());
    QCOMPARE(shownTitles(window.grid), QStringList{"Bob's bank"});
    // Focus empties the resting text; leaving an empty box puts it back.
    window.txtSearch->clearFocus();
    window.grid->setFocus();
    window.txtSearch->setFocus();
    QCOMPARE(window.txtSearch->text(), QString());
    window.grid->setFocus();
    QCOMPARE(window.txtSearch->text(), QStringLiteral("Search"));
}

void TestMainLists::tabSwitchWithQuery()
{
    TestEnv env;
    addSample();
    TestEnv::AddFolder(QStringLiteral("Photos"), QStringLiteral("/home/ann/photos"));
    TestEnv::AddFolder(QStringLiteral("Taxes"), QStringLiteral("/home/ann/taxes"));
    frmMain window;
    window.show();
    typeSearch(window, QStringLiteral("bob"));
    window.tabs->setCurrentIndex(1);
    QCOMPARE(window.grid->GridColumnCount(), 3);
    QCOMPARE(shownTitles(window.grid), QStringList({"Photos", "Taxes"}));
    QCOMPARE(window.txtSearch->text(), QStringLiteral("bob"));
    QVERIFY(!window.IsPasswordsTab());
    window.tabs->setCurrentIndex(0);
    QCOMPARE(shownTitles(window.grid).size(), 3);
}

void TestMainLists::headerClicksSortBothWaysKeepingSelection()
{
    TestEnv env;
    addSample();
    frmMain window;
    window.show();
    Grid* grid = window.grid;
    modGrid::SelectRowByID(grid, 2); // Bob's bank
    QCOMPARE(grid->GridCellText(grid->GridSelectedRow(), 1), QStringLiteral("Bob's bank"));

    Q_EMIT grid->ColumnClick(2); // user names: ann, bob, carl
    const QStringList ascending{"alpha mail", "Bob's bank", "Chess club"};
    QStringList users;
    for (int i = 1; i <= 3; ++i) {
        users << grid->GridCellText(i, 2);
    }
    const bool firstAscending = users == QStringList({"ann", "bob", "carl"});
    QVERIFY(firstAscending || users == QStringList({"carl", "bob", "ann"}));
    QCOMPARE(grid->GridRowID(grid->GridSelectedRow()), 2L);

    Q_EMIT grid->ColumnClick(2);
    QStringList again;
    for (int i = 1; i <= 3; ++i) {
        again << grid->GridCellText(i, 2);
    }
    std::reverse(again.begin(), again.end());
    QCOMPARE(again, users);
    QCOMPARE(grid->GridRowID(grid->GridSelectedRow()), 2L);
    QCOMPARE(grid->GridSelectionCount(), 1);
}

void TestMainLists::columnWidthStoredAndReadBack()
{
    TestEnv env;
    addSample();
    frmMain window;
    window.show();
    QHeaderView* header = window.grid->findChild<QHeaderView*>();
    QVERIFY(header);
    header->resizeSection(0, 3); // as a user's drag does
    const QString keyPath = modGeneral::GetFormKeyPath(&window);
    QCOMPARE(SettingsStore::shared().GetStoredSetting(keyPath, "TITLE_TX", ""), QString("5"));
    header->resizeSection(1, 140);
    QCOMPARE(SettingsStore::shared().GetStoredSetting(keyPath, "USER_NM", ""), QString("140"));
    window.FillPasswordGrid();
    QCOMPARE(window.grid->GridColumnWidth(1), 5);
    QCOMPARE(window.grid->GridColumnWidth(2), 140);
    QCOMPARE(window.grid->GridColumnWidth(6), 275);
}

void TestMainLists::notesRowHeights()
{
    TestEnv env;
    addSample();
    TestEnv::AddPassword(
        QStringLiteral("Long notes"), QStringLiteral("dora"), QStringLiteral("pw"), QString(),
        QStringLiteral("First line of the notes\r\nsecond line\r\nand a third line that is "
                       "long enough to wrap at least once across the row"));
    frmMain window;
    window.show();
    Grid* grid = window.grid;
    const int notesColumn = grid->GridRowTextColumn();
    for (int i = 1; i <= grid->GridRowCount(); ++i) {
        const QString notes = grid->GridCellText(i, notesColumn);
        if (notes.isEmpty()) {
            QVERIFY(grid->gridRowHeight(i) >= 18);
            QVERIFY(grid->gridRowHeight(i) < 2 * grid->GridDefaultRowHeight());
        } else {
            QCOMPARE(grid->gridRowHeight(i),
                     grid->GridCellTextHeight(i, notesColumn) + grid->GridDefaultRowHeight() + 4);
        }
    }
    const int lineHeight = QFontMetrics(grid->font()).height();
    const int longRow = 4; // ordered by title: alpha, Bob's, Chess, Long
    QVERIFY(grid->GridCellTextHeight(longRow, notesColumn) >= 4 * lineHeight);

    // With notes in their own column, password rows keep the standard height.
    clsApp::shared().setShowNotesOwnColumn(true);
    window.FillPasswordGrid();
    for (int i = 1; i <= grid->GridRowCount(); ++i) {
        QCOMPARE(grid->gridRowHeight(i), grid->GridDefaultRowHeight());
    }
    QCOMPARE(grid->GridCellFormat(longRow, 6), Grid::DT_END_ELLIPSIS);
    QCOMPARE(grid->GridCellColor(longRow, 6), QColor(0, 0, 255));
}

// Every row with notes is exactly as tall as its text needs at the list's present width.
static void verifyRowsFitted(const Grid* grid)
{
    const int notesColumn = grid->GridRowTextColumn();
    QVERIFY(notesColumn > 0);
    for (int i = 1; i <= grid->GridRowCount(); ++i) {
        if (!grid->GridCellText(i, notesColumn).isEmpty()) {
            QCOMPARE(grid->gridRowHeight(i),
                     grid->GridCellTextHeight(i, notesColumn) + grid->GridDefaultRowHeight() + 4);
        }
    }
}

void TestMainLists::rowHeightsFollowListWidth_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("storedWidth"); // twips
    QTest::addColumn<bool>("scrollBar");
    QTest::newRow("narrow stored width") << 1 << 3300 << false;
    QTest::newRow("longer than the window") << 40 << 4920 << true;
}

void TestMainLists::rowHeightsFollowListWidth()
{
    QFETCH(int, rows);
    QFETCH(int, storedWidth);
    QFETCH(bool, scrollBar);
    TestEnv env;
    TestEnv::AddPassword(QStringLiteral("KeyCask"), QStringLiteral("KeyCask"),
                         QStringLiteral("master"));
    for (int i = 0; i < rows; ++i) {
        TestEnv::AddPassword(QStringLiteral("Entry %1").arg(i, 2, 10, QLatin1Char('0')),
                             QStringLiteral("user%1").arg(i), QStringLiteral("pw%1").arg(i),
                             QString(),
                             QStringLiteral("Line one of note %1\r\nline two, long enough to "
                                            "wrap in a narrow list of entries\r\nline three")
                                 .arg(i));
    }
    const QString keyPath = QStringLiteral("Software\\QuillonSoftware\\KeyCask\\frmMain");
    auto& store = SettingsStore::shared();
    store.SaveStoredSetting(keyPath, QStringLiteral("Left"), QStringLiteral("600"));
    store.SaveStoredSetting(keyPath, QStringLiteral("Top"), QStringLiteral("300"));
    store.SaveStoredSetting(keyPath, QStringLiteral("Width"), QString::number(storedWidth));
    store.SaveStoredSetting(keyPath, QStringLiteral("Height"), QStringLiteral("7500"));

    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
    Grid* grid = window.grid;
    QCOMPARE(grid->verticalScrollBar()->isVisible(), scrollBar);
    verifyRowsFitted(grid);

    // Wider, then narrower again: the rows follow.
    const int tallBefore = grid->gridRowHeight(1);
    window.resize(window.width() + 300, window.height());
    QApplication::processEvents();
    verifyRowsFitted(grid);
    QVERIFY(grid->gridRowHeight(1) < tallBefore);
    window.resize(window.width() - 300, window.height());
    QApplication::processEvents();
    verifyRowsFitted(grid);
    QCOMPARE(grid->gridRowHeight(1), tallBefore);
}

// Leaving the window for another program and coming back moves no focus: the search box keeps
// its text and its caret.
void TestMainLists::searchIgnoresWindowActivation()
{
    TestEnv env;
    addSample();
    frmMain window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.txtSearch->setFocus();
    QCOMPARE(window.txtSearch->text(), QString());
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(window.txtSearch, &out);
        QCOMPARE(window.txtSearch->text(), QString());
    }
    window.txtSearch->setText(QStringLiteral("bob"));
    window.txtSearch->setCursorPosition(1);
    QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(window.txtSearch, &in);
    QVERIFY(!window.txtSearch->hasSelectedText());
    QCOMPARE(shownTitles(window.grid), QStringList{"Bob's bank"});
    // A real move of the focus still runs the rules.
    window.txtSearch->setText(QString());
    window.grid->setFocus(Qt::TabFocusReason);
    QCOMPARE(window.txtSearch->text(), QStringLiteral("Search"));
    // In a window that is not active a press into the box brings no focus event; the press
    // itself clears the resting text.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!window.isActiveWindow());
    QTest::mouseClick(window.txtSearch, Qt::LeftButton);
    QTest::keyClicks(window.txtSearch, QStringLiteral("bob"));
    QCOMPARE(window.txtSearch->text(), QStringLiteral("bob"));
    QCOMPARE(shownTitles(window.grid), QStringList{"Bob's bank"});
}

void TestMainLists::fileListLayouts()
{
    TestEnv env;
    TestEnv::AddFolder(
        QStringLiteral("Music"), QStringLiteral("/srv/music"),
        QStringLiteral("A note long enough to wrap over more than one line in a narrow "
                       "column of two hundred and seventy five pixels, surely."));
    clsApp::shared().setShowNotesOwnColumn(true);
    frmMain window;
    window.show();
    window.tabs->setCurrentIndex(1);
    Grid* grid = window.grid;
    QCOMPARE(grid->GridRowTextColumn(), 0);
    QCOMPARE(grid->GridCellFormat(1, 3), Grid::DT_WORDBREAK);
    // Fitted to the wrapped note, which needs more than one line.
    QVERIFY(grid->gridRowHeight(1) > grid->GridDefaultRowHeight());
    QVERIFY(grid->gridRowHeight(1) >= grid->GridCellTextHeight(1, 3));
}

void TestMainLists::layoutOnNarrowWindow()
{
    TestEnv env;
    frmMain window;
    window.show();
    window.resize(90, 90);
    QCOMPARE(window.txtSearch->width(), window.width());
    QCOMPARE(window.tabs->width(), window.width());
    QCOMPARE(window.grid->x(), window.tabs->x() + 2);
    QCOMPARE(window.grid->y(), window.tabs->y() + 22);
    QCOMPARE(window.grid->width(), window.tabs->width() - 3);
    QCOMPARE(window.tabs->y() + window.tabs->height() + window.picBottom->height(),
             window.height());
    // The window keeps its least size, at which the lock panel and the bottom bar stay whole.
    QCOMPARE(window.size(), window.minimumSize());
    QVERIFY(window.imgLock->x() > 0);
    QVERIFY(window.lblLock->geometry().right() < window.width());
    QVERIFY(window.lblAlwaysOnTop->geometry().right() < window.imgQuillonSoftware->x());
    QCOMPARE(window.cmdUnlock->x(), window.txtPassword->x());
    QCOMPARE(window.cmdUnlock->y(), window.txtPassword->y() + window.txtPassword->height() + 4);
    QCOMPARE(window.imgQuillonSoftware->geometry().right(), window.width() - 1);
}

void TestMainLists::alwaysOnTopStored()
{
    TestEnv env;
    clsApp::shared().setAlwaysOnTop(true);
    {
        frmMain window;
        QVERIFY(window.chkAlwaysOnTop->isChecked());
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTest::mouseClick(window.lblAlwaysOnTop, Qt::LeftButton);
        QVERIFY(!window.chkAlwaysOnTop->isChecked());
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!clsApp::shared().AlwaysOnTop());
        window.chkLock->setChecked(false);
        QVERIFY(!clsApp::shared().LockOnMinimize());
    }
}

void TestMainLists::closeDeletesOwnReportsOnly_data()
{
    QTest::addColumn<bool>("linked");  // the report folder is a link to a folder of documents
    QTest::addColumn<bool>("ownCopy"); // KeyCask put the clipboard's text there
    QTest::addColumn<QStringList>("left");
    const QStringList foreign = {"PWD_2026-12-07_153002.rtf", "PWD_x.rtf", "notes.txt"};
    QTest::newRow("report folder, own copy") << false << true << foreign;
    QTest::newRow("linked folder, copied elsewhere")
        << true << false
        << QStringList{"File_Folders_2026-12-07_153000_2.rtf",
                       "PWD_2026-12-07_153000.rtf",
                       "PWD_2026-12-07_153001.csv",
                       "PWD_2026-12-07_153002.rtf",
                       "PWD_x.rtf",
                       "notes.txt"};
}

// Only the reports KeyCask writes go, never through a link; only KeyCask's own copy leaves the
// clipboard.
void TestMainLists::closeDeletesOwnReportsOnly()
{
    QFETCH(bool, linked);
    QFETCH(bool, ownCopy);
    QFETCH(QStringList, left);
    TestEnv env;
    const QString documents = env.AppFolder() + QStringLiteral("/Documents");
    const QString outside = env.AppFolder() + QStringLiteral("/outside.rtf");
    QVERIFY(QDir().mkdir(documents));
    QString folder = documents;
    if (linked) {
        QVERIFY(QFile::link(documents, clsApp::shared().ReportPath()));
    } else {
        clsApp::shared().MakeReportPath();
        folder = clsApp::shared().ReportPath();
    }
    for (const char* name : {"PWD_2026-12-07_153000.rtf", "File_Folders_2026-12-07_153000_2.rtf",
                             "PWD_2026-12-07_153001.csv", "PWD_x.rtf", "notes.txt"}) {
        QFile file(folder + QDir::separator() + QString::fromLatin1(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(name) > 0);
    }
    QFile target(outside);
    QVERIFY(target.open(QIODevice::WriteOnly) && target.write("kept") > 0);
    target.close();
    QVERIFY(QFile::link(outside, folder + QStringLiteral("/PWD_2026-12-07_153002.rtf")));
    if (ownCopy) {
        ClipboardHelper::shared().CopyText(QStringLiteral("copied password"), true);
    } else {
        QGuiApplication::clipboard()->setText(QStringLiteral("copied elsewhere"));
    }
    auto window = std::make_unique<frmMain>();
    window->show();
    window->close();
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::System, QDir::Name), left);
    QVERIFY(target.open(QIODevice::ReadOnly));
    QCOMPARE(target.readAll(), QByteArray("kept"));
    QVERIFY(env.messages.isEmpty());
    QCOMPARE(QGuiApplication::clipboard()->text(),
             ownCopy ? QString() : QStringLiteral("copied elsewhere"));
}

void TestMainLists::closeReportsUndeletableReport()
{
    TestEnv env;
    clsApp::shared().MakeReportPath();
    const QString folder = clsApp::shared().ReportPath();
    for (const char* name :
         {"PWD_2026-12-07_153000.rtf", "PWD_2026-12-07_153001.rtf", "PWD_2026-12-07_153002.rtf"}) {
        QFile file(folder + QDir::separator() + QString::fromLatin1(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // The middle file cannot be deleted: immutable even for root.
    const QString locked = folder + QDir::separator() + QStringLiteral("PWD_2026-12-07_153001.rtf");
    if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), locked}) != 0) {
        QSKIP("this machine cannot make a file undeletable");
    }
    frmMain window;
    window.show();
    window.close();
    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), locked});
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"PWD_2026-12-07_153001.rtf"});
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].prompt, QStringLiteral("Unable to delete password file: ") + locked);
    QCOMPARE(env.messages[0].flags, 48);
}

void TestMainLists::placementSurvivesRestart()
{
    TestEnv env;
    QRect frame;
    {
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.move(40, 50);
        window.resize(360, 600);
        frame = window.frameGeometry();
        window.close();
    }
    // The outer frame, title bar and borders included, comes back as it was.
    frmMain again;
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QTRY_COMPARE(again.frameGeometry(), frame);
    QCOMPARE(again.size(), QSize(360, 600));
}

QTEST_MAIN(TestMainLists)
#include "tst_mainlists.moc"
