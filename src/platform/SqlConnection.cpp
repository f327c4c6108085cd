// A connection to one SQLCipher data file.
#include "platform/SqlConnection.h"

#include "platform/AppError.h"
#include "platform/BusyCursor.h"
#include "platform/TextCollation.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <openssl/evp.h>
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

int SqlConnection::CipherMajorVersion(const QString& sVersion)
{
    // "3.4.1", "4.6.1 community": the digits before the first point or space.
    static const QRegularExpression major(QStringLiteral(R"(^\s*(\d+))"));
    const QRegularExpressionMatch match = major.match(sVersion);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString SqlConnection::RawKey(const QString& sKey, int lKdfIter, const QByteArray& abSalt)
{
    // The library's own derivation: a 256-bit AES key, the key text in UTF-8 as Open gives it.
    constexpr int keyBytes = 32;
    const QByteArray password = sKey.toUtf8();
    QByteArray key(keyBytes, '\0');
    if (abSalt.size() != SaltBytes ||
        PKCS5_PBKDF2_HMAC_SHA1(password.constData(), static_cast<int>(password.size()),
                               reinterpret_cast<const unsigned char*>(abSalt.constData()),
                               SaltBytes, lKdfIter > 0 ? lKdfIter : DefaultKdfIter, keyBytes,
                               reinterpret_cast<unsigned char*>(key.data())) != 1) {
        throw AppError(SQLITE_ERROR, QStringLiteral("The key could not be derived."));
    }
    const QString raw = QStringLiteral("x'%1%2'").arg(QString::fromLatin1(key.toHex()),
                                                      QString::fromLatin1(abSalt.toHex()));
    key.fill('\0');
    return raw;
}

bool SqlConnection::IsBusyError(const AppError& error)
{
    return error.Number() == SQLITE_BUSY || error.Number() == SQLITE_LOCKED;
}

int SqlConnection::busyHandler(void* pConnection, int lCount)
{
    auto* self = static_cast<SqlConnection*>(pConnection);
    if (lCount == 0) {
        self->m_busySince.start();
        BusyCursor::Show();
    }
    const qint64 left = BusyTimeoutMs - self->m_busySince.elapsed();
    if (left <= 0) {
        return 0;
    }
    // Short naps first, as most locks are brief; longer ones once the wait goes on.
    const qint64 nap = lCount < 10 ? 5 : 25;
    QThread::msleep(static_cast<unsigned long>(std::min(nap, left)));
    return 1;
}

void SqlConnection::Open(const QString& sPath, const QString& sKey, Mode eMode, int lKdfIter)
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
        sqlite3_busy_handler(m_db, &SqlConnection::busyHandler, this);
        const QByteArray key = sKey.toUtf8();
        rc = sqlite3_key(m_db, key.constData(), static_cast<int>(key.size()));
        if (rc != SQLITE_OK) {
            raise(rc);
        }
        // Files stay in the version 3 format should the library be a later major version.
        // The version reads like "4.6.1 community".
        int major = 0;
        if (auto version = Execute(QStringLiteral("PRAGMA cipher_version"));
            !version->EndOfRows()) {
            major = CipherMajorVersion(version->FieldAt(0));
        }
        m_cipherMajor = major;
        keyAttached(QStringLiteral("main"), lKdfIter);
        // A wrong key or a file that is no database only shows on the first read. An existing
        // file without a single table (an empty or cut-off file) is no data file either.
        int tables = 0;
        if (auto schema = Execute(QStringLiteral("SELECT count(*) AS TABLES FROM sqlite_master"));
            !schema->EndOfRows()) {
            tables = schema->Field(QStringLiteral("TABLES")).toInt();
        }
        if (eMode != Mode::Create && tables == 0) {
            throw AppError(SQLITE_NOTADB, QStringLiteral("file is not a database"));
        }
        // Every statement has ended here, as a collation is only installed on an idle connection.
        installTextOrder();
    } catch (...) {
        Close();
        throw;
    }
}

void SqlConnection::keyAttached(const QString& sSchema, int lKdfIter)
{
    // The compatibility setting resets the iterations, so it comes first.
    if (m_cipherMajor >= 4) {
        Execute(QStringLiteral("PRAGMA %1.cipher_compatibility = 3").arg(sSchema));
    }
    if (lKdfIter > 0) {
        Execute(QStringLiteral("PRAGMA %1.kdf_iter = %2").arg(sSchema).arg(lKdfIter));
    }
}

void SqlConnection::ExportTo(const QString& sPath, const QString& sKey, int lKdfIter)
{
    if (!m_db) {
        throw AppError(3704, QStringLiteral("Operation is not allowed when the object is closed."));
    }
    const QString schema = QStringLiteral("keycask_export");
    sqlite3_stmt* stmt = nullptr;
    const QByteArray attach = QStringLiteral("ATTACH DATABASE ? AS %1 KEY ?").arg(schema).toUtf8();
    int rc = sqlite3_prepare_v2(m_db, attach.constData(), static_cast<int>(attach.size()), &stmt,
                                nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        raise(rc);
    }
    const QByteArray path = QDir::toNativeSeparators(sPath).toUtf8();
    const QByteArray key = sKey.toUtf8();
    sqlite3_bind_text(stmt, 1, path.constData(), static_cast<int>(path.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, key.constData(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    BusyCursor::Restore();
    if (rc != SQLITE_DONE) {
        raise(rc);
    }
    try {
        keyAttached(schema, lKdfIter);
        Execute(QStringLiteral("SELECT sqlcipher_export('%1')").arg(schema));
        Execute(QStringLiteral("DETACH DATABASE %1").arg(schema));
    } catch (...) {
        try {
            Execute(QStringLiteral("DETACH DATABASE %1").arg(schema));
        } catch (...) {
        }
        throw;
    }
}

void SqlConnection::installTextOrder()
{
    // An index kept in SQLite's NOCASE order would no longer agree with its comparisons: a
    // file with such an index keeps SQLite's own NOCASE. The data file's tables have none.
    QStringList indexes;
    for (auto rs = Execute(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'"));
         !rs->EndOfRows(); rs->MoveNext()) {
        indexes << rs->FieldAt(0);
    }
    for (QString index : indexes) {
        index.replace(QLatin1Char('"'), QLatin1String("\"\""));
        for (auto rs = Execute(QStringLiteral("PRAGMA index_xinfo(\"%1\")").arg(index));
             !rs->EndOfRows(); rs->MoveNext()) {
            if (rs->Field(QStringLiteral("coll"))
                    .compare(QLatin1String(TextCollation::NoCaseName), Qt::CaseInsensitive) == 0) {
                return;
            }
        }
    }
    const int rc = TextCollation::InstallAsNoCase(m_db);
    if (rc != SQLITE_OK) {
        raise(rc);
    }
}

void SqlConnection::Close()
{
    if (m_db) {
        // Statements still open keep the handle alive a while; they must not call back here.
        sqlite3_busy_handler(m_db, nullptr, nullptr);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool SqlConnection::InTransaction() const
{
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

bool SqlConnection::FileMoved() const
{
    // The library compares the file it holds open with what its path names now (fstat of its
    // descriptor against stat of the path).
    int moved = 0;
    return m_db &&
           sqlite3_file_control(m_db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved != 0;
}

int SqlConnection::Changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
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
    // Reading the schema may have waited for a locked file.
    BusyCursor::Restore();
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
