// A decorative image for assistive technology: an unnamed graphic that reports itself invisible.
#include "ui/controls/DecorativeImageAccessible.h"

DecorativeImageAccessible::DecorativeImageAccessible(QWidget* image)
    : QAccessibleWidget(image, QAccessible::Graphic)
{
}

QAccessible::State DecorativeImageAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.invisible = true;
    return state;
}
