// The sign-in window: create, log in and change the master password.
#include "ui/login/frmLogin.h"

#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "data/modProtection.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"
#include "platform/WaitCursor.h"
#include "ui/controls/modAccessibility.h"
#include "ui/controls/modImage.h"
#include "ui/main/frmMain.h"

#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScopeGuard>
#include <QTimer>

namespace {

const QString kProductName = QStringLiteral("KeyCask");

} // namespace

const QString frmLogin::WRONG_PASSWORD_MESSAGE =
    QStringLiteral("The password is wrong, or the data file is damaged.");

frmLogin::frmLogin(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(kProductName);
    // The window icon follows the first paint (paintEvent): drawn in the sizes the window
    // system asks for, it would hold up the window the user waits for.
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(9);
    setFont(font);
    setFixedSize(310, 184);
    setStyleSheet(QStringLiteral("frmLogin { background-color: rgb(244, 244, 244); }"));

    // The program's logo and name across the top.
    auto* logo = new QLabel(this);
    logo->setGeometry(14, 8, 36, 36);
    logo->setPixmap(modImage::SvgPixmap(QStringLiteral(":/images/keycask.svg"), QSize(36, 36)));
    logo->setAttribute(Qt::WA_TransparentForMouseEvents);
    modAccessibility::SetDecorative(logo);
    auto* name = new QLabel(kProductName, this);
    QFont nameFont = font;
    nameFont.setPointSize(13);
    nameFont.setBold(true);
    name->setFont(nameFont);
    name->setStyleSheet(QStringLiteral("color: rgb(41, 89, 169);"));
    name->setGeometry(60, 8, 230, 36);
    name->setAttribute(Qt::WA_TransparentForMouseEvents);

    lblFirstTime = new QLabel(this);
    lblFirstTime->setGeometry(0, 52, 310, 26);
    lblFirstTime->setAutoFillBackground(true);
    lblMessage = new QLabel(this);
    lblMessage->setGeometry(14, 52, 284, 26);
    lblMessage->setStyleSheet(QStringLiteral("color: white; font-weight: bold;"));

    const std::array<QString, 2> captions = {QStringLiteral("Password"), QStringLiteral("Confirm")};
    for (int i = 0; i < 2; ++i) {
        lbl[i] = new QLabel(captions[i], this);
        lbl[i]->setGeometry(14, 88 + i * 32, 80, 24);
        txt[i] = new QLineEdit(this);
        txt[i]->setGeometry(96, 88 + i * 32, 200, 24);
        txt[i]->setEchoMode(QLineEdit::Password);
        txt[i]->setAccessibleName(captions[i]);
        // A bullet for every typed character.
        txt[i]->setStyleSheet(QStringLiteral("lineedit-password-character: 8226;"));
        txt[i]->installEventFilter(this);
        connect(txt[i], &QLineEdit::textChanged, this, &frmLogin::UpdateEnterButton);
    }

    imgEnter = new QLabel(this);
    imgEnterGrey = new QLabel(this);
    for (QLabel* img : {imgEnter, imgEnterGrey}) {
        img->setGeometry(216, 150, 80, 28);
    }
    // The active button is drawn when it is first shown (UpdateEnterButton).
    imgEnterGrey->setPixmap(
        modImage::SvgPixmap(QStringLiteral(":/images/enter_grey.svg"), QSize(80, 28)));
    imgEnter->setToolTip(QStringLiteral("Enter"));
    for (QLabel* img : {imgEnter, imgEnterGrey}) {
        img->setAccessibleName(imgEnter->toolTip());
    }
    imgEnter->installEventFilter(this);

    lblDataFile = new QLabel(this);
    lblDataFile->setObjectName(QStringLiteral("lblDataFile"));
    lblDataFile->setWordWrap(true);
    lblDataFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblDataFile->hide();
}

void frmLogin::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
}

void frmLogin::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (!m_iconSet) {
        m_iconSet = true;
        QTimer::singleShot(
            0, this, [this] { setWindowIcon(QIcon(QStringLiteral(":/images/keycask.svg"))); });
    }
}

bool frmLogin::twoBoxMode() const
{
    // A protected file not yet open has no master row to ask about.
    return (!gbResetPassword && !gbProtectedFile && clsApp::shared().FirstTime()) ||
           (gbResetPassword && m_stepTwo);
}

