// Copies of the data file in "Backups" beside it.
#include "data/modBackup.h"

#include "app/modGeneral.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modProtection.h"
#include "data/modSchema.h"
#include "platform/AppError.h"
#include "platform/SqlConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <cstring>
#include <filesystem>
#include <system_error>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The tag of each reason in a copy's name.
constexpr std::pair<modBackup::Reason, const char*> kTags[] = {
    {modBackup::Reason::Change, "change"},       {modBackup::Reason::Import, "import"},
    {modBackup::Reason::Restore, "restore"},     {modBackup::Reason::Protect, "protect"},
    {modBackup::Reason::Unprotect, "unprotect"}, {modBackup::Reason::NewPassword, "password"},
};

const char* tagOf(modBackup::Reason eReason)
{
    for (const auto& [reason, tag] : kTags) {
        if (reason == eReason) {
            return tag;
        }
    }
    return "change";
}

// Captures: 1 the UTC time, 2 the older local time, 3 the number within the second, 4 the tag.
QRegularExpressionMatch matchName(const QString& sDataFileName, const QString& sName)
{
    const QRegularExpression pattern(
        QStringLiteral(R"(\A%1\.(?:([0-9]{8}T[0-9]{6})Z|([0-9]{8}-[0-9]{6}))(?:-([0-9]{1,4}))?)"
                       R"((?:\.(change|import|restore|protect|unprotect|password))?\.bak\z)")
            .arg(QRegularExpression::escape(sDataFileName)));
    return pattern.match(sName);
}

// The number of a copy within its second: 1 without "-<n>".
int numberOf(const QRegularExpressionMatch& match)
{
    return match.captured(3).isEmpty() ? 1 : match.captured(3).toInt();
}

// The temporary name of a copy being written, and whether a name is one: a copy's name and
// ".part". A name of that kind is KeyCask's own, so one left by a cut-off copy is removed.
const QString kPartSuffix = QStringLiteral(".part");

bool isPartName(const QString& sDataFileName, const QString& sName)
{
    return sName.endsWith(kPartSuffix) &&
           matchName(sDataFileName, sName.chopped(kPartSuffix.size())).hasMatch();
}

std::function<QDateTime()>& nowSource()
{
    static std::function<QDateTime()> now;
    return now;
}

std::function<void(const QString&)>& copyHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

[[noreturn]] void raiseFileError(const QString& sWhat, const QString& sPath, const QString& sCause)
{
    throw AppError(
        AppError::FileError,
        QStringLiteral("%1 \"%2\": %3").arg(sWhat, QDir::toNativeSeparators(sPath), sCause));
}

QString systemMessage(int lError)
{
    return QString::fromStdString(std::generic_category().message(lError));
}

// Flushes a written file to the disk.
void syncFile(const QString& sPath)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(sPath).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        raiseFileError(QStringLiteral("Cannot write"), sPath, systemMessage(error));
    }
    ::close(fd);
#else
    Q_UNUSED(sPath);
#endif
}

// Renames a checked copy into its final name in one step.
void rename(const QString& sFrom, const QString& sTo)
{
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(sFrom).toStdString(),
                            QFile::encodeName(sTo).toStdString(), error);
    if (error) {
        raiseFileError(QStringLiteral("Cannot rename"), sFrom,
                       QString::fromStdString(error.message()));
    }
}

// Removes what cut-off copies of the data file left in the folder, by their names only.
void removeParts(const QString& sDataFile)
{
    const QString name = QFileInfo(sDataFile).fileName();
    const QDir folder(modBackup::Folder(sDataFile));
    if (QFileInfo(folder.path()).isSymLink()) {
        return;
    }
    for (const QString& file : folder.entryList(QDir::Files | QDir::System | QDir::Hidden)) {
        if (isPartName(name, file)) {
            QFile::remove(folder.filePath(file));
        }
    }
}

