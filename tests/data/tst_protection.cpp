// Tests of the data file protected by the master password, on real data files: protecting and
// unprotecting, start-up and sign-in on a protected file, changing the master password, failed
// re-encryptions, the Options box, and a copy killed in the middle of a re-encryption.
#include "TestEnv.h"
#include "app/modSubMain.h"
#include "crypto/modFieldEncryption.h"
#include "data/clsDB.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "data/modProtection.h"
#include "platform/AppError.h"
#include "platform/Grid.h"
#include "platform/SqlConnection.h"
#include "ui/dialogs/frmOptions.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr char kChildVariable[] = "KEYCASK_TEST_PROTECT_PATH";
constexpr int kProtectedIter = modProtection::PROTECTED_KDF_ITER;

// The master row and entries with a different value in every column.
void addSample(const QString& sMaster)
{
    TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, sMaster);
    TestEnv::AddPassword(u"Bank"_s, u"bob"_s, u"b4nk-pw"_s, u"bank.example"_s, u"bank notes"_s);
    TestEnv::AddPassword(u"Ärzte"_s, u"dr-ann"_s, u"röntgen"_s, QString(), u"line 1\r\nline 2"_s);
    TestEnv::AddFolder(u"Music"_s, u"/srv/music"_s, u"music notes"_s);
}

// Every row of both tables, every column as stored (hex), in one text.
QString snapshot(const QString& sPath, const QString& sKey, int lKdfIter)
{
    SqlConnection connection;
    connection.Open(sPath, sKey, SqlConnection::Mode::ReadOnly, lKdfIter);
    QString all;
    for (const QString& sql :
         {u"SELECT PASSWORD_ID, hex(TITLE_TX), hex(USER_NM), hex(PASSWORD_TX), hex(WEB_SITE_TX), "
          "hex(NOTES_TX) FROM PWD ORDER BY PASSWORD_ID"_s,
          u"SELECT MY_FILE_ID, hex(MY_FILE_NM), hex(MY_FILE_PATH_TX), hex(NOTES_TX) FROM MY_FILE "
          "ORDER BY MY_FILE_ID"_s}) {
        for (auto rs = connection.Execute(sql); !rs->EndOfRows(); rs->MoveNext()) {
            for (int i = 0; i < 6; ++i) {
                try {
                    all += rs->FieldAt(i) + u'|';
                } catch (const AppError&) {
                    break;
                }
            }
            all += u'\n';
        }
    }
    return all;
}

bool opens(const QString& sPath, const QString& sKey, int lKdfIter)
{
    try {
        SqlConnection connection;
        connection.Open(sPath, sKey, SqlConnection::Mode::ReadOnly, lKdfIter);
        return true;
    } catch (const AppError&) {
        return false;
    }
}

QByteArray fileBytes(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename T> T* shownWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<T*>(w); window && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

void closeAll()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        w->close();
    }
    QApplication::processEvents();
}

void typeText(QLineEdit* w, const QString& sText)
{
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, sText, Qt::NoModifier);
}

// The test program started again: protects the data file at the given path, to be killed.
int runChild(const QString& sPath)
{
    clsDB& db = clsDB::shared();
    db.Database = sPath;
    try {
        modProtection::Protect(u"kill-me pw"_s);
    } catch (const AppError&) {
        return 2;
    }
    return 0;
}

} // namespace

