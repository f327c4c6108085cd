// The options dialog: the two user options (lock when minimised, notes in their own column),
// stored on OK only, and the way into changing the master password.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

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
    QWidget* picButtons = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdReset_Click();
};