// Raises unless both tables of the file have exactly the columns of a data file's tables.
void requireSchema(SqlConnection& connection)
{
    for (const QString& table : clsDB::RequiredTables()) {
        QStringList columns;
        for (auto rs = connection.Execute(QStringLiteral("PRAGMA table_info(%1)").arg(table));
             !rs->EndOfRows(); rs->MoveNext()) {
            columns << rs->Field(QStringLiteral("name")).toUpper();
        }
        QStringList expected = modSchema::Columns(table);
        columns.sort();
        expected.sort();
        if (columns != expected) {
            throw AppError(AppError::FileError,
                           QStringLiteral("its table %1 is not the one of a data file").arg(table));
        }
    }
}

} // namespace

namespace modBackup {

namespace {

// The full paths of the data file's copies, newest first; within one second the higher "-<n>"
// is the later copy. A copy dated later than now comes last, as the oldest.
QStringList copiesNewestFirst(const QString& sDataFile)
{
    const QString name = QFileInfo(sDataFile).fileName();
    const QDir folder(Folder(sDataFile));
    // A folder that is a link leads to files KeyCask did not write there.
    if (QFileInfo(folder.path()).isSymLink()) {
        return {};
    }
    const QDateTime now = Now();
    struct Copy
    {
        bool future;
        QDateTime made;
        int number;
        QString file;
    };
    QList<Copy> copies;
    for (const QString& file : folder.entryList(QDir::Files | QDir::NoSymLinks)) {
        const QRegularExpressionMatch match = matchName(name, file);
        if (match.hasMatch()) {
            const QDateTime made = MadeAt(name, file);
            copies.append({made > now, made, numberOf(match), file});
        }
    }
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
        if (a.future != b.future) {
            return b.future;
        }
        if (a.made != b.made) {
            return a.made > b.made;
        }
        return a.number != b.number ? a.number > b.number : a.file > b.file;
    });
    QStringList paths;
    for (const Copy& copy : copies) {
        paths << folder.filePath(copy.file);
    }
    return paths;
}

} // namespace

QString ReasonText(Reason eReason)
{
    switch (eReason) {
    case Reason::Change:
        return QStringLiteral("before a change");
    case Reason::Import:
        return QStringLiteral("before import");
    case Reason::Restore:
        return QStringLiteral("before restore");
    case Reason::Protect:
        return QStringLiteral("before protect");
    case Reason::Unprotect:
        return QStringLiteral("before unprotect");
    case Reason::NewPassword:
        return QStringLiteral("before a new master password");
    }
    return QString();
}

void SetClock(std::function<QDateTime()> now)
{
    nowSource() = std::move(now);
}

QDateTime Now()
{
    return (nowSource() ? nowSource()() : QDateTime::currentDateTimeUtc()).toUTC();
}

void SetCopyHook(std::function<void(const QString&)> hook)
{
    copyHook() = std::move(hook);
}

QString Folder(const QString& sDataFile)
{
    return QDir::toNativeSeparators(QFileInfo(sDataFile).absolutePath() +
                                    QStringLiteral("/Backups"));
}

bool IsBackupFileName(const QString& sDataFileName, const QString& sName)
{
    return matchName(sDataFileName, sName).hasMatch();
}

QDateTime MadeAt(const QString& sDataFileName, const QString& sName)
{
    const QRegularExpressionMatch match = matchName(sDataFileName, sName);
    if (!match.hasMatch()) {
        return QDateTime();
    }
    if (!match.captured(1).isEmpty()) {
        QDateTime made =
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd'T'HHmmss"));
        made.setTimeSpec(Qt::UTC);
        return made;
    }
    return QDateTime::fromString(match.captured(2), QStringLiteral("yyyyMMdd-HHmmss"));
}

QString ReasonOf(const QString& sDataFileName, const QString& sName)
{
    const QString tag = matchName(sDataFileName, sName).captured(4);
    for (const auto& [reason, name] : kTags) {
        if (tag == QLatin1String(name)) {
            return ReasonText(reason);
        }
    }
    return QString();
}

