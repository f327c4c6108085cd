// The main window's commands on real data files, driven offscreen: command states, shortcuts,
// copying on a click, the context and help menus, delete, print, options and the refresh after
// an editor saved.
#include "TestEnv.h"
#include "app/ClipboardHelper.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "platform/AutoType.h"
#include "platform/Grid.h"
#include "ui/controls/frmAbout.h"
#include "ui/controls/usrHyperlink.h"
#include "ui/dialogs/frmFile.h"
#include "ui/dialogs/frmOptions.h"
#include "ui/dialogs/frmPassword.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// The master row, then entries with a different value in every field.
void addSample()
{
    TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, u"master pw"_s);
    TestEnv::AddPassword(u"Bank"_s, u"bob"_s, u"b4nk-pw"_s, u"www.bank.example/login"_s,
                         u"bank notes"_s);
    TestEnv::AddPassword(u"Club"_s, u"carl"_s, u"cl-pw"_s);
    TestEnv::AddFolder(u"Music"_s, u"/srv/music"_s, u"music notes"_s);
    TestEnv::AddFolder(u"Taxes"_s, u"/home/ann/taxes"_s, u"taxes notes"_s);
}

// A point inside a cell of the list area.
QPoint cellPoint(const Grid* grid, int lRow, int lColumn)
{
    for (int y = 1; y < grid->viewport()->height(); y += 2) {
        for (int x = 1; x < grid->viewport()->width(); x += 3) {
            int row = 0;
            int column = 0;
            grid->GridCellFromPoint(x, y, row, column);
            if (row == lRow && column == lColumn) {
                return QPoint(x + 1, y + 1);
            }
        }
    }
    return QPoint(-1, -1);
}

void press(Grid* grid, Qt::MouseButton button, int lRow, int lColumn)
{
    const QPoint point = cellPoint(grid, lRow, lColumn);
    QVERIFY2(point.x() >= 0, "cell on screen");
    QTest::mousePress(grid->viewport(), button, {}, point);
    QTest::mouseRelease(grid->viewport(), button, {}, point);
}

int rowOf(const Grid* grid, const QString& sTitle)
{
    for (int i = 1; i <= grid->GridRowCount(); ++i) {
        if (grid->GridCellText(i, 1) == sTitle) {
            return i;
        }
    }
    return 0;
}

// Runs the action once the next modal window is up, and records its class name.
void onNextModal(QStringList& rsSeen, std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [&rsSeen, action] {
        QWidget* modal = QApplication::activeModalWidget();
        rsSeen << (modal ? QString::fromLatin1(modal->metaObject()->className()) : u"none"_s);
        if (modal) {
            action(modal);
        }
    });
}

void closeModal(QWidget* modal)
{
    QMetaObject::invokeMethod(modal, "reject");
}

bool secretMarked()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->data(ClipboardHelper::SECRET_HINT_FORMAT) == "secret";
}

// Counts the Hide events of the objects it watches.
class HideCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        count += event->type() == QEvent::Hide ? 1 : 0;
        return false;
    }
};

struct Window
{
    TestEnv env;
    std::unique_ptr<frmMain> main;

    Window()
    {
        addSample();
        main = std::make_unique<frmMain>();
        main->show();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
    }
    bool linkEnabled(int lIndex) const { return main->linkAction[lIndex]->isEnabled(); }
    void selectRow(int lRow) { press(main->grid, Qt::LeftButton, lRow, 2); }
};

} // namespace

