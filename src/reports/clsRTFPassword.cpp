// Builds the password report: a heading row repeated on every page, then one row per entry.
#include "reports/clsRTFPassword.h"

#include "app/modGeneral.h"
#include "data/clsPWD.h"
#include "reports/clsRTFMaster.h"

clsRTFPassword::clsRTFPassword() = default;
clsRTFPassword::~clsRTFPassword() = default;

clsRTFMaster& clsRTFPassword::RTFMaster()
{
    if (!moRTFMaster) {
        moRTFMaster = std::make_unique<clsRTFMaster>();
    }
    return *moRTFMaster;
}

void clsRTFPassword::Build(bool bRTF)
{
    clsRTFMaster& rtf = RTFMaster();
    rtf.USE_RTF = bRTF;
    rtf.FILE_NAME = QStringLiteral("PWD_") + modGeneral::GetTimeStamp();
    rtf.TITLE = QStringLiteral("Passw*rds");
    rtf.RTFOpen();

    rtf.FontSize(8);
    const QString border = QString::fromUtf16(clsRTFCell::FULL_BORDER);
    rtf.ResetCells();
    rtf.AddCell(2500, QStringLiteral("Title"), 0, border, true, 0);
    rtf.AddCell(5000, QStringLiteral("User Name"), 0, border, true, 0);
    rtf.AddCell(7000, QStringLiteral("Passw*rd"), 0, border, true, 0);
    rtf.AddCell(10000, QStringLiteral("Web URL"), 0, border, true, 0);
    rtf.AddCell(rtf.TABLE_WIDTH(), QStringLiteral("Notes"), 0, border, true, 0);
    rtf.PrintCells(true, 2, 0);

    clsPWD reader;
    const QList<clsPWD> entries = reader.OpenRecords().value_or(QList<clsPWD>());
    for (const clsPWD& entry : entries) {
        rtf.RTFCells[0].COLUMN_TX = entry.TITLE_TX;
        rtf.RTFCells[1].COLUMN_TX = entry.USER_NM;
        rtf.RTFCells[2].COLUMN_TX = entry.PASSWORD_TX;
        rtf.RTFCells[3].COLUMN_TX = entry.WEB_SITE_TX;
        rtf.RTFCells[4].COLUMN_TX = entry.NOTES_TX;
        rtf.PrintCells(false, 0, 0);
    }

    rtf.RTFClose();
}

void clsRTFPassword::Show()
{
    RTFMaster().Show();
}
