// Windows-1252 text conversion, the same on every platform: every byte maps to one character
// and back, so cipher texts survive as text.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace Win1252 {

// The character for one byte.
char16_t toChar(unsigned char byte);
// True when every character of the text has a Windows-1252 byte.
bool fits(QStringView text);
// Text to bytes; a character without a byte becomes "?".
QByteArray fromUnicode(QStringView text);
// Bytes to text, one character per byte.
QString toUnicode(QByteArrayView bytes);

} // namespace Win1252