void CopyPrivate(QFile& source, const QString& sTarget)
{
    if (!source.isOpen() && !source.open(QIODevice::ReadOnly)) {
        raiseFileError(QStringLiteral("Cannot read"), source.fileName(), source.errorString());
    }
    modSchema::CreatePrivateFile(sTarget);
    QFile target(sTarget);
    try {
        // The file was made without following a link; opening it again by name finds that file.
        if (!target.open(QIODevice::WriteOnly | QIODevice::ExistingOnly)) {
            raiseFileError(QStringLiteral("Cannot write"), sTarget, target.errorString());
        }
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (;;) {
            const qint64 read = source.read(buffer.data(), buffer.size());
            if (read < 0) {
                raiseFileError(QStringLiteral("Cannot read"), source.fileName(),
                               source.errorString());
            }
            if (read == 0) {
                break;
            }
            if (target.write(buffer.constData(), read) != read) {
                raiseFileError(QStringLiteral("Cannot write"), sTarget, target.errorString());
            }
        }
        if (!target.flush()) {
            raiseFileError(QStringLiteral("Cannot write"), sTarget, target.errorString());
        }
#ifdef Q_OS_UNIX
        if (::fsync(target.handle()) != 0) {
            raiseFileError(QStringLiteral("Cannot write"), sTarget,
                           QString::fromStdString(std::generic_category().message(errno)));
        }
#endif
        target.close();
    } catch (...) {
        target.close();
        QFile::remove(sTarget);
        throw;
    }
}

void CompareCopy(QFile& source, const QString& sCopy)
{
    QFile copy(sCopy);
    if (!copy.open(QIODevice::ReadOnly)) {
        raiseFileError(QStringLiteral("Cannot read"), sCopy, copy.errorString());
    }
    if (!source.seek(0)) {
        raiseFileError(QStringLiteral("Cannot read"), source.fileName(), source.errorString());
    }
    QByteArray original(1 << 20, Qt::Uninitialized);
    QByteArray copied(original.size(), Qt::Uninitialized);
    for (;;) {
        const qint64 read = source.read(original.data(), original.size());
        if (read < 0) {
            raiseFileError(QStringLiteral("Cannot read"), source.fileName(), source.errorString());
        }
        // A short read of a regular file only happens at its end, so the copy must end there too.
        const qint64 readBack = copy.read(copied.data(), copied.size());
        if (readBack != read ||
            std::memcmp(original.constData(), copied.constData(), size_t(read)) != 0) {
            raiseFileError(
                QStringLiteral("Cannot write"), sCopy,
                QStringLiteral("the copy read back differs from the file it was made of"));
        }
        if (read == 0) {
            return;
        }
    }
}

QString CopyFile(QFile& dataFile, Reason eReason, const std::function<void(const QString&)>& bCheck)
{
    const QString sDataFile = dataFile.fileName();
    const QString folder = Folder(sDataFile);
    const QFileInfo info(folder);
    if (info.isSymLink() || (info.exists() && !info.isDir())) {
        throw AppError(AppError::FileError, QStringLiteral("\"%1\" is not a folder of its own")
                                                .arg(QDir::toNativeSeparators(folder)));
    }
    if (!info.exists() &&
        !QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        throw AppError(AppError::FileError, QStringLiteral("Cannot create the folder \"%1\"")
                                                .arg(QDir::toNativeSeparators(folder)));
    }
    modGeneral::KeepToOwner(folder);
    removeParts(sDataFile);
    // The time in UTC, and a number of its own within the second whatever the reason.
    const QString name = QFileInfo(sDataFile).fileName();
    const QString stamp = Now().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    int number = 1;
    for (const QString& file : QDir(folder).entryList(QDir::Files | QDir::System)) {
        const QRegularExpressionMatch match = matchName(name, file);
        if (match.hasMatch() && file.startsWith(name + QLatin1Char('.') + stamp)) {
            number = std::max(number, numberOf(match) + 1);
        }
    }
    const QString path = folder + QDir::separator() + name + QLatin1Char('.') + stamp +
                         (number > 1 ? QStringLiteral("-%1").arg(number) : QString()) +
                         QLatin1Char('.') + QLatin1String(tagOf(eReason)) + QStringLiteral(".bak");
    const QString part = path + kPartSuffix;
    CopyPrivate(dataFile, part);
    try {
        if (copyHook()) {
            copyHook()(part);
        }
        if (bCheck) {
            bCheck(part);
        }
        if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
            raiseFileError(QStringLiteral("Cannot write"), path,
                           QStringLiteral("a file of that name is in the way"));
        }
        rename(part, path);
    } catch (...) {
        QFile::remove(part);
        throw;
    }
    modProtection::SyncFolder(folder);
    return path;
}

