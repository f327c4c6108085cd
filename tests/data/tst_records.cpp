// Tests of the record classes clsPWD and clsMY_FILE against a real data file.
#include "TestEnv.h"
#include "app/modGeneral.h"
#include "crypto/clsBlowfish.h"
#include "data/clsDB.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "platform/Win1252.h"

#include <QSet>
#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

void addMaster()
{
    TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
}

QStringList fields(const clsPWD& r)
{
    return {r.PASSWORD_ID, r.TITLE_TX, r.USER_NM, r.PASSWORD_TX, r.WEB_SITE_TX, r.NOTES_TX};
}

QStringList fields(const clsMY_FILE& r)
{
    return {r.MY_FILE_ID, r.MY_FILE_NM, r.MY_FILE_PATH_TX, r.NOTES_TX};
}

// One property of every record of a listing.
template <typename R> QStringList column(const std::optional<QList<R>>& list, QString R::*member)
{
    QStringList out;
    for (const R& r : list.value_or(QList<R>())) {
        out << r.*member;
    }
    return out;
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
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QList<int>>("existing");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("PWD empty") << false << QList<int>{} << 0 << "1";
        QTest::newRow("PWD after the master row") << false << QList<int>{1} << 0 << "2";
        QTest::newRow("PWD 1, 2, 7") << false << QList<int>{1, 2, 7} << 0 << "8";
        QTest::newRow("PWD highest deleted") << false << QList<int>{1, 2, 7} << 7 << "3";
        QTest::newRow("MY_FILE empty") << true << QList<int>{} << 0 << "1";
        QTest::newRow("MY_FILE 1, 4") << true << QList<int>{1, 4} << 0 << "5";
        QTest::newRow("MY_FILE highest deleted") << true << QList<int>{1, 4} << 4 << "2";
    }

    void newIdentifier()
    {
        QFETCH(bool, folder);
        QFETCH(QList<int>, existing);
        QFETCH(int, deleted);
        QFETCH(QString, expected);
        TestEnv env;
        for (int id : existing) {
            env.RawExecute(
                folder ? u"INSERT INTO MY_FILE VALUES (%1, 'row', NULL, NULL)"_s.arg(id)
                       : u"INSERT INTO PWD VALUES (%1, 'row', NULL, NULL, NULL, NULL)"_s.arg(id));
        }
        if (deleted) {
            const QString id = QString::number(deleted);
            QVERIFY(folder ? clsMY_FILE().Delete(id) : clsPWD().Delete(id));
        }
        QCOMPARE(folder ? TestEnv::AddFolder(u"new"_s, u"/tmp"_s)
                        : TestEnv::AddPassword(u"new"_s, u"u"_s, u"p"_s),
                 expected);
        QVERIFY(env.messages.isEmpty());
    }

    // Every column of both tables, inserted and then updated.
    void textRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty, stored as NULL") << QString();
        QTest::newRow("apostrophes") << u"Bob's '' x'); DELETE FROM PWD; --"_s;
        QTest::newRow("NUL and apostrophes") << u"\0a'\0'b\0"_s;
        QTest::newRow("line breaks and Unicode") << u"line 1\r\nZażółć 密码 🔑\n"_s;
    }

    void textRoundTrip()
    {
        QFETCH(QString, text);
        TestEnv env;
        addMaster();
        TestEnv::AddFolder(u"other"_s, u"/other"_s);
        clsPWD pwd;
        clsMY_FILE folder;
        for (const QString& value : {text, text + u"|"_s + text}) {
            const bool add = pwd.PASSWORD_ID.isEmpty();
            pwd.TITLE_TX = pwd.USER_NM = pwd.PASSWORD_TX = pwd.WEB_SITE_TX = pwd.NOTES_TX = value;
            folder.MY_FILE_NM = folder.MY_FILE_PATH_TX = folder.NOTES_TX = value;
            QVERIFY(pwd.Save(add));
            QVERIFY(folder.Save(add));
            clsPWD pwdBack;
            pwdBack.WEB_SITE_TX = u"old"_s;
            pwdBack.OpenRecord(pwd.PASSWORD_ID);
            QCOMPARE(fields(pwdBack), fields(pwd));
            const auto listed = clsPWD().OpenRecords();
            QVERIFY(listed && listed->size() == 1);
            QCOMPARE(fields(listed->first()), fields(pwd));
            clsMY_FILE folderBack;
            folderBack.NOTES_TX = u"old"_s;
            folderBack.OpenRecord(folder.MY_FILE_ID);
            QCOMPARE(fields(folderBack), fields(folder));
            // Empty text is stored as NULL in both tables.
            QCOMPARE(env.RawScalar(u"SELECT (SELECT count(*) FROM PWD WHERE coalesce(TITLE_TX, "
                                   "USER_NM, WEB_SITE_TX, NOTES_TX) IS NULL AND PASSWORD_TX NOT "
                                   "NULL) + (SELECT count(*) FROM MY_FILE WHERE coalesce("
                                   "MY_FILE_NM, MY_FILE_PATH_TX, NOTES_TX) IS NULL)"_s),
                     value.isEmpty() ? u"2"_s : u"0"_s);
        }
        // A missing row leaves the object as it was.
        clsPWD pwdKept = pwd;
        pwdKept.OpenRecord(u"99"_s);
        QCOMPARE(fields(pwdKept), fields(pwd));
        clsMY_FILE folderKept = folder;
        folderKept.OpenRecord(u"99"_s);
        QCOMPARE(fields(folderKept), fields(folder));
        // Updates leave the other rows alone.
        QCOMPARE(env.RawScalar(u"SELECT (SELECT TITLE_TX FROM PWD WHERE PASSWORD_ID = 1) || "
                               "(SELECT MY_FILE_NM FROM MY_FILE WHERE MY_FILE_ID = 1) || "
                               "(SELECT count(*) FROM PWD) || (SELECT count(*) FROM MY_FILE)"_s),
                 u"KeyCaskother22"_s);
        QVERIFY(env.messages.isEmpty());
    }

    void storedPassword_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("storedLength");
        QByteArray bytes;
        for (int b = 0; b < 256; ++b) {
            bytes.append(char(b));
        }
        QTest::newRow("empty") << QString() << 16;
        QTest::newRow("4 characters") << u"abcd"_s << 16;
        QTest::newRow("5 characters") << u"abcde"_s << 24;
        QTest::newRow("Windows-1252") << u"€uro ñ"_s << 24;
        QTest::newRow("every byte value") << Win1252::toUnicode(bytes) << 272;
        QTest::newRow("Cyrillic") << u"Пароль"_s << 32;
        QTest::newRow("emoji") << u"🔑 key"_s << 24;
        QTest::newRow("marker look-alike") << u"ï»¿abc"_s << 24;
    }

    // Every save, also an unchanged one, stores a fresh cipher text that reads back the same.
    void storedPassword()
    {
        QFETCH(QString, password);
        QFETCH(int, storedLength);
        TestEnv env;
        addMaster();
        const QString id = TestEnv::AddPassword(u"entry"_s, u"u"_s, password);
        QString previous = storedText(id);
        QCOMPARE(previous.size(), storedLength);
        QSet<QChar> seen(previous.begin(), previous.end());
        for (int round = 0; round < 25; ++round) {
            clsPWD pwd;
            pwd.OpenRecord(id);
            QCOMPARE(pwd.PASSWORD_TX, password);
            QVERIFY(pwd.Save(false));
            const QString stored = storedText(id);
            QCOMPARE(stored.size(), storedLength);
            QVERIFY(stored != previous);
            seen.unite(QSet<QChar>(stored.begin(), stored.end()));
            previous = stored;
        }
        // The stored text has one character per cipher byte; all 256 must survive the file.
        if (storedLength == 272) {
            QCOMPARE(seen.size(), 256);
        }
        QVERIFY(env.messages.isEmpty());
    }

    void listings()
    {
        TestEnv env;
        TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, u"master secret"_s);
        TestEnv::AddPassword(u"banana"_s, u"zed"_s, u"same"_s);
        TestEnv::AddPassword(u"Apple"_s, u"amy"_s, u"pw-apple"_s);
        TestEnv::AddPassword(u"cherry"_s, u"amy"_s, u"same"_s);
        TestEnv::AddPassword(u"apricot"_s, QString(), u"pw-apricot"_s);
        QCOMPARE(column(clsPWD().OpenRecords(), &clsPWD::TITLE_TX),
                 (QStringList{"Apple", "apricot", "banana", "cherry"}));
        QStringList passwords = column(clsPWD().GetPasswords(), &clsPWD::PASSWORD_TX);
        passwords.sort();
        QCOMPARE(passwords, (QStringList{"pw-apple", "pw-apricot", "same", "same"}));
        QCOMPARE(column(clsPWD().GetUserNames(), &clsPWD::USER_NM),
                 (QStringList{"", "amy", "KeyCask", "zed"}));
        QVERIFY(env.messages.isEmpty());
    }

    void unreadablePassword_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::newRow("NULL") << u"NULL"_s;
        QTest::newRow("partial block") << u"'%1'"_s.arg(QString(23, u'x'));
        QTest::newRow("another key") << modGeneral::QuoteSQL(
            clsBlowfish().EncryptString(u"secret"_s, u"other"_s), u"NULL"_s);
    }

    // Unreadable rows are listed with an empty password and reported once.
    void unreadablePassword()
    {
        QFETCH(QString, planted);
        TestEnv env;
        addMaster();
        TestEnv::AddPassword(u"Alpha"_s, u"a"_s, u"pw-alpha"_s);
        const QString broken = TestEnv::AddPassword(u"Broken"_s, u"b"_s, u"x"_s, u"site"_s);
        const QString busted = TestEnv::AddPassword(u"Busted"_s, u"c"_s, u"y"_s);
        TestEnv::AddPassword(u"Charlie"_s, u"d"_s, u"pw-charlie"_s);
        env.RawExecute(u"UPDATE PWD SET PASSWORD_TX = %1 WHERE PASSWORD_ID IN (%2, %3)"_s.arg(
            planted, broken, busted));

        const auto records = clsPWD().OpenRecords();
        QCOMPARE(column(records, &clsPWD::TITLE_TX),
                 (QStringList{"Alpha", "Broken", "Busted", "Charlie"}));
        QCOMPARE(column(records, &clsPWD::PASSWORD_TX),
                 (QStringList{"pw-alpha", "", "", "pw-charlie"}));
        QCOMPARE(column(records, &clsPWD::WEB_SITE_TX), (QStringList{"", "site", "", ""}));
        QCOMPARE(env.messages.size(), 1);
        QVERIFY2(env.messages[0].prompt.contains("Broken"_L1), qPrintable(env.messages[0].prompt));
        QCOMPARE(env.messages[0].flags, 0);

        QStringList passwords = column(clsPWD().GetPasswords(), &clsPWD::PASSWORD_TX);
        passwords.sort();
        // The two planted values are equal, so DISTINCT lists them once.
        QCOMPARE(passwords, (QStringList{"", "pw-alpha", "pw-charlie"}));
        QCOMPARE(env.messages.size(), 2);
        clsPWD().OpenRecord(broken);
        QCOMPARE(env.messages.size(), 3);
    }

    // Identifiers other than decimal digits run no SQL; a read-only session refuses writes.
    void refused_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("operation");
        const char* names[] = {"PWD add",     "PWD update",     "PWD delete",     "PWD open",
                               "MY_FILE add", "MY_FILE update", "MY_FILE delete", "MY_FILE open"};
        for (int op = 0; op < 8; ++op) {
            if (op % 4 != 3) {
                QTest::addRow("read-only, %s", names[op]) << true << u"2"_s << op;
            }
            for (const QString& id : {QString(), u"1 OR 1=1"_s, u"-1"_s, u" 2"_s}) {
                if (op % 4 != 0) {
                    QTest::addRow("%s \"%s\"", names[op], qPrintable(id)) << false << id << op;
                }
            }
        }
    }

    void refused()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, id);
        QFETCH(int, operation);
        TestEnv env;
        addMaster();
        TestEnv::AddPassword(u"kept"_s, u"u"_s, u"p"_s);
        TestEnv::AddFolder(u"kept"_s, u"/a"_s);
        TestEnv::AddFolder(u"kept"_s, u"/b"_s);
        clsPWD pwd;
        clsMY_FILE folder;
        pwd.PASSWORD_ID = folder.MY_FILE_ID = id;
        pwd.TITLE_TX = folder.MY_FILE_NM = u"changed"_s;
        // Each gives true when it succeeded; an opened record succeeded when it changed.
        const auto open = [&](auto& record) {
            const QStringList before = fields(record);
            record.OpenRecord(id);
            return fields(record) != before;
        };
        const std::function<bool()> operations[] = {
            [&] { return pwd.Save(true); },          [&] { return pwd.Save(false); },
            [&] { return clsPWD().Delete(id); },     [&] { return open(pwd); },
            [&] { return folder.Save(true); },       [&] { return folder.Save(false); },
            [&] { return clsMY_FILE().Delete(id); }, [&] { return open(folder); }};
        if (readOnly) {
            env.ReopenReadOnly();
        }
        QVERIFY(!operations[operation]());
        QCOMPARE(env.messages.size(), 1);
        const QString shown = env.messages[0].prompt;
        QVERIFY2(shown.contains(readOnly ? u"readonly"_s : u'"' + id + u'"'), qPrintable(shown));
        QCOMPARE(env.RawScalar(u"SELECT (SELECT group_concat(TITLE_TX) FROM PWD) || ' / ' || "
                               "(SELECT group_concat(MY_FILE_PATH_TX) FROM MY_FILE)"_s),
                 u"KeyCask,kept / /a,/b"_s);
    }
};

QTEST_MAIN(tst_Records)
#include "tst_records.moc"
