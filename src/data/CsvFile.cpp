// Reading and writing comma-separated values.
#include "data/CsvFile.h"

#include "platform/AppError.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QStringConverter>
#include <QStringDecoder>
#include <array>

namespace {

const QString kUnreadable = QStringLiteral("The file could not be read: ");

[[noreturn]] void unreadable(const QString& sReason)
{
    throw AppError(AppError::FileError, kUnreadable + sReason);
}

} // namespace

QString CsvFile::Read(const QString& sPath)
{
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable(file.errorString() + QLatin1Char('.'));
    }
    // A device that reports no size (a pipe) is read up to one byte past the limit.
    if (file.size() > MaxFileBytes) {
        unreadable(QStringLiteral("it is larger than 64 MB."));
    }
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes) {
        unreadable(QStringLiteral("it is larger than 64 MB."));
    }
    if (file.error() != QFileDevice::NoError) {
        unreadable(file.errorString() + QLatin1Char('.'));
    }
    return Decode(bytes);
}

QString CsvFile::Decode(const QByteArray& abBytes)
{
    if (const auto encoding = QStringConverter::encodingForData(abBytes)) {
        QStringDecoder decoder(*encoding);
        return decoder(abBytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(abBytes);
    if (!utf8.hasError()) {
        return text;
    }
    return Win1252::toUnicode(abBytes);
}

QChar CsvFile::Delimiter(QStringView text)
{
    // Comma first: it wins a tie.
    constexpr std::array<char16_t, 3> candidates = {u',', u';', u'\t'};
    std::array<int, 3> counts = {};
    bool quoted = false;
    for (const QChar ch : text) {
        if (ch == u'"') {
            quoted = !quoted;
        } else if (!quoted && (ch == u'\r' || ch == u'\n')) {
            break;
        } else if (!quoted) {
            for (std::size_t i = 0; i < candidates.size(); ++i) {
                counts[i] += ch == candidates[i] ? 1 : 0;
            }
        }
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        if (counts[i] > counts[best]) {
            best = i;
        }
    }
    return QChar(candidates[best]);
}

QList<QStringList> CsvFile::Parse(QStringView text, QChar delimiter, Dialect eDialect,
                                  qsizetype lMaxRecords)
{
    const bool backslash = eDialect == Dialect::Backslash;
    QList<QStringList> records;
    QStringList record;
    QString field;
    qsizetype line = 1;
    bool atFieldStart = true;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar ch = text[i];
        if (atFieldStart && ch == u'"') {
            const qsizetype opened = line;
            bool closed = false;
            for (++i; i < n;) {
                const QChar c = text[i];
                if (c == u'"') {
                    if (!backslash && i + 1 < n && text[i + 1] == u'"') {
                        field += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (backslash && c == u'\\' && i + 1 < n &&
                    (text[i + 1] == u'"' || text[i + 1] == u'\\')) {
                    field += text[i + 1];
                    i += 2;
                    continue;
                }
                // A line break inside quotes stays as it is; CR LF counts as one line.
                if (c == u'\n' || (c == u'\r' && (i + 1 >= n || text[i + 1] != u'\n'))) {
                    ++line;
                }
                field += c;
                ++i;
            }
            if (!closed) {
                unreadable(QStringLiteral("line %1 has a quote that is never closed.").arg(opened));
            }
            atFieldStart = false;
            continue;
        }
        if (ch == delimiter) {
            record.append(field);
            field.clear();
            atFieldStart = true;
            ++i;
            continue;
        }
        if (ch == u'\r' || ch == u'\n') {
            record.append(field);
            field.clear();
            records.append(record);
            record.clear();
            atFieldStart = true;
            i += (ch == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
            ++line;
            if (lMaxRecords >= 0 && records.size() >= lMaxRecords) {
                return records;
            }
            continue;
        }
        // Text outside quotes, also after a closing quote, is taken as it stands.
        field += ch;
        atFieldStart = false;
        ++i;
    }
    if (!atFieldStart || !record.isEmpty()) {
        record.append(field);
        records.append(record);
    }
    if (lMaxRecords >= 0 && records.size() > lMaxRecords) {
        records.resize(lMaxRecords);
    }
    return records;
}

void CsvFile::AppendRecord(QString& rsOut, const QStringList& fields, QChar delimiter,
                           Dialect eDialect)
{
    const bool backslash = eDialect == Dialect::Backslash;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            rsOut += delimiter;
        }
        rsOut += u'"';
        for (const QChar ch : fields[i]) {
            if (ch == u'"') {
                rsOut += backslash ? u'\\' : u'"';
            } else if (backslash && ch == u'\\') {
                rsOut += u'\\';
            }
            rsOut += ch;
        }
        rsOut += u'"';
    }
}

QByteArray CsvFile::Write(const QList<QStringList>& records, QChar delimiter, Dialect eDialect)
{
    QString text;
    for (const QStringList& record : records) {
        AppendRecord(text, record, delimiter, eDialect);
        text += QStringLiteral("\r\n");
    }
    return text.toUtf8();
}
