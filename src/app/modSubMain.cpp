// The program's entry procedure.
#include "app/modSubMain.h"

#include "app/SingleInstance.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modProtection.h"
#include "data/modSchema.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <future>
#include <memory>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

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

// A data file that is a symbolic link is the file it leads to, everywhere: a re-encryption
// replaces that file and keeps the link, and copies started through different links share one
// lock. A link that leads nowhere stays as it is, and the open says so.
QString dataFileTarget(const QString& sPath)
{
    const QFileInfo info(sPath);
    if (!info.isSymLink()) {
        return sPath;
    }
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? sPath : QDir::toNativeSeparators(target);
}

} // namespace

namespace modSubMain {

QString LockFailureMessage(const QString& sLockPath)
{
    return QStringLiteral("The data file is locked by a copy of KeyCask that does not answer, or "
                          "its lock file cannot be replaced: ") +
           QDir::toNativeSeparators(sLockPath) +
           QStringLiteral("\r\n\r\nIf KeyCask is not running, remove that file and start again.");
}

QString CreateFailureMessage(const QString& sDatabasePath, const QString& sCause)
{
    return QStringLiteral("Unable to create the data file: ") + sDatabasePath +
           QStringLiteral("\r\n\r\n") + sCause;
}

QString ConnectFailureMessage(const QString& sDatabasePath)
{
    return QStringLiteral("Unable to connect to database: ") + sDatabasePath +
           QStringLiteral("\r\n\r\nPlease e-mail: ") + QString::fromUtf16(SUPPORT_ADDRESS);
}

void HardenProcess()
{
#ifdef Q_OS_LINUX
    // Not dumpable: no core file on a crash, and another process of the same user cannot attach
    // a debugger or read /proc/<pid>/mem. The core limit of 0 also covers a crash handler that
    // would make the process dumpable again.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit noCore = {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
#endif
    // Elsewhere nothing: other systems write no core file of a desktop program by default.
}

bool Main()
{
    HardenProcess();
    // 1. Screen metrics: twips are 1/1440 inch.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        ScreenTwipsPerPixelX =
            static_cast<int>(std::lround(1440.0 / screen->logicalDotsPerInchX()));
        ScreenTwipsPerPixelY =
            static_cast<int>(std::lround(1440.0 / screen->logicalDotsPerInchY()));
    }
    // One running copy per data file: a second start wakes the first and ends, touching nothing.
    clsApp& app = clsApp::shared();
    const bool installed = app.RunMode() == clsApp::Mode::Installed;
    if (installed) {
        // The data file's folder, the user's alone, comes first: it holds the lock of the copy
        // that makes the data file.
        const QString folder = QFileInfo(app.DatabasePath()).absolutePath();
        QDir().mkpath(QFileInfo(folder).absolutePath());
        QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (const QString problem = app.DataFolderProblem(); !problem.isEmpty()) {
            MsgBox::Show(problem, MsgBox::vbExclamation | MsgBox::vbOKOnly);
            return false;
        }
    }
    const QString dataFile = dataFileTarget(app.DatabasePath());
    SingleInstance& guard = SingleInstance::shared();
    const SingleInstance::Outcome outcome = guard.Acquire(dataFile);
    HandedOverToRunningCopy = outcome == SingleInstance::Outcome::HandedOver;
    if (outcome == SingleInstance::Outcome::Blocked) {
        MsgBox::Show(LockFailureMessage(SingleInstance::LockPath(dataFile)),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly);
    }
    if (outcome != SingleInstance::Outcome::Held) {
        return false;
    }
    static const bool connected = static_cast<bool>(
        QObject::connect(&guard, &SingleInstance::ActivateRequested, &guard, &bringToFront));
    Q_UNUSED(connected);
    // What a cut-off re-encryption left goes, and so do the rights of others on the data file
    // and its folder; neither is worth a word.
    // Installed, the first start makes the user's data file; the master password is chosen next.
    if (const QFileInfo info(dataFile); installed && !info.exists() && !info.isSymLink()) {
        try {
            modSchema::CreateDataFile(dataFile);
        } catch (const AppError& error) {
            MsgBox::Show(CreateFailureMessage(dataFile, error.Description()),
                         MsgBox::vbExclamation | MsgBox::vbOKOnly);
            guard.Release();
            return false;
        }
    }
    modProtection::RemoveLeftOverCopy(dataFile);
    modGeneral::KeepToOwner(dataFile);
    modGeneral::KeepToOwner(QFileInfo(app.DatabasePath()).absolutePath());
    // 2. Common controls need no registration with Qt.
    // 3. The report folder; failures are of no concern here.
    app.MakeReportPath();
    // 4, 5. The data file. Deriving its key is most of the start: the file is opened on a
    // second thread while the sign-in window is built and styled here, and nothing else uses
    // the session until the open has ended.
    clsDB& db = clsDB::shared();
    db.Database = dataFile;
    auto opening = std::async(std::launch::async, [&db] {
        try {
            return db.OpenConnection(true);
        } catch (const AppError&) {
            return false;
        }
    });
    auto login = std::make_unique<frmLogin>();
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->ensurePolished();
    const bool open = opening.get();
    if (!open && modProtection::LooksProtected(db.Database)) {
        // Protected by the master password: the login window asks for it and opens the file.
        login->gbProtectedFile = true;
        login.release()->show();
        return true;
    }
    if (!open) {
        login.reset();
        MsgBox::Show(ConnectFailureMessage(db.Database), MsgBox::vbExclamation | MsgBox::vbOKOnly);
        guard.Release();
        return false;
    }
    // 6. The master row, then the login window.
    clsPWD::Master().OpenRecord(QStringLiteral("1"));
    login.release()->show();
    return true;
}

} // namespace modSubMain
