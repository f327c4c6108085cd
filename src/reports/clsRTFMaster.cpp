// The RTF report writer: document prologue, page setup, header and footer, table rows, the
// escaping of cell texts, and the comma-separated mode.
#include "reports/clsRTFMaster.h"

#include "app/FileHelper.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "platform/AppError.h"
#include "platform/Win1252.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QStringList>
#include <charconv>
#include <cmath>

namespace {

constexpr float kTwipsPerInch = 1440.0f;

// The shortest decimal text that reads back as the same single-precision value.
QString shortestText(float fValue)
{
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, fValue, std::chars_format::fixed);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

qint32 toTwips(float fInches)
{
    return static_cast<qint32>(std::lround(fInches * kTwipsPerInch));
}

// True for a character that must not be written as a plain byte: one Windows-1252 lacks
// (surrogates included) and the C1 controls, to which the converter maps the five byte values
// Windows-1252 leaves unassigned.
bool needsUnicodeEscape(char16_t ch)
{
    return (ch >= 0x80 && ch <= 0x9F) || !Win1252::fits(QStringView(&ch, 1));
}

// RTF's Unicode escape: the signed 16-bit code unit, then "?" for readers without Unicode.
// A character beyond U+FFFF arrives here as its two surrogates, one escape each.
void appendUnicodeEscape(QString& rsOut, char16_t ch)
{
    rsOut += QStringLiteral("\\u%1?").arg(static_cast<qint16>(ch));
}

// The text with every character outside Windows-1252 written as a Unicode escape; the rest is
// left as it is, so RTF words in the text keep working.
QString ansiText(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        if (needsUnicodeEscape(ch.unicode())) {
            appendUnicodeEscape(out, ch.unicode());
        } else {
            out += ch;
        }
    }
    return out;
}

// Plain text as RTF text: backslashes and braces escaped, line breaks as paragraph marks,
// control characters as escapes, characters outside Windows-1252 as Unicode escapes.
QString escapeText(QStringView text)
{
    static const QString par = QStringLiteral(" \\par ");
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i].unicode();
        switch (ch) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'{':
            out += QLatin1String("\\{");
            break;
        case u'}':
            out += QLatin1String("\\}");
            break;
        // A line break of any kind: readers drop bare CR and LF, which would glue the lines'
        // words together.
        case u'\r':
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            out += par;
            break;
        case u'\n':
            out += par;
            break;
        case u'\t':
            out += QLatin1String("\\tab ");
            break;
        default:
            if (ch < 0x20) {
                out += QStringLiteral("\\'%1").arg(int(ch), 2, 16, QLatin1Char('0'));
            } else if (needsUnicodeEscape(ch)) {
                appendUnicodeEscape(out, ch);
            } else {
                out += QChar(ch);
            }
        }
    }
    return out;
}

// The print date as "Jul 2, 2007  3:45 PM", in English whatever the system's locale.
QString printDate()
{
    return QLocale(QLocale::English, QLocale::UnitedStates)
        .toString(QDateTime::currentDateTime(), QStringLiteral("MMM d, yyyy  h:mm AP"));
}

} // namespace

clsRTFMaster::clsRTFMaster() = default;
clsRTFMaster::~clsRTFMaster() = default;

FileHelper& clsRTFMaster::fileHelper()
{
    if (!m_fileHelper) {
        m_fileHelper = std::make_unique<FileHelper>();
    }
    return *m_fileHelper;
}

void clsRTFMaster::write(const QString& sText, bool bLineEnd)
{
    fileHelper().WriteText(sText, bLineEnd ? 1 : 0, 0);
}

clsRTFCell* clsRTFMaster::RTFCell()
{
    return RTFCells.isEmpty() ? nullptr : &RTFCells.last();
}

QString clsRTFMaster::FILE_NAME_WITH_EXTENSION() const
{
    return FILE_NAME + (USE_RTF ? QStringLiteral(".rtf") : QStringLiteral(".csv"));
}

QString clsRTFMaster::FULL_FILE_NAME() const
{
    return clsApp::shared().ReportPath() + QDir::separator() + FILE_NAME_WITH_EXTENSION();
}

