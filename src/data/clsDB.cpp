// The one database session over SQLCipher.
#include "data/clsDB.h"

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

QString clsDB::DatabasePassword()
{
    return QStringLiteral("lamp2917");
}

bool clsDB::OpenConnection(bool /*bUseAccess*/)
{
    if (!m_connection) {
        m_connection = std::make_unique<SqlConnection>();
    }
    if (!m_connection->IsOpen()) {
        m_connection->Open(Database, DatabasePassword(),
                           ReadOnly ? SqlConnection::Mode::ReadOnly
                                    : SqlConnection::Mode::ReadWrite);
    }
    return m_connection->IsOpen();
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
