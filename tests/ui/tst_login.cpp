// Tests of the sign-in window driven offscreen: create, log in and change the master password,
// and what a screen reader hears.
#include "TestEnv.h"
#include "crypto/modFieldEncryption.h"
#include "data/clsPWD.h"
#include "platform/AppError.h"
#include "ui/controls/modAccessibility.h"
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

// Types text as one key press; any characters, as an input method would deliver them.
void typeText(QLineEdit* w, const QString& sText)
{
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, sText, Qt::NoModifier);
}

QPointer<frmLogin> showLogin(bool bReset = false)
{
    auto* login = new frmLogin();
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->gbResetPassword = bReset;
    login->show();
    return login;
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

// Stores a master row and loads it as start-up does.
void storeMaster(const QString& sPassword)
{
    TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, sPassword);
    clsPWD::Master().OpenRecord(u"1"_s);
}

// A block-aligned text of printable characters whose decrypted length field is wrong: the
// first of a fixed series of candidates that the cipher refuses for exactly that reason.
QString wrongSizeDescriptor()
{
    for (int i = 0; i < 10000; ++i) {
        QString candidate;
        for (int j = 0; j < 24; ++j) {
            candidate += QChar(u'A' + (i * 7 + j * 13 + i / (j + 1)) % 26);
        }
        try {
            modFieldEncryption::DecryptField(candidate);
        } catch (const AppError& error) {
            if (error.Description().contains("size descriptor"_L1)) {
                return candidate;
            }
        }
    }
    return QString();
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
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->parentWidget()) {
                windows << w;
            }
        }
        qDeleteAll(windows);
    }
};

} // namespace

