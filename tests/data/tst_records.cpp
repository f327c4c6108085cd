// Tests of the record classes clsPWD and clsMY_FILE against a real data file.
#include "TestEnv.h"
#include "app/modGeneral.h"
#include "crypto/clsBlowfish.h"
#include "crypto/modFieldEncryption.h"
#include "data/clsDB.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "platform/BusyCursor.h"
#include "platform/TextCollation.h"
#include "platform/Win1252.h"

#include <QCursor>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLocale>
#include <QSet>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <functional>
#include <future>
#include <sqlite3.h>
#include <thread>

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

// The type and the stored bytes of one column of one row, as "text:<hex>", read apart from the
// program's own reading of texts.
QString storedBytes(const TestEnv& env, const QString& sTable, const QString& sColumn,
                    const QString& sID)
{
    const QString key = sTable == u"PWD"_s ? u"PASSWORD_ID"_s : u"MY_FILE_ID"_s;
    return env.RawScalar(
        u"SELECT typeof(%2) || ':' || hex(CAST(%2 AS BLOB)) FROM %1 WHERE %3 = %4"_s.arg(
            sTable, sColumn, key, sID));
}

QString textBytes(const QString& sText)
{
    return u"text:"_s + QString::fromLatin1(sText.toUtf8().toHex().toUpper());
}

// A text of the given length built from a pattern, with NUL at evenly spread places.
QString withNuls(qsizetype lLength, qsizetype lNuls, const QString& sPattern)
{
    QString text;
    text.reserve(lLength);
    while (text.size() < lLength) {
        text += sPattern;
    }
    text.truncate(lLength);
    const qsizetype step = lLength / lNuls;
    for (qsizetype i = 0; i < lNuls; ++i) {
        text[i * step] = QChar(u'\0');
    }
    return text;
}

// Another program's connection to the data file, holding its write lock until released.
class OtherWriter
{
public:
    explicit OtherWriter(const QString& sPath)
    {
        const QByteArray key = clsDB::DatabasePassword().toUtf8();
        m_locked = sqlite3_open_v2(sPath.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE,
                                   nullptr) == SQLITE_OK &&
                   sqlite3_key(m_db, key.constData(), int(key.size())) == SQLITE_OK &&
                   sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~OtherWriter() { Release(); }
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;

    bool Locked() const { return m_locked; }
    void Release()
    {
        if (m_db) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(m_db);
            m_db = nullptr;
        }
        m_locked = false;
    }

private:
    sqlite3* m_db = nullptr;
    bool m_locked = false;
};

