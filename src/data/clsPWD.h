// One password entry, and the only code that reads and writes table PWD; the password column
// is kept encrypted on disk and plain in the object.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Recordset;
class SqlConnection;

class clsPWD
{
public:
    QString PASSWORD_ID;
    QString TITLE_TX;
    QString USER_NM;
    QString PASSWORD_TX; // plain text; cipher text only on disk
    QString WEB_SITE_TX;
    QString NOTES_TX;

    // The shared record that holds the master row for the whole run.
    static clsPWD& Master();

    bool Delete(const QString& rsPASSWORD_ID);
    // The row as the data file held it when this record last read or wrote it: the identifier,
    // then the other columns' texts in the table's order, the password as its cipher text.
    // Empty for a record that was neither read nor written.
    const QStringList& StoredRow() const { return m_storedRow; }
    // Deletes the entry whose StoredRow a list showed, only while the data file still holds
    // exactly that row: an entry that another program changed, removed or put under the same
    // number stays, and the user is told. False when nothing was deleted.
    static bool DeleteStoredRow(const QStringList& asRead);
    // Every entry's password, decrypted; the entries' other properties are empty.
    std::optional<QList<clsPWD>> GetPasswords();
    // Every distinct user name, the master row's included. Never shows a message.
    std::optional<QList<clsPWD>> GetUserNames();
    // Loads the row; a missing row leaves the object as it was.
    void OpenRecord(const QString& rsPASSWORD_ID);
    // Every entry but the master row, ordered by title.
    std::optional<QList<clsPWD>> OpenRecords();
    // The same entries, handed to visit one at a time in one record that is reused and may be
    // moved from: each password is zeroed once its visit is over, unless the visit kept it.
    // False when the read failed (the error has been shown); the entries visited until then
    // stay visited.
    bool ReadRecords(const std::function<void(clsPWD&)>& visit);
    // Inserts under a new identifier (left in PASSWORD_ID) or updates the row PASSWORD_ID; an
    // entry read from the file is updated only while its row is still as read (StoredRow), else
    // saved as a new entry.
    bool Save(bool bAddRecord);
    // Inserts under the identifier in PASSWORD_ID, or under a new one (left there) when it is
    // empty, and raises the error instead of showing it: for a caller that stores many entries
    // in one transaction, counting the identifiers on itself, and reports once.
    void Add();
    // Inserts the object as the master row, identifier 1.
    bool SaveMasterRow();

    // Sealed, the record keeps its password only as the data file stores it (encrypted) and
    // the plain text is zeroed: the master record while the program is locked. Unseal puts the
    // plain text back; reading the row again drops the seal.
    void SealPassword();
    void UnsealPassword();
    // True when a text is the record's password, sealed or not; an empty password (what a
    // damaged row leaves) matches nothing, the empty text included.
    bool PasswordMatches(const QString& sTyped) const;
    // Hands the master password stored in the file that connection has open to bTest and zeroes
    // it afterwards; a missing row or password is handed as empty text. Gives bTest's answer.
    static bool TestStoredMaster(SqlConnection& connection,
                                 const std::function<bool(const QString&)>& bTest);
    // Writes the record as the master row (identifier 1) of the file that connection has open,
    // sealed or not; raises on failure. False, with nothing written, when it holds no password.
    bool StoreMasterRow(SqlConnection& connection) const;

private:
    void AssignNewID();
    // Runs the insert or update, up to ten attempts, but only one wait for a file another
    // program holds locked; shows the last error when the attempts fail.
    bool write(bool bAddRecord);
    // The same attempts; raises the last error.
    void writeOrRaise(bool bAddRecord);
    void readRow(const Recordset& rs);

    std::optional<QString> m_sealedPassword;
    QStringList m_storedRow;
};

// Texts only: a list that grows moves its entries as they are, without copying each text.
Q_DECLARE_TYPEINFO(clsPWD, Q_RELOCATABLE_TYPE);
