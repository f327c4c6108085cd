// Tests of comma-separated import and export: the reader, the formats other programs write,
// duplicates and unusable rows, an import that is cancelled or fails, and the exported files.
#include "FileSizeLimit.h"
#include "TestEnv.h"
#include "data/CsvFile.h"
#include "data/CsvImport.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "data/modCsvExport.h"
#include "platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray utf16(const QString& sText, bool bBigEndian)
{
    QByteArray bytes = bBigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar ch : sText) {
        const char hi = char(ch.unicode() >> 8), lo = char(ch.unicode() & 0xFF);
        bytes.append(bBigEndian ? hi : lo).append(bBigEndian ? lo : hi);
    }
    return bytes;
}

void writeFile(const QString& sPath, const QByteArray& abBytes)
{
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(abBytes), abBytes.size());
}

QByteArray readFile(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A data file as the program keeps it: the master row first, then the entries.
void addMaster()
{
    TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, u"master"_s);
    clsPWD::Master().OpenRecord(u"1"_s);
}

// Every stored entry's five fields, in title order.
QList<QStringList> storedEntries()
{
    QList<QStringList> out;
    for (const clsPWD& e : clsPWD().OpenRecords().value_or(QList<clsPWD>())) {
        out.append({e.TITLE_TX, e.USER_NM, e.PASSWORD_TX, e.WEB_SITE_TX, e.NOTES_TX});
    }
    return out;
}

} // namespace

