// The sign-in window: chooses the master password on the first start, asks for it on every
// later start, and changes it when opened from the options.
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;

class frmLogin : public QDialog
{
    Q_OBJECT

public:
    explicit frmLogin(QWidget* parent = nullptr);

    // True for change mode; set by the caller before the window is shown.
    bool gbResetPassword = false;
    // True when the data file is protected by the master password and not open yet: the typed
    // password is tried as the file's key on Enter. Set by start-up before the window is shown.
    bool gbProtectedFile = false;

    // The message of a password that does not open a protected file.
    static const QString WRONG_PASSWORD_MESSAGE;

    // The controls, reachable for tests that drive the window.
    std::array<QLineEdit*, 2> txt{};
    std::array<QLabel*, 2> lbl{};
    QLabel* lblMessage = nullptr;
    QLabel* lblFirstTime = nullptr;
    // Installed, when the first master password is chosen: where the new data file is.
    QLabel* lblDataFile = nullptr;
    QLabel* imgEnter = nullptr;
    QLabel* imgEnterGrey = nullptr;

    // Presses Enter when the input is acceptable; does nothing otherwise.
    void PressEnter();

    // True when a typed text is the master password. An empty master password is what an
    // unreadable or damaged master row leaves behind: it matches nothing, the empty text included.
    static bool MatchesMasterPassword(const QString& sTyped);

    // Zeroes the text of a password box and empties it with its undo history.
    static void WipeBox(QLineEdit* box);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void UpdateEnterButton();
    bool inputAcceptable() const;
    bool twoBoxMode() const;
    void openMainWindow();
    void openProtectedFile();
    // Installed mode only: the first master password also protects the new data file.
    void protectNewFile();
    bool saveNewPassword();

    bool m_stepTwo = false;
    bool m_loaded = false;
    bool m_iconSet = false;
    bool m_backupsOffered = false;
};