class tst_Protection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { closeAll(); }

    // Protect, then unprotect: the keys that open the file swap, every byte of every row stays,
    // and the session goes on with the new key.
    // A data file that is a symbolic link stays one: start-up points the session at the file it
    // leads to, which is the one re-encrypted. The copy is its owner's alone, whatever the rights
    // of the file.
    void protectAndUnprotect_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<bool>("link");
        QTest::newRow("plain") << u"Plain pw 1"_s << false;
        QTest::newRow("non-Latin") << u"Пароль 密码 ü"_s << false;
        QTest::newRow("quotes and backslash") << u"it's \"x\" \\ ; DROP TABLE PWD;--"_s << false;
        QTest::newRow("data file is a link") << u"Linked pw 2"_s << true;
    }

    void protectAndUnprotect()
    {
        QFETCH(QString, master);
        QFETCH(bool, link);
        TestEnv env;
        addSample(master);
        const QString builtIn = clsDB::DatabasePassword();
        QString path = env.DataFilePath();
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther));
        const QString rows = snapshot(path, builtIn, 0);
        if (link) {
            clsDB::shared().CloseConnection();
            const QString target = QDir(env.AppFolder()).filePath(u"elsewhere/target.data"_s);
            QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
            QVERIFY(QFile::rename(path, target));
            QVERIFY(QFile::link(target, path));
            QVERIFY(modSubMain::Main());
            QCOMPARE(QFileInfo(clsDB::shared().Database).canonicalFilePath(),
                     QFileInfo(target).canonicalFilePath());
            path = target;
        }
        clsPWD::Master().OpenRecord(u"1"_s);
        QVERIFY(!modProtection::SessionProtected());
        QFile::Permissions copyRights;
        modProtection::SetStepHook([&](modProtection::Step step) {
            if (step == modProtection::Step::CopyOpened) {
                copyRights = QFile::permissions(path + u".new"_s);
            }
        });

        modProtection::Protect(master);
        modProtection::SetStepHook({});
        QCOMPARE(copyRights,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(QFileInfo(env.DataFilePath()).isSymLink(), link);
        QVERIFY(!opens(path, builtIn, 0));
        QVERIFY(!opens(path, master, 0));
        QCOMPARE(snapshot(path, master, kProtectedIter), rows);
        QVERIFY(!modProtection::OpensWithBuiltInPassword(path));
        QVERIFY(modProtection::LooksProtected(path));
        QVERIFY(modProtection::SessionProtected());
        QCOMPARE(clsPWD().OpenRecords()->size(), 2);
        QVERIFY(!QFile::exists(path + u".new"_s));

        modProtection::Unprotect();
        QVERIFY(!opens(path, master, kProtectedIter));
        QCOMPARE(snapshot(path, builtIn, 0), rows);
        QVERIFY(!modProtection::LooksProtected(path));
        QVERIFY(!modProtection::SessionProtected());
        QCOMPARE(clsMY_FILE().OpenRecords()->size(), 1);
        QCOMPARE(QFileInfo(env.DataFilePath()).isSymLink(), link);
        QCOMPARE(snapshot(env.DataFilePath(), builtIn, 0), rows);
        QVERIFY(env.messages.isEmpty());
    }

    // A re-encryption that fails leaves the file, its key and the session as they were, and
    // nothing beside it: also when the copy was already written, under the new key, and the
    // step after it fails.
    void failureLeavesFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("read-only session") << u"readonly"_s;
        QTest::newRow("copy cannot be made") << u"blocked"_s;
        QTest::newRow("copy lacks a row") << u"rows"_s;
        QTest::newRow("writing into the copy fails") << u"write"_s;
        QTest::newRow("copy cannot replace the file") << u"replace"_s;
    }

    void failureLeavesFile()
    {
        QFETCH(QString, how);
        TestEnv env;
        addSample(u"master pw"_s);
        const QString path = env.DataFilePath();
        const QByteArray before = fileBytes(path);
        const QString builtIn = clsDB::DatabasePassword();
        const QString rows = snapshot(path, builtIn, 0);
        std::function<void(const QString&)> writeCopy;
        if (how == "readonly"_L1) {
            env.ReopenReadOnly();
        } else if (how == "blocked"_L1) {
            QVERIFY(QDir().mkpath(path + u".new/in the way"_s));
        } else if (how == "rows"_L1) {
            modProtection::SetStepHook([](modProtection::Step step) {
                if (step == modProtection::Step::CopyOpened) {
                    clsDB::shared().Execute(u"DELETE FROM MY_FILE"_s);
                }
            });
        } else if (how == "write"_L1) {
            // The copy is changed, in a transaction still open when the step fails.
            writeCopy = [](const QString&) {
                clsDB::shared().Execute(u"BEGIN"_s);
                clsDB::shared().Execute(u"UPDATE PWD SET NOTES_TX = 'new' WHERE PASSWORD_ID = 1"_s);
                throw AppError(AppError::FileError, u"The master row was not stored."_s);
            };
        } else {
            modProtection::SetStepHook([](modProtection::Step step) {
                if (step == modProtection::Step::Replacing) {
                    throw AppError(AppError::FileError, u"rename failed"_s);
                }
            });
        }
        bool raised = false;
        try {
            modProtection::Reencrypt(u"master pw"_s, kProtectedIter, writeCopy);
        } catch (const AppError& error) {
            raised = !error.Description().isEmpty();
        }
        modProtection::SetStepHook({});
        QVERIFY(raised);
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(clsDB::shared().Key, builtIn);
        QCOMPARE(clsDB::shared().KdfIter, 0);
        QCOMPARE(clsDB::shared().Database, path);
        QCOMPARE(clsPWD().OpenRecords()->size(), 2);
        QCOMPARE(clsMY_FILE().OpenRecords()->size(), 1);
        QCOMPARE(snapshot(path, builtIn, 0), rows);
        QCOMPARE(QFileInfo::exists(path + u".new"_s), how == "blocked"_L1); // not ours to remove
        QVERIFY(!QFileInfo::exists(path + u".new-journal"_s));
    }

    // Start-up on a protected file: the typed password opens it on Enter; a wrong one or one in
    // another case says so and leaves the window open.
    void startup_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("opens");
        QTest::newRow("right") << u"Secret Pw"_s << true;
        QTest::newRow("wrong") << u"other"_s << false;
        QTest::newRow("other case") << u"secret pw"_s << false;
    }

    void startup()
    {
        QFETCH(QString, typed);
        QFETCH(bool, opens);
        TestEnv env;
        addSample(u"Secret Pw"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        modProtection::Protect(u"Secret Pw"_s);
        clsDB::shared().CloseConnection();
        clsDB::shared().Key = clsDB::DatabasePassword();
        clsDB::shared().KdfIter = 0;
        clsPWD::Master() = clsPWD();

        QVERIFY(modSubMain::Main());
        frmLogin* login = shownWindow<frmLogin>();
        QVERIFY(login && login->gbProtectedFile);
        QVERIFY(env.messages.isEmpty());
        QVERIFY(!login->imgEnter->isVisible());
        typeText(login->txt[0], typed);
        QVERIFY(login->imgEnter->isVisible()); // any text may be tried
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QCOMPARE(shownWindow<frmMain>() != nullptr, opens);
        if (opens) {
            QVERIFY(env.messages.isEmpty());
            QCOMPARE(shownWindow<frmMain>()->grid->GridRowCount(), 2);
            QCOMPARE(clsPWD::Master().PASSWORD_TX, typed);
        } else {
            QCOMPARE(env.messages.size(), 1);
            QCOMPARE(env.messages[0].prompt, frmLogin::WRONG_PASSWORD_MESSAGE);
            QVERIFY(login->isVisible());
            QVERIFY(!clsDB::shared().IsOpen());
        }
    }

    // Changing the master password of a protected file re-keys the file in the same step; a
    // failure keeps file, key and password.
    void changeMasterPassword_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::newRow("changed") << false;
        QTest::newRow("copy cannot be made") << true;
    }

    void changeMasterPassword()
    {
        QFETCH(bool, fails);
        TestEnv env;
        addSample(u"old pw"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        modProtection::Protect(u"old pw"_s);
        const QString path = env.DataFilePath();
        const QByteArray before = fileBytes(path);
        if (fails) {
            QVERIFY(QDir().mkpath(path + u".new/in the way"_s));
        }
        auto* login = new frmLogin();
        login->setAttribute(Qt::WA_DeleteOnClose);
        login->gbResetPassword = true;
        login->show();
        typeText(login->txt[0], u"old pw"_s);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        typeText(login->txt[0], u"néw pw"_s);
        typeText(login->txt[1], u"néw pw"_s);
        QTest::keyClick(login->txt[1], Qt::Key_Return);

        QCOMPARE(env.messages.size(), 1);
        const QString now = fails ? u"old pw"_s : u"néw pw"_s;
        const QString then = fails ? u"néw pw"_s : u"old pw"_s;
        if (fails) {
            QCOMPARE(fileBytes(path), before);
        } else {
            QCOMPARE(env.messages[0].prompt, u"Password successfully changed."_s);
        }
        QVERIFY(opens(path, now, kProtectedIter));
        QVERIFY(!opens(path, then, kProtectedIter));
        QVERIFY(!opens(path, clsDB::DatabasePassword(), 0));
        QCOMPARE(clsDB::shared().Key, now);
        QCOMPARE(clsPWD::Master().PASSWORD_TX, now);
        SqlConnection check;
        check.Open(path, now, SqlConnection::Mode::ReadOnly, kProtectedIter);
        auto rs = check.Execute(u"SELECT PASSWORD_TX FROM PWD WHERE PASSWORD_ID = 1"_s);
        QCOMPARE(modFieldEncryption::DecryptField(rs->FieldAt(0)), now);
    }

    // The Options box shows the file's real state, and OK applies a change.
    void optionsBox()
    {
        TestEnv env;
        addSample(u"box pw"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        const QString path = env.DataFilePath();
        {
            frmOptions options;
            QVERIFY(!options.chkProtectFile->isChecked());
            options.chkProtectFile->setChecked(true);
            options.cmdOK->click();
        }
        QVERIFY(opens(path, u"box pw"_s, kProtectedIter));
        {
            frmOptions options;
            QVERIFY(options.chkProtectFile->isChecked());
            options.chkProtectFile->setChecked(false);
            options.cmdCancel->click();
        }
        QVERIFY(opens(path, u"box pw"_s, kProtectedIter));
        {
            frmOptions options;
            options.chkProtectFile->setChecked(false);
            options.cmdOK->click();
        }
        QVERIFY(opens(path, clsDB::DatabasePassword(), 0));
        QVERIFY(env.messages.isEmpty());
    }

    // A copy killed anywhere in the middle leaves the old or the new file, whole.
    void killedMidway_data()
    {
        QTest::addColumn<int>("delayMs");
        for (const int delay : {20, 120, 300, 600, 1000}) {
            QTest::newRow(qPrintable(QString::number(delay) + u" ms"_s)) << delay;
        }
    }

    void killedMidway()
    {
        QFETCH(int, delayMs);
        TestEnv env;
        addSample(u"kill-me pw"_s);
        clsDB::shared().Execute(u"BEGIN"_s);
        for (int i = 0; i < 3000; ++i) {
            clsDB::shared().Execute(
                u"INSERT INTO MY_FILE (MY_FILE_ID, MY_FILE_NM, MY_FILE_PATH_TX) VALUES (%1, "
                "'folder %1', '/srv/folder/%1')"_s.arg(i + 10));
        }
        clsDB::shared().Execute(u"COMMIT"_s);
        const QString path = env.DataFilePath();
        const QString rows = snapshot(path, clsDB::DatabasePassword(), 0);
        clsDB::shared().CloseConnection();

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kChildVariable), path);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QTest::qWait(delayMs);
        child.kill();
        child.waitForFinished(5000);

        const bool old = opens(path, clsDB::DatabasePassword(), 0);
        const bool fresh = opens(path, u"kill-me pw"_s, kProtectedIter);
        QVERIFY(old != fresh);
        QCOMPARE(old ? snapshot(path, clsDB::DatabasePassword(), 0)
                     : snapshot(path, u"kill-me pw"_s, kProtectedIter),
                 rows);
        // The next attempt clears what the killed one left and succeeds.
        if (old) {
            clsDB::shared().OpenConnection(true);
            modProtection::Protect(u"kill-me pw"_s);
            QCOMPARE(snapshot(path, u"kill-me pw"_s, kProtectedIter), rows);
        }
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString childPath = qEnvironmentVariable(kChildVariable);
    if (!childPath.isEmpty()) {
        return runChild(childPath);
    }
    tst_Protection test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_protection.moc"
