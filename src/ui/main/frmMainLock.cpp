// The main window's protection and tray life: locking behind the master password, unlocking,
// minimising to the tray with its menu and one-time balloon, and coming back from it.
#include "app/ClipboardHelper.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modProtection.h"
#include "platform/Grid.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/frmAbout.h"
#include "ui/dialogs/frmHealth.h"
#include "ui/dialogs/frmPassword.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"
#include "ui/main/modGrid.h"
#include "ui/tray/frmSystemTray.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {

// The tray menu, in the order of its indexes.
enum TrayItem {
    trayOpen = 0,
    trayUpdates = 1,
    trayAbout = 2,
    trayExit = 4,
};

const QString kBalloonMessage =
    QStringLiteral("KeyCask is in the System Tray.\r\nClick icon for popup menu.");

} // namespace

qint64 frmMain::idleNow()
{
    if (frmMain::IdleClock) {
        return frmMain::IdleClock();
    }
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    return clock.elapsed();
}

void frmMain::ApplyIdleSetting()
{
    m_idleMinutes = 0;
    modGeneral::IgnoreErrors([this] { m_idleMinutes = clsApp::shared().IdleLockMinutes(); });
    m_lastInputMs = idleNow();
    if (!m_idleCheck) {
        m_idleCheck = new QTimer(this);
        m_idleCheck->setInterval(1000);
        connect(m_idleCheck, &QTimer::timeout, this, &frmMain::CheckIdle);
    }
    if (m_idleMinutes > 0) {
        m_idleCheck->start();
    } else {
        m_idleCheck->stop();
    }
}

void frmMain::CheckIdle()
{
    if (m_idleMinutes <= 0 || IsLocked() ||
        idleNow() - m_lastInputMs < qint64(m_idleMinutes) * 60000) {
        return;
    }
    LockWindow();
}

void frmMain::hideModalWindows()
{
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    // The plain widget hide: a dialog's own hide would end its modal loop and throw away what
    // was typed in it. Hidden, it no longer blocks this window's lock panel.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == this) {
            break;
        }
        modal->QWidget::setVisible(false);
        m_hiddenModals.emplace_back(modal);
    }
}

void frmMain::showModalWindows()
{
    const auto hidden = std::move(m_hiddenModals);
    m_hiddenModals.clear();
    for (auto it = hidden.crbegin(); it != hidden.crend(); ++it) {
        if (QWidget* modal = it->data()) {
            modal->QWidget::setVisible(true);
            modal->raise();
            modal->activateWindow();
        }
    }
}

bool frmMain::IsLocked() const
{
    return picLock->isVisibleTo(this);
}

void frmMain::LockWindow()
{
    // The health report holds every plain password: it closes rather than waiting behind the
    // lock. An open editor or dialog would show what the lock hides; it comes back after the
    // unlock.
    frmHealth::CloseAll();
    hideModalWindows();
    frmLogin::WipeBox(txtPassword);
    modGeneral::IgnoreErrors([this] { chkLock->setChecked(clsApp::shared().LockOnMinimize()); });
    picLock->setVisible(true);
    picTop->setEnabled(false);
    picBottom->setEnabled(false);
    txtSearch->setVisible(false);
    grid->setVisible(false);
    forgetSecrets();
}

void frmMain::forgetSecrets()
{
    // The list: its texts are zeroed as it is emptied; how it was shown is kept for the unlock.
    if (!m_lockedList.emptied) {
        LockedList state;
        state.emptied = true;
        modGeneral::IgnoreErrors([&] {
            for (int c = 1; c <= grid->GridColumnCount(); ++c) {
                state.columnOrders.push_back(grid->GridSortOrder(c));
            }
            state.sortKeys = grid->GridSortSpec();
            const int selected = grid->GridSelectedRow();
            if (selected > 0) {
                state.selectedID = grid->GridRowID(selected);
                state.hadSelection = true;
            }
            // A list built again after Reveal shows its rows masked: each row's own state counts.
            if (IsPasswordsTab()) {
                for (int r = 1; r <= grid->GridRowCount(); ++r) {
                    if (grid->GridCellView(r, 3) != PASSWORD_MASK) {
                        state.revealedIDs.push_back(grid->GridRowID(r));
                    }
                }
                std::sort(state.revealedIDs.begin(), state.revealedIDs.end());
            }
            state.scrollX = grid->horizontalScrollBar()->value();
            state.scrollY = grid->verticalScrollBar()->value();
        });
        m_lockedList = std::move(state);
        grid->GridClear(true);
        m_listedRows.clear();
    }
    // The password editor: one still open behind the lock keeps its own fields, so that nothing
    // typed is lost, but not the lists of every stored user name and password; one already
    // closed goes altogether.
    if (mfrmPassword) {
        if (mfrmPassword->isVisible() || std::any_of(m_hiddenModals.cbegin(), m_hiddenModals.cend(),
                                                     [this](const QPointer<QWidget>& w) {
                                                         return w.data() == mfrmPassword.get();
                                                     })) {
            mfrmPassword->WipeLists();
        } else {
            mfrmPassword.reset();
        }
    }
    // A password copied from the list does not outlast the lock, on the clipboard or in memory.
    ClipboardHelper::shared().ForgetPassword();
    clsPWD::Master().SealPassword();
    SecretText::DropFreedMemory();
}

