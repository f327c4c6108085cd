// Tests of the record classes clsPWD and clsMY_FILE against a real data file.
#include "TestEnv.h"
#include "app/modGeneral.h"
#include "crypto/clsBlowfish.h"
#include "data/clsDB.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QSet>
#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

QString Q(const QString& sText)
{
    return modGeneral::QuoteSQL(sText, u"NULL"_s);
}

QString addEntry(const QString& sTitle, const QString& sUser, const QString& sPassword,
                 const QString& sWeb = QString(), const QString& sNotes = QString())
{
    clsPWD entry;
    entry.TITLE_TX = sTitle;
    entry.USER_NM = sUser;
    entry.PASSWORD_TX = sPassword;
    entry.WEB_SITE_TX = sWeb;
    entry.NOTES_TX = sNotes;
    return entry.Save(true) ? entry.PASSWORD_ID : QString();
}

QString addFolder(const QString& sName, const QString& sPath, const QString& sNotes = QString())
{
    clsMY_FILE entry;
    entry.MY_FILE_NM = sName;
    entry.MY_FILE_PATH_TX = sPath;
    entry.NOTES_TX = sNotes;
    return entry.Save(true) ? entry.MY_FILE_ID : QString();
}

QStringList fields(const clsPWD& r)
{
    return {r.PASSWORD_ID, r.TITLE_TX, r.USER_NM, r.PASSWORD_TX, r.WEB_SITE_TX, r.NOTES_TX};
}

QStringList fields(const clsMY_FILE& r)
{
    return {r.MY_FILE_ID, r.MY_FILE_NM, r.MY_FILE_PATH_TX, r.NOTES_TX};
}

int count(const TestEnv& env, const QString& sTable, const QString& sWhere = u"1"_s)
{
    return env.RawScalar(u"SELECT count(*) FROM %1 WHERE %2"_s.arg(sTable, sWhere)).toInt();
}

// The stored cipher text, read through the program's own session.
QString storedText(const QString& sID)
{
    auto rs = clsDB::shared().Execute(u"SELECT PASSWORD_TX FROM PWD WHERE PASSWORD_ID = "_s + sID);
    return rs && !rs->EndOfRows() ? rs->Field(u"PASSWORD_TX"_s) : QString();
}

} // namespace

