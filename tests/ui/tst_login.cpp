// Tests of the sign-in window driven offscreen: create, log in and change the master password.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "crypto/modFieldEncryption.h"
#include "data/clsPWD.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Types as the user would; characters beyond ASCII arrive as text-only key events.
void typeText(QLineEdit* w, const QString& sText, bool bClearFirst = false)
{
    if (bClearFirst) {
        w->clear();
    }
    for (QChar ch : sText) {
        if (ch.unicode() < 0x80) {
            QTest::keyClicks(w, QString(ch));
        } else {
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }
}

QPointer<frmLogin> showLogin(bool bReset = false)
{
    auto* login = new frmLogin();
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->gbResetPassword = bReset;
    login->show();
    return login;
}

bool isOpen(const QPointer<frmLogin>& login)
{
    return login && login->isVisible();
}

// Exactly one of the two Enter images is visible; true when it is the active one.
bool enterActive(const frmLogin& login)
{
    const bool active = login.imgEnter->isVisible();
    return active != login.imgEnterGrey->isVisible() && active;
}

bool mainWindowShown()
{
    const auto windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [](QWidget* w) { return qobject_cast<frmMain*>(w) && w->isVisible(); });
}

// Stores a master row and loads it into the shared record as start-up does.
void storeMaster(const TestEnv& env, const QString& sPassword)
{
    clsPWD master;
    master.TITLE_TX = master.USER_NM = u"KeyCask"_s;
    master.PASSWORD_TX = sPassword;
    QVERIFY(master.Save(true));
    clsApp::shared().SetApplicationFolder(env.AppFolder());
    clsPWD::Master() = clsPWD();
    clsPWD::Master().OpenRecord(u"1"_s);
}

QString stored(const TestEnv& env, const QString& sID = u"1"_s)
{
    return env.RawScalar(u"SELECT PASSWORD_TX FROM PWD WHERE PASSWORD_ID = "_s + sID);
}

// A test's world; its windows go before the data file and settings they may use.
struct World
{
    TestEnv env;
    ~World()
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
};

} // namespace

