// The tray window over QSystemTrayIcon and a QMenu.
#include "ui/tray/frmSystemTray.h"

#include <QAction>
#include <QCursor>
#include <QFont>
#include <QMenu>
#include <QPointer>

namespace {

const QString kSeparator = QStringLiteral("-");

} // namespace

frmSystemTray::frmSystemTray(QObject* parent)
    : QObject(parent), m_menu(std::make_unique<QMenu>()),
      m_balloons(QSystemTrayIcon::supportsMessages()),
      m_icon(QStringLiteral(":/images/app_icon.svg"))
{
    setObjectName(QStringLiteral("frmSystemTray"));
    m_menu->setObjectName(QStringLiteral("mnuPopup"));
    m_menu->setTitle(QStringLiteral("&Popup"));
    // Item 0, taken by the first AddMenuItem; until then it is an empty, bold default item.
    m_menu->addAction(QString());
    markDefaultItem();
    connect(m_menu.get(), &QMenu::triggered, this, &frmSystemTray::onMenuTriggered);

    m_tray = new QSystemTrayIcon(m_icon, this);
    // The events reach the owner from the event loop, never from inside the tray icon's own
    // handling: an owner commonly destroys this object (and with it the icon) in a handler.
    // The menu is deliberately not the icon's context menu: on X11 Qt would pop that up on a
    // right click by itself, beside the one the owner shows with ShowMenu.
    connect(m_tray, &QSystemTrayIcon::activated, this, &frmSystemTray::onActivated,
            Qt::QueuedConnection);
    connect(m_tray, &QSystemTrayIcon::messageClicked, this, &frmSystemTray::BalloonClicked,
            Qt::QueuedConnection);
    m_tray->show();
}

frmSystemTray::~frmSystemTray()
{
    // The icon leaves the notification area with this object.
    m_tray->hide();
}

int frmSystemTray::AddMenuItem(const QString& sCaption, const QString& sKey, bool bDefault)
{
    QAction* item = nullptr;
    if (!m_firstItemUsed) {
        m_firstItemUsed = true;
        item = m_menu->actions().constFirst();
    } else {
        item = m_menu->addAction(QString());
    }
    item->setVisible(true);
    item->setData(sKey);
    setCaption(item, sCaption);
    const int index = static_cast<int>(m_menu->actions().indexOf(item));
    if (bDefault) {
        m_defaultIndex = index;
    }
    markDefaultItem();
    return index;
}

int frmSystemTray::RemoveMenuItem(int iIndex)
{
    const QList<QAction*> items = m_menu->actions();
    if (iIndex < 0 || iIndex >= items.size()) {
        return 0;
    }
    if (iIndex == 0) {
        setCaption(items.constFirst(), QString());
        return 0;
    }
    // Taking the item out moves every later item one place down with its caption, key and
    // enabled state, so a disabled command stays disabled under its new index.
    QAction* item = items.at(iIndex);
    m_menu->removeAction(item);
    item->deleteLater();
    markDefaultItem();
    return 0;
}

void frmSystemTray::EnableMenuItem(int lIndex, bool bState)
{
    const QList<QAction*> items = m_menu->actions();
    if (lIndex >= 0 && lIndex < items.size()) {
        items.at(lIndex)->setEnabled(bState);
    }
}

void frmSystemTray::setDefaultMenuIndex(int lIndex)
{
    m_defaultIndex = lIndex >= 0 && lIndex < m_menu->actions().size() ? lIndex : 0;
    markDefaultItem();
}

void frmSystemTray::ShowMenu()
{
    markDefaultItem();
    m_menu->popup(QCursor::pos());
    // An active menu takes the keyboard and closes when the user clicks elsewhere.
    m_menu->activateWindow();
}

void frmSystemTray::ShowBalloonTip(const QString& sMessage, const QString& sTitle, int eIcon,
                                   int lTimeOutMs)
{
    if (!m_balloons) {
        return;
    }
    // The low four bits choose the icon, as the notification area's icon flags do.
    QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::NoIcon;
    switch (eIcon & 0x0F) {
    case 1:
        icon = QSystemTrayIcon::Information;
        break;
    case 2:
        icon = QSystemTrayIcon::Warning;
        break;
    case 3:
        icon = QSystemTrayIcon::Critical;
        break;
    default:
        break;
    }
    m_tray->showMessage(sTitle, sMessage, icon, lTimeOutMs);
}

void frmSystemTray::setIconHandle(const QIcon& hIcon)
{
    // Copies of one icon share its cache key; an icon made anew is a different icon.
    if (hIcon.cacheKey() == m_icon.cacheKey()) {
        return;
    }
    m_icon = hIcon;
    m_tray->setIcon(m_icon);
}

void frmSystemTray::setToolTip(const QString& sTip)
{
    QString tip = sTip;
    const qsizetype nul = tip.indexOf(QChar(u'\0'));
    if (nul >= 0) {
        tip.truncate(nul);
    }
    if (tip.size() > TIP_LENGTH) {
        // A character outside the basic plane is kept whole or left out, never halved.
        tip.truncate(tip.at(TIP_LENGTH - 1).isHighSurrogate() ? TIP_LENGTH - 1 : TIP_LENGTH);
    }
    m_tip = tip;
    m_tray->setToolTip(m_tip);
}

void frmSystemTray::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        // A left click; on Windows Qt reports it when the button is released.
        Q_EMIT SysTrayMouseDown(1);
        break;
    case QSystemTrayIcon::Context: {
        // A right click comes as one report; press and release follow each other here. A
        // handler of the first may have destroyed this object.
        const QPointer<frmSystemTray> self(this);
        Q_EMIT SysTrayMouseDown(2);
        if (self) {
            Q_EMIT SysTrayMouseUp(2);
        }
        break;
    }
    case QSystemTrayIcon::DoubleClick:
        Q_EMIT SysTrayDoubleClick(1);
        break;
    default:
        // The middle button and anything unknown are not reported.
        break;
    }
}

void frmSystemTray::onMenuTriggered(QAction* action)
{
    const int index = static_cast<int>(m_menu->actions().indexOf(action));
    if (index < 0) {
        return;
    }
    const QString key = action->data().toString();
    // Raised once the menu has finished with the choice, so a handler may destroy this object.
    QMetaObject::invokeMethod(
        this, [this, index, key] { Q_EMIT MenuClick(index, key); }, Qt::QueuedConnection);
}

void frmSystemTray::setCaption(QAction* action, const QString& sCaption)
{
    // A separator carries no text: some styles would draw it as a section heading.
    const bool separator = sCaption == kSeparator;
    action->setSeparator(separator);
    action->setText(separator ? QString() : sCaption);
}

void frmSystemTray::markDefaultItem()
{
    const QList<QAction*> items = m_menu->actions();
    QAction* defaultItem =
        m_defaultIndex >= 0 && m_defaultIndex < items.size() ? items.at(m_defaultIndex) : nullptr;
    m_menu->setDefaultAction(defaultItem);
    for (QAction* item : items) {
        QFont font = item->font();
        font.setBold(item == defaultItem);
        item->setFont(font);
    }
}