void Rotate(const QString& sDataFile, int lKeep, const QString& sKeep)
{
    if (lKeep < 1) {
        return;
    }
    const QString keep = sKeep.isEmpty() ? QString() : QFileInfo(sKeep).absoluteFilePath();
    int kept = keep.isEmpty() ? 0 : 1;
    for (const QString& copy : copiesNewestFirst(sDataFile)) {
        if (QFileInfo(copy).absoluteFilePath() == keep) {
            continue;
        }
        if (kept < lKeep) {
            ++kept;
        } else {
            QFile::remove(copy);
        }
    }
}

int BringAlong(const QString& sDataFile, const QString& sOldKey, int lOldKdfIter,
               const QString& sNewKey, int lNewKdfIter, const clsPWD& master)
{
    removeParts(sDataFile);
    int removed = 0;
    for (const QString& copy : copiesNewestFirst(sDataFile)) {
        const QString part = copy + kPartSuffix;
        try {
            // Read-write, as the export writes through this connection; the copy is only read.
            SqlConnection source;
            try {
                source.Open(copy, sOldKey, SqlConnection::Mode::ReadWrite, lOldKdfIter);
            } catch (const AppError&) {
                // A copy made before the data file was first protected.
                source.Open(copy, clsDB::DatabasePassword(), SqlConnection::Mode::ReadWrite);
            }
            const QMap<QString, qint64> rows = modProtection::TableRows(source);
            modSchema::CreatePrivateFile(part);
            source.ExportTo(part, sNewKey, lNewKdfIter);
            source.Close();
            {
                SqlConnection written;
                written.Open(part, sNewKey, SqlConnection::Mode::ReadWrite, lNewKdfIter);
                if (modProtection::TableRows(written) != rows) {
                    throw AppError(AppError::FileError,
                                   QStringLiteral("the copy does not hold every row"));
                }
                master.StoreMasterRow(written);
                written.Close();
            }
            syncFile(part);
            rename(part, copy);
        } catch (const AppError&) {
            QFile::remove(part);
            QFile::remove(part + QStringLiteral("-journal"));
            QFile::remove(copy);
            ++removed;
        }
    }
    modProtection::SyncFolder(Folder(sDataFile));
    return removed;
}

QString RemovedText(int lRemoved)
{
    if (lRemoved <= 0) {
        return QString();
    }
    return lRemoved == 1 ? QStringLiteral("1 backup could not be brought to the data file's new "
                                          "key and master password; it was removed.")
                         : QStringLiteral("%1 backups could not be brought to the data file's "
                                          "new key and master password; they were removed.")
                               .arg(lRemoved);
}

Entry Count(const QString& sPath, const QString& sKey, int lKdfIter)
{
    SqlConnection connection;
    connection.Open(sPath, sKey, SqlConnection::Mode::ReadOnly, lKdfIter);
    requireSchema(connection);
    auto rs =
        connection.Execute(QStringLiteral("SELECT (SELECT count(*) FROM PWD WHERE "
                                          "PASSWORD_ID <> 1), (SELECT count(*) FROM MY_FILE)"));
    Entry entry;
    entry.path = sPath;
    entry.passwords = rs->FieldAt(0).toLongLong();
    entry.folders = rs->FieldAt(1).toLongLong();
    return entry;
}

