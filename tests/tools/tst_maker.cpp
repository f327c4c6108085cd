// Tests of the data-file maker: tables and columns of a new file, and the cases it refuses.
#include "TestEnv.h"
#include "data/clsDB.h"
#include "platform/SqlConnection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString err;
};

Run runMaker(const QStringList& args)
{
    QProcess maker;
    maker.start(QStringLiteral(KEYCASK_MKDATA_PATH), args);
    Run run;
    if (!maker.waitForFinished(60000) || maker.exitStatus() != QProcess::NormalExit) {
        run.err = QStringLiteral("the maker did not finish");
        return run;
    }
    run.exitCode = maker.exitCode();
    run.err = QString::fromLocal8Bit(maker.readAllStandardError());
    return run;
}

QByteArray fileBytes(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList column(SqlConnection& db, const QString& sSql, const QString& sField)
{
    QStringList values;
    for (auto rs = db.Execute(sSql); !rs->EndOfRows(); rs->MoveNext()) {
        values << rs->Field(sField);
    }
    return values;
}

} // namespace

class tst_Maker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tables_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QStringList>("nocase");
        QTest::newRow("PWD") << "PWD" << QStringList{"PASSWORD_ID", "TITLE_TX",    "USER_NM",
                                                     "PASSWORD_TX", "WEB_SITE_TX", "NOTES_TX"}
                             << QStringList{"TITLE_TX", "USER_NM", "WEB_SITE_TX", "NOTES_TX"};
        QTest::newRow("MY_FILE") << "MY_FILE"
                                 << QStringList{"MY_FILE_ID", "MY_FILE_NM", "MY_FILE_PATH_TX",
                                                "NOTES_TX"}
                                 << QStringList{"MY_FILE_NM", "MY_FILE_PATH_TX", "NOTES_TX"};
    }

    void tables()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, columns);
        QFETCH(QStringList, nocase);
        TestEnv env(false);
        const QString path = QDir(env.AppFolder()).filePath("new/folder/pwd.quillondata");

        const Run run = runMaker({path});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(QFile::exists(path));

        SqlConnection db;
        db.Open(path, clsDB::DatabasePassword(), SqlConnection::Mode::ReadWrite);
        QCOMPARE(
            column(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", "name"),
            (QStringList{"MY_FILE", "PWD"}));
        QCOMPARE(column(db, "PRAGMA table_info(" + table + ")", "name"), columns);
        QCOMPARE(column(db, "PRAGMA table_info(" + table + ")", "pk").first(), QStringLiteral("1"));
        QVERIFY(column(db, "SELECT count(*) AS N FROM " + table, "N") == QStringList{"0"});

        const QString sql =
            column(db, "SELECT sql FROM sqlite_master WHERE name = '" + table + "'", "sql")
                .value(0);
        for (const QString& name : columns) {
            const QRegularExpression definition(name + R"(\s[^,)]*)");
            const QString text = definition.match(sql).captured(0);
            QVERIFY2(!text.isEmpty(), qPrintable(name));
            QVERIFY2(text.contains("NOCASE", Qt::CaseInsensitive) == nocase.contains(name),
                     qPrintable(text));
        }
    }

    void existingFile_data()
    {
        QTest::addColumn<bool>("dataFile");
        QTest::newRow("data file") << true;
        QTest::newRow("other file") << false;
    }

    void existingFile()
    {
        QFETCH(bool, dataFile);
        TestEnv env(dataFile);
        QString path = env.DataFilePath();
        if (!dataFile) {
            path = QDir(env.AppFolder()).filePath("notes.txt");
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep me");
        } else {
            clsDB::shared().CloseConnection();
        }
        const QByteArray before = fileBytes(path);
        QVERIFY(!before.isEmpty());

        const Run run = runMaker({path});
        QVERIFY(run.exitCode != 0);
        QVERIFY2(run.err.contains(QDir::toNativeSeparators(path)), qPrintable(run.err));
        QVERIFY2(run.err.contains("exists"), qPrintable(run.err));
        QCOMPARE(fileBytes(path), before);
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no argument") << QStringList{};
        QTest::newRow("two arguments") << QStringList{"a.quillondata", "b.quillondata"};
        QTest::newRow("folder is a file") << QStringList{"blocker/pwd.quillondata"};
    }

    // Refused with a message, and nothing is left behind.
    void refused()
    {
        QFETCH(QStringList, args);
        TestEnv env(false);
        const QDir dir(env.AppFolder());
        QFile blocker(dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        for (QString& arg : args) {
            arg = dir.filePath(arg);
        }

        const Run run = runMaker(args);
        QVERIFY(run.exitCode > 0);
        QVERIFY(!run.err.trimmed().isEmpty());
        QVERIFY(dir.entryList({"*.quillondata*"}).isEmpty());
        QVERIFY(QFileInfo(blocker).isFile());
        QCOMPARE(QFileInfo(blocker).size(), 0);
    }
};

QTEST_MAIN(tst_Maker)
#include "tst_maker.moc"
