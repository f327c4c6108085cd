// The list of the data file's backups, newest first, and the way back to one of them.
#pragma once

#include <QDateTime>
#include <QDialog>

class QPushButton;
class QTreeWidget;

class frmRestore : public QDialog
{
    Q_OBJECT

public:
    // What the list restores: the session's data file, or at start-up a data file that no
    // session could open, or that is missing. There the built-in key lists the backups; one it
    // does not open may be protected and asks for its own master password, and the damaged
    // data file is kept beside.
    enum class Use { Session, DamagedFile };
    explicit frmRestore(QWidget* parent = nullptr, Use eUse = Use::Session);

    // The controls, reachable for tests that drive the window.
    QTreeWidget* lstBackups = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Whether a backup replaced the data file.
    bool Restored() const { return m_restored; }

    // Asks for a backup's master password in a password box, whose text is wiped when it closes;
    // true when it was accepted. The caller wipes rsTyped.
    static bool AskBackupPassword(QWidget* parent, const QString& sLabel, QString& rsTyped);

private:
    void fill();
    void updateRestore();
    // Shows the whole text of a cell that is cut as its tool tip.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void cmdRestore_Click();
    // Asks for the master password of a backup that has another one; true when it was typed.
    bool backupPasswordKnown(const QString& sPath, const QDateTime& made);

    bool m_restored = false;
    Use m_use = Use::Session;
};