class tst_MainCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QApplication::clipboard()->clear(); }

    // Edit and Delete follow the selection, Reveal the list; each at the moments that set them.
    void commandStates()
    {
        Window w;
        Grid* grid = w.main->grid;
        QVERIFY(!w.linkEnabled(1) && !w.linkEnabled(2) && w.linkEnabled(3));
        w.selectRow(1);
        QVERIFY(w.linkEnabled(1) && w.linkEnabled(2) && w.linkEnabled(3));
        QVERIFY(w.linkEnabled(0) && w.linkEnabled(4) && w.linkEnabled(5));

        w.main->tabs->setCurrentIndex(1);
        QVERIFY(!w.linkEnabled(1) && !w.linkEnabled(2) && !w.linkEnabled(3));
        // A selection made with the keyboard counts as one made with the mouse.
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->GridSelectionCount(), 1);
        QVERIFY(w.linkEnabled(1) && w.linkEnabled(2) && !w.linkEnabled(3));
        w.selectRow(2);
        QVERIFY(w.linkEnabled(1) && w.linkEnabled(2) && !w.linkEnabled(3));

        // A confirmed delete leaves no selection behind.
        w.env.answer = [](const MsgBox::Call&) { return int(MsgBox::vbYes); };
        w.main->DeleteSelectedEntry();
        QCOMPARE(grid->GridRowCount(), 1);
        QVERIFY(!w.linkEnabled(1) && !w.linkEnabled(2));
    }

    // Digit keys act once from whatever control has the focus and still reach it unless the
    // command moved the focus, an entry selected; keypad digits and the 3 do nothing; Reveal on
    // the folder list changes nothing. A key of the top row is its digit by its place (X11 key
    // codes 10-19), whatever Shift or the layout make it type.
    void digitKeys_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("scanCode");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("typed");
        // On the list, the key pressed once for each way the window is closed.
        QTest::addColumn<QStringList>("closedBy");
        const int none = Qt::NoModifier;
        const int shift = Qt::ShiftModifier;
        QTest::newRow("1 on passwords") << 0 << int(Qt::Key_1) << u"1"_s << none << 0
                                        << u"frmPassword"_s << u"1"_s << QStringList();
        QTest::newRow("1 on folders") << 1 << int(Qt::Key_1) << u"1"_s << none << 0 << u"frmFile"_s
                                      << u"1"_s << QStringList();
        QTest::newRow("6 opens Options") << 0 << int(Qt::Key_6) << u"6"_s << none << 0
                                         << u"frmOptions"_s << u"Search"_s << QStringList();
        QTest::newRow("2 edits") << 0 << int(Qt::Key_2) << u"2"_s << none << 0 << u"frmPassword"_s
                                 << u"2"_s << QStringList();
        QTest::newRow("3 only types")
            << 0 << int(Qt::Key_3) << u"3"_s << none << 0 << QString() << u"3"_s << QStringList();
        QTest::newRow("keypad 1 only types")
            << 0 << int(Qt::Key_1) << u"1"_s << int(Qt::KeypadModifier) << 87 << QString() << u"1"_s
            << QStringList();
        QTest::newRow("4 on folders")
            << 1 << int(Qt::Key_4) << u"4"_s << none << 0 << QString() << u"4"_s << QStringList();
        QTest::newRow("Shift+1 gives !") << 0 << int(Qt::Key_Exclam) << u"!"_s << shift << 10
                                         << u"frmPassword"_s << u"!"_s << QStringList();
        QTest::newRow("AZERTY &, the 1 key") << 1 << int(Qt::Key_Ampersand) << u"&"_s << none << 10
                                             << u"frmFile"_s << u"&"_s << QStringList();
        QTest::newRow("AZERTY -, the 6 key") << 0 << int(Qt::Key_Minus) << u"-"_s << none << 15
                                             << u"frmOptions"_s << u"Search"_s << QStringList();
        QTest::newRow("AZERTY \", the 3 key") << 0 << int(Qt::Key_QuoteDbl) << u"\""_s << none << 12
                                              << QString() << u"\""_s << QStringList();
        QTest::newRow("6 on the list, closed three ways")
            << 0 << int(Qt::Key_6) << u"6"_s << none << 0 << u"frmOptions"_s << u"Search"_s
            << QStringList{u"OK"_s, u"Cancel"_s, u"Escape"_s};
    }

    void digitKeys()
    {
        QFETCH(int, tab);
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, modifiers);
        QFETCH(int, scanCode);
        QFETCH(QString, opened);
        QFETCH(QString, typed);
        QFETCH(QStringList, closedBy);
        Window w;
        w.main->tabs->setCurrentIndex(tab);
        QWidget* target = closedBy.isEmpty() ? static_cast<QWidget*>(w.main->txtSearch)
                                             : static_cast<QWidget*>(w.main->grid);
        target->setFocus();
        w.main->grid->GridSelectCell(1, 1, true);
        // The native virtual key as Windows gives it for a key of the top row.
        const quint32 virtualKey =
            scanCode >= 10 && scanCode <= 19 ? 0x30 + (scanCode - 9) % 10 : 0;
        for (const QString& way : closedBy.isEmpty() ? QStringList{QString()} : closedBy) {
            // Every window that opens is recorded and closed. As under a window manager, no
            // window of the program is active yet when the closed one's caller goes on.
            QStringList seen;
            QTimer closer;
            closer.setInterval(0);
            connect(&closer, &QTimer::timeout, [&seen, way] {
                QWidget* modal = QApplication::activeModalWidget();
                if (!modal) {
                    return;
                }
                seen << QString::fromLatin1(modal->metaObject()->className());
                auto* options = qobject_cast<frmOptions*>(modal);
                if (way == u"OK"_s) {
                    options->cmdOK->click();
                } else if (way == u"Cancel"_s) {
                    options->cmdCancel->click();
                } else if (way == u"Escape"_s) {
                    QTest::keyClick(modal->focusWidget(), Qt::Key_Escape);
                } else {
                    closeModal(modal);
                }
                QApplication::setActiveWindow(nullptr);
            });
            closer.start();
            QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers),
                            quint32(scanCode), virtualKey, 0, text);
            QApplication::sendEvent(target, &press);
            closer.stop();
            QCOMPARE(seen, opened.isEmpty() ? QStringList() : QStringList{opened});
            QVERIFY(!QApplication::activeModalWidget());
        }
        // Options gives the list the focus: the key that opened it is not typed into the box
        // it left, which shows its resting text.
        QCOMPARE(w.main->txtSearch->text(), typed.isEmpty() ? text : typed);
        QVERIFY(!w.main->mbRevealPasswords);
        QCOMPARE(w.main->linkAction[3]->Caption(), u"Reveal"_s);
    }

    // Always on top changes in place: the window is never hidden for it, neither when the box is
    // ticked nor around a command (hiding and showing it again makes it blink).
    void alwaysOnTopWithoutBlink()
    {
        Window w;
        HideCounter hides;
        w.main->installEventFilter(&hides);
        const WId id = w.main->winId();
        QTest::mouseClick(w.main->chkAlwaysOnTop, Qt::LeftButton);
        w.main->linkAction_Click(3);
        QVERIFY(w.main->mbRevealPasswords);
        QCOMPARE(hides.count, 0);
        QVERIFY(w.main->isVisible() && w.main->winId() == id);
        QVERIFY(w.main->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w.main->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
        QTest::mouseClick(w.main->chkAlwaysOnTop, Qt::LeftButton);
        QCOMPARE(hides.count, 0);
        QVERIFY(!w.main->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!w.main->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    }

    // Reveal/Hide from the key, with the search box focused; Ctrl+F moves to the search box.
    void revealAndFind()
    {
        Window w;
        Grid* grid = w.main->grid;
        const int bank = rowOf(grid, u"Bank"_s);
        QTest::keyClick(grid, Qt::Key_4);
        QVERIFY(w.main->mbRevealPasswords);
        QCOMPARE(w.main->linkAction[3]->Caption(), u"Hide"_s);
        QCOMPARE(grid->GridCellText(bank, 3), u"b4nk-pw"_s);
        QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.main->txtSearch));
        QTest::keyClick(w.main->txtSearch, Qt::Key_4);
        QVERIFY(!w.main->mbRevealPasswords);
        QCOMPARE(grid->GridCellText(bank, 3), frmMain::PASSWORD_MASK);
    }

    // A left press copies the pressed cell of the selected row; the masked column gives the plain
    // password, marked as a secret; nothing else is marked.
    void copyOnClick_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("copied");
        QTest::addColumn<bool>("secret");
        QTest::newRow("masked password") << 0 << u"Bank"_s << 3 << u"b4nk-pw"_s << true;
        QTest::newRow("user name") << 0 << u"Bank"_s << 2 << u"bob"_s << false;
        QTest::newRow("title") << 0 << u"Club"_s << 1 << u"Club"_s << false;
        QTest::newRow("password notes") << 0 << u"Bank"_s << 6 << u"bank notes"_s << false;
        QTest::newRow("folder path") << 1 << u"Taxes"_s << 2 << u"/home/ann/taxes"_s << false;
        QTest::newRow("folder notes") << 1 << u"Music"_s << 3 << u"music notes"_s << false;
    }

    void copyOnClick()
    {
        QFETCH(int, tab);
        QFETCH(QString, title);
        QFETCH(int, column);
        QFETCH(QString, copied);
        QFETCH(bool, secret);
        Window w;
        w.main->tabs->setCurrentIndex(tab);
        Grid* grid = w.main->grid;
        const int row = rowOf(grid, title);
        QApplication::clipboard()->setText(u"copied elsewhere"_s);
        press(grid, Qt::LeftButton, row, column);
        QCOMPARE(QApplication::clipboard()->text(), copied);
        QCOMPARE(secretMarked(), secret);
        QVERIFY(ClipboardHelper::shared().HoldsOwnCopy());
    }

    // Without a selection a press copies nothing and opens no menu.
    void pressWithoutSelection()
    {
        Window w;
        Grid* grid = w.main->grid;
        QApplication::clipboard()->setText(u"kept"_s);
        // Below the last row: nothing is selected there.
        QTest::mousePress(grid->viewport(), Qt::RightButton, {},
                          QPoint(5, grid->viewport()->height() - 3));
        QVERIFY(!w.main->mnuHiddenRoot->isVisible());
        QCOMPARE(QApplication::clipboard()->text(), u"kept"_s);
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {},
                          QPoint(5, grid->viewport()->height() - 3));
        QCOMPARE(QApplication::clipboard()->text(), u"kept"_s);
    }

    // The context menu concerns the selected row, never the row under the pointer.
    void contextMenu_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("other");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<bool>("openEnabled");
        QTest::addColumn<QString>("launched");
        const QStringList pw = {u"Edit password"_s, u"Delete password"_s, u"Visit web site"_s,
                                u"Reveal"_s};
        const QStringList folder = {u"Edit file folder"_s, u"Delete file folder"_s,
                                    u"Open file folder"_s};
        QTest::newRow("password with site")
            << 0 << u"Bank"_s << u"Club"_s << pw << true << u"http://www.bank.example/login"_s;
        QTest::newRow("password without site")
            << 0 << u"Club"_s << u"Bank"_s << pw << false << QString();
        QTest::newRow("folder") << 1 << u"Taxes"_s << u"Music"_s << folder << true
                                << u"file:///home/ann/taxes"_s;
    }

    void contextMenu()
    {
        QFETCH(int, tab);
        QFETCH(QString, selected);
        QFETCH(QString, other);
        QFETCH(QStringList, captions);
        QFETCH(bool, openEnabled);
        QFETCH(QString, launched);
        Window w;
        w.main->tabs->setCurrentIndex(tab);
        Grid* grid = w.main->grid;
        w.selectRow(rowOf(grid, selected));
        press(grid, Qt::RightButton, rowOf(grid, other), 1);
        QMenu* menu = w.main->mnuHiddenRoot;
        QVERIFY(menu->isVisible());
        QStringList shown;
        for (const int i : {0, 1, 3, 5}) {
            if (w.main->mnuAction[i]->isVisible()) {
                shown << w.main->mnuAction[i]->text();
            }
        }
        QCOMPARE(shown, captions);
        QCOMPARE(w.main->mnuAction[3]->isEnabled(), openEnabled);
        // Typing into another window: on the password list only, greyed without X11.
        for (QAction* type : w.main->mnuType) {
            QCOMPARE(type->isVisible(), tab == 0);
            QVERIFY(!type->isEnabled());
            QCOMPARE(type->toolTip(), AutoType::UNAVAILABLE_TEXT);
        }
        menu->hide();
        QCOMPARE(grid->GridSelectedRow(), rowOf(grid, selected));

        w.main->mnuAction_Click(3);
        QCOMPARE(w.env.launches.size(), launched.isEmpty() ? 0 : 1);
        if (!launched.isEmpty()) {
            QCOMPARE(w.env.launches[0].toString(), launched);
        }
    }

    // Delete asks first; a refused delete keeps the row and shows only the record's message.
    void deleteEntry_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("gone");
        // What another program changes in the listed entry while the question is open.
        QTest::addColumn<QString>("otherChange");
        QTest::newRow("password, yes")
            << 0 << int(MsgBox::vbYes) << false << u"Delete Password?"_s << true << QString();
        QTest::newRow("password, no")
            << 0 << int(MsgBox::vbNo) << false << u"Delete Password?"_s << false << QString();
        QTest::newRow("folder, yes") << 1 << int(MsgBox::vbYes) << false
                                     << u"Delete File Folder from KeyCask?"_s << true << QString();
        QTest::newRow("folder, refused")
            << 1 << int(MsgBox::vbYes) << true << u"Delete File Folder from KeyCask?"_s << false
            << QString();
        QTest::newRow("password changed by another program")
            << 0 << int(MsgBox::vbYes) << false << u"Delete Password?"_s << false
            << u"UPDATE PWD SET USER_NM = 'bobby' WHERE TITLE_TX = 'Bank'"_s;
        QTest::newRow("folder changed by another program")
            << 1 << int(MsgBox::vbYes) << false << u"Delete File Folder from KeyCask?"_s << false
            << u"UPDATE MY_FILE SET NOTES_TX = NULL WHERE MY_FILE_NM = 'Music'"_s;
    }

    void deleteEntry()
    {
        QFETCH(int, tab);
        QFETCH(int, answer);
        QFETCH(bool, readOnly);
        QFETCH(QString, question);
        QFETCH(bool, gone);
        QFETCH(QString, otherChange);
        Window w;
        w.main->tabs->setCurrentIndex(tab);
        Grid* grid = w.main->grid;
        const QString title = tab == 0 ? u"Bank"_s : u"Music"_s;
        const QString table = tab == 0 ? u"PWD"_s : u"MY_FILE"_s;
        const QString count = u"SELECT count(*) FROM "_s + table;
        const QString before = w.env.RawScalar(count);
        if (readOnly) {
            w.env.ReopenReadOnly();
        }
        w.selectRow(rowOf(grid, title));
        w.env.answer = [&](const MsgBox::Call&) {
            if (!otherChange.isEmpty()) {
                w.env.RawExecute(std::exchange(otherChange, QString()));
            }
            return answer;
        };
        const bool changed = !otherChange.isEmpty();
        QTest::keyClick(grid, Qt::Key_Delete);

        QCOMPARE(w.env.messages.size(), readOnly || changed ? 2 : 1);
        if (changed) {
            QCOMPARE(w.env.messages[1].prompt,
                     u"This entry was changed by another program and was not deleted."_s);
        }
        QCOMPARE(w.env.messages[0].prompt, question);
        QCOMPARE(w.env.messages[0].title, u"Delete"_s);
        QCOMPARE(w.env.messages[0].flags, int(MsgBox::vbYesNo | MsgBox::vbQuestion));
        QCOMPARE(rowOf(grid, title) == 0, gone);
        QCOMPARE(w.env.RawScalar(count).toInt(), before.toInt() - (gone ? 1 : 0));
        QCOMPARE(grid->GridRowCount(), gone ? 1 : 2);
    }

    // Print writes one report, readable by its owner only, and opens it; a report that cannot
    // be written says so once and opens nothing.
    void print_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("blocked"); // what stands where the report folder goes
        QTest::addColumn<QString>("prefix");
        QTest::newRow("passwords") << 0 << QString() << u"PWD_"_s;
        QTest::newRow("folders") << 1 << QString() << u"File_Folders_"_s;
        QTest::newRow("a file") << 0 << u"is not a folder."_s << QString();
        QTest::newRow("a link to a folder") << 0 << u"is a symbolic link."_s << QString();
    }

    void print()
    {
        QFETCH(int, tab);
        QFETCH(QString, blocked);
        QFETCH(QString, prefix);
        Window w;
        w.main->tabs->setCurrentIndex(tab);
        const QString folder = clsApp::shared().ReportPath();
        const QString documents = w.env.AppFolder() + u"/Documents"_s;
        QDir(folder).removeRecursively();
        if (blocked.startsWith(u"is a symbolic"_s)) {
            QVERIFY(QDir().mkdir(documents));
            QVERIFY(QFile::link(documents, folder));
        } else if (!blocked.isEmpty()) {
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            clsApp::shared().MakeReportPath();
            QCOMPARE(QFile::permissions(folder) & 0x0077, QFileDevice::Permissions());
        }
        QTest::keyClick(w.main->grid, Qt::Key_5);
        if (!blocked.isEmpty()) {
            QCOMPARE(w.env.messages.size(), 1);
            QVERIFY(w.env.messages[0].prompt.startsWith(u"The report could not be written."_s));
            QVERIFY2(w.env.messages[0].prompt.endsWith(blocked),
                     qPrintable(w.env.messages[0].prompt));
            QCOMPARE(w.env.messages[0].flags, int(MsgBox::vbExclamation));
            QVERIFY(w.env.launches.isEmpty());
            QVERIFY(QDir(documents).isEmpty());
            return;
        }
        const QStringList files = QDir(folder).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(files[0].startsWith(prefix) && files[0].endsWith(u".rtf"_s));
        const QString path = QDir(folder).filePath(files[0]);
        QCOMPARE(QFile::permissions(path) & 0x0077, QFileDevice::Permissions());
        QCOMPARE(w.env.launches.size(), 1);
        QCOMPARE(w.env.launches[0].toLocalFile(), path);
        QVERIFY(w.env.messages.isEmpty());
    }

    // Options refills the list and empties the search box whatever the button, which shows its
    // resting text as the list has the focus; OK stores.
    void options_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }

    void options()
    {
        QFETCH(bool, ok);
        Window w;
        Grid* grid = w.main->grid;
        QCOMPARE(grid->GridRowTextColumn(), 6);
        w.main->txtSearch->setFocus();
        w.main->txtSearch->setText(u"bank"_s);
        QStringList seen;
        onNextModal(seen, [ok](QWidget* modal) {
            auto* options = qobject_cast<frmOptions*>(modal);
            options->chkShowNotes->setChecked(true);
            (ok ? options->cmdOK : options->cmdCancel)->click();
        });
        w.main->linkAction_Click(5);
        QCOMPARE(seen, QStringList{u"frmOptions"_s});
        QCOMPARE(w.main->txtSearch->text(), frmMain::SEARCH_PLACEHOLDER);
        QCOMPARE(w.main->focusWidget(), static_cast<QWidget*>(grid));
        QCOMPARE(grid->GridRowCount(), 2);
        QCOMPARE(clsApp::shared().ShowNotesOwnColumn(), ok);
        QCOMPARE(grid->GridRowTextColumn(), ok ? 0 : 6);
    }

    // Each save of an editor refills the list and selects the saved row, without touching the
    // command states; Enter and a double click open the selected entry.
    void refreshAfterSave()
    {
        Window w;
        Grid* grid = w.main->grid;
        w.selectRow(rowOf(grid, u"Club"_s));
        w.main->tabs->setCurrentIndex(0);
        QStringList seen;
        onNextModal(seen, [](QWidget* modal) {
            auto* editor = qobject_cast<frmPassword*>(modal);
            QCOMPARE(editor->txt[0]->text(), u"Club"_s);
            editor->txt[0]->setText(u"Chess club"_s);
            editor->cmd[1]->click(); // Save
        });
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(seen, QStringList{u"frmPassword"_s});
        const int row = rowOf(grid, u"Chess club"_s);
        QVERIFY(row > 0);
        QCOMPARE(grid->GridSelectedRow(), row);
        QCOMPARE(w.env.RawScalar(u"SELECT TITLE_TX FROM PWD WHERE PASSWORD_ID = 3"_s),
                 u"Chess club"_s);

        // Add from the folder list: the new folder is selected, Edit and Delete stay as they were.
        w.main->tabs->setCurrentIndex(1);
        QVERIFY(!w.linkEnabled(1));
        onNextModal(seen, [](QWidget* modal) {
            auto* editor = qobject_cast<frmFile*>(modal);
            editor->txt[0]->setText(u"Games"_s);
            editor->txt[1]->setText(u"/srv/games"_s);
            editor->cmd[1]->click();
        });
        w.main->linkAction_Click(0);
        QCOMPARE(grid->GridSelectedRow(), rowOf(grid, u"Games"_s));
        QVERIFY(!w.linkEnabled(1) && !w.linkEnabled(2));
    }

    // The help menu and the logo open the maker's pages; About opens its window.
    void helpMenuAndLogo()
    {
        Window w;
        const QString host = QString::fromUtf16(modGeneral::WEB_HOST);
        w.main->mnuHelp_Click(0);
        w.main->mnuHelp_Click(1);
        QTest::mouseClick(w.main->imgQuillonSoftware, Qt::LeftButton);
        QTest::keyClick(w.main->grid, Qt::Key_F1);
        QCOMPARE(w.env.launches.size(), 4);
        // The help ships in the program's own folder.
        const QString help = QUrl::fromLocalFile(QDir::fromNativeSeparators(w.env.AppFolder()) +
                                                 u"/help/keycask/keycask.htm"_s)
                                 .toString();
        QCOMPARE(w.env.launches[0].toString(), help + u"??#"_s + modGeneral::GetHelpTopicPath(1));
        QCOMPARE(w.env.launches[1].toString(), host + u"/keycask/updates"_s);
        QCOMPARE(w.env.launches[2].toString(), host);
        QCOMPARE(w.env.launches[3], w.env.launches[0]);
        QStringList seen;
        onNextModal(seen, &closeModal);
        w.main->mnuHelp_Click(2);
        QCOMPARE(seen, QStringList{u"frmAbout"_s});
    }
};

QTEST_MAIN(tst_MainCommands)
#include "tst_maincommands.moc"
