// The link control for assistive technology: role, name and the press action.
#include "ui/controls/usrHyperlinkAccessible.h"

#include "ui/controls/usrHyperlink.h"

usrHyperlinkAccessible::usrHyperlinkAccessible(usrHyperlink* link)
    : QAccessibleWidget(link, QAccessible::Link)
{
}

usrHyperlink* usrHyperlinkAccessible::link() const
{
    return static_cast<usrHyperlink*>(widget());
}

QString usrHyperlinkAccessible::text(QAccessible::Text type) const
{
    if (type == QAccessible::Name && link()->accessibleName().isEmpty()) {
        return link()->Caption();
    }
    if (type == QAccessible::Description && link()->accessibleDescription().isEmpty()) {
        return link()->ToolTip();
    }
    return QAccessibleWidget::text(type);
}

QStringList usrHyperlinkAccessible::actionNames() const
{
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void usrHyperlinkAccessible::doAction(const QString& actionName)
{
    if (actionName != pressAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    // What the click starts may open a modal window; the caller is not kept waiting for it.
    usrHyperlink* target = link();
    QMetaObject::invokeMethod(
        target,
        [target] {
            if (target->isEnabled()) {
                Q_EMIT target->Click();
            }
        },
        Qt::QueuedConnection);
}
