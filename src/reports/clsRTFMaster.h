// Writes one report file: a landscape RTF document with page header, footer and tables built row
// by row from cells, or the same rows as comma-separated lines.
#pragma once

#include "reports/clsRTFCell.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

class FileHelper;

class clsRTFMaster
{
public:
    clsRTFMaster();
    ~clsRTFMaster();
    clsRTFMaster(const clsRTFMaster&) = delete;
    clsRTFMaster& operator=(const clsRTFMaster&) = delete;

    bool LANDSCAPE = true;
    // False writes comma-separated lines instead of RTF.
    bool USE_RTF = true;
    // Title and date lines inside a page-header group.
    bool PRINT_HEADER_ICON = true;
    bool PRINT_HEADER_DATE = true;
    bool PRINT_FOOTER = true;
    // The language and customs of the print date: the system's, English where it sets none.
    QLocale DATE_LOCALE = QLocale::system();
    // Page margins and header/footer distances, in inches.
    float MARGIN_TOP = 1.0f;
    float MARGIN_LEFT = 0.75f;
    float MARGIN_RIGHT = 0.75f;
    float MARGIN_BOTTOM = 0.75f;
    float MARGIN_HEADER = 0.5f;
    float MARGIN_FOOTER = 0.35f;
    // Space between a cell's border and its text, in twips.
    qint32 CELL_MARGIN_LEFT = 45;
    qint32 CELL_MARGIN_TOP = 45;
    qint32 CELL_MARGIN_BOTTOM = 45;
    qint32 CELL_MARGIN_RIGHT = 45;
    // File name without folder and extension.
    QString FILE_NAME;
    // Header title line; none when empty. Written as RTF: braces and backslashes are not escaped.
    QString TITLE;
    // Centred line below the header; none when empty. Written as RTF, like TITLE.
    QString STATISTICS;
    // The cells of the current table, in the order added; kept from row to row.
    QList<clsRTFCell> RTFCells;

    // The cell most recently added, or null when there is none.
    clsRTFCell* RTFCell();

    // FILE_NAME with ".rtf", or ".csv" in the comma-separated mode.
    QString FILE_NAME_WITH_EXTENSION() const;
    // The report folder, a separator and FILE_NAME_WITH_EXTENSION.
    QString FULL_FILE_NAME() const;
    // Page width between the margins in twips; the CELLX of a table's last column.
    qint32 TABLE_WIDTH() const;

    // Creates the file (under the next free name when the name is taken) and in RTF mode writes
    // the document's prologue, page setup, header and footer. File errors, and a report folder
    // that is a symbolic link or no folder, are raised as AppError.
    void RTFOpen();
    // "\fs" and twice the size in points (RTF mode only).
    void FontSize(float rsFontSize);
    void AddCell(qint32 lCELLX, const QString& sCOLUMN_TX, qint32 lCELL_ALIGNMENT = 0,
                 const QString& sCELL_BORDER = QString::fromUtf16(clsRTFCell::FULL_BORDER),
                 bool bBOLD = false, qint32 lCELL_VERTICAL_TEXT_ALIGNMENT = 0);
    // Writes one row from RTFCells. bRowHeader repeats the row on every page; lRTF_COLOR is the
    // colour-table index of the shading, 99 for neither shading nor borders; lRTF_HEIGHT is an
    // exact row height in twips, 0 for none.
    void PrintCells(bool bRowHeader, qint32 lRTF_COLOR, qint32 lRTF_HEIGHT);
    // Empties every cell's text and border, clears its bold, and writes the row plain.
    void PrintBlankCells();
    void ResetCells();
    // Writes RTF text as it is (characters outside Windows-1252 become Unicode escapes).
    void PrintRaw(const QString& rsRTF);
    QString Italic(const QString& rsString) const;
    // The cell's text made safe for RTF, bold when the cell's BOLD is set (which it clears).
    QString msfRTF(clsRTFCell& roRTFCell) const;
    // Ends the document and completes the file on disk.
    void RTFClose();
    // Opens the file last written by this writer with its associated program.
    void Show();

private:
    FileHelper& fileHelper();
    void write(const QString& sText, bool bLineEnd = false);
    void writeHeader();
    void printCsvRow();
    // Appends the cell's text as msfRTF gives it, clearing its BOLD.
    static void appendCellText(QString& rsOut, clsRTFCell& roRTFCell);
    // Makes m_layout the layout of a row of RTFCells with these options.
    void useLayout(bool bRowHeader, qint32 lRTF_COLOR, qint32 lRTF_HEIGHT);

    // The parts of a row that do not depend on the cells' texts, and what they were made from:
    // the rows of a table share them, so they are made again only when the layout changes.
    struct Layout
    {
        struct Cell
        {
            qint32 CELLX = 0;
            QString CELL_BORDER;
            qint32 CELL_ALIGNMENT = 0;
            qint32 CELL_VERTICAL_TEXT_ALIGNMENT = 0;
        };
        bool bRowHeader = false;
        qint32 lRTF_COLOR = 0;
        qint32 lRTF_HEIGHT = 0;
        std::array<qint32, 4> cellMargins{};
        QList<Cell> cells;
        bool built = false;
        // The row and cell definitions, up to the line end after them.
        QString definitions;
        // Per cell, what comes before its text.
        QStringList cellStarts;
    };
    Layout m_layout;
    // The row PrintCells builds, kept so that its memory serves every row.
    QString m_row;

    std::unique_ptr<FileHelper> m_fileHelper;
};
