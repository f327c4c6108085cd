// Reading and writing comma-separated values.
#include "data/CsvFile.h"

#include "platform/AppError.h"
#include "platform/SecretText.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringDecoder>
#include <array>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString kUnreadable = QStringLiteral("The file could not be read: ");

[[noreturn]] void unreadable(const QString& sReason)
{
    throw AppError(AppError::FileError, kUnreadable + sReason);
}

[[noreturn]] void tooLarge()
{
    unreadable(QStringLiteral("it is larger than 64 MB."));
}

// Appends part to the text; where the text's buffer is too small, the old buffer is wiped
// before it is given back, so that no copy of the text's start is left in freed memory.
void appendWhole(QString& rsText, QStringView part)
{
    if (rsText.capacity() - rsText.size() < part.size()) {
        QString grown;
        grown.reserve(rsText.size() + part.size());
        grown += rsText;
        SecretText::Wipe(rsText);
        rsText = std::move(grown);
    }
    rsText += part;
}

// The bytes of a regular file of at most MaxFileBytes. Anything else (a pipe, a device, a
// folder) is refused before a byte is read, and opening it never waits for a writer.
QByteArray readBytes(const QString& sPath)
{
    QFile file;
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(sPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        unreadable(QString::fromStdString(std::generic_category().message(errno)) +
                   QLatin1Char('.'));
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        unreadable(QStringLiteral("it is not a regular file."));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        unreadable(file.errorString() + QLatin1Char('.'));
    }
    const qint64 size = info.st_size;
#else
    file.setFileName(sPath);
    if (!QFileInfo(sPath).isFile()) {
        unreadable(QStringLiteral("it is not a regular file."));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable(file.errorString() + QLatin1Char('.'));
    }
    const qint64 size = file.size();
#endif
    if (size > CsvFile::MaxFileBytes) {
        tooLarge();
    }
    // One byte more than the file holds shows a file that grew meanwhile, which is read on up
    // to one byte past the limit.
    QByteArray bytes(qsizetype(size) + 1, Qt::Uninitialized);
    qint64 read = file.read(bytes.data(), bytes.size());
    if (read == bytes.size()) {
        QByteArray rest = file.read(CsvFile::MaxFileBytes + 1 - read);
        QByteArray all;
        all.reserve(bytes.size() + rest.size());
        all.append(bytes).append(rest);
        SecretText::Wipe(bytes);
        SecretText::Wipe(rest);
        bytes = std::move(all);
        read = bytes.size();
    }
    if (read < 0 || file.error() != QFileDevice::NoError) {
        SecretText::Wipe(bytes);
        unreadable(file.errorString() + QLatin1Char('.'));
    }
    bytes.resize(read);
    if (bytes.size() > CsvFile::MaxFileBytes) {
        SecretText::Wipe(bytes);
        tooLarge();
    }
    return bytes;
}

} // namespace

QString CsvFile::Read(const QString& sPath)
{
    QByteArray bytes = readBytes(sPath);
    QString text = Decode(bytes);
    SecretText::Wipe(bytes);
    return text;
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
    SecretText::Wipe(text);
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
    // Each field is made in one piece: a field grown character by character would leave
    // copies of its start (a password's) in freed memory.
    const bool backslash = eDialect == Dialect::Backslash;
    const auto escaped = [backslash, text](qsizetype i) {
        return backslash && text[i] == u'\\' && i + 1 < text.size() &&
               (text[i + 1] == u'"' || text[i + 1] == u'\\');
    };
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
            // The closing quote and the field's length, then the field.
            const qsizetype opened = line;
            qsizetype end = i + 1;
            qsizetype length = 0;
            bool closed = false;
            while (end < n) {
                const QChar c = text[end];
                if (c == u'"' && (backslash || end + 1 >= n || text[end + 1] != u'"')) {
                    closed = true;
                    break;
                }
                if (c == u'"' || escaped(end)) {
                    end += 2;
                    ++length;
                    continue;
                }
                // A line break inside quotes stays as it is; CR LF counts as one line.
                if (c == u'\n' || (c == u'\r' && (end + 1 >= n || text[end + 1] != u'\n'))) {
                    ++line;
                }
                ++end;
                ++length;
            }
            if (!closed) {
                unreadable(QStringLiteral("line %1 has a quote that is never closed.").arg(opened));
            }
            field.reserve(length);
            for (qsizetype j = i + 1; j < end; ++j) {
                if (text[j] == u'"' || escaped(j)) {
                    ++j;
                }
                field += text[j];
            }
            i = end + 1;
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
        qsizetype end = i + 1;
        while (end < n && text[end] != delimiter && text[end] != u'\r' && text[end] != u'\n') {
            ++end;
        }
        appendWhole(field, text.sliced(i, end - i));
        atFieldStart = false;
        i = end;
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
    // Room for every field with each character escaped: the text never moves to a larger
    // buffer, which would leave a copy behind in freed memory.
    qsizetype room = 0;
    for (const QStringList& record : records) {
        for (const QString& value : record) {
            room += 2 * value.size() + 3;
        }
        room += 2;
    }
    QString text;
    text.reserve(room);
    for (const QStringList& record : records) {
        AppendRecord(text, record, delimiter, eDialect);
        text += QStringLiteral("\r\n");
    }
    QByteArray bytes = text.toUtf8();
    SecretText::Wipe(text);
    return bytes;
}
