// Re-encryption of the data file under the master password or the built-in password, done on a
// copy that replaces the file in one rename.
#include "data/modProtection.h"

#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modSchema.h"
#include "platform/AppError.h"
#include "platform/SqlConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <array>
#include <filesystem>
#include <sqlite3.h>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The first bytes of every unencrypted SQLite file.
const QByteArray kPlainHeader = QByteArrayLiteral("SQLite format 3\0");

std::function<void(modProtection::Step)>& stepHook()
{
    static std::function<void(modProtection::Step)> hook;
    return hook;
}

void step(modProtection::Step eStep)
{
    if (stepHook()) {
        stepHook()(eStep);
    }
}

// A salt for a new key, from the system's source of random numbers.
QByteArray newSalt()
{
    std::array<quint32, SqlConnection::SaltBytes / sizeof(quint32)> words{};
    QRandomGenerator::system()->fillRange(words.data(), static_cast<qsizetype>(words.size()));
    return QByteArray(reinterpret_cast<const char*>(words.data()), SqlConnection::SaltBytes);
}

} // namespace

namespace modProtection {

QByteArray FileSalt(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.read(SqlConnection::SaltBytes) : QByteArray();
}

void SyncFolder(const QString& sFolder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(sFolder).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(sFolder);
#endif
}

void ReplaceWithCopy(const QString& sCopy, const QString& sPath)
{
    step(Step::Replacing);
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(sCopy).toStdString(),
                            QFile::encodeName(sPath).toStdString(), error);
    if (error) {
        throw AppError(AppError::FileError,
                       QStringLiteral("The new data file could not replace the old one: %1")
                           .arg(QString::fromStdString(error.message())));
    }
    SyncFolder(QFileInfo(sPath).absolutePath());
}

bool OpensWithBuiltInPassword(const QString& sPath)
{
    try {
        SqlConnection probe;
        probe.Open(sPath, clsDB::DatabasePassword(), SqlConnection::Mode::ReadOnly);
        return true;
    } catch (const AppError&) {
        return false;
    }
}

