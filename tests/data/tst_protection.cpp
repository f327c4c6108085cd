// Tests of the data file's safety, on real data files: protecting and unprotecting, start-up and
// sign-in on a protected file, changing the master password, failed re-encryptions, the Options
// box, backups and their restore, a file replaced underneath the session, and a copy killed in
// the middle of a re-encryption or a restore.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "crypto/modFieldEncryption.h"
#include "data/CsvImport.h"
#include "data/clsDB.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "data/modProtection.h"
#include "platform/AppError.h"
#include "platform/Grid.h"
#include "platform/SqlConnection.h"
#include "ui/dialogs/frmOptions.h"
#include "ui/dialogs/frmRestore.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr char kChildVariable[] = "KEYCASK_TEST_PROTECT_PATH";
constexpr char kRestoreVariable[] = "KEYCASK_TEST_RESTORE_FROM";
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

// A copy of the data file changed as another program would change it: the statements run on it
// and its master password set; gives the copy's path.
QString syncedCopy(const QString& sPath, const QStringList& statements, const QString& sMaster)
{
    const QString copy = sPath + u".synced"_s;
    if (!QFile::copy(sPath, copy)) {
        return QString();
    }
    SqlConnection connection;
    connection.Open(copy, clsDB::DatabasePassword(), SqlConnection::Mode::ReadWrite);
    for (const QString& statement : statements) {
        connection.Execute(statement);
    }
    connection.Execute(u"UPDATE PWD SET PASSWORD_TX = %1 WHERE PASSWORD_ID = 1"_s.arg(
        modGeneral::QuoteSQL(modFieldEncryption::EncryptField(sMaster), u"NULL"_s)));
    return copy;
}

// The backups of the data file, newest first.
QStringList backupPaths(const TestEnv& env)
{
    QStringList paths;
    for (const modBackup::Entry& entry :
         modBackup::List(env.DataFilePath(), clsDB::shared().Key, clsDB::shared().KdfIter)) {
        paths << entry.path;
    }
    return paths;
}

// Every file of the backup folder that carries a backup's name.
QStringList backupFiles(const QString& sDataFile)
{
    QStringList files;
    const QDir folder(modBackup::Folder(sDataFile));
    for (const QString& name : folder.entryList(QDir::Files)) {
        if (modBackup::IsBackupFileName(QFileInfo(sDataFile).fileName(), name)) {
            files << folder.filePath(name);
        }
    }
    return files;
}

// The master password stored in a file.
QString storedMaster(const QString& sPath, const QString& sKey, int lKdfIter)
{
    SqlConnection connection;
    connection.Open(sPath, sKey, SqlConnection::Mode::ReadOnly, lKdfIter);
    QString master;
    clsPWD::TestStoredMaster(connection, [&master](const QString& sMaster) {
        master = QString(sMaster.constData(), sMaster.size());
        return true;
    });
    return master;
}

