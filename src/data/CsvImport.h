// Bringing password entries in from a comma-separated file that another password manager, a
// browser or KeyCask itself wrote (and file-folder entries from KeyCask's own folder file): the
// format is recognised by its header line (or the columns are chosen by hand), each row is mapped
// to an entry, duplicates and unusable rows are set apart, and the new entries are stored in one
// transaction.
#pragma once

#include "data/clsPWD.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class CsvImport
{
public:
    CsvImport() = default;
    // Wipes what the import holds (see Wipe).
    ~CsvImport();
    CsvImport(const CsvImport&) = delete;
    CsvImport& operator=(const CsvImport&) = delete;

    // The five fields of an entry, in the order the column choice lists them.
    enum Field { Title, UserName, Password, WebAddress, Notes, FieldCount };
    // The column that fills each field; None where no column does.
    static constexpr int None = -1;
    using Columns = std::array<int, FieldCount>;

    enum class Status { Add, Duplicate, Error, Empty };
    struct Row
    {
        clsPWD entry;
        Status status = Status::Add;
    };
    struct Result
    {
        int imported = 0;
        int duplicates = 0;
        int errors = 0;
    };

    // Reads a file (see CsvFile::Read), or a text already read. Raises AppError with a sentence
    // for the user when the file cannot be read; nothing is kept then. The file's text is wiped
    // once its rows are taken.
    void Load(const QString& sPath);
    void LoadText(const QString& sText);

    // The recognised format's name, or empty text when the columns are to be chosen by hand.
    QString FormatName() const { return m_format; }
    // True for KeyCask's file of file folders: each row's title is the name, its web address
    // the folder, and the rows become file-folder entries.
    bool FileFolders() const;
    // The names of the columns: the header's, or "Column 1", "Column 2", … without one.
    QStringList ColumnNames() const { return m_columnNames; }
    Columns ChosenColumns() const { return m_columns; }
    // Maps the rows again with other columns (files of no recognised format).
    void SetColumns(const Columns& columns);

    // Every row of the file but the header, mapped as it will be stored, with its status.
    const QList<Row>& Rows() const { return m_rows; }
    int Count(Status eStatus) const;

    // Stores the rows to add, each through the record class, in one transaction. bKeepGoing is
    // asked after each stored row with the number stored so far; false cancels. A cancel or
    // any failure rolls everything back and raises AppError with the cause for the user.
    Result Store(const std::function<bool(int)>& bKeepGoing = {});
    // "n entries imported, m skipped as duplicates." and the rows with errors when any.
    static QString ResultText(const Result& result);

    // Overwrites every text the import holds (the file's records, the rows made of them, the
    // stored entries' keys) with zeros and forgets them, so that no imported password stays in
    // memory; a text that another holder still shares is left to that holder.
    void Wipe();

    // The records of the file as read (tests look at them after Wipe).
    const QList<QStringList>& Records() const { return m_records; }

private:
    void recognise();
    void map();

    QList<QStringList> m_records;
    // The index of the first data record (1 after a header line).
    qsizetype m_firstRecord = 0;
    QString m_format;
    int m_formatIndex = -1;
    QStringList m_columnNames;
    Columns m_columns{None, None, None, None, None};
    QList<Row> m_rows;
    // Title, user name, password and web address of every stored entry (name and folder of
    // every file-folder entry for a file of file folders).
    QSet<QStringList> m_existing;
};
