// Tests of the user's whole way from start-up: master password, entry, restart and sign-in.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

template <typename T> T* shownWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(w); found && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

void closeAll()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->parentWidget()) {
            windows << w;
        }
    }
    qDeleteAll(windows);
}

// Starts the program as a new process would, on the same application folder.
QPointer<frmLogin> start(const TestEnv& env)
{
    closeAll();
    clsDB::shared().CloseConnection();
    clsPWD::Master() = clsPWD();
    clsApp::shared().SetApplicationFolder(env.AppFolder());
    return modSubMain::Main() ? shownWindow<frmLogin>() : nullptr;
}

// Types text as one key press; any characters, as an input method would deliver them.
void typeText(QWidget* w, const QString& sText)
{
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, sText, Qt::NoModifier);
}

// Windows go before the data file and the settings they may use.
struct World
{
    ~World() { closeAll(); }
    TestEnv env;
};

} // namespace

class tst_UserPath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Only the row with identifier 1 is the master row, also when other entries exist.
    void wholeWay_data()
    {
        QTest::addColumn<bool>("entriesWithoutRowOne");
        QTest::newRow("new data file") << false;
        QTest::newRow("entries but no row 1") << true;
    }

    void wholeWay()
    {
        QFETCH(bool, entriesWithoutRowOne);
        World w;
        QStringList expected;
        if (entriesWithoutRowOne) {
            for (const QString& n : {u"1"_s, u"2"_s, u"3"_s}) {
                TestEnv::AddPassword(u"entry "_s + n, QString(), u"pw "_s + n);
            }
            QVERIFY(clsPWD().Delete(u"1"_s));
            expected = QStringList{u"entry 2||pw 2|"_s, u"entry 3||pw 3|"_s};
        }
        const QString master = u"Мой ключ 7"_s;
        QPointer<frmLogin> login = start(w.env);
        QVERIFY(login && login->txt[1]->isVisible() && !shownWindow<frmMain>());
        QVERIFY(QDir(w.env.AppFolder() + u"/Reports"_s).exists());
        typeText(login->txt[0], master);
        typeText(login->txt[1], master);
        QTest::keyClick(login->txt[1], Qt::Key_Return);
        QVERIFY((!login || !login->isVisible()) && shownWindow<frmMain>());
        QCOMPARE(w.env.messages.size(), 1);
        QCOMPARE(clsPWD::Master().PASSWORD_ID, u"1"_s);
        TestEnv::AddPassword(u"Bob's bank"_s, u"bob"_s, u"hunter2"_s, u"https://bank.example"_s);
        expected.prepend(u"Bob's bank|bob|hunter2|https://bank.example"_s);

        // The next start asks for the master password, exactly.
        login = start(w.env);
        QVERIFY(login && !login->txt[1]->isVisible() && !login->lblFirstTime->isVisible());
        typeText(login->txt[0], u"Мой ключ"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QVERIFY(login && login->isVisible() && !shownWindow<frmMain>());
        typeText(login->txt[0], u" 7"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QVERIFY((!login || !login->isVisible()) && shownWindow<frmMain>());
        QCOMPARE(w.env.messages.size(), 1);

        QStringList listed;
        for (const clsPWD& e : clsPWD().OpenRecords().value_or(QList<clsPWD>())) {
            listed << e.TITLE_TX + u'|' + e.USER_NM + u'|' + e.PASSWORD_TX + u'|' + e.WEB_SITE_TX;
        }
        QCOMPARE(listed, expected);
    }
};

QTEST_MAIN(tst_UserPath)
#include "tst_userpath.moc"
