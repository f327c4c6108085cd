// The program's shared colours.
#include "ui/controls/clsColor.h"

clsColor& clsColor::shared()
{
    static clsColor instance;
    return instance;
}

QColor clsColor::Gray() const
{
    return QColor(242, 242, 242);
}

QColor clsColor::Hyperlink() const
{
    return QColor(0, 61, 178);
}

QColor clsColor::HyperlinkDisabled() const
{
    return QColor(185, 185, 185);
}
