// The options dialog.
#include "ui/dialogs/frmOptions.h"
#include "app/modGeneral.h"

#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "data/CsvImport.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "data/modCsvExport.h"
#include "data/modProtection.h"
#include "platform/AppError.h"
#include "platform/AutoType.h"
#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "platform/WaitCursor.h"
#include "ui/controls/modAccessibility.h"
#include "ui/controls/modImage.h"
#include "ui/dialogs/frmHealth.h"
#include "ui/dialogs/frmImport.h"
#include "ui/dialogs/frmRestore.h"
#include "ui/login/frmLogin.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>

namespace {

// The client area and the button bar along its bottom edge, in twips.
constexpr int kClientWidth = 4860;
constexpr int kRowHeight = 435;
// Six rows below the two check boxes: the clipboard delay, the idle lock, the protection, the
// backups, import and export, and the typing shortcut.
constexpr int kButtonBarTop = 2520 + 6 * kRowHeight;
constexpr int kClientHeight = kButtonBarTop + 735;

void place(QWidget* ctl, int lLeft, int lTop, int lWidth, int lHeight)
{
    ctl->setGeometry(modGeneral::TwipsToPixelsX(lLeft), modGeneral::TwipsToPixelsY(lTop),
                     modGeneral::TwipsToPixelsX(lWidth), modGeneral::TwipsToPixelsY(lHeight));
}

void setBackground(QWidget* ctl, const QColor& color)
{
    QPalette pal = ctl->palette();
    pal.setColor(QPalette::Window, color);
    ctl->setPalette(pal);
    // Buttons fill with their button colour unless told otherwise.
    ctl->setBackgroundRole(QPalette::Window);
    ctl->setAutoFillBackground(true);
}

// A check box of the design's height would clip its indicator and text in larger fonts; it
// grows to what it needs, around the same middle line.
void placeCheckBox(QCheckBox* chk, int lLeft, int lTop, int lWidth, int lHeight)
{
    place(chk, lLeft, lTop, lWidth, lHeight);
    const int needed = chk->sizeHint().height();
    if (needed > chk->height()) {
        chk->setGeometry(chk->x(), chk->y() - (needed - chk->height()) / 2, chk->width(), needed);
    }
}

} // namespace

