// Tests of start-up when the data file cannot be opened or is no data file: one message, no
// window, no new or changed file; backups offered for a damaged or missing data file.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "data/modProtection.h"
#include "data/modSchema.h"
#include "platform/AppError.h"
#include "platform/SqlConnection.h"
#include "ui/dialogs/frmRestore.h"
#include "ui/login/frmLogin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <sys/stat.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

namespace {

QByteArray fileBytes(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The permission bits of a file or folder, and setting them.
int mode(const QString& sPath)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(sPath).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool setMode(const QString& sPath, int lMode)
{
    return ::chmod(QFile::encodeName(sPath).constData(), mode_t(lMode)) == 0;
}

void writeBytes(const QString& sPath, const QByteArray& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(sPath).absolutePath()));
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

frmLogin* shownLogin()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* login = qobject_cast<frmLogin*>(w); login && w->isVisible()) {
            return login;
        }
    }
    return nullptr;
}

// Turns the test's world into an installed copy: no marker beside the program.
QString goInstalled(const TestEnv& env)
{
    QFile::remove(env.AppFolder() + "/" + clsApp::PORTABLE_MARKER);
    clsApp::shared().SetApplicationFolder(env.AppFolder());
    return clsApp::shared().DatabasePath();
}

// A data file at sPath with the master password "pw" and one entry, optionally protected by
// it, and a backup of it; gives the backup's path. The session is closed afterwards, as before
// a start.
QString fileWithBackup(const QString& sPath, bool bProtected)
{
    QDir().mkpath(QFileInfo(sPath).absolutePath());
    modSchema::CreateDataFile(sPath);
    clsDB& db = clsDB::shared();
    db.Database = sPath;
    TestEnv::AddPassword("KeyCask", "KeyCask", "pw");
    TestEnv::AddPassword("Bank", "ann", "pw-2");
    clsPWD::Master().OpenRecord("1");
    if (bProtected) {
        modProtection::Protect("pw");
    }
    const QString backup = db.MakeBackup(3);
    db.CloseConnection();
    db.Key = clsDB::DatabasePassword();
    db.KdfIter = 0;
    clsPWD::Master() = clsPWD();
    return backup;
}

// Answers the windows of a restore at start-up as they come: the list restores the backup it
// selects (and is closed when that fails), and a protected backup's password box gets its
// password.
struct RestoreDriver
{
    explicit RestoreDriver(const QString& sPassword)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, sPassword] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* list = qobject_cast<frmRestore*>(modal); list && list == tried) {
                list->reject();
            } else if (list && list != clicked) {
                // Clicked from a timer of its own: this one does not fire inside itself.
                clicked = list;
                ++listsShown;
                QTimer::singleShot(0, list, [this, list] {
                    list->cmdRestore->click();
                    tried = list;
                });
            } else if (auto* ask = qobject_cast<QInputDialog*>(modal)) {
                ++passwordsAsked;
                ask->setTextValue(sPassword);
                ask->accept();
            }
        });
        timer.start(0);
    }
    QTimer timer;
    QPointer<frmRestore> clicked;
    QPointer<frmRestore> tried;
    int listsShown = 0;
    int passwordsAsked = 0;
};

// The damaged data files kept beside sPath.
QStringList damagedCopies(const QString& sPath)
{
    const QFileInfo info(sPath);
    return QDir(info.absolutePath()).entryList({info.fileName() + ".damaged-*"}, QDir::Files);
}

} // namespace

