// Tests of clsDB and its recordsets: opening, refused files and statements, fields, encryption.
#include "TestEnv.h"
#include "data/clsDB.h"
#include "platform/AppError.h"
#include "platform/SqlConnection.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray fileBytes(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& sPath, const QByteArray& bytes)
{
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The error that a call raises; number 0 when it raises none.
template <typename Call> AppError errorOf(Call&& call)
{
    try {
        call();
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, QStringLiteral("no error"));
}

} // namespace

class tst_DB : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A second open keeps the connection: a temporary table, private to it, is still there.
    void openTwice()
    {
        TestEnv env;
        clsDB& db = clsDB::shared();
        QVERIFY(db.OpenConnection(true));
        db.Execute("CREATE TEMP TABLE SCRATCH (X)");
        QVERIFY(db.OpenConnection(true));
        QVERIFY(db.Execute("SELECT count(*) FROM SCRATCH"));
    }

    void executeReopens()
    {
        TestEnv env;
        clsDB& db = clsDB::shared();
        db.Execute("CREATE TEMP TABLE SCRATCH (X)");
        db.CloseConnection();
        QVERIFY(!db.IsOpen());
        db.CloseConnection();

        auto rs = db.Execute("SELECT count(*) AS N FROM PWD");
        QVERIFY(rs);
        QCOMPARE(rs->Field("N"), QStringLiteral("0"));
        QVERIFY(db.IsOpen());
        // A fresh connection: the temporary table went with the old one.
        QVERIFY(errorOf([&] { db.Execute("SELECT count(*) FROM SCRATCH"); }).Number() != 0);
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("wrong key") << "wrong key";
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("empty") << "empty";
    }

    void refusedFiles()
    {
        QFETCH(QString, kind);
        TestEnv env;
        const QString path = QDir(env.AppFolder()).filePath("other.quillondata");
        if (kind == "wrong key") {
            SqlConnection other;
            other.Open(path, "other", SqlConnection::Mode::Create);
            other.Execute("CREATE TABLE PWD (PASSWORD_ID INTEGER PRIMARY KEY)");
        } else if (kind == "garbage") {
            QByteArray bytes(8192, '\0');
            QRandomGenerator gen(2917);
            for (char& c : bytes) {
                c = char(gen.bounded(256));
            }
            writeBytes(path, bytes);
        } else if (kind == "empty") {
            writeBytes(path, QByteArray());
        } else if (kind == "truncated") {
            writeBytes(path, fileBytes(env.DataFilePath()).left(100));
        }
        const QByteArray before = fileBytes(path);

        clsDB& db = clsDB::shared();
        db.CloseConnection();
        db.Database = path;
        const AppError error = errorOf([&] { db.OpenConnection(true); });
        QVERIFY2(error.Number() != 0, "no error raised");
        QVERIFY(!error.Description().isEmpty());
        QVERIFY(!db.IsOpen());
        QVERIFY(errorOf([&] { db.Execute("SELECT 1"); }).Number() != 0);

        QCOMPARE(QFile::exists(path), kind != "missing");
        QCOMPARE(fileBytes(path), before);
    }

    void refusedStatements_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("syntax") << "SELEC 1" << false << "syntax error";
        QTest::newRow("unknown table") << "SELECT * FROM NOPE" << false << "no such table";
        QTest::newRow("duplicate key")
            << "INSERT INTO PWD (PASSWORD_ID, TITLE_TX) VALUES (1, 'x')" << false << "UNIQUE";
        QTest::newRow("read-only insert")
            << "INSERT INTO PWD (PASSWORD_ID) VALUES (2)" << true << "readonly";
        QTest::newRow("read-only delete") << "DELETE FROM PWD" << true << "readonly";
        QTest::newRow("select, delete") << "SELECT 1; DELETE FROM PWD" << false << "";
        QTest::newRow("delete, delete")
            << "DELETE FROM PWD WHERE PASSWORD_ID = 9; DELETE FROM PWD" << false << "";
        QTest::newRow("insert, delete")
            << "INSERT INTO PWD (PASSWORD_ID) VALUES (2);DELETE FROM PWD" << false << "";
    }

    // The statement raises with the database's message, changes nothing, and the session goes on.
    void refusedStatements()
    {
        QFETCH(QString, sql);
        QFETCH(bool, readOnly);
        QFETCH(QString, fragment);
        TestEnv env;
        env.RawExecute("INSERT INTO PWD (PASSWORD_ID, TITLE_TX) VALUES (1, 'master')");
        if (readOnly) {
            env.ReopenReadOnly();
        }
        clsDB& db = clsDB::shared();
        const AppError error = errorOf([&] { db.Execute(sql); });
        QVERIFY2(error.Number() != 0, "no error raised");
        QVERIFY2(error.Description().contains(fragment), qPrintable(error.Description()));

        QCOMPARE(env.RawScalar("SELECT count(*) FROM PWD"), QStringLiteral("1"));
        auto rs = db.Execute("SELECT TITLE_TX FROM PWD");
        QVERIFY(rs && !rs->EndOfRows());
        QCOMPARE(rs->Field("TITLE_TX"), QStringLiteral("master"));
    }

    void trailingSemicolonAccepted()
    {
        TestEnv env;
        clsDB::shared().Execute("INSERT INTO PWD (PASSWORD_ID) VALUES (1); \n");
        QCOMPARE(env.RawScalar("SELECT count(*) FROM PWD"), QStringLiteral("1"));
    }

    void recordset()
    {
        TestEnv env;
        env.RawExecute("INSERT INTO MY_FILE VALUES (1, 'One', NULL, 'n1'), (2, 'Two', '/p', '')");
        clsDB& db = clsDB::shared();

        auto rs = db.Execute("SELECT MY_FILE_ID, MY_FILE_NM, MY_FILE_PATH_TX, NOTES_TX "
                             "FROM MY_FILE ORDER BY MY_FILE_ID");
        QVERIFY(rs && !rs->EndOfRows());
        QCOMPARE(rs->Field("MY_FILE_ID"), QStringLiteral("1"));
        QCOMPARE(rs->Field("my_file_nm"), QStringLiteral("One"));
        QCOMPARE(rs->Field("My_File_Nm"), QStringLiteral("One"));
        QCOMPARE(rs->Field("MY_FILE_PATH_TX"), QString());
        QVERIFY(rs->IsNull("MY_FILE_PATH_TX"));
        QCOMPARE(rs->Field("NOTES_TX"), QStringLiteral("n1"));
        QVERIFY(errorOf([&] { rs->Field("MY_FILE_NAME"); }).Number() != 0);

        rs->MoveNext();
        QVERIFY(!rs->EndOfRows());
        QCOMPARE(rs->Field("MY_FILE_NM"), QStringLiteral("Two"));
        QCOMPARE(rs->Field("MY_FILE_PATH_TX"), QStringLiteral("/p"));
        rs->MoveNext();
        QVERIFY(rs->EndOfRows());
        QVERIFY(errorOf([&] { rs->Field("MY_FILE_NM"); }).Number() != 0);

        // An aggregate over an empty table is NULL, read as empty text.
        auto max = db.Execute("SELECT Max(PASSWORD_ID) + 1 AS MAXID FROM PWD");
        QVERIFY(max && !max->EndOfRows());
        QCOMPARE(max->Field("MaxId"), QString());

        auto none = db.Execute("SELECT * FROM MY_FILE WHERE MY_FILE_ID = 99");
        QVERIFY(none && none->EndOfRows());
        auto update = db.Execute("UPDATE MY_FILE SET NOTES_TX = NULL");
        QVERIFY(update && update->EndOfRows());
    }

    void encrypted()
    {
        TestEnv env;
        clsDB::shared().Execute("INSERT INTO PWD (PASSWORD_ID, TITLE_TX) VALUES (1, 'Findme')");
        clsDB::shared().CloseConnection();
        const QByteArray bytes = fileBytes(env.DataFilePath());
        QVERIFY(bytes.size() >= 1024);
        QVERIFY(!bytes.startsWith("SQLite format 3"));
        QVERIFY(!bytes.contains("Findme"));
        QVERIFY(!bytes.contains("CREATE TABLE"));

        SqlConnection plain;
        QVERIFY(errorOf([&] {
                    plain.Open(env.DataFilePath(), "", SqlConnection::Mode::ReadOnly);
                }).Number() != 0);
        QVERIFY(!plain.IsOpen());
    }
};

QTEST_MAIN(tst_DB)
#include "tst_db.moc"
