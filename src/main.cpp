// KeyCask's entry point: the application object, then start-up.
#include "app/modSubMain.h"
#include "ui/controls/modAccessibility.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KeyCask"));
    QApplication::setOrganizationName(QStringLiteral("QuillonSoftware"));
    // The desktop entry's name: Wayland shows its icon for the windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillonsoftware.KeyCask"));
    modAccessibility::Install();
    if (!modSubMain::Main()) {
        return modSubMain::HandedOverToRunningCopy ? 0 : 1;
    }
    return QApplication::exec();
}
