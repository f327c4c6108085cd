// Tests of the one-copy-per-data-file guard with real second processes: a later copy wakes the
// first and ends without touching anything; a lock left by a killed copy is taken over.
#include "TestEnv.h"
#include "app/SingleInstance.h"
#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The test program started again as another copy of KeyCask: "hold" takes the data file and
// reports what happens to it; "probe" tries to take it and ends.
constexpr char kModeVariable[] = "KEYCASK_TEST_COPY_MODE";
constexpr char kPathVariable[] = "KEYCASK_TEST_COPY_PATH";
constexpr int kHandedOver = 4;
constexpr int kTookIt = 3;

// A window that takes its time to close, as the main window does when it cleans up.
class SlowClosingWindow : public QWidget
{
protected:
    void closeEvent(QCloseEvent* event) override
    {
        std::cout << "closing" << std::endl;
        QThread::msleep(1500);
        QWidget::closeEvent(event);
    }
};

int runCopy(const QString& sMode, const QString& sPath)
{
    SingleInstance& guard = SingleInstance::shared();
    if (sMode == "closing"_L1) {
        // Takes the file, shows a window and closes it at once: the program ends.
        if (guard.Acquire(sPath) != SingleInstance::Outcome::Held) {
            return kHandedOver;
        }
        SlowClosingWindow window;
        window.show();
        QTimer::singleShot(0, &window, &QWidget::close);
        return QApplication::exec();
    }
    if (sMode == "probe"_L1) {
        return guard.Acquire(sPath) == SingleInstance::Outcome::Held ? kTookIt : kHandedOver;
    }
    if (guard.Acquire(sPath) != SingleInstance::Outcome::Held) {
        return kHandedOver;
    }
    QObject::connect(&guard, &SingleInstance::ActivateRequested,
                     [] { std::cout << "activated" << std::endl; });
    std::cout << "held" << std::endl;
    return QApplication::exec();
}

struct Copy
{
    QProcess process;

    void start(const QString& sMode, const QString& sPath)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kModeVariable), sMode);
        env.insert(QString::fromLatin1(kPathVariable), sPath);
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationFilePath(), {});
    }
    // Waits until the copy has ended (it may have ended already).
    bool ended()
    {
        return process.state() == QProcess::NotRunning || process.waitForFinished(10000);
    }
    // Waits until the copy has printed a line.
    bool said(const QByteArray& line)
    {
        QByteArray all;
        for (int i = 0; i < 100 && !all.contains(line); ++i) {
            process.waitForReadyRead(100);
            all += process.readAllStandardOutput();
            m_seen += all;
        }
        return m_seen.contains(line);
    }
    ~Copy()
    {
        process.kill();
        process.waitForFinished(5000);
    }

