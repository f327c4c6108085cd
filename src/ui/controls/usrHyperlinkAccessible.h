// The link control as assistive technology sees it: a link named by its caption, whose press
// action does what a click does, disabled while the control is.
#pragma once

#include <QAccessibleWidget>

class usrHyperlink;

class usrHyperlinkAccessible : public QAccessibleWidget
{
public:
    explicit usrHyperlinkAccessible(usrHyperlink* link);

    QString text(QAccessible::Text type) const override;
    // The caption and icon are parts of the one link, not objects of their own.
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }

    QStringList actionNames() const override;
    // Press raises Click once the current event is over, as a click would.
    void doAction(const QString& actionName) override;

private:
    usrHyperlink* link() const;
};
