// The main window's commands: the command bar, the grid's context menu, the help menu, the
// keyboard shortcuts, copying on a click, delete, print, options and the refresh after a save.
#include "app/ClipboardHelper.h"
#include "app/FileHelper.h"
#include "app/modGeneral.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "platform/AppError.h"
#include "platform/Grid.h"
#include "platform/MsgBox.h"
#include "platform/VbKey.h"
#include "platform/WaitCursor.h"
#include "reports/clsRTFFile.h"
#include "reports/clsRTFPassword.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/frmAbout.h"
#include "ui/controls/usrHyperlink.h"
#include "ui/dialogs/frmFile.h"
#include "ui/dialogs/frmOptions.h"
#include "ui/dialogs/frmPassword.h"
#include "ui/main/frmMain.h"
#include "ui/main/modGrid.h"

#include <QCheckBox>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <array>
#include <utility>

namespace {

// The digit keys of the main keyboard (their key codes) and the command each runs, an index of
// linkAction: Add, Edit, Reveal, Print, Options. No digit deletes.
constexpr std::array<std::pair<int, int>, 5> kDigitCommands = {
    {{49, 0}, {50, 1}, {52, 3}, {53, 4}, {54, 5}}};
constexpr int kKeyF = 70;

// The grid's masked password column and the hidden column beside it with the plain password.
constexpr int kMaskedColumn = 3;
constexpr int kPlainColumn = 4;

} // namespace

void frmMain::createMenus()
{
    mnuHiddenRoot = new QMenu(QStringLiteral("(Hidden Root)"), this);
    const std::array<QString, 8> captions = {QStringLiteral("Edit password"),
                                             QStringLiteral("Delete password"),
                                             QStringLiteral("-"),
                                             QStringLiteral("Visit Web Site"),
                                             QStringLiteral("-"),
                                             QStringLiteral("Reveal"),
                                             QStringLiteral("Print"),
                                             QStringLiteral("Options")};
    for (std::size_t i = 0; i < captions.size(); ++i) {
        QAction* action = captions[i] == QLatin1String("-") ? mnuHiddenRoot->addSeparator()
                                                            : mnuHiddenRoot->addAction(captions[i]);
        const int index = static_cast<int>(i);
        connect(action, &QAction::triggered, this, [this, index] { mnuAction_Click(index); });
        mnuAction[i] = action;
    }

    mnuHiddenHelpRoot = new QMenu(QStringLiteral("(Hidden Help Root)"), this);
    const std::array<QString, 3> helpCaptions = {
        QStringLiteral("Open Help"), QStringLiteral("Check for Updates"), QStringLiteral("About")};
    for (std::size_t i = 0; i < helpCaptions.size(); ++i) {
        mnuHelp[i] = mnuHiddenHelpRoot->addAction(helpCaptions[i]);
        const int index = static_cast<int>(i);
        connect(mnuHelp[i], &QAction::triggered, this, [this, index] { mnuHelp_Click(index); });
    }

    for (std::size_t i = 0; i < linkAction.size(); ++i) {
        const int index = static_cast<int>(i);
        connect(linkAction[i], &usrHyperlink::Click, this,
                [this, index] { linkAction_Click(index); });
    }
    connect(linkHelp, &usrHyperlink::Click, this,
            [this] { mnuHiddenHelpRoot->popup(QCursor::pos()); });
    connect(grid, &Grid::MouseDown, this, &frmMain::grid_MouseDown);
    connect(grid, &Grid::KeyDown, this, &frmMain::grid_KeyDown);
    connect(grid, &Grid::DblClick, this, &frmMain::grid_DblClick);
    createTypeMenu();
}

