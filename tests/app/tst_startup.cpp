// Tests of start-up when the data file cannot be opened: one message, no window, no new file.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "platform/SqlConnection.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

namespace {

QByteArray fileBytes(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    void connectFailure_data()
    {
        QTest::addColumn<QString>("dataFile");
        QTest::addColumn<QString>("reports"); // the report folder before start-up
        const QList<QStringList> rows{{"missing", "missing"},   {"missing", "exists"},
                                      {"missing", "blocked"},   {"garbage", "missing"},
                                      {"wrong key", "missing"}, {"empty", "missing"}};
        for (const QStringList& row : rows) {
            QTest::addRow("%s, reports %s", qPrintable(row[0]), qPrintable(row[1]))
                << row[0] << row[1];
        }
    }

    void connectFailure()
    {
        QFETCH(QString, dataFile);
        QFETCH(QString, reports);
        TestEnv env(false);
        const QString path = clsApp::shared().DatabasePath();
        const QString reportPath = clsApp::shared().ReportPath();
        if (dataFile == "empty") {
            writeBytes(path, QByteArray());
        } else if (dataFile == "garbage") {
            writeBytes(path, QByteArray(4096, '\x5a'));
        } else if (dataFile == "wrong key") {
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            SqlConnection other;
            other.Open(path, "other", SqlConnection::Mode::Create);
            other.Execute("CREATE TABLE PWD (PASSWORD_ID INTEGER PRIMARY KEY)");
        }
        if (reports == "exists") {
            QVERIFY(QDir().mkpath(reportPath));
        } else if (reports == "blocked") {
            writeBytes(reportPath, "not a folder");
        }
        const QByteArray before = fileBytes(path);
        clsDB::shared().Database = QStringLiteral("elsewhere.quillondata");

        QVERIFY(!modSubMain::Main());

        QCOMPARE(env.messages.size(), 1);
        const MsgBox::Call& call = env.messages.first();
        QVERIFY(QFileInfo(path).isAbsolute());
        QCOMPARE(call.prompt, modSubMain::ConnectFailureMessage(path));
        QCOMPARE(call.prompt, "Unable to connect to database: " + path + "\r\n\r\nPlease e-mail: " +
                                  QString::fromUtf16(modSubMain::SUPPORT_ADDRESS));
        QVERIFY(QString::fromUtf16(modSubMain::SUPPORT_ADDRESS).contains('@'));
        QCOMPARE(call.flags, 48);
        QCOMPARE(call.title, QStringLiteral("KeyCask"));

        QCOMPARE(clsDB::shared().Database, path);
        QVERIFY(!clsDB::shared().IsOpen());
        QCOMPARE(QFile::exists(path), dataFile != "missing");
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(QFileInfo(reportPath).isDir(), reports != "blocked");
        for (const QWidget* w : QApplication::topLevelWidgets()) {
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        }

        const QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(modSubMain::ScreenTwipsPerPixelX, qRound(1440.0 / screen->logicalDotsPerInchX()));
        QCOMPARE(modSubMain::ScreenTwipsPerPixelY, qRound(1440.0 / screen->logicalDotsPerInchY()));
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