class tst_Startup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            w->close();
        }
    }

    void connectFailure_data()
    {
        QTest::addColumn<QString>("file");        // what lies at the data file's path
        QTest::addColumn<bool>("reportsBlocked"); // a file where the report folder goes
        QTest::newRow("missing") << "" << false;
        QTest::newRow("missing, reports blocked") << "" << true;
        QTest::newRow("empty") << "empty" << false;
        QTest::newRow("plain SQLite header") << "plain" << false;
        QTest::newRow("without PWD") << "MY_FILE" << false;
        QTest::newRow("without MY_FILE") << "PWD" << false;
    }

    void connectFailure()
    {
        QFETCH(QString, file);
        QFETCH(bool, reportsBlocked);
        TestEnv env(false);
        const QString path = clsApp::shared().DatabasePath();
        const QString reportPath = clsApp::shared().ReportPath();
        if (file == "empty") {
            writeBytes(path, QByteArray());
        } else if (file == "plain") {
            writeBytes(path, QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0'));
        } else if (!file.isEmpty()) {
            // A file with the data file's key and one of its two tables, which holds a row.
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            SqlConnection other;
            other.Open(path, clsDB::DatabasePassword(), SqlConnection::Mode::Create);
            for (const QString& statement : modSchema::CreateStatements()) {
                if (statement.startsWith("CREATE TABLE " + file + " (")) {
                    other.Execute(statement);
                }
            }
            other.Execute("INSERT INTO " + file + " VALUES (1, 'KeyCask', 'KeyCask', NULL" +
                          (file == "PWD" ? ", NULL, NULL)" : ")"));
        }
        if (reportsBlocked) {
            writeBytes(reportPath, "not a folder");
        }
        const QByteArray before = fileBytes(path);
        clsDB::shared().Database = QStringLiteral("elsewhere.quillondata");
        modSubMain::ScreenTwipsPerPixelX = modSubMain::ScreenTwipsPerPixelY = 0;

#ifdef Q_OS_LINUX
        // The test process starts dumpable, with whatever core limit the shell gave it.
        const rlimit unlimited = {RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_CORE, &unlimited);
        ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
#endif

        QVERIFY(!modSubMain::Main());

#ifdef Q_OS_LINUX
        // Start-up has kept the process out of core files and away from debuggers.
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
        rlimit core = {};
        QCOMPARE(::getrlimit(RLIMIT_CORE, &core), 0);
        QCOMPARE(core.rlim_cur, rlim_t(0));
#endif
        QCOMPARE(env.messages.size(), 1);
        const MsgBox::Call& call = env.messages.first();
        QVERIFY(QFileInfo(path).isAbsolute());
        QCOMPARE(call.prompt, "Unable to connect to database: " + path +
                                  "\r\n\r\nPlease e-mail: support@quillonsoftware.example");
        QCOMPARE(call.flags, 48);
        QCOMPARE(call.title, QStringLiteral("KeyCask"));

        QCOMPARE(clsDB::shared().Database, path);
        QVERIFY(!clsDB::shared().IsOpen());
        QCOMPARE(QFile::exists(path), !file.isEmpty());
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(QFileInfo(reportPath).isDir(), !reportsBlocked);
        for (const QWidget* w : QApplication::topLevelWidgets()) {
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        }
        // Twips per pixel follow the screen (1440 twips an inch).
        const QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(modSubMain::ScreenTwipsPerPixelX, qRound(1440.0 / screen->logicalDotsPerInchX()));
        QCOMPARE(modSubMain::ScreenTwipsPerPixelY, qRound(1440.0 / screen->logicalDotsPerInchY()));
    }

    // Start-up takes back the rights of others on the data file and its folder, and never adds
    // one; it says nothing about it.
    void keepsDataFileToOwner_data()
    {
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("fileAfter");
        QTest::addColumn<int>("folderAfter");
        QTest::newRow("open to all") << 0644 << 0755 << 0600 << 0700;
        QTest::newRow("group writes") << 0660 << 0770 << 0600 << 0700;
        QTest::newRow("others only") << 0604 << 0701 << 0600 << 0700;
        QTest::newRow("owner reads only") << 0444 << 0700 << 0400 << 0700;
    }

    void keepsDataFileToOwner()
    {
        QFETCH(int, fileMode);
        QFETCH(int, folderMode);
        QFETCH(int, fileAfter);
        QFETCH(int, folderAfter);
        TestEnv env;
        clsDB::shared().CloseConnection();
        const QString path = env.DataFilePath();
        const QString folder = QFileInfo(path).absolutePath();
        QVERIFY(setMode(path, fileMode) && setMode(folder, folderMode));
        QCOMPARE(mode(path), fileMode);

        QVERIFY(modSubMain::Main());
        QVERIFY(env.messages.isEmpty());
        QCOMPARE(mode(path), fileAfter);
        QCOMPARE(mode(folder), folderAfter);
    }

    // What an interrupted re-encryption left (a whole copy under the built-in key, its journal)
    // goes at start-up; files of other names stay.
    void removesLeftOverCopy()
    {
        TestEnv env;
        clsDB::shared().CloseConnection();
        const QString path = env.DataFilePath();
        const QStringList leftOvers{path + ".new", path + ".new-journal"};
        const QStringList others{path + ".new.bak", path + ".newer", path + "-journal.new"};
        QVERIFY(QFile::copy(path, leftOvers[0]));
        writeBytes(leftOvers[1], "journal");
        for (const QString& other : others) {
            writeBytes(other, "keep me");
        }
        QVERIFY(modSubMain::Main());
        QVERIFY(env.messages.isEmpty());
        for (const QString& leftOver : leftOvers) {
            QVERIFY2(!QFileInfo::exists(leftOver), qPrintable(leftOver));
        }
        for (const QString& other : others) {
            QCOMPARE(fileBytes(other), QByteArray("keep me"));
        }
    }

    // A file that does not open with the built-in password may be protected by the master
    // password: the login window asks for it instead of the start-up failure message.
    void unreadableFileAsksForPassword()
    {
        TestEnv env(false);
        const QString path = clsApp::shared().DatabasePath();
        writeBytes(path, QByteArray(4096, '\x5a'));
        const QByteArray before = fileBytes(path);
        QVERIFY(modSubMain::Main());
        QVERIFY(env.messages.isEmpty());
        frmLogin* login = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* candidate = qobject_cast<frmLogin*>(w); candidate && w->isVisible()) {
                login = candidate;
            }
        }
        QVERIFY(login && login->gbProtectedFile);
        QVERIFY(!login->txt[1]->isVisible());
        QTest::sendKeyEvent(QTest::Click, login->txt[0], Qt::Key_unknown, "guess", Qt::NoModifier);
        QTest::keyClick(login->txt[0], Qt::Key_Return);
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].prompt, frmLogin::WRONG_PASSWORD_MESSAGE);
        QVERIFY(login->isVisible());
        QCOMPARE(fileBytes(path), before);
        delete login;
    }

    // A data file that cannot be used with backups beside it: after the sign-in message the
    // backups are offered; a chosen one takes the file's place, which is kept beside.
    void damagedFileOffersBackups_data()
    {
        QTest::addColumn<QString>("damage"); // plain: no database; random: looks protected;
                                             // master: the master row cannot be read
        QTest::addColumn<bool>("protectedFile");
        QTest::addColumn<bool>("restore"); // the answer to the offer
        QTest::newRow("cannot be opened, declined") << "plain" << false << false;
        QTest::newRow("cannot be opened, restored") << "plain" << false << true;
        QTest::newRow("wrong password or damaged, declined") << "random" << false << false;
        QTest::newRow("wrong password or damaged, restored") << "random" << false << true;
        QTest::newRow("master row unreadable, restored") << "master" << false << true;
        QTest::newRow("protected backup, restored") << "random" << true << true;
    }

    void damagedFileOffersBackups()
    {
        QFETCH(QString, damage);
        QFETCH(bool, protectedFile);
        QFETCH(bool, restore);
        TestEnv env(false);
        const QString path = env.DataFilePath();
        const QString backup = fileWithBackup(path, protectedFile);
        if (damage == "master") {
            env.RawExecute("UPDATE PWD SET PASSWORD_TX = 'garbage' WHERE PASSWORD_ID = 1");
        } else {
            QVERIFY(QFile::remove(path));
            writeBytes(path, damage == "plain"
                                 ? QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0')
                                 : QByteArray(4096, '\x5a'));
        }
        const QByteArray damaged = fileBytes(path);
        clsApp::shared().SetApplicationFolder(env.AppFolder());
        env.answer = [restore](const MsgBox::Call& call) {
            return int(call.prompt == QString::fromUtf16(modSubMain::OFFER_BACKUPS) && !restore
                           ? MsgBox::vbNo
                           : MsgBox::vbYes);
        };
        RestoreDriver driver("pw");

        const bool started = modSubMain::Main();
        QCOMPARE(started, restore || damage == "random");
        if (damage == "random") {
            QVERIFY(env.messages.isEmpty());
            frmLogin* login = shownLogin();
            QVERIFY(login && login->gbProtectedFile);
            QTest::sendKeyEvent(QTest::Click, login->txt[0], Qt::Key_unknown, "guess",
                                Qt::NoModifier);
            QTest::keyClick(login->txt[0], Qt::Key_Return);
            QCOMPARE(env.messages.value(0).prompt, frmLogin::WRONG_PASSWORD_MESSAGE);
        }
        QVERIFY(env.messages.size() >= 2);
        QCOMPARE(env.messages[1].prompt, QString::fromUtf16(modSubMain::OFFER_BACKUPS));
        QCOMPARE(driver.listsShown, int(restore));
        QCOMPARE(driver.passwordsAsked, int(protectedFile));
        if (!restore) {
            if (frmLogin* login = shownLogin()) {
                // A second wrong password is only told: the backups were offered.
                QTest::keyClick(login->txt[0], Qt::Key_Return);
                QCOMPARE(env.messages.size(), 3);
                QCOMPARE(env.messages[2].prompt, frmLogin::WRONG_PASSWORD_MESSAGE);
                env.messages.removeLast();
            }
            QCOMPARE(env.messages.size(), 2);
            QCOMPARE(fileBytes(path), damaged);
            QVERIFY(damagedCopies(path).isEmpty());
            return;
        }
        // The backup is the data file, open with its master password; the damaged file is kept.
        QCOMPARE(fileBytes(path), fileBytes(backup));
        const QStringList kept = damagedCopies(path);
        QCOMPARE(kept.size(), 1);
        const QString keptPath = QFileInfo(path).absolutePath() + "/" + kept[0];
        QCOMPARE(fileBytes(keptPath), damaged);
        QCOMPARE(mode(keptPath), 0600);
        frmLogin* login = shownLogin();
        QVERIFY(login && !login->gbProtectedFile && !login->txt[1]->isVisible());
        QVERIFY(frmLogin::MatchesMasterPassword("pw"));
        QCOMPARE(modProtection::SessionProtected(), protectedFile);
        QCOMPARE(clsDB::shared().Database, path);
    }

    // A backup that fails its check leaves the data file as it was, and nothing beside it.
    void restoreOverDamagedRefused_data()
    {
        QTest::addColumn<bool>("dataFile");
        QTest::newRow("damaged data file") << true;
        QTest::newRow("missing data file") << false;
    }

    void restoreOverDamagedRefused()
    {
        QFETCH(bool, dataFile);
        TestEnv env(false);
        const QString path = env.DataFilePath();
        const QString backup = fileWithBackup(path, true);
        QVERIFY(QFile::remove(path));
        if (dataFile) {
            writeBytes(path, "damaged");
        }
        const QStringList before = QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files);
        QVERIFY_THROWS_EXCEPTION(
            AppError, modBackup::RestoreOverDamaged(backup, path, clsDB::DatabasePassword(), 0));
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), before);
        QCOMPARE(fileBytes(path), dataFile ? QByteArray("damaged") : QByteArray());
    }

    // Installed, only the first start makes the data file; a later one (Backups there, or the
    // settings saying the file was made) asks, and quits unless told otherwise.
    void missingDataFile_data()
    {
        QTest::addColumn<QString>("before"); // what says a data file was made
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("flags"); // of the question; 0 when none is asked
        QTest::addColumn<QString>("after");
        const int newOrQuit = MsgBox::vbExclamation | MsgBox::vbYesNo | MsgBox::vbDefaultButton2;
        const int threeWays =
            MsgBox::vbExclamation | MsgBox::vbYesNoCancel | MsgBox::vbDefaultButton3;
        QTest::newRow("first start") << "" << 0 << 0 << "new";
        QTest::newRow("made before, quit") << "setting" << int(MsgBox::vbNo) << newOrQuit << "quit";
        QTest::newRow("made before, new file")
            << "setting" << int(MsgBox::vbYes) << newOrQuit << "new";
        QTest::newRow("empty Backups, quit")
            << "Backups" << int(MsgBox::vbNo) << newOrQuit << "quit";
        QTest::newRow("backups, quit") << "backup" << int(MsgBox::vbCancel) << threeWays << "quit";
        QTest::newRow("backups, new file") << "backup" << int(MsgBox::vbNo) << threeWays << "new";
        QTest::newRow("backups, restored")
            << "backup" << int(MsgBox::vbYes) << threeWays << "restored";
    }

    void missingDataFile()
    {
        QFETCH(QString, before);
        QFETCH(int, answer);
        QFETCH(int, flags);
        QFETCH(QString, after);
        TestEnv env(false);
        const QString path = goInstalled(env);
        QVERIFY(!path.startsWith(env.AppFolder() + "/Database"));
        QString backup;
        if (before == "setting") {
            clsApp::shared().RecordDataFileMade();
        } else if (before == "Backups") {
            QVERIFY(QDir().mkpath(modBackup::Folder(path)));
        } else if (before == "backup") {
            backup = fileWithBackup(path, false);
            QVERIFY(QFile::remove(path));
        }
        const QString question = "The data file " + path + " is missing.";
        env.answer = [&](const MsgBox::Call& call) {
            return call.prompt.startsWith(question) ? answer : int(MsgBox::vbYes);
        };
        RestoreDriver driver{QString()};

        QCOMPARE(modSubMain::Main(), after != "quit");
        QCOMPARE(env.messages.isEmpty(), flags == 0);
        if (flags != 0) {
            QVERIFY2(env.messages[0].prompt.startsWith(question + "\r\n"),
                     qPrintable(env.messages[0].prompt));
            QCOMPARE(env.messages[0].flags, flags);
        }
        QCOMPARE(driver.listsShown, int(after == "restored"));
        QCOMPARE(QFileInfo::exists(path), after != "quit");
        if (after == "quit") {
            return;
        }
        QVERIFY(clsApp::shared().DataFileMade());
        QVERIFY(damagedCopies(path).isEmpty());
        frmLogin* login = shownLogin();
        QVERIFY(login);
        // A new file asks for a new master password, saying where the file is; the restored one
        // asks for its own.
        QCOMPARE(login->txt[1]->isVisible(), after == "new");
        QCOMPARE(login->lblDataFile->isVisible(), after == "new");
        QVERIFY(after != "new" ||
                login->lblDataFile->accessibleName().endsWith(QDir::toNativeSeparators(path)));
        if (after == "restored") {
            QCOMPARE(fileBytes(path), fileBytes(backup));
            QVERIFY(frmLogin::MatchesMasterPassword("pw"));
        }
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
