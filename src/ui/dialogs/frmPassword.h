// The password editor: adds a new password entry or edits an existing one, offering the stored
// user names and passwords for type-ahead.
#pragma once

#include "data/clsPWD.h"

#include <QDialog>
#include <array>

class GradientPanel;
class QAction;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QToolButton;

class frmPassword : public QDialog
{
    Q_OBJECT

public:
    explicit frmPassword(QWidget* parent = nullptr);
    // Zeroes the lists and the password the window holds.
    ~frmPassword() override;

    // Set by the caller before the window is shown: add a new entry, or edit PASSWORD_ID.
    bool ADDING = false;
    QString PASSWORD_ID;

    // The longest user name or password kept; longer text is cut when saving.
    static constexpr int COMBO_MAX_LENGTH = 50;

    // The controls, reachable for tests that drive the window. The fields keep their numbers:
    // txt[0] Title, cbo[1] user name, cbo[2] password, txt[3] Web URL, txt[4] Notes; the other
    // slots are empty.
    std::array<QLineEdit*, 5> txt{};
    std::array<QComboBox*, 3> cbo{};
    std::array<QLabel*, 5> lbl{};
    // "Save And New", "Save", "Cancel".
    std::array<QPushButton*, 3> cmd{};
    GradientPanel* picTop = nullptr;
    QLabel* imgTop = nullptr;
    QLabel* lblTop = nullptr;
    QLabel* imgDropShadow = nullptr;
    QLabel* imgWeb = nullptr;
    // Beside the password box: fills it with a generated password. Its menu (the arrow, or a
    // right click) sets the length and the classes of characters, kept in the settings.
    QToolButton* cmdGenerate = nullptr;
    QMenu* mnuGenerate = nullptr;
    QSpinBox* spnGenerateLength = nullptr;
    // Upper-case letters, lower-case letters, digits, punctuation.
    std::array<QAction*, 4> mnuGenerateClass{};
    // Under the password box: how strong the typed password is, as a thin bar and one word
    // ("Password strength: Weak" to a screen reader); hidden while the box is empty.
    QProgressBar* barStrength = nullptr;
    QLabel* lblStrength = nullptr;

    // Zeroes and empties the drop-down lists of user names and passwords; what the boxes hold
    // stays. The lock of the main window does this to a window it hides.
    void WipeLists();
    // Reads the lists again after WipeLists, keeping what the boxes hold.
    void RefillLists();

Q_SIGNALS:
    // Raised once after every successful save, with the record as stored.
    void Change(const clsPWD& roPWD);

public Q_SLOTS:
    // Closing by any way (Cancel, Esc, the close box) asks first when there are unsaved changes.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void FillCombos();
    void txt_Change();
    void UpdateSaveState();
    // True when the key is to be discarded.
    bool cbo_KeyPress(QComboBox* combo, QKeyEvent* event);
    bool SaveRecord();
    void cmd_Click(int lIndex);
    void imgWeb_Click();
    void cmdGenerate_Click();
    // Shows the stored choice each time the menu opens.
    void mnuGenerate_AboutToShow();
    void mnuGenerateClass_Toggled(int lIndex, bool bChecked);
    // The only class still chosen cannot be unchosen: its item is disabled.
    void updateGenerateClassItems();
    // Estimates the password's strength against the entry's own words and shows it.
    void updateStrength();
    // Shows the text in a box, raising the box's limit where the text is longer.
    void setFieldText(QLineEdit* box, int lLimit, const QString& sText);

    clsPWD roPWD;
    bool IsLoading = false;
    bool CanSave = false;
    bool StopAutoComplete = false;
    bool m_loaded = false;
    // A left press on the web icon, waiting for its release there.
    bool m_webPressed = false;
    // The class item under a left press in the generator's menu, waiting for its release there.
    QAction* m_generatePressed = nullptr;
};