class tst_Login : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void createModeEnterState_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<bool>("acceptable");
        QTest::newRow("both empty") << ""
                                    << "" << false;
        QTest::newRow("confirm empty") << "secret"
                                       << "" << false;
        QTest::newRow("password empty") << ""
                                        << "secret" << false;
        QTest::newRow("equal") << "secret"
                               << "secret" << true;
        QTest::newRow("case differs") << "secret"
                                      << "Secret" << false;
        QTest::newRow("trailing space") << "secret "
                                        << "secret" << false;
        QTest::newRow("equal with spaces") << " a b "
                                           << " a b " << true;
        QTest::newRow("Cyrillic equal") << "Пароль"
                                        << "Пароль" << true;
        QTest::newRow("Cyrillic case differs") << "Пароль"
                                               << "пароль" << false;
    }

    void createModeEnterState()
    {
        QFETCH(QString, password);
        QFETCH(QString, confirm);
        QFETCH(bool, acceptable);
        World w;
        const auto login = showLogin();
        QVERIFY(login->txt[1]->isVisible() && login->lbl[1]->isVisible());
        QVERIFY(!login->lblFirstTime->isVisible());
        QVERIFY(!enterActive(*login));
        typeText(login->txt[0], password);
        typeText(login->txt[1], confirm);
        QCOMPARE(login->txt[0]->text(), password);
        QCOMPARE(enterActive(*login), acceptable);
        if (acceptable) {
            // Changing one character of either box takes the button away again.
            QTest::keyClick(login->txt[1], Qt::Key_Backspace);
            typeText(login->txt[1], u"x"_s);
            QVERIFY(!enterActive(*login));
            typeText(login->txt[1], confirm, true);
            QVERIFY(enterActive(*login));
            login->txt[0]->setText(password + u"x"_s);
        }
        // Enter does nothing while the button is greyed.
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QTest::keyClick(login->txt[1], Qt::Key_Enter);
        QTest::mouseClick(login->imgEnterGrey, Qt::LeftButton);
        QVERIFY(w.env.messages.isEmpty());
        QVERIFY(isOpen(login) && !mainWindowShown());
        QCOMPARE(w.env.RawScalar(u"SELECT count(*) FROM PWD"_s), u"0"_s);
    }

    void createMasterPassword_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("how");
        QTest::newRow("ASCII, Return key") << "s3cret pw!" << 0;
        QTest::newRow("Cyrillic, click") << "Пароль 1" << 1;
        QTest::newRow("Polish and CJK, keypad Enter") << "Zażółć 密码" << 2;
    }

    void createMasterPassword()
    {
        QFETCH(QString, password);
        QFETCH(int, how);
        World w;
        const auto login = showLogin();
        typeText(login->txt[0], password);
        typeText(login->txt[1], password);
        if (how == 0) {
            QTest::keyClick(login->txt[1], Qt::Key_Return);
        } else if (how == 1) {
            QTest::mouseClick(login->imgEnter, Qt::LeftButton);
        } else {
            QTest::keyClick(login->txt[0], Qt::Key_Enter);
        }
        QCOMPARE(w.env.messages.size(), 1);
        QCOMPARE(w.env.messages[0].prompt, u"Be sure to remember your KeyCask Password."_s);
        QCOMPARE(w.env.messages[0].flags, 64);
        QCOMPARE(w.env.messages[0].title, u"KeyCask"_s);
        QVERIFY(!isOpen(login));
        QVERIFY(mainWindowShown());

        QCOMPARE(w.env.RawScalar(u"SELECT group_concat(PASSWORD_ID || '|' || TITLE_TX || '|' || "
                                 "USER_NM || '|' || (WEB_SITE_TX IS NULL) || (NOTES_TX IS NULL)) "
                                 "FROM PWD"_s),
                 u"1|KeyCask|KeyCask|11"_s);
        QVERIFY(stored(w.env) != password);
        QCOMPARE(modFieldEncryption::DecryptField(stored(w.env)), password);
        QCOMPARE(clsPWD::Master().PASSWORD_ID, u"1"_s);
        // The next start reads it back.
        clsPWD::Master() = clsPWD();
        clsApp::shared().SetApplicationFolder(w.env.AppFolder());
        QVERIFY(!clsApp::shared().FirstTime());
        QCOMPARE(clsPWD::Master().PASSWORD_TX, password);
    }

    void logIn_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("exact") << "Abc"
                               << "Abc" << true;
        QTest::newRow("lower case") << "Abc"
                                    << "abc" << false;
        QTest::newRow("trailing space") << "Abc"
                                        << "Abc " << false;
        QTest::newRow("leading space") << "Abc"
                                       << " Abc" << false;
        QTest::newRow("prefix") << "Abc"
                                << "Ab" << false;
        QTest::newRow("nothing typed") << "Abc"
                                       << "" << false;
        QTest::newRow("Cyrillic") << "Пароль"
                                  << "Пароль" << true;
        QTest::newRow("Cyrillic lower case") << "Пароль"
                                             << "пароль" << false;
    }

    void logIn()
    {
        QFETCH(QString, master);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        World w;
        storeMaster(w.env, master);
        const QString before = stored(w.env);
        const auto login = showLogin();
        QVERIFY(login->txt[0]->isVisible());
        QVERIFY(!login->txt[1]->isVisible() && !login->lbl[1]->isVisible());
        QVERIFY(!login->lblFirstTime->isVisible());
        typeText(login->txt[0], typed);
        QCOMPARE(enterActive(*login), accepted);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QCOMPARE(isOpen(login), !accepted);
        QCOMPARE(mainWindowShown(), accepted);
        QVERIFY(w.env.messages.isEmpty());
        QCOMPARE(stored(w.env), before);
    }

    void changeMasterPassword()
    {
        World w;
        storeMaster(w.env, u"old pw"_s);
        clsPWD bank;
        bank.TITLE_TX = bank.PASSWORD_TX = u"Bank"_s;
        QVERIFY(bank.Save(true));
        const QString bankBefore = stored(w.env, u"2"_s);

        const auto login = showLogin(true);
        QCOMPARE(login->lblMessage->text(), u"Step 1 of 2: Enter Current Password"_s);
        QVERIFY(login->lblFirstTime->isVisible() && login->txt[0]->isVisible());
        QVERIFY(!login->txt[1]->isVisible() && !login->lbl[1]->isVisible());
        typeText(login->txt[0], u"old p"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QCOMPARE(login->lblMessage->text(), u"Step 1 of 2: Enter Current Password"_s);
        typeText(login->txt[0], u"w"_s);
        QVERIFY(enterActive(*login));
        login->txt[1]->setText(u"kept"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);

        QCOMPARE(login->lblMessage->text(), u"Step 2 of 2: Enter new password"_s);
        QVERIFY(login->lblFirstTime->isVisible());
        QVERIFY(login->txt[1]->isVisible() && login->lbl[1]->isVisible());
        QVERIFY(login->txt[0]->text().isEmpty());
        QCOMPARE(login->focusWidget(), static_cast<QWidget*>(login->txt[0]));
        QCOMPARE(login->txt[1]->text(), u"kept"_s);
        QVERIFY(!enterActive(*login));
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QVERIFY(w.env.messages.isEmpty());
        QCOMPARE(modFieldEncryption::DecryptField(stored(w.env)), u"old pw"_s);

        typeText(login->txt[0], u"new pw"_s);
        typeText(login->txt[1], u"new pw"_s, true);
        QTest::keyClick(login->txt[1], Qt::Key_Return);
        QCOMPARE(w.env.messages.size(), 1);
        QCOMPARE(w.env.messages[0].prompt, u"Password successfully changed."_s);
        QCOMPARE(w.env.messages[0].flags, 0);
        QVERIFY(!isOpen(login) && !mainWindowShown());
        QCOMPARE(clsPWD::Master().PASSWORD_ID, u"1"_s);
        QCOMPARE(clsPWD::Master().PASSWORD_TX, u"new pw"_s);
        QCOMPARE(modFieldEncryption::DecryptField(stored(w.env)), u"new pw"_s);
        QCOMPARE(stored(w.env, u"2"_s), bankBefore);
    }

    // The master row cannot be written: the window stays, and the shared record keeps what
    // the data file holds.
    void failedSave_data()
    {
        QTest::addColumn<bool>("change");
        QTest::newRow("create") << false;
        QTest::newRow("change") << true;
    }

    void failedSave()
    {
        QFETCH(bool, change);
        World w;
        if (change) {
            storeMaster(w.env, u"old"_s);
        }
        w.env.ReopenReadOnly();
        const auto login = showLogin(change);
        if (change) {
            typeText(login->txt[0], u"old"_s);
            QTest::keyClick(login->txt[0], Qt::Key_Return);
        }
        typeText(login->txt[0], u"new"_s);
        typeText(login->txt[1], u"new"_s, true);
        QTest::keyClick(login->txt[0], Qt::Key_Return);

        QCOMPARE(w.env.messages.size(), change ? 1 : 2);
        if (!change) {
            QCOMPARE(w.env.messages[0].flags, 64);
        }
        const MsgBox::Call error = w.env.messages.last();
        QCOMPARE(error.flags, 0);
        QVERIFY2(error.prompt.contains("readonly"_L1), qPrintable(error.prompt));
        QVERIFY(isOpen(login) && !mainWindowShown());
        QVERIFY(login->txt[1]->isVisible());
        QCOMPARE(clsPWD::Master().PASSWORD_ID, change ? u"1"_s : QString());
        QCOMPARE(clsPWD::Master().PASSWORD_TX, change ? u"old"_s : QString());
        QCOMPARE(clsApp::shared().FirstTime(), !change);
        QCOMPARE(w.env.RawScalar(u"SELECT count(*) FROM PWD"_s), change ? u"1"_s : u"0"_s);
        if (change) {
            QCOMPARE(modFieldEncryption::DecryptField(stored(w.env)), u"old"_s);
        }
    }
};

QTEST_MAIN(tst_Login)
#include "tst_login.moc"
