// Tests of the RTF report writer and the two reports: the written bytes against reference
// documents, escaping, row and page options, the comma-separated mode, file names and errors.
#include "FileSizeLimit.h"
#include "TestEnv.h"
#include "app/clsApp.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "platform/AppError.h"
#include "reports/clsRTFFile.h"
#include "reports/clsRTFMaster.h"
#include "reports/clsRTFPassword.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTime>
#include <algorithm>
#include <functional>

using WriterStep = std::function<void(clsRTFMaster&)>;
Q_DECLARE_METATYPE(WriterStep)

namespace {

const QByteArray kBorder =
    R"(\clbrdrt\brdrs\brdrw15\clbrdrb\brdrs\brdrw15\clbrdrl\brdrs\brdrw15\clbrdrr\brdrs\brdrw15)";
const QByteArray kHeadingRow = R"(\trowd\trkeep\trhdr\trgaph90\trleft0\trql)";
const QByteArray kPlainRow = R"(\trowd\trkeep\trgaph90\trleft0\trql)";
const QByteArray kFooter = R"({\footer \pard\plain\qc\fs20 {Page }{\field{\*\fldinst { PAGE }})"
                           R"({\fldrslt {\lang1024 1}}}{ of }{\field{\*\fldinst {NUMPAGES }})"
                           R"({\fldrslt { 1}}}{ \par }})";

// Document start to the page setup; line-end pieces end with CR LF.
QByteArray prologue(const QByteArray& page = R"(\pghsxn12240\pgwsxn15840\margtsxn1440)"
                                             R"(\margbsxn1080\marglsxn1080\margrsxn1080\lndscpsxn)",
                    const QByteArray& headerFooter = R"(\headery720\footery504)")
{
    return R"({\rtf1\ansi\deff0\deflang1033\viewkind1{\fonttbl{\f0\froman Verdana;}})"
           R"({\colortbl;\red218\green218\blue218;\red194\green194\blue194;})"
           R"({\stylesheet{\widctlpar\adjustright\fs20\cgrid\snext0 Normal;}})"
           "\r\n" +
           page + "\r\n" + headerFooter + "\r\n";
}

// Header group with title and print date (as @DATE@), footer, body font size.
QByteArray header(const QByteArray& title)
{
    return R"({\header \pard\plain \s15\ql \pard\plain\qc\fs24 {)" + title +
           R"( \par } \pard\qc\fs18 {@DATE@ \par }})" + kFooter + R"(\fs18)";
}

// One row of left-aligned, top-aligned cells; shading empty for colour 99.
QByteArray row(const QByteArray& definition, const QByteArray& shading, const QList<int>& edges,
               const QList<QByteArray>& texts)
{
    QByteArray out = definition;
    for (int edge : edges) {
        out += shading + R"(\cltxlrtb\clpadl45\clpadt45\clpadb45\clpadr45\clpadfl3\clpadfb3)" +
               R"(\clvertalt\cellx)" + QByteArray::number(edge);
    }
    out += "\\pard\r\n";
    for (const QByteArray& text : texts) {
        out += R"(\intbl\ql\sb30\sa30 )" + text + R"(\cell\pard)";
    }
    return out + "\\intbl\\row\r\n\\pard\r\n";
}

// Compares a written file with a reference that shows the print date as @DATE@, or as @DATUM@
// in German.
void compareDocument(const QString& sPath, const QByteArray& expected)
{
    static const QRegularExpression date(
        QStringLiteral(R"([A-Z][a-z]{2} [1-9]\d?, \d{4}  (1[0-2]|[1-9]):[0-5]\d [AP]M)"));
    static const QRegularExpression datum(
        QStringLiteral(R"([1-9]\d?\. [A-Z]\S{2,4} \d{4}  ([01]\d|2[0-3]):[0-5]\d)"));
    QFile file(sPath);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(sPath));
    const QByteArray actual = QString::fromLatin1(file.readAll())
                                  .replace(date, QStringLiteral("@DATE@"))
                                  .replace(datum, QStringLiteral("@DATUM@"))
                                  .toLatin1();
    const qsizetype i =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
        actual.begin();
    QVERIFY2(actual == expected,
             qPrintable(u"differs at byte %1:\n  actual:   %2\n  expected: %3"_qs.arg(i).arg(
                 QString::fromLatin1(actual.mid(i - 20, 90)),
                 QString::fromLatin1(expected.mid(i - 20, 90)))));
}

