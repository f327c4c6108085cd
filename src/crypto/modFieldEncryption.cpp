// Stored-password encryption with the fixed field key.
#include "crypto/modFieldEncryption.h"

#include "crypto/clsBlowfish.h"

namespace modFieldEncryption {

QString EncryptField(const QString& plain)
{
    return clsBlowfish::shared().EncryptString(plain, QString::fromUtf16(FIELD_KEY));
}

QString DecryptField(const QString& stored)
{
    return clsBlowfish::shared().DecryptString(stored, QString::fromUtf16(FIELD_KEY));
}

} // namespace modFieldEncryption