void frmLogin::Form_Load()
{
    modGeneral::SetHandCursor(imgEnter);
    QPalette band = lblFirstTime->palette();
    band.setColor(QPalette::Window, QColor(179, 114, 6));
    lblFirstTime->setPalette(band);
    lblMessage->setText(gbResetPassword ? QStringLiteral("Step 1 of 2: Enter Current Password")
                                        : QString());
    const bool firstTime = !gbResetPassword && !gbProtectedFile && clsApp::shared().FirstTime();
    lbl[1]->setVisible(firstTime);
    txt[1]->setVisible(firstTime);
    lblFirstTime->setVisible(!lblMessage->text().isEmpty());
    // Installed, the data file lies in a hidden folder of the home: its first start says where,
    // on a line of its own below the boxes. A path breaks after any of its separators.
    const bool showFile = firstTime && clsApp::shared().RunMode() == clsApp::Mode::Installed;
    lblDataFile->setVisible(showFile);
    int height = 184;
    if (showFile) {
        const QString path = QDir::toNativeSeparators(clsDB::shared().Database);
        const QString where = QStringLiteral("Your data file: ");
        QString breakable = path;
        breakable.replace(QDir::separator(), QString(QDir::separator()) + QChar(0x200B));
        lblDataFile->setText(where + breakable);
        lblDataFile->setAccessibleName(where + path);
        const int textHeight = lblDataFile->heightForWidth(282);
        lblDataFile->setGeometry(14, 184, 282, textHeight);
        height += textHeight + 8;
    }
    setFixedSize(310, height);
    UpdateEnterButton();
}

bool frmLogin::inputAcceptable() const
{
    // Whether a password opens a protected file shows only when it is tried.
    if (gbProtectedFile) {
        return !txt[0]->text().isEmpty();
    }
    if (twoBoxMode()) {
        return !txt[0]->text().isEmpty() && !txt[1]->text().isEmpty() &&
               txt[0]->text() == txt[1]->text();
    }
    return MatchesMasterPassword(txt[0]->text());
}

bool frmLogin::MatchesMasterPassword(const QString& sTyped)
{
    return clsPWD::Master().PasswordMatches(sTyped);
}

void frmLogin::WipeBox(QLineEdit* box)
{
    // The box's text shares its buffer with this copy: zeroed here, it is zeroed in the box.
    // Setting the text (rather than clear()) also drops the undo history.
    QString typed = box->text();
    SecretText::Wipe(typed);
    box->setText(QString());
}

void frmLogin::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    if (event->isAccepted()) {
        for (QLineEdit* box : txt) {
            WipeBox(box);
        }
    }
}

void frmLogin::UpdateEnterButton()
{
    const bool acceptable = inputAcceptable();
    if (acceptable && imgEnter->pixmap().isNull()) {
        imgEnter->setPixmap(
            modImage::SvgPixmap(QStringLiteral(":/images/enter.svg"), QSize(80, 28)));
    }
    imgEnter->setVisible(acceptable);
    imgEnterGrey->setVisible(!acceptable);
}

void frmLogin::openMainWindow()
{
    // Signed in: the session's first change backs up the data file first.
    clsDB::shared().BeginSession();
    auto* main = new frmMain();
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->show();
    close();
}

