// Gives the keyboard back to the window that opened a dialog, on the control that had it, once
// the dialog closes: the window manager does not always activate it again by itself.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>

class FocusReturn : public QObject
{
public:
    // Watches every dialog of the application from now on; once.
    static void Install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window active when each open dialog without a parent was shown.
    QHash<QObject*, QPointer<QWidget>> m_openers;
    // The dialog that was active when its closing began.
    QPointer<QWidget> m_closingActive;
};
