// The main window: its controls, the load sequence, the layout pass, the check boxes of the
// bottom bar and the lock panel, and the clean-up when it closes.
#include "ui/main/frmMain.h"

#include "data/clsDB.h"

#include "app/ClipboardHelper.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "platform/Grid.h"
#include "platform/GridAccessible.h"
#include "platform/MsgBox.h"
#include "platform/VbKey.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/clsColor.h"
#include "ui/controls/modAccessibility.h"
#include "ui/controls/modImage.h"
#include "ui/controls/usrHyperlink.h"
#include "ui/dialogs/frmFile.h"
#include "ui/dialogs/frmPassword.h"
#include "ui/main/modGrid.h"
#include "ui/tray/frmSystemTray.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QTabBar>
#include <QTimer>

namespace {

// Twips of the design layout.
constexpr int kClientWidth = 4920;
constexpr int kClientHeight = 9660;
constexpr int kTopHeight = 1095;
constexpr int kBottomHeight = 375;

} // namespace

const QString frmMain::PASSWORD_MASK = QString(8, QChar(0x2022));
const QString frmMain::SEARCH_PLACEHOLDER = QStringLiteral("Search");

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.svg")));
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    setFont(font);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(244, 244, 244));
    setPalette(pal);
    resize(twipsX(kClientWidth), twipsY(kClientHeight));

    createControls();
    createMenus();
    Form_Load();
    // One filter on the application: key preview (the window sees every key of its controls
    // first) and the events of its own controls that it handles.
    qApp->installEventFilter(this);
    clsDB::shared().OnReloaded = [this] { dataFileReloaded(); };
    clsDB::shared().OnForeignFile = [this] { foreignDataFile(); };
}

frmMain::~frmMain()
{
    clsDB::shared().OnReloaded = {};
    clsDB::shared().OnForeignFile = {};
}

int frmMain::twipsX(int lTwips) const
{
    return lTwips / std::max(1, modSubMain::ScreenTwipsPerPixelX);
}

int frmMain::twipsY(int lTwips) const
{
    return lTwips / std::max(1, modSubMain::ScreenTwipsPerPixelY);
}

