// Helpers on 32-bit words used by the block cipher: big-endian reads and writes in a byte
// array, and addition modulo 2^32.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace modEncrypt {

// Reads bytes position .. position+3 as one word, the first byte most significant.
// Throws AppError 9 "Subscript out of range" when any of those bytes is outside the array.
void ReadBigEndianWord(quint32& word, const QByteArray& bytes, int position);

// Stores a word at position .. position+3, the most significant byte first.
// Throws AppError 9 "Subscript out of range" when any of those bytes is outside the array.
void WriteBigEndianWord(quint32 word, QByteArray& bytes, int position);

// (a + b) modulo 2^32.
constexpr quint32 AddWrapped(quint32 a, quint32 b)
{
    return a + b;
}

} // namespace modEncrypt
