// An image that carries no meaning (a logo beside a title, a shadow, an illustration) as
// assistive technology sees it: nothing to announce, no name, never shown to a screen reader.
#pragma once

#include <QAccessibleWidget>

class DecorativeImageAccessible : public QAccessibleWidget
{
public:
    explicit DecorativeImageAccessible(QWidget* image);

    QString text(QAccessible::Text /*type*/) const override { return QString(); }
    QAccessible::State state() const override;
};
