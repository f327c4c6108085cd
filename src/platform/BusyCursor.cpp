// The wait cursor of a statement that waits for a locked data file.
#include "platform/BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>
#include <QThread>
#include <atomic>

namespace {

std::atomic<bool> g_shown{false};

bool onUserInterfaceThread()
{
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void BusyCursor::Show()
{
    if (g_shown.load() || !onUserInterfaceThread()) {
        return;
    }
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    g_shown.store(true);
}

void BusyCursor::Restore()
{
    if (!g_shown.load() || !onUserInterfaceThread()) {
        return;
    }
    g_shown.store(false);
    QGuiApplication::restoreOverrideCursor();
}

bool BusyCursor::IsShown()
{
    return g_shown.load();
}