void frmMain::restoreList()
{
    if (!m_lockedList.emptied) {
        return;
    }
    const LockedList state = std::exchange(m_lockedList, LockedList());
    if (IsPasswordsTab()) {
        FillPasswordGrid();
    } else {
        FillFileGrid();
    }
    grid->GridRedraw(false);
    modGeneral::IgnoreErrors([&] {
        const int columns = std::min<int>(grid->GridColumnCount(), int(state.columnOrders.size()));
        for (int c = 1; c <= columns; ++c) {
            grid->setGridSortOrder(c, state.columnOrders[std::size_t(c - 1)]);
        }
    });
    if (state.sortKeys.Count() > 0) {
        modGeneral::IgnoreErrors([&] {
            grid->GridSortSpec() = state.sortKeys;
            grid->GridSort();
        });
    }
    // Never more shown in clear than before the lock.
    if (IsPasswordsTab()) {
        for (int r = 1; r <= grid->GridRowCount(); ++r) {
            if (std::binary_search(state.revealedIDs.cbegin(), state.revealedIDs.cend(),
                                   grid->GridRowID(r))) {
                grid->setGridCellText(r, 3, grid->GridCellView(r, 4));
            }
        }
    }
    grid->GridRedraw(true);
    // A query in the search box filters the list again, which clears the selection; then the
    // entry selected before the lock is selected again.
    if (txtSearch->text() != SEARCH_PLACEHOLDER) {
        txtSearch_Change();
    }
    if (state.hadSelection) {
        modGrid::SelectRowByID(grid, state.selectedID);
    }
    grid->horizontalScrollBar()->setValue(state.scrollX);
    grid->verticalScrollBar()->setValue(state.scrollY);
    UpdateCommandStates();
}

void frmMain::cmdUnlock_Click()
{
    if (m_foreignFile) {
        // The file another program put in place opens with its own master password only; the
        // list is then read from it.
        if (!modProtection::AcceptReplacedFile(txtPassword->text())) {
            MsgBox::Show(frmLogin::WRONG_PASSWORD_MESSAGE, MsgBox::vbExclamation | MsgBox::vbOKOnly,
                         QString(), this);
            return;
        }
        m_foreignFile = false;
    }
    // A data file replaced while the window was locked is loaded before the list is read again;
    // one that opens with another master password keeps the window locked until that is typed.
    clsDB::shared().CheckForReplacement();
    if (m_foreignFile) {
        frmLogin::WipeBox(txtPassword);
        return;
    }
    // The typed master password is not kept.
    frmLogin::WipeBox(txtPassword);
    clsPWD::Master().UnsealPassword();
    restoreList();
    if (mfrmPassword) {
        mfrmPassword->RefillLists();
    }
    picLock->setVisible(false);
    picTop->setEnabled(true);
    picBottom->setEnabled(true);
    txtSearch->setVisible(true);
    grid->setVisible(true);
    showModalWindows();
    autoTypeAfterUnlock();
}

void frmMain::txtPassword_Change()
{
    // A replaced data file's password is tried on the click: each try costs a key derivation.
    cmdUnlock->setEnabled(m_foreignFile ? !txtPassword->text().isEmpty()
                                        : frmLogin::MatchesMasterPassword(txtPassword->text()));
}

void frmMain::imgKeyCask_Click()
{
    LockWindow();
    txtPassword->setFocus();
}

void frmMain::Form_Activate()
{
    if (IsLocked()) {
        txtPassword->setFocus();
    } else if (focusWidget() != txtSearch) {
        // The focus may have left the box while the window was inactive, with no event for it.
        txtSearch_LostFocus();
    }
    // A data file replaced while the window was in the background is reloaded now.
    clsDB::shared().CheckForReplacement();
}

void frmMain::dataFileReloaded()
{
    // After the change that found the new file is done, once for all that found it.
    if (m_reloadPending) {
        return;
    }
    m_reloadPending = true;
    QTimer::singleShot(0, this, [this, locked = IsLocked()] {
        m_reloadPending = false;
        // Behind the lock the list holds nothing; the unlock reads it from the new file.
        if (!locked && !IsLocked()) {
            const long id =
                grid->GridSelectionCount() == 1 ? grid->GridRowID(grid->GridSelectedRow()) : 0;
            tabs_TabSelected(tabs->currentIndex() + 1);
            txtSearch_Change();
            if (id > 0) {
                modGrid::SelectRowByID(grid, id);
            }
        }
        MsgBox::Show(QStringLiteral(
                         "The data file was changed by another program. KeyCask has reloaded it."),
                     MsgBox::vbInformation | MsgBox::vbOKOnly, QString(), this);
    });
}

