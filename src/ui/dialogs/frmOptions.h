// The options dialog: the user options (lock when minimised, notes in their own column, how long
// a copied password stays on the clipboard, the idle lock), stored on OK only; the protection of
// the data file by the master password; how many backups of it are kept; the way into changing
// the master password; restoring a backup, import and export, which act at once; and the global
// shortcut that types into the active window.
#pragma once

#include <QDialog>

class QCheckBox;
class QKeySequenceEdit;
class QLabel;
class QPushButton;
class QSpinBox;

class frmOptions : public QDialog
{
    Q_OBJECT

public:
    explicit frmOptions(QWidget* parent = nullptr);

    // The controls, reachable for tests that drive the window.
    QLabel* imgEmail = nullptr;
    QLabel* lblheader = nullptr;
    QPushButton* cmdReset = nullptr;
    QCheckBox* chkLockOnMinimize = nullptr;
    QCheckBox* chkShowNotes = nullptr;
    // "Clear copied password after [n] seconds", "Lock KeyCask after [n] minutes without use".
    QLabel* lblClearClipboard = nullptr;
    QSpinBox* spnClearClipboard = nullptr;
    QLabel* lblClearClipboardUnit = nullptr;
    QLabel* lblIdleLock = nullptr;
    QSpinBox* spnIdleLock = nullptr;
    QLabel* lblIdleLockUnit = nullptr;
    // Ticked exactly when the data file does not open with the built-in database password.
    QCheckBox* chkProtectFile = nullptr;
    // "Keep [n] backups of the data file", and the way back to one of them.
    QLabel* lblKeepBackups = nullptr;
    QSpinBox* spnKeepBackups = nullptr;
    QLabel* lblKeepBackupsUnit = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdExport = nullptr;
    // "Type into the active window with [Ctrl+Alt+A]": one key with its modifiers, empty for none.
    QLabel* lblAutoType = nullptr;
    QKeySequenceEdit* keyAutoType = nullptr;
    // Opens the password health report.
    QPushButton* cmdCheckPasswords = nullptr;
    QWidget* picButtons = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    bool applyProtection();

    // Whether the data file was protected when the dialog loaded (or after the last change).
    bool m_protected = false;
    void cmdOK_Click();
    void cmdReset_Click();
    void cmdRestore_Click();
    void cmdImport_Click();
    void cmdExport_Click();
    void cmdCheckPasswords_Click();
};
