// The one database session: a single connection to the data file that runs the record
// classes' SQL statements and reopens itself when closed.
#pragma once

#include "platform/Recordset.h"
#include "platform/SqlConnection.h"

#include <QString>
#include <QStringList>
#include <memory>

class clsDB
{
public:
    clsDB() = default;
    ~clsDB();
    clsDB(const clsDB&) = delete;
    clsDB& operator=(const clsDB&) = delete;

    // The one shared session, created on first use.
    static clsDB& shared();

    // The full path of the data file.
    QString Database;
    // Opens the data file read-only (for tests of a file the program may not write).
    bool ReadOnly = false;
    // The key the data file is opened with and its key derivation's iterations (0: the
    // default). The built-in database password unless the file is protected by the master
    // password.
    QString Key = DatabasePassword();
    int KdfIter = 0;

    // Opens the connection unless it is open; returns whether it is open afterwards. Errors of
    // the database (missing file, wrong key, not a database, locked) are raised; so is a file
    // that lacks one of the RequiredTables, which is then left closed.
    bool OpenConnection(bool bUseAccess);
    // The same with sRawKey, the raw form of the key that Key and KdfIter derive (see
    // SqlConnection::RawKey), in place of Key: the slow key derivation is spared. Later opens
    // derive the key from Key again.
    bool OpenConnectionWithRawKey(const QString& sRawKey);
    // Runs one statement, opening the connection first if needed. Returns nothing when the
    // connection cannot be opened.
    std::unique_ptr<Recordset> Execute(const QString& sSql);
    void CloseConnection();
    // Writes a copy of the whole data file under another key (see SqlConnection::ExportTo),
    // opening the connection first if needed.
    void ExportTo(const QString& sPath, const QString& sKey, int lKdfIter);
    bool IsOpen() const { return m_connection && m_connection->IsOpen(); }

    // The key of every data file.
    static QString DatabasePassword();
    // The tables every data file holds.
    static QStringList RequiredTables();

private:
    bool open(const QString& sKey, int lKdfIter);

    std::unique_ptr<SqlConnection> m_connection;
};
