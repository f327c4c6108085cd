// Bringing password entries in from a comma-separated file that another password manager, a
// browser or KeyCask itself wrote (and file-folder entries from KeyCask's own folder file): the
// format is recognised by its header line (or the columns are chosen by hand), each row is mapped
// to an entry, duplicates and rows that cannot be stored are set apart with their reason, and the
// new entries are stored in one transaction.
#pragma once

#include "data/CsvFile.h"
#include "data/clsPWD.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

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

    // Unreadable: a line that is not valid in the file's encoding, whose fields cannot be told
    // apart, or where a quote opens that is never closed.
    enum class Status : std::uint8_t { Add, Duplicate, Empty, Unreadable };
    struct Row
    {
        clsPWD entry;
        Status status = Status::Add;
        // The file's line where the row starts, counted from 1.
        qsizetype line = 0;
    };
    struct Result
    {
        int imported = 0;
        int duplicates = 0;
        // Empty and unreadable rows.
        int otherSkipped = 0;
    };
    // Asked now and then while the file is read and checked, with the share done in thousandths;
    // false cancels.
    using Progress = std::function<bool(int lPermille)>;

    // Reads a file (see CsvFile::ReadBytes), or bytes or a text already read, and checks every
    // row. Raises AppError with a sentence for the user when the file cannot be read or the
    // progress cancels; nothing is kept then (a quote that is never closed only makes its
    // record unreadable). The file's bytes are kept (to be read in another encoding) until Wipe.
    void Load(const QString& sPath);
    void LoadBytes(QByteArray abBytes);
    void LoadText(const QString& sText);
    void SetProgress(Progress progress) { m_progress = std::move(progress); }

    CsvFile::Encoding Encoding() const { return m_encoding; }
    // Reads the same bytes again in another encoding; the header and columns are guessed anew.
    void SetEncoding(CsvFile::Encoding eEncoding);

    // The recognised format's name, or empty text when the columns are to be chosen by hand.
    QString FormatName() const;
    // True for KeyCask's file of file folders: each row's title is the name, its web address
    // the folder, and the rows become file-folder entries.
    bool FileFolders() const;

    // Whether the first line names the columns, and its guess when the file was read: a known
    // format's header, or a line that looks like names.
    bool HasHeader() const { return m_hasHeader; }
    // Takes the first line as names or as a row; the columns and "keep others" are guessed anew.
    void SetHeader(bool bHeader);

    // At most this many columns are offered for the fields; the values of the columns after
    // them go to the notes as "Column n: value" lines when the other columns are kept.
    static constexpr qsizetype MaxColumns = 1000;
    // The names of the columns: the header's, or "Column 1", "Column 2", … without one.
    QStringList ColumnNames() const { return m_columnNames; }
    // Each column's value in the first row, at most 40 characters (empty text without one).
    QStringList Samples() const;
    // Whether a column holds a secret: the one chosen as the password, or one whose name
    // suggests a secret. Its value is masked and never copied into the notes.
    bool SecretColumn(int lColumn) const;
    static bool SecretName(const QString& sName);
    Columns ChosenColumns() const { return m_columns; }
    // Maps the rows again with other columns (files of no recognised format).
    void SetColumns(const Columns& columns);
    // Whether the columns that fill no field go to the notes as "Name: value" lines.
    bool KeepOthers() const { return m_keepOthers; }
    void SetKeepOthers(bool bKeep);

    // The rows of the file but the header.
    qsizetype RowCount() const;
    Status StatusOf(qsizetype lRow) const;
    // The file's line where the row starts, counted from 1.
    qsizetype Line(qsizetype lRow) const { return lineOf(lRow + (m_hasHeader ? 1 : 0)); }
    // The row mapped as it will be stored, with its status and line.
    Row RowAt(qsizetype lRow) const;
    // Why a skipped row is skipped ("same as line 12", "empty row", …).
    QString Reason(qsizetype lRow) const;
    int Count(Status eStatus) const { return m_counts[std::size_t(eStatus)]; }

    // Makes the backup taken before an import, asking the user when none can be made; raises
    // AppError as Store does. Store makes it itself unless this was called just before.
    void Backup();
    // Stores the rows to add, each through the record class, in one transaction. bKeepGoing is
    // asked after each stored row with the number stored so far; false cancels. A cancel or
    // any failure rolls everything back and raises AppError with the cause for the user.
    Result Store(const std::function<bool(int)>& bKeepGoing = {});
    // "n entries imported, m skipped as duplicates." and the other skipped rows when any.
    static QString ResultText(const Result& result);

    // Overwrites every text the import holds (the file's bytes and text, the stored entries'
    // fields, the column names) with zeros and forgets them, so that no imported password stays
    // in memory.
    void Wipe();

    // The file's text as decoded (tests look at it after Wipe).
    const QString& Text() const { return m_text; }

private:
    // Per record: its status and how it was read.
    enum Flag : std::uint8_t {
        StandardDialect = 0x01,
        Unparseable = 0x02,
        BadEncoding = 0x04,
        // A quote that is never closed: the record runs to the end of the text.
        Unclosed = 0x08,
        StatusShift = 4,
    };
    using Fields = std::array<QString, FieldCount>;
    struct Mapping;

    void decode();
    void split();
    void recognise();
    void guessColumns();
    void map();
    void report(int lPermille) const;
    QStringList record(qsizetype lRecord) const;
    // The fields a record stores; false when it is blank or fills no field.
    bool mapRecord(qsizetype lRecord, Mapping& m, bool* pBlank = nullptr) const;
    // Whether the fields are those of the record (or, below zero, of the stored entry).
    bool sameAs(qint32 lFirst, const Fields& fields) const;
    qsizetype lineOf(qsizetype lRecord) const;
    Status statusOfRecord(qsizetype lRecord) const;
    // The recognised format in use: none while the first line is taken as a row.
    int active() const { return m_hasHeader ? m_detected : -1; }

    QByteArray m_bytes;
    CsvFile::Encoding m_encoding = CsvFile::Encoding::Utf8;
    QString m_text;
    QChar m_delimiter = QLatin1Char(',');
    QList<qsizetype> m_badLines;
    // The line where a quote that is never closed opens (Unclosed).
    qsizetype m_unclosedLine = 0;
    // Where each record starts in the text; the next one's start is its end.
    std::vector<qint32> m_starts;
    std::vector<std::uint8_t> m_flags;
    // The records whose first line is not the line after the previous record's first line,
    // with that line.
    std::vector<std::pair<qint32, qint32>> m_lines;
    qsizetype m_width = 0;
    qsizetype m_headerFields = 0;
    int m_detected = -1;
    bool m_hasHeader = false;
    bool m_keepOthers = false;
    QStringList m_columnNames;
    // Per column, whether its name suggests a secret.
    std::vector<bool> m_secretNames;
    QHash<QString, int> m_index;
    Columns m_columns{None, None, None, None, None};
    std::array<int, 4> m_counts{};
    // The fields of every stored entry (name, folder and notes of every file-folder entry for
    // a file of file folders).
    QList<Fields> m_existing;
    // The first row (or, below zero, the stored entry -1 - n) with the fields of a hash.
    QHash<std::size_t, qint32> m_first;
    Progress m_progress;
    bool m_backedUp = false;
};