class tst_Login : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Before any window is shown: Qt keeps the first interface it made for a widget.
    void initTestCase() { modAccessibility::Install(); }

    void screenReader_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QStringList>("tabNames");
        QTest::addColumn<QStringList>("images"); // logo, Enter, greyed Enter
        QTest::newRow("create") << QString() << QStringList{"Password", "Confirm"}
                                << QStringList{"(silent)", "Enter", "Enter"};
        QTest::newRow("log in") << u"Abc"_s << QStringList{"Password"}
                                << QStringList{"(silent)", "Enter", "Enter"};
    }

    // Each password box is named by its label; the logo is silent, the Enter image named.
    void screenReader()
    {
        QFETCH(QString, master);
        QFETCH(QStringList, tabNames);
        QFETCH(QStringList, images);
        World w;
        if (!master.isEmpty()) {
            storeMaster(master);
        }
        QPointer<frmLogin> login = showLogin();
        QVERIFY(QTest::qWaitForWindowActive(login));
        QCOMPARE(TestEnv::TabNames(login->txt[0]), tabNames);
        // The active Enter image is drawn when it is first shown: type what makes it so.
        login->txt[0]->setText(master.isEmpty() ? u"New pw"_s : master);
        if (tabNames.size() > 1) {
            login->txt[1]->setText(u"New pw"_s);
        }
        QCOMPARE(TestEnv::ImageNames(login), images);
    }

    // Create mode (no master row) and log-in mode: when Enter is active, and what it does.
    void enter_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<int>("how");
        QTest::addColumn<bool>("accepted");
        const QString none;
        QTest::newRow("create: both empty") << none << none << none << 0 << false;
        QTest::newRow("create: confirm empty") << none << u"secret"_s << none << 1 << false;
        QTest::newRow("create: password empty") << none << none << u"secret"_s << 2 << false;
        QTest::newRow("create: case differs") << none << u"secret"_s << u"Secret"_s << 0 << false;
        QTest::newRow("create: trailing space")
            << none << u"secret "_s << u"secret"_s << 1 << false;
        QTest::newRow("create: ASCII, Return")
            << none << u"s3cret pw!"_s << u"s3cret pw!"_s << 0 << true;
        QTest::newRow("create: Cyrillic and CJK, keypad Enter")
            << none << u"Пароль 密码"_s << u"Пароль 密码"_s << 1 << true;
        QTest::newRow("log in: exact, click") << u"Abc"_s << u"Abc"_s << none << 2 << true;
        QTest::newRow("log in: lower case") << u"Abc"_s << u"abc"_s << none << 0 << false;
        QTest::newRow("log in: trailing space") << u"Abc"_s << u"Abc "_s << none << 2 << false;
    }

    void enter()
    {
        QFETCH(QString, master);
        QFETCH(QString, typed);
        QFETCH(QString, confirm);
        QFETCH(int, how);
        QFETCH(bool, accepted);
        World w;
        const bool create = master.isEmpty();
        if (!create) {
            storeMaster(master);
        }
        const QString before = stored(w.env);
        const auto login = showLogin();
        QCOMPARE(login->txt[1]->isVisible(), create);
        QCOMPARE(login->lbl[1]->isVisible(), create);
        QVERIFY(!login->lblFirstTime->isVisible() && !enterActive(*login));
        typeText(login->txt[0], typed);
        typeText(login->txt[1], confirm);
        QCOMPARE(enterActive(*login), accepted);
        if (create && accepted) {
            // Any change to either box takes the button away again.
            for (QLineEdit* box : login->txt) {
                typeText(box, u"x"_s);
                QVERIFY(!enterActive(*login));
                QTest::keyClick(box, Qt::Key_Backspace);
                QVERIFY(enterActive(*login));
            }
        }
        // A greyed button ignores the keys and the click.
        if (how == 2) {
            QTest::mouseClick(accepted ? login->imgEnter : login->imgEnterGrey, Qt::LeftButton);
        } else {
            QTest::keyClick(login->txt[how], how ? Qt::Key_Enter : Qt::Key_Return);
        }
        QCOMPARE(login && login->isVisible(), !accepted);
        QCOMPARE(mainWindowShown(), accepted);
        if (!create || !accepted) {
            QVERIFY(w.env.messages.isEmpty());
            QCOMPARE(stored(w.env), before);
            return;
        }
        QCOMPARE(w.env.messages.size(), 1);
        QCOMPARE(w.env.messages[0].prompt, u"Be sure to remember your KeyCask Password."_s);
        QCOMPARE(w.env.messages[0].flags, 64);
        QCOMPARE(w.env.RawScalar(u"SELECT group_concat(PASSWORD_ID || '|' || TITLE_TX || '|' || "
                                 "USER_NM || '|' || (WEB_SITE_TX IS NULL) || (NOTES_TX IS NULL)) "
                                 "FROM PWD"_s),
                 u"1|KeyCask|KeyCask|11"_s);
        QCOMPARE(modFieldEncryption::DecryptField(stored(w.env)), typed);
    }

    // Change mode: the current password, then the new one twice; a failed save keeps the old.
    void change_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("saved") << false;
        QTest::newRow("read-only file") << true;
    }

    void change()
    {
        QFETCH(bool, readOnly);
        World w;
        storeMaster(u"old pw"_s);
        TestEnv::AddPassword(u"Bank"_s, QString(), u"Bank"_s);
        const QString bankBefore = stored(w.env, u"2"_s);
        if (readOnly) {
            w.env.ReopenReadOnly();
        }
        const auto login = showLogin(true);
        QCOMPARE(login->lblMessage->text(), u"Step 1 of 2: Enter Current Password"_s);
        QVERIFY(login->lblFirstTime->isVisible() && login->txt[0]->isVisible());
        QVERIFY(!login->txt[1]->isVisible() && !login->lbl[1]->isVisible());
        typeText(login->txt[0], u"old p"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QCOMPARE(login->lblMessage->text(), u"Step 1 of 2: Enter Current Password"_s);
        typeText(login->txt[0], u"w"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);

        // Step 2: both boxes, the first one emptied and focused; Enter waits for a match.
        QCOMPARE(login->lblMessage->text(), u"Step 2 of 2: Enter new password"_s);
        QVERIFY(login->lblFirstTime->isVisible() && login->txt[1]->isVisible());
        QVERIFY(login->lbl[1]->isVisible() && login->txt[0]->text().isEmpty());
        QCOMPARE(login->focusWidget(), static_cast<QWidget*>(login->txt[0]));
        typeText(login->txt[0], u"new pw"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QVERIFY(w.env.messages.isEmpty());
        typeText(login->txt[1], u"new pw"_s);
        QTest::keyClick(login->txt[1], Qt::Key_Return);

        QCOMPARE(w.env.messages.size(), 1);
        const MsgBox::Call shown = w.env.messages[0];
        if (readOnly) {
            QVERIFY2(shown.prompt.contains("readonly"_L1), qPrintable(shown.prompt));
        } else {
            QCOMPARE(shown.prompt, u"Password successfully changed."_s);
            QCOMPARE(shown.flags, 0);
        }
        QCOMPARE(login && login->isVisible(), readOnly);
        QVERIFY(!mainWindowShown());
        const QString now = readOnly ? u"old pw"_s : u"new pw"_s;
        QCOMPARE(clsPWD::Master().PASSWORD_ID, u"1"_s);
        QCOMPARE(clsPWD::Master().PASSWORD_TX, now);
        QCOMPARE(modFieldEncryption::DecryptField(stored(w.env)), now);
        QCOMPARE(stored(w.env, u"2"_s), bankBefore);
    }

    // A master row whose password cannot be read opens in log-in mode, and nothing typed, the
    // empty text included, gets in; the file is left as it was.
    void damagedMasterRow_data()
    {
        QTest::addColumn<QString>("storedSql");
        QTest::newRow("NULL") << u"NULL"_s;
        QTest::newRow("blob") << u"X'00112233445566778899AABBCCDDEEFF'"_s;
        QTest::newRow("garbage") << u"'not a cipher text!'"_s;
        QTest::newRow("wrong size descriptor") << u"'"_s + wrongSizeDescriptor() + u"'"_s;
        QTest::newRow("10 MB of text") << u"hex(zeroblob(5242880))"_s;
    }

    void damagedMasterRow()
    {
        QFETCH(QString, storedSql);
        World w;
        w.env.RawExecute(u"INSERT INTO PWD (PASSWORD_ID, TITLE_TX, USER_NM, PASSWORD_TX) "
                         "VALUES (1, 'KeyCask', 'KeyCask', "_s +
                         storedSql + u")"_s);
        TestEnv::AddPassword(u"Bank"_s, u"ann"_s, u"pw-2"_s, u"bank.example"_s, u"note"_s);
        const QString rowsBefore = w.env.RawScalar(
            u"SELECT group_concat(PASSWORD_ID || hex(PASSWORD_TX), ',') FROM PWD"_s);
        clsPWD::Master() = clsPWD();
        clsPWD::Master().OpenRecord(u"1"_s);
        QVERIFY(!w.env.messages.isEmpty());
        QCOMPARE(clsPWD::Master().PASSWORD_ID, u"1"_s);
        QVERIFY(!frmLogin::MatchesMasterPassword(QString()));

        const auto login = showLogin();
        QVERIFY(!login->txt[1]->isVisible());
        for (const QString& typed : {QString(), u"x"_s, u"KeyCask"_s, u"not a cipher text!"_s}) {
            login->txt[0]->clear();
            typeText(login->txt[0], typed);
            QVERIFY2(!enterActive(*login), qPrintable(typed));
            QTest::keyClick(login->txt[0], Qt::Key_Return);
            QVERIFY2(login && login->isVisible() && !mainWindowShown(), qPrintable(typed));
        }
        QCOMPARE(w.env.RawScalar(
                     u"SELECT group_concat(PASSWORD_ID || hex(PASSWORD_TX), ',') FROM PWD"_s),
                 rowsBefore);
    }

    // The master row cannot be written: the window stays in create mode and nothing is kept.
    void createOnReadOnlyFile()
    {
        World w;
        w.env.ReopenReadOnly();
        const auto login = showLogin();
        typeText(login->txt[0], u"new"_s);
        typeText(login->txt[1], u"new"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        // The reminder, then the error.
        QCOMPARE(w.env.messages.size(), 2);
        QVERIFY2(w.env.messages[1].prompt.contains("readonly"_L1),
                 qPrintable(w.env.messages[1].prompt));
        QVERIFY(login && login->isVisible() && login->txt[1]->isVisible() && !mainWindowShown());
        QVERIFY(clsPWD::Master().PASSWORD_ID.isEmpty() && clsPWD::Master().PASSWORD_TX.isEmpty());
    }
};

QTEST_MAIN(tst_Login)
#include "tst_login.moc"
