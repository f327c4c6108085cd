// Tests of the data-file maker: tables and columns of a new file, and the cases it refuses.
#include "TestEnv.h"
#include "data/clsDB.h"
#include "platform/SqlConnection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <sys/stat.h>

namespace {

// Runs the maker; the exit code (-1 when it did not finish) and its error output.
std::pair<int, QString> runMaker(const QStringList& args)
{
    QProcess maker;
    maker.start(QStringLiteral(KEYCASK_MKDATA_PATH), args);
    const bool ended = maker.waitForFinished(60000) && maker.exitStatus() == QProcess::NormalExit;
    return {ended ? maker.exitCode() : -1, QString::fromLocal8Bit(maker.readAllStandardError())};
}

QByteArray fileBytes(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The permission bits of a file or folder.
int mode(const QString& sPath)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(sPath).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
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
    // Creates missing folders and two empty tables; "*" marks a column that ignores case. The
    // file and its own folder are their owner's alone, whatever the maker's umask.
    void creates()
    {
        TestEnv env(false);
        const QString path = QDir(env.AppFolder()).filePath("new/folder/pwd.quillondata");
        const mode_t previousMask = ::umask(0);
        const auto [code, err] = runMaker({path});
        ::umask(previousMask);
        QVERIFY2(code == 0, qPrintable(err));
        QCOMPARE(mode(path), 0600);
        QCOMPARE(mode(QFileInfo(path).absolutePath()), 0700);

        SqlConnection db;
        db.Open(path, clsDB::DatabasePassword(), SqlConnection::Mode::ReadWrite);
        const QList<QStringList> tables{
            {"MY_FILE", "MY_FILE_ID", "MY_FILE_NM*", "MY_FILE_PATH_TX*", "NOTES_TX*"},
            {"PWD", "PASSWORD_ID", "TITLE_TX*", "USER_NM*", "PASSWORD_TX", "WEB_SITE_TX*",
             "NOTES_TX*"}};
        for (const QStringList& table : tables) {
            const QString info = "PRAGMA table_info(" + table[0] + ")";
            const QString sql =
                column(db, "SELECT sql FROM sqlite_master WHERE name = '" + table[0] + "'", "sql")
                    .value(0);
            QStringList columns;
            for (const QString& name : column(db, info, "name")) {
                const bool nocase =
                    QRegularExpression(name + R"(\s[^,)]*NOCASE)").match(sql).hasMatch();
                columns << name + (nocase ? "*" : "");
            }
            QCOMPARE(columns, table.mid(1));
            QCOMPARE(column(db, info, "pk").first(), QStringLiteral("1"));
            QCOMPARE(column(db, "SELECT count(*) AS N FROM " + table[0], "N"), QStringList{"0"});
        }
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no argument") << QStringList{};
        QTest::newRow("existing data file") << QStringList{"Database/pwd.quillondata"};
        QTest::newRow("existing other file") << QStringList{"blocker"};
        QTest::newRow("folder is a file") << QStringList{"blocker/pwd.quillondata"};
    }

    // Refused with a message; every file is left as it was and nothing new is left behind.
    void refused()
    {
        QFETCH(QStringList, args);
        TestEnv env;
        clsDB::shared().CloseConnection();
        const QDir dir(env.AppFolder());
        QFile blocker(dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("keep me") == 7);
        blocker.close();
        const QByteArray data = fileBytes(env.DataFilePath());
        for (QString& arg : args) {
            arg = dir.filePath(arg);
        }

        const auto [code, err] = runMaker(args);
        QVERIFY2(code > 0 && !err.trimmed().isEmpty(), qPrintable(err));
        if (!args.isEmpty() && QFileInfo(args.first()).isFile()) {
            QVERIFY2(err.contains(QDir::toNativeSeparators(args.first())) && err.contains("exists"),
                     qPrintable(err));
        }
        QCOMPARE(fileBytes(env.DataFilePath()), data);
        QCOMPARE(fileBytes(blocker.fileName()), QByteArray("keep me"));
        QCOMPARE(dir.entryList({"*.quillondata*"}), QStringList());
        QCOMPARE(QDir(dir.filePath("Database")).entryList(QDir::Files),
                 QStringList{"pwd.quillondata"});
    }
};

QTEST_MAIN(tst_Maker)
#include "tst_maker.moc"
