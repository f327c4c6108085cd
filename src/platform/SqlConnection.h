// A connection to one SQLCipher data file, opened with a path and a key, that runs one SQL
// statement at a time and hands back its rows.
#pragma once

#include "platform/Recordset.h"

#include <QElapsedTimer>
#include <QString>
#include <memory>

class AppError;
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
    // database's message. Texts of NOCASE columns order as the user's language sorts them.
    // lKdfIter: the key derivation's iterations; 0 keeps the library's default (64,000 in the
    // version 3 format). The key goes to the library as it is, never into SQL text.
    void Open(const QString& sPath, const QString& sKey, Mode eMode, int lKdfIter = 0);

    // Writes a copy of the whole open file to a new file under another key and iteration count
    // (0: the version 3 default). The key is bound as a parameter. The copy is complete when
    // this returns; on an error it may be partial and must not be used.
    void ExportTo(const QString& sPath, const QString& sKey, int lKdfIter);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    // Whether a transaction begun with BEGIN is open.
    bool InTransaction() const;
    // The rows the last INSERT, UPDATE or DELETE changed.
    int Changes() const;
    // Whether the file this connection has open is no longer the one at its path (renamed over,
    // moved or deleted): what the connection writes then goes into a file no one will read.
    bool FileMoved() const;

    // Runs exactly one statement. Rows, if any, come back in the recordset; a statement that
    // gives no rows comes back as a recordset already at its end.
    std::unique_ptr<Recordset> Execute(const QString& sSql);

    // How long one statement waits, with the wait cursor up, for a file that another program
    // holds locked before it fails with SQLite's busy error.
    static constexpr int BusyTimeoutMs = 2000;
    // Whether an error raised here means that another program holds the file locked.
    static bool IsBusyError(const AppError& error);

    // The file format's key: PBKDF2-HMAC-SHA1 over the text key and a salt of SaltBytes, which
    // are the file's first bytes, with DefaultKdfIter iterations unless told otherwise.
    static constexpr int SaltBytes = 16;
    static constexpr int DefaultKdfIter = 64000;
    // The key that sKey derives with lKdfIter iterations (0: the default) over abSalt, in the
    // library's raw form "x'<key><salt>'". Opening a file, or exporting to a new one, with it
    // keys the file exactly as sKey would, without the slow derivation. Raises on failure.
    static QString RawKey(const QString& sKey, int lKdfIter, const QByteArray& abSalt);

    // The major version of a cipher_version text such as "4.6.1 community"; 0 when the text
    // does not start with a number.
    static int CipherMajorVersion(const QString& sVersion);

private:
    [[noreturn]] void raise(int rc);
    void keyAttached(const QString& sSchema, int lKdfIter);
    int m_cipherMajor = 0;
    static int busyHandler(void* pConnection, int lCount);
    void installTextOrder();

    sqlite3* m_db = nullptr;
    // Since when the current statement has been waiting for a locked file.
    QElapsedTimer m_busySince;
};