void frmLogin::openProtectedFile()
{
    // Each try costs the key derivation, so a try happens only on Enter.
    const QString shown = txt[0]->text();
    // A copy of its own: the box's text is zeroed when the window closes.
    QString typed(shown.constData(), shown.size());
    const auto wipe = qScopeGuard([&typed] { SecretText::Release(typed); });
    bool opened = false;
    {
        const WaitCursor busy;
        opened = modProtection::OpenWithPassword(typed);
    }
    if (opened) {
        clsPWD::Master().OpenRecord(QStringLiteral("1"));
        if (MatchesMasterPassword(typed)) {
            gbProtectedFile = false;
            openMainWindow();
            return;
        }
        clsDB& db = clsDB::shared();
        db.CloseConnection();
        db.Key = clsDB::DatabasePassword();
        db.KdfIter = 0;
        SecretText::Release(clsPWD::Master().PASSWORD_TX);
        clsPWD::Master() = clsPWD();
    }
    MsgBox::Show(WRONG_PASSWORD_MESSAGE, MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
    // A wrong password and a damaged file look the same: the backups are offered once.
    if (!m_backupsOffered) {
        m_backupsOffered = true;
        if (modSubMain::OfferBackups(this)) {
            gbProtectedFile = false;
            WipeBox(txt[0]);
            Form_Load();
        }
    }
}

void frmLogin::protectNewFile()
{
    // Installed, the data file is the user's own from its first start, and no copy relies on the
    // built-in key: it is keyed with the master password at once (Options may undo it).
    if (clsApp::shared().RunMode() != clsApp::Mode::Installed ||
        modProtection::SessionProtected()) {
        return;
    }
    try {
        const WaitCursor busy;
        modProtection::Protect(clsPWD::Master().PASSWORD_TX);
    } catch (const AppError& error) {
        if (!error.Told()) {
            MsgBox::Show(QStringLiteral("The data file could not be protected with the master "
                                        "password: ") +
                             error.Description(),
                         MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
        }
    }
}

bool frmLogin::saveNewPassword()
{
    // A protected file takes the new password as its key in the same step; either way every
    // backup takes the new master password, so that a restore never brings back the old one.
    int removed = 0;
    try {
        const WaitCursor busy;
        if (!modProtection::SessionProtected()) {
            if (!clsPWD::Master().Save(false)) {
                return false;
            }
            const clsDB& db = clsDB::shared();
            removed = modBackup::BringAlong(db.Database, db.Key, db.KdfIter, db.Key, db.KdfIter,
                                            clsPWD::Master());
        } else {
            removed = modProtection::ChangeMasterPassword(clsPWD::Master().PASSWORD_TX);
        }
    } catch (const AppError& error) {
        if (!error.Told()) {
            MsgBox::Show(error.Description(), MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(),
                         this);
        }
        return false;
    }
    if (removed > 0) {
        MsgBox::Show(modBackup::RemovedText(removed), MsgBox::vbExclamation | MsgBox::vbOKOnly,
                     QString(), this);
    }
    return true;
}

void frmLogin::PressEnter()
{
    if (!inputAcceptable()) {
        return;
    }
    if (gbProtectedFile) {
        openProtectedFile();
        return;
    }
    clsPWD& master = clsPWD::Master();
    clsPWD previous = master;
    // The password as it was goes zeroed, unless it is put back.
    const auto forget = qScopeGuard([&previous] { SecretText::Release(previous.PASSWORD_TX); });
    master.TITLE_TX = kProductName;
    master.USER_NM = kProductName;
    // A copy of its own: the box's text is zeroed when the window closes.
    const QString typed = txt[0]->text();
    master.PASSWORD_TX = QString(typed.constData(), typed.size());

    if (!gbResetPassword && clsApp::shared().FirstTime()) {
        MsgBox::Show(QStringLiteral("Be sure to remember your KeyCask Password."),
                     MsgBox::vbInformation | MsgBox::vbOKOnly, QString(), this);
        if (!master.SaveMasterRow()) {
            // Nothing was stored: the data file still has no master row.
            master = previous;
            return;
        }
        protectNewFile();
        openMainWindow();
    } else if (!gbResetPassword) {
        openMainWindow();
    } else if (!m_stepTwo) {
        m_stepTwo = true;
        lblMessage->setText(QStringLiteral("Step 2 of 2: Enter new password"));
        lbl[1]->setVisible(true);
        txt[1]->setVisible(true);
        txt[0]->clear();
        txt[0]->setFocus();
        UpdateEnterButton();
    } else {
        if (!saveNewPassword()) {
            // The stored password is unchanged, so the shared record keeps it too.
            master = previous;
            return;
        }
        MsgBox::Show(QStringLiteral("Password successfully changed."), MsgBox::vbOKOnly, QString(),
                     this);
        close();
    }
}

bool frmLogin::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == txt[0] || watched == txt[1])) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            PressEnter();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease && watched == imgEnter) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            PressEnter();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmLogin::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        modGeneral::DragWindow(this);
    }
    QDialog::mousePressEvent(event);
}
