// The order of texts that ignore letter case, and its installation on a SQLite connection.
#include "platform/TextCollation.h"

#include <QLocale>
#include <QString>
#include <QVarLengthArray>
#include <algorithm>
#include <memory>
#include <sqlite3.h>

namespace {

// SQLite's NOCASE: bytes compared with the letters A-Z folded to a-z, over the whole length.
int compareNoCase(QByteArrayView a, QByteArrayView b)
{
    const auto fold = [](char ch) {
        const auto byte = static_cast<unsigned char>(ch);
        return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte;
    };
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const int ca = fold(a[i]);
        const int cb = fold(b[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Room on the stack for a text of ASCII widened to UTF-16.
using Utf16Buffer = QVarLengthArray<char16_t, 256>;

// The text as QString::fromUtf8 decodes it. Text that is all ASCII, as most titles are, is
// widened into the buffer on the stack; other text is decoded by Qt into rsDecoded.
QStringView decode(QByteArrayView utf8, Utf16Buffer& rBuffer, QString& rsDecoded)
{
    rBuffer.resize(utf8.size());
    char16_t* out = rBuffer.data();
    unsigned char seen = 0;
    for (const char ch : utf8) {
        const auto byte = static_cast<unsigned char>(ch);
        seen |= byte;
        *out++ = byte;
    }
    if (seen < 0x80) {
        return QStringView(rBuffer.data(), utf8.size());
    }
    rsDecoded = QString::fromUtf8(utf8);
    return rsDecoded;
}

int compareCallback(void* data, int lengthA, const void* a, int lengthB, const void* b)
{
    const auto* order = static_cast<const TextCollation*>(data);
    return order->Compare(QByteArrayView(static_cast<const char*>(a), lengthA),
                          QByteArrayView(static_cast<const char*>(b), lengthB));
}

void destroyCallback(void* data)
{
    std::unique_ptr<TextCollation>(static_cast<TextCollation*>(data)).reset();
}

} // namespace

TextCollation::TextCollation() : m_collator(Collator()) {}

QCollator TextCollation::Collator()
{
    QLocale locale;
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    }
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    return collator;
}

int TextCollation::Compare(QByteArrayView aUtf8, QByteArrayView bUtf8) const
{
    const int noCase = compareNoCase(aUtf8, bUtf8);
    if (noCase == 0) {
        return 0;
    }
    // Sorting a list calls this many times per row: ASCII texts are decoded on the stack.
    Utf16Buffer a;
    Utf16Buffer b;
    QString decodedA;
    QString decodedB;
    const int order = m_collator.compare(decode(aUtf8, a, decodedA), decode(bUtf8, b, decodedB));
    return order != 0 ? order : noCase;
}

int TextCollation::InstallAsNoCase(sqlite3* db)
{
    auto order = std::make_unique<TextCollation>();
    const int rc = sqlite3_create_collation_v2(db, NoCaseName, SQLITE_UTF8, order.get(),
                                               &compareCallback, &destroyCallback);
    if (rc == SQLITE_OK) {
        // The connection owns it now and destroys it when the collation is replaced or closed.
        order.release();
    }
    return rc;
}
