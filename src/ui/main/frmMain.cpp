// The main window: construction.
#include "ui/main/frmMain.h"

#include <QIcon>

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("KeyCask"));
    setWindowIcon(QIcon(QStringLiteral(":/images/keycask.svg")));
    resize(328, 644);
}
