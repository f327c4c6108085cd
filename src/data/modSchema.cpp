// The tables of a new data file, and the making of one.
#include "data/modSchema.h"

#include "data/clsDB.h"
#include "platform/AppError.h"
#include "platform/SqlConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

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

void CreateDataFile(const QString& sPath)
{
    const QFileInfo info(sPath);
    if (info.exists() || info.isSymLink()) {
        throw AppError(AppError::FileError,
                       QStringLiteral("A file already exists at \"%1\"; it is left as it is.")
                           .arg(QDir::toNativeSeparators(sPath)));
    }
    if (!QDir().mkpath(info.absolutePath())) {
        throw AppError(AppError::FileError,
                       QStringLiteral("Cannot create the folder \"%1\".")
                           .arg(QDir::toNativeSeparators(info.absolutePath())));
    }
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
