// Tests of the Blowfish cipher: published vectors, cipher-text layout and errors, keys, the word
// helpers' bounds, and the text forms with their Windows-1252 and UTF-8 plain texts.
#include "crypto/clsBlowfish.h"
#include "crypto/modEncrypt.h"
#include "platform/AppError.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

namespace {

const QString Key = QStringLiteral("test key");
const QByteArray Marker("\xEF\xBB\xBF");

QByteArray range(int count)
{
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i) {
        bytes[i] = char(i);
    }
    return bytes;
}

// A raw cipher text whose length field says n, for a buffer of the given size.
QByteArray withLengthField(qsizetype size, qint32 n)
{
    QByteArray raw(size, '\0');
    qToLittleEndian<qint32>(n, raw.data() + 8);
    clsBlowfish bf;
    bf.setKey(Key);
    bf.encryptCbc(raw);
    return raw;
}

} // namespace

class tst_Blowfish : public QObject
{
    Q_OBJECT

    // Rows of the vector file: name, key, initial vector, plain and cipher text.
    QList<QList<QByteArray>> m_vectors;

private Q_SLOTS:
    void initTestCase()
    {
        QFile file(QStringLiteral(KEYCASK_TEST_SOURCE_DIR "/crypto/blowfish-vectors.txt"));
        QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(file.fileName()));
        QByteArray section;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (line.startsWith('[')) {
                section = line.mid(1, line.size() - 2);
            } else if (!line.isEmpty() && !line.startsWith('#')) {
                QList<QByteArray> v;
                for (const QByteArray& hex : line.simplified().split(' ')) {
                    v.append(QByteArray::fromHex(hex));
                }
                if (v.size() == 3) { // a single block: CBC from a zero initial vector
                    v.insert(1, QByteArray(8, '\0'));
                }
                v.prepend(section + ' ' + QByteArray::number(m_vectors.size() + 1));
                m_vectors.append(v);
            }
        }
        QVERIFY(m_vectors.size() >= 50);
    }

    void publishedVectors_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("iv");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("cipher");
        for (const QList<QByteArray>& v : m_vectors) {
            QTest::newRow(v[0].constData()) << v[1] << v[2] << v[3] << v[4];
        }
    }

    void publishedVectors()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, iv);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, cipher);
        clsBlowfish bf;
        bf.setKey(Win1252::toUnicode(key));
        const quint32 ivLeft = qFromBigEndian<quint32>(iv.constData());
        const quint32 ivRight = qFromBigEndian<quint32>(iv.constData() + 4);
        QByteArray data = plain;
        bf.encryptCbc(data, ivLeft, ivRight);
        QCOMPARE(data.toHex(), cipher.toHex());
        bf.decryptCbc(data, ivLeft, ivRight);
        QCOMPARE(data, plain);
    }

    void layout_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<int>("cipherLength");
        QTest::newRow("empty") << QByteArray() << 16;
        QTest::newRow("4 bytes") << range(4) << 16;
        QTest::newRow("5 bytes") << range(5) << 24;
        QTest::newRow("all byte values") << range(256) << 272;
    }

    // Under the chaining: two random 31-bit words, the length, the data and zero padding. Equal
    // plain texts give different cipher texts, and both decrypt.
    void layout()
    {
        QFETCH(QByteArray, plain);
        QFETCH(int, cipherLength);
        clsBlowfish bf;
        QByteArray first = plain;
        QByteArray second = plain;
        bf.EncryptByte(first, Key);
        bf.EncryptByte(second, Key);
        QCOMPARE(first.size(), cipherLength);
        QVERIFY(first != second);

        QByteArray raw = first;
        bf.decryptCbc(raw);
        QVERIFY(qFromLittleEndian<quint32>(raw.constData()) <= 0x7FFFFFFFu);
        QVERIFY(qFromLittleEndian<quint32>(raw.constData() + 4) <= 0x7FFFFFFFu);
        QCOMPARE(qFromLittleEndian<qint32>(raw.constData() + 8), plain.size());
        QCOMPARE(raw.mid(12), plain + QByteArray(cipherLength - 12 - plain.size(), '\0'));
        for (QByteArray* bytes : {&first, &second}) {
            bf.DecryptByte(*bytes, Key);
            QCOMPARE(*bytes, plain);
        }
    }

    void badCipherText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<long>("number");
        const long sizeError = -2147221504;
        QByteArray valid("twelve bytes");
        clsBlowfish().EncryptByte(valid, Key);
        QByteArray otherKey("secret");
        clsBlowfish().EncryptByte(otherKey, QStringLiteral("other key"));

        QTest::newRow("8 bytes") << valid.left(8) << 9L;
        QTest::newRow("23 bytes") << valid.left(23) << 9L;
        QTest::newRow("length above the data") << withLengthField(16, 5) << sizeError;
        QTest::newRow("length too short") << withLengthField(32, 12) << sizeError;
        // Passes the size window but cannot be a length.
        QTest::newRow("length -1") << withLengthField(16, -1) << 9L;
        QTest::newRow("wrong key") << otherKey << sizeError;
    }

    void badCipherText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(long, number);
        try {
            clsBlowfish().DecryptByte(bytes, Key);
            QFAIL("no error raised");
        } catch (const AppError& e) {
            QCOMPARE(e.Number(), number);
            QCOMPARE(e.Description(),
                     number == 9
                         ? QStringLiteral("Subscript out of range")
                         : QStringLiteral("Incorrect size descriptor in Blowfish decryption"));
        }
    }

    // The same key again changes nothing, an empty key keeps the current one, and a new key is
    // scheduled on top of the current tables.
    void keyHandling()
    {
        clsBlowfish bf;
        const auto zeroBlock = [&bf] {
            QByteArray block(8, '\0');
            bf.encryptCbc(block);
            return block;
        };
        bf.setKey(QStringLiteral("alpha"));
        const QByteArray first = zeroBlock();
        bf.setKey(QStringLiteral("alpha"));
        QCOMPARE(zeroBlock(), first);

        QByteArray bytes("data");
        bf.EncryptByte(bytes, QString());
        bf.DecryptByte(bytes, QString());
        QCOMPARE(bytes, QByteArray("data"));
        QCOMPARE(zeroBlock(), first);

        bf.setKey(QStringLiteral("beta"));
        bf.setKey(QStringLiteral("alpha"));
        QVERIFY(zeroBlock() != first);
    }

    // A key differing only in letter case is another key: the cipher's output changes.
    void keyLetterCase()
    {
        const auto zeroBlock = [](const QStringList& keys) {
            clsBlowfish bf;
            for (const QString& key : keys) {
                bf.setKey(key);
            }
            QByteArray block(8, '\0');
            bf.encryptCbc(block);
            return block;
        };
        const QByteArray lower = zeroBlock({QStringLiteral("vqe7")});
        QVERIFY(zeroBlock({QStringLiteral("VQE7")}) != lower);
        QVERIFY(zeroBlock({QStringLiteral("vqE7")}) != lower);
        // On one instance as well: the new case runs the key schedule again.
        QVERIFY(zeroBlock({QStringLiteral("vqe7"), QStringLiteral("VQE7")}) !=
                zeroBlock({QStringLiteral("vqe7")}));
        // And through the text form: a text made under one case does not read under the other.
        clsBlowfish bf;
        const QString cipher = bf.EncryptString(QStringLiteral("secret"), QStringLiteral("vqe7"));
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 clsBlowfish().DecryptString(cipher, QStringLiteral("VQE7")));
        QCOMPARE(clsBlowfish().DecryptString(cipher, QStringLiteral("vqe7")),
                 QStringLiteral("secret"));
    }

    void bigEndianWordBounds_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("inside");
        QTest::newRow("first position") << 8 << 0 << true;
        QTest::newRow("last position") << 8 << 4 << true;
        QTest::newRow("one past the last") << 8 << 5 << false;
        QTest::newRow("at the end") << 8 << 8 << false;
        QTest::newRow("before the start") << 8 << -1 << false;
        QTest::newRow("exactly one word") << 4 << 0 << true;
        QTest::newRow("shorter than a word") << 3 << 0 << false;
    }

    // A word reads and writes at every position whose four bytes lie in the array; one more
    // raises the index error and leaves the array alone.
    void bigEndianWordBounds()
    {
        QFETCH(int, size);
        QFETCH(int, position);
        QFETCH(bool, inside);
        QByteArray bytes = range(size);
        const QByteArray before = bytes;
        try {
            quint32 word = 0;
            modEncrypt::ReadBigEndianWord(word, bytes, position);
            QVERIFY(inside);
            QCOMPARE(word, qFromBigEndian<quint32>(before.constData() + position));
            modEncrypt::WriteBigEndianWord(0xA1B2C3D4u, bytes, position);
            QCOMPARE(bytes.mid(position, 4), QByteArray("\xA1\xB2\xC3\xD4"));
            QCOMPARE(bytes.left(position) + bytes.mid(position + 4),
                     before.left(position) + before.mid(position + 4));
        } catch (const AppError& e) {
            QVERIFY2(!inside, qPrintable(e.Description()));
            QCOMPARE(e.Number(), AppError::SubscriptOutOfRange);
            QVERIFY_THROWS_EXCEPTION(AppError,
                                     modEncrypt::WriteBigEndianWord(0xA1B2C3D4u, bytes, position));
            QCOMPARE(bytes, before);
        }
    }

    void textForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<bool>("written"); // whether EncryptString stores the text as plain
        const auto marked = [](const char* name, const QString& text) {
            QTest::newRow(name) << text << Marker + text.toUtf8() << true;
        };
        // Marked bytes that are no valid UTF-8 read back as code-page text.
        const auto invalid = [](const char* name, const QByteArray& bytes) {
            QTest::newRow(name) << Win1252::toUnicode(Marker + bytes) << Marker + bytes << false;
        };
        QTest::newRow("NUL") << QString::fromLatin1("it's\0x", 6) << QByteArray("it's\0x", 6)
                             << true;
        QTest::newRow("Windows-1252")
            << QStringLiteral("Café €") << QByteArray("Caf\xE9 \x80") << true;
        QTest::newRow("every code-page character")
            << Win1252::toUnicode(range(256)) << range(256) << true;
        marked("partly outside the code page", QStringLiteral("Zażółć gęślą jaźń"));
        marked("emoji", QStringLiteral("🔑 key"));
        marked("starts like the marker", QStringLiteral("\u00EF\u00BB\u00BFabc"));
        marked("leading BOM", QStringLiteral("\uFEFFabc"));
        invalid("marker, invalid byte", QByteArray("\xFF"));
        invalid("marker, truncated sequence", QByteArray("ab\xC3"));
    }

    // Code-page texts are stored as their exact bytes, others as marked UTF-8; the cipher text
    // keeps one code-page character per byte.
    void textForms()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, plain);
        QFETCH(bool, written);
        clsBlowfish bf;
        QByteArray bytes = plain;
        bf.EncryptByte(bytes, Key);
        QCOMPARE(bf.DecryptString(Win1252::toUnicode(bytes), Key), text);
        if (written) {
            const QString cipher = bf.EncryptString(text, Key);
            QVERIFY(Win1252::fits(cipher));
            bytes = Win1252::fromUnicode(cipher);
            bf.DecryptByte(bytes, Key);
            QCOMPARE(bytes, plain);
        }
    }
};

QTEST_MAIN(tst_Blowfish)
#include "tst_blowfish.moc"