QList<Entry> List(const QString& sDataFile, const QString& sKey, int lKdfIter)
{
    const QString name = QFileInfo(sDataFile).fileName();
    QList<Entry> entries;
    for (const QString& path : copiesNewestFirst(sDataFile)) {
        Entry entry;
        try {
            entry = Count(path, sKey, lKdfIter);
        } catch (const AppError& error) {
            entry.path = path;
            entry.problem = error.Number() == AppError::FileError
                                ? QStringLiteral("not a data file of KeyCask")
                                : QStringLiteral("cannot be opened");
        }
        entry.made = MadeAt(name, QFileInfo(path).fileName());
        entry.reason = ReasonOf(name, QFileInfo(path).fileName());
        entries.append(entry);
    }
    return entries;
}

bool MasterIs(const QString& sPath, const QString& sKey, int lKdfIter, const QString& sPassword)
{
    SqlConnection connection;
    connection.Open(sPath, sKey, SqlConnection::Mode::ReadOnly, lKdfIter);
    return clsPWD::TestStoredMaster(connection, [&sPassword](const QString& sMaster) {
        return !sMaster.isEmpty() && sMaster == sPassword;
    });
}

bool SameMaster(const QString& sPath, const QString& sKey, int lKdfIter)
{
    SqlConnection connection;
    connection.Open(sPath, sKey, SqlConnection::Mode::ReadOnly, lKdfIter);
    return clsPWD::TestStoredMaster(connection, [](const QString& sMaster) {
        return clsPWD::Master().PasswordMatches(sMaster);
    });
}

int Restore(const QString& sBackup)
{
    clsDB& db = clsDB::shared();
    const QString path = db.Database;
    // The name of a cut-off re-encryption's copy: a start after a crash removes it.
    const QString copy = modProtection::CopyPath(path);
    modProtection::RemoveLeftOverCopy(path);
    QFile backup(sBackup);
    CopyPrivate(backup, copy);
    bool sameMaster = true;
    try {
        // The same bytes as the backup, and every row of them read with the session's key.
        CompareCopy(backup, copy);
        Count(copy, db.Key, db.KdfIter);
        sameMaster = SameMaster(copy, db.Key, db.KdfIter);
        // The current data is kept first, even when backups are off.
        db.BackupBefore(Reason::Restore);
        db.CloseConnection();
        modProtection::ReplaceWithCopy(copy, path);
    } catch (...) {
        db.EndChange();
        modProtection::RemoveLeftOverCopy(path);
        throw;
    }
    db.AcceptFile(db.Key, db.KdfIter);
    clsPWD::Master().OpenRecord(QStringLiteral("1"));
    // The backups follow the master password that the restore brought back.
    return sameMaster ? 0
                      : BringAlong(path, db.Key, db.KdfIter, db.Key, db.KdfIter, clsPWD::Master());
}

bool HasCopies(const QString& sDataFile)
{
    return !copiesNewestFirst(sDataFile).isEmpty();
}

QString RestoreOverDamaged(const QString& sBackup, const QString& sDataFile, const QString& sKey,
                           int lKdfIter)
{
    const QString copy = modProtection::CopyPath(sDataFile);
    modProtection::RemoveLeftOverCopy(sDataFile);
    QFile backup(sBackup);
    CopyPrivate(backup, copy);
    QString kept;
    try {
        // The same bytes as the backup, and every row of them read with its key.
        CompareCopy(backup, copy);
        Count(copy, sKey, lKdfIter);
        if (QFileInfo::exists(sDataFile)) {
            // The damaged file stays as a copy of its own, never written through a link.
            const QString base =
                sDataFile + QStringLiteral(".damaged-") +
                QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
            QString name = base;
            for (int n = 2; QFileInfo(name).exists() || QFileInfo(name).isSymLink(); ++n) {
                name = base + QStringLiteral("-%1").arg(n);
            }
            QFile damaged(sDataFile);
            CopyPrivate(damaged, name);
            kept = name;
            CompareCopy(damaged, kept);
        }
        modProtection::ReplaceWithCopy(copy, sDataFile);
    } catch (...) {
        // The data file is as it was, so a copy of it is not needed.
        if (!kept.isEmpty()) {
            QFile::remove(kept);
        }
        modProtection::RemoveLeftOverCopy(sDataFile);
        throw;
    }
    return kept;
}

} // namespace modBackup