qint32 clsRTFMaster::TABLE_WIDTH() const
{
    const float pageWidth = LANDSCAPE ? 11.0f : 8.5f;
    return static_cast<qint32>(std::lround(
        pageWidth * kTwipsPerInch - (MARGIN_RIGHT * kTwipsPerInch + MARGIN_LEFT * kTwipsPerInch)));
}

void clsRTFMaster::RTFOpen()
{
    const QString problem = clsApp::shared().ReportPathProblem();
    if (!problem.isEmpty()) {
        throw AppError(AppError::FileError, problem);
    }
    fileHelper().OpenFile(FULL_FILE_NAME(), 2);
    if (!USE_RTF) {
        return;
    }

    // Prologue: one font, light grey and grey after the automatic colour, one style.
    write(QStringLiteral("{\\rtf1\\ansi\\deff0\\deflang1033\\viewkind1"));
    write(QStringLiteral("{\\fonttbl"));
    write(QStringLiteral("{\\f0\\froman Verdana;}}"));
    write(QStringLiteral("{\\colortbl;\\red218\\green218\\blue218;\\red194\\green194\\blue194;}"));
    write(QStringLiteral("{\\stylesheet{\\widctlpar\\adjustright\\fs20\\cgrid\\snext0 Normal;}}"),
          true);

    // Page setup: Letter, turned when landscape.
    const QString margins = QStringLiteral("\\margtsxn%1\\margbsxn%2\\marglsxn%3\\margrsxn%4")
                                .arg(toTwips(MARGIN_TOP))
                                .arg(toTwips(MARGIN_BOTTOM))
                                .arg(toTwips(MARGIN_LEFT))
                                .arg(toTwips(MARGIN_RIGHT));
    if (LANDSCAPE) {
        write(QStringLiteral("\\pghsxn12240\\pgwsxn15840") + margins +
                  QStringLiteral("\\lndscpsxn"),
              true);
    } else {
        write(margins, true);
    }
    write(QStringLiteral("\\headery") + shortestText(MARGIN_HEADER * kTwipsPerInch) +
              QStringLiteral("\\footery") + shortestText(MARGIN_FOOTER * kTwipsPerInch),
          true);

    writeHeader();
}

void clsRTFMaster::writeHeader()
{
    if (PRINT_HEADER_ICON) {
        write(QStringLiteral("{\\header \\pard\\plain \\s15\\ql "));
    }
    if (!TITLE.isEmpty()) {
        write(QStringLiteral("\\pard\\plain\\qc\\fs24 {") + ansiText(TITLE) +
              QStringLiteral(" \\par } "));
    }
    if (PRINT_HEADER_DATE) {
        write(QStringLiteral("\\pard\\qc\\fs18 {") + ansiText(printDate()) +
              QStringLiteral(" \\par }"));
    }
    if (PRINT_HEADER_ICON) {
        write(QStringLiteral("}"));
    }
    if (PRINT_FOOTER) {
        write(QStringLiteral("{\\footer \\pard\\plain\\qc\\fs20 {Page }"
                             "{\\field{\\*\\fldinst { PAGE }}{\\fldrslt {\\lang1024 1}}}{ of }"
                             "{\\field{\\*\\fldinst {NUMPAGES }}{\\fldrslt { 1}}}{ \\par }}"));
    }
    write(QStringLiteral("\\fs18"));
    if (!STATISTICS.isEmpty()) {
        write(QStringLiteral("\\qc {") + ansiText(STATISTICS) + QStringLiteral(" } \\par \\par "));
    }
}

void clsRTFMaster::FontSize(float rsFontSize)
{
    // A comma-separated file has no formatting.
    if (USE_RTF) {
        write(QStringLiteral("\\fs") + shortestText(rsFontSize * 2.0f));
    }
}

