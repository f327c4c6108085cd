// Tests of the RTF report writer and the two reports: the written bytes against reference
// documents, escaping, row and page options, the comma-separated mode, file names and errors.
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

// Compares a written file with a reference that shows the print date as @DATE@.
void compareDocument(const QString& sPath, const QByteArray& expected)
{
    static const QRegularExpression date(
        QStringLiteral(R"([A-Z][a-z]{2} [1-9]\d?, \d{4}  (1[0-2]|[1-9]):[0-5]\d [AP]M)"));
    QFile file(sPath);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(sPath));
    const QByteArray actual =
        QString::fromLatin1(file.readAll()).replace(date, QStringLiteral("@DATE@")).toLatin1();
    qsizetype i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) {
        ++i;
    }
    QVERIFY2(actual == expected,
             qPrintable(QStringLiteral("differs at byte %1:\n  actual:   %2\n"
                                       "  expected: %3")
                            .arg(i)
                            .arg(QString::fromLatin1(actual.mid(i - 20, 90)),
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

void addPassword(const QString& sTitle, const QString& sUser, const QString& sPassword)
{
    clsPWD pwd;
    pwd.TITLE_TX = sTitle;
    pwd.USER_NM = sUser;
    pwd.PASSWORD_TX = sPassword;
    QVERIFY(pwd.Save(true));
}

void bare(clsRTFMaster& rtf)
{
    rtf.PRINT_HEADER_ICON = rtf.PRINT_HEADER_DATE = rtf.PRINT_FOOTER = false;
}

// A bold cell printed with the row options, then printed again as a plain row.
WriterStep twoRows(bool bHeading, int lColour, int lHeight)
{
    return [=](clsRTFMaster& rtf) {
        rtf.AddCell(2000, u"N"_qs, 0, QString::fromUtf16(clsRTFCell::FULL_BORDER), true);
        rtf.PrintCells(bHeading, lColour, lHeight);
        rtf.PrintCells(false, 0, 0);
    };
}

} // namespace

class tst_Rtf : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The master row and one entry, written as the reference password report.
    void referencePasswordReport()
    {
        TestEnv env;
        clsApp::shared().MakeReportPath();
        addPassword(u"master"_qs, u"me"_qs, u"master pw"_qs);
        addPassword(u"Bank {old}"_qs, u"ann"_qs, u"p\\w{1}"_qs);
        clsRTFPassword report;
        report.Build(true);

        const QStringList files = reportFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY2(QRegularExpression(u"^PWD_\\d{4}-\\d\\d-\\d\\d_\\d{6}\\.rtf$"_qs)
                     .match(files[0])
                     .hasMatch(),
                 qPrintable(files[0]));
        const QList<int> edges = {2500, 5000, 7000, 10000, 13680};
        compareDocument(reportFile(files[0]),
                        prologue() + header("Passw*rds") + R"(\fs16)" +
                            row(kHeadingRow, R"(\clcbpat2)" + kBorder, edges,
                                {R"(\b Title\b0)", R"(\b User Name\b0)", R"(\b Passw*rd\b0)",
                                 R"(\b Web URL\b0)", R"(\b Notes\b0)"}) +
                            row(kPlainRow, R"(\clcbpat0)" + kBorder, edges,
                                {R"(Bank \{old\})", "ann", R"(p\\w\{1\})", "", ""}) +
                            "}");
        QVERIFY(env.messages.isEmpty());
    }

    void fileReport_data()
    {
        QTest::addColumn<bool>("withEntries");
        QTest::newRow("empty table") << false;
        QTest::newRow("two entries") << true;
    }

    // Entries ordered by name; lines of a note as paragraphs inside the cell.
    void fileReport()
    {
        QFETCH(bool, withEntries);
        TestEnv env;
        clsApp::shared().MakeReportPath();
        const QList<int> edges = {3000, 7500, 13680};
        const QByteArray plain = R"(\clcbpat0)" + kBorder;
        QByteArray rows;
        if (withEntries) {
            for (const QString& name : {u"Work"_qs, u"Home"_qs}) {
                clsMY_FILE file;
                file.MY_FILE_NM = name;
                file.MY_FILE_PATH_TX = u"C:\\"_qs + name;
                file.NOTES_TX = name == u"Work"_qs ? u"first\r\nsecond\nthird"_qs : QString();
                QVERIFY(file.Save(true));
            }
            rows = row(kPlainRow, plain, edges, {"Home", R"(C:\\Home)", ""}) +
                   row(kPlainRow, plain, edges,
                       {"Work", R"(C:\\Work)", R"(first \par second \par third)"});
        }
        clsRTFFile report;
        report.Build(true);

        const QStringList files = reportFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY(files[0].startsWith(u"File_Folders_"_qs));
        compareDocument(reportFile(files[0]),
                        prologue() + header("File Folders") + R"(\fs16)" +
                            row(kHeadingRow, R"(\clcbpat2)" + kBorder, edges,
                                {R"(\b Name\b0)", R"(\b File Folder\b0)", R"(\b Notes\b0)"}) +
                            rows + "}");
    }

    void cellText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rtf");
        QTest::newRow("backslash and braces") << u"a\\b{c}"_qs << u"a\\\\b\\{c\\}"_qs;
        QTest::newRow("CR LF") << u"x\r\ny"_qs << u"x \\par y"_qs;
        QTest::newRow("lone LF and CR") << u"x\ny\rz"_qs << u"x \\par y \\par z"_qs;
        QTest::newRow("tab") << u"a\tb"_qs << u"a\\tab b"_qs;
        QTest::newRow("control characters") << u"a\x01z\x1f"_qs << u"a\\'01z\\'1f"_qs;
        QTest::newRow("Windows-1252 kept") << u"é€™"_qs << u"é€™"_qs;
        QTest::newRow("Cyrillic") << u"Жx"_qs << u"\\u1046?x"_qs;
        QTest::newRow("CJK") << u"日本"_qs << u"\\u26085?\\u26412?"_qs;
        QTest::newRow("above U+7FFF") << u"\uFFFD"_qs << u"\\u-3?"_qs;
        QTest::newRow("emoji surrogates") << u"😀"_qs << u"\\u-10179?\\u-8704?"_qs;
        QTest::newRow("byte Windows-1252 leaves unassigned") << u"\u0081"_qs << u"\\u129?"_qs;
    }

    // Escaping, and bold for one use only.
    void cellText()
    {
        QFETCH(QString, text);
        QFETCH(QString, rtf);
        clsRTFMaster writer;
        clsRTFCell cell;
        cell.COLUMN_TX = text;
        cell.BOLD = true;
        QCOMPARE(writer.msfRTF(cell), u"\\b "_qs + rtf + u"\\b0"_qs);
        QVERIFY(!cell.BOLD);
        QCOMPARE(writer.msfRTF(cell), rtf);
    }

    void document_data()
    {
        QTest::addColumn<WriterStep>("before");
        QTest::addColumn<WriterStep>("after");
        QTest::addColumn<QByteArray>("expected");
        const WriterStep none = [](clsRTFMaster&) {};
        const QByteArray grey = R"(\clcbpat2)" + kBorder;
        const QByteArray plainRow = row(kPlainRow, R"(\clcbpat0)" + kBorder, {2000}, {"N"});
        const QByteArray portrait = R"(\margtsxn1440\margbsxn1080\marglsxn1080\margrsxn1080)";

        QTest::newRow("title") << WriterStep([](clsRTFMaster& rtf) { rtf.TITLE = u"Report"_qs; })
                               << none << prologue() + header("Report") + "}";
        QTest::newRow("empty title")
            << none << none
            << prologue() + R"({\header \pard\plain \s15\ql \pard\qc\fs18 {@DATE@ \par }})" +
                   kFooter + R"(\fs18})";
        QTest::newRow("no header group")
            << WriterStep([](clsRTFMaster& rtf) {
                   rtf.TITLE = u"Report"_qs;
                   rtf.PRINT_HEADER_ICON = false;
               })
            << none
            << prologue() + R"(\pard\plain\qc\fs24 {Report \par } \pard\qc\fs18 {@DATE@ \par })" +
                   kFooter + R"(\fs18})";
        QTest::newRow("Windows-1252 bytes and Unicode escapes")
            << WriterStep([](clsRTFMaster& rtf) {
                   rtf.TITLE = u"Пароль €"_qs;
                   rtf.STATISTICS = u"3 × 日"_qs;
               })
            << WriterStep([](clsRTFMaster& rtf) {
                   rtf.AddCell(2000, u"é€Ж😀"_qs);
                   rtf.PrintCells(false, 99, 0);
               })
            << prologue() +
                   header(R"(\u1055?\u1072?\u1088?\u1086?\u1083?\u1100? )"
                          "\x80") +
                   "\\qc {3 \xd7 \\u26085? } \\par \\par " +
                   row(kPlainRow, "", {2000}, {"\xe9\x80\\u1046?\\u-10179?\\u-8704?"}) + "}";
        QTest::newRow("heading row, grey")
            << WriterStep(bare) << twoRows(true, 2, 0)
            << prologue() + R"(\fs18)" + row(kHeadingRow, grey, {2000}, {R"(\b N\b0)"}) + plainRow +
                   "}";
        QTest::newRow("colour 99")
            << WriterStep(bare) << twoRows(false, 99, 0)
            << prologue() + R"(\fs18)" + row(kPlainRow, "", {2000}, {R"(\b N\b0)"}) + plainRow +
                   "}";
        QTest::newRow("height 300")
            << WriterStep(bare) << twoRows(true, 2, 300)
            << prologue() + R"(\fs18)" +
                   row(R"(\trowd\trkeep\trrh-300\trhdr\trgaph90\trleft0\trql)", grey, {2000},
                       {R"(\b N\b0)"}) +
                   plainRow + "}";
        QTest::newRow("font sizes") << WriterStep(bare) << WriterStep([](clsRTFMaster& rtf) {
            rtf.FontSize(8);
            rtf.FontSize(4.1f);
        }) << prologue() + R"(\fs18\fs16\fs8.2})";
        QTest::newRow("portrait") << WriterStep([](clsRTFMaster& rtf) {
            bare(rtf);
            rtf.LANDSCAPE = false;
            QCOMPARE(rtf.TABLE_WIDTH(), 10080);
        }) << none << prologue(portrait) + R"(\fs18})";
        QTest::newRow("inch sides, quarter-inch header")
            << WriterStep([](clsRTFMaster& rtf) {
                   bare(rtf);
                   rtf.MARGIN_LEFT = rtf.MARGIN_RIGHT = 1.0f;
                   rtf.MARGIN_HEADER = rtf.MARGIN_FOOTER = 0.25f;
                   QCOMPARE(rtf.TABLE_WIDTH(), 12960);
               })
            << none
            << prologue(R"(\pghsxn12240\pgwsxn15840\margtsxn1440\margbsxn1080\marglsxn1440)"
                        R"(\margrsxn1440\lndscpsxn)",
                        R"(\headery360\footery360)") +
                   R"(\fs18})";
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
        before(rtf);
        rtf.RTFOpen();
        after(rtf);
        rtf.RTFClose();
        QCOMPARE(rtf.FULL_FILE_NAME(), reportFile(rtf.USE_RTF ? u"doc.rtf"_qs : u"doc.csv"_qs));
        compareDocument(rtf.FULL_FILE_NAME(), expected);
    }

    // The name has a resolution of one second: a second report in it replaces the first.
    void sameSecondReplaces()
    {
        TestEnv env;
        for (int attempt = 0; attempt < 5 && reportFiles().size() != 1; ++attempt) {
            QDir(clsApp::shared().ReportPath()).removeRecursively();
            clsApp::shared().MakeReportPath();
            QThread::msleep(1000 - QTime::currentTime().msec());
            clsRTFFile().Build(true);
            clsMY_FILE file;
            file.MY_FILE_NM = u"Added"_qs;
            QVERIFY(file.Save(true));
            clsRTFFile().Build(true);
        }
        const QStringList files = reportFiles();
        QCOMPARE(files.size(), 1);
        QFile file(reportFile(files[0]));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("Added"));
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

    void fileErrors_data()
    {
        QTest::addColumn<bool>("makeFolder");
        QTest::newRow("missing report folder") << false;
        QTest::newRow("name taken by a folder") << true;
    }

    // File errors reach the caller; nothing is shown or opened.
    void fileErrors()
    {
        QFETCH(bool, makeFolder);
        TestEnv env;
        if (makeFolder) {
            clsApp::shared().MakeReportPath();
            QVERIFY(QDir(clsApp::shared().ReportPath()).mkdir(u"taken.rtf"_qs));
        }
        clsRTFMaster rtf;
        rtf.FILE_NAME = u"taken"_qs;
        try {
            rtf.RTFOpen();
            rtf.RTFClose();
            QFAIL("no error raised");
        } catch (const AppError& error) {
            QCOMPARE(error.Number(), AppError::FileError);
            QVERIFY2(error.Description().contains(u"taken.rtf"_qs),
                     qPrintable(error.Description()));
        }
        if (!makeFolder) {
            clsRTFPassword report;
            QVERIFY_THROWS_EXCEPTION(AppError, report.Build(true));
        }
        QVERIFY(env.messages.isEmpty());
        QVERIFY(env.launches.isEmpty());
    }
};

QTEST_MAIN(tst_Rtf)
#include "tst_rtf.moc"