void frmMain::linkAction_Click(int lIndex)
{
    mfrmFile = std::make_unique<frmFile>(this);
    mfrmPassword = std::make_unique<frmPassword>(this);
    connect(mfrmPassword.get(), &frmPassword::Change, this,
            [this](const clsPWD& roPWD) { mfrmPassword_Change(roPWD.PASSWORD_ID.toLong()); });
    connect(mfrmFile.get(), &frmFile::Change, this, [this](const clsMY_FILE& roMY_FILE) {
        mfrmFile_Change(roMY_FILE.MY_FILE_ID.toLong());
    });

    // Modal windows would open behind a topmost main window.
    const bool onTop = chkAlwaysOnTop->isChecked();
    if (onTop) {
        modGeneral::SetAlwaysOnTop(this, false);
    }
    switch (lIndex) {
    case 0:
        if (IsPasswordsTab()) {
            mfrmPassword->ADDING = true;
            mfrmPassword->PASSWORD_ID.clear();
            mfrmPassword->exec();
        } else {
            mfrmFile->ADDING = true;
            mfrmFile->MY_FILE_ID.clear();
            mfrmFile->exec();
        }
        break;
    case 1: {
        const int row = grid->GridSelectedRow();
        if (row < 1) {
            break;
        }
        const QString id = QString::number(grid->GridRowID(row));
        if (IsPasswordsTab()) {
            mfrmPassword->ADDING = false;
            mfrmPassword->PASSWORD_ID = id;
            mfrmPassword->exec();
        } else {
            mfrmFile->ADDING = false;
            mfrmFile->MY_FILE_ID = id;
            mfrmFile->exec();
        }
        break;
    }
    case 2:
        DeleteSelectedEntry();
        break;
    case 3:
        if (IsPasswordsTab()) {
            mbRevealPasswords = !mbRevealPasswords;
            linkAction[3]->setCaption(mbRevealPasswords ? QStringLiteral("Hide")
                                                        : QStringLiteral("Reveal"));
            ApplyRevealState();
        }
        break;
    case 4:
        printReport();
        break;
    case 5:
        showOptions();
        break;
    default:
        break;
    }
    if (onTop) {
        modGeneral::SetAlwaysOnTop(this, true);
    }
}

