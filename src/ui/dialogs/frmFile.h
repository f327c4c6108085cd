// The file-folder editor: adds a new file-folder entry or edits an existing one; the folder is
// typed or picked in the folder picker.
#pragma once

#include "data/clsMY_FILE.h"

#include <QDialog>
#include <QPointer>
#include <array>

class GradientPanel;
class QLabel;
class QLineEdit;
class QPushButton;
class frmFindFile;

class frmFile : public QDialog
{
    Q_OBJECT

public:
    explicit frmFile(QWidget* parent = nullptr);

    // Set by the caller before the window is shown: add a new entry, or edit MY_FILE_ID.
    bool ADDING = false;
    QString MY_FILE_ID;

    // The controls, reachable for tests that drive the window: txt[0] Name, txt[1] File Folder,
    // txt[2] Notes; cmd "Save And New", "Save", "Cancel".
    std::array<QLineEdit*, 3> txt{};
    std::array<QLabel*, 3> lbl{};
    std::array<QPushButton*, 3> cmd{};
    QPushButton* cmdFile = nullptr;
    GradientPanel* picTop = nullptr;
    QLabel* imgTop = nullptr;
    QLabel* lblTop = nullptr;
    QLabel* imgDropShadow = nullptr;

Q_SIGNALS:
    // Raised once after every successful save, with the record as stored.
    void Change(const clsMY_FILE& roMY_FILE);

public Q_SLOTS:
    // Closing by any way (Cancel, Esc, the close box) asks first when there are unsaved changes.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void txt_Change();
    void UpdateSaveState();
    bool SaveRecord();
    void cmd_Click(int lIndex);
    void cmdFile_Click();
    void mfrmFindFile_FolderSelected(const QString& rsFolder);
    // Shows the text in a box, raising the box's limit where the text is longer.
    void setFieldText(int lIndex, const QString& sText);

    clsMY_FILE roMY_FILE;
    bool IsLoading = false;
    bool CanSave = false;
    bool m_loaded = false;
    // The folder picker while it is open.
    QPointer<frmFindFile> mfrmFindFile;
};
