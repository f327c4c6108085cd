// A connection to one SQLCipher data file, opened with a path and a key, that runs one SQL
// statement at a time and hands back its rows.
#pragma once

#include "platform/Recordset.h"

#include <QString>
#include <memory>

struct sqlite3;

class SqlConnection
{
public:
    enum class Mode { ReadWrite, ReadOnly, Create };

    SqlConnection() = default;
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    // Opens the file and checks the key with a read of the schema. ReadWrite and ReadOnly never
    // create a missing file and refuse one without tables. Errors are raised with the
    // database's message.
    void Open(const QString& sPath, const QString& sKey, Mode eMode);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }

    // Runs exactly one statement. Rows, if any, come back in the recordset; a statement that
    // gives no rows comes back as a recordset already at its end.
    std::unique_ptr<Recordset> Execute(const QString& sSql);

private:
    [[noreturn]] void raise(int rc);
    sqlite3* m_db = nullptr;
};
