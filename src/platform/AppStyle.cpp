// The program's style over the platform's.
#include "platform/AppStyle.h"

#include <QApplication>
#include <QIcon>

AppStyle::AppStyle() : QProxyStyle() {}

int AppStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                        QStyleHintReturn* returnData) const
{
    // The built-in button pictures are 16-pixel bitmaps, blurred on a dense screen; the captions
    // say it all.
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) {
        return 0;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QIcon AppStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                             const QWidget* widget) const
{
    // The message signs as SVG: a message box draws them at its screen's pixel density.
    switch (standardIcon) {
    case SP_MessageBoxWarning:
        return QIcon(QStringLiteral(":/images/msg_warning.svg"));
    case SP_MessageBoxQuestion:
        return QIcon(QStringLiteral(":/images/msg_question.svg"));
    case SP_MessageBoxInformation:
        return QIcon(QStringLiteral(":/images/msg_information.svg"));
    case SP_MessageBoxCritical:
        return QIcon(QStringLiteral(":/images/msg_critical.svg"));
    default:
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
}

void AppStyle::Install()
{
    if (!qobject_cast<AppStyle*>(QApplication::style())) {
        QApplication::setStyle(new AppStyle);
    }
}