void frmMain::createControls()
{
    // Top bar: the program logo and the six commands in two columns.
    picTop = new GradientPanel(1, this);
    imgKeyCask = new QLabel(picTop);
    imgKeyCask->setPixmap(
        modImage::SvgPixmap(QStringLiteral(":/images/keycask.svg"), QSize(48, 48)));
    imgKeyCask->setToolTip(QStringLiteral("Click to lock KeyCask"));
    imgKeyCask->setAccessibleName(QStringLiteral("Lock KeyCask"));
    const std::array<QString, 6> captions = {QStringLiteral("Add"),    QStringLiteral("Edit"),
                                             QStringLiteral("Delete"), QStringLiteral("Reveal"),
                                             QStringLiteral("Print"),  QStringLiteral("Options")};
    const std::array<QPoint, 6> places = {QPoint(1185, 135), QPoint(1185, 435), QPoint(1185, 735),
                                          QPoint(2415, 135), QPoint(2415, 435), QPoint(2415, 735)};
    for (std::size_t i = 0; i < linkAction.size(); ++i) {
        auto* link = new usrHyperlink(picTop);
        link->setObjectName(QStringLiteral("linkAction%1").arg(i));
        link->setForeColor(Qt::white);
        QFont linkFont = font();
        linkFont.setBold(true);
        link->setFont(linkFont);
        link->setCaption(captions[i]);
        link->move(twipsX(places[i].x()), twipsY(places[i].y()));
        link->resize(link->width(), twipsY(270));
        linkAction[i] = link;
    }

    // The search box and the lists.
    txtSearch = new QLineEdit(this);
    txtSearch->setAccessibleName(SEARCH_PLACEHOLDER);
    connect(txtSearch, &QLineEdit::textChanged, this, &frmMain::txtSearch_Change);
    tabs = new QTabBar(this);
    tabs->setDrawBase(true);
    tabs->setExpanding(false);
    tabs->setAutoFillBackground(true);
    connect(tabs, &QTabBar::currentChanged, this,
            [this](int index) { tabs_TabSelected(index + 1); });
    grid = new Grid(this);
    grid->setFont(font());
    // A screen reader hears "hidden password" for a masked cell, and the list by its tab's name.
    grid->setProperty(GridAccessible::MASK_PROPERTY, PASSWORD_MASK);
    connect(tabs, &QTabBar::currentChanged, grid,
            [this](int index) { grid->setAccessibleName(tabs->tabText(index)); });
    // Tab goes from the search box to the list it filters.
    setTabOrder(txtSearch, grid);
    connect(grid, &Grid::ColumnClick, this, &frmMain::grid_ColumnClick);
    connect(grid, &Grid::ColumnWidthChanged, this, &frmMain::grid_ColumnWidthChanged);
    // Edit and Delete follow a selection the user makes in the list with the keyboard, as they
    // follow a click; a row the program selects after a save leaves them as they are.
    connect(grid, &Grid::selectionChanged, this, [this] {
        if (grid->hasFocus()) {
            UpdateCommandStates();
        }
    });

    // Lock panel, hidden until the window is locked.
    picLock = new GradientPanel(1, this);
    picLock->hide();
    lblPassword = new QLabel(QStringLiteral("Password"), picLock);
    lblPassword->setStyleSheet(QStringLiteral("color: rgb(224, 224, 224);"));
    lblPassword->resize(twipsX(810), twipsY(195));
    txtPassword = new QLineEdit(picLock);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setAccessibleName(lblPassword->text());
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 8226;"));
    txtPassword->resize(twipsX(1875), twipsY(360));
    cmdUnlock = new QPushButton(QStringLiteral("Unlock"), picLock);
    cmdUnlock->setEnabled(false);
    cmdUnlock->setDefault(true);
    cmdUnlock->resize(twipsX(1155), twipsY(360));
    connect(txtPassword, &QLineEdit::textChanged, this, &frmMain::txtPassword_Change);
    // Enter presses Unlock, only while it is enabled.
    connect(txtPassword, &QLineEdit::returnPressed, this, [this] {
        if (cmdUnlock->isEnabled()) {
            cmdUnlock->click();
        }
    });
    connect(cmdUnlock, &QPushButton::clicked, this, &frmMain::cmdUnlock_Click);
    imgLock = new QLabel(picLock);
    imgLock->setPixmap(modImage::SvgPixmap(QStringLiteral(":/images/padlock.svg"), QSize(32, 32)));
    imgLock->resize(32, 32);
    modAccessibility::SetDecorative(imgLock);
    chkLock = new QCheckBox(picLock);
    chkLock->setStyleSheet(QStringLiteral("QCheckBox { background-color: rgb(220, 220, 220); }"));
    chkLock->resize(twipsX(195), twipsY(210));
    connect(chkLock, &QCheckBox::toggled, this, &frmMain::chkLock_Click);
    lblLock = new QLabel(QStringLiteral("Lock when minimized"), picLock);
    lblLock->setStyleSheet(QStringLiteral("color: white;"));
    lblLock->adjustSize();
    chkLock->setAccessibleName(lblLock->text());

    // Bottom bar: help, always on top, the maker's logo.
    picBottom = new GradientPanel(3, this);
    linkHelp = new usrHyperlink(picBottom);
    linkHelp->setCaption(QStringLiteral("Help"));
    linkHelp->setGeometry(twipsX(90), twipsY(75), twipsX(675), twipsY(270));
    chkAlwaysOnTop = new QCheckBox(picBottom);
    chkAlwaysOnTop->setGeometry(twipsX(990), twipsY(90) - 1, twipsX(195) + 2, twipsY(210) + 2);
    connect(chkAlwaysOnTop, &QCheckBox::toggled, this, &frmMain::chkAlwaysOnTop_Click);
    lblAlwaysOnTop = new QLabel(QStringLiteral("Always on top"), picBottom);
    lblAlwaysOnTop->move(twipsX(1260), twipsY(90) - 1);
    lblAlwaysOnTop->adjustSize();
    chkAlwaysOnTop->setAccessibleName(lblAlwaysOnTop->text());
    imgQuillonSoftware = new QLabel(picBottom);
    imgQuillonSoftware->setPixmap(
        modImage::SvgPixmap(QStringLiteral(":/images/quillon_logo.svg"), QSize(106, 20)));
    imgQuillonSoftware->resize(106, 20);
    imgQuillonSoftware->setAccessibleName(QStringLiteral("Quillon Software"));
}

void frmMain::Form_Load()
{
    mbLoading = true;
    modGeneral::SetHandCursor(imgQuillonSoftware);
    modGeneral::SetHandCursor(imgKeyCask);
    setWindowTitle(QStringLiteral("KeyCask"));
    txtSearch->setText(SEARCH_PLACEHOLDER);
    LayoutWindow();
    // Before the placement: a stored size below it opens at it.
    setMinimumSize(leastSize());
    tabs->addTab(QStringLiteral("Passwords"));
    tabs->addTab(QStringLiteral("File Folders"));
    tabs->setCurrentIndex(0);
    grid->setAlternateRowBackColor(clsColor::shared().Gray());
    try {
        chkAlwaysOnTop->setChecked(clsApp::shared().AlwaysOnTop());
    } catch (const std::exception&) {
    }
    // A store that cannot be read leaves the lock on, its default.
    try {
        chkLock->setChecked(clsApp::shared().LockOnMinimize());
    } catch (const std::exception&) {
        chkLock->setChecked(true);
    }
    modGeneral::FormPlacement(true, this);
    FillPasswordGrid();
    ApplyIdleSetting();
    mbLoading = false;
}