bool LooksProtected(const QString& sPath)
{
    QFile file(sPath);
    if (!file.exists() || file.size() == 0 || !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    if (file.read(kPlainHeader.size()) == kPlainHeader) {
        return false;
    }
    file.close();
    return !OpensWithBuiltInPassword(sPath);
}

bool SessionProtected()
{
    return clsDB::shared().KdfIter == PROTECTED_KDF_ITER;
}

bool OpenWithPassword(const QString& sPassword)
{
    clsDB& db = clsDB::shared();
    db.CloseConnection();
    db.KdfIter = PROTECTED_KDF_ITER;
    try {
        // The session keeps the key the password derives over the file's salt, never the
        // password itself: the master password is not left in memory for the whole run.
        db.Key = SqlConnection::RawKey(sPassword, PROTECTED_KDF_ITER, FileSalt(db.Database));
        if (db.OpenConnection(true)) {
            return true;
        }
    } catch (const AppError&) {
    }
    db.CloseConnection();
    db.Key = clsDB::DatabasePassword();
    db.KdfIter = 0;
    return false;
}

bool AcceptReplacedFile(const QString& sPassword)
{
    clsDB& db = clsDB::shared();
    const bool protectedFile = LooksProtected(db.Database);
    const int kdfIter = protectedFile ? PROTECTED_KDF_ITER : 0;
    try {
        const QString key = protectedFile
                                ? SqlConnection::RawKey(sPassword, kdfIter, FileSalt(db.Database))
                                : clsDB::DatabasePassword();
        {
            SqlConnection connection;
            connection.Open(db.Database, key, SqlConnection::Mode::ReadOnly, kdfIter);
            if (!clsPWD::TestStoredMaster(connection, [&sPassword](const QString& sMaster) {
                    return !sPassword.isEmpty() && sMaster == sPassword;
                })) {
                return false;
            }
        }
        db.AcceptFile(key, kdfIter);
    } catch (const AppError&) {
        return false;
    }
    clsPWD::Master().OpenRecord(QStringLiteral("1"));
    return true;
}

QString CopyPath(const QString& sPath)
{
    return sPath + QStringLiteral(".new");
}

void RemoveLeftOverCopy(const QString& sPath)
{
    const QString copy = CopyPath(sPath);
    QFile::remove(copy);
    QFile::remove(copy + QStringLiteral("-journal"));
}

void SetStepHook(std::function<void(Step)> hook)
{
    stepHook() = std::move(hook);
}

int Reencrypt(const QString& sNewKey, int lNewKdfIter,
              const std::function<void(const QString&)>& bBeforeReplace, modBackup::Reason eReason)
{
    clsDB& db = clsDB::shared();
    // A replaced file is reloaded and a backup made first, whatever the session did before.
    db.BackupBefore(eReason);
    const QString path = db.Database;
    const QString oldKey = db.Key;
    const int oldKdfIter = db.KdfIter;
    const QString copy = CopyPath(path);
    // What a failure leaves: the old file, untouched, and the session on it with its key.
    auto restore = [&] {
        db.EndChange();
        db.CloseConnection();
        db.Database = path;
        db.Key = oldKey;
        db.KdfIter = oldKdfIter;
        RemoveLeftOverCopy(path);
    };
    // The new key is derived here once, over a salt of our own; the copy is written, checked and
    // then used by the session with that key as it is, sparing the library two more
    // derivations. The copy's first bytes must be that salt, or the key typed later would not
    // derive it.
    const QByteArray salt = newSalt();
    QString rawKey;
    try {
        // A copy left by an attempt that was cut off is of no use.
        RemoveLeftOverCopy(path);
        db.OpenConnection(true);
        const QMap<QString, qint64> before = TableRows(db);
        // Only the owner may read the copy, whatever the rights of the file it replaces. The
        // session's connection may write files but not create them.
        modSchema::CreatePrivateFile(copy);
        rawKey = SqlConnection::RawKey(sNewKey, lNewKdfIter, salt);
        db.ExportTo(copy, rawKey, 0);
        // The session checks the copy: it must open under the new key and hold every row.
        db.CloseConnection();
        db.Database = copy;
        // A protected session keeps the derived key, not the master password.
        db.Key = lNewKdfIter == PROTECTED_KDF_ITER ? rawKey : sNewKey;
        db.KdfIter = lNewKdfIter;
        db.OpenConnectionWithRawKey(rawKey);
        step(Step::CopyOpened);
        if (FileSalt(copy) != salt) {
            throw AppError(
                AppError::FileError,
                QStringLiteral("The re-encrypted copy would not open with the new key."));
        }
        if (TableRows(db) != before) {
            throw AppError(AppError::FileError,
                           QStringLiteral("The re-encrypted copy does not hold every row."));
        }
        if (bBeforeReplace) {
            bBeforeReplace(copy);
        }
        // Its own name is the copy's for as long as the connection lives: writes after the
        // rename would keep their journal under the copy's name, where a crash would lose it.
        db.CloseConnection();
        ReplaceWithCopy(copy, path);
    } catch (...) {
        restore();
        throw;
    }
    db.Database = path;
    db.OpenConnectionWithRawKey(rawKey);
    db.EndChange();
    // No backup keeps the file's old key or master password.
    return modBackup::BringAlong(path, oldKey, oldKdfIter, db.Key, db.KdfIter, clsPWD::Master());
}

int Protect(const QString& sMasterPassword)
{
    return Reencrypt(sMasterPassword, PROTECTED_KDF_ITER, {}, modBackup::Reason::Protect);
}

int Unprotect()
{
    return Reencrypt(clsDB::DatabasePassword(), 0, {}, modBackup::Reason::Unprotect);
}

int ChangeMasterPassword(const QString& sNewPassword)
{
    return Reencrypt(
        sNewPassword, PROTECTED_KDF_ITER,
        [](const QString&) {
            if (!clsPWD::Master().Save(false)) {
                throw AppError(AppError::FileError,
                               QStringLiteral("The new master password could not be stored."));
            }
        },
        modBackup::Reason::NewPassword);
}

} // namespace modProtection
