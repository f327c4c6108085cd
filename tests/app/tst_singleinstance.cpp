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
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <iostream>

using namespace Qt::StringLiterals;

namespace {

// The test program started again as another copy of KeyCask: "hold" takes the data file and
// reports what happens to it; "probe" tries to take it and ends.
constexpr char kModeVariable[] = "KEYCASK_TEST_COPY_MODE";
constexpr char kPathVariable[] = "KEYCASK_TEST_COPY_PATH";
constexpr int kHandedOver = 4;
constexpr int kTookIt = 3;

int runCopy(const QString& sMode, const QString& sPath)
{
    SingleInstance& guard = SingleInstance::shared();
    if (sMode == "probe"_L1) {
        return guard.Acquire(sPath) ? kTookIt : kHandedOver;
    }
    if (!guard.Acquire(sPath)) {
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
    void cleanup() { SingleInstance::shared().Release(); }

    // This copy holds the file: another start is turned away and wakes this one.
    void laterCopyWakesFirst()
    {
        TestEnv env;
        const QString path = env.DataFilePath();
        SingleInstance& guard = SingleInstance::shared();
        QVERIFY(guard.Acquire(path));
        QVERIFY(guard.Acquire(path)); // holding it already is no conflict
        QSignalSpy woken(&guard, &SingleInstance::ActivateRequested);

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
        QVERIFY(SingleInstance::shared().Acquire(path));
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
