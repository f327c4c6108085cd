// Blowfish (64-bit blocks, 16 rounds) in CBC mode, wrapped in KeyCask's self-describing
// cipher-text layout: a random first block, the plain-text length and zero padding.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class clsBlowfish
{
public:
    // Starts from the standard initial tables, with no key set.
    clsBlowfish();

    // The one instance the program shares, created on first use.
    static clsBlowfish& shared();

    // Decrypts a cipher text made by EncryptByte in place, leaving the plain bytes.
    // A non-empty key is set first; an empty key keeps the current one. Throws AppError
    // 9 "Subscript out of range" for an impossible length and -2147221504 when the length
    // field does not match the cipher text (wrong key or damaged data).
    void DecryptByte(QByteArray& bytes, const QString& key);
    // DecryptString turns a text made by EncryptString back into the plain text.
    QString DecryptString(const QString& cipherText, const QString& key);
    // Replaces the bytes by their cipher text: 12 + n rounded up to a multiple of 8 bytes.
    void EncryptByte(QByteArray& bytes, const QString& key);
    // Encrypts a text; the result holds one Windows-1252 character per cipher byte.
    QString EncryptString(const QString& text, const QString& key);
    // Sets the key (as Windows-1252 bytes). Setting the current key again does nothing;
    // any other key runs the key schedule on the tables as they stand.
    void setKey(const QString& key);

    // One block under the current key, the left half being the first four bytes big-endian.
    void EncryptBlock(quint32& left, quint32& right) const;
    void DecryptBlock(quint32& left, quint32& right) const;
    // The Blowfish F function.
    quint32 RoundFunction(quint32 x) const;

    // CBC over the whole 8-byte blocks of bytes, chaining from the given initial vector.
    // Bytes after the last whole block are left alone.
    void encryptCbc(QByteArray& bytes, quint32 ivLeft = 0, quint32 ivRight = 0) const;
    void decryptCbc(QByteArray& bytes, quint32 ivLeft = 0, quint32 ivRight = 0) const;

    // Tables, for inspection.
    quint32 subkey(int index) const { return m_p[index]; }
    quint32 sboxEntry(int box, int entry) const { return m_s[box][entry]; }

    static constexpr int Rounds = 16;
    static constexpr long SizeDescriptorError = -2147221504;

private:
    quint32 m_p[Rounds + 2];
    quint32 m_s[4][256];
    QString m_key;
};
