// Builds the file-folder report: a heading row repeated on every page, then one row per entry.
#include "reports/clsRTFFile.h"

#include "app/modGeneral.h"
#include "data/clsMY_FILE.h"
#include "reports/clsRTFMaster.h"

clsRTFFile::clsRTFFile() = default;
clsRTFFile::~clsRTFFile() = default;

clsRTFMaster& clsRTFFile::RTFMaster()
{
    if (!moRTFMaster) {
        moRTFMaster = std::make_unique<clsRTFMaster>();
    }
    return *moRTFMaster;
}

void clsRTFFile::Build(bool bRTF)
{
    clsRTFMaster& rtf = RTFMaster();
    rtf.USE_RTF = bRTF;
    rtf.FILE_NAME = QStringLiteral("File_Folders_") + modGeneral::GetTimeStamp();
    rtf.TITLE = QStringLiteral("File Folders");
    rtf.RTFOpen();

    rtf.FontSize(8);
    const QString border = QString::fromUtf16(clsRTFCell::FULL_BORDER);
    rtf.ResetCells();
    rtf.AddCell(3000, QStringLiteral("Name"), 0, border, true, 0);
    rtf.AddCell(7500, QStringLiteral("File Folder"), 0, border, true, 0);
    rtf.AddCell(rtf.TABLE_WIDTH(), QStringLiteral("Notes"), 0, border, true, 0);
    rtf.PrintCells(true, 2, 0);

    clsMY_FILE reader;
    const QList<clsMY_FILE> entries = reader.OpenRecords().value_or(QList<clsMY_FILE>());
    for (const clsMY_FILE& entry : entries) {
        rtf.RTFCells[0].COLUMN_TX = entry.MY_FILE_NM;
        rtf.RTFCells[1].COLUMN_TX = entry.MY_FILE_PATH_TX;
        rtf.RTFCells[2].COLUMN_TX = entry.NOTES_TX;
        rtf.PrintCells(false, 0, 0);
    }

    rtf.RTFClose();
}

void clsRTFFile::Show()
{
    RTFMaster().Show();
}
