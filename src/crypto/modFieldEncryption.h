// Encryption of the one column stored encrypted (the password of a password entry), with the
// program's fixed field key, through the shared cipher.
#pragma once

#include <QString>

namespace modFieldEncryption {

// The fixed key of every stored password. Data files written under another key cannot be read.
inline constexpr char16_t FIELD_KEY[] = u"vqe7";

// The stored text of a plain password: one character per cipher byte, never empty.
QString EncryptField(const QString& plain);

// The plain password of a stored text. Throws the cipher's AppError for a value that is not a
// cipher text under the field key (damaged, edited elsewhere, empty).
QString DecryptField(const QString& stored);

} // namespace modFieldEncryption
