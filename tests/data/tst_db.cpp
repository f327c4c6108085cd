// Tests of clsDB and its recordsets: opening, refused files and statements, fields, encryption.
#include "TestEnv.h"
#include "data/CsvImport.h"
#include "data/clsDB.h"
#include "data/modSchema.h"
#include "platform/AppError.h"
#include "platform/SqlConnection.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace {

QByteArray fileBytes(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A copy of the data file holding one more folder entry, renamed over the file as a sync tool
// does. With bSameLook the copy keeps the file's size and time of change: only its inode tells
// it apart.
void replaceDataFile(const QString& sPath, bool bSameLook)
{
    const QString copy = sPath + QStringLiteral(".synced");
    QVERIFY(QFile::copy(sPath, copy));
    if (!bSameLook) {
        SqlConnection other;
        other.Open(copy, clsDB::DatabasePassword(), SqlConnection::Mode::ReadWrite);
        other.Execute("INSERT INTO MY_FILE (MY_FILE_ID, MY_FILE_NM) VALUES (50, 'Synced')");
    } else {
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(sPath).constData(), &info), 0);
        const struct timespec times[2] = {info.st_atim, info.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(copy).constData(), times, 0), 0);
    }
    std::filesystem::rename(copy.toStdString(), sPath.toStdString());
}

} // namespace

