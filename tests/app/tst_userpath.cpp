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
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (auto* found = qobject_cast<T*>(w); found && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

void closeAll()
{
    QList<QPointer<QWidget>> windows;
    const auto topLevels = QApplication::topLevelWidgets();
    for (QWidget* w : topLevels) {
        if (!w->parentWidget()) {
            windows << w;
        }
    }
    for (const QPointer<QWidget>& w : windows) {
        delete w.data();
    }
}

// What a new process would start with, on the same application folder.
void restart(const TestEnv& env)
{
    closeAll();
    clsDB::shared().CloseConnection();
    clsPWD::Master() = clsPWD();
    clsApp::shared().SetApplicationFolder(env.AppFolder());
}

void typeText(QWidget* w, const QString& sText)
{
    for (QChar ch : sText) {
        if (ch.unicode() < 0x80) {
            QTest::keyClicks(w, QString(ch));
        } else {
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }
}

bool enterActive(const frmLogin& login)
{
    return login.imgEnter->isVisible() && !login.imgEnterGrey->isVisible();
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
    void firstStartThenSignIn()
    {
        World w;
        const QString master = u"Мой ключ 7"_s;
        QVERIFY(modSubMain::Main());
        QVERIFY(QDir(w.env.AppFolder() + u"/Reports"_s).exists());
        QPointer<frmLogin> login = shownWindow<frmLogin>();
        QVERIFY(login);
        QVERIFY(login->txt[1]->isVisible());
        QVERIFY(!shownWindow<frmMain>());
        typeText(login->txt[0], master);
        typeText(login->txt[1], master);
        QTest::keyClick(login->txt[1], Qt::Key_Return);
        QVERIFY(!login || !login->isVisible());
        QVERIFY(shownWindow<frmMain>());
        QCOMPARE(w.env.messages.size(), 1);
        QCOMPARE(w.env.messages[0].prompt, u"Be sure to remember your KeyCask Password."_s);

        clsPWD entry;
        entry.TITLE_TX = u"Bob's bank"_s;
        entry.USER_NM = u"bob"_s;
        entry.PASSWORD_TX = u"hunter2"_s;
        entry.WEB_SITE_TX = u"https://bank.example"_s;
        QVERIFY(entry.Save(true));
        QCOMPARE(entry.PASSWORD_ID, u"2"_s);

        restart(w.env);
        QVERIFY(modSubMain::Main());
        login = shownWindow<frmLogin>();
        QVERIFY(login);
        QVERIFY(!login->txt[1]->isVisible());
        QVERIFY(!login->lblFirstTime->isVisible());
        typeText(login->txt[0], u"Мой ключ"_s);
        QVERIFY(!enterActive(*login));
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QVERIFY(login && login->isVisible());
        QVERIFY(!shownWindow<frmMain>());
        typeText(login->txt[0], u" 7"_s);
        QVERIFY(enterActive(*login));
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QVERIFY(!login || !login->isVisible());
        QVERIFY(shownWindow<frmMain>());
        QCOMPARE(w.env.messages.size(), 1);

        const auto entries = clsPWD().OpenRecords();
        QVERIFY(entries && entries->size() == 1);
        const clsPWD& listed = entries->first();
        QCOMPARE((QStringList{listed.PASSWORD_ID, listed.TITLE_TX, listed.USER_NM,
                              listed.PASSWORD_TX, listed.WEB_SITE_TX, listed.NOTES_TX}),
                 (QStringList{"2", "Bob's bank", "bob", "hunter2", "https://bank.example", ""}));
    }

    // Only the row with identifier 1 is the master row.
    void entriesWithoutMasterRow()
    {
        World w;
        for (const QString& n : {u"1"_s, u"2"_s, u"3"_s}) {
            clsPWD entry;
            entry.TITLE_TX = u"entry "_s + n;
            entry.PASSWORD_TX = u"pw "_s + n;
            QVERIFY(entry.Save(true));
        }
        QVERIFY(clsPWD().Delete(u"1"_s));
        QVERIFY(modSubMain::Main());
        QPointer<frmLogin> login = shownWindow<frmLogin>();
        QVERIFY(login);
        QVERIFY(login->txt[1]->isVisible());
        typeText(login->txt[0], u"pw"_s);
        typeText(login->txt[1], u"pw"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QVERIFY(shownWindow<frmMain>());
        // The master password takes identifier 1, the only one read as the master row.
        QCOMPARE(clsPWD::Master().PASSWORD_ID, u"1"_s);
        clsPWD kept;
        kept.OpenRecord(u"3"_s);
        QCOMPARE(kept.TITLE_TX, u"entry 3"_s);
        QCOMPARE(kept.PASSWORD_TX, u"pw 3"_s);
        QCOMPARE(clsPWD().OpenRecords()->size(), 2);

        restart(w.env);
        QVERIFY(modSubMain::Main());
        login = shownWindow<frmLogin>();
        QVERIFY(login);
        QVERIFY(!login->txt[1]->isVisible());
        typeText(login->txt[0], u"pw"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QVERIFY(shownWindow<frmMain>());
    }
};

QTEST_MAIN(tst_UserPath)
#include "tst_userpath.moc"
