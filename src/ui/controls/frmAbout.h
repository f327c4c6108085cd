// The About window: product name and release, credits for the cipher and the libraries the
// program is built on, and the maker's logo, beside a blue-to-white gradient strip.
#pragma once

#include <QDialog>

class GradientPanel;
class QLabel;
class QPushButton;
class usrHyperlink;

class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Where the credits lead; the logo leads to the maker's web site.
    static constexpr char16_t BLOWFISH_ADDRESS[] = u"https://www.schneier.com/academic/blowfish/";
    static constexpr char16_t QT_ADDRESS[] = u"https://www.qt.io/";
    static constexpr char16_t SQLCIPHER_ADDRESS[] = u"https://www.zetetic.net/sqlcipher/";

    // The controls, reachable for tests that drive the window.
    GradientPanel* picGradient = nullptr;
    QLabel* lblProduct = nullptr;
    QLabel* lblRelease = nullptr;
    QLabel* lblUses = nullptr;
    usrHyperlink* usrBlowfish = nullptr;
    usrHyperlink* usrQt = nullptr;
    usrHyperlink* usrSQLCipher = nullptr;
    QLabel* imgQuillonSoftware = nullptr;
    // Closes the window; it has the focus when the window opens, so no credit looks chosen.
    QPushButton* cmdClose = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QLabel* addLabel(const QString& sText, int lLeftTwips, int lTopTwips);

    // A left press on the background, waiting for its release there.
    bool m_backgroundPressed = false;
    // A left press on the logo, waiting for its release there.
    bool m_logoPressed = false;
};
