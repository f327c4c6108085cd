// The tables of a new data file, and the making of one.
#include "data/modSchema.h"

#include "data/clsDB.h"
#include "platform/AppError.h"
#include "platform/SqlConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <system_error>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace modSchema {

QStringList CreateStatements()
{
    // Texts compare without regard to case: NOCASE, which the program's connections order as
    // the user's language sorts (TextCollation). No index may use it, or the order would have
    // to match SQLite's own NOCASE. The cipher text of a password stays binary.
    return {
        QStringLiteral("CREATE TABLE PWD ("
                       "PASSWORD_ID INTEGER PRIMARY KEY, "
                       "TITLE_TX TEXT COLLATE NOCASE, "
                       "USER_NM TEXT COLLATE NOCASE, "
                       "PASSWORD_TX TEXT, "
                       "WEB_SITE_TX TEXT COLLATE NOCASE, "
                       "NOTES_TX TEXT COLLATE NOCASE)"),
        QStringLiteral("CREATE TABLE MY_FILE ("
                       "MY_FILE_ID INTEGER PRIMARY KEY, "
                       "MY_FILE_NM TEXT COLLATE NOCASE, "
                       "MY_FILE_PATH_TX TEXT COLLATE NOCASE, "
                       "NOTES_TX TEXT COLLATE NOCASE)"),
    };
}

QStringList Columns(const QString& sTable)
{
    const QString head = QStringLiteral("CREATE TABLE %1 (").arg(sTable);
    for (const QString& statement : CreateStatements()) {
        if (statement.startsWith(head)) {
            QStringList columns;
            for (const QString& part :
                 statement.sliced(head.size()).chopped(1).split(QStringLiteral(", "))) {
                columns << part.section(QLatin1Char(' '), 0, 0);
            }
            return columns;
        }
    }
    return {};
}

namespace {

QString existsMessage(const QString& sPath)
{
    return QStringLiteral("A file already exists at \"%1\"; it is left as it is.")
        .arg(QDir::toNativeSeparators(sPath));
}

} // namespace

void CreatePrivateFile(const QString& sPath)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(sPath).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        throw AppError(AppError::FileError,
                       error == EEXIST ? existsMessage(sPath)
                                       : QStringLiteral("Cannot create \"%1\": %2")
                                             .arg(QDir::toNativeSeparators(sPath),
                                                  QString::fromStdString(
                                                      std::generic_category().message(error))));
    }
    ::close(fd);
#else
    QFile file(sPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        throw AppError(AppError::FileError,
                       file.exists()
                           ? existsMessage(sPath)
                           : QStringLiteral("Cannot create \"%1\": %2")
                                 .arg(QDir::toNativeSeparators(sPath), file.errorString()));
    }
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
#endif
}

void CreateDataFile(const QString& sPath)
{
    const QFileInfo info(sPath);
    if (info.exists() || info.isSymLink()) {
        throw AppError(AppError::FileError, existsMessage(sPath));
    }
    // The data file's own folder is its owner's alone; the folders above it are made as usual.
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir() &&
        (!QDir().mkpath(QFileInfo(folder).absolutePath()) ||
         !QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))) {
        throw AppError(AppError::FileError, QStringLiteral("Cannot create the folder \"%1\".")
                                                .arg(QDir::toNativeSeparators(folder)));
    }
    // The file exists with its final rights before the database writes into it.
    CreatePrivateFile(sPath);
    try {
        SqlConnection connection;
        connection.Open(sPath, clsDB::DatabasePassword(), SqlConnection::Mode::Create);
        connection.Execute(QStringLiteral("BEGIN"));
        for (const QString& statement : CreateStatements()) {
            connection.Execute(statement);
        }
        connection.Execute(QStringLiteral("COMMIT"));
        connection.Close();
    } catch (...) {
        QFile::remove(sPath);
        QFile::remove(sPath + QStringLiteral("-journal"));
        throw;
    }
}

} // namespace modSchema