void frmMain::LayoutWindow()
{
    const int w = width();
    const int h = height();
    const int topHeight = twipsY(kTopHeight);
    const int bottomHeight = twipsY(kBottomHeight);
    const int px = 1; // lengths below given in pixels

    picTop->setGeometry(0, 0, w, topHeight);
    imgKeyCask->setGeometry(8, (topHeight - 48) / 2, 48, 48);
    picBottom->setGeometry(0, std::max(0, h - bottomHeight), w, bottomHeight);

    picLock->setGeometry(0, topHeight, w, std::max(0, h - topHeight - bottomHeight));
    const int lockW = picLock->width();
    const int lockH = picLock->height();
    txtPassword->move((lockW - txtPassword->width()) / 2,
                      static_cast<int>((lockH - txtPassword->height()) / 2.2));
    lblPassword->move(txtPassword->x(), txtPassword->y() - lblPassword->height() - 4 * px);
    cmdUnlock->move(txtPassword->x(), txtPassword->y() + txtPassword->height() + 4 * px);
    imgLock->move(txtPassword->x() - imgLock->width() - 4 * px, lblPassword->y());
    chkLock->move(txtPassword->x(), cmdUnlock->y() + cmdUnlock->height() + 8 * px);
    lblLock->move(chkLock->x() + chkLock->width() + 4 * px, chkLock->y());

    txtSearch->setGeometry(0, topHeight, w, twipsY(315));
    const int tabsTop = twipsY(1410);
    tabs->setGeometry(0, tabsTop, w, std::max(0, h - tabsTop - bottomHeight));
    grid->setGeometry(tabs->x() + 2 * px, tabs->y() + 22 * px, std::max(0, tabs->width() - 3 * px),
                      std::max(0, tabs->height() - 23 * px));
    tabs->lower();
    imgQuillonSoftware->move(w - imgQuillonSoftware->width(),
                             (bottomHeight - imgQuillonSoftware->height()) / 2);
}

QSize frmMain::leastSize() const
{
    constexpr int kGap = 8;
    // The command bar, each link whole.
    int width = 0;
    for (const usrHyperlink* link : linkAction) {
        width = std::max(width, link->geometry().right() + 1 + kGap);
    }
    // The bottom bar: "Always on top" beside the maker's logo.
    width = std::max(width,
                     lblAlwaysOnTop->geometry().right() + 1 + kGap + imgQuillonSoftware->width());
    // The lock panel, centred on the password box: the padlock at its left, the widest of the
    // rows below it at its right.
    const int box = txtPassword->width();
    const int left = imgLock->width() + 4;
    const int right =
        std::max({box, cmdUnlock->width(), chkLock->width() + 4 + lblLock->sizeHint().width()});
    width = std::max({width, box + 2 * (left + kGap), 2 * (right + kGap) - box});

    // The lock panel's rows from the label above the box to the check box below the button, as
    // LayoutWindow places them.
    const int bars = twipsY(kTopHeight) + twipsY(kBottomHeight);
    int lockHeight = 0;
    for (;; ++lockHeight) {
        const int top = static_cast<int>((lockHeight - txtPassword->height()) / 2.2);
        const int bottom = top + txtPassword->height() + 4 + cmdUnlock->height() + 8 +
                           std::max(chkLock->height(), lblLock->sizeHint().height());
        if (top - lblPassword->height() - 4 >= kGap && bottom + kGap <= lockHeight) {
            break;
        }
    }
    // The list: its tabs and a few rows under the search box.
    const int list = twipsY(1410) - twipsY(kTopHeight) + 22 + 3 * grid->GridDefaultRowHeight();
    return {width, bars + std::max(lockHeight, list)};
}

void frmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        // The list takes the focus first, so the search box keeps its resting text.
        m_shown = true;
        grid->setFocus();
        // A window manager adds its frame once the window is mapped: fit the frame then.
        for (const int delay : {0, 100, 500, 1500}) {
            QTimer::singleShot(delay, this, &frmMain::fitFrame);
        }
        QTimer::singleShot(0, this, &frmMain::ApplyAutoTypeShortcut);
    }
}

