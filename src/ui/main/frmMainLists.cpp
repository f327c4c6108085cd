// The main window's lists: building the password and file-folder lists in the grid, masking
// and revealing passwords, the tabs, the search box and the column events.
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "platform/Grid.h"
#include "platform/SecretText.h"
#include "platform/SettingsStore.h"
#include "ui/controls/usrHyperlink.h"
#include "ui/main/frmMain.h"
#include "ui/main/modGrid.h"

#include <QLineEdit>
#include <QScreen>
#include <QTabBar>
#include <algorithm>

namespace {

const QColor kNotesColor(0, 0, 255);

bool notesOwnColumn()
{
    try {
        return clsApp::shared().ShowNotesOwnColumn();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

int frmMain::storedColumnWidth(const QString& sKey, int lDefault) const
{
    // A width edited by hand into something that is no width falls back to the default; a column
    // is never narrower than 5 pixels nor wider than a few screens.
    constexpr int kMinWidth = 5;
    constexpr int kScreens = 4;
    try {
        const auto width = clsApp::TextToNumber(SettingsStore::shared().GetStoredSetting(
            modGeneral::GetFormKeyPath(this), sKey, QString::number(lDefault)));
        if (!width) {
            return lDefault;
        }
        const QScreen* screen = this->screen();
        const int widest = kScreens * std::max(lDefault, screen ? screen->geometry().width() : 0);
        return qRound(std::clamp<double>(*width, kMinWidth, widest));
    } catch (const std::exception&) {
        return lDefault;
    }
}

void frmMain::FillPasswordGrid()
{
    const bool ownColumn = notesOwnColumn();
    m_notesOwnColumn = ownColumn;
    grid->GridRedraw(false);
    grid->GridClear(true);
    m_listedRows.clear();
    grid->GridAddColumn(QStringLiteral("TITLE_TX"), QStringLiteral("Title"),
                        storedColumnWidth(QStringLiteral("TITLE_TX"), 85));
    grid->GridAddColumn(QStringLiteral("USER_NM"), QStringLiteral("User Name"),
                        storedColumnWidth(QStringLiteral("USER_NM"), 85), true, false,
                        Grid::SortTextNoCase);
    grid->GridAddColumn(QStringLiteral("PASSWORD_TX"), QStringLiteral("Password"),
                        storedColumnWidth(QStringLiteral("PASSWORD_TX"), 65), true, false,
                        Grid::SortTextNoCase);
    grid->GridAddColumn(QStringLiteral("PASSWORD_TX_HIDDEN"), QString(), -1, false);
    grid->GridAddColumn(QStringLiteral("WEB_SITE_TX"), QStringLiteral("Site"), -1, false);
    grid->GridAddColumn(QStringLiteral("NOTES_TX"), QStringLiteral("Notes"), 275, true, !ownColumn);
    const int titleColumn = grid->GridColumnIndex(QStringLiteral("TITLE_TX"));
    grid->setKeySearchColumn(titleColumn);
    if (!ownColumn) {
        grid->setRowTextStartColumn(titleColumn);
    }
    grid->SetHeaders();

    // One entry at a time: the list keeps its own copy of the texts, and the password read is
    // zeroed after each row.
    clsPWD().ReadRecords([this](const clsPWD& record) { AddPasswordRow(record); });
    if (grid->GridRowCount() > 0 && !ownColumn) {
        modGrid::AutoSizeRowHeights(grid, grid->GridRowTextColumn());
    }
    // What reading the entries took for a moment is given back.
    SecretText::DropFreedMemory();
    grid->GridRedraw(true);
}

void frmMain::AddPasswordRow(const clsPWD& roPWD)
{
    grid->GridAddRow(roPWD.PASSWORD_ID);
    m_listedRows.insert(roPWD.PASSWORD_ID.toLong(), roPWD.StoredRow());
    const int r = grid->GridRowCount();
    grid->GridSetCell(r, 1, roPWD.TITLE_TX);
    grid->GridSetCell(r, 2, roPWD.USER_NM);
    grid->GridSetCell(r, 3, PASSWORD_MASK);
    grid->GridSetCell(r, 4, roPWD.PASSWORD_TX);
    grid->GridSetCell(r, 5, roPWD.WEB_SITE_TX);
    grid->GridSetCell(r, 6, roPWD.NOTES_TX,
                      m_notesOwnColumn ? Grid::DT_END_ELLIPSIS : Grid::DT_WORDBREAK, kNotesColor);
}

void frmMain::FillFileGrid()
{
    const bool ownColumn = notesOwnColumn();
    m_notesOwnColumn = ownColumn;
    grid->GridRedraw(false);
    grid->GridClear(true);
    m_listedRows.clear();
    grid->GridAddColumn(QStringLiteral("MY_FILE_NM"), QStringLiteral("Name"),
                        storedColumnWidth(QStringLiteral("MY_FILE_NM"), 85));
    grid->GridAddColumn(QStringLiteral("MY_FILE_PATH_TX"), QStringLiteral("Path"),
                        storedColumnWidth(QStringLiteral("MY_FILE_PATH_TX"), 85));
    grid->GridAddColumn(QStringLiteral("NOTES_TX"), QStringLiteral("Notes"), 275, true, !ownColumn);
    const int nameColumn = grid->GridColumnIndex(QStringLiteral("MY_FILE_NM"));
    grid->setKeySearchColumn(nameColumn);
    if (!ownColumn) {
        grid->setRowTextStartColumn(nameColumn);
    }
    grid->SetHeaders();

    const auto records = clsMY_FILE().OpenRecords();
    if (records) {
        for (const clsMY_FILE& record : *records) {
            AddFileRow(record);
        }
    }
    if (grid->GridRowCount() > 0) {
        modGrid::AutoSizeRowHeights(grid, grid->GridRowTextColumn());
    }
    grid->GridRedraw(true);
}

void frmMain::AddFileRow(const clsMY_FILE& roMY_FILE)
{
    grid->GridAddRow(roMY_FILE.MY_FILE_ID);
    m_listedRows.insert(roMY_FILE.MY_FILE_ID.toLong(), roMY_FILE.StoredRow());
    const int r = grid->GridRowCount();
    grid->GridSetCell(r, 1, roMY_FILE.MY_FILE_NM);
    grid->GridSetCell(r, 2, roMY_FILE.MY_FILE_PATH_TX);
    grid->GridSetCell(r, 3, roMY_FILE.NOTES_TX, Grid::DT_WORDBREAK, kNotesColor);
}

void frmMain::ApplyRevealState()
{
    for (int i = 1; i <= grid->GridRowCount(); ++i) {
        // Within the list's own store: the plain password is not copied out.
        grid->setGridCellText(
            i, 3, mbRevealPasswords ? grid->GridCellView(i, 4) : QStringView(PASSWORD_MASK));
    }
}

bool frmMain::IsPasswordsTab() const
{
    return tabs->currentIndex() == 0;
}

void frmMain::UpdateCommandStates()
{
    const bool one = grid->GridSelectionCount() == 1;
    linkAction[1]->setEnabled(one);
    linkAction[2]->setEnabled(one);
    linkAction[3]->setEnabled(IsPasswordsTab());
}

void frmMain::tabs_TabSelected(int lIndex)
{
    if (IsLocked()) {
        // The lock emptied the list; the unlock builds the list of the tab chosen then.
        UpdateCommandStates();
        return;
    }
    if (lIndex == 1 && !mbLoading) {
        FillPasswordGrid();
    } else {
        FillFileGrid();
    }
    UpdateCommandStates();
}

void frmMain::txtSearch_Change()
{
    const QString text = txtSearch->text();
    const bool placeholder = text == SEARCH_PLACEHOLDER;
    QPalette pal = txtSearch->palette();
    pal.setColor(QPalette::Text,
                 palette().color(placeholder ? QPalette::PlaceholderText : QPalette::WindowText));
    txtSearch->setPalette(pal);
    QFont searchFont = txtSearch->font();
    searchFont.setItalic(placeholder);
    txtSearch->setFont(searchFont);
    if (!placeholder) {
        long count = 0;
        modGrid::FilterGrid(grid, text, grid->GridColumnCount(), count);
        // Rows shown again may have been hidden while the list's width changed.
        scheduleRowHeightFit();
    }
}

void frmMain::txtSearch_GotFocus()
{
    if (txtSearch->text().trimmed() == SEARCH_PLACEHOLDER) {
        txtSearch->setText(QString());
    }
    modGeneral::SelectAllText(txtSearch);
}

void frmMain::txtSearch_LostFocus()
{
    if (txtSearch->text().trimmed().isEmpty()) {
        txtSearch->setText(SEARCH_PLACEHOLDER);
    }
}

void frmMain::grid_ColumnClick(int lColumn)
{
    modGrid::SortGrid(grid, lColumn);
}

void frmMain::grid_ColumnWidthChanged(int lColumn, int lWidth)
{
    try {
        SettingsStore::shared().SaveStoredSetting(modGeneral::GetFormKeyPath(this),
                                                  grid->GridColumnKey(lColumn),
                                                  QString::number(std::max(5, lWidth)));
    } catch (const std::exception&) {
    }
}
