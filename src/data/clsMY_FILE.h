// One file-folder entry, and the only code that reads and writes table MY_FILE.
#pragma once

#include <QList>
#include <QString>
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
    // Loads the row; a missing row leaves the object as it was.
    void OpenRecord(const QString& rsMY_FILE_ID);
    // Every entry, ordered by name.
    std::optional<QList<clsMY_FILE>> OpenRecords();
    // Inserts under a new identifier (left in MY_FILE_ID) or updates the row MY_FILE_ID.
    bool Save(bool bAddRecord);
    // Inserts under MY_FILE_ID, or a new identifier when it is empty; raises on failure (an
    // import shows one message for all its rows).
    void Add();

private:
    void AssignNewID();
    void insert();
    void readRow(const Recordset& rs);
};

// Texts only: a list that grows moves its entries as they are, without copying each text.
Q_DECLARE_TYPEINFO(clsMY_FILE, Q_RELOCATABLE_TYPE);
