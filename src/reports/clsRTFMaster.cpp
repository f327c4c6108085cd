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
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

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
    char buffer[16] = "\\u";
    auto* end = std::to_chars(buffer + 2, buffer + sizeof buffer - 1, static_cast<qint16>(ch)).ptr;
    *end++ = '?';
    rsOut.append(QLatin1StringView(buffer, end - buffer));
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

// How a character below 0x80 is written inside a cell: empty when as it is, else its RTF
// text (backslashes and braces escaped, line breaks as paragraph marks, tabs as tab words, the
// other control characters as hexadecimal escapes).
class AsciiEscapes
{
public:
    AsciiEscapes()
    {
        for (int ch = 0; ch < 0x20; ++ch) {
            std::snprintf(m_hex[ch], sizeof m_hex[ch], "\\'%02x", ch);
            m_text[ch] = QLatin1StringView(m_hex[ch]);
        }
        // A line break of any kind: readers drop bare CR and LF, which would glue the lines'
        // words together.
        m_text[u'\r'] = m_text[u'\n'] = QLatin1StringView(" \\par ");
        m_text[u'\t'] = QLatin1StringView("\\tab ");
        m_text[u'\\'] = QLatin1StringView("\\\\");
        m_text[u'{'] = QLatin1StringView("\\{");
        m_text[u'}'] = QLatin1StringView("\\}");
    }

    QLatin1StringView operator[](char16_t ch) const { return m_text[ch]; }

private:
    char m_hex[0x20][5];
    std::array<QLatin1StringView, 0x80> m_text{};
};

// Appends plain text as RTF text: the characters of AsciiEscapes replaced, characters outside
// Windows-1252 as Unicode escapes. Runs of characters written as they are go in one piece.
void appendEscaped(QString& rsOut, QStringView text)
{
    static const AsciiEscapes escapes;
    const char16_t* chars = text.utf16();
    const qsizetype size = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t ch = chars[i];
        const bool special = ch < 0x80 ? !escapes[ch].isEmpty() : needsUnicodeEscape(ch);
        if (!special) {
            continue;
        }
        rsOut.append(QStringView(chars + runStart, i - runStart));
        if (ch >= 0x80) {
            appendUnicodeEscape(rsOut, ch);
        } else {
            // CR LF is one line break.
            if (ch == u'\r' && i + 1 < size && chars[i + 1] == u'\n') {
                ++i;
            }
            rsOut.append(escapes[ch]);
        }
        runStart = i + 1;
    }
    rsOut.append(QStringView(chars + runStart, size - runStart));
}

// Appends a whole number in decimal.
void appendNumber(QString& rsOut, qint32 lValue)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, lValue);
    rsOut.append(QLatin1StringView(buffer, result.ptr - buffer));
}

