// The options dialog.
#include "ui/dialogs/frmOptions.h"

#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "ui/controls/modImage.h"
#include "ui/login/frmLogin.h"

#include <QCheckBox>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

namespace {

// The client area and the button bar along its bottom edge, in twips.
constexpr int kClientWidth = 4860;
constexpr int kClientHeight = 3255;
constexpr int kButtonBarTop = 2520;

int twipsX(int lTwips)
{
    return qRound(static_cast<double>(lTwips) / modSubMain::ScreenTwipsPerPixelX);
}

int twipsY(int lTwips)
{
    return qRound(static_cast<double>(lTwips) / modSubMain::ScreenTwipsPerPixelY);
}

void place(QWidget* ctl, int lLeft, int lTop, int lWidth, int lHeight)
{
    ctl->setGeometry(twipsX(lLeft), twipsY(lTop), twipsX(lWidth), twipsY(lHeight));
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
    setFixedSize(twipsX(kClientWidth), twipsY(kClientHeight));
    setBackground(this, Qt::white);

    imgEmail = new QLabel(this);
    imgEmail->setObjectName(QStringLiteral("imgEmail"));
    place(imgEmail, 240, 195, 720, 720);
    imgEmail->setPixmap(
        modImage::SvgPixmap(QStringLiteral(":/images/options.svg"), imgEmail->size()));

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

    picButtons = new QWidget(this);
    picButtons->setObjectName(QStringLiteral("picButtons"));
    setBackground(picButtons, QColor(244, 244, 244));
    place(picButtons, 0, kButtonBarTop, kClientWidth, kClientHeight - kButtonBarTop);
    cmdOK = new QPushButton(QStringLiteral("OK"), picButtons);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    place(cmdOK, 2340, 195, 1080, 375);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), picButtons);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    place(cmdCancel, 3555, 195, 1080, 375);

    setTabOrder(cmdReset, chkLockOnMinimize);
    setTabOrder(chkLockOnMinimize, chkShowNotes);
    setTabOrder(chkShowNotes, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    cmdReset->setFocus();

    connect(cmdReset, &QPushButton::clicked, this, &frmOptions::cmdReset_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    // Cancel, Esc and the close box all reject: nothing is stored.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    Form_Load();
}

void frmOptions::Form_Load()
{
    // A stored value that is no Boolean leaves its box unticked; the other box still loads.
    clsApp& app = clsApp::shared();
    try {
        chkLockOnMinimize->setChecked(app.LockOnMinimize());
    } catch (const AppError&) {
    }
    try {
        chkShowNotes->setChecked(app.ShowNotesOwnColumn());
    } catch (const AppError&) {
    }
}

void frmOptions::cmdOK_Click()
{
    // Both options are written, changed or not. A store that refuses the write is reported and
    // the dialog stays open, so the user is not left believing the options were kept.
    clsApp& app = clsApp::shared();
    try {
        app.setLockOnMinimize(chkLockOnMinimize->checkState() != Qt::Unchecked);
        app.setShowNotesOwnColumn(chkShowNotes->checkState() != Qt::Unchecked);
    } catch (const AppError& error) {
        MsgBox::Show(error.Description(), MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(),
                     this);
        return;
    }
    accept();
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
