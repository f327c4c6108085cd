// The main window: the lists of entries in the grid with tabs and search, the command bar, the
// lock panel, the bottom bar, and the window's placement and clean-up.
#pragma once

#include "platform/Grid.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

class AutoType;
class clsMY_FILE;
class clsPWD;
class GlobalShortcut;
class GradientPanel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class frmFile;
class frmPassword;
class frmSystemTray;
class QTabBar;
class QTimer;
class usrHyperlink;

class frmMain : public QWidget
{
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The mask shown for every password: eight bullets.
    static const QString PASSWORD_MASK;
    // The search box's resting text.
    static const QString SEARCH_PLACEHOLDER;

    // Top bar.
    GradientPanel* picTop = nullptr;
    QLabel* imgKeyCask = nullptr;
    std::array<usrHyperlink*, 6> linkAction{};
    // The lists.
    QLineEdit* txtSearch = nullptr;
    QTabBar* tabs = nullptr;
    Grid* grid = nullptr;
    // Lock panel.
    GradientPanel* picLock = nullptr;
    QLabel* lblPassword = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdUnlock = nullptr;
    QLabel* imgLock = nullptr;
    QCheckBox* chkLock = nullptr;
    QLabel* lblLock = nullptr;
    // Bottom bar.
    GradientPanel* picBottom = nullptr;
    usrHyperlink* linkHelp = nullptr;
    QCheckBox* chkAlwaysOnTop = nullptr;
    QLabel* lblAlwaysOnTop = nullptr;
    QLabel* imgQuillonSoftware = nullptr;
    // The grid's context menu and the help menu.
    QMenu* mnuHiddenRoot = nullptr;
    std::array<QAction*, 8> mnuAction{};
    QMenu* mnuHiddenHelpRoot = nullptr;
    std::array<QAction*, 3> mnuHelp{};
    // After the context menu's other items: type user name and password, type the password only.
    std::array<QAction*, 2> mnuType{};

    // The editors of the last command: replaced, not yet shown, at every command.
    std::unique_ptr<frmPassword> mfrmPassword;
    std::unique_ptr<frmFile> mfrmFile;
    // The tray window while the main window lives in the tray.
    std::unique_ptr<frmSystemTray> mfrmSystemTray;

    bool mbRevealPasswords = false;
    bool mbLoading = false;

    // The lists.
    void FillPasswordGrid();
    void AddPasswordRow(const clsPWD& roPWD);
    void FillFileGrid();
    void AddFileRow(const clsMY_FILE& roMY_FILE);
    void ApplyRevealState();
    bool IsPasswordsTab() const;
    void UpdateCommandStates();

    // The commands.
    void linkAction_Click(int lIndex);
    void DeleteSelectedEntry();
    void CheckForUpdates();
    void mnuAction_Click(int lIndex);
    void mnuHelp_Click(int lIndex);
    void grid_MouseDown(int lButton, int lShift, int x, int y);
    void grid_KeyDown(int lKeyCode, int lShift);
    void grid_DblClick();
    // Keyboard shortcuts of the whole window; true when the key did something.
    bool Form_KeyDown(int lKeyCode, int lShift);
    void imgQuillonSoftware_Click();

    // Typing into other windows. The selected password entry goes to the window the user came
    // from: KeyCask minimises itself, then types the user name, Tab, the password and Enter, or
    // the password alone.
    void TypeSelectedEntry(bool bUserName);
    // Grabs the global shortcut of the settings (a key already taken by another program is told
    // once, when it is set).
    void ApplyAutoTypeShortcut();
    // The global shortcut: the entry whose title or web address the active window's title names
    // is typed into it; several give a chooser, none the list searched for the title. A locked
    // window asks for the master password first.
    void AutoTypeShortcut_Activated();

    // Whether the desktop has a notification area; tests replace it.
    static inline bool (*TrayAvailable)() = nullptr;

    // The clock of the idle lock, in milliseconds; tests replace it.
    static inline qint64 (*IdleClock)() = nullptr;

    // Locking and the tray.
    void LockWindow();
    bool IsLocked() const;
    void cmdUnlock_Click();
    void RestoreFromTray();
    // Reads the idle-lock setting and starts counting from now.
    void ApplyIdleSetting();
    // Locks the window when it has had no input for the chosen time, also while a modal window
    // (an editor, Options, About, a question) is open: that window is hidden until the unlock.
    void CheckIdle();
    void mfrmSystemTray_MenuClick(int lIndex, const QString& sKey);