class tst_DB : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A second open keeps the connection (its temporary table); after a close, Execute reopens.
    void openTwiceAndReopen()
    {
        TestEnv env;
        clsDB& db = clsDB::shared();
        db.Execute("CREATE TEMP TABLE SCRATCH (X)");
        QVERIFY(db.OpenConnection(true));
        QVERIFY(db.Execute("SELECT count(*) FROM SCRATCH"));
        db.CloseConnection();
        db.CloseConnection();
        QVERIFY(!db.IsOpen());

        QCOMPARE(db.Execute("SELECT count(*) AS N FROM PWD")->Field("N"), QStringLiteral("0"));
        QVERIFY(db.IsOpen());
        QVERIFY_THROWS_EXCEPTION(AppError, db.Execute("SELECT count(*) FROM SCRATCH"));
    }

    // Refused with an error; nothing is created or changed.
    void refusedFiles_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"missing", "wrong key", "garbage", "truncated", "empty",
                                 "without PWD", "without MY_FILE"}) {
            QTest::newRow(kind) << kind;
        }
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
        } else if (kind.startsWith("without ")) {
            // A data file in every other way: the key, and the other table with its rows.
            SqlConnection other;
            other.Open(path, clsDB::DatabasePassword(), SqlConnection::Mode::Create);
            for (const QString& statement : modSchema::CreateStatements()) {
                if (!statement.startsWith("CREATE TABLE " + kind.mid(8) + " (")) {
                    other.Execute(statement);
                }
            }
            other.Execute(kind == "without PWD" ? "INSERT INTO MY_FILE VALUES (1, 'n', 'p', NULL)"
                                                : "INSERT INTO PWD (PASSWORD_ID) VALUES (1)");
        } else if (kind != "missing") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(kind == "garbage"     ? QByteArray(8192, '\x5a')
                       : kind == "truncated" ? fileBytes(env.DataFilePath()).left(100)
                                             : QByteArray());
        }
        const QByteArray before = fileBytes(path);

        clsDB& db = clsDB::shared();
        db.CloseConnection();
        db.Database = path;
        try {
            db.OpenConnection(true);
            QFAIL("no error raised");
        } catch (const AppError& e) {
            if (kind.startsWith("without ")) {
                QVERIFY2(e.Description().endsWith(" " + kind.mid(8)), qPrintable(e.Description()));
            }
        }
        QVERIFY(!db.IsOpen());
        QVERIFY_THROWS_EXCEPTION(AppError, db.Execute("SELECT 1"));
        QCOMPARE(QFile::exists(path), kind != "missing");
        QCOMPARE(fileBytes(path), before);
    }

    void refusedStatements_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("fragment"); // "readonly": run in a read-only session
        const char* const rows[][3] = {
            {"syntax", "SELEC 1", "syntax error"},
            {"read-only", "DELETE FROM PWD", "readonly"},
            {"two statements", "INSERT INTO PWD (PASSWORD_ID) VALUES (2);DELETE FROM PWD", ""}};
        for (const auto& row : rows) {
            QTest::newRow(row[0]) << row[1] << row[2];
        }
    }

    // Raised with the database's message; nothing changes and the session goes on.
    void refusedStatements()
    {
        QFETCH(QString, sql);
        QFETCH(QString, fragment);
        TestEnv env;
        env.RawExecute("INSERT INTO PWD (PASSWORD_ID, TITLE_TX) VALUES (1, 'master')");
        if (fragment == "readonly") {
            env.ReopenReadOnly();
        }
        clsDB& db = clsDB::shared();
        try {
            db.Execute(sql);
            QFAIL("no error raised");
        } catch (const AppError& e) {
            QVERIFY2(e.Description().contains(fragment), qPrintable(e.Description()));
        }

        QCOMPARE(env.RawScalar("SELECT count(*) FROM PWD"), QStringLiteral("1"));
        QCOMPARE(db.Execute("SELECT TITLE_TX FROM PWD")->Field("TITLE_TX"),
                 QStringLiteral("master"));
    }

    void recordset()
    {
        TestEnv env;
        clsDB& db = clsDB::shared();
        // A trailing semicolon and white space are no second statement.
        db.Execute("INSERT INTO MY_FILE VALUES (1, 'One', NULL, 'n1'), (2, 'Two', '/p', ''); \n");

        auto rs = db.Execute("SELECT * FROM MY_FILE ORDER BY MY_FILE_ID");
        QVERIFY(rs && !rs->EndOfRows());
        QCOMPARE(rs->Field("My_File_Nm"), QStringLiteral("One"));
        QCOMPARE(rs->Field("MY_FILE_PATH_TX"), QString());
        QVERIFY(rs->IsNull("MY_FILE_PATH_TX"));
        QVERIFY(!rs->IsNull("NOTES_TX"));
        QVERIFY_THROWS_EXCEPTION(AppError, rs->Field("MY_FILE_NAME"));
        // Columns by position: the last one, and none past it or before the first.
        QCOMPARE(rs->FieldAt(0), QStringLiteral("1"));
        QCOMPARE(rs->FieldAt(3), QStringLiteral("n1"));
        for (int outside : {4, -1}) {
            try {
                rs->FieldAt(outside);
                QFAIL("no error raised");
            } catch (const AppError& e) {
                QCOMPARE(e.Number(), AppError::SubscriptOutOfRange);
            }
        }
        rs->MoveNext();
        QCOMPARE(rs->Field("MY_FILE_PATH_TX"), QStringLiteral("/p"));
        rs->MoveNext();
        QVERIFY(rs->EndOfRows());
        QVERIFY_THROWS_EXCEPTION(AppError, rs->Field("MY_FILE_NM"));

        // An aggregate over an empty table is NULL, read as empty text.
        QCOMPARE(db.Execute("SELECT Max(PASSWORD_ID) + 1 AS MAXID FROM PWD")->Field("MaxId"),
                 QString());
        QVERIFY(db.Execute("SELECT * FROM MY_FILE WHERE MY_FILE_ID = 99")->EndOfRows());
        QVERIFY(db.Execute("UPDATE MY_FILE SET NOTES_TX = NULL")->EndOfRows());
    }

    void cipherMajorVersion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("major");
        QTest::newRow("3.4.1") << "3.4.1" << 3;
        QTest::newRow("4.6.1 community") << "4.6.1 community" << 4;
        QTest::newRow("4.5.0") << "4.5.0" << 4;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("garbage") << "garbage" << 0;
        QTest::newRow("10.0.0") << "10.0.0" << 10;
    }

    // The library's version text; from 4 on, the session asks for the version 3 file format.
    void cipherMajorVersion()
    {
        QFETCH(QString, text);
        QFETCH(int, major);
        QCOMPARE(SqlConnection::CipherMajorVersion(text), major);
    }

    // A data file replaced underneath the session. A change that went into the replaced file
    // is reported as not saved and the new file is loaded, never taken as the session's own
    // without a reload: later changes land in it. Found before a change, or when the window
    // becomes active, the new file is loaded first, also when only its inode differs.
    void replacedDataFile_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<bool>("sameLook");
        QTest::newRow("during a transaction") << "transaction" << false;
        QTest::newRow("during an import") << "import" << false;
        QTest::newRow("before a change, same size and time") << "change" << true;
        QTest::newRow("while idle, same size and time") << "idle" << true;
    }

    void replacedDataFile()
    {
        QFETCH(QString, when);
        QFETCH(bool, sameLook);
        TestEnv env;
        clsDB& db = clsDB::shared();
        int reloads = 0;
        db.OnReloaded = [&reloads] { ++reloads; };
        db.Execute("INSERT INTO MY_FILE (MY_FILE_ID, MY_FILE_NM) VALUES (1, 'Before')");
        // A write that went into the replaced file raises the same refusal wherever it came from.
        const QString lost = QStringLiteral("The data file was replaced by another program while "
                                            "KeyCask was saving. Your change was not saved; "
                                            "KeyCask has reloaded the file.");
        std::optional<AppError> refused;
        const auto attempt = [&refused](const std::function<void()>& write) {
            try {
                write();
            } catch (const AppError& e) {
                refused = e;
            }
        };
        if (when == "transaction") {
            db.Execute("BEGIN");
            db.Execute("INSERT INTO MY_FILE (MY_FILE_ID, MY_FILE_NM) VALUES (2, 'Lost')");
            replaceDataFile(env.DataFilePath(), sameLook);
            attempt([&db] { db.Execute("COMMIT"); });
            QVERIFY2(refused, "no error raised");
            QCOMPARE(refused->Number(), AppError::ChangeRefused);
            QCOMPARE(refused->Description(), lost);
        } else if (when == "import") {
            // Applied in one transaction: nothing of it is applied, and the user is told.
            CsvImport import;
            import.LoadText("name,url,username,password\nMail,https://mail.example,ann,pw1\n"
                            "Shop,https://shop.example,bob,pw2\n");
            const auto replaceAtFirst = [&](int lDone) {
                if (lDone == 1) {
                    replaceDataFile(env.DataFilePath(), sameLook);
                }
                return true;
            };
            attempt([&] { import.Store(replaceAtFirst); });
            QVERIFY2(refused, "no error raised");
            QCOMPARE(refused->Description(), QStringLiteral("Nothing was imported: ") + lost);
            QCOMPARE(env.RawScalar("SELECT count(*) FROM PWD"), QStringLiteral("0"));
        } else {
            replaceDataFile(env.DataFilePath(), sameLook);
            if (when == "idle") {
                db.CheckForReplacement();
            }
        }
        QCOMPARE(reloads, when == "change" ? 0 : 1);
        db.Execute("INSERT INTO MY_FILE (MY_FILE_ID, MY_FILE_NM) VALUES (3, 'After')");
        QCOMPARE(reloads, 1);
        QCOMPARE(env.RawScalar("SELECT group_concat(MY_FILE_NM) FROM MY_FILE"),
                 sameLook ? QStringLiteral("Before,After") : QStringLiteral("Before,After,Synced"));
    }

    void encrypted()
    {
        TestEnv env;
        clsDB::shared().Execute("INSERT INTO PWD (PASSWORD_ID, TITLE_TX) VALUES (1, 'Findme')");
        clsDB::shared().CloseConnection();
        const QByteArray bytes = fileBytes(env.DataFilePath());
        QVERIFY(bytes.size() >= 1024);
        QVERIFY(!bytes.startsWith("SQLite format 3"));
        QVERIFY(!bytes.contains("Findme") && !bytes.contains("CREATE TABLE"));
    }
};

QTEST_MAIN(tst_DB)
#include "tst_db.moc"