void clsRTFMaster::AddCell(qint32 lCELLX, const QString& sCOLUMN_TX, qint32 lCELL_ALIGNMENT,
                           const QString& sCELL_BORDER, bool bBOLD,
                           qint32 lCELL_VERTICAL_TEXT_ALIGNMENT)
{
    clsRTFCell cell;
    cell.CELLX = lCELLX;
    cell.COLUMN_TX = sCOLUMN_TX;
    cell.CELL_ALIGNMENT = lCELL_ALIGNMENT;
    cell.CELL_BORDER = sCELL_BORDER;
    cell.BOLD = bBOLD;
    cell.CELL_VERTICAL_TEXT_ALIGNMENT = lCELL_VERTICAL_TEXT_ALIGNMENT;
    RTFCells.append(cell);
}

void clsRTFMaster::PrintCells(bool bRowHeader, qint32 lRTF_COLOR, qint32 lRTF_HEIGHT)
{
    if (!USE_RTF) {
        printCsvRow();
        return;
    }

    QString rowDefinition = QStringLiteral("\\trowd\\trkeep");
    if (lRTF_HEIGHT != 0) {
        rowDefinition += QStringLiteral("\\trrh-") + QString::number(lRTF_HEIGHT);
    }
    if (bRowHeader) {
        rowDefinition += QStringLiteral("\\trhdr");
    }
    rowDefinition += QStringLiteral("\\trgaph90\\trleft0\\trql");
    write(rowDefinition);

    const QString padding = QStringLiteral("\\cltxlrtb\\clpadl%1\\clpadt%2\\clpadb%3\\clpadr%4"
                                           "\\clpadfl3\\clpadfb3")
                                .arg(CELL_MARGIN_LEFT)
                                .arg(CELL_MARGIN_TOP)
                                .arg(CELL_MARGIN_BOTTOM)
                                .arg(CELL_MARGIN_RIGHT);
    for (const clsRTFCell& cell : std::as_const(RTFCells)) {
        // Colour 99 means neither shading nor borders.
        if (lRTF_COLOR != 99) {
            write(QStringLiteral("\\clcbpat") + QString::number(lRTF_COLOR) + cell.CELL_BORDER);
        }
        write(padding);
        write(cell.CLVERTAL());
        write(QStringLiteral("\\cellx") + QString::number(cell.CELLX));
    }
    write(QStringLiteral("\\pard"), true);

    for (clsRTFCell& cell : RTFCells) {
        write(QStringLiteral("\\intbl") + cell.Q() + QStringLiteral("\\sb30\\sa30 ") +
              msfRTF(cell) + QStringLiteral("\\cell\\pard"));
    }
    write(QStringLiteral("\\intbl\\row"), true);
    write(QStringLiteral("\\pard"), true);
}

void clsRTFMaster::printCsvRow()
{
    QStringList texts;
    texts.reserve(RTFCells.size());
    for (const clsRTFCell& cell : std::as_const(RTFCells)) {
        texts.append(modGeneral::QuoteText(cell.COLUMN_TX));
    }
    // Marked as a line end so that the file helper ends the row with CR LF: one record per line.
    write(texts.join(QLatin1Char(',')), true);
}

void clsRTFMaster::PrintBlankCells()
{
    for (clsRTFCell& cell : RTFCells) {
        cell.COLUMN_TX.clear();
        cell.CELL_BORDER.clear();
        cell.BOLD = false;
    }
    PrintCells(false, 0, 0);
}

void clsRTFMaster::ResetCells()
{
    RTFCells.clear();
}

void clsRTFMaster::PrintRaw(const QString& rsRTF)
{
    write(ansiText(rsRTF));
}

QString clsRTFMaster::Italic(const QString& rsString) const
{
    return QStringLiteral("\\i ") + rsString + QStringLiteral(" \\i0");
}

QString clsRTFMaster::msfRTF(clsRTFCell& roRTFCell) const
{
    QString text = escapeText(roRTFCell.COLUMN_TX);
    if (roRTFCell.BOLD) {
        text = QStringLiteral("\\b ") + text + QStringLiteral("\\b0");
        roRTFCell.BOLD = false;
    }
    return text;
}

void clsRTFMaster::RTFClose()
{
    if (USE_RTF) {
        write(QStringLiteral("}"));
    }
    fileHelper().CloseFile();
}

void clsRTFMaster::Show()
{
    fileHelper().Launch(QString(), false);
}
