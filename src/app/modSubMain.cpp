// The program's entry procedure.
#include "app/modSubMain.h"

#include "app/FocusReturn.h"
#include "app/SingleInstance.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "crypto/modFieldEncryption.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "data/modData.h"
#include "data/modProtection.h"
#include "data/modSchema.h"
#include "platform/AppError.h"
#include "platform/AppStyle.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"
#include "platform/SqlConnection.h"
#include "platform/WaitCursor.h"
#include "ui/dialogs/frmRestore.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QScreen>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <future>
#include <memory>
#include <system_error>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
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

// Whether the master row, when there is one, can be read: a damaged file may open and still
// fail here.
bool masterRowReadable()
{
    try {
        auto rs = modData::ExecuteRequired(
            QStringLiteral("SELECT PASSWORD_TX FROM PWD WHERE PASSWORD_ID = 1"));
        if (!rs->EndOfRows()) {
            QString password = modFieldEncryption::DecryptField(rs->FieldAt(0));
            SecretText::Wipe(password);
        }
        return true;
    } catch (const AppError&) {
        return false;
    }
}

// The list of the backups, for a data file that no session could open or that is missing; true
// when one took its place, the session then open on it with its master row read.
bool restoreFromList(QWidget* parent)
{
    frmRestore list(parent, frmRestore::Use::DamagedFile);
    list.exec();
    if (!list.Restored()) {
        return false;
    }
    SecretText::Release(clsPWD::Master().PASSWORD_TX);
    clsPWD::Master() = clsPWD();
    clsPWD::Master().OpenRecord(QStringLiteral("1"));
    return true;
}

// Makes the data file's folder, the user's alone, and the folders above it; gives the system's
// reason when it cannot be made, nothing when it is there.
QString makeDataFolder(const QString& sFolder)
{
    std::error_code error;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(QFileInfo(sFolder).absolutePath()).toStdString()),
        error);
#ifdef Q_OS_UNIX
    if (!error && ::mkdir(QFile::encodeName(sFolder).constData(), 0700) != 0 && errno != EEXIST) {
        error = std::error_code(errno, std::generic_category());
    }
#else
    if (!error && !QDir().mkdir(sFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
        !QFileInfo(sFolder).isDir()) {
        error = std::make_error_code(std::errc::permission_denied);
    }
#endif
    return error ? QString::fromLocal8Bit(error.message()) : QString();
}

// Why the data file's folder could not be made at this start; empty when it is there.
QString dataFolderError;

// Installed, the first start makes the user's data file. A later start (the folder holds
// backups, or the settings say KeyCask made the file) never does so by itself: the file may lie
// on a disk or in a synchronised folder that is not there yet. The user restores a backup, makes
// a new empty file or quits (the default). False to quit; bRestored tells that a backup came
// back, the session open on it.
bool provideMissingFile(const QString& sDataFile, bool& bRestored)
{
    clsApp& app = clsApp::shared();
    const QFileInfo backups(modBackup::Folder(sDataFile));
    if (app.DataFileMade() || backups.exists() || backups.isSymLink()) {
        for (;;) {
            const bool copies = modBackup::HasCopies(sDataFile);
            const int answer = MsgBox::Show(
                modSubMain::MissingFileMessage(sDataFile, copies),
                MsgBox::vbExclamation | (copies ? MsgBox::vbYesNoCancel | MsgBox::vbDefaultButton3
                                                : MsgBox::vbYesNo | MsgBox::vbDefaultButton2));
            if (copies && answer == MsgBox::vbYes) {
                if (restoreFromList(nullptr)) {
                    bRestored = true;
                    return true;
                }
                continue;
            }
            if (answer != (copies ? MsgBox::vbNo : MsgBox::vbYes)) {
                return false;
            }
            break;
        }
    }
    try {
        // A folder that could not be made gives the system's reason, not the file's.
        if (!dataFolderError.isEmpty() && !QFileInfo(sDataFile).absoluteDir().exists()) {
            throw AppError(AppError::FileError, dataFolderError);
        }
        modSchema::CreateDataFile(sDataFile);
    } catch (const AppError& error) {
        MsgBox::Show(modSubMain::CreateFailureMessage(sDataFile, error.Description()),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly);
        return false;
    }
    app.RecordDataFileMade();
    return true;
}

} // namespace

