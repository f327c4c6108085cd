// The main window's lock and tray life on real data files, offscreen: locking and unlocking,
// dead shortcuts while locked, the shared lock setting, minimising with and without a
// notification area, the tray menu, and Exit from the tray while locked.
#include "TestEnv.h"
#include "app/ClipboardHelper.h"
#include "app/clsApp.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "platform/Grid.h"
#include "platform/MsgBox.h"
#include "platform/SettingsStore.h"
#include "platform/SqlConnection.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/usrHyperlink.h"
#include "ui/dialogs/frmHealth.h"
#include "ui/dialogs/frmPassword.h"
#include "ui/main/frmMain.h"
#include "ui/main/modGrid.h"
#include "ui/tray/frmSystemTray.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

bool trayPresent()
{
    return true;
}
bool trayAbsent()
{
    return false;
}

struct Window
{
    TestEnv env;
    std::unique_ptr<frmMain> main;

    explicit Window(const QString& sMaster = u"Master pw"_s)
    {
        TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, sMaster);
        TestEnv::AddPassword(u"Bank"_s, u"bob"_s, u"b4nk-pw"_s, u"bank.example"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        main = std::make_unique<frmMain>();
        main->show();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
    }
    ~Window() { frmMain::TrayAvailable = nullptr; }

    bool locked() const
    {
        return main->picLock->isVisible() && !main->picTop->isEnabled() &&
               !main->picBottom->isEnabled() && !main->txtSearch->isVisible() &&
               !main->grid->isVisible();
    }
    bool unlocked() const
    {
        return !main->picLock->isVisible() && main->picTop->isEnabled() &&
               main->picBottom->isEnabled() && main->txtSearch->isVisible() &&
               main->grid->isVisible();
    }
    void minimize()
    {
        main->showMinimized();
        QTest::qWait(20);
    }
    QStringList trayMenu() const
    {
        QStringList captions;
        for (const QAction* action : main->mfrmSystemTray->mnuPopup()->actions()) {
            captions << (action->isSeparator() ? u"-"_s : action->text());
        }
        return captions;
    }
};

void typeText(QLineEdit* w, const QString& sText)
{
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, sText, Qt::NoModifier);
}

} // namespace