QStringList reportFiles()
{
    return QDir(clsApp::shared().ReportPath()).entryList(QDir::Files, QDir::Name);
}

QString reportFile(const QString& sName)
{
    return clsApp::shared().ReportPath() + QDir::separator() + sName;
}

void bare(clsRTFMaster& rtf)
{
    rtf.PRINT_HEADER_ICON = rtf.PRINT_HEADER_DATE = rtf.PRINT_FOOTER = false;
}

} // namespace

class tst_Rtf : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The two reports, byte for byte, with the print date matched by its pattern.
    void reports_data()
    {
        QTest::addColumn<bool>("folders");
        QTest::addColumn<bool>("entries");
        QTest::addColumn<QByteArray>("table");
        const QByteArray grey = R"(\clcbpat2)" + kBorder, plain = R"(\clcbpat0)" + kBorder;
        const QList<int> pwd = {2500, 5000, 7000, 10000, 13680}, file = {3000, 7500, 13680};
        const QByteArray fileTable =
            header("File Folders") + R"(\fs16)" +
            row(kHeadingRow, grey, file,
                {R"(\b Name\b0)", R"(\b File Folder\b0)", R"(\b Notes\b0)"});
        QTest::newRow("passwords")
            << false << true
            << header("Passw*rds") + R"(\fs16)" +
                   row(kHeadingRow, grey, pwd,
                       {R"(\b Title\b0)", R"(\b User Name\b0)", R"(\b Passw*rd\b0)",
                        R"(\b Web URL\b0)", R"(\b Notes\b0)"}) +
                   row(kPlainRow, plain, pwd,
                       {R"(Bank \{old\})", "ann", R"(p\\w\{1\})", "https://b.example", "n"});
        QTest::newRow("file folders, none") << true << false << fileTable;
        // Ordered by name; the lines of a note are paragraphs inside the cell.
        QTest::newRow("file folders, two")
            << true << true
            << fileTable + row(kPlainRow, plain, file, {"Home", R"(C:\\Home)", ""}) +
                   row(kPlainRow, plain, file,
                       {"Work", R"(C:\\Work)", R"(first \par second \par third)"});
    }

    void reports()
    {
        QFETCH(bool, folders);
        QFETCH(bool, entries);
        QFETCH(QByteArray, table);
        TestEnv env;
        clsApp::shared().MakeReportPath();
        if (entries && folders) {
            TestEnv::AddFolder(u"Work"_qs, u"C:\\Work"_qs, u"first\r\nsecond\nthird"_qs);
            TestEnv::AddFolder(u"Home"_qs, u"C:\\Home"_qs);
        } else if (entries) {
            TestEnv::AddPassword(u"master"_qs, u"me"_qs, u"master pw"_qs);
            TestEnv::AddPassword(u"Bank {old}"_qs, u"ann"_qs, u"p\\w{1}"_qs,
                                 u"https://b.example"_qs, u"n"_qs);
        }
        folders ? clsRTFFile().Build(true) : clsRTFPassword().Build(true);
        const QStringList files = reportFiles();
        QCOMPARE(files.size(), 1);
        const QString name = (folders ? u"^File_Folders_"_qs : u"^PWD_"_qs) +
                             u"\\d{4}-\\d\\d-\\d\\d_\\d{6}\\.rtf$"_qs;
        QVERIFY2(QRegularExpression(name).match(files[0]).hasMatch(), qPrintable(files[0]));
        compareDocument(reportFile(files[0]), prologue() + table + "}");
        QVERIFY(env.messages.isEmpty());
    }

    void document_data()
    {
        QTest::addColumn<WriterStep>("before");
        QTest::addColumn<WriterStep>("after");
        QTest::addColumn<QByteArray>("expected");
        const WriterStep none = [](clsRTFMaster&) {};

        QTest::newRow("empty title")
            << none << none
            << prologue() + R"({\header \pard\plain \s15\ql \pard\qc\fs18 {@DATE@ \par }})" +
                   kFooter + R"(\fs18})";
        // The print date in the locale's words, order and clock.
        QTest::newRow("print date in German")
            << WriterStep([](clsRTFMaster& rtf) {
                   rtf.DATE_LOCALE = QLocale(QLocale::German, QLocale::Germany);
               })
            << none
            << prologue() + R"({\header \pard\plain \s15\ql \pard\qc\fs18 {@DATUM@ \par }})" +
                   kFooter + R"(\fs18})";
        // Colour 99: neither shading nor borders.
        QTest::newRow("escapes, Windows-1252 bytes and Unicode escapes, colour 99")
            << WriterStep([](clsRTFMaster& rtf) {
                   rtf.TITLE = u"Пароль €"_qs;
                   rtf.STATISTICS = u"3 × 日"_qs;
               })
            << WriterStep([](clsRTFMaster& rtf) {
                   rtf.AddCell(2000, u"é€Ж😀\u0081 a\\b{c}\tx\r\ny\nz\rw\x01\x1f"_qs);
                   rtf.PrintCells(false, 99, 0);
               })
            << prologue() +
                   header(R"(\u1055?\u1072?\u1088?\u1086?\u1083?\u1100? )"
                          "\x80") +
                   "\\qc {3 \xd7 \\u26085? } \\par \\par " +
                   row(kPlainRow, "", {2000},
                       {"\xe9\x80"
                        R"(\u1046?\u-10179?\u-8704?\u129? a\\b\{c\}\tab x \par y \par z \par w)"
                        R"(\'01\'1f)"}) +
                   "}";
        // Bold for one row only; the next row is plain, colour 0.
        QTest::newRow("heading row, grey, height 300")
            << WriterStep(bare) << WriterStep([](clsRTFMaster& rtf) {
                   rtf.AddCell(2000, u"N"_qs, 0, QString::fromUtf16(clsRTFCell::FULL_BORDER), true);
                   rtf.PrintCells(true, 2, 300);
                   rtf.PrintCells(false, 0, 0);
               })
            << prologue() + R"(\fs18)" +
                   row(R"(\trowd\trkeep\trrh-300\trhdr\trgaph90\trleft0\trql)",
                       R"(\clcbpat2)" + kBorder, {2000}, {R"(\b N\b0)"}) +
                   row(kPlainRow, R"(\clcbpat0)" + kBorder, {2000}, {"N"}) + "}";
        QTest::newRow("portrait, inch sides, quarter-inch header")
            << WriterStep([](clsRTFMaster& rtf) {
                   bare(rtf);
                   rtf.LANDSCAPE = false;
                   rtf.MARGIN_LEFT = rtf.MARGIN_RIGHT = 1.0f;
                   rtf.MARGIN_HEADER = rtf.MARGIN_FOOTER = 0.25f;
                   QCOMPARE(rtf.TABLE_WIDTH(), 9360);
               })
            << none
            << prologue(R"(\margtsxn1440\margbsxn1080\marglsxn1440\margrsxn1440)",
                        R"(\headery360\footery360)") +
                   R"(\fs18})";
        // One record per line; an empty field is left out between its commas.
        QTest::newRow("comma-separated") << WriterStep([](clsRTFMaster& rtf) {
            rtf.USE_RTF = false;
        }) << WriterStep([](clsRTFMaster& rtf) {
            rtf.FontSize(8);
            rtf.AddCell(1000, u"A"_qs, 0, QString(), true);
            rtf.AddCell(2000, QString());
            rtf.AddCell(3000, u"B"_qs);
            rtf.PrintCells(true, 2, 300);
            rtf.RTFCells[1].COLUMN_TX = u"x\\{y}"_qs;
            rtf.PrintCells(false, 0, 0);
        }) << QByteArray("\"A\",,\"B\"\r\n\"A\",\"x\\{y}\",\"B\"\r\n");
    }

    // Whole documents written with the writer's options.
    void document()
    {
        QFETCH(WriterStep, before);
        QFETCH(WriterStep, after);
        QFETCH(QByteArray, expected);
        TestEnv env;
        clsApp::shared().MakeReportPath();
        clsRTFMaster rtf;
        rtf.FILE_NAME = u"doc"_qs;
        rtf.DATE_LOCALE = QLocale(QLocale::English, QLocale::UnitedStates);
        before(rtf);
        rtf.RTFOpen();
        after(rtf);
        rtf.RTFClose();
        QCOMPARE(rtf.FULL_FILE_NAME(), reportFile(rtf.USE_RTF ? u"doc.rtf"_qs : u"doc.csv"_qs));
        compareDocument(rtf.FULL_FILE_NAME(), expected);
    }

    // The name has a resolution of one second: a second report in it takes the next free name
    // and leaves the first as it was.
    void sameSecondTakesNextName()
    {
        TestEnv env;
        const auto sameSecond = [] {
            const QStringList files = reportFiles();
            return files.size() == 2 && files[1] == files[0].chopped(4) + u"_2.rtf"_qs;
        };
        QByteArray added;
        for (int attempt = 0; attempt < 5 && !sameSecond(); ++attempt) {
            QDir(clsApp::shared().ReportPath()).removeRecursively();
            clsApp::shared().MakeReportPath();
            QThread::msleep(1000 - QTime::currentTime().msec());
            clsRTFFile().Build(true);
            added = "Added " + QByteArray::number(attempt);
            TestEnv::AddFolder(QString::fromLatin1(added), QString());
            clsRTFFile().Build(true);
        }
        QVERIFY2(sameSecond(), qPrintable(reportFiles().join(' ')));
        const QStringList files = reportFiles();
        QVERIFY(clsApp::IsReportFileName(files[1]));
        QFile first(reportFile(files[0]));
        QFile second(reportFile(files[1]));
        QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        QVERIFY(!first.readAll().contains(added));
        QVERIFY(second.readAll().contains(added));
    }

    // Each report opens the file its own writer wrote.
    void showLaunchesTheWrittenFile()
    {
        TestEnv env;
        clsApp::shared().MakeReportPath();
        clsRTFPassword passwords;
        passwords.Build(true);
        clsRTFFile folders;
        folders.Build(true);
        folders.Show();
        passwords.Show();
        const QStringList files = reportFiles();
        QCOMPARE(files.size(), 2);
        QCOMPARE(env.launches, (QList<QUrl>{QUrl::fromLocalFile(reportFile(files[0])),
                                            QUrl::fromLocalFile(reportFile(files[1]))}));
    }

    void fullDisk_data()
    {
        QTest::addColumn<int>("missing");
        QTest::newRow("one byte short") << 1;
        QTest::newRow("room for exactly the report") << 0;
    }

    // A report that does not fit on the disk (a limit on the size of the files the child
    // process writes) raises with the cause and leaves no partial file; one that fits exactly is
    // written whole.
    void fullDisk()
    {
        QFETCH(int, missing);
        TestEnv env;
        clsApp::shared().MakeReportPath();
        TestEnv::AddPassword(u"Bank"_qs, u"ann"_qs, u"pw"_qs, QString(), QString(3000, u'n'));
        clsRTFPassword().Build(true);
        const QString first = reportFile(reportFiles().value(0));
        QFile written(first);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray whole = written.readAll();
        QVERIFY(QFile::remove(first));
        const QString result = FileSizeLimit::Run(whole.size() - missing, [] {
            try {
                clsRTFPassword().Build(true);
            } catch (const AppError& error) {
                return error.Description();
            }
            return QString();
        });
        if (missing == 0) {
            QCOMPARE(result, QString());
            QCOMPARE(reportFiles().size(), 1);
            return;
        }
        QVERIFY2(result.startsWith(u"Cannot complete the file \""_qs) &&
                     result.endsWith(u"\": File too large"_qs),
                 qPrintable(result));
        QCOMPARE(reportFiles(), QStringList());
    }

    // Without the report folder the error reaches the caller; nothing is shown or opened.
    void missingFolderRaises()
    {
        TestEnv env;
        try {
            clsRTFPassword().Build(true);
            QFAIL("no error raised");
        } catch (const AppError& error) {
            QCOMPARE(error.Number(), AppError::FileError);
            QVERIFY2(error.Description().contains(u"PWD_"_qs), qPrintable(error.Description()));
        }
        QVERIFY(env.messages.isEmpty() && env.launches.isEmpty());
    }
};

QTEST_MAIN(tst_Rtf)
#include "tst_rtf.moc"
