// The list of the data file's backups, newest first, and the way back to one of them.
#pragma once

#include <QDialog>

class QPushButton;
class QTreeWidget;

class frmRestore : public QDialog
{
    Q_OBJECT

public:
    explicit frmRestore(QWidget* parent = nullptr);

    // The controls, reachable for tests that drive the window.
    QTreeWidget* lstBackups = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Whether a backup replaced the data file.
    bool Restored() const { return m_restored; }

private:
    void fill();
    void updateRestore();
    void cmdRestore_Click();

    bool m_restored = false;
};