// The default locale for the length of a test.
struct DefaultLocale
{
    QLocale previous;
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(previous); }
};

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
        QTest::newRow("leading U+FEFF") << u"\uFEFF\uFEFFtwo marks ahead"_s;
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

    void everyColumnApart_data()
    {
        QTest::addColumn<bool>("update");
        QTest::newRow("insert") << false;
        QTest::newRow("update") << true;
    }

    // A different value in every column, so that a value written to or read from another
    // column shows; the stored bytes are checked apart from the program's own reading.
    void everyColumnApart()
    {
        QFETCH(bool, update);
        TestEnv env;
        addMaster();
        TestEnv::AddFolder(u"Other folder"_s, u"/other/path"_s, u"other folder notes"_s);
        clsPWD pwd;
        pwd.TITLE_TX = u"Title one"_s;
        pwd.USER_NM = u"user.one"_s;
        pwd.PASSWORD_TX = u"secret-one"_s;
        pwd.WEB_SITE_TX = u"https://one.example/"_s;
        pwd.NOTES_TX = u"notes of one"_s;
        clsMY_FILE folder;
        folder.MY_FILE_NM = u"Folder one"_s;
        folder.MY_FILE_PATH_TX = u"/data/folder-one"_s;
        folder.NOTES_TX = u"folder notes one"_s;
        QVERIFY(pwd.Save(true));
        QVERIFY(folder.Save(true));
        const QString pwdID = pwd.PASSWORD_ID;
        const QString folderID = folder.MY_FILE_ID;
        if (update) {
            pwd.TITLE_TX = u"Title two"_s;
            pwd.USER_NM = u"user.two"_s;
            pwd.PASSWORD_TX = u"secret-two"_s;
            pwd.WEB_SITE_TX = u"https://two.example/"_s;
            pwd.NOTES_TX = u"notes of two"_s;
            folder.MY_FILE_NM = u"Folder two"_s;
            folder.MY_FILE_PATH_TX = u"/data/folder-two"_s;
            folder.NOTES_TX = u"folder notes two"_s;
            QVERIFY(pwd.Save(false));
            QVERIFY(folder.Save(false));
        }
        QCOMPARE(pwd.PASSWORD_ID, u"2"_s);
        QCOMPARE(folder.MY_FILE_ID, u"2"_s);

        const QList<std::pair<QString, QString>> pwdColumns{{u"TITLE_TX"_s, pwd.TITLE_TX},
                                                            {u"USER_NM"_s, pwd.USER_NM},
                                                            {u"WEB_SITE_TX"_s, pwd.WEB_SITE_TX},
                                                            {u"NOTES_TX"_s, pwd.NOTES_TX}};
        for (const auto& [name, value] : pwdColumns) {
            QCOMPARE(storedBytes(env, u"PWD"_s, name, pwdID), textBytes(value));
        }
        QCOMPARE(modFieldEncryption::DecryptField(
                     env.RawScalar(u"SELECT PASSWORD_TX FROM PWD WHERE PASSWORD_ID = "_s + pwdID)),
                 pwd.PASSWORD_TX);
        const QList<std::pair<QString, QString>> folderColumns{
            {u"MY_FILE_NM"_s, folder.MY_FILE_NM},
            {u"MY_FILE_PATH_TX"_s, folder.MY_FILE_PATH_TX},
            {u"NOTES_TX"_s, folder.NOTES_TX}};
        for (const auto& [name, value] : folderColumns) {
            QCOMPARE(storedBytes(env, u"MY_FILE"_s, name, folderID), textBytes(value));
        }

        clsPWD pwdBack;
        pwdBack.OpenRecord(pwdID);
        QCOMPARE(fields(pwdBack), fields(pwd));
        const auto pwdListed = clsPWD().OpenRecords();
        QVERIFY(pwdListed && pwdListed->size() == 1);
        QCOMPARE(fields(pwdListed->first()), fields(pwd));
        clsMY_FILE folderBack;
        folderBack.OpenRecord(folderID);
        QCOMPARE(fields(folderBack), fields(folder));
        const auto folderListed = clsMY_FILE().OpenRecords();
        QVERIFY(folderListed && folderListed->size() == 2);
        QCOMPARE(fields(folderListed->first()), fields(folder));
        // The rows saved before are untouched.
        QCOMPARE(env.RawScalar(u"SELECT (SELECT TITLE_TX || USER_NM FROM PWD WHERE "
                               "PASSWORD_ID = 1) || '|' || (SELECT MY_FILE_NM || MY_FILE_PATH_TX "
                               "|| NOTES_TX FROM MY_FILE WHERE MY_FILE_ID = 1)"_s),
                 u"KeyCaskKeyCask|Other folder/other/pathother folder notes"_s);
        QVERIFY(env.messages.isEmpty());
    }

    // Texts with many NULs in every text column of both tables, 100 KB of notes with 5,000 NULs
    // among them, inserted and updated.
    void manyNuls()
    {
        TestEnv env;
        addMaster();
        clsPWD pwd;
        clsMY_FILE folder;
        for (const QString& variant : {u"first"_s, u"second"_s}) {
            const bool add = pwd.PASSWORD_ID.isEmpty();
            pwd.TITLE_TX = withNuls(1000, 500, u"T'é "_s + variant);
            pwd.USER_NM = withNuls(800, 400, u"user "_s + variant);
            pwd.PASSWORD_TX = u"pw "_s + variant;
            pwd.WEB_SITE_TX = withNuls(900, 450, u"https://x.example/"_s + variant);
            pwd.NOTES_TX = withNuls(100 * 1024, 5000, u"It's ü 日 notes "_s + variant);
            folder.MY_FILE_NM = withNuls(1100, 550, u"Name "_s + variant);
            folder.MY_FILE_PATH_TX = withNuls(700, 350, u"/p'th/"_s + variant);
            folder.NOTES_TX = withNuls(100 * 1024, 5000, u"Folder's ñ 密 "_s + variant);
            QCOMPARE(pwd.NOTES_TX.count(QChar(u'\0')), 5000);
            QVERIFY(pwd.Save(add));
            QVERIFY(folder.Save(add));
            QCOMPARE(env.messages.size(), 0);

            clsPWD pwdBack;
            pwdBack.OpenRecord(pwd.PASSWORD_ID);
            QCOMPARE(fields(pwdBack), fields(pwd));
            clsMY_FILE folderBack;
            folderBack.OpenRecord(folder.MY_FILE_ID);
            QCOMPARE(fields(folderBack), fields(folder));
            QCOMPARE(storedBytes(env, u"PWD"_s, u"NOTES_TX"_s, pwd.PASSWORD_ID),
                     textBytes(pwd.NOTES_TX));
            QCOMPARE(storedBytes(env, u"MY_FILE"_s, u"MY_FILE_PATH_TX"_s, folder.MY_FILE_ID),
                     textBytes(folder.MY_FILE_PATH_TX));
        }
        QCOMPARE(env.RawScalar(u"SELECT (SELECT count(*) FROM PWD) || (SELECT count(*) FROM "
                               "MY_FILE)"_s),
                 u"21"_s);
    }

    void textOrder_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("noCaseIndex");
        QTest::addColumn<QStringList>("expected");
        const QStringList english{"apple", "Ärzte", "Banana", "éclair", "Zulu", "Ωmega"};
        QTest::newRow("plain C, sorted as English") << "C" << false << english;
        QTest::newRow("English") << "en_US" << false << english;
        QTest::newRow("German") << "de_DE" << false << english;
        QTest::newRow("Swedish") << "sv_SE" << false << QStringList{"apple", "Banana", "éclair",
                                                                    "Zulu",  "Ärzte",  "Ωmega"};
        // An index kept in SQLite's own NOCASE order must keep matching its comparisons, so
        // such a file keeps that order: the letters A-Z ignore case, everything else by code.
        QTest::newRow("file with a NOCASE index")
            << "en_US" << true
            << QStringList{"apple", "Banana", "Zulu", "Ärzte", "éclair", "Ωmega"};
    }

    // The lists come from the file in the order the user's language sorts, ignoring case, as
    // the list's header sorts them.
    void textOrder()
    {
        QFETCH(QString, locale);
        QFETCH(bool, noCaseIndex);
        QFETCH(QStringList, expected);
        DefaultLocale scope{QLocale(locale)};
        TestEnv env;
        if (noCaseIndex) {
            env.RawExecute(u"CREATE INDEX PWD_TITLE ON PWD (TITLE_TX)"_s);
            env.RawExecute(u"CREATE INDEX MY_FILE_NAME ON MY_FILE (MY_FILE_NM)"_s);
            clsDB::shared().CloseConnection();
        } else {
            QStringList collated = expected;
            const QCollator collator = TextCollation::Collator();
            std::sort(collated.begin(), collated.end(),
                      [&](const QString& a, const QString& b) { return collator(a, b); });
            QCOMPARE(collated, expected);
        }
        addMaster();
        const QStringList added{"Zulu", "Ärzte", "éclair", "apple", "Ωmega", "Banana"};
        for (const QString& title : added) {
            TestEnv::AddPassword(title, title + u" user"_s, u"pw "_s + title);
            TestEnv::AddFolder(title + u" folder"_s, u"/f/"_s + title);
        }
        QStringList users;
        QStringList folders;
        for (const QString& title : expected) {
            users << title + u" user"_s;
            folders << title + u" folder"_s;
        }
        QCOMPARE(column(clsPWD().OpenRecords(), &clsPWD::TITLE_TX), expected);
        QCOMPARE(column(clsMY_FILE().OpenRecords(), &clsMY_FILE::MY_FILE_NM), folders);
        QStringList names = column(clsPWD().GetUserNames(), &clsPWD::USER_NM);
        QVERIFY(names.removeOne(u"KeyCask"_s));
        QCOMPARE(names, users);
        // Every index still matches its table.
        clsDB::shared().CloseConnection();
        QCOMPARE(env.RawScalar(u"PRAGMA integrity_check"_s), u"ok"_s);
        QVERIFY(env.messages.isEmpty());
    }

    // Texts that differ in the case of A-Z only stay equal, others stay apart: DISTINCT lists
    // what it listed before.
    void textEquality()
    {
        TestEnv env;
        for (const QString& user : {u"amy"_s, u"AMY"_s, u"Ärzte"_s, u"ärzte"_s, u"Amy "_s}) {
            TestEnv::AddPassword(u"title of "_s + user, user, u"pw"_s);
        }
        QStringList names = column(clsPWD().GetUserNames(), &clsPWD::USER_NM);
        QCOMPARE(names.size(), 4);
        QCOMPARE(names.filter(u"amy"_s, Qt::CaseInsensitive).size(), 2);
        QVERIFY(names.contains(u"Ärzte"_s) && names.contains(u"ärzte"_s));
    }

    void busyFile_data()
    {
        QTest::addColumn<int>("operation");
        QTest::newRow("PWD add") << 0;
        QTest::newRow("PWD update") << 1;
        QTest::newRow("MY_FILE add") << 2;
        QTest::newRow("MY_FILE update") << 3;
    }

    // Another program holds the file locked for writing: a save waits a short while, not once
    // per attempt, then reports the lock once; after the lock the same save goes through.
    void busyFile()
    {
        QFETCH(int, operation);
        TestEnv env;
        addMaster();
        clsPWD pwd;
        pwd.OpenRecord(TestEnv::AddPassword(u"kept title"_s, u"kept user"_s, u"kept pw"_s));
        clsMY_FILE folder;
        folder.OpenRecord(TestEnv::AddFolder(u"kept name"_s, u"/kept/path"_s));
        pwd.TITLE_TX = u"changed title"_s;
        folder.MY_FILE_NM = u"changed name"_s;
        const std::function<bool()> operations[] = {
            [&] { return pwd.Save(true); }, [&] { return pwd.Save(false); },
            [&] { return folder.Save(true); }, [&] { return folder.Save(false); }};
        const QString query = u"SELECT group_concat(TITLE_TX) || '|' || (SELECT "
                              "group_concat(MY_FILE_NM) FROM MY_FILE) FROM PWD"_s;

        OtherWriter other(env.DataFilePath());
        QVERIFY(other.Locked());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!operations[operation]());
        QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(env.messages.size(), 1);
        QVERIFY2(env.messages[0].prompt.contains(u"locked"_s), qPrintable(env.messages[0].prompt));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(env.RawScalar(query), u"KeyCask,kept title|kept name"_s);

        other.Release();
        QVERIFY(operations[operation]());
        QCOMPARE(env.messages.size(), 1);
        QVERIFY(env.RawScalar(query).contains(u"changed"_s));
    }

    // A save that waits for a lock shows the wait cursor while it waits, and goes through once
    // the other program lets go.
    void busyFileReleased()
    {
        TestEnv env;
        addMaster();
        std::promise<bool> locked;
        std::atomic<bool> sawWaitCursor{false};
        std::thread otherProgram([&] {
            OtherWriter other(env.DataFilePath());
            locked.set_value(other.Locked());
            const QDeadlineTimer deadline(5000);
            while (!BusyCursor::IsShown() && !deadline.hasExpired()) {
                QThread::msleep(5);
            }
            // The saving thread is asleep in its wait; its cursor stays as it is until the
            // lock goes.
            const QCursor* cursor = QGuiApplication::overrideCursor();
            sawWaitCursor = BusyCursor::IsShown() && cursor && cursor->shape() == Qt::WaitCursor;
            QThread::msleep(100);
            other.Release();
        });
        const bool otherLocked = locked.get_future().get();
        const QString id = TestEnv::AddPassword(u"saved title"_s, u"u"_s, u"pw"_s);
        otherProgram.join();
        QVERIFY(otherLocked);
        QVERIFY(sawWaitCursor);
        QCOMPARE(id, u"2"_s);
        QCOMPARE(env.RawScalar(u"SELECT TITLE_TX FROM PWD WHERE PASSWORD_ID = 2"_s),
                 u"saved title"_s);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
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

    // An entry read by an editor or a list, then changed by another program (each column in
    // turn, a case or a trailing space alone, NULL for a text; or another entry put under its
    // number; or removed): a save keeps the other program's row and adds the edited entry as a
    // new one, a delete deletes nothing and says so. Unchanged, both act on the row itself.
    void changedElsewhere_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("remove");
        const char* const changes[][3] = {
            {"PWD unchanged", "", ""},
            {"PWD title case", "PWD", "TITLE_TX = 'BANK'"},
            {"PWD user", "PWD", "USER_NM = 'bobby'"},
            {"PWD password", "PWD", "PASSWORD_TX = 'x'"},
            {"PWD site", "PWD", "WEB_SITE_TX = NULL"},
            {"PWD notes trailing space", "PWD", "NOTES_TX = 'notes '"},
            {"PWD another entry", "PWD",
             "TITLE_TX = 'Club', USER_NM = 'carl', PASSWORD_TX = NULL, WEB_SITE_TX = NULL, "
             "NOTES_TX = NULL"},
            {"PWD removed", "PWD", "-"},
            {"MY_FILE unchanged", "", ""},
            {"MY_FILE name case", "MY_FILE", "MY_FILE_NM = 'music'"},
            {"MY_FILE path", "MY_FILE", "MY_FILE_PATH_TX = '/srv/music/'"},
            {"MY_FILE notes", "MY_FILE", "NOTES_TX = NULL"},
            {"MY_FILE removed", "MY_FILE", "-"}};
        for (const auto& row : changes) {
            const bool folder = QLatin1String(row[0]).startsWith(u"MY_FILE");
            const QString table = folder ? u"MY_FILE"_s : u"PWD"_s;
            const QString key = folder ? u"MY_FILE_ID"_s : u"PASSWORD_ID"_s;
            const QString change =
                *row[2] == 0 ? QString()
                : *row[2] == '-'
                    ? u"DELETE FROM %1 WHERE %2 = "_s.arg(table, key)
                    : u"UPDATE %1 SET %2 WHERE %3 = "_s.arg(table, QLatin1String(row[2]), key);
            for (const bool remove : {false, true}) {
                QTest::addRow("%s, %s", row[0], remove ? "delete" : "save")
                    << folder << change << remove;
            }
        }
    }

    void changedElsewhere()
    {
        QFETCH(bool, folder);
        QFETCH(QString, change);
        QFETCH(bool, remove);
        TestEnv env;
        addMaster();
        const QString id = folder ? TestEnv::AddFolder(u"Music"_s, u"/srv/music"_s, u"notes"_s)
                                  : TestEnv::AddPassword(u"Bank"_s, u"bob"_s, u"b4nk-pw"_s,
                                                         u"bank.example"_s, u"notes"_s);
        clsPWD pwd;
        clsMY_FILE dir;
        folder ? dir.OpenRecord(id) : pwd.OpenRecord(id);
        const QString table = folder ? u"SELECT hex(MY_FILE_NM) || hex(MY_FILE_PATH_TX) || "
                                       "hex(NOTES_TX) FROM MY_FILE"_s
                                     : u"SELECT hex(TITLE_TX) || hex(USER_NM) || hex(PASSWORD_TX) "
                                       "|| hex(WEB_SITE_TX) || hex(NOTES_TX) FROM PWD"_s;
        const QString where = folder ? u" WHERE MY_FILE_ID = "_s : u" WHERE PASSWORD_ID = "_s;
        if (!change.isEmpty()) {
            env.RawExecute(change + id);
        }
        const QString other = env.RawScalar(table + where + id);
        const QString count = u"SELECT count(*) FROM "_s + (folder ? u"MY_FILE"_s : u"PWD"_s);
        const int rows = env.RawScalar(count).toInt();
        bool done = false;
        if (remove) {
            done = folder ? clsMY_FILE::DeleteStoredRow(dir.StoredRow())
                          : clsPWD::DeleteStoredRow(pwd.StoredRow());
        } else {
            pwd.TITLE_TX = dir.MY_FILE_NM = u"Edited"_s;
            done = folder ? dir.Save(false) : pwd.Save(false);
        }
        const bool changed = !change.isEmpty();
        QCOMPARE(done, !(remove && changed));
        QCOMPARE(env.messages.size(), changed ? 1 : 0);
        if (changed) {
            QCOMPARE(env.messages[0].prompt,
                     remove ? u"This entry was changed by another program and was not deleted."_s
                            : u"This entry is no longer in the data file, which another program "
                              "changed. It has been added again as a new entry."_s);
            // The other program's row stays as it made it (a removed row's number may be taken
            // again by the new entry).
            if (!other.isEmpty()) {
                QCOMPARE(env.RawScalar(table + where + id), other);
            }
        }
        QCOMPARE(env.RawScalar(count).toInt(), rows + (remove ? -!changed : changed));
        if (!remove) {
            QCOMPARE(env.RawScalar(count + u" WHERE "_s +
                                   (folder ? u"MY_FILE_NM"_s : u"TITLE_TX"_s) + u" = 'Edited'"_s),
                     u"1"_s);
        }
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
