// One file-folder entry, and the only code that reads and writes table MY_FILE.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Recordset;

class clsMY_FILE
{
public:
    QString MY_FILE_ID;
    QString MY_FILE_NM;
    QString MY_FILE_PATH_TX;
    QString NOTES_TX;

    bool Delete(const QString& rsMY_FILE_ID);
    // The row as the data file held it when this record last read or wrote it: the identifier,
    // then the other columns' texts in the table's order. Empty for a record that was neither
    // read nor written.
    const QStringList& StoredRow() const { return m_storedRow; }
    // Deletes the entry whose StoredRow a list showed, only while the data file still holds
    // exactly that row (see clsPWD::DeleteStoredRow). False when nothing was deleted.
    static bool DeleteStoredRow(const QStringList& asRead);
    // Loads the row; a missing row leaves the object as it was.
    void OpenRecord(const QString& rsMY_FILE_ID);
    // Every entry, ordered by name.
    std::optional<QList<clsMY_FILE>> OpenRecords();
    // Inserts under a new identifier (left in MY_FILE_ID) or updates the row MY_FILE_ID; an entry
    // read from the file is updated only while its row is still as read (StoredRow), else saved
    // as a new entry.
    bool Save(bool bAddRecord);
    // Inserts under MY_FILE_ID, or a new identifier when it is empty; raises on failure (an
    // import shows one message for all its rows).
    void Add();

private:
    void AssignNewID();
    void insert();
    void readRow(const Recordset& rs);

    QStringList m_storedRow;
};

// Texts only: a list that grows moves its entries as they are, without copying each text.
Q_DECLARE_TYPEINFO(clsMY_FILE, Q_RELOCATABLE_TYPE);
