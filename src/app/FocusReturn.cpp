// Gives the keyboard back to the window that opened a dialog once the dialog closes.
#include "app/FocusReturn.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

void FocusReturn::Install()
{
    static FocusReturn* const filter = [] {
        auto* created = new FocusReturn;
        created->setParent(qApp);
        qApp->installEventFilter(created);
        return created;
    }();
    Q_UNUSED(filter);
}

bool FocusReturn::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::Show && type != QEvent::Hide && type != QEvent::WindowDeactivate) ||
        !watched->isWidgetType()) {
        return false;
    }
    auto* dialog = static_cast<QWidget*>(watched);
    if (!dialog->isWindow() || dialog->windowType() != Qt::Dialog) {
        return false;
    }
    if (type == QEvent::WindowDeactivate) {
        // A dialog loses the activation first when it closes; one that is still shown lost it
        // to another program.
        if (dialog->isHidden()) {
            m_closingActive = dialog;
        }
        return false;
    }
    if (event->spontaneous()) {
        return false;
    }
    if (type == QEvent::Show) {
        // A dialog with a parent goes back to its parent's window; one without, to the window
        // that was active when it opened.
        if (!dialog->parentWidget()) {
            m_openers.insert(dialog, QApplication::activeWindow());
        }
        return false;
    }
    const QPointer<QWidget> opener =
        dialog->parentWidget() ? dialog->parentWidget()->window() : m_openers.take(dialog).data();
    // Only a dialog the user was in hands the keyboard on: one closed while another program
    // was in front leaves it there.
    const bool wasActive = m_closingActive == dialog || QApplication::activeWindow() == dialog;
    m_closingActive = nullptr;
    if (!wasActive || !opener || opener == dialog) {
        return false;
    }
    // After the closing is done, unless another dialog has opened meanwhile or the opener has
    // gone too (the lock hides every open dialog).
    QTimer::singleShot(0, opener, [opener] {
        const QWidget* modal = QApplication::activeModalWidget();
        if (opener && opener->isVisible() && !opener->isMinimized() &&
            (!modal || modal == opener) && !opener->isActiveWindow()) {
            opener->activateWindow();
        }
    });
    return false;
}
