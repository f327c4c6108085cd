// Big-endian word access in byte arrays, with the index checks of the rest of the program.
#include "crypto/modEncrypt.h"

#include "platform/AppError.h"

#include <QtEndian>

namespace {

void checkRange(const QByteArray& bytes, int position)
{
    if (position < 0 || qsizetype(position) + 4 > bytes.size()) {
        throw AppError(AppError::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    }
}

} // namespace

namespace modEncrypt {

void ReadBigEndianWord(quint32& word, const QByteArray& bytes, int position)
{
    checkRange(bytes, position);
    word = qFromBigEndian<quint32>(bytes.constData() + position);
}

void WriteBigEndianWord(quint32 word, QByteArray& bytes, int position)
{
    checkRange(bytes, position);
    qToBigEndian<quint32>(word, bytes.data() + position);
}

} // namespace modEncrypt