void frmMain::printReport()
{
    // The report lives until the command ends; a report that cannot be written opens nothing.
    try {
        WaitCursor busy;
        if (IsPasswordsTab()) {
            clsRTFPassword report;
            report.Build(true);
            report.Show();
        } else {
            clsRTFFile report;
            report.Build(true);
            report.Show();
        }
    } catch (const AppError& error) {
        MsgBox::Show(QStringLiteral("The report could not be written.\r\n\r\n") +
                         error.Description(),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
    }
}

void frmMain::showOptions()
{
    {
        frmOptions options(this);
        options.exec();
    }
    tabs_TabSelected(tabs->currentIndex() + 1);
    grid->setFocus();
    txtSearch->setText(QString());
    // The emptied box has lost the focus to the list: it shows its resting text.
    txtSearch_LostFocus();
    // A changed idle time and shortcut take effect at once.
    ApplyIdleSetting();
    ApplyAutoTypeShortcut();
}

void frmMain::DeleteSelectedEntry()
{
    if (grid->GridSelectionCount() != 1) {
        return;
    }
    const bool passwords = IsPasswordsTab();
    // The entry as listed when the user chose it: the list may be read again meanwhile.
    const long id = grid->GridRowID(grid->GridSelectedRow());
    const QStringList asListed = m_listedRows.value(id, {QString::number(id)});
    const int answer =
        MsgBox::Show(passwords ? QStringLiteral("Delete Password?")
                               : QStringLiteral("Delete File Folder from KeyCask?"),
                     MsgBox::vbYesNo | MsgBox::vbQuestion, QStringLiteral("Delete"), this);
    if (answer != MsgBox::vbYes) {
        return;
    }
    const bool deleted =
        passwords ? clsPWD::DeleteStoredRow(asListed) : clsMY_FILE::DeleteStoredRow(asListed);
    if (deleted) {
        for (int row = grid->GridRowCount(); row >= 1; --row) {
            if (grid->GridRowID(row) == id) {
                grid->GridRemoveRow(row);
                m_listedRows.remove(id);
            }
        }
    } else {
        // What the file holds now, another program's change included.
        tabs_TabSelected(tabs->currentIndex() + 1);
        txtSearch_Change();
    }
    grid->setFocus();
    UpdateCommandStates();
}

void frmMain::CheckForUpdates()
{
    FileHelper::shared().Launch(
        QString::fromUtf16(modGeneral::WEB_HOST) + QStringLiteral("/keycask/updates"), false);
}

void frmMain::imgQuillonSoftware_Click()
{
    FileHelper::shared().Launch(QString::fromUtf16(modGeneral::WEB_HOST), false);
}

void frmMain::grid_MouseDown(int lButton, int /*lShift*/, int x, int y)
{
    int row = 0;
    int column = 0;
    modGeneral::IgnoreErrors([&] { grid->GridCellFromPoint(x, y, row, column); });
    int selected = 0;
    modGeneral::IgnoreErrors([&] { selected = grid->GridSelectedRow(); });
    if (selected > 0) {
        if (lButton == 1) {
            modGeneral::IgnoreErrors([] { ClipboardHelper::shared().Clear(); });
            modGeneral::IgnoreErrors([&] {
                if (row != selected || column < 1) {
                    return;
                }
                // The masked column copies the plain password beside it, marked as a secret.
                if (IsPasswordsTab() && column == kMaskedColumn) {
                    ClipboardHelper::shared().CopyText(grid->GridCellText(row, kPlainColumn), true);
                } else {
                    ClipboardHelper::shared().CopyText(grid->GridCellText(row, column), false);
                }
            });
        } else if (lButton == 2) {
            modGeneral::IgnoreErrors([&] {
                if (IsPasswordsTab()) {
                    clsPWD entry;
                    entry.OpenRecord(QString::number(grid->GridRowID(selected)));
                    mnuAction[3]->setEnabled(!entry.WEB_SITE_TX.isEmpty());
                    mnuAction[0]->setText(QStringLiteral("Edit password"));
                    mnuAction[1]->setText(QStringLiteral("Delete password"));
                    mnuAction[3]->setText(QStringLiteral("Visit web site"));
                    mnuAction[5]->setVisible(true);
                    mnuAction[5]->setText(linkAction[3]->Caption());
                } else {
                    mnuAction[0]->setText(QStringLiteral("Edit file folder"));
                    mnuAction[1]->setText(QStringLiteral("Delete file folder"));
                    mnuAction[3]->setText(QStringLiteral("Open file folder"));
                    mnuAction[3]->setEnabled(true);
                    mnuAction[5]->setVisible(false);
                }
                mnuHiddenRoot->popup(QCursor::pos());
            });
        }
    }
    UpdateCommandStates();
}

void frmMain::mnuAction_Click(int lIndex)
{
    switch (lIndex) {
    case 0:
        linkAction_Click(1);
        break;
    case 1:
        linkAction_Click(2);
        break;
    case 3:
        openSelectedTarget();
        break;
    case 5:
        linkAction_Click(3);
        break;
    case 6:
        linkAction_Click(4);
        break;
    case 7:
        linkAction_Click(5);
        break;
    default:
        break;
    }
}

void frmMain::openSelectedTarget()
{
    const int row = grid->GridSelectedRow();
    if (row < 1) {
        return;
    }
    const QString id = QString::number(grid->GridRowID(row));
    QString target;
    if (IsPasswordsTab()) {
        clsPWD entry;
        entry.OpenRecord(id);
        target = entry.WEB_SITE_TX;
    } else {
        clsMY_FILE entry;
        entry.OpenRecord(id);
        target = entry.MY_FILE_PATH_TX;
    }
    // An empty target would open the last report instead: there is nothing to open.
    if (!target.isEmpty()) {
        FileHelper::shared().Launch(target, false);
    }
}

void frmMain::mnuHelp_Click(int lIndex)
{
    switch (lIndex) {
    case 0:
        modGeneral::ShowHelpTopic(1);
        break;
    case 1:
        CheckForUpdates();
        break;
    case 2: {
        frmAbout about(this);
        about.exec();
        break;
    }
    default:
        break;
    }
}

bool frmMain::Form_KeyDown(int lKeyCode, int lShift)
{
    if (IsLocked()) {
        return false;
    }
    for (const auto& [key, command] : kDigitCommands) {
        if (lKeyCode == key) {
            linkAction_Click(command);
            return true;
        }
    }
    switch (lKeyCode) {
    case VbKey::vbKeyF1:
        modGeneral::ShowHelpTopic(1);
        return true;
    case VbKey::vbKeyScrollLock:
        LockWindow();
        return true;
    case kKeyF:
        if (lShift & VbKey::vbCtrlMask) {
            txtSearch->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void frmMain::grid_KeyDown(int lKeyCode, int lShift)
{
    if (grid->GridSelectionCount() != 1) {
        return;
    }
    constexpr int kKeyV = 86;
    constexpr int kKeyP = 80;
    if ((lKeyCode == kKeyV || lKeyCode == kKeyP) &&
        lShift == (VbKey::vbCtrlMask | VbKey::vbShiftMask)) {
        TypeSelectedEntry(lKeyCode == kKeyV);
    } else if (lKeyCode == VbKey::vbKeyReturn) {
        linkAction_Click(1);
    } else if (lKeyCode == VbKey::vbKeyDelete) {
        linkAction_Click(2);
    }
}

void frmMain::grid_DblClick()
{
    if (grid->GridSelectionCount() == 1) {
        linkAction_Click(1);
    }
}

void frmMain::mfrmPassword_Change(long lID)
{
    FillPasswordGrid();
    modGrid::SelectRowByID(grid, lID);
}

void frmMain::mfrmFile_Change(long lID)
{
    FillFileGrid();
    modGrid::SelectRowByID(grid, lID);
}