// The print date in the locale's words and order, without the weekday and with the month's short
// name ("Jul 2, 2007  3:45 PM", "2. Juli 2007  15:45"). The C locale, no choice, writes English.
QString printDate(QLocale locale)
{
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    }
    static const QRegularExpression weekday(QStringLiteral(R"(dddd[,.]?\s*|[,\s]*dddd)"));
    const QString format = locale.dateFormat(QLocale::LongFormat)
                               .remove(weekday)
                               .replace(QStringLiteral("MMMM"), QStringLiteral("MMM"))
                               .trimmed();
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), format) + QStringLiteral("  ") +
           locale.toString(now.time(), QLocale::ShortFormat);
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
        write(QStringLiteral("\\pard\\qc\\fs18 {") + ansiText(printDate(DATE_LOCALE)) +
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

void clsRTFMaster::useLayout(bool bRowHeader, qint32 lRTF_COLOR, qint32 lRTF_HEIGHT)
{
    Layout& layout = m_layout;
    const std::array<qint32, 4> margins = {CELL_MARGIN_LEFT, CELL_MARGIN_TOP, CELL_MARGIN_BOTTOM,
                                           CELL_MARGIN_RIGHT};
    const auto sameCell = [](const clsRTFCell& cell, const Layout::Cell& made) {
        return cell.CELLX == made.CELLX && cell.CELL_BORDER == made.CELL_BORDER &&
               cell.CELL_ALIGNMENT == made.CELL_ALIGNMENT &&
               cell.CELL_VERTICAL_TEXT_ALIGNMENT == made.CELL_VERTICAL_TEXT_ALIGNMENT;
    };
    if (layout.built && layout.bRowHeader == bRowHeader && layout.lRTF_COLOR == lRTF_COLOR &&
        layout.lRTF_HEIGHT == lRTF_HEIGHT && layout.cellMargins == margins &&
        std::equal(RTFCells.cbegin(), RTFCells.cend(), layout.cells.cbegin(), layout.cells.cend(),
                   sameCell)) {
        return;
    }

    layout.bRowHeader = bRowHeader;
    layout.lRTF_COLOR = lRTF_COLOR;
    layout.lRTF_HEIGHT = lRTF_HEIGHT;
    layout.cellMargins = margins;
    layout.cells.clear();
    layout.cellStarts.clear();
    QString& row = layout.definitions;
    row = QStringLiteral("\\trowd\\trkeep");
    if (lRTF_HEIGHT != 0) {
        row += QLatin1StringView("\\trrh-");
        appendNumber(row, lRTF_HEIGHT);
    }
    if (bRowHeader) {
        row += QLatin1StringView("\\trhdr");
    }
    row += QLatin1StringView("\\trgaph90\\trleft0\\trql");
    for (const clsRTFCell& cell : std::as_const(RTFCells)) {
        layout.cells.append(
            {cell.CELLX, cell.CELL_BORDER, cell.CELL_ALIGNMENT, cell.CELL_VERTICAL_TEXT_ALIGNMENT});
        // Colour 99 means neither shading nor borders.
        if (lRTF_COLOR != 99) {
            row += QLatin1StringView("\\clcbpat");
            appendNumber(row, lRTF_COLOR);
            row += cell.CELL_BORDER;
        }
        row += QLatin1StringView("\\cltxlrtb\\clpadl");
        appendNumber(row, CELL_MARGIN_LEFT);
        row += QLatin1StringView("\\clpadt");
        appendNumber(row, CELL_MARGIN_TOP);
        row += QLatin1StringView("\\clpadb");
        appendNumber(row, CELL_MARGIN_BOTTOM);
        row += QLatin1StringView("\\clpadr");
        appendNumber(row, CELL_MARGIN_RIGHT);
        row += QLatin1StringView("\\clpadfl3\\clpadfb3");
        row += cell.CLVERTAL();
        row += QLatin1StringView("\\cellx");
        appendNumber(row, cell.CELLX);
        layout.cellStarts.append(QStringLiteral("\\intbl") + cell.Q() +
                                 QStringLiteral("\\sb30\\sa30 "));
    }
    row += QLatin1StringView("\\pard\r\n");
    layout.built = true;
}

void clsRTFMaster::PrintCells(bool bRowHeader, qint32 lRTF_COLOR, qint32 lRTF_HEIGHT)
{
    if (!USE_RTF) {
        printCsvRow();
        return;
    }

    // The row is built in one buffer, kept from row to row, and written in one piece: the
    // same text as its parts written one after the other.
    useLayout(bRowHeader, lRTF_COLOR, lRTF_HEIGHT);
    QString& row = m_row;
    row.resize(0);
    row += m_layout.definitions;
    for (qsizetype i = 0; i < RTFCells.size(); ++i) {
        row += m_layout.cellStarts[i];
        appendCellText(row, RTFCells[i]);
        row += QLatin1StringView("\\cell\\pard");
    }
    row += QLatin1StringView("\\intbl\\row\r\n\\pard\r\n");
    write(row);
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
    QString text;
    appendCellText(text, roRTFCell);
    return text;
}

void clsRTFMaster::appendCellText(QString& rsOut, clsRTFCell& roRTFCell)
{
    const bool bold = roRTFCell.BOLD;
    if (bold) {
        rsOut += QLatin1StringView("\\b ");
    }
    appendEscaped(rsOut, roRTFCell.COLUMN_TX);
    if (bold) {
        rsOut += QLatin1StringView("\\b0");
        roRTFCell.BOLD = false;
    }
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
