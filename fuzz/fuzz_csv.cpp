// libFuzzer target for the comma-separated reader: whatever it reads from any bytes, written
// back and read again, gives the same records, in both dialects.
#include "data/CsvFile.h"
#include "platform/AppError.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text =
        CsvFile::Decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QChar delimiter = CsvFile::Delimiter(text);
    for (const auto dialect : {CsvFile::Dialect::Standard, CsvFile::Dialect::Backslash}) {
        QList<QStringList> records;
        try {
            records = CsvFile::Parse(text, delimiter, dialect);
        } catch (const AppError&) {
            continue;
        }
        // Compared as text: UTF-8 cannot carry a lone surrogate that a decoder let through.
        QString written;
        for (const QStringList& record : records) {
            CsvFile::AppendRecord(written, record, delimiter, dialect);
            written += QStringLiteral("\r\n");
        }
        if (CsvFile::Write(records, delimiter, dialect) != written.toUtf8() ||
            CsvFile::Parse(written, delimiter, dialect) != records) {
            std::abort();
        }
    }
    return 0;
}