frmOptions::frmOptions(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    setFont(font);
    setBackground(this, Qt::white);

    imgEmail = new QLabel(this);
    imgEmail->setObjectName(QStringLiteral("imgEmail"));
    place(imgEmail, 240, 195, 720, 720);
    imgEmail->setPixmap(
        modImage::SvgPixmap(QStringLiteral(":/images/options.svg"), imgEmail->size()));
    modAccessibility::SetDecorative(imgEmail);

    lblheader = new QLabel(QStringLiteral("Options"), this);
    lblheader->setObjectName(QStringLiteral("lblheader"));
    QFont headerFont = font;
    headerFont.setPointSize(12);
    lblheader->setFont(headerFont);
    QPalette headerPalette = lblheader->palette();
    headerPalette.setColor(QPalette::WindowText, QColor(0, 51, 153));
    lblheader->setPalette(headerPalette);
    place(lblheader, 1155, 195, 960, 270);
    // The heading keeps its place but never cuts its text where the fallback font runs wider.
    lblheader->resize(lblheader->sizeHint().expandedTo(lblheader->size()));

    cmdReset = new QPushButton(QStringLiteral("Change Login Password..."), this);
    cmdReset->setObjectName(QStringLiteral("cmdReset"));
    place(cmdReset, 1170, 855, 3465, 345);

    chkLockOnMinimize = new QCheckBox(QStringLiteral("Lock KeyCask when minimized"), this);
    chkLockOnMinimize->setObjectName(QStringLiteral("chkLockOnMinimize"));
    chkShowNotes = new QCheckBox(QStringLiteral("Show Notes in separate column"), this);
    chkShowNotes->setObjectName(QStringLiteral("chkShowNotes"));
    for (QCheckBox* chk : {chkLockOnMinimize, chkShowNotes}) {
        setBackground(chk, Qt::white);
    }
    placeCheckBox(chkLockOnMinimize, 1200, 1515, 3615, 195);
    placeCheckBox(chkShowNotes, 1200, 1950, 3615, 195);

    // A number between two texts on one row, in the rows' style.
    // The numbers stand in one column, after the longest of the texts before them.
    const QString clearText = QStringLiteral("&Clear copied password after");
    const QString idleText = QStringLiteral("&Lock KeyCask after");
    const int spinLeft = modGeneral::TwipsToPixelsX(1200) +
                         std::max(fontMetrics().horizontalAdvance(QString(clearText).remove(u'&')),
                                  fontMetrics().horizontalAdvance(QString(idleText).remove(u'&'))) +
                         8;
    // sBefore carries the row's mnemonic, which moves the focus to the number. A row out of the
    // column (bInColumn false) has its number right beside its text.
    auto numberRow = [this, spinLeft](const QString& sBefore, const QString& sAfter, int lMax,
                                      int lTop, QLabel*& rlblBefore, QSpinBox*& rspn,
                                      QLabel*& rlblAfter, bool bInColumn = true) {
        rlblBefore = new QLabel(sBefore, this);
        rspn = new QSpinBox(this);
        rlblBefore->setBuddy(rspn);
        rspn->setRange(0, lMax);
        rspn->setToolTip(QStringLiteral("0: never"));
        // The whole row is the number's name: "Lock KeyCask after (minutes without use)".
        rspn->setAccessibleName(QString(sBefore).remove(QLatin1Char('&')) + QStringLiteral(" (") +
                                sAfter + QLatin1Char(')'));
        rlblAfter = new QLabel(sAfter, this);
        rlblBefore->adjustSize();
        rlblAfter->adjustSize();
        const int spinWidth = std::max(modGeneral::TwipsToPixelsX(750), rspn->sizeHint().width());
        const int height = std::max(modGeneral::TwipsToPixelsY(285), rspn->sizeHint().height());
        const int top =
            modGeneral::TwipsToPixelsY(lTop) - (height - modGeneral::TwipsToPixelsY(195)) / 2;
        const int left = modGeneral::TwipsToPixelsX(1200);
        rlblBefore->move(left, top + (height - rlblBefore->height()) / 2);
        rspn->setGeometry(std::max(bInColumn ? spinLeft : 0, rlblBefore->geometry().right() + 6),
                          top, spinWidth, height);
        rlblAfter->move(rspn->geometry().right() + 6, top + (height - rlblAfter->height()) / 2);
    };
    numberRow(clearText, QStringLiteral("seconds"), clsApp::MAX_CLEAR_CLIPBOARD_SECONDS,
              1950 + kRowHeight, lblClearClipboard, spnClearClipboard, lblClearClipboardUnit);
    numberRow(idleText, QStringLiteral("minutes without use"), clsApp::MAX_IDLE_LOCK_MINUTES,
              1950 + 2 * kRowHeight, lblIdleLock, spnIdleLock, lblIdleLockUnit);
    chkProtectFile =
        new QCheckBox(QStringLiteral("&Protect the data file with the master password"), this);
    chkProtectFile->setObjectName(QStringLiteral("chkProtectFile"));
    setBackground(chkProtectFile, Qt::white);
    placeCheckBox(chkProtectFile, 1200, 1950 + 3 * kRowHeight, 3615, 195);
    // The rows never cut their texts where the fallback font runs wider.
    int widest = modGeneral::TwipsToPixelsX(kClientWidth);
    for (QWidget* row : std::initializer_list<QWidget*>{lblClearClipboardUnit, lblIdleLockUnit}) {
        widest = std::max(widest, row->geometry().right() + modGeneral::TwipsToPixelsX(225));
    }
    chkProtectFile->resize(std::max(chkProtectFile->width(), chkProtectFile->sizeHint().width()),
                           chkProtectFile->height());
    widest = std::max(widest, chkProtectFile->geometry().right() + modGeneral::TwipsToPixelsX(225));
    numberRow(QStringLiteral("&Keep"), QStringLiteral("backups of the data file"),
              modBackup::MAX_KEEP, 1950 + 4 * kRowHeight, lblKeepBackups, spnKeepBackups,
              lblKeepBackupsUnit, false);
    spnKeepBackups->setToolTip(QStringLiteral("0: no backups"));
    cmdRestore = new QPushButton(QStringLiteral("&Restore…"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdRestore->adjustSize();
    cmdRestore->move(lblKeepBackupsUnit->geometry().right() + modGeneral::TwipsToPixelsX(180),
                     spnKeepBackups->geometry().center().y() - cmdRestore->height() / 2);
    widest = std::max(widest, cmdRestore->geometry().right() + modGeneral::TwipsToPixelsX(225));

    // Import and export: two buttons on a row of their own, as wide as their captions need.
    cmdImport = new QPushButton(QStringLiteral("&Import…"), this);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdExport = new QPushButton(QStringLiteral("&Export…"), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdCheckPasswords = new QPushButton(QStringLiteral("C&heck passwords…"), this);
    cmdCheckPasswords->setObjectName(QStringLiteral("cmdCheckPasswords"));
    int buttonLeft = modGeneral::TwipsToPixelsX(1200);
    for (QPushButton* cmd : {cmdImport, cmdExport, cmdCheckPasswords}) {
        place(cmd, 0, 1950 + 5 * kRowHeight - 75, 1545, 345);
        // A longer caption keeps some room on both sides beyond what the style asks for.
        cmd->setGeometry(
            buttonLeft, cmd->y(),
            std::max(cmd->width(), cmd->sizeHint().width() + modGeneral::TwipsToPixelsX(90)),
            std::max(cmd->height(), cmd->sizeHint().height()));
        buttonLeft = cmd->geometry().right() + 1 + modGeneral::TwipsToPixelsX(120);
    }
    widest =
        std::max(widest, cmdCheckPasswords->geometry().right() + modGeneral::TwipsToPixelsX(225));

    // The typing shortcut: a label and the key box on one row; greyed outside an X11 session.
    lblAutoType = new QLabel(QStringLiteral("&Type into the active window with"), this);
    lblAutoType->adjustSize();
    keyAutoType = new QKeySequenceEdit(this);
    keyAutoType->setObjectName(QStringLiteral("keyAutoType"));
    keyAutoType->setClearButtonEnabled(true);
    keyAutoType->setAccessibleName(lblAutoType->text().remove(QLatin1Char('&')));
    lblAutoType->setBuddy(keyAutoType);
    {
        const int top = modGeneral::TwipsToPixelsY(1950 + 6 * kRowHeight - 75);
        const int height =
            std::max(modGeneral::TwipsToPixelsY(345), keyAutoType->sizeHint().height());
        lblAutoType->move(modGeneral::TwipsToPixelsX(1200),
                          top + (height - lblAutoType->height()) / 2);
        keyAutoType->setGeometry(
            lblAutoType->geometry().right() + 6, top,
            std::max(modGeneral::TwipsToPixelsX(1500), keyAutoType->sizeHint().width()), height);
    }
    widest = std::max(widest, keyAutoType->geometry().right() + modGeneral::TwipsToPixelsX(225));
    if (!AutoType::Available()) {
        keyAutoType->setEnabled(false);
        lblAutoType->setEnabled(false);
        keyAutoType->setToolTip(AutoType::UNAVAILABLE_TEXT);
        lblAutoType->setToolTip(AutoType::UNAVAILABLE_TEXT);
    }
    // Tab leaves the box instead of becoming its key.
    keyAutoType->installEventFilter(this);

    picButtons = new QWidget(this);
    picButtons->setObjectName(QStringLiteral("picButtons"));
    setBackground(picButtons, QColor(244, 244, 244));
    setFixedSize(widest, modGeneral::TwipsToPixelsY(kClientHeight));
    picButtons->setGeometry(0, modGeneral::TwipsToPixelsY(kButtonBarTop), widest,
                            modGeneral::TwipsToPixelsY(kClientHeight - kButtonBarTop));
    // The buttons keep their places from the right edge.
    const int shift = widest - modGeneral::TwipsToPixelsX(kClientWidth);
    cmdOK = new QPushButton(QStringLiteral("OK"), picButtons);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    place(cmdOK, 2340, 195, 1080, 375);
    cmdOK->move(cmdOK->x() + shift, cmdOK->y());
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), picButtons);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    place(cmdCancel, 3555, 195, 1080, 375);
    cmdCancel->move(cmdCancel->x() + shift, cmdCancel->y());

    // The window's first controls keep their order; the rows added below them follow Cancel,
    // top to bottom.
    setTabOrder(cmdReset, chkLockOnMinimize);
    setTabOrder(chkLockOnMinimize, chkShowNotes);
    setTabOrder(chkShowNotes, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, spnClearClipboard);
    setTabOrder(spnClearClipboard, spnIdleLock);
    setTabOrder(spnIdleLock, chkProtectFile);
    setTabOrder(chkProtectFile, spnKeepBackups);
    setTabOrder(spnKeepBackups, cmdRestore);
    setTabOrder(cmdRestore, cmdImport);
    setTabOrder(cmdImport, cmdExport);
    setTabOrder(cmdExport, cmdCheckPasswords);
    setTabOrder(cmdCheckPasswords, keyAutoType);
    cmdReset->setFocus();

    connect(cmdReset, &QPushButton::clicked, this, &frmOptions::cmdReset_Click);
    connect(cmdRestore, &QPushButton::clicked, this, &frmOptions::cmdRestore_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmOptions::cmdImport_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmOptions::cmdExport_Click);
    connect(cmdCheckPasswords, &QPushButton::clicked, this, &frmOptions::cmdCheckPasswords_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    // Cancel, Esc and the close box all reject: nothing is stored.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    Form_Load();
}

void frmOptions::Form_Load()
{
    // A value the store cannot give shows the default; the other boxes still load.
    clsApp& app = clsApp::shared();
    try {
        chkLockOnMinimize->setChecked(app.LockOnMinimize());
    } catch (const AppError&) {
        chkLockOnMinimize->setChecked(true);
    }
    try {
        chkShowNotes->setChecked(app.ShowNotesOwnColumn());
    } catch (const AppError&) {
    }
    try {
        spnClearClipboard->setValue(app.ClearClipboardSeconds());
    } catch (const AppError&) {
        spnClearClipboard->setValue(30);
    }
    try {
        spnIdleLock->setValue(app.IdleLockMinutes());
    } catch (const AppError&) {
    }
    try {
        spnKeepBackups->setValue(app.KeepBackups());
    } catch (const AppError&) {
        spnKeepBackups->setValue(modBackup::DEFAULT_KEEP);
    }
    try {
        keyAutoType->setKeySequence(
            QKeySequence::fromString(app.AutoTypeShortcut(), QKeySequence::PortableText));
    } catch (const AppError&) {
    }
    // The file itself says whether it is protected, so the box can never disagree with it.
    const QString path = clsDB::shared().Database;
    chkProtectFile->setChecked(!path.isEmpty() && QFileInfo::exists(path) &&
                               !modProtection::OpensWithBuiltInPassword(path));
    m_protected = chkProtectFile->isChecked();
}

bool frmOptions::applyProtection()
{
    const bool protect = chkProtectFile->isChecked();
    if (protect == m_protected) {
        return true;
    }
    // The file is written anew under its new key; a failure leaves it as it was.
    int removed = 0;
    try {
        const WaitCursor busy;
        removed = protect ? modProtection::Protect(clsPWD::Master().PASSWORD_TX)
                          : modProtection::Unprotect();
    } catch (const AppError& error) {
        if (!error.Told()) {
            MsgBox::Show(
                QStringLiteral("The data file could not be changed; it is as it was.\r\n\r\n") +
                    error.Description(),
                MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), this);
        }
        return false;
    }
    if (removed > 0) {
        MsgBox::Show(modBackup::RemovedText(removed), MsgBox::vbExclamation | MsgBox::vbOKOnly,
                     QString(), this);
    }
    m_protected = protect;
    return true;
}

void frmOptions::cmdOK_Click()
{
    // Both options are written, changed or not. A store that refuses the write is reported and
    // the dialog stays open, so the user is not left believing the options were kept.
    clsApp& app = clsApp::shared();
    if (!applyProtection()) {
        return;
    }
    try {
        app.setLockOnMinimize(chkLockOnMinimize->checkState() != Qt::Unchecked);
        app.setShowNotesOwnColumn(chkShowNotes->checkState() != Qt::Unchecked);
        app.setClearClipboardSeconds(spnClearClipboard->value());
        app.setIdleLockMinutes(spnIdleLock->value());
        app.setKeepBackups(spnKeepBackups->value());
        // The first key combination only: the shortcut is one key with its modifiers.
        const QKeySequence keys = keyAutoType->keySequence();
        app.setAutoTypeShortcut(keys.isEmpty()
                                    ? QString()
                                    : QKeySequence(keys[0]).toString(QKeySequence::PortableText));
    } catch (const AppError& error) {
        MsgBox::Show(error.Description(), MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(),
                     this);
        return;
    }
    accept();
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == keyAutoType && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & ~Qt::ShiftModifier)) {
            focusNextPrevChild(key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmOptions::cmdReset_Click()
{
    // A fresh login window in change mode for this one use; it is deleted when it closes, so
    // the next use starts again at its first step.
    auto* login = new frmLogin(this);
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->gbResetPassword = true;
    const QPointer<frmOptions> self(this);
    login->exec();
    if (self) {
        cmdOK->setFocus();
    }
}

void frmOptions::cmdRestore_Click()
{
    // The main window refills its lists when this dialog closes. Only a backup under the
    // session's key can be restored, so the protection stays as the box shows it.
    frmRestore restore(this);
    restore.exec();
}

void frmOptions::cmdImport_Click()
{
    // The file dialog starts where browsers save their exports; the focus comes back here
    // however the import ends.
    const QString path = FileDialog::OpenFileName(
        this, QStringLiteral("Import"),
        QStringLiteral("Comma-separated files (*.csv *.txt);;All files (*)"),
        FileDialog::StandardFolder(QStandardPaths::DownloadLocation));
    if (!path.isEmpty()) {
        // The main window refills its lists when this dialog closes.
        frmImport::Run(path, this);
    }
    activateWindow();
    cmdImport->setFocus();
}

void frmOptions::cmdExport_Click()
{
    if (MsgBox::Show(modCsvExport::WarningText(),
                     MsgBox::vbYesNo | MsgBox::vbExclamation | MsgBox::vbDefaultButton2, QString(),
                     this) == MsgBox::vbYes) {
        const QString path = FileDialog::SaveFileName(
            this, QStringLiteral("Export"),
            QDir(FileDialog::StandardFolder(QStandardPaths::DocumentsLocation))
                .filePath(QStringLiteral("keycask.csv")),
            QStringLiteral("Comma-separated files (*.csv)"));
        if (!path.isEmpty()) {
            const WaitCursor busy;
            modCsvExport::Export(path);
        }
    }
    activateWindow();
    cmdExport->setFocus();
}

void frmOptions::cmdCheckPasswords_Click()
{
    // The main window refills its lists when this dialog closes, after entries edited there.
    frmHealth health(this);
    health.exec();
}