void frmMain::foreignDataFile()
{
    m_foreignFile = true;
    if (!IsLocked()) {
        LockWindow();
    }
    txtPassword_Change();
    QTimer::singleShot(0, this, [this] {
        MsgBox::Show(QStringLiteral("The data file was replaced by another program with one that "
                                    "does not open with your master password. Enter the master "
                                    "password of that file to go on."),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
    });
}

void frmMain::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        !mfrmSystemTray) {
        // After the window system has finished minimising.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && !mfrmSystemTray) {
                MinimizeToTray();
            }
        });
    }
}

void frmMain::MinimizeToTray()
{
    // Without a notification area a hidden window could never come back: it stays on the task
    // bar instead, and only the lock happens.
    const bool trayAvailable =
        TrayAvailable ? TrayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
    if (trayAvailable) {
        // While the window is hidden, closing a dialog opened from the tray is no reason to end.
        QApplication::setQuitOnLastWindowClosed(false);
        hide();
        mfrmSystemTray = std::make_unique<frmSystemTray>();
        for (const QString& caption :
             {QStringLiteral("Open KeyCask"), QStringLiteral("Check for updates"),
              QStringLiteral("About"), QStringLiteral("-"), QStringLiteral("Exit")}) {
            mfrmSystemTray->AddMenuItem(caption);
        }
        mfrmSystemTray->setDefaultMenuIndex(trayOpen);
        mfrmSystemTray->setIconHandle(windowIcon());
        mfrmSystemTray->setToolTip(windowTitle());
        connect(mfrmSystemTray.get(), &frmSystemTray::MenuClick, this,
                &frmMain::mfrmSystemTray_MenuClick);
        // A left click opens the menu only once no second click can follow: an open menu takes
        // the pointer, and the second click of a double click would only close it again.
        auto* menuDelay = new QTimer(mfrmSystemTray.get());
        menuDelay->setSingleShot(true);
        menuDelay->setInterval(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        connect(menuDelay, &QTimer::timeout, this, [this] {
            if (mfrmSystemTray) {
                mfrmSystemTray->ShowMenu();
            }
        });
        connect(mfrmSystemTray.get(), &frmSystemTray::SysTrayDoubleClick, this,
                [this, menuDelay](int) {
                    menuDelay->stop();
                    RestoreFromTray();
                });
        connect(mfrmSystemTray.get(), &frmSystemTray::SysTrayMouseDown, this,
                [this, menuDelay](int lButton) {
                    if (lButton == 1) {
                        menuDelay->start();
                    } else if (mfrmSystemTray) {
                        mfrmSystemTray->ShowMenu();
                    }
                });
    }
    modGeneral::IgnoreErrors([this, trayAvailable] {
        if (!clsApp::shared().BalloonShown()) {
            if (trayAvailable) {
                mfrmSystemTray->ShowBalloonTip(kBalloonMessage, QStringLiteral("KeyCask"), 1,
                                               30000);
            }
            clsApp::shared().setBalloonShown(true);
        }
    });
    // A store that cannot be read locks, as the setting does by default.
    bool lock = true;
    modGeneral::IgnoreErrors([&lock] { lock = clsApp::shared().LockOnMinimize(); });
    if (lock) {
        LockWindow();
        txtPassword->setFocus();
    }
    LayoutWindow();
}

void frmMain::RestoreFromTray()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    unloadTray();
    QApplication::setQuitOnLastWindowClosed(true);
}

void frmMain::unloadTray()
{
    // Its own events may be running: it goes once they have returned; its icon with it.
    if (mfrmSystemTray) {
        mfrmSystemTray.release()->deleteLater();
    }
}

void frmMain::mfrmSystemTray_MenuClick(int lIndex, const QString& /*sKey*/)
{
    switch (lIndex) {
    case trayOpen:
        modGeneral::IgnoreErrors([this] { RestoreFromTray(); });
        break;
    case trayUpdates:
        modGeneral::IgnoreErrors([this] { CheckForUpdates(); });
        break;
    case trayAbout:
        modGeneral::IgnoreErrors([this] {
            frmAbout about(this);
            about.exec();
        });
        break;
    case trayExit:
        // Ends the program at once, after the window's own clean-up; no password is asked.
        modGeneral::IgnoreErrors([this] { unloadTray(); });
        modGeneral::IgnoreErrors([this] { close(); });
        QCoreApplication::exit(0);
        break;
    default:
        break;
    }
}