private:
    QByteArray m_seen;
};

} // namespace

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            w->close();
        }
        SingleInstance::shared().Release();
    }

    // This copy holds the file: another start is turned away and wakes this one.
    void laterCopyWakesFirst()
    {
        TestEnv env;
        const QString path = env.DataFilePath();
        SingleInstance& guard = SingleInstance::shared();
        QCOMPARE(guard.Acquire(path), SingleInstance::Outcome::Held);
        QCOMPARE(guard.Acquire(path), SingleInstance::Outcome::Held); // held already: no conflict
        QSignalSpy woken(&guard, &SingleInstance::ActivateRequested);
        // The copies meet in the user's private runtime folder, where no other user is first.
        const QFileInfo socket(SingleInstance::ServerName(path));
        QCOMPARE(socket.absolutePath(),
                 QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
        QVERIFY(socket.exists() && socket.ownerId() == ::geteuid());
        QCOMPARE(QFile::permissions(socket.absolutePath()) & 0x0077, QFileDevice::Permissions());

        Copy copy;
        copy.start(u"probe"_s, path);
        QTRY_COMPARE_WITH_TIMEOUT(woken.size(), 1, 10000);
        QVERIFY(copy.ended());
        QCOMPARE(copy.process.exitCode(), kHandedOver);

        // Another data file is another matter.
        Copy other;
        other.start(u"probe"_s, QDir(env.AppFolder()).filePath(u"other.quillondata"_s));
        QVERIFY(other.ended());
        QCOMPARE(other.process.exitCode(), kTookIt);
        QCOMPARE(woken.size(), 1);
    }

    // Another copy holds the file: start-up ends at once, shows nothing and creates nothing;
    // once that copy is killed its lock is stale and the next start takes the file.
    void startupWhileAnotherCopyRuns()
    {
        TestEnv env(true);
        const QString path = env.DataFilePath();
        const QString reports = clsApp::shared().ReportPath();
        QDir(reports).removeRecursively();
        clsDB::shared().CloseConnection();

        Copy holder;
        holder.start(u"hold"_s, path);
        QVERIFY(holder.said("held"));

        QVERIFY(!modSubMain::Main());
        QVERIFY(modSubMain::HandedOverToRunningCopy);
        QVERIFY(holder.said("activated"));
        QVERIFY(env.messages.isEmpty());
        QVERIFY(!QFileInfo::exists(reports));
        QVERIFY(!clsDB::shared().IsOpen());
        for (const QWidget* w : QApplication::topLevelWidgets()) {
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        }

        holder.process.kill();
        QVERIFY(holder.ended());
        QVERIFY(QFileInfo::exists(path + u".lock"_s));
        QCOMPARE(SingleInstance::shared().Acquire(path), SingleInstance::Outcome::Held);
    }

    // A start while the running copy is still closing waits for it and goes on, instead of
    // asking it to show itself and ending.
    void startWhileCopyCloses()
    {
        TestEnv env;
        const QString path = env.DataFilePath();
        Copy closing;
        closing.start(u"closing"_s, path);
        QVERIFY(closing.said("closing"));

        Copy probe;
        probe.start(u"probe"_s, path);
        QVERIFY(probe.ended());
        QCOMPARE(probe.process.exitCode(), kTookIt);
        QVERIFY(closing.ended());
        QCOMPARE(closing.process.exitCode(), 0);
    }

    // A lock file that no running copy answers for is stale whatever lies there: start-up
    // removes it, takes the file and goes on without a word; it never reads through a link nor
    // waits on a pipe. One that cannot be removed is
    // named in a message, and the start ends as a failure.
    void badLockFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("goesOn");
        QTest::newRow("empty") << u"empty"_s << true;
        QTest::newRow("garbage") << u"garbage"_s << true;
        QTest::newRow("another machine's") << u"host"_s << true;
        QTest::newRow("a live process's") << u"live"_s << true;
        QTest::newRow("empty folder") << u"folder"_s << true;
        QTest::newRow("dangling link") << u"link"_s << true;
        QTest::newRow("link to an endless device") << u"zero"_s << true;
        QTest::newRow("pipe") << u"pipe"_s << true;
        QTest::newRow("folder with a file") << u"full folder"_s << false;
    }

    void badLockFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, goesOn);
        TestEnv env;
        clsDB::shared().CloseConnection();
        const QString path = env.DataFilePath();
        const QString lockPath = path + u".lock"_s;
        const QString linkTarget = QDir(env.AppFolder()).filePath(u"nowhere"_s);
        const auto write = [&](const QByteArray& bytes) {
            QFile file(lockPath);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        };
        if (kind == "empty"_L1) {
            write({});
        } else if (kind == "garbage"_L1) {
            write(QByteArrayLiteral("\x01\xfe not a lock\n\n\n"));
        } else if (kind == "host"_L1) {
            write("4242\nkeycask\nother-host.example.org\n");
        } else if (kind == "live"_L1) {
            // This very process, by its own name on this machine: a number in use, but no copy
            // that holds the lock.
            write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                  QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' +
                  QSysInfo::machineHostName().toUtf8() + '\n');
        } else if (kind == "folder"_L1) {
            QVERIFY(QDir().mkpath(lockPath));
        } else if (kind == "link"_L1) {
            QVERIFY(QFile::link(linkTarget, lockPath));
        } else if (kind == "zero"_L1) {
            QVERIFY(QFile::link(u"/dev/zero"_s, lockPath));
        } else if (kind == "pipe"_L1) {
            QVERIFY(::mkfifo(QFile::encodeName(lockPath).constData(), 0600) == 0);
        } else {
            QVERIFY(QDir().mkpath(lockPath + u"/inside"_s));
        }

        QCOMPARE(modSubMain::Main(), goesOn);
        QVERIFY(!modSubMain::HandedOverToRunningCopy);
        QVERIFY(!QFileInfo::exists(linkTarget));
        if (goesOn) {
            QVERIFY(env.messages.isEmpty());
            QVERIFY(clsDB::shared().IsOpen());
            qint64 pid = 0;
            QString host;
            QString app;
            QVERIFY(QFileInfo(lockPath).isFile() && !QFileInfo(lockPath).isSymLink());
            QVERIFY(QLockFile(lockPath).getLockInfo(&pid, &host, &app));
            QCOMPARE(pid, QCoreApplication::applicationPid());
        } else {
            QCOMPARE(env.messages.size(), 1);
            QCOMPARE(env.messages[0].prompt, modSubMain::LockFailureMessage(lockPath));
            QVERIFY(env.messages[0].prompt.contains(QDir::toNativeSeparators(lockPath)));
            QCOMPARE(env.messages[0].flags, 48);
            QVERIFY(QFileInfo(lockPath + u"/inside"_s).isDir());
            QVERIFY(!clsDB::shared().IsOpen());
        }
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString mode = qEnvironmentVariable(kModeVariable);
    if (!mode.isEmpty()) {
        return runCopy(mode, qEnvironmentVariable(kPathVariable));
    }
    tst_SingleInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
