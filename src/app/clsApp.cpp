// The program's persistent user settings, its fixed paths, the report folder and its version
// text.
#include "app/clsApp.h"

#include "app/modGeneral.h"

#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

QString& folderOverride()
{
    static QString folder;
    return folder;
}

// The user's folders are found from HOME; where it is not set (a service, a cron job, `env -i`)
// they would be looked for under the root folder. The home of the password database takes its
// place, for the settings as well.
void settleHome()
{
#ifdef Q_OS_UNIX
    if (qEnvironmentVariableIsEmpty("HOME")) {
        if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_dir && *user->pw_dir) {
            qputenv("HOME", QByteArray(user->pw_dir));
        }
    }
#endif
}

} // namespace

clsApp& clsApp::shared()
{
    static clsApp app;
    settleHome();
    return app;
}

std::optional<bool> clsApp::TextToBoolean(const QString& sText)
{
    const QString text = sText.trimmed();
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    if (const auto number = TextToNumber(text)) {
        return *number != 0.0;
    }
    return std::nullopt;
}

QString clsApp::BooleanToText(bool bValue)
{
    return bValue ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<double> clsApp::TextToNumber(const QString& sText)
{
    bool ok = false;
    const double number = sText.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

bool clsApp::readBoolean(const QString& sValueName, bool bDefault) const
{
    const QString text = SettingsStore::shared().GetStoredSetting(
        SettingsStore::ProductKeyPath(), sValueName, BooleanToText(bDefault));
    return TextToBoolean(text).value_or(bDefault);
}

void clsApp::writeBoolean(const QString& sValueName, bool bValue) const
{
    SettingsStore::shared().SaveStoredSetting(SettingsStore::ProductKeyPath(), sValueName,
                                              BooleanToText(bValue));
}

int clsApp::readNumber(const QString& sValueName, int lDefault, int lMin, int lMax) const
{
    const QString text = SettingsStore::shared().GetStoredSetting(
        SettingsStore::ProductKeyPath(), sValueName, QString::number(lDefault));
    const auto number = TextToNumber(text);
    // A number outside the limits was never stored by KeyCask: like text that is no number it
    // counts as missing, so that a hand-edited -1 never turns a protection off.
    const double rounded = number ? std::round(*number) : lDefault;
    return rounded >= lMin && rounded <= lMax ? static_cast<int>(rounded) : lDefault;
}

void clsApp::writeNumber(const QString& sValueName, int lValue) const
{
    SettingsStore::shared().SaveStoredSetting(SettingsStore::ProductKeyPath(), sValueName,
                                              QString::number(lValue));
}

int clsApp::ClearClipboardSeconds() const
{
    return readNumber(QStringLiteral("ClearClipboardSeconds"), 30, 0, MAX_CLEAR_CLIPBOARD_SECONDS);
}

void clsApp::setClearClipboardSeconds(int lValue)
{
    writeNumber(QStringLiteral("ClearClipboardSeconds"), lValue);
}

int clsApp::IdleLockMinutes() const
{
    return readNumber(QStringLiteral("IdleLockMinutes"), 0, 0, MAX_IDLE_LOCK_MINUTES);
}

void clsApp::setIdleLockMinutes(int lValue)
{
    writeNumber(QStringLiteral("IdleLockMinutes"), lValue);
}

int clsApp::AutoTypeDelayMs() const
{
    return readNumber(QStringLiteral("AutoTypeDelayMs"), 10, 0, MAX_AUTO_TYPE_DELAY_MS);
}

void clsApp::setAutoTypeDelayMs(int lValue)
{
    writeNumber(QStringLiteral("AutoTypeDelayMs"), lValue);
}

QString clsApp::AutoTypeShortcut() const
{
    const QString byDefault = QStringLiteral("Ctrl+Alt+A");
    const QString text = SettingsStore::shared().GetStoredSetting(
        SettingsStore::ProductKeyPath(), QStringLiteral("AutoTypeShortcut"), byDefault);
    if (text.trimmed().isEmpty()) {
        return QString();
    }
    // One key with its modifiers, as KeyCask stores it.
    const QKeySequence keys = QKeySequence::fromString(text, QKeySequence::PortableText);
    return keys.count() == 1 && keys[0].key() != Qt::Key_unknown
               ? keys.toString(QKeySequence::PortableText)
               : byDefault;
}

void clsApp::setAutoTypeShortcut(const QString& sValue)
{
    SettingsStore::shared().SaveStoredSetting(SettingsStore::ProductKeyPath(),
                                              QStringLiteral("AutoTypeShortcut"), sValue);
}

int clsApp::KeepBackups() const
{
    return readNumber(QStringLiteral("KeepBackups"), modBackup::DEFAULT_KEEP, 0,
                      modBackup::MAX_KEEP);
}

void clsApp::setKeepBackups(int lValue)
{
    writeNumber(QStringLiteral("KeepBackups"), lValue);
}

int clsApp::GeneratorLength() const
{
    return readNumber(QStringLiteral("GeneratorLength"), 20, MIN_GENERATOR_LENGTH,
                      MAX_GENERATOR_LENGTH);
}

void clsApp::setGeneratorLength(int lValue)
{
    writeNumber(QStringLiteral("GeneratorLength"), lValue);
}

bool clsApp::GeneratorUpper() const
{
    return readBoolean(QStringLiteral("GeneratorUpper"), true);
}

void clsApp::setGeneratorUpper(bool bValue)
{
    writeBoolean(QStringLiteral("GeneratorUpper"), bValue);
}

bool clsApp::GeneratorLower() const
{
    return readBoolean(QStringLiteral("GeneratorLower"), true);
}

void clsApp::setGeneratorLower(bool bValue)
{
    writeBoolean(QStringLiteral("GeneratorLower"), bValue);
}

bool clsApp::GeneratorDigits() const
{
    return readBoolean(QStringLiteral("GeneratorDigits"), true);
}

void clsApp::setGeneratorDigits(bool bValue)
{
    writeBoolean(QStringLiteral("GeneratorDigits"), bValue);
}

bool clsApp::GeneratorPunctuation() const
{
    return readBoolean(QStringLiteral("GeneratorPunctuation"), true);
}

void clsApp::setGeneratorPunctuation(bool bValue)
{
    writeBoolean(QStringLiteral("GeneratorPunctuation"), bValue);
}

QString clsApp::BreachListPath() const
{
    return SettingsStore::shared().GetStoredSetting(SettingsStore::ProductKeyPath(),
                                                    QStringLiteral("BreachListPath"), QString());
}

void clsApp::setBreachListPath(const QString& sPath)
{
    SettingsStore::shared().SaveStoredSetting(SettingsStore::ProductKeyPath(),
                                              QStringLiteral("BreachListPath"), sPath);
}

bool clsApp::AlwaysOnTop() const
{
    return readBoolean(QStringLiteral("AlwaysOnTop"), false);
}

void clsApp::setAlwaysOnTop(bool bValue)
{
    writeBoolean(QStringLiteral("AlwaysOnTop"), bValue);
}

bool clsApp::BalloonShown() const
{
    return readBoolean(QStringLiteral("BalloonShown"), false);
}

void clsApp::setBalloonShown(bool bValue)
{
    writeBoolean(QStringLiteral("BalloonShown"), bValue);
}

bool clsApp::LockOnMinimize() const
{
    return readBoolean(QStringLiteral("LockOnMinimize"), true);
}

void clsApp::setLockOnMinimize(bool bValue)
{
    writeBoolean(QStringLiteral("LockOnMinimize"), bValue);
}

bool clsApp::ShowNotesOwnColumn() const
{
    return readBoolean(QStringLiteral("ShowNotesOwnColumn"), false);
}

void clsApp::setShowNotesOwnColumn(bool bValue)
{
    writeBoolean(QStringLiteral("ShowNotesOwnColumn"), bValue);
}

QString clsApp::ApplicationFolder()
{
    QString folder = folderOverride();
    if (folder.isEmpty()) {
        folder = QCoreApplication::applicationDirPath();
    }
    folder = QDir::toNativeSeparators(QDir::cleanPath(folder));
    while (folder.size() > 1 && folder.endsWith(QDir::separator())) {
        folder.chop(1);
    }
    return folder;
}

void clsApp::SetApplicationFolder(const QString& sFolder)
{
    folderOverride() = sFolder;
    m_firstTimeChecked = false;
    m_mode.reset();
}

clsApp::Mode clsApp::RunMode() const
{
    if (!m_mode) {
        const QDir folder(ApplicationFolder());
        const QFileInfo dataFile(folder.filePath(QStringLiteral("Database/pwd.quillondata")));
        // A data file that is a link counts, even one leading nowhere: its open says what is wrong.
        m_mode = QFileInfo::exists(folder.filePath(QLatin1String(PORTABLE_MARKER))) ||
                         dataFile.exists() || dataFile.isSymLink()
                     ? Mode::Folder
                     : Mode::Installed;
    }
    return *m_mode;
}

QString clsApp::DatabasePath() const
{
    const QString folder = RunMode() == Mode::Folder
                               ? ApplicationFolder()
                               : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir::toNativeSeparators(
        QDir::cleanPath(folder + QStringLiteral("/Database/pwd.quillondata")));
}

bool clsApp::DataFileMade() const
{
    return SettingsStore::shared().GetStoredSetting(SettingsStore::ProductKeyPath(),
                                                    QStringLiteral("DataFileMade"),
                                                    QString()) == DatabasePath();
}

void clsApp::RecordDataFileMade() const
{
    SettingsStore::shared().SaveStoredSetting(SettingsStore::ProductKeyPath(),
                                              QStringLiteral("DataFileMade"), DatabasePath());
}

QString clsApp::ReportPath() const
{
    // Reports hold passwords in plain text: the first of the folders that is the user's own and
    // that no one else can write in (the last one in any case; its problem is said then).
    QStringList folders;
    if (RunMode() == Mode::Folder) {
        folders << ApplicationFolder() + QStringLiteral("/Reports");
    }
    if (const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        !runtime.isEmpty() && QFileInfo(runtime).isDir() && !modGeneral::IsForeignFolder(runtime)) {
        folders << runtime + QStringLiteral("/keycask");
    }
    folders << QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                   QStringLiteral("/Reports");
    const auto own = std::find_if(folders.cbegin(), folders.cend(), [](const QString& sFolder) {
        return !modGeneral::IsForeignFolder(sFolder);
    });
    return QDir::toNativeSeparators(QDir::cleanPath(own != folders.cend() ? *own : folders.last()));
}

QString clsApp::DataFolderProblem() const
{
    const QString folder = QFileInfo(DatabasePath()).absolutePath();
    if (RunMode() == Mode::Installed && modGeneral::IsForeignFolder(folder)) {
        return QStringLiteral("The data folder %1 belongs to another user, or other users can "
                              "change what it holds. KeyCask does not keep your passwords there.")
            .arg(QDir::toNativeSeparators(folder));
    }
    return QString();
}

QString clsApp::HelpPath() const
{
    // Installed, the help lies in the share folder that goes with the program's bin folder.
    const QString folder = RunMode() == Mode::Folder
                               ? ApplicationFolder() + QStringLiteral("/help")
                               : ApplicationFolder() + QStringLiteral("/" KEYCASK_HELP_FROM_BIN);
    return QDir::toNativeSeparators(QDir::cleanPath(folder));
}

QString clsApp::MajorMinorRevision() const
{
    return QStringLiteral("%1.%2.%3")
        .arg(KEYCASK_VERSION_MAJOR)
        .arg(KEYCASK_VERSION_MINOR)
        .arg(KEYCASK_VERSION_PATCH);
}

QString clsApp::Release() const
{
    return QStringLiteral("Release ") + MajorMinorRevision();
}

bool clsApp::FirstTime()
{
    if (!m_firstTimeChecked) {
        m_firstTimeChecked = true;
        clsPWD::Master().OpenRecord(QStringLiteral("1"));
    }
    return clsPWD::Master().PASSWORD_ID.isEmpty();
}

void clsApp::MakeReportPath() const
{
    // One level only, and silently: an existing folder or a failure is no concern here.
    // Reports hold passwords in plain text: the folder is its owner's alone.
    const QString folder = ReportPath();
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    if (RunMode() == Mode::Installed) {
        // The user's local data folder may not exist yet on a first start.
        QDir().mkpath(QFileInfo(folder).absolutePath());
    }
    if (!QDir().mkdir(folder, ownerOnly) && ReportPathProblem().isEmpty() &&
        QFileInfo(folder).isDir()) {
        modGeneral::KeepToOwner(folder);
    }
    // Reports of a run that ended without closing its window (log-out, a crash) go now.
    DeleteReports();
}

QString clsApp::ReportPathProblem() const
{
    const QString folder = ReportPath();
    const QFileInfo info(folder);
    if (info.isSymLink() || info.isJunction()) {
        return QStringLiteral("The report folder \"%1\" is a symbolic link.").arg(folder);
    }
    if (info.exists() && !info.isDir()) {
        return QStringLiteral("The report folder \"%1\" is not a folder.").arg(folder);
    }
    if (modGeneral::IsForeignFolder(folder)) {
        return QStringLiteral("The report folder \"%1\" belongs to another user, or other users "
                              "can write in it.")
            .arg(folder);
    }
    return QString();
}

bool clsApp::IsReportFileName(const QString& sName)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(\A(PWD|File_Folders)_[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{6}(_[0-9]+)?\.(rtf|csv)\z)"));
    return pattern.match(sName).hasMatch();
}

QStringList clsApp::DeleteReports() const
{
    QStringList failed;
    if (!ReportPathProblem().isEmpty()) {
        return failed;
    }
    // Without QDir::System only regular files are listed; links are left out as well.
    const QString folder = ReportPath();
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (auto it = names.crbegin(); it != names.crend(); ++it) {
        if (!IsReportFileName(*it)) {
            continue;
        }
        // Removing a name never touches what a link there would point to.
        const QString path = folder + QDir::separator() + *it;
        if (!QFile::remove(path)) {
            failed << path;
        }
    }
    return failed;
}
