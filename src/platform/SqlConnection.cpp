// A connection to one SQLCipher data file.
#include "platform/SqlConnection.h"

#include "platform/AppError.h"

#include <QDir>
#include <sqlite3.h>

SqlConnection::~SqlConnection()
{
    Close();
}

void SqlConnection::raise(int rc)
{
    const QString message =
        m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
    throw AppError(rc, message);
}

void SqlConnection::Open(const QString& sPath, const QString& sKey, Mode eMode)
{
    Close();
    int flags = SQLITE_OPEN_FULLMUTEX;
    switch (eMode) {
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case Mode::Create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    }
    const QByteArray path = QDir::toNativeSeparators(sPath).toUtf8();
    int rc = sqlite3_open_v2(path.constData(), &m_db, flags, nullptr);
    try {
        if (rc != SQLITE_OK) {
            raise(rc);
        }
        sqlite3_busy_timeout(m_db, 2000);
        const QByteArray key = sKey.toUtf8();
        rc = sqlite3_key(m_db, key.constData(), static_cast<int>(key.size()));
        if (rc != SQLITE_OK) {
            raise(rc);
        }
        // Files stay in the version 3 format should the library be a later major version.
        auto version = Execute(QStringLiteral("PRAGMA cipher_version"));
        if (!version->EndOfRows() &&
            version->Field(QStringLiteral("cipher_version")).toInt() >= 4) {
            Execute(QStringLiteral("PRAGMA cipher_compatibility = 3"));
        }
        // A wrong key or a file that is no database only shows on the first read. An existing
        // file without a single table (an empty or cut-off file) is no data file either.
        auto schema = Execute(QStringLiteral("SELECT count(*) AS TABLES FROM sqlite_master"));
        if (eMode != Mode::Create && schema->Field(QStringLiteral("TABLES")).toInt() == 0) {
            throw AppError(SQLITE_NOTADB, QStringLiteral("file is not a database"));
        }
    } catch (...) {
        Close();
        throw;
    }
}

void SqlConnection::Close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

std::unique_ptr<Recordset> SqlConnection::Execute(const QString& sSql)
{
    if (!m_db) {
        throw AppError(3704, QStringLiteral("Operation is not allowed when the object is closed."));
    }
    const QByteArray sql = sSql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc =
        sqlite3_prepare_v2(m_db, sql.constData(), static_cast<int>(sql.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        raise(rc);
    }
    // Exactly one statement: anything but white space after it is refused.
    const QByteArray rest =
        tail ? QByteArray(tail, sql.constData() + sql.size() - tail).trimmed() : QByteArray();
    if (!stmt || !rest.isEmpty()) {
        sqlite3_finalize(stmt);
        throw AppError(SQLITE_ERROR,
                       QStringLiteral("Characters found after the end of the SQL statement."));
    }
    return std::make_unique<Recordset>(m_db, stmt);
}
