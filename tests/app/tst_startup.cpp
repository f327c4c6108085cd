// Tests of start-up when the data file cannot be opened or is no data file: one message, no
// window, no new or changed file.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "data/modSchema.h"
#include "platform/SqlConnection.h"
#include "ui/login/frmLogin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
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
};

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