// The test program started again: protects the data file at the given path, or restores a
// backup into it, to be killed.
int runChild(const QString& sPath)
{
    clsDB& db = clsDB::shared();
    db.Database = sPath;
    try {
        if (const QString backup = qEnvironmentVariable(kRestoreVariable); !backup.isEmpty()) {
            modBackup::Restore(backup);
        } else {
            modProtection::Protect(u"kill-me pw"_s);
        }
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
    void cleanup()
    {
        closeAll();
        modBackup::SetClock({});
        modBackup::SetCopyHook({});
    }

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
        // Every backup, the one made just before, went along: none opens with the built-in key.
        const QStringList copies = backupFiles(path);
        QVERIFY(!copies.isEmpty());
        for (const QString& copy : copies) {
            QVERIFY(!opens(copy, builtIn, 0));
            QVERIFY(opens(copy, clsDB::shared().Key, clsDB::shared().KdfIter));
        }

        modProtection::Unprotect();
        for (const QString& copy : backupFiles(path)) {
            QVERIFY(!opens(copy, master, kProtectedIter));
            QCOMPARE(storedMaster(copy, builtIn, 0), master);
        }
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
            QVERIFY(!clsDB::shared().Key.contains(typed));
        } else {
            // Protecting made a backup, so the backups are offered after the message.
            QCOMPARE(env.messages.size(), 2);
            QCOMPARE(env.messages[0].prompt, frmLogin::WRONG_PASSWORD_MESSAGE);
            QCOMPARE(env.messages[1].prompt, QString::fromUtf16(modSubMain::OFFER_BACKUPS));
            QVERIFY(login->isVisible());
            QVERIFY(!clsDB::shared().IsOpen());
        }
    }

    // Changing the master password of a protected file re-keys the file in the same step; a
    // failure keeps file, key and password. Every backup takes the new key and master password
    // (also of an unprotected file), so that the old password opens nothing in the folder; one
    // that cannot go along is removed and the message says so.
    void changeMasterPassword_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<bool>("protect");
        QTest::addColumn<bool>("foreign");
        QTest::newRow("changed") << false << true << false;
        QTest::newRow("copy cannot be made") << true << true << false;
        QTest::newRow("unprotected file") << false << false << false;
        QTest::newRow("a backup that cannot go along") << false << true << true;
    }

    void changeMasterPassword()
    {
        QFETCH(bool, fails);
        QFETCH(bool, protect);
        QFETCH(bool, foreign);
        TestEnv env;
        addSample(u"old pw"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        clsDB::shared().BeginSession();
        if (protect) {
            modProtection::Protect(u"old pw"_s);
        } else {
            QVERIFY(!TestEnv::AddPassword(u"Change"_s, u"ch"_s, u"ch-pw"_s).isEmpty());
        }
        const QString path = env.DataFilePath();
        const QByteArray before = fileBytes(path);
        const QString folder = modBackup::Folder(path);
        const QString stranger = folder + u"/pwd.quillondata.20200101T000000Z.change.bak"_s;
        if (fails) {
            QVERIFY(QDir().mkpath(path + u".new/in the way"_s));
        }
        if (foreign) {
            QVERIFY(QFile::copy(QFINDTESTDATA("tst_protection.cpp"), stranger));
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

        QCOMPARE(env.messages.size(), foreign ? 2 : 1);
        const QString now = fails ? u"old pw"_s : u"néw pw"_s;
        const QString then = fails ? u"néw pw"_s : u"old pw"_s;
        if (fails) {
            QCOMPARE(fileBytes(path), before);
        } else {
            QCOMPARE(env.messages.last().prompt, u"Password successfully changed."_s);
        }
        if (foreign) {
            QCOMPARE(env.messages.first().prompt,
                     u"1 backup could not be brought to the data file's new key and master "
                     "password; it was removed."_s);
            QVERIFY(!QFile::exists(stranger));
        }
        const clsDB& db = clsDB::shared();
        const QStringList copies = backupFiles(path);
        QCOMPARE(copies.size(), protect ? 2 : 1);
        for (const QString& copy : copies) {
            QVERIFY(!opens(copy, then, kProtectedIter));
            QCOMPARE(storedMaster(copy, db.Key, db.KdfIter), now);
        }
        QCOMPARE(clsPWD::Master().PASSWORD_TX, now);
        if (!protect) {
            return;
        }
        QVERIFY(opens(path, now, kProtectedIter));
        QVERIFY(!opens(path, then, kProtectedIter));
        QVERIFY(!opens(path, clsDB::DatabasePassword(), 0));
        // The session keeps the derived key, never the master password.
        QVERIFY(!clsDB::shared().Key.contains(now));
        QCOMPARE(storedMaster(path, now, kProtectedIter), now);
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

    // The main window finds a replaced file when it is activated. With the same master password
    // it lists the new file's entries and says so once; with another, it locks until that file's
    // master password is typed, and the session then goes on with the new file.
    void replacedFileInMainWindow_data()
    {
        QTest::addColumn<bool>("sameMaster");
        QTest::newRow("same master password") << true;
        QTest::newRow("another master password") << false;
    }

    void replacedFileInMainWindow()
    {
        QFETCH(bool, sameMaster);
        TestEnv env;
        addSample(u"first pw"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        const QString path = env.DataFilePath();
        const QString other =
            syncedCopy(path, {u"UPDATE PWD SET TITLE_TX = 'Synced' WHERE PASSWORD_ID = 2"_s},
                       sameMaster ? u"first pw"_s : u"second pw"_s);
        clsDB::shared().BeginSession();
        frmMain main;
        main.show();
        std::filesystem::rename(other.toStdString(), path.toStdString());
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&main, &activate);
        QTRY_COMPARE(env.messages.size(), 1);
        QCOMPARE(main.IsLocked(), !sameMaster);
        if (!sameMaster) {
            QVERIFY(env.messages.first().prompt.contains(u"Enter the master password of that "
                                                         "file"_s));
            for (const QString& typed : {u"first pw"_s, u"second pw"_s}) {
                main.txtPassword->setText(typed);
                QVERIFY(main.cmdUnlock->isEnabled());
                main.cmdUnlock->click();
            }
            QCOMPARE(env.messages.size(), 2);
            QCOMPARE(env.messages.last().prompt, frmLogin::WRONG_PASSWORD_MESSAGE);
            QVERIFY(!main.IsLocked());
            QCOMPARE(clsPWD::Master().PASSWORD_TX, u"second pw"_s);
        } else {
            QCOMPARE(env.messages.first().prompt,
                     u"The data file was changed by another program. KeyCask has reloaded it."_s);
        }
        QCOMPARE(main.grid->GridCellText(2, 1), u"Synced"_s);
        QVERIFY(!TestEnv::AddPassword(u"After"_s, u"af"_s, u"after-pw"_s).isEmpty());
        QCOMPARE(env.RawScalar(u"SELECT count(*) FROM PWD WHERE TITLE_TX IN ('Synced', 'After')"_s),
                 u"2"_s);
    }

    // A copy killed anywhere in the middle leaves the old or the new file, whole.
    void killedMidway_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("restore");
        for (const int delay : {20, 120, 300, 600, 1000}) {
            QTest::newRow(qPrintable(QString::number(delay) + u" ms"_s)) << delay << false;
        }
        for (const int delay : {20, 60, 150}) {
            QTest::newRow(qPrintable(u"restore, "_s + QString::number(delay) + u" ms"_s))
                << delay << true;
        }
    }

    // Killed while it re-encrypts or restores, the copy leaves the data file either as it was or
    // as it was to become, never in between.
    void killedMidway()
    {
        QFETCH(int, delayMs);
        QFETCH(bool, restore);
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
        const QString backup = restore ? clsDB::shared().MakeBackup(3) : QString();
        if (restore) {
            TestEnv::AddPassword(u"After the backup"_s, u"al"_s, u"a-pw"_s);
        }
        const QString rows = snapshot(path, clsDB::DatabasePassword(), 0);
        clsDB::shared().CloseConnection();

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kChildVariable), path);
        environment.insert(QString::fromLatin1(kRestoreVariable), backup);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QTest::qWait(delayMs);
        child.kill();
        child.waitForFinished(5000);

        if (restore) {
            const QString now = snapshot(path, clsDB::DatabasePassword(), 0);
            QVERIFY(now == rows || now == snapshot(backup, clsDB::DatabasePassword(), 0));
            return;
        }
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

    // A session's first change backs the file up as it was, named by the time in UTC; later
    // changes of the session do not; the newest copies are kept, and files that are no copies
    // are left alone, a cut-off copy's leftover excepted. With the clock ahead for a while, the
    // copies dated in the future go first and the copy just made stays. Backups off delete
    // nothing.
    void backups_data()
    {
        QTest::addColumn<int>("keep");
        QTest::addColumn<int>("sessions");
        QTest::addColumn<int>("changes");
        QTest::addColumn<int>("ahead"); // the first sessions run with the clock a year ahead
        QTest::addColumn<int>("copies");
        QTest::addColumn<bool>("oldKept"); // the copy with an older name, from 2020
        QTest::newRow("one session, three changes") << 3 << 1 << 3 << 0 << 1 << true;
        QTest::newRow("a session without change") << 3 << 1 << 0 << 0 << 0 << true;
        QTest::newRow("four sessions, three kept") << 3 << 4 << 1 << 0 << 3 << false;
        QTest::newRow("two sessions, one kept") << 1 << 2 << 2 << 0 << 1 << false;
        QTest::newRow("backups off") << 0 << 2 << 1 << 0 << 0 << true;
        QTest::newRow("clock ahead, then back") << 2 << 4 << 1 << 2 << 2 << false;
    }

    void backups()
    {
        QFETCH(int, keep);
        QFETCH(int, sessions);
        QFETCH(int, changes);
        QFETCH(int, ahead);
        QFETCH(int, copies);
        QFETCH(bool, oldKept);
        TestEnv env;
        addSample(u"backup pw"_s);
        clsApp::shared().setKeepBackups(keep);
        const QString folder = modBackup::Folder(env.DataFilePath());
        QVERIFY(QDir().mkdir(folder));
        const QStringList others = {u"notes.txt"_s, u"pwd.quillondata.old.bak"_s,
                                    u"x-pwd.quillondata.20200101T000000Z.change.bak"_s,
                                    u"pwd.quillondata.20200101T000000Z.change.bak.txt"_s};
        for (const QString& name : others) {
            QFile file(folder + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString old = folder + u"/pwd.quillondata.20200101-000000.bak"_s;
        QVERIFY(QFile::copy(env.DataFilePath(), old));
        const QString leftOver = folder + u"/pwd.quillondata.20200101T000000Z.change.bak.part"_s;
        QVERIFY(QFile::copy(env.DataFilePath(), leftOver));
        // Late at night when daylight saving time ends in Europe: the hour repeats in local time.
        const QDateTime start(QDate(2030, 10, 27), QTime(0, 50), Qt::UTC);
        QString before;
        for (int session = 0; session < sessions; ++session) {
            const QDateTime now = start.addSecs(session * 1800).addDays(session < ahead ? 365 : 0);
            modBackup::SetClock([now] { return now; });
            clsDB::shared().BeginSession();
            before = snapshot(env.DataFilePath(), clsDB::DatabasePassword(), 0);
            for (int change = 0; change < changes; ++change) {
                QVERIFY(!TestEnv::AddPassword(u"Entry %1.%2"_s.arg(session).arg(change),
                                              u"user%1"_s.arg(change), u"pw%1"_s.arg(session))
                             .isEmpty());
            }
        }
        QStringList made = backupPaths(env);
        made.removeOne(old);
        QCOMPARE(made.size(), copies);
        QCOMPARE(QFile::exists(old), oldKept);
        for (const QString& name : others) {
            QVERIFY(QFile::exists(folder + u'/' + name));
        }
        QCOMPARE(QFile::exists(leftOver), sessions * changes == 0 || keep == 0);
        if (copies > 0) {
            const QString newest = made.first();
            QCOMPARE(snapshot(newest, clsDB::DatabasePassword(), 0), before);
            QCOMPARE(QFileInfo(newest).fileName(),
                     u"pwd.quillondata.%1.change.bak"_s.arg(
                         start.addSecs((sessions - 1) * 1800).toString(u"yyyyMMdd'T'HHmmss'Z'"_s)));
            QCOMPARE(QFile::permissions(newest) & 0x0777, QFileDevice::Permissions(0x0600));
            QCOMPARE(QFile::permissions(folder) & 0x0777, QFileDevice::Permissions(0x0700));
        }
        QVERIFY(env.messages.isEmpty());
    }

    // A copy counts as made only with every byte of its original, across the 1 MB reads.
    void compareCopy_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("changedAt"); // -1: the same bytes
        QTest::addColumn<int>("sizeChange");
        QTest::addColumn<bool>("same");
        const int mb = 1 << 20;
        QTest::newRow("same, over two reads") << mb + 3 << -1 << 0 << true;
        QTest::newRow("empty") << 0 << -1 << 0 << true;
        QTest::newRow("last byte of the first read") << mb + 3 << mb - 1 << 0 << false;
        QTest::newRow("last byte of the file") << mb + 3 << mb + 2 << 0 << false;
        QTest::newRow("copy a byte short") << mb << -1 << -1 << false;
        QTest::newRow("copy a byte longer") << mb << -1 << 1 << false;
    }

    void compareCopy()
    {
        QFETCH(int, size);
        QFETCH(int, changedAt);
        QFETCH(int, sizeChange);
        QFETCH(bool, same);
        QTemporaryDir dir;
        QByteArray bytes(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i) {
            bytes[i] = char(i * 7 + i / 251);
        }
        QFile original(dir.filePath(u"original"_s));
        QVERIFY(original.open(QIODevice::WriteOnly) && original.write(bytes) == size);
        original.close();
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QString copy = dir.filePath(u"copy"_s);
        modBackup::CopyPrivate(original, copy);
        QFile edited(copy);
        QVERIFY(edited.open(QIODevice::ReadWrite));
        if (changedAt >= 0) {
            QVERIFY(edited.seek(changedAt) && edited.write(QByteArray(1, char(~bytes[changedAt]))));
        }
        QVERIFY(edited.resize(size + sizeChange));
        edited.close();
        bool matched = true;
        try {
            modBackup::CompareCopy(original, copy);
        } catch (const AppError& error) {
            matched = false;
            QVERIFY(error.Description().endsWith(u"differs from the file it was made of"_s));
        }
        QCOMPARE(matched, same);
    }

    // A backup that cannot be made refuses the change and says why and how to go on, leaves
    // nothing in the folder and writes nothing through a link; the user may save that one change
    // without a backup; the next change tries again. A copy is checked under a temporary name,
    // never a backup's.
    void backupFailureRefusesChange_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("goOn");
        QTest::newRow("Backups is a file") << u"file"_s << false;
        QTest::newRow("Backups is a link") << u"link"_s << false;
        QTest::newRow("the copy fails its check") << u"check"_s << false;
        QTest::newRow("saved without a backup this time") << u"file"_s << true;
    }

    void backupFailureRefusesChange()
    {
        QFETCH(QString, how);
        QFETCH(bool, goOn);
        TestEnv env;
        addSample(u"refuse pw"_s);
        const QString folder = modBackup::Folder(env.DataFilePath());
        const QString elsewhere = env.AppFolder() + u"/elsewhere"_s;
        QString cause =
            u"\"%1\" is not a folder of its own"_s.arg(QDir::toNativeSeparators(folder));
        if (how == "file"_L1) {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else if (how == "link"_L1) {
            QVERIFY(QDir().mkdir(elsewhere));
            QVERIFY(QFile::setPermissions(elsewhere, QFileDevice::Permissions(0x7755)));
            QVERIFY(QFile::link(elsewhere, folder));
            // Not even the rights of what a link leads to are changed, nor its files listed.
            modGeneral::KeepToOwner(folder);
            QFile named(elsewhere + u"/pwd.quillondata.20200101T000000Z.change.bak"_s);
            QVERIFY(named.open(QIODevice::WriteOnly));
            QVERIFY(backupPaths(env).isEmpty());
            QCOMPARE(modBackup::BringAlong(env.DataFilePath(), clsDB::DatabasePassword(), 0,
                                           clsDB::DatabasePassword(), 0, clsPWD::Master()),
                     0);
        } else {
            QVERIFY(QDir().mkdir(folder));
            modBackup::SetCopyHook([&env](const QString& sCopy) {
                QVERIFY(!modBackup::IsBackupFileName(QFileInfo(env.DataFilePath()).fileName(),
                                                     QFileInfo(sCopy).fileName()));
                QVERIFY(backupPaths(env).isEmpty());
                QFile copy(sCopy);
                QVERIFY(copy.resize(1000));
            });
            cause = u"the copy read back differs from the file it was made of"_s;
        }
        const QString rows = snapshot(env.DataFilePath(), clsDB::DatabasePassword(), 0);
        if (goOn) {
            env.answer = [](const MsgBox::Call&) { return int(MsgBox::vbYes); };
        }
        clsDB::shared().BeginSession();
        QCOMPARE(TestEnv::AddPassword(u"Lost?"_s, u"no"_s, u"never-pw"_s).isEmpty(), !goOn);
        QCOMPARE(clsPWD().Delete(u"2"_s), goOn);
        const QString changed = snapshot(env.DataFilePath(), clsDB::DatabasePassword(), 0);
        QCOMPARE(changed == rows, !goOn);
        // Each change asks, once.
        QCOMPARE(env.messages.size(), 2);
        QVERIFY(env.messages.first().prompt.startsWith(
            u"No backup of the data file could be made: "_s));
        QVERIFY(env.messages.first().prompt.endsWith(cause + u". Your change was not saved. "_s +
                                                     QString::fromUtf16(clsDB::BACKUP_WAY_OUT)));
        QCOMPARE(env.messages.first().buttons,
                 QStringList({u"&Save without a backup this time"_s, u"&Don't Save"_s}));
        env.answer = {};
        if (how == "link"_L1) {
            QCOMPARE(QDir(elsewhere).entryList(QDir::Files),
                     QStringList{u"pwd.quillondata.20200101T000000Z.change.bak"_s});
            QCOMPARE(QFile::permissions(elsewhere) & 0x0777, QFileDevice::Permissions(0x0755));
        } else if (how == "check"_L1) {
            QVERIFY(QDir(folder).isEmpty());
        }

        if (how == "check"_L1) {
            modBackup::SetCopyHook({});
        } else {
            QVERIFY(QFile::remove(folder));
        }
        QVERIFY(!TestEnv::AddPassword(u"Kept"_s, u"yes"_s, u"kept-pw"_s).isEmpty());
        QCOMPARE(backupPaths(env).size(), 1);
        QCOMPARE(snapshot(backupPaths(env).first(), clsDB::DatabasePassword(), 0), changed);
    }

    // A protected file's backup is a copy under the same key: only the master password opens it.
    // Restoring one lists every backup with its counts, keeps the current data as a backup and
    // puts the chosen one in place; one that does not open cannot be chosen.
    void protectedBackupAndRestore()
    {
        TestEnv env;
        addSample(u"restore pw"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        modProtection::Protect(u"restore pw"_s);
        const QString path = env.DataFilePath();
        const QString rows = snapshot(path, u"restore pw"_s, kProtectedIter);
        const QString folder = modBackup::Folder(path);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(QFINDTESTDATA("tst_protection.cpp"),
                            folder + u"/pwd.quillondata.20200101-000000.bak"_s));

        clsDB::shared().BeginSession();
        QVERIFY(clsPWD().Delete(u"2"_s));
        const QString copy = backupPaths(env).first();
        QVERIFY(!opens(copy, clsDB::DatabasePassword(), 0));
        QCOMPARE(snapshot(copy, u"restore pw"_s, kProtectedIter), rows);

        const QString changed = snapshot(path, u"restore pw"_s, kProtectedIter);
        frmRestore dlg;
        QCOMPARE(dlg.lstBackups->topLevelItemCount(), 3);
        const QTreeWidgetItem* newest = dlg.lstBackups->topLevelItem(0);
        const QTreeWidgetItem* protect = dlg.lstBackups->topLevelItem(1);
        const QTreeWidgetItem* unreadable = dlg.lstBackups->topLevelItem(2);
        QCOMPARE(QStringList({newest->text(1), newest->text(2), newest->text(3)}),
                 QStringList({u"2"_s, u"1"_s, u"before a change"_s}));
        QCOMPARE(QStringList({protect->text(1), protect->text(3)}),
                 QStringList({u"2"_s, u"before protect"_s}));
        QCOMPARE(unreadable->text(0), u"2020-01-01 00:00:00"_s);
        QCOMPARE(unreadable->text(1), u"cannot be opened"_s);
        QCOMPARE(unreadable->text(3), QString());
        QVERIFY(!(unreadable->flags() & Qt::ItemIsEnabled));
        QCOMPARE(dlg.lstBackups->currentItem(), newest);
        env.answer = [](const MsgBox::Call&) { return int(MsgBox::vbYes); };
        dlg.cmdRestore->click();
        QVERIFY(dlg.Restored());
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages.first().prompt,
                 u"Replace the current data with the backup of %1? The current data is kept as a "
                 "backup."_s.arg(newest->text(0)));
        QCOMPARE(snapshot(path, u"restore pw"_s, kProtectedIter), rows);
        QCOMPARE(clsPWD::Master().PASSWORD_TX, u"restore pw"_s);
        QCOMPARE(snapshot(backupPaths(env).first(), u"restore pw"_s, kProtectedIter), changed);
        QVERIFY(!QFile::exists(path + u".new"_s));
        const auto newestReason = [&env] {
            return modBackup::List(env.DataFilePath(), clsDB::shared().Key, clsDB::shared().KdfIter)
                .first()
                .reason;
        };
        QCOMPARE(newestReason(), u"before restore"_s);
        QVERIFY(!TestEnv::AddPassword(u"After"_s, u"af"_s, u"after-pw"_s).isEmpty());
        // Every import, not only a session's first change, is preceded by its own backup.
        CsvImport import;
        import.LoadText(u"\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\r\n"
                        "\"Root\",\"Imported\",\"im\",\"im-pw\",\"\",\"\"\r\n"_s);
        const QString beforeImport = snapshot(path, u"restore pw"_s, kProtectedIter);
        QCOMPARE(import.Store().imported, 1);
        QCOMPARE(newestReason(), u"before import"_s);
        QCOMPARE(snapshot(backupPaths(env).first(), u"restore pw"_s, kProtectedIter), beforeImport);
    }

    // A restore keeps the current data as a backup first: with backups off, deleting none; in
    // the same second as the backup it restores, under its own number; over what a cut-off
    // restore left. A backup with other tables or columns is not offered and not restored.
    void restoreCases_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("restored");
        QTest::newRow("backups off") << u"off"_s << true;
        QTest::newRow("in the same second, one kept") << u"second"_s << true;
        QTest::newRow("a cut-off restore's copy beside the file") << u"stale"_s << true;
        QTest::newRow("another column") << u"ALTER TABLE PWD ADD COLUMN EXTRA_TX TEXT"_s << false;
        QTest::newRow("no file-folder table") << u"DROP TABLE MY_FILE"_s << false;
    }

    void restoreCases()
    {
        QFETCH(QString, how);
        QFETCH(bool, restored);
        TestEnv env;
        addSample(u"case pw"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        const QDateTime now(QDate(2031, 3, 30), QTime(0, 30), Qt::UTC);
        modBackup::SetClock([now] { return now; });
        const QString path = env.DataFilePath();
        const QString builtIn = clsDB::DatabasePassword();
        const QString old = snapshot(path, builtIn, 0);
        clsDB::shared().BeginSession();
        QVERIFY(clsPWD().Delete(u"2"_s));
        const QString current = snapshot(path, builtIn, 0);
        const QString backup = backupPaths(env).first();
        const QString planted =
            modBackup::Folder(path) + u"/pwd.quillondata.20200101T000000Z.import.bak"_s;
        QVERIFY(QFile::copy(backup, planted));
        if (how == "off"_L1) {
            clsApp::shared().setKeepBackups(0);
        } else if (how == "second"_L1) {
            clsApp::shared().setKeepBackups(1);
        } else if (how == "stale"_L1) {
            for (const QString& name : {u".new"_s, u".new-journal"_s}) {
                QFile file(path + name);
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write("cut off") == 7);
            }
        } else {
            SqlConnection connection;
            connection.Open(backup, builtIn, SqlConnection::Mode::ReadWrite);
            connection.Execute(how);
        }
        frmRestore dlg;
        QTreeWidgetItem* item = dlg.lstBackups->topLevelItem(0);
        QCOMPARE(item->data(0, Qt::UserRole).toString(), backup);
        QCOMPARE(bool(item->flags() & Qt::ItemIsEnabled), restored);
        if (!restored) {
            QCOMPARE(item->text(1), u"not a data file of KeyCask"_s);
            QVERIFY_THROWS_EXCEPTION(AppError, modBackup::Restore(backup));
            QCOMPARE(snapshot(path, builtIn, 0), current);
            QCOMPARE(backupFiles(path).size(), 2);
            return;
        }
        env.answer = [](const MsgBox::Call&) { return int(MsgBox::vbYes); };
        dlg.cmdRestore->click();
        QVERIFY(dlg.Restored());
        QCOMPARE(snapshot(path, builtIn, 0), old);
        const QString safety = backupPaths(env).first();
        QCOMPARE(QFileInfo(safety).fileName(), u"pwd.quillondata.20310330T003000Z-2.restore.bak"_s);
        QCOMPARE(snapshot(safety, builtIn, 0), current);
        QCOMPARE(QFile::exists(backup), how != "second"_L1);
        QCOMPARE(QFile::exists(planted), how != "second"_L1);
        QVERIFY(!QFile::exists(path + u".new"_s));
    }

    // A backup made under another master password says so before it is restored, with No as
    // the default; Yes asks for that backup's master password: a wrong one restores nothing,
    // the right one brings it back with the entries, and every backup takes it.
    void restoreOtherMaster_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("restored");
        QTest::newRow("No") << int(MsgBox::vbNo) << QString() << false;
        QTest::newRow("Yes, a wrong password") << int(MsgBox::vbYes) << u"new master"_s << false;
        QTest::newRow("Yes, its password") << int(MsgBox::vbYes) << u"old master"_s << true;
    }

    void restoreOtherMaster()
    {
        QFETCH(int, answer);
        QFETCH(QString, typed);
        QFETCH(bool, restored);
        TestEnv env;
        addSample(u"old master"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        clsDB::shared().BeginSession();
        // Stored past the backups, as another copy of the program would have done.
        clsPWD::Master().PASSWORD_TX = u"new master"_s;
        QVERIFY(clsPWD::Master().Save(false));
        const QString changed = snapshot(env.DataFilePath(), clsDB::DatabasePassword(), 0);
        frmRestore dlg;
        env.answer = [answer](const MsgBox::Call&) { return answer; };
        QTimer::singleShot(0, [typed] {
            if (auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                QCOMPARE(prompt->textEchoMode(), QLineEdit::Password);
                prompt->setTextValue(typed);
                prompt->accept();
            }
        });
        dlg.cmdRestore->click();
        const MsgBox::Call question = env.messages.first();
        QVERIFY(question.prompt.contains(u"The backup has another master password: it becomes "
                                         "your master password."_s));
        QVERIFY(question.flags & MsgBox::vbDefaultButton2);
        QCOMPARE(dlg.Restored(), restored);
        QCOMPARE(env.messages.size(), answer == MsgBox::vbYes && !restored ? 2 : 1);
        if (!restored) {
            QCOMPARE(snapshot(env.DataFilePath(), clsDB::DatabasePassword(), 0), changed);
            return;
        }
        QVERIFY(clsPWD::Master().PasswordMatches(u"old master"_s));
        for (const QString& copy : backupFiles(env.DataFilePath())) {
            QCOMPARE(storedMaster(copy, clsDB::DatabasePassword(), 0), u"old master"_s);
        }
    }

    // A data file replaced underneath the session: one with the same master password is reloaded
    // before the change, which lands in it; an entry it no longer holds is saved as a new one.
    // One that the session cannot use refuses every change, and neither file is written.
    void replacedFile_data()
    {
        QTest::addColumn<bool>("sameMaster");
        QTest::newRow("same master password") << true;
        QTest::newRow("another master password") << false;
    }

    void replacedFile()
    {
        QFETCH(bool, sameMaster);
        TestEnv env;
        addSample(u"first pw"_s);
        clsPWD::Master().OpenRecord(u"1"_s);
        const QString path = env.DataFilePath();
        const QString other =
            syncedCopy(path,
                       {u"DELETE FROM PWD WHERE PASSWORD_ID = 2"_s,
                        u"INSERT INTO PWD (PASSWORD_ID, TITLE_TX) VALUES (9, 'Synced')"_s},
                       sameMaster ? u"first pw"_s : u"second pw"_s);
        int reloads = 0;
        int foreign = 0;
        clsDB::shared().OnReloaded = [&] { ++reloads; };
        clsDB::shared().OnForeignFile = [&] { ++foreign; };
        clsDB::shared().BeginSession();
        QVERIFY(!TestEnv::AddPassword(u"Before"_s, u"be"_s, u"before-pw"_s).isEmpty());
        // As a sync tool does: a new file renamed over the old one.
        std::filesystem::rename(other.toStdString(), path.toStdString());
        const QString replaced = snapshot(path, clsDB::DatabasePassword(), 0);

        clsPWD edited;
        edited.OpenRecord(u"2"_s);
        edited.PASSWORD_TX = u"edited-pw"_s;
        QCOMPARE(edited.Save(false), sameMaster);
        QCOMPARE(TestEnv::AddPassword(u"New"_s, u"ne"_s, u"new-pw"_s).isEmpty(), !sameMaster);
        QCOMPARE(reloads, sameMaster ? 1 : 0);
        QCOMPARE(foreign, sameMaster ? 0 : 1);
        if (!sameMaster) {
            QCOMPARE(snapshot(path, clsDB::DatabasePassword(), 0), replaced);
            QVERIFY(clsDB::shared().Refused());
            return;
        }
        QCOMPARE(env.RawScalar(u"SELECT count(*) FROM PWD WHERE TITLE_TX IN ('Synced', 'Bank', "
                               "'New')"_s),
                 u"3"_s);
        QCOMPARE(env.messages.size(), 1);
        QVERIFY(env.messages.first().prompt.contains(u"added again as a new entry"_s));
        QCOMPARE(backupPaths(env).size(), 2);
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