    // The window.
    void LayoutWindow();
    // Shows the window to the user: restored if minimised, raised and activated. A locked window
    // stays locked.
    void BringToFront();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void printReport();
    void showOptions();
    void openSelectedTarget();
    void mfrmPassword_Change(long lID);
    void mfrmFile_Change(long lID);
    void Form_Load();
    void Form_Unload();

    void tabs_TabSelected(int lIndex);
    void txtSearch_Change();
    void txtSearch_GotFocus();
    void txtSearch_LostFocus();
    void grid_ColumnClick(int lColumn);
    void grid_ColumnWidthChanged(int lColumn, int lWidth);
    int storedColumnWidth(const QString& sKey, int lDefault) const;

    void chkAlwaysOnTop_Click();
    void lblAlwaysOnTop_Click();
    void chkLock_Click();
    void txtPassword_Change();
    void imgKeyCask_Click();
    void Form_Activate();
    // The data file was replaced by another program: reloaded with the session's key (the lists
    // are filled again and the user told once), or waiting for the master password of the new
    // file behind the lock.
    void dataFileReloaded();
    void foreignDataFile();
    void MinimizeToTray();
    void unloadTray();
    // Hides the open modal windows for the lock, innermost first, keeping their input; shows
    // them again after the unlock, outermost first.
    void hideModalWindows();
    void showModalWindows();
    // The lock takes every plain password out of memory (the list, the editor's drop-down lists,
    // the clipboard's remembered copy, the master password); the unlock reads the list again
    // and puts back how it was shown.
    void forgetSecrets();
    void restoreList();

    // Fits the row heights of the notes to the width the list has now (once per event round).
    void scheduleRowHeightFit();
    void fitRowHeights();
    void fitFrame();
    // The least size at which every control of the bars and of the lock panel stays whole.
    QSize leastSize() const;

    void createTypeMenu();
    void typeForWindow();
    void typeEntry(long lID, bool bUserName, unsigned long ulWindow);
    void autoTypeAfterUnlock();

    int twipsX(int lTwips) const;
    int twipsY(int lTwips) const;

    bool m_unloaded = false;
    bool m_reloadPending = false;
    bool m_foreignFile = false;
    bool m_shown = false;
    bool m_rowFitPending = false;
    // The idle lock: minutes (0 never), the time of the last input, the periodic check.
    static qint64 idleNow();
    int m_idleMinutes = 0;
    qint64 m_lastInputMs = 0;
    QTimer* m_idleCheck = nullptr;
    // The modal windows hidden by the lock, innermost first.
    std::vector<QPointer<QWidget>> m_hiddenModals;
    // How the list was shown when the lock emptied it: its sort keys and each column's
    // direction, the selected entry, the entries whose passwords were shown in clear and how
    // far the list was scrolled.
    struct LockedList
    {
        bool emptied = false;
        std::vector<int> columnOrders;
        // Column, sort type and order of each sort key.
        Grid::SortSpec sortKeys;
        long selectedID = 0;
        bool hadSelection = false;
        // Sorted.
        std::vector<long> revealedIDs;
        int scrollX = 0;
        int scrollY = 0;
    };
    LockedList m_lockedList;
    bool m_frameFitted = false;
    int m_listWidth = -1;
    // The notes layout of the list being built, read once per build.
    bool m_notesOwnColumn = false;
    // Each listed entry's row as the data file held it when the list was read (StoredRow), by
    // its identifier: Delete removes an entry only while the file still holds it as listed.
    QHash<long, QStringList> m_listedRows;
    // Typing into other windows: the typist, the global shortcut and the text it was last set
    // to, the window the shortcut was pressed in and its title, kept while the unlock is awaited.
    AutoType* m_autoType = nullptr;
    GlobalShortcut* m_globalShortcut = nullptr;
    QString m_appliedShortcut;
    unsigned long m_typeWindow = 0;
    QString m_typeTitle;
    bool m_typeAfterUnlock = false;
    // While the chooser the global shortcut opened is up: a repeated press opens no second one.
    bool m_choosing = false;
    // When the shortcut asked for the unlock (milliseconds of a steady clock): an unlock long
    // after it types nothing.
    qint64 m_typeAskedMs = 0;
};