bool frmMain::event(QEvent* event)
{
    if (event->type() == QEvent::Move || event->type() == QEvent::WindowActivate ||
        event->type() == QEvent::WindowStateChange) {
        fitFrame();
    }
    if (event->type() == QEvent::WindowActivate) {
        Form_Activate();
    }
    return QWidget::event(event);
}

void frmMain::fitFrame()
{
    if (!m_frameFitted && isVisible()) {
        m_frameFitted = modGeneral::FitFramePlacement(this);
    }
}

void frmMain::BringToFront()
{
    if (mfrmSystemTray) {
        RestoreFromTray();
        return;
    }
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void frmMain::scheduleRowHeightFit()
{
    if (m_rowFitPending) {
        return;
    }
    m_rowFitPending = true;
    QTimer::singleShot(0, this, &frmMain::fitRowHeights);
}

void frmMain::fitRowHeights()
{
    m_rowFitPending = false;
    // Only row text wraps at the list's width; a notes column keeps its own width. Rows the
    // search hides are fitted when it shows them again.
    if (grid->GridRowTextColumn() > 0 && grid->GridRowCount() > 0) {
        modGrid::AutoSizeRowHeights(grid, grid->GridRowTextColumn(), true);
    }
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutWindow();
}

void frmMain::chkAlwaysOnTop_Click()
{
    const bool onTop = chkAlwaysOnTop->isChecked();
    modGeneral::SetAlwaysOnTop(this, onTop);
    try {
        clsApp::shared().setAlwaysOnTop(onTop);
    } catch (const std::exception&) {
    }
}

void frmMain::lblAlwaysOnTop_Click()
{
    chkAlwaysOnTop->setChecked(!chkAlwaysOnTop->isChecked());
}

void frmMain::chkLock_Click()
{
    try {
        clsApp::shared().setLockOnMinimize(chkLock->isChecked());
    } catch (const std::exception&) {
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        // Input to any of the program's windows is use: the idle time starts again.
        if (m_idleMinutes > 0) {
            m_lastInputMs = idleNow();
        }
        break;
    default:
        break;
    }
    if (event->type() == QEvent::KeyPress) {
        // Once per key: at the control that holds this window's focus, where the key arrives
        // first (a modal window takes its own keys). A key that control leaves passes on to
        // the window itself; the window's own focus control, unlike the application's, stays
        // the same while a window the key opened closes and the window manager has not yet
        // activated this one again. The key goes on to that control afterwards, unless the
        // command moved the focus away from it.
        QWidget* target = focusWidget() ? focusWidget() : this;
        if (watched == target) {
            const auto* key = static_cast<QKeyEvent*>(event);
            return Form_KeyDown(VbKey::KeyCode(key), VbKey::ShiftState(key->modifiers())) &&
                   focusWidget() != target && target != this;
        }
        return false;
    }
    if (watched == imgKeyCask && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && imgKeyCask->isEnabled()) {
        imgKeyCask_Click();
        return true;
    }
    if (watched == imgQuillonSoftware && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        imgQuillonSoftware->isEnabled()) {
        imgQuillonSoftware_Click();
        return true;
    }
    if (watched == lblAlwaysOnTop && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        lblAlwaysOnTop->isEnabled()) {
        lblAlwaysOnTop_Click();
        return true;
    }
    if (watched == grid->viewport() && event->type() == QEvent::Resize) {
        // The list's width changes with the window and when the vertical scroll bar comes or goes.
        const int width = static_cast<QResizeEvent*>(event)->size().width();
        if (width != m_listWidth) {
            m_listWidth = width;
            scheduleRowHeightFit();
        }
    }
    if (watched == txtSearch && event->type() == QEvent::MouseButtonPress &&
        !txtSearch->hasFocus() && txtSearch->text().trimmed() == SEARCH_PLACEHOLDER) {
        // In a window that is not active yet the press gives the box no focus event: the
        // resting text goes here, so that typing does not extend it.
        txtSearch->setText(QString());
    }
    if (watched == txtSearch &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        // Switching to another program and back, or a popup, is no move of the focus.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (event->type() == QEvent::FocusIn) {
                txtSearch_GotFocus();
            } else {
                txtSearch_LostFocus();
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    QWidget::closeEvent(event);
}

void frmMain::Form_Unload()
{
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    // The reports KeyCask wrote go (the password report holds plain text); other files stay.
    QStringList failed;
    modGeneral::IgnoreErrors([&failed] { failed = clsApp::shared().DeleteReports(); });
    if (!failed.isEmpty()) {
        MsgBox::Show(QStringLiteral("Unable to delete password file: ") + failed.last(),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly);
    }
    modGeneral::FormPlacement(false, this);
    // What another program put on the clipboard since is not KeyCask's to clear.
    ClipboardHelper::shared().ClearOwnCopy();
}
