// The program's entry procedure.
#include "app/modSubMain.h"

#include "app/SingleInstance.h"
#include "app/clsApp.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modProtection.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QApplication>

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {

// Another copy was started on our data file: the window the user works in comes to the front.
void bringToFront()
{
    QWidget* target = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* main = qobject_cast<frmMain*>(w)) {
            main->BringToFront();
            return;
        }
        if (qobject_cast<frmLogin*>(w) && w->isVisible()) {
            target = w;
        }
    }
    if (target) {
        target->showNormal();
        target->raise();
        target->activateWindow();
    }
}

} // namespace

namespace modSubMain {

QString ConnectFailureMessage(const QString& sDatabasePath)
{
    return QStringLiteral("Unable to connect to database: ") + sDatabasePath +
           QStringLiteral("\r\n\r\nPlease e-mail: ") + QString::fromUtf16(SUPPORT_ADDRESS);
}

bool Main()
{
    // 1. Screen metrics: twips are 1/1440 inch.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        ScreenTwipsPerPixelX =
            static_cast<int>(std::lround(1440.0 / screen->logicalDotsPerInchX()));
        ScreenTwipsPerPixelY =
            static_cast<int>(std::lround(1440.0 / screen->logicalDotsPerInchY()));
    }
    // One running copy per data file: a second start wakes the first and ends, touching nothing.
    clsApp& app = clsApp::shared();
    SingleInstance& guard = SingleInstance::shared();
    HandedOverToRunningCopy = !guard.Acquire(app.DatabasePath());
    if (HandedOverToRunningCopy) {
        return false;
    }
    static const bool connected = static_cast<bool>(
        QObject::connect(&guard, &SingleInstance::ActivateRequested, &guard, &bringToFront));
    Q_UNUSED(connected);
    // 2. Common controls need no registration with Qt.
    // 3. The report folder; failures are of no concern here.
    app.MakeReportPath();
    // 4, 5. The data file.
    clsDB& db = clsDB::shared();
    db.Database = app.DatabasePath();
    bool open = false;
    try {
        open = db.OpenConnection(true);
    } catch (const AppError&) {
        open = false;
    }
    if (!open && modProtection::LooksProtected(db.Database)) {
        // Protected by the master password: the login window asks for it and opens the file.
        auto* login = new frmLogin();
        login->setAttribute(Qt::WA_DeleteOnClose);
        login->gbProtectedFile = true;
        login->show();
        return true;
    }
    if (!open) {
        MsgBox::Show(ConnectFailureMessage(db.Database), MsgBox::vbExclamation | MsgBox::vbOKOnly);
        guard.Release();
        return false;
    }
    // 6. The master row, then the login window.
    clsPWD::Master().OpenRecord(QStringLiteral("1"));
    auto* login = new frmLogin();
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->show();
    return true;
}

} // namespace modSubMain
