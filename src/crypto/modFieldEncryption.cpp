// Stored-password encryption with the fixed field key.
#include "crypto/modFieldEncryption.h"

#include "crypto/clsBlowfish.h"

namespace {

// The field key as text, made once: each call compares it with the cipher's current key.
const QString& fieldKey()
{
    static const QString key = QString::fromUtf16(modFieldEncryption::FIELD_KEY);
    return key;
}

} // namespace

namespace modFieldEncryption {

QString EncryptField(const QString& plain)
{
    return clsBlowfish::shared().EncryptString(plain, fieldKey());
}

QString DecryptField(const QString& stored)
{
    return clsBlowfish::shared().DecryptString(stored, fieldKey());
}

} // namespace modFieldEncryption
