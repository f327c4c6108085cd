// Copies of the data file in "Backups" beside it.
#include "data/modBackup.h"

#include "app/clsApp.h"
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
#include <QRegularExpression>
#include <cstring>
#include <system_error>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

QRegularExpressionMatch matchName(const QString& sDataFileName, const QString& sName)
{
    const QRegularExpression pattern(QStringLiteral(R"(\A%1\.([0-9]{8}-[0-9]{6})(-[0-9]+)?\.bak\z)")
                                         .arg(QRegularExpression::escape(sDataFileName)));
    return pattern.match(sName);
}

[[noreturn]] void raiseFileError(const QString& sWhat, const QString& sPath, const QString& sCause)
{
    throw AppError(
        AppError::FileError,
        QStringLiteral("%1 \"%2\": %3").arg(sWhat, QDir::toNativeSeparators(sPath), sCause));
}

} // namespace

namespace modBackup {

namespace {

// The full paths of the data file's copies, newest first; within one second the higher "-<n>"
// is the later copy.
QStringList copiesNewestFirst(const QString& sDataFile)
{
    const QString name = QFileInfo(sDataFile).fileName();
    const QDir folder(Folder(sDataFile));
    QList<std::pair<QDateTime, QString>> copies;
    for (const QString& file : folder.entryList(QDir::Files | QDir::NoSymLinks)) {
        if (IsBackupFileName(name, file)) {
            copies.append({MadeAt(name, file), file});
        }
    }
    std::sort(copies.begin(), copies.end(), [](const auto& a, const auto& b) {
        return a.first != b.first
                   ? a.first > b.first
                   : (a.second.size() != b.second.size() ? a.second.size() > b.second.size()
                                                         : a.second > b.second);
    });
    QStringList paths;
    for (const auto& copy : copies) {
        paths << folder.filePath(copy.second);
    }
    return paths;
}

} // namespace

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
    return match.hasMatch()
               ? QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss"))
               : QDateTime();
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

QString CopyFile(QFile& dataFile)
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
    const QString base = folder + QDir::separator() + QFileInfo(sDataFile).fileName() +
                         QLatin1Char('.') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = base + QStringLiteral(".bak");
    for (int n = 2; QFileInfo(path).exists() || QFileInfo(path).isSymLink(); ++n) {
        path = base + QStringLiteral("-%1.bak").arg(n);
    }
    CopyPrivate(dataFile, path);
    return path;
}

void Rotate(const QString& sDataFile, int lKeep)
{
    const QStringList copies = copiesNewestFirst(sDataFile);
    for (qsizetype i = std::max(lKeep, 0); i < copies.size(); ++i) {
        QFile::remove(copies.at(i));
    }
}

Entry Count(const QString& sPath, const QString& sKey, int lKdfIter)
{
    SqlConnection connection;
    connection.Open(sPath, sKey, SqlConnection::Mode::ReadOnly, lKdfIter);
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
        } catch (const AppError&) {
            entry.path = path;
        }
        entry.made = MadeAt(name, QFileInfo(path).fileName());
        entries.append(entry);
    }
    return entries;
}

bool SameMaster(const QString& sPath, const QString& sKey, int lKdfIter)
{
    SqlConnection connection;
    connection.Open(sPath, sKey, SqlConnection::Mode::ReadOnly, lKdfIter);
    return clsPWD::TestStoredMaster(connection, [](const QString& sMaster) {
        return clsPWD::Master().PasswordMatches(sMaster);
    });
}

void Restore(const QString& sBackup)
{
    clsDB& db = clsDB::shared();
    const QString path = db.Database;
    // The name of a cut-off re-encryption's copy: a start after a crash removes it.
    const QString copy = modProtection::CopyPath(path);
    modProtection::RemoveLeftOverCopy(path);
    QFile backup(sBackup);
    CopyPrivate(backup, copy);
    try {
        // The same bytes as the backup, and every row of them read with the session's key.
        CompareCopy(backup, copy);
        Count(copy, db.Key, db.KdfIter);
        // Kept even when backups are off, and then without deleting older ones.
        const int keep = clsApp::shared().KeepBackups();
        db.MakeBackup(keep > 0 ? keep : MAX_KEEP);
        db.CloseConnection();
        modProtection::ReplaceWithCopy(copy, path);
    } catch (...) {
        modProtection::RemoveLeftOverCopy(path);
        throw;
    }
    db.AcceptFile(db.Key, db.KdfIter);
    clsPWD::Master().OpenRecord(QStringLiteral("1"));
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
