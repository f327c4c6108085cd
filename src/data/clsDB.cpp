// The one database session over SQLCipher.
#include "data/clsDB.h"

#include "platform/AppError.h"

#include <QStringList>
#include <sqlite3.h>

namespace {

// A data file holds both tables of entries. A file without them (made by something else, or
// emptied) is refused as no data file at all, before anything reads or writes it.
void requireTables(SqlConnection& connection)
{
    QStringList tables;
    for (auto rs = connection.Execute(
             QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
         !rs->EndOfRows(); rs->MoveNext()) {
        tables << rs->FieldAt(0);
    }
    for (const QString& required : clsDB::RequiredTables()) {
        if (!tables.contains(required, Qt::CaseInsensitive)) {
            throw AppError(
                SQLITE_NOTADB,
                QStringLiteral("file is not a data file: it has no table %1").arg(required));
        }
    }
}

} // namespace

clsDB::~clsDB()
{
    try {
        CloseConnection();
    } catch (...) {
    }
}

clsDB& clsDB::shared()
{
    static clsDB db;
    return db;
}

QStringList clsDB::RequiredTables()
{
    return {QStringLiteral("PWD"), QStringLiteral("MY_FILE")};
}

QString clsDB::DatabasePassword()
{
    return QStringLiteral("lamp2917");
}

bool clsDB::OpenConnection(bool /*bUseAccess*/)
{
    return open(Key, KdfIter);
}

bool clsDB::OpenConnectionWithRawKey(const QString& sRawKey)
{
    return open(sRawKey, 0);
}

bool clsDB::open(const QString& sKey, int lKdfIter)
{
    if (!m_connection) {
        m_connection = std::make_unique<SqlConnection>();
    }
    if (!m_connection->IsOpen()) {
        m_connection->Open(
            Database, sKey,
            ReadOnly ? SqlConnection::Mode::ReadOnly : SqlConnection::Mode::ReadWrite, lKdfIter);
        try {
            requireTables(*m_connection);
        } catch (...) {
            m_connection->Close();
            throw;
        }
    }
    return m_connection->IsOpen();
}

void clsDB::ExportTo(const QString& sPath, const QString& sKey, int lKdfIter)
{
    OpenConnection(true);
    m_connection->ExportTo(sPath, sKey, lKdfIter);
}

std::unique_ptr<Recordset> clsDB::Execute(const QString& sSql)
{
    if (!OpenConnection(true)) {
        return nullptr;
    }
    return m_connection->Execute(sSql);
}

void clsDB::CloseConnection()
{
    if (m_connection) {
        m_connection->Close();
    }
}