class tst_Records : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newIdentifier_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QList<int>>("existing");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("PWD empty") << "PWD" << QList<int>{} << 0 << "1";
        QTest::newRow("PWD after the master row") << "PWD" << QList<int>{1} << 0 << "2";
        QTest::newRow("PWD 1, 2, 7") << "PWD" << QList<int>{1, 2, 7} << 0 << "8";
        QTest::newRow("PWD highest deleted") << "PWD" << QList<int>{1, 2, 7} << 7 << "3";
        QTest::newRow("PWD middle deleted") << "PWD" << QList<int>{1, 2, 7} << 2 << "8";
        QTest::newRow("MY_FILE empty") << "MY_FILE" << QList<int>{} << 0 << "1";
        QTest::newRow("MY_FILE 1, 4") << "MY_FILE" << QList<int>{1, 4} << 0 << "5";
        QTest::newRow("MY_FILE highest deleted") << "MY_FILE" << QList<int>{1, 4} << 4 << "2";
    }

    void newIdentifier()
    {
        QFETCH(QString, table);
        QFETCH(QList<int>, existing);
        QFETCH(int, deleted);
        QFETCH(QString, expected);
        TestEnv env;
        const bool pwd = table == "PWD"_L1;
        for (int id : existing) {
            env.RawExecute(
                u"INSERT INTO %1 VALUES (%2, 'row', NULL, NULL%3)"_s.arg(table).arg(id).arg(
                    pwd ? ", NULL, NULL"_L1 : ""_L1));
        }
        if (deleted) {
            const QString id = QString::number(deleted);
            QVERIFY(pwd ? clsPWD().Delete(id) : clsMY_FILE().Delete(id));
        }
        QCOMPARE(pwd ? addEntry(u"new"_s, u"u"_s, u"p"_s) : addFolder(u"new"_s, u"/tmp"_s),
                 expected);
        QCOMPARE(
            count(env, table,
                  u"%1 = %2 AND %3 = 'new'"_s.arg(pwd ? "PASSWORD_ID"_L1 : "MY_FILE_ID"_L1,
                                                  expected, pwd ? "TITLE_TX"_L1 : "MY_FILE_NM"_L1)),
            1);
        QVERIFY(env.messages.isEmpty());
    }

    // Every column of both tables, inserted and then updated to a second value.
    void textRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty, stored as NULL") << QString();
        QTest::newRow("apostrophe") << u"Bob's bank"_s;
        QTest::newRow("folder path") << u"C:\\Bob's files\\"_s;
        QTest::newRow("apostrophes only") << u"'''"_s;
        QTest::newRow("statement text") << u"x'); DELETE FROM PWD; --"_s;
        QTest::newRow("NUL inside") << u"a"_s + QChar(0) + u"b"_s;
        QTest::newRow("NUL alone") << QString(QChar(0));
        QTest::newRow("NUL beside apostrophe") << u"'"_s + QChar(0) + u"'"_s;
        QTest::newRow("line breaks") << u"line 1\r\nline 2\n"_s;
        QTest::newRow("Unicode") << u"Zażółć 密码 🔑"_s;
    }

    void textRoundTrip()
    {
        QFETCH(QString, text);
        TestEnv env;
        addEntry(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
        const QString id = addEntry(text, text, text, text, text);
        clsPWD pwd;
        pwd.WEB_SITE_TX = u"old"_s;
        pwd.OpenRecord(id);
        QCOMPARE(fields(pwd), (QStringList{id, text, text, text, text, text}));
        const auto listed = clsPWD().OpenRecords();
        QVERIFY(listed && listed->size() == 1);
        QCOMPARE(fields(listed->first()), fields(pwd));
        clsMY_FILE folder;
        folder.MY_FILE_NM = folder.MY_FILE_PATH_TX = folder.NOTES_TX = text;
        QVERIFY(folder.Save(true));
        clsMY_FILE folderBack;
        folderBack.NOTES_TX = u"old"_s;
        folderBack.OpenRecord(folder.MY_FILE_ID);
        QCOMPARE(fields(folderBack), (QStringList{folder.MY_FILE_ID, text, text, text}));
        if (text.isEmpty()) {
            QCOMPARE(count(env, u"PWD"_s,
                           u"TITLE_TX IS NULL AND USER_NM IS NULL AND PASSWORD_TX IS NOT NULL AND "
                           "WEB_SITE_TX IS NULL AND NOTES_TX IS NULL"_s),
                     1);
            QCOMPARE(
                count(env, u"MY_FILE"_s,
                      u"MY_FILE_NM IS NULL AND MY_FILE_PATH_TX IS NULL AND NOTES_TX IS NULL"_s),
                1);
        }

        const QString twice = text + u"|"_s + text;
        pwd.TITLE_TX = pwd.USER_NM = pwd.PASSWORD_TX = pwd.WEB_SITE_TX = pwd.NOTES_TX = twice;
        QVERIFY(pwd.Save(false));
        clsPWD updated;
        updated.OpenRecord(id);
        QCOMPARE(fields(updated), (QStringList{id, twice, twice, twice, twice, twice}));
        folder.MY_FILE_NM = folder.MY_FILE_PATH_TX = folder.NOTES_TX = twice;
        QVERIFY(folder.Save(false));
        const auto folders = clsMY_FILE().OpenRecords();
        QVERIFY(folders && folders->size() == 1);
        QCOMPARE(fields(folders->first()), (QStringList{folder.MY_FILE_ID, twice, twice, twice}));
        QCOMPARE(count(env, u"PWD"_s), 2);
        QVERIFY(env.messages.isEmpty());
    }

    // The stored text has one character per cipher byte; every byte value must come back from
    // the data file as it went in, NUL and apostrophe included.
    void everyCipherByteSurvives()
    {
        TestEnv env;
        QByteArray bytes;
        for (int b = 0; b < 256; ++b) {
            bytes.append(char(b));
        }
        const QString every = Win1252::toUnicode(bytes);
        addEntry(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
        clsPWD pwd;
        pwd.OpenRecord(addEntry(u"all bytes"_s, u"u"_s, every));
        QCOMPARE(pwd.PASSWORD_TX, every);
        QSet<QChar> seen;
        for (int round = 0; round < 25; ++round) {
            QVERIFY(pwd.Save(false));
            const QString stored = storedText(pwd.PASSWORD_ID);
            QCOMPARE(stored.size(), 272);
            seen.unite(QSet<QChar>(stored.begin(), stored.end()));
            clsPWD back;
            back.OpenRecord(pwd.PASSWORD_ID);
            QCOMPARE(back.PASSWORD_TX, every);
        }
        QCOMPARE(seen.size(), 256);
        QVERIFY(env.messages.isEmpty());
    }

    void storedPassword_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("storedLength");
        QTest::newRow("4 characters") << u"abcd"_s << 16;
        QTest::newRow("5 characters") << u"abcde"_s << 24;
        QTest::newRow("empty") << QString() << 16;
        QTest::newRow("apostrophes") << u"'a'b'"_s << 24;
        QTest::newRow("Windows-1252") << u"€uro ñ"_s << 24;
        QTest::newRow("Cyrillic") << u"Пароль"_s << 32;
        QTest::newRow("Greek") << u"Κωδικός"_s << 32;
        QTest::newRow("Polish") << u"Zażółć gęślą jaźń"_s << 48;
        QTest::newRow("CJK") << u"密码测试"_s << 32;
        QTest::newRow("emoji") << u"🔑 key"_s << 24;
        QTest::newRow("marker look-alike") << u"ï»¿abc"_s << 24;
    }

    void storedPassword()
    {
        QFETCH(QString, password);
        QFETCH(int, storedLength);
        TestEnv env;
        addEntry(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
        const QString id = addEntry(u"entry"_s, u"u"_s, password);
        const QString first = storedText(id);
        QCOMPARE(first.size(), storedLength);
        clsPWD pwd;
        pwd.OpenRecord(id);
        QCOMPARE(pwd.PASSWORD_TX, password);
        // Saving without a change still writes a fresh cipher text.
        QVERIFY(pwd.Save(false));
        QCOMPARE(storedText(id).size(), storedLength);
        QVERIFY(storedText(id) != first);
        const auto listed = clsPWD().OpenRecords();
        QVERIFY(listed && listed->size() == 1);
        QCOMPARE(listed->first().PASSWORD_TX, password);
        QVERIFY(env.messages.isEmpty());
    }

    void listings()
    {
        TestEnv env;
        addEntry(u"KeyCask"_s, u"KeyCask"_s, u"master secret"_s);
        QCOMPARE(clsPWD().OpenRecords()->size(), 0);
        QCOMPARE(clsPWD().GetPasswords()->size(), 0);
        QCOMPARE(clsPWD().GetUserNames()->size(), 1);
        QCOMPARE(clsPWD().GetUserNames()->first().USER_NM, u"KeyCask"_s);

        addEntry(u"banana"_s, u"zed"_s, u"same"_s);
        addEntry(u"Apple"_s, u"amy"_s, u"pw-apple"_s);
        addEntry(u"cherry"_s, u"amy"_s, u"same"_s);
        addEntry(u"apricot"_s, QString(), u"pw-apricot"_s);
        QStringList titles, passwords, users;
        const auto records = clsPWD().OpenRecords();
        QVERIFY(records);
        for (const clsPWD& r : *records) {
            titles << r.TITLE_TX;
        }
        QCOMPARE(titles, (QStringList{"Apple", "apricot", "banana", "cherry"}));
        QCOMPARE(fields(records->at(2)), (QStringList{"2", "banana", "zed", "same", "", ""}));
        const auto passwordList = clsPWD().GetPasswords();
        QVERIFY(passwordList);
        for (const clsPWD& r : *passwordList) {
            passwords << r.PASSWORD_TX;
            QVERIFY(r.PASSWORD_ID.isEmpty() && r.TITLE_TX.isEmpty());
        }
        passwords.sort();
        QCOMPARE(passwords, (QStringList{"pw-apple", "pw-apricot", "same", "same"}));
        const auto userList = clsPWD().GetUserNames();
        QVERIFY(userList);
        for (const clsPWD& r : *userList) {
            users << r.USER_NM;
        }
        QCOMPARE(users, (QStringList{"", "amy", "KeyCask", "zed"}));
        QVERIFY(env.messages.isEmpty());
    }

    void unreadablePassword_data()
    {
        QTest::addColumn<QString>("planted");
        clsBlowfish other;
        QTest::newRow("NULL") << u"NULL"_s;
        QTest::newRow("empty") << u"''"_s;
        QTest::newRow("garbage") << u"'garbage'"_s;
        QTest::newRow("23 characters") << Q(QString(23, u'x'));
        QTest::newRow("another key") << Q(other.EncryptString(u"secret"_s, u"other"_s));
    }

    // One unreadable row must not hide the others: it is listed with an empty password and
    // reported once.
    void unreadablePassword()
    {
        QFETCH(QString, planted);
        TestEnv env;
        addEntry(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
        addEntry(u"Alpha"_s, u"a"_s, u"pw-alpha"_s);
        const QString broken = addEntry(u"Broken"_s, u"b"_s, u"x"_s);
        const QString busted = addEntry(u"Busted"_s, u"c"_s, u"y"_s);
        addEntry(u"Charlie"_s, u"d"_s, u"pw-charlie"_s);
        env.RawExecute(u"UPDATE PWD SET PASSWORD_TX = %1 WHERE PASSWORD_ID IN (%2, %3)"_s.arg(
            planted, broken, busted));

        const auto records = clsPWD().OpenRecords();
        QVERIFY(records && records->size() == 4);
        QCOMPARE(fields(records->at(0)), (QStringList{"2", "Alpha", "a", "pw-alpha", "", ""}));
        QCOMPARE(fields(records->at(1)), (QStringList{broken, "Broken", "b", "", "", ""}));
        QCOMPARE(fields(records->at(2)), (QStringList{busted, "Busted", "c", "", "", ""}));
        QCOMPARE(records->at(3).PASSWORD_TX, u"pw-charlie"_s);
        QCOMPARE(env.messages.size(), 1);
        QVERIFY2(env.messages[0].prompt.contains("Broken"_L1), qPrintable(env.messages[0].prompt));
        QCOMPARE(env.messages[0].flags, 0);
        QCOMPARE(env.messages[0].title, u"KeyCask"_s);

        QStringList passwords;
        const auto passwordList = clsPWD().GetPasswords();
        QVERIFY(passwordList);
        for (const clsPWD& r : *passwordList) {
            passwords << r.PASSWORD_TX;
        }
        passwords.sort();
        // The two planted values are equal, so DISTINCT lists them once.
        QCOMPARE(passwords, (QStringList{"", "pw-alpha", "pw-charlie"}));
        QCOMPARE(env.messages.size(), 2);
        clsPWD().OpenRecord(broken);
        QCOMPARE(env.messages.size(), 3);
        QCOMPARE(env.messages[2].flags, 0);
    }

    void openAndUpdate()
    {
        TestEnv env;
        addEntry(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
        const QString id = addEntry(u"A"_s, u"a"_s, u"1"_s);
        addEntry(u"B"_s, u"b"_s, u"2"_s);
        const QString fileId = addFolder(u"Docs"_s, u"/docs"_s);
        addFolder(u"Music"_s, u"/music"_s);

        // A missing row leaves the object as it was.
        clsPWD pwd;
        pwd.PASSWORD_ID = u"5"_s;
        pwd.TITLE_TX = pwd.PASSWORD_TX = u"kept"_s;
        pwd.OpenRecord(u"99"_s);
        QCOMPARE(fields(pwd), (QStringList{"5", "kept", "", "kept", "", ""}));
        clsMY_FILE folder;
        folder.NOTES_TX = u"kept"_s;
        folder.OpenRecord(u"99"_s);
        QCOMPARE(fields(folder), (QStringList{"", "", "", "kept"}));

        // An update rewrites its own row and never the identifier.
        pwd.OpenRecord(id);
        pwd.TITLE_TX = u"A2"_s;
        pwd.WEB_SITE_TX = u"https://a.example"_s;
        QVERIFY(pwd.Save(false));
        QCOMPARE(pwd.PASSWORD_ID, id);
        clsPWD back;
        back.OpenRecord(id);
        QCOMPARE(fields(back), (QStringList{id, "A2", "a", "1", "https://a.example", ""}));
        QCOMPARE(count(env, u"PWD"_s, u"PASSWORD_ID = 3 AND TITLE_TX = 'B'"_s), 1);
        QCOMPARE(count(env, u"PWD"_s), 3);
        folder.OpenRecord(fileId);
        folder.MY_FILE_PATH_TX = u"/documents"_s;
        QVERIFY(folder.Save(false));
        QCOMPARE(count(env, u"MY_FILE"_s, u"MY_FILE_ID = 1 AND MY_FILE_PATH_TX = '/documents'"_s),
                 1);
        QCOMPARE(count(env, u"MY_FILE"_s, u"MY_FILE_ID = 2 AND MY_FILE_PATH_TX = '/music'"_s), 1);
        QVERIFY(env.messages.isEmpty());
    }

    // Only decimal digits may stand unquoted in a statement; anything else is refused before
    // any SQL runs.
    void nonDigitIdentifier_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("empty") << QString();
        QTest::newRow("or clause") << u"1 OR 1=1"_s;
        QTest::newRow("second statement") << u"1; DELETE FROM PWD"_s;
        QTest::newRow("letters") << u"abc"_s;
        QTest::newRow("negative") << u"-1"_s;
        QTest::newRow("leading space") << u" 2"_s;
        QTest::newRow("full-width digit") << u"２"_s;
    }

    void nonDigitIdentifier()
    {
        QFETCH(QString, id);
        TestEnv env;
        addEntry(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
        addEntry(u"kept"_s, u"u"_s, u"p"_s);
        addFolder(u"kept"_s, u"/a"_s);
        addFolder(u"kept"_s, u"/b"_s);

        QVERIFY(!clsPWD().Delete(id));
        QVERIFY(!clsMY_FILE().Delete(id));
        clsPWD pwd;
        pwd.PASSWORD_ID = id;
        pwd.TITLE_TX = u"changed"_s;
        QVERIFY(!pwd.Save(false));
        clsMY_FILE folder;
        folder.MY_FILE_ID = id;
        folder.MY_FILE_NM = u"changed"_s;
        QVERIFY(!folder.Save(false));
        pwd.OpenRecord(id);
        QCOMPARE(fields(pwd), (QStringList{id, "changed", "", "", "", ""}));
        folder.OpenRecord(id);
        QCOMPARE(fields(folder), (QStringList{id, "changed", "", ""}));

        QCOMPARE(env.messages.size(), 6);
        for (const MsgBox::Call& call : std::as_const(env.messages)) {
            QCOMPARE(call.flags, 0);
        }
        QCOMPARE(count(env, u"PWD"_s, u"TITLE_TX = 'kept'"_s), 1);
        QCOMPARE(count(env, u"MY_FILE"_s, u"MY_FILE_NM = 'kept'"_s), 2);
        QCOMPARE(count(env, u"PWD"_s) + count(env, u"MY_FILE"_s), 4);
    }

    void failedWrite_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("operation");
        const char* names[] = {"PWD add",     "PWD update",     "PWD delete",
                               "MY_FILE add", "MY_FILE update", "MY_FILE delete"};
        for (bool readOnly : {true, false}) {
            for (int op = 0; op < 6; ++op) {
                QTest::addRow("%s: %s", readOnly ? "read-only" : "missing file", names[op])
                    << readOnly << op;
            }
        }
    }

    // A write that cannot reach the file is reported once and returns false.
    void failedWrite()
    {
        QFETCH(bool, readOnly);
        QFETCH(int, operation);
        TestEnv env;
        addEntry(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
        clsPWD pwd;
        pwd.OpenRecord(addEntry(u"Alpha"_s, u"a"_s, u"p"_s));
        clsMY_FILE folder;
        folder.OpenRecord(addFolder(u"Docs"_s, u"/docs"_s));
        pwd.TITLE_TX = folder.MY_FILE_NM = u"changed"_s;
        const std::function<bool()> operations[] = {
            [&] { return pwd.Save(true); },         [&] { return pwd.Save(false); },
            [] { return clsPWD().Delete(u"2"_s); }, [&] { return folder.Save(true); },
            [&] { return folder.Save(false); },     [] { return clsMY_FILE().Delete(u"1"_s); }};

        const QString missing = env.AppFolder() + u"/gone/pwd.quillondata"_s;
        if (readOnly) {
            env.ReopenReadOnly();
        } else {
            clsDB::shared().CloseConnection();
            clsDB::shared().Database = missing;
        }
        QVERIFY(!operations[operation]());
        QCOMPARE(env.messages.size(), 1);
        const MsgBox::Call call = env.messages.first();
        QCOMPARE(call.flags, 0);
        QCOMPARE(call.title, u"KeyCask"_s);
        QVERIFY(!call.prompt.isEmpty());
        if (readOnly) {
            QVERIFY2(call.prompt.contains("readonly"_L1), qPrintable(call.prompt));
        } else {
            QVERIFY(!QFile::exists(missing));
        }
        QCOMPARE(count(env, u"PWD"_s, u"PASSWORD_ID = 2 AND TITLE_TX = 'Alpha'"_s), 1);
        QCOMPARE(count(env, u"MY_FILE"_s, u"MY_FILE_ID = 1 AND MY_FILE_NM = 'Docs'"_s), 1);
        QCOMPARE(count(env, u"PWD"_s) + count(env, u"MY_FILE"_s), 3);
    }
};

QTEST_MAIN(tst_Records)
#include "tst_records.moc"