class tst_MainLock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Unlock is enabled only for the exact master password; Enter unlocks only then.
    void unlock_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("opens");
        QTest::newRow("exact") << u"Master pw"_s << u"Master pw"_s << true;
        QTest::newRow("other case") << u"Master pw"_s << u"master PW"_s << false;
        QTest::newRow("trailing space") << u"Master pw"_s << u"Master pw "_s << false;
        QTest::newRow("non-Latin") << u"Пароль 密码"_s << u"Пароль 密码"_s << true;
        QTest::newRow("empty box") << u"Master pw"_s << QString() << false;
    }

    void unlock()
    {
        QFETCH(QString, master);
        QFETCH(QString, typed);
        QFETCH(bool, opens);
        Window w(master);
        QTest::keyClick(w.main->grid, Qt::Key_ScrollLock);
        QVERIFY(w.locked());
        QVERIFY(w.main->txtPassword->text().isEmpty() && !w.main->cmdUnlock->isEnabled());
        typeText(w.main->txtPassword, typed);
        QCOMPARE(w.main->cmdUnlock->isEnabled(), opens);
        QTest::keyClick(w.main->txtPassword, Qt::Key_Return);
        QCOMPARE(w.unlocked(), opens);
        QCOMPARE(w.locked(), !opens);
    }

    // A damaged master row leaves an empty master password: nothing unlocks the window.
    void emptyMasterNeverUnlocks()
    {
        Window w;
        clsPWD::Master().PASSWORD_TX.clear();
        w.main->LockWindow();
        for (const QString& typed : {QString(), u" "_s, u"Master pw"_s}) {
            w.main->txtPassword->setText(typed);
            QVERIFY(!w.main->cmdUnlock->isEnabled());
            QTest::keyClick(w.main->txtPassword, Qt::Key_Return);
            QVERIFY(w.locked());
        }
    }

    // While locked the shortcuts, links, logos and the always-on-top box do nothing.
    void deadWhileLocked()
    {
        Window w;
        QTest::mouseClick(w.main->imgKeyCask, Qt::LeftButton);
        QVERIFY(w.locked());
        QCOMPARE(w.main->focusWidget(), static_cast<QWidget*>(w.main->txtPassword));
        for (const Qt::Key key : {Qt::Key_1, Qt::Key_4, Qt::Key_6, Qt::Key_F1}) {
            QTest::keyClick(w.main->txtPassword, key);
        }
        QTest::keyClick(w.main->txtPassword, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!w.main->mbRevealPasswords && w.env.launches.isEmpty());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(w.main->focusWidget(), static_cast<QWidget*>(w.main->txtPassword));
        QTest::mouseClick(w.main->imgQuillonSoftware, Qt::LeftButton);
        QTest::mouseClick(w.main->linkAction[3], Qt::LeftButton);
        QTest::mouseClick(w.main->chkAlwaysOnTop, Qt::LeftButton);
        QVERIFY(!w.main->mbRevealPasswords && w.env.launches.isEmpty());
        QVERIFY(!w.main->chkAlwaysOnTop->isChecked());
        // The password box has the keys it was given, the digits included.
        QCOMPARE(w.main->txtPassword->text(), u"146"_s);
    }

    // Locking clears a password KeyCask copied, and nothing the user copied since.
    void lockClearsOwnPassword_data()
    {
        QTest::addColumn<bool>("copySomethingElse");
        QTest::addColumn<QString>("left");
        QTest::newRow("password still there") << false << QString();
        QTest::newRow("user copied since") << true << u"from another program"_s;
    }

    void lockClearsOwnPassword()
    {
        QFETCH(bool, copySomethingElse);
        QFETCH(QString, left);
        Window w;
        ClipboardHelper::shared().CopyText(u"b4nk-pw"_s, true);
        if (copySomethingElse) {
            QApplication::clipboard()->setText(left);
        }
        w.main->LockWindow();
        QCOMPARE(QApplication::clipboard()->text(), left);
    }

    // Locking zeroes and lets go of the plain passwords: the list, the drop-down lists of an
    // editor open behind the lock (which keeps its own fields), the clipboard's remembered copy
    // and the master password. Unlocking reads the list again as it was shown: the rows, their
    // sort, the search, the selection and the revealed passwords.
    void lockForgetsPasswords()
    {
        Window w;
        TestEnv::AddPassword(u"Cloud"_s, u"carol"_s, u"cl0ud-pw"_s, u"cloud.example"_s);
        TestEnv::AddPassword(u"Alpha mail"_s, u"al"_s, u"alph4-pw"_s, u"mail.example"_s);
        Grid* grid = w.main->grid;
        w.main->FillPasswordGrid();
        modGrid::SortGrid(grid, 1);
        modGrid::SortGrid(grid, 1);  // titles the other way round
        w.main->linkAction_Click(3); // Reveal
        auto shown = [grid] {
            QStringList rows;
            for (int i = 1; i <= grid->GridRowCount(); ++i) {
                rows << grid->GridCellText(i, 1) + u'|' + grid->GridCellText(i, 3) +
                            (grid->isGridRowVisible(i) ? u""_s : u" hidden"_s);
            }
            return rows;
        };
        w.main->txtSearch->setText(u"o"_s);
        const long bankID =
            w.env.RawScalar(u"SELECT PASSWORD_ID FROM PWD WHERE TITLE_TX = 'Bank'"_s).toLong();
        modGrid::SelectRowByID(grid, bankID);
        const QStringList before = shown();
        QCOMPARE(before, QStringList({u"Cloud|cl0ud-pw"_s, u"Bank|b4nk-pw"_s,
                                      u"Alpha mail|alph4-pw hidden"_s}));
        QCOMPARE(grid->GridSelectedRow(), 2);
        // A password copied from the list: the helper's copy shares the text held here.
        const QString copied = grid->GridCellText(grid->GridSelectedRow(), 4);
        ClipboardHelper::shared().CopyText(copied, true);

        QString item;
        QString keptTitle;
        int listedBefore = 0;
        int listedWhileLocked = -1;
        int listedAfter = 0;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<frmPassword*>(QApplication::activeModalWidget());
            QVERIFY(editor);
            listedBefore = editor->cbo[2]->count();
            item = editor->cbo[2]->itemText(0); // shares the list's text
            editor->txt[0]->setText(u"Draft"_s);
            w.main->LockWindow();
            QVERIFY(w.locked());
            listedWhileLocked = editor->cbo[1]->count() + editor->cbo[2]->count();
            keptTitle = editor->txt[0]->text();
            QCOMPARE(grid->GridRowCount(), 0);
            QVERIFY(clsPWD::Master().PASSWORD_TX.isEmpty());
            typeText(w.main->txtPassword, u"Master pw"_s);
            w.main->cmdUnlock->click();
            QVERIFY(w.unlocked());
            listedAfter = editor->cbo[2]->count();
            QMetaObject::invokeMethod(editor, "reject");
        });
        w.main->linkAction_Click(0); // the password editor, modal
        QCOMPARE(listedBefore, 3);
        QCOMPARE(listedWhileLocked, 0);
        QCOMPARE(item, QString(item.size(), QChar(0)));
        QCOMPARE(keptTitle, u"Draft"_s);
        QCOMPARE(listedAfter, 3);
        QCOMPARE(copied, QString(copied.size(), QChar(0)));
        QVERIFY(!ClipboardHelper::shared().HoldsOwnCopy());
        QVERIFY(QApplication::clipboard()->text().isEmpty());
        QVERIFY(w.main->txtPassword->text().isEmpty());
        QCOMPARE(clsPWD::Master().PASSWORD_TX, u"Master pw"_s);

        QCOMPARE(shown(), before);
        QCOMPARE(w.main->txtSearch->text(), u"o"_s);
        QCOMPARE(grid->GridRowID(grid->GridSelectedRow()), bankID);
        w.main->linkAction_Click(3); // Hide
        QCOMPARE(grid->GridCellText(2, 3), frmMain::PASSWORD_MASK);
        w.main->linkAction_Click(3); // Reveal
        QCOMPARE(grid->GridCellText(2, 3), u"b4nk-pw"_s);
    }

    // After Reveal, a list built again (a save, a tab switch) shows its rows masked: the unlock
    // shows each row as it was before the lock, never more in clear, scrolled as it was. A data
    // file replaced while locked is read at the unlock.
    void unlockShowsListAsBefore_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("revealed") << QString();
        QTest::newRow("revealed, then saved") << u"save"_s;
        QTest::newRow("revealed, then another tab and back") << u"tab"_s;
        QTest::newRow("file replaced while locked") << u"replace"_s;
    }

    void unlockShowsListAsBefore()
    {
        QFETCH(QString, before);
        Window w;
        for (int i = 10; i < 70; ++i) {
            TestEnv::AddPassword(u"Entry %1"_s.arg(i), u"user"_s, u"pw %1"_s.arg(i));
        }
        Grid* grid = w.main->grid;
        w.main->FillPasswordGrid();
        w.main->linkAction_Click(3); // Reveal
        if (before == u"save"_s) {
            w.main->FillPasswordGrid();
        } else if (before == u"tab"_s) {
            w.main->tabs->setCurrentIndex(1);
            w.main->tabs->setCurrentIndex(0);
        }
        QCOMPARE(w.main->linkAction[3]->Caption(), u"Hide"_s);
        auto shown = [grid] {
            QStringList rows;
            for (int i = 1; i <= grid->GridRowCount(); ++i) {
                rows << grid->GridCellText(i, 1) + u'|' + grid->GridCellText(i, 3);
            }
            return rows;
        };
        QStringList expected = shown();
        QVERIFY(grid->verticalScrollBar()->maximum() > 100);
        grid->verticalScrollBar()->setValue(100);

        w.main->LockWindow();
        if (before == u"replace"_s) {
            const QString path = w.env.DataFilePath();
            QVERIFY(QFile::copy(path, path + u".synced"_s));
            {
                SqlConnection other;
                other.Open(path + u".synced"_s, clsDB::DatabasePassword(),
                           SqlConnection::Mode::ReadWrite);
                other.Execute(u"DELETE FROM PWD WHERE TITLE_TX = 'Entry 69'"_s);
            }
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::rename(path + u".synced"_s, path));
            expected.removeIf([](const QString& row) { return row.startsWith(u"Entry 69|"_s); });
        }
        typeText(w.main->txtPassword, u"Master pw"_s);
        w.main->cmdUnlock->click();
        QVERIFY(w.unlocked());
        QCOMPARE(shown(), expected);
        QCOMPARE(grid->verticalScrollBar()->value(), 100);
    }

    // The box on the lock panel and the options change one setting.
    void lockBoxIsTheSetting()
    {
        Window w;
        w.main->LockWindow();
        QVERIFY(w.main->chkLock->isChecked());
        w.main->chkLock->click();
        QVERIFY(!clsApp::shared().LockOnMinimize());
        clsApp::shared().setLockOnMinimize(true); // as the options dialog stores it
        w.main->LockWindow();
        QVERIFY(w.main->chkLock->isChecked());
    }

    // Without a notification area the window stays reachable on the task bar; the balloon
    // setting is set all the same and the lock still happens.
    void minimizeWithoutTray()
    {
        Window w;
        frmMain::TrayAvailable = &trayAbsent;
        w.minimize();
        QVERIFY(!w.main->mfrmSystemTray);
        QVERIFY(!w.main->isHidden());
        QVERIFY(w.main->isMinimized());
        QVERIFY(clsApp::shared().BalloonShown());
        QVERIFY(w.main->picLock->isVisibleTo(w.main.get()));
        QVERIFY(QApplication::quitOnLastWindowClosed());
    }

    // Minimising to the tray: the five-item menu with its bold default, the balloon once per
    // user, the lock as the setting says; the window comes back as it went.
    void minimizeToTray_data()
    {
        QTest::addColumn<bool>("lockOnMinimize");
        QTest::addColumn<bool>("lockedBefore");
        QTest::addColumn<bool>("lockedAfter");
        QTest::addColumn<QString>("boxAfter");
        QTest::newRow("lock on minimise") << true << false << true << QString();
        QTest::newRow("locked, lock on minimise") << true << true << true << QString();
        QTest::newRow("no lock") << false << false << false << u"abc"_s;
        QTest::newRow("locked, no lock") << false << true << true << u"abc"_s;
    }

    void minimizeToTray()
    {
        QFETCH(bool, lockOnMinimize);
        QFETCH(bool, lockedBefore);
        QFETCH(bool, lockedAfter);
        QFETCH(QString, boxAfter);
        Window w;
        frmMain::TrayAvailable = &trayPresent;
        clsApp::shared().setLockOnMinimize(lockOnMinimize);
        if (lockedBefore) {
            w.main->LockWindow();
        }
        w.main->txtPassword->setText(u"abc"_s);
        QVERIFY(!clsApp::shared().BalloonShown());
        w.minimize();
        QVERIFY(w.main->mfrmSystemTray);
        QVERIFY(w.main->isHidden());
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        QCOMPARE(w.trayMenu(), (QStringList{u"Open KeyCask"_s, u"Check for updates"_s, u"About"_s,
                                            u"-"_s, u"Exit"_s}));
        QCOMPARE(w.main->mfrmSystemTray->DefaultMenuIndex(), 0);
        QVERIFY(w.main->mfrmSystemTray->mnuPopup()->actions()[0]->font().bold());
        QCOMPARE(w.main->mfrmSystemTray->IconHandle().cacheKey(), w.main->windowIcon().cacheKey());
        QVERIFY(clsApp::shared().BalloonShown());

        // "Check for updates" leaves the window in the tray.
        w.main->mfrmSystemTray_MenuClick(1, QString());
        QVERIFY(w.main->isHidden() && w.main->mfrmSystemTray);
        QCOMPARE(w.env.launches.size(), 1);

        w.main->mfrmSystemTray_MenuClick(0, QString());
        QVERIFY(!w.main->isHidden() && !w.main->isMinimized());
        QVERIFY(!w.main->mfrmSystemTray);
        QVERIFY(QApplication::quitOnLastWindowClosed());
        QCOMPARE(w.main->picLock->isVisibleTo(w.main.get()), lockedAfter);
        if (lockedAfter) {
            QCOMPARE(w.main->txtPassword->text(), boxAfter);
        }

        // A second minimise, and one after a restart, show no balloon again: the setting stays.
        w.minimize();
        QVERIFY(w.main->mfrmSystemTray);
        QVERIFY(SettingsStore::shared().GetStoredSetting(u"Software\\QuillonSoftware\\KeyCask"_s,
                                                         u"BalloonShown"_s, u"0"_s) == u"1"_s);
    }

    // A second start of the program brings the window back from the tray, still locked.
    void bringToFrontFromTray()
    {
        Window w;
        frmMain::TrayAvailable = &trayPresent;
        w.minimize();
        QVERIFY(w.main->mfrmSystemTray && w.main->isHidden());
        w.main->BringToFront();
        QVERIFY(!w.main->mfrmSystemTray);
        QVERIFY(!w.main->isHidden() && !w.main->isMinimized());
        QVERIFY(w.main->picLock->isVisibleTo(w.main.get()));
    }

    // A left click opens the tray menu only after the double-click time; a double click
    // restores the window without ever opening it; a right click opens it at once.
    void trayClicks()
    {
        Window w;
        frmMain::TrayAvailable = &trayPresent;
        w.minimize();
        const QPointer<QMenu> menu = w.main->mfrmSystemTray->mnuPopup();
        Q_EMIT w.main->mfrmSystemTray->SysTrayMouseDown(2);
        QTRY_VERIFY(menu->isVisible());
        menu->close();
        Q_EMIT w.main->mfrmSystemTray->SysTrayMouseDown(1);
        QTest::qWait(20);
        QVERIFY(!menu->isVisible());
        QTRY_VERIFY(menu->isVisible());
        // Once the menu is up, nothing of the tray's is still waiting to open it again.
        for (const QTimer* timer :
             w.main->mfrmSystemTray->findChildren<QTimer*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY(!timer->isActive());
        }
        menu->close();

        Q_EMIT w.main->mfrmSystemTray->SysTrayMouseDown(1);
        Q_EMIT w.main->mfrmSystemTray->SysTrayMouseDown(1);
        Q_EMIT w.main->mfrmSystemTray->SysTrayDoubleClick(1);
        QVERIFY(!w.main->isHidden() && !w.main->mfrmSystemTray);
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 100);
        QVERIFY(!menu || !menu->isVisible());
    }

    // About from the tray, closed, does not end the program while the window is in the tray.
    void aboutFromTrayKeepsRunning()
    {
        Window w;
        frmMain::TrayAvailable = &trayPresent;
        w.minimize();
        QString parentName;
        QTimer::singleShot(0, [&parentName] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                parentName = modal->parentWidget() ? modal->parentWidget()->objectName() : "-";
                modal->close();
            }
        });
        w.main->mfrmSystemTray_MenuClick(2, QString());
        QCOMPARE(parentName, u"frmMain"_s);
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        QVERIFY(w.main->isHidden() && w.main->mfrmSystemTray);
    }

    // The idle lock: after the chosen minutes without input, not before; any input starts the
    // time again; 0 never locks; an open modal window is hidden, its input kept, until the unlock;
    // in the tray the time keeps running.
    void idleLock_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::newRow("1 minute") << 1;
        QTest::newRow("5 minutes") << 5;
        QTest::newRow("never") << 0;
    }

    void idleLock()
    {
        QFETCH(int, minutes);
        static qint64 now = 0;
        now = 1000000;
        frmMain::IdleClock = [] { return now; };
        Window w;
        clsApp::shared().setIdleLockMinutes(minutes);
        w.main->ApplyIdleSetting();
        const qint64 period = qint64(minutes) * 60000;

        now += period - 1;
        w.main->CheckIdle();
        QVERIFY(w.unlocked());
        // A key in the search box is use: the full time starts again.
        QTest::keyClick(w.main->txtSearch, Qt::Key_B);
        now += period - 1;
        w.main->CheckIdle();
        QVERIFY(w.unlocked());
        now += 1;
        w.main->CheckIdle();
        QCOMPARE(w.locked(), minutes > 0);
        if (minutes == 0) {
            now += 24LL * 3600000;
            w.main->CheckIdle();
            QVERIFY(w.unlocked());
        }
        frmMain::IdleClock = nullptr;
    }

    void idleLockHidesModal()
    {
        static qint64 now = 0;
        frmMain::IdleClock = [] { return now; };
        Window w;
        clsApp::shared().setIdleLockMinutes(1);
        w.main->ApplyIdleSetting();
        bool lockedWhileOpen = false;
        bool hiddenWhileLocked = false;
        bool backAfterUnlock = false;
        QString typedAfterUnlock;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<frmPassword*>(QApplication::activeModalWidget());
            QVERIFY(editor);
            editor->txt[0]->setText(u"Half-typed title"_s);
            now += 10 * 60000;
            w.main->CheckIdle();
            lockedWhileOpen = w.locked();
            hiddenWhileLocked = !editor->isVisible() && !QApplication::activeModalWidget();
            // The editor's own loop goes on behind the lock: the unlock comes in a later round of
            // it. The lock panel takes input while the editor is hidden; the editor comes back.
            QTimer::singleShot(0, editor, [&, editor] {
                w.main->txtPassword->setText(u"Master pw"_s);
                w.main->cmdUnlock->click();
                backAfterUnlock =
                    editor->isVisible() && QApplication::activeModalWidget() == editor;
                typedAfterUnlock = editor->txt[0]->text();
                w.env.answer = [](const MsgBox::Call&) { return static_cast<int>(MsgBox::vbNo); };
                QMetaObject::invokeMethod(editor, "reject");
            });
        });
        w.main->linkAction_Click(0); // the password editor, modal
        QVERIFY(lockedWhileOpen);
        QVERIFY(hiddenWhileLocked);
        QVERIFY(backAfterUnlock);
        QCOMPARE(typedAfterUnlock, u"Half-typed title"_s);
        QVERIFY(w.unlocked());
        now += 10 * 60000;
        w.main->CheckIdle();
        QVERIFY(w.locked());

        // In the tray the time keeps running.
        frmMain::TrayAvailable = &trayPresent;
        clsApp::shared().setLockOnMinimize(false);
        w.main->txtPassword->setText(u"Master pw"_s);
        w.main->cmdUnlock->click();
        QVERIFY(w.unlocked());
        w.minimize();
        QVERIFY(w.main->mfrmSystemTray && w.unlocked() == false);
        now += 2 * 60000;
        w.main->CheckIdle();
        QVERIFY(w.main->picLock->isVisibleTo(w.main.get()));
        frmMain::IdleClock = nullptr;
    }

    // The password health window holds every plain password: the lock closes it (its dialog
    // finishes) rather than hiding it until the unlock.
    void lockClosesHealth()
    {
        Window w;
        frmHealth health(w.main.get());
        bool finished = false;
        connect(&health, &QDialog::finished, this, [&finished] { finished = true; });
        health.open();
        QVERIFY(health.isVisible());
        w.main->LockWindow();
        QVERIFY(finished && !health.isVisible());
        QVERIFY(w.locked());
    }

    // Exit from the tray while locked: no password, the clean-up runs, the program ends.
    // Last: it ends the event loops of this program.
    void trayExitWhileLocked()
    {
        Window w;
        frmMain::TrayAvailable = &trayPresent;
        clsApp::shared().MakeReportPath();
        const QString report =
            QDir(clsApp::shared().ReportPath()).filePath(u"PWD_2026-12-07_153000.rtf"_s);
        QFile file(report);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        ClipboardHelper::shared().CopyText(u"b4nk-pw"_s, true);
        w.minimize();
        QVERIFY(w.main->picLock->isVisibleTo(w.main.get()));

        QEventLoop loop;
        QTimer::singleShot(0, w.main.get(), [&w] { w.main->mfrmSystemTray_MenuClick(4, {}); });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        loop.exec();
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(!QFile::exists(report));
        QCOMPARE(QApplication::clipboard()->text(), QString());
        QVERIFY(!SettingsStore::shared()
                     .GetStoredSetting(u"Software\\QuillonSoftware\\KeyCask\\frmMain"_s, u"Width"_s,
                                       QString())
                     .isEmpty());
    }
};

QTEST_MAIN(tst_MainLock)
#include "tst_mainlock.moc"