class tst_Csv : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("backslash");
        QTest::addColumn<QList<QStringList>>("records");
        QTest::addColumn<QString>("error");
        QTest::newRow("comma, doubled quote and LF inside quotes")
            << QByteArray("\"a,b\",\"say \"\"hi\"\"\",\"x\ny\"\n") << false
            << QList<QStringList>{{u"a,b"_s, u"say \"hi\""_s, u"x\ny"_s}} << QString();
        QTest::newRow("CR LF between records and inside quotes")
            << QByteArray("a,\"1\r\n2\"\r\nb,c\r\n") << false
            << QList<QStringList>{{u"a"_s, u"1\r\n2"_s}, {u"b"_s, u"c"_s}} << QString();
        QTest::newRow("CR alone, no final line break")
            << QByteArray("a,b\r\"c\rd\",e") << false
            << QList<QStringList>{{u"a"_s, u"b"_s}, {u"c\rd"_s, u"e"_s}} << QString();
        QTest::newRow("empty last field, empty line kept")
            << QByteArray("a,b,\n\n\"\",x") << false
            << QList<QStringList>{{u"a"_s, u"b"_s, QString()}, {QString()}, {QString(), u"x"_s}}
            << QString();
        QTest::newRow("UTF-8 mark dropped")
            << QByteArray("\xEF\xBB\xBF\xC3\xA9,\xE2\x82\xAC\n") << false
            << QList<QStringList>{{u"é"_s, u"€"_s}} << QString();
        QTest::newRow("UTF-8 without mark") << QByteArray("\xE6\x97\xA5,\xC3\xBC") << false
                                            << QList<QStringList>{{u"日"_s, u"ü"_s}} << QString();
        QTest::newRow("Windows-1252 bytes")
            << QByteArray("caf\xE9,\x80\x9D,\x81") << false
            << QList<QStringList>{{u"café"_s, u"€\u009D"_s, u"\u0081"_s}} << QString();
        QTest::newRow("UTF-8 but for one line: only that line replaced")
            << QByteArray("\xC3\xBC,1\r\n\xFF,2\nok,3") << false
            << QList<QStringList>{{u"ü"_s, u"1"_s}, {u"\uFFFD"_s, u"2"_s}, {u"ok"_s, u"3"_s}}
            << QString();
        QTest::newRow("UTF-16 little-endian, semicolons")
            << utf16(u"ä;\"ß;x\"\r\n1;2"_s, false) << false
            << QList<QStringList>{{u"ä"_s, u"ß;x"_s}, {u"1"_s, u"2"_s}} << QString();
        QTest::newRow("UTF-16 big-endian, tabs")
            << utf16(u"\"a,b\"\tΩ\n"_s, true) << false << QList<QStringList>{{u"a,b"_s, u"Ω"_s}}
            << QString();
        QTest::newRow("more commas than semicolons")
            << QByteArray("a;b,c,d\n") << false << QList<QStringList>{{u"a;b"_s, u"c"_s, u"d"_s}}
            << QString();
        QTest::newRow("unclosed quote after a quoted line break")
            << QByteArray("\"a\r\nb\",c\r\nd\n\"e,f\ng\n") << false << QList<QStringList>()
            << u"The file could not be read: line 4 has a quote that is never closed."_s;
        QTest::newRow("backslash dialect")
            << QByteArray("\"a\\\"b\",\"c\\\\d\",\"e\\x\"\n") << true
            << QList<QStringList>{{u"a\"b"_s, u"c\\d"_s, u"e\\x"_s}} << QString();
        QTest::newRow("backslash before the closing quote is no escape in the standard dialect")
            << QByteArray("\"a\\\",b\n") << false << QList<QStringList>{{u"a\\"_s, u"b"_s}}
            << QString();
    }

    // Bytes to text, delimiter, records; and the written records read back the same.
    void reader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, backslash);
        QFETCH(QList<QStringList>, records);
        QFETCH(QString, error);
        const auto dialect = backslash ? CsvFile::Dialect::Backslash : CsvFile::Dialect::Standard;
        const QString text = CsvFile::Decode(bytes);
        const QChar delimiter = CsvFile::Delimiter(text);
        try {
            QCOMPARE(CsvFile::Parse(text, delimiter, dialect), records);
            QVERIFY(error.isEmpty());
        } catch (const AppError& e) {
            QCOMPARE(e.Description(), error);
            return;
        }
        const QString written = QString::fromUtf8(CsvFile::Write(records, delimiter, dialect));
        QCOMPARE(CsvFile::Parse(written, delimiter, dialect), records);
    }

    void formats_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("format");
        // The entries stored, five fields each, and the rows skipped as "line: reason".
        QTest::addColumn<QStringList>("entry");
        QTest::addColumn<QStringList>("skipped");
        QTest::newRow("KeePassXC")
            << u"\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\","
               "\"Icon\",\"Last Modified\",\"Created\"\r\n\"Root/Bank\",\"Bank \"\"Home\"\", "
               "main\",\"jörg\",\"p,w\"\"x\",\"https://bank.example/login\",\"line 1\nline 2\","
               "\"otpauth://totp/x\",\"0\",\"2024-01-01\",\"2024-01-02\"\r\n"_s
            << u"KeePassXC or KeyCask"_s
            << QStringList{u"Bank \"Home\", main"_s, u"jörg"_s, u"p,w\"x"_s,
                           u"https://bank.example/login"_s,
                           u"line 1\nline 2\r\nGroup: Bank\r\nTOTP: otpauth://totp/x"_s}
            << QStringList();
        QTest::newRow("Bitwarden")
            << u"folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,"
               "login_password,login_totp\nРабота,1,login,\"Mail, work\",\"first\nsecond\","
               "pin: 12,0,\"https://mail.example,https://alt.example\",ivan,\"pa\"\"ss\","
               "JBSWY3DP\n"_s
            << u"Bitwarden"_s
            << QStringList{u"Mail, work"_s, u"ivan"_s, u"pa\"ss"_s, u"https://mail.example"_s,
                           u"first\nsecond\r\nFolder: Работа\r\nOther addresses: "
                           "https://alt.example\r\nTOTP: JBSWY3DP\r\nFields: pin: 12"_s}
            << QStringList();
        QTest::newRow("Chrome, title from the address")
            << u"name,url,username,password,note\n,https://shop.example.com/cart,\"李, 雷\","
               "\"x\"\"y\",\"note 1\r\nnote 2\"\n"_s
            << u"Chrome or another Chromium-based browser"_s
            << QStringList{u"shop.example.com"_s, u"李, 雷"_s, u"x\"y"_s,
                           u"https://shop.example.com/cart"_s, u"note 1\r\nnote 2"_s}
            << QStringList();
        QTest::newRow("Firefox")
            << u"\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\","
               "\"timeCreated\",\"timeLastUsed\",\"timePasswordChanged\"\r\n"
               "\"https://forum.example.org\",\"Zoë\",\"a,\"\"b\"\"\",\"Realm \"\"X\"\"\nline\","
               "\"https://forum.example.org\",\"{abc}\",\"1\",\"2\",\"3\"\r\n"_s
            << u"Firefox"_s
            << QStringList{u"forum.example.org"_s, u"Zoë"_s, u"a,\"b\""_s,
                           u"https://forum.example.org"_s, u"HTTP realm: Realm \"X\"\nline"_s}
            << QStringList();
        QTest::newRow("KeePass 1.x")
            << u"\"Account\",\"Login Name\",\"Password\",\"Web Site\",\"Comments\"\n"
               "\"Ärzte \\\"Nord\\\"\",\"dr\\\\who\",\"back\\\\slash\\\"q\","
               "\"http://nord.example\",\"c1\nc2, c3\"\n"_s
            << u"KeePass 1.x"_s
            << QStringList{u"Ärzte \"Nord\""_s, u"dr\\who"_s, u"back\\slash\"q"_s,
                           u"http://nord.example"_s, u"c1\nc2, c3"_s}
            << QStringList();
        QTest::newRow("KeePass 1.x, a raw backslash before a closing quote")
            << u"\"Account\",\"Login Name\",\"Password\",\"Web Site\",\"Comments\"\n"
               "\"Share\",\"dom\\user\",\"C:\\path\\\",\"http://s.example\",\"n\"\n"
               "\"Bad\",\"x\"\n\"Next\",\"u2\",\"p2\",\"\",\"\"\n"_s
            << u"KeePass 1.x"_s
            << QStringList{u"Next"_s,      u"u2"_s,         u"p2"_s,
                           QString(),      QString(),       u"Share"_s,
                           u"dom\\user"_s, u"C:\\path\\"_s, u"http://s.example"_s,
                           u"n"_s}
            << QStringList{u"3: line 3: its fields do not match the header's"_s};
        QTest::newRow("LastPass secure note")
            << u"url,username,password,totp,extra,name,grouping,fav\nhttp://sn,,\"secret, "
               "\"\"x\"\"\",,\"Πρώτη\nΔεύτερη\",Safe note,Personal,0\n"_s
            << u"LastPass"_s
            << QStringList{u"Safe note"_s, QString(), u"secret, \"x\""_s, QString(),
                           u"Πρώτη\nΔεύτερη\r\nGrouping: Personal"_s}
            << QStringList();
        QTest::newRow("1Password")
            << u"Title,Url,Username,Password,OTPAuth,Favorite,Archived,Tags,Notes\n\"Cloud "
               "\"\"One\"\"\",https://one.example,\"sam,son\",пароль,,false,false,\"a,b\","
               "\"n1\nn2\"\n"_s
            << u"1Password"_s
            << QStringList{u"Cloud \"One\""_s, u"sam,son"_s, u"пароль"_s, u"https://one.example"_s,
                           u"n1\nn2\r\nTags: a,b"_s}
            << QStringList();
        QTest::newRow("KeyCask, semicolons")
            << u"\"Group\";\"Title\";\"Username\";\"Password\";\"URL\";\"Notes\"\r\n\"\";\"T "
               "\"\"q\"\"; r\";\"u\";\"p\";\"w\";\"a\r\nb\"\r\n"_s
            << u"KeePassXC or KeyCask"_s
            << QStringList{u"T \"q\"; r"_s, u"u"_s, u"p"_s, u"w"_s, u"a\r\nb"_s} << QStringList();
        QTest::newRow("unknown header: a secret's column is the password, the rest left out")
            << u"Site,Login,Secret,Address,Colour\n\"Ex, Co\",me,\"s\"\"1\",ex.example,"
               "\"red\ngreen\"\n"_s
            << QString()
            << QStringList{u"ex.example"_s, u"me"_s, u"s\"1"_s, u"ex.example"_s, QString()}
            << QStringList();
        QTest::newRow("unknown header: a Passwort column is the password")
            << u"Title,Login,Passwort\nBank,jörg,GEHEIM€\n"_s << QString()
            << QStringList{u"Bank"_s, u"jörg"_s, u"GEHEIM€"_s, QString(), QString()}
            << QStringList();
        QTest::newRow("no header: a first row with a mail address and a bare address")
            << u"Bank,ann@example.org,p1,b.example\n"_s << QString()
            << QStringList{u"Bank"_s, u"ann@example.org"_s, u"p1"_s, u"b.example"_s, QString()}
            << QStringList();
        QTest::newRow("no header: the fields in their usual order")
            << u"Bank,\"ann@example.org\",\"p,1\",https://b.example,\"x\ny\",extra\n"_s << QString()
            << QStringList{u"Bank"_s, u"ann@example.org"_s, u"p,1"_s, u"https://b.example"_s,
                           u"x\ny"_s}
            << QStringList();
        QTest::newRow("no header: three rows, a PIN in the first")
            << u"Bank,ann,4711,Safe\nMail,bob,pw2,x\nShop,cy,pw3,y\n"_s << QString()
            << QStringList{u"Bank"_s, u"ann"_s, u"4711"_s, u"Safe"_s, QString(),
                           u"Mail"_s, u"bob"_s, u"pw2"_s,  u"x"_s,    QString(),
                           u"Shop"_s, u"cy"_s,  u"pw3"_s,  u"y"_s,    QString()}
            << QStringList();
        QTest::newRow("KeePassXC, the same login in two groups, then again")
            << u"\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\n"
               "\"Root/Work\",\"Email\",\"ann\",\"pw\",\"\",\"a\"\n"
               "\"Root/Mail\",\"Email\",\"ann\",\"pw\",\"\",\"a\"\n"
               "\"Root/Mail\",\"Email\",\"ann\",\"pw\",\"\",\"a\"\n"_s
            << u"KeePassXC or KeyCask"_s
            << QStringList{u"Email"_s, u"ann"_s, u"pw"_s, QString(), u"a\r\nGroup: Work"_s,
                           u"Email"_s, u"ann"_s, u"pw"_s, QString(), u"a\r\nGroup: Mail"_s}
            << QStringList{u"4: same as line 3"_s};
        QTest::newRow("Chrome, only a user name and notes")
            << u"name,url,username,password,note\n,,ann,,\"call\nback\"\n , ,,,\n"_s
            << u"Chrome or another Chromium-based browser"_s
            << QStringList{u"ann"_s, u"ann"_s, QString(), QString(), u"call\nback"_s}
            << QStringList{u"4: empty row"_s};
        QTest::newRow("Bitwarden organisation")
            << u"collections,type,name,notes,fields,reprompt,login_uri,login_username,"
               "login_password,login_totp\nTeam,login,Router,,,0,http://192.168.0.1,admin,"
               "r0uter,\n"_s
            << u"Bitwarden"_s
            << QStringList{u"Router"_s, u"admin"_s, u"r0uter"_s, u"http://192.168.0.1"_s,
                           u"Collections: Team"_s}
            << QStringList();
        QTest::newRow("a quote never closed in the last record: the rows before it stored")
            << u"name,url,username,password\nMail,,ann,pw\n\"Bank\nHome\",,bob,\"p1\nx,y\n"_s
            << u"Chrome or another Chromium-based browser"_s
            << QStringList{u"Mail"_s, u"ann"_s, u"pw"_s, QString(), QString()}
            << QStringList{u"3: line 4: a quote that is never closed"_s};
        // U+FFFF stands for the byte 0xFF, which no text holds.
        QTest::newRow("UTF-8 with one invalid line")
            << u"name,url,username,password\nCafé,,zoë,päss€\n\uFFFF,,x,y\nTee,,ü,p\n"_s
            << u"Chrome or another Chromium-based browser"_s
            << QStringList{u"Café"_s, u"zoë"_s, u"päss€"_s, QString(), QString(),
                           u"Tee"_s,  u"ü"_s,   u"p"_s,     QString(), QString()}
            << QStringList{u"3: line 3: not valid UTF-8"_s};
    }

    // One sample of each format, written here from its header: the five fields as stored.
    void formats()
    {
        QFETCH(QString, file);
        QFETCH(QString, format);
        QFETCH(QStringList, entry);
        QFETCH(QStringList, skipped);
        TestEnv env;
        addMaster();
        const QString path = env.AppFolder() + u"/in.csv"_s;
        writeFile(path, file.toUtf8().replace("\xEF\xBF\xBF", "\xFF"));
        CsvImport import;
        import.Load(path);
        QCOMPARE(import.FormatName(), format);
        QStringList reasons;
        for (qsizetype i = 0; i < import.RowCount(); ++i) {
            if (import.StatusOf(i) != CsvImport::Status::Add) {
                reasons.append(u"%1: %2"_s.arg(import.Line(i)).arg(import.Reason(i)));
            }
        }
        QCOMPARE(reasons, skipped);
        QList<QStringList> entries;
        for (qsizetype i = 0; i < entry.size(); i += 5) {
            entries.append(entry.mid(i, 5));
        }
        QCOMPARE(import.Store().imported, entries.size());
        QCOMPARE(storedEntries(), entries);
        QVERIFY(env.messages.isEmpty());
    }

    // Without a header, the column chosen as the password is the secret one: masked, and the
    // column left at its place goes to the notes. A code is a secret only as a security code.
    void chosenPassword()
    {
        TestEnv env;
        addMaster();
        CsvImport import;
        import.LoadText(u"Bank,ann@example.org,Safe,pw4\n"_s);
        import.SetColumns({0, 1, 3, CsvImport::None, CsvImport::None});
        import.SetKeepOthers(true);
        QVERIFY(import.SecretColumn(3));
        QVERIFY(!import.SecretColumn(2));
        QVERIFY(!CsvImport::SecretName(u"Country code"_s));
        QVERIFY(CsvImport::SecretName(u"Card security code"_s));
        QCOMPARE(import.Store().imported, 1);
        QCOMPARE(storedEntries(), (QList<QStringList>{{u"Bank"_s, u"ann@example.org"_s, u"pw4"_s,
                                                       QString(), u"Column 3: Safe"_s}}));
    }

    // A row wider than the columns offered: the first ones are offered, with their samples, and
    // the values after them go to the notes by their number when the other columns are kept.
    void wideRow()
    {
        TestEnv env;
        addMaster();
        QStringList values = {u"Bank"_s, u"ann@example.org"_s, u"pw"_s};
        for (qsizetype i = values.size(); i < CsvImport::MaxColumns + 2; ++i) {
            values.append(u"v%1"_s.arg(i + 1));
        }
        CsvImport import;
        import.LoadText(values.join(u',') + u'\n');
        QCOMPARE(import.ColumnNames().size(), CsvImport::MaxColumns);
        QCOMPARE(import.Samples().size(), CsvImport::MaxColumns);
        import.SetKeepOthers(true);
        QVERIFY(import.RowAt(0).entry.NOTES_TX.endsWith(u"\r\nColumn 1002: v1002"_s));
    }

    // A duplicate of a stored entry and of an earlier row is skipped, and an empty row, each
    // with its reason; a row without title, address and password is stored under its user
    // name; a difference in one field alone (user name in case, password) makes a new entry.
    void duplicatesAndErrors()
    {
        TestEnv env;
        addMaster();
        TestEnv::AddPassword(u"Mail"_s, u"ann"_s, u"pw1"_s, u"https://mail.example"_s);
        CsvImport import;
        import.LoadText(u"name,url,username,password\nMail,https://mail.example,ann,pw1\n"
                        "Mail,https://mail.example,ann,pw2\nMail,https://mail.example,ann,pw2\n"
                        " , ,,\n,,bob,\nMail,https://mail.example,Ann,pw1\n"
                        ",https://mail.example,ann,pw1\n"_s);
        QStringList reasons;
        for (qsizetype i = 0; i < import.RowCount(); ++i) {
            reasons.append(import.Reason(i));
        }
        QCOMPARE(reasons, (QStringList{u"same as the entry 'Mail' already stored"_s, QString(),
                                       u"same as line 3"_s, u"empty row"_s, QString(), QString(),
                                       QString()}));
        QCOMPARE(CsvImport::ResultText(import.Store()),
                 u"4 entries imported, 2 skipped as duplicates, 1 empty or unreadable row "
                 "skipped."_s);
        QCOMPARE(storedEntries().size(), 5);
        QCOMPARE(storedEntries().first(),
                 (QStringList{u"bob"_s, u"bob"_s, QString(), QString(), QString()}));
        QCOMPARE(storedEntries().last(), (QStringList{u"mail.example"_s, u"ann"_s, u"pw1"_s,
                                                      u"https://mail.example"_s, QString()}));
    }

    void nothingStored_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled") << true;
        QTest::newRow("failure in the middle") << false;
    }

    // Cancelling after some rows, or a row the data file refuses, leaves no entry stored.
    void nothingStored()
    {
        QFETCH(bool, cancel);
        TestEnv env;
        addMaster();
        QString text = u"name,url,username,password\n"_s;
        for (int i = 0; i < 1500; ++i) {
            text += u"Row %1,https://r%1.example,u%1,p%1\n"_s.arg(i, 4, 10, QChar(u'0'));
        }
        env.RawExecute(u"CREATE TRIGGER refuse BEFORE INSERT ON PWD WHEN NEW.TITLE_TX = "
                       "'Row 0900' BEGIN SELECT RAISE(ABORT, 'row refused'); END"_s);
        auto import = std::make_unique<CsvImport>();
        import->LoadText(text);
        // A copy shares the text's buffer: it shows what the import's end leaves in memory.
        const QString read = import->Text();
        int asked = 0;
        const auto keepGoing = [&asked, cancel](int lDone) {
            ++asked;
            return !(cancel && lDone == 700);
        };
        QString failure;
        try {
            import->Store(keepGoing);
        } catch (const AppError& e) {
            failure = e.Description();
        }
        QCOMPARE(failure, cancel ? u"The import was cancelled; nothing was imported."_s
                                 : u"Nothing was imported: row refused"_s);
        QCOMPARE(asked, cancel ? 700 : 900);
        QCOMPARE(env.RawScalar(u"SELECT count(*) || ' ' || max(TITLE_TX) FROM PWD"_s),
                 u"1 KeyCask"_s);
        QVERIFY(env.messages.isEmpty());
        // The transaction has ended: the next change reaches the file.
        TestEnv::AddPassword(u"Later"_s, u"u"_s, u"p"_s);
        QCOMPARE(env.RawScalar(u"SELECT count(*) || ' ' || max(TITLE_TX) FROM PWD"_s),
                 u"2 Later"_s);
        QVERIFY(read.endsWith(u"p1499\n"_s));
        import.reset();
        QCOMPARE(read, QString(read.size(), QChar()));
    }

    // Every field survives export and import into an empty data file byte for byte; the files
    // are written as other programs read them, for their owner only.
    void exportRoundTrip()
    {
        const QList<QStringList> entries = {
            {u"A \"quoted\", title"_s, u"O'Brien"_s, u"p\"a,s;s\tw\\d"_s,
             u"https://a.example/?q=1,2"_s, u"line 1\r\nline 2\nline 3\rend"_s},
            {u"Бета 😀"_s, u"  spaced  "_s, u"€‰"_s, QString(), u"  \"\" "_s},
            {u"Gamma"_s, QString(), u"x"_s, u"w"_s, QString(51, u'n')},
        };
        QTemporaryDir out;
        const QString path = out.filePath(u"keys.csv"_s);
        {
            TestEnv env;
            addMaster();
            for (const QStringList& e : entries) {
                TestEnv::AddPassword(e[0], e[1], e[2], e[3], e[4]);
            }
            TestEnv::AddFolder(u"Docs, \"mine\""_s, u"/srv/d"_s, u"n\r\n2"_s);
            TestEnv::AddFolder(u"Alpha"_s, u"/srv/a"_s);
            QVERIFY(modCsvExport::Export(path));
            QCOMPARE(env.messages.size(), 1);
        }
        const QByteArray bytes = readFile(path);
        QVERIFY(bytes.startsWith(
            "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\r\n\"\",\"A "
            "\"\"quoted\"\", "
            "title\",\"O'Brien\",\"p\"\"a,s;s\tw\\d\",\"https://a.example/?q=1,2\","
            "\"line 1\r\nline 2\nline 3\rend\"\r\n\"\",\"Gamma\""));
        QCOMPARE(readFile(out.filePath(u"keys-file-folders.csv"_s)),
                 QByteArray("\"Name\",\"Folder\",\"Notes\"\r\n\"Alpha\",\"/srv/a\",\"\"\r\n"
                            "\"Docs, \"\"mine\"\"\",\"/srv/d\",\"n\r\n2\"\r\n"));
        for (const QString& name : {u"keys.csv"_s, u"keys-file-folders.csv"_s}) {
            QCOMPARE(QFileInfo(out.filePath(name)).permissions(),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                         QFileDevice::WriteUser);
        }
        TestEnv env;
        addMaster();
        CsvImport import;
        import.Load(path);
        QCOMPARE(import.Store().imported, 3);
        QList<QStringList> sorted = entries;
        std::swap(sorted[1], sorted[2]);
        QCOMPARE(storedEntries(), sorted);
        // The folder file comes back as file-folder entries; a second import adds nothing.
        for (const int added : {2, 0}) {
            import.Load(out.filePath(u"keys-file-folders.csv"_s));
            QVERIFY(import.FileFolders());
            QCOMPARE(import.Store().imported, added);
        }
        const auto folders = clsMY_FILE().OpenRecords().value_or(QList<clsMY_FILE>());
        QCOMPARE(folders.size(), 2);
        QCOMPARE(
            QStringList({folders[1].MY_FILE_NM, folders[1].MY_FILE_PATH_TX, folders[1].NOTES_TX}),
            QStringList({u"Docs, \"mine\""_s, u"/srv/d"_s, u"n\r\n2"_s}));
        QCOMPARE(storedEntries().size(), 3);
    }

    void readRefuses_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("error");
        const QString tooLarge = u"The file could not be read: it is larger than 64 MB."_s;
        const QString irregular = u"The file could not be read: it is not a regular file."_s;
        QTest::newRow("exactly the largest size")
            << u"file"_s << CsvFile::MaxFileBytes << QString();
        QTest::newRow("one byte more") << u"file"_s << CsvFile::MaxFileBytes + 1 << tooLarge;
        QTest::newRow("a pipe with no writer") << u"fifo"_s << 0LL << irregular;
        QTest::newRow("a device") << u"/dev/zero"_s << 0LL << irregular;
        QTest::newRow("a folder") << u"folder"_s << 0LL << irregular;
    }

    // The sizes at the limit (sparse files), and what is no regular file, refused before a byte
    // is read and without waiting for a writer.
    void readRefuses()
    {
        QFETCH(QString, kind);
        QFETCH(qint64, size);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QString path = dir.filePath(u"in.csv"_s);
        if (kind == u"file"_s) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        } else if (kind == u"fifo"_s) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            path = kind == u"folder"_s ? dir.path() : kind;
        }
        QString failure;
        try {
            QCOMPARE(CsvFile::Read(path).size(), size);
        } catch (const AppError& e) {
            failure = e.Description();
        }
        QCOMPARE(failure, error);
    }

    void exportFiles_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("written");
        const QString done = u"2 password entries were written to \"{out}/keys.csv\".\r\n1 "
                             "file-folder entry was written to \"{out}/keys-file-folders.csv\"."_s;
        const QStringList both = {u"keys.csv"_s, u"keys-file-folders.csv"_s};
        QTest::newRow("no extension typed: .csv added, both files told")
            << u"out"_s << u"keys"_s << QStringList() << int(MsgBox::vbOK) << QStringList{done}
            << both;
        QTest::newRow("both files exist: one question, Yes replaces them")
            << u"out"_s << u"keys.csv"_s << both << int(MsgBox::vbYes)
            << QStringList{u"These files exist already:\r\n\r\n{out}/keys-file-folders.csv\r\n"
                           "{out}/keys.csv\r\n\r\nReplace them?"_s,
                           done}
            << both;
        QTest::newRow("the file-folder file exists: No writes nothing")
            << u"out"_s << u"keys.csv"_s << QStringList{u"keys-file-folders.csv"_s}
            << int(MsgBox::vbNo)
            << QStringList{u"The file \"{out}/keys-file-folders.csv\" exists already. "
                           "Replace it?"_s}
            << QStringList();
        const QString refused = u"Nothing was exported: \"{data}/%1\" is in the folder of the data "
                                "file, beside the encrypted file and its backups. Choose another "
                                "folder."_s;
        QTest::newRow("onto the data file")
            << u"data"_s << u"pwd.quillondata"_s << QStringList() << int(MsgBox::vbYes)
            << QStringList{refused.arg(u"pwd.quillondata"_s)} << QStringList();
        QTest::newRow("beside the data file")
            << u"data"_s << u"keys"_s << QStringList() << int(MsgBox::vbYes)
            << QStringList{refused.arg(u"keys.csv"_s)} << QStringList();
        QTest::newRow("into the backups")
            << u"data"_s << u"Backups/keys.csv"_s << QStringList() << int(MsgBox::vbYes)
            << QStringList{refused.arg(u"Backups/keys.csv"_s)} << QStringList();
        QTest::newRow("into the data file's folder through a link")
            << u"out"_s << u"link/keys.csv"_s << QStringList() << int(MsgBox::vbYes)
            << QStringList{u"Nothing was exported: \"{out}/link/keys.csv\" is in the folder of "
                           "the data file, beside the encrypted file and its backups. Choose "
                           "another folder."_s}
            << QStringList();
    }

    // Where an export goes: never into the data file's folder; an existing file is replaced
    // only after one question (No the default) and then is its owner's alone; the files written
    // and their entries are told.
    void exportFiles()
    {
        QFETCH(QString, folder);
        QFETCH(QString, typed);
        QFETCH(QStringList, existing);
        QFETCH(int, answer);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, written);
        TestEnv env;
        addMaster();
        TestEnv::AddPassword(u"Mail"_s, u"ann"_s, u"pw1"_s);
        TestEnv::AddPassword(u"Bank"_s, u"bob"_s, u"pw2"_s);
        TestEnv::AddFolder(u"Docs"_s, u"/srv/d"_s);
        const QString data = QFileInfo(env.DataFilePath()).absolutePath();
        QVERIFY(QDir().mkpath(modBackup::Folder(env.DataFilePath())));
        const QByteArray dataBytes = readFile(env.DataFilePath());
        QTemporaryDir out;
        QVERIFY(QFile::link(data, out.filePath(u"link"_s)));
        for (const QString& name : existing) {
            writeFile(out.filePath(name), "old");
            QVERIFY(QFile::setPermissions(out.filePath(name),
                                          QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther));
        }
        env.answer = [answer](const MsgBox::Call&) { return answer; };
        QCOMPARE(modCsvExport::Export((folder == u"out"_s ? out.path() : data) + u'/' + typed),
                 !written.isEmpty());
        QStringList shown, flags;
        for (const MsgBox::Call& call : std::as_const(env.messages)) {
            shown.append(
                QString(call.prompt).replace(out.path(), u"{out}"_s).replace(data, u"{data}"_s));
        }
        QCOMPARE(shown, messages);
        if (!existing.isEmpty()) {
            QCOMPARE(env.messages[0].flags,
                     MsgBox::vbYesNo | MsgBox::vbQuestion | MsgBox::vbDefaultButton2);
        }
        for (const QString& name : written) {
            QVERIFY(readFile(out.filePath(name)).startsWith("\"Name\"") ||
                    readFile(out.filePath(name)).startsWith("\"Group\""));
            QCOMPARE(QFile::permissions(out.filePath(name)),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                         QFileDevice::WriteUser);
        }
        for (const QString& name : existing) {
            if (!written.contains(name)) {
                QCOMPARE(readFile(out.filePath(name)), QByteArray("old"));
            }
        }
        QStringList names = written;
        for (const QString& name : existing + QStringList{u"link"_s}) {
            if (!names.contains(name)) {
                names.append(name);
            }
        }
        names.sort();
        QCOMPARE(
            QDir(out.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Name),
            names);
        QCOMPARE(readFile(env.DataFilePath()), dataBytes);
        QCOMPARE(QDir(modBackup::Folder(env.DataFilePath())).entryList(QDir::Files).size(), 0);
        QCOMPARE(QDir(data).entryList(QDir::Files), QStringList{u"pwd.quillondata"_s});
    }

    void exportFailure_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<QString>("cause");
        QTest::newRow("disk full at the file-folder file")
            << u"keys-file-folders.csv"_s << true << u"File too large"_s;
        QTest::newRow("disk full at the password file")
            << u"keys.csv"_s << true << u"File too large"_s;
        QTest::newRow("room for exactly the larger file") << QString() << true << QString();
        QTest::newRow("the file-folder file's name taken by a folder as it is committed")
            << u"keys-file-folders.csv"_s << false << u"Is a directory"_s;
        QTest::newRow("the password file's name taken: the file-folder file comes back")
            << u"keys.csv"_s << false << u"Is a directory"_s;
    }

    // A write that fails (a full disk, simulated by a limit on the size of the files the child
    // process writes) or a name that cannot be taken leaves both older files as they were, no
    // other file behind, and is told once with its cause; half an export is none.
    void exportFailure()
    {
        QFETCH(QString, failing);
        QFETCH(bool, fullDisk);
        QFETCH(QString, cause);
        TestEnv env;
        addMaster();
        // The failing file is the larger one, so that the other fits below the limit.
        const bool bigFolders = failing == u"keys-file-folders.csv"_s;
        TestEnv::AddPassword(u"Mail"_s, u"ann"_s, u"pw1"_s, QString(),
                             QString(bigFolders ? 10 : 3000, u'n'));
        TestEnv::AddFolder(u"Docs"_s, u"/srv/d"_s, QString(bigFolders ? 3000 : 10, u'f'));
        QTemporaryDir sizes;
        QVERIFY(modCsvExport::Export(sizes.filePath(u"keys.csv"_s)));
        const qint64 larger =
            std::max(QFileInfo(sizes.filePath(u"keys.csv"_s)).size(),
                     QFileInfo(sizes.filePath(u"keys-file-folders.csv"_s)).size());
        env.messages.clear();

        QTemporaryDir out;
        const QString path = out.filePath(u"keys.csv"_s);
        const QStringList names = {u"keys-file-folders.csv"_s, u"keys.csv"_s};
        for (const QString& name : names) {
            writeFile(out.filePath(name), "old " + name.toUtf8());
        }
        env.answer = [](const MsgBox::Call&) { return int(MsgBox::vbYes); };
        QString result;
        if (fullDisk) {
            result = FileSizeLimit::Run(failing.isEmpty() ? larger : larger - 1, [&env, &path] {
                const bool done = modCsvExport::Export(path);
                return QString::number(done) + u'|' + env.messages.constLast().prompt;
            });
        } else {
            const QString blocked = out.filePath(failing);
            modCsvExport::SetCommitHook([blocked](const QString& sPath) {
                if (sPath == blocked) {
                    QFile::remove(blocked);
                    QDir().mkpath(blocked + u"/inside"_s);
                }
            });
            const bool done = modCsvExport::Export(path);
            modCsvExport::SetCommitHook({});
            result = QString::number(done) + u'|' + env.messages.constLast().prompt;
        }
        if (failing.isEmpty()) {
            QVERIFY2(result.startsWith(u"1|2 password entries"_s) ||
                         result.startsWith(u"1|1 password entry was"_s),
                     qPrintable(result));
            for (const QString& name : names) {
                QCOMPARE(readFile(out.filePath(name)), readFile(sizes.filePath(name)));
            }
            return;
        }
        QCOMPARE(result, u"0|Nothing was exported: \"%1\" could not be written: %2"_s.arg(
                             out.filePath(failing), cause));
        for (const QString& name : names) {
            if (fullDisk || name != failing) {
                QCOMPARE(readFile(out.filePath(name)), "old " + name.toUtf8());
            }
        }
        QCOMPARE(
            QDir(out.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            names);
    }

    // A name that is a symbolic link is refused and the file it points to is left alone; no
    // folder file is written where there are no folders.
    void exportRefusesLink()
    {
        TestEnv env;
        TestEnv::AddPassword(u"T"_s, u"u"_s, u"p"_s);
        QTemporaryDir out;
        const QString target = out.filePath(u"target.csv"_s);
        writeFile(target, "mine");
        QVERIFY(QFile::link(target, out.filePath(u"link.csv"_s)));
        QVERIFY(!modCsvExport::Export(out.filePath(u"link.csv"_s)));
        QCOMPARE(env.messages.size(), 1);
        QVERIFY(env.messages[0].prompt.contains(u"symbolic link"_s));
        QCOMPARE(readFile(target), QByteArray("mine"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::System).size(), 2);
        QVERIFY(modCsvExport::Export(out.filePath(u"plain.csv"_s)));
        QVERIFY(!QFileInfo::exists(out.filePath(u"plain-file-folders.csv"_s)));
    }
};

QTEST_MAIN(tst_Csv)
#include "tst_csv.moc"