namespace modSubMain {

QString MissingFileMessage(const QString& sDatabasePath, bool bBackups)
{
    QString text = QStringLiteral("The data file %1 is missing.").arg(sDatabasePath) +
                   QStringLiteral("\r\n\r\nIf it lies on a disk or in a synchronised folder "
                                  "that is not there yet, quit and start KeyCask again once it "
                                  "is.\r\n\r\n");
    return text + (bBackups ? QStringLiteral("Yes: restore a backup of it.\r\nNo: make a new, "
                                             "empty data file.\r\nCancel: quit.")
                            : QStringLiteral("Make a new, empty data file? (No quits.)"));
}

bool OfferBackups(QWidget* parent)
{
    const QString path = clsDB::shared().Database;
    return QFileInfo::exists(path) && modBackup::HasCopies(path) &&
           MsgBox::Show(QString::fromUtf16(OFFER_BACKUPS), MsgBox::vbQuestion | MsgBox::vbYesNo,
                        QString(), parent) == MsgBox::vbYes &&
           restoreFromList(parent);
}

QString LockFailureMessage(const QString& sLockPath)
{
    return QStringLiteral("The data file is locked by a copy of KeyCask that does not answer, or "
                          "its lock file cannot be replaced: ") +
           QDir::toNativeSeparators(sLockPath) +
           QStringLiteral("\r\n\r\nIf KeyCask is not running, remove that file and start again.");
}

QString CreateFailureMessage(const QString& sDatabasePath, const QString& sCause)
{
    const QFileInfo file(sDatabasePath);
    return QStringLiteral("Unable to create the data file %1 in the folder %2:\r\n\r\n%3")
        .arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath()), sCause);
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
    FocusReturn::Install();
    // Message signs sharp at any scale, dialog buttons without blurred bitmaps.
    AppStyle::Install();
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
        dataFolderError = makeDataFolder(folder);
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
    // Installed, the first start makes the user's data file; the master password is chosen next.
    clsDB& db = clsDB::shared();
    db.Database = dataFile;
    bool restored = false;
    if (const QFileInfo info(dataFile); installed && !info.exists() && !info.isSymLink() &&
                                        !provideMissingFile(dataFile, restored)) {
        guard.Release();
        return false;
    }
    if (installed && !app.DataFileMade() && QFileInfo::exists(dataFile)) {
        // A file an earlier version made is known from now on as well.
        app.RecordDataFileMade();
    }
    // What a cut-off re-encryption left goes, and so do the rights of others on the data file
    // and its folder; neither is worth a word.
    modProtection::RemoveLeftOverCopy(dataFile);
    modGeneral::KeepToOwner(dataFile);
    modGeneral::KeepToOwner(QFileInfo(app.DatabasePath()).absolutePath());
    // 2. Common controls need no registration with Qt.
    // 3. The report folder; failures are of no concern here.
    app.MakeReportPath();
    // 4, 5. The data file. Deriving its key is most of the start: the file is opened on a
    // second thread while the sign-in window is built and styled here, and nothing else uses
    // the session until the open has ended. A restored backup is open already.
    auto opening = std::async(restored ? std::launch::deferred : std::launch::async, [&db] {
        try {
            return db.OpenConnection(true);
        } catch (const AppError&) {
            return false;
        }
    });
    auto login = std::make_unique<frmLogin>();
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->ensurePolished();
    const bool open = restored || opening.get();
    if (!open && modProtection::LooksProtected(db.Database)) {
        // Protected by the master password: the login window asks for it and opens the file.
        login->gbProtectedFile = true;
        login.release()->show();
        return true;
    }
    if (!open) {
        MsgBox::Show(ConnectFailureMessage(db.Database), MsgBox::vbExclamation | MsgBox::vbOKOnly);
        // A damaged data file may be replaced by one of its backups, at the user's choice.
        if (!OfferBackups()) {
            login.reset();
            guard.Release();
            return false;
        }
    } else if (!restored) {
        // 6. The master row, then the login window.
        const bool readable = masterRowReadable();
        clsPWD::Master().OpenRecord(QStringLiteral("1"));
        if (!readable) {
            OfferBackups();
        }
    }
    login.release()->show();
    return true;
}

bool RestoreBackupAtStart(const QString& sPath, const QString& sMade, QWidget* parent)
{
    clsDB& db = clsDB::shared();
    const bool damaged = QFileInfo::exists(db.Database);
    QString question = QStringLiteral("Restore the backup of %1 as the data file?").arg(sMade);
    if (damaged) {
        question += QStringLiteral(" The damaged data file is kept beside it.");
    }
    if (MsgBox::Show(question, MsgBox::vbQuestion | MsgBox::vbYesNo, QString(), parent) !=
        MsgBox::vbYes) {
        return false;
    }
    QString key = clsDB::DatabasePassword();
    int kdfIter = 0;
    if (!modProtection::OpensWithBuiltInPassword(sPath)) {
        QString typed;
        const auto wipe = qScopeGuard([&typed] { SecretText::Wipe(typed); });
        const bool accepted = frmRestore::AskBackupPassword(
            parent,
            QStringLiteral("The backup of %1 is protected. Its master password:").arg(sMade),
            typed);
        if (!accepted || typed.isEmpty()) {
            return false;
        }
        kdfIter = modProtection::PROTECTED_KDF_ITER;
        try {
            // The key is derived once, over the backup's salt, which the restored file keeps.
            const WaitCursor busy;
            key = SqlConnection::RawKey(typed, kdfIter, modProtection::FileSalt(sPath));
            modBackup::Count(sPath, key, kdfIter);
        } catch (const AppError&) {
            MsgBox::Show(QStringLiteral("The password is wrong, or the backup is damaged."),
                         MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), parent);
            return false;
        }
    }
    QString kept;
    try {
        const WaitCursor busy;
        db.CloseConnection();
        kept = modBackup::RestoreOverDamaged(sPath, db.Database, key, kdfIter);
        db.AcceptFile(key, kdfIter);
    } catch (const AppError& error) {
        db.CloseConnection();
        db.Key = clsDB::DatabasePassword();
        db.KdfIter = 0;
        MsgBox::Show(QStringLiteral("The backup could not be restored: ") + error.Description(),
                     MsgBox::vbExclamation | MsgBox::vbOKOnly, QString(), parent);
        return false;
    }
    if (!kept.isEmpty()) {
        MsgBox::Show(QStringLiteral("The backup of %1 is the data file now. The damaged data "
                                    "file is kept as %2.")
                         .arg(sMade, QDir::toNativeSeparators(kept)),
                     MsgBox::vbInformation | MsgBox::vbOKOnly, QString(), parent);
    }
    return true;
}

} // namespace modSubMain
