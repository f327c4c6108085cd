// The user's whole way, offscreen on a real data file: start-up, the master password chosen,
// an entry added and edited through the editor, a restart, the log-in, the change still there;
// beside the program, and installed, where the new data file is protected by the master password.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modProtection.h"
#include "platform/Grid.h"
#include "ui/dialogs/frmPassword.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

template <typename T> T* shownWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<T*>(w); window && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

void typeText(QWidget* w, const QString& sText)
{
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, sText, Qt::NoModifier);
}

// Runs the action in the editor that the next command opens.
void inNextEditor(std::function<void(frmPassword*)> action)
{
    QTimer::singleShot(0, [action] {
        auto* editor = qobject_cast<frmPassword*>(QApplication::activeModalWidget());
        QVERIFY(editor);
        action(editor);
    });
}

// Starts the program as the entry procedure does and signs in.
frmMain* startAndSignIn(const QString& sPassword, bool bFirstTime)
{
    // As a new process: the session's key is the built-in one again.
    clsDB::shared().CloseConnection();
    clsDB::shared().EndSession();
    clsDB::shared().Key = clsDB::DatabasePassword();
    clsDB::shared().KdfIter = 0;
    clsPWD::Master() = clsPWD();
    if (!modSubMain::Main()) {
        return nullptr;
    }
    frmLogin* login = shownWindow<frmLogin>();
    if (!login || login->txt[1]->isVisible() != bFirstTime) {
        return nullptr;
    }
    typeText(login->txt[0], sPassword);
    if (bFirstTime) {
        typeText(login->txt[1], sPassword);
    }
    QTest::keyClick(login->txt[0], Qt::Key_Return);
    return shownWindow<frmMain>();
}

QStringList rowText(const Grid* grid, int lRow)
{
    return {grid->GridCellText(lRow, 1), grid->GridCellText(lRow, 2), grid->GridCellText(lRow, 4),
            grid->GridCellText(lRow, 5), grid->GridCellText(lRow, 6)};
}

} // namespace

class tst_UserWay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addEditRestart_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::newRow("beside the program") << false;
        QTest::newRow("installed") << true;
    }

    void addEditRestart()
    {
        QFETCH(bool, installed);
        TestEnv env(!installed);
        if (installed) {
            // No marker beside the program: the first start makes the user's data file.
            QVERIFY(QFile::remove(env.AppFolder() + u"/"_s + clsApp::PORTABLE_MARKER));
            clsApp::shared().SetApplicationFolder(env.AppFolder());
            clsDB::shared().Database = clsApp::shared().DatabasePath();
        }
        frmMain* main = startAndSignIn(u"Fresh start 1"_s, true);
        QVERIFY(main);
        // Installed, the new file opens only with the master password; beside the program it
        // keeps the built-in one.
        QCOMPARE(modProtection::OpensWithBuiltInPassword(clsDB::shared().Database), !installed);
        QCOMPARE(modProtection::SessionProtected(), installed);
        Grid* grid = main->grid;
        QCOMPARE(grid->GridRowCount(), 0);

        inNextEditor([](frmPassword* editor) {
            typeText(editor->txt[0], u"Mail"_s);
            typeText(editor->cbo[1]->lineEdit(), u"mia"_s);
            typeText(editor->cbo[2]->lineEdit(), u"m@il-pw"_s);
            typeText(editor->txt[3], u"mail.example"_s);
            typeText(editor->txt[4], u"inbox notes"_s);
            editor->cmd[1]->click();
        });
        QTest::keyClick(grid, Qt::Key_1);
        QCOMPARE(grid->GridRowCount(), 1);
        QCOMPARE(grid->GridSelectedRow(), 1);
        QCOMPARE(rowText(grid, 1), (QStringList{u"Mail"_s, u"mia"_s, u"m@il-pw"_s,
                                                u"mail.example"_s, u"inbox notes"_s}));

        inNextEditor([](frmPassword* editor) {
            QCOMPARE(editor->txt[0]->text(), u"Mail"_s);
            editor->cbo[1]->lineEdit()->selectAll();
            typeText(editor->cbo[1]->lineEdit(), u"mia.b"_s);
            editor->cmd[1]->click();
        });
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(grid->GridCellText(1, 2), u"mia.b"_s);
        main->close();
        QApplication::processEvents();

        // Restart on the same file: log-in mode, the change is there.
        main = startAndSignIn(u"Fresh start 1"_s, false);
        QVERIFY(main);
        QCOMPARE(main->grid->GridRowCount(), 1);
        QCOMPARE(rowText(main->grid, 1), (QStringList{u"Mail"_s, u"mia.b"_s, u"m@il-pw"_s,
                                                      u"mail.example"_s, u"inbox notes"_s}));
        main->close();
        QApplication::processEvents();
        // Only the reminder of the first start was shown.
        QCOMPARE(env.messages.size(), 1);
    }
};

QTEST_MAIN(tst_UserWay)
#include "tst_userway.moc"
