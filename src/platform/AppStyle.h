// The program's style: the platform's, with the message signs and the pictures of folders, files
// and file dialogs drawn from SVG at any pixel density, and dialog buttons without bitmaps.
#pragma once

#include <QProxyStyle>

class AppStyle : public QProxyStyle
{
    Q_OBJECT

public:
    AppStyle();

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;

    // Makes this the application's style once; the application owns it.
    static void Install();
};
