// Tests of the Blowfish cipher: published vectors, the cipher-text layout and its error cases,
// key handling, and the text forms with their Windows-1252 and UTF-8 plain texts.
#include "crypto/clsBlowfish.h"
#include "platform/AppError.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QMap>
#include <QTest>
#include <QtEndian>

namespace {

const QString Key = QStringLiteral("test key");

// A cipher key whose Windows-1252 bytes are exactly these.
QString keyText(const QByteArray& bytes)
{
    return Win1252::toUnicode(bytes);
}

QByteArray range(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        bytes.append(char(i));
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

template <typename Call> AppError errorOf(Call&& call)
{
    try {
        call();
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, QStringLiteral("no error"));
}

} // namespace

class tst_Blowfish : public QObject
{
    Q_OBJECT

    // Section name -> rows of hex fields, from the published vector file.
    QMap<QString, QList<QList<QByteArray>>> m_vectors;

private Q_SLOTS:
    void initTestCase()
    {
        QFile file(QStringLiteral(KEYCASK_TEST_DATA_DIR "/blowfish-vectors.txt"));
        QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(file.fileName()));
        QString section;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (line.isEmpty() || line.startsWith('#')) {
                continue;
            }
            if (line.startsWith('[')) {
                section = QString::fromLatin1(line.mid(1, line.size() - 2));
                continue;
            }
            QList<QByteArray> fields;
            for (const QByteArray& hex : line.simplified().split(' ')) {
                fields.append(QByteArray::fromHex(hex));
            }
            m_vectors[section].append(fields);
        }
        QVERIFY(m_vectors.value(QStringLiteral("ecb")).size() >= 30);
        QVERIFY(m_vectors.value(QStringLiteral("variable-key")).size() >= 20);
    }

    void publishedVectors_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("cipher");
        for (const QString& section : {QStringLiteral("ecb"), QStringLiteral("variable-key")}) {
            int row = 0;
            for (const QList<QByteArray>& v : m_vectors.value(section)) {
                QTest::addRow("%s %d", qPrintable(section), ++row) << v[0] << v[1] << v[2];
            }
        }
    }

    void publishedVectors()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, cipher);
        clsBlowfish bf;
        bf.setKey(keyText(key));
        quint32 left = qFromBigEndian<quint32>(plain.constData());
        quint32 right = qFromBigEndian<quint32>(plain.constData() + 4);
        bf.EncryptBlock(left, right);
        QCOMPARE(left, qFromBigEndian<quint32>(cipher.constData()));
        QCOMPARE(right, qFromBigEndian<quint32>(cipher.constData() + 4));
        bf.DecryptBlock(left, right);
        QCOMPARE(left, qFromBigEndian<quint32>(plain.constData()));
        QCOMPARE(right, qFromBigEndian<quint32>(plain.constData() + 4));
    }

    void publishedCbcVector()
    {
        const auto rows = m_vectors.value(QStringLiteral("cbc"));
        if (rows.isEmpty()) {
            QSKIP("no CBC vector in the data file");
        }
        const QList<QByteArray>& v = rows.first();
        clsBlowfish bf;
        bf.setKey(keyText(v[0]));
        const quint32 ivLeft = qFromBigEndian<quint32>(v[1].constData());
        const quint32 ivRight = qFromBigEndian<quint32>(v[1].constData() + 4);
        QByteArray data = v[2];
        bf.encryptCbc(data, ivLeft, ivRight);
        QCOMPARE(data.toHex(), v[3].toHex());
        bf.decryptCbc(data, ivLeft, ivRight);
        QCOMPARE(data, v[2]);
    }

    void initialTables_data()
    {
        QTest::addColumn<int>("box"); // -1 for the P-array
        QTest::addColumn<int>("index");
        QTest::addColumn<quint32>("value");
        QTest::newRow("P[0]") << -1 << 0 << 0x243F6A88u;
        QTest::newRow("P[1]") << -1 << 1 << 0x85A308D3u;
        QTest::newRow("P[17]") << -1 << 17 << 0x8979FB1Bu;
        QTest::newRow("S0[0]") << 0 << 0 << 0xD1310BA6u;
        QTest::newRow("S1[0]") << 1 << 0 << 0x4B7A70E9u;
        QTest::newRow("S2[0]") << 2 << 0 << 0xE93D5A68u;
        QTest::newRow("S3[0]") << 3 << 0 << 0x3A39CE37u;
        QTest::newRow("S3[255]") << 3 << 255 << 0x3AC372E6u;
    }

    void initialTables()
    {
        QFETCH(int, box);
        QFETCH(int, index);
        QFETCH(quint32, value);
        const clsBlowfish bf;
        QCOMPARE(box < 0 ? bf.subkey(index) : bf.sboxEntry(box, index), value);
    }

    void layout_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<int>("cipherLength");
        QTest::newRow("empty") << QByteArray() << 16;
        QTest::newRow("4 bytes") << range(4) << 16;
        QTest::newRow("5 bytes") << range(5) << 24;
        QTest::newRow("12 bytes") << range(12) << 24;
        QTest::newRow("13 bytes") << range(13) << 32;
        QTest::newRow("20 bytes") << range(20) << 32;
        QTest::newRow("all byte values") << range(256) << 272;
    }

    // The raw buffer under the chaining holds two random 31-bit words, the length, the data and
    // zero padding; the whole cipher text decrypts back to the plain bytes.
    void layout()
    {
        QFETCH(QByteArray, plain);
        QFETCH(int, cipherLength);
        clsBlowfish bf;
        QByteArray bytes = plain;
        bf.EncryptByte(bytes, Key);
        QCOMPARE(bytes.size(), cipherLength);

        QByteArray raw = bytes;
        bf.decryptCbc(raw);
        QVERIFY(qFromLittleEndian<quint32>(raw.constData()) <= 0x7FFFFFFFu);
        QVERIFY(qFromLittleEndian<quint32>(raw.constData() + 4) <= 0x7FFFFFFFu);
        QCOMPARE(qFromLittleEndian<qint32>(raw.constData() + 8), plain.size());
        QCOMPARE(raw.mid(12, plain.size()), plain);
        QCOMPARE(raw.mid(12 + plain.size()), QByteArray(cipherLength - 12 - plain.size(), '\0'));

        bf.DecryptByte(bytes, Key);
        QCOMPARE(bytes, plain);
    }

    void equalPlainTextsGiveDifferentCipherTexts()
    {
        clsBlowfish bf;
        QByteArray first("password");
        QByteArray second = first;
        bf.EncryptByte(first, Key);
        bf.EncryptByte(second, Key);
        QVERIFY(first != second);
        bf.DecryptByte(first, Key);
        bf.DecryptByte(second, Key);
        QCOMPARE(first, QByteArray("password"));
        QCOMPARE(second, QByteArray("password"));
    }

    void badCipherText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<long>("number");
        QTest::addColumn<QString>("description");
        const QString subscript = QStringLiteral("Subscript out of range");
        const QString size = QStringLiteral("Incorrect size descriptor in Blowfish decryption");
        const long sizeNumber = -2147221504;

        QByteArray valid("twelve bytes");
        clsBlowfish bf;
        bf.EncryptByte(valid, Key);
        QTest::newRow("empty") << QByteArray() << 9L << subscript;
        QTest::newRow("4 bytes") << valid.left(4) << 9L << subscript;
        QTest::newRow("8 bytes") << valid.left(8) << 9L << subscript;
        QTest::newRow("15 bytes") << valid.left(15) << 9L << subscript;
        QTest::newRow("23 bytes") << valid.left(23) << 9L << subscript;
        QTest::newRow("length above the data") << withLengthField(16, 5) << sizeNumber << size;
        QTest::newRow("length too short") << withLengthField(32, 12) << sizeNumber << size;
        QTest::newRow("negative length") << withLengthField(16, -100) << sizeNumber << size;
        // Passes the size window but cannot be a length.
        QTest::newRow("length -1") << withLengthField(16, -1) << 9L << subscript;
    }

    void badCipherText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(long, number);
        QFETCH(QString, description);
        clsBlowfish bf;
        const AppError error = errorOf([&] { bf.DecryptByte(bytes, Key); });
        QCOMPARE(error.Number(), number);
        QCOMPARE(error.Description(), description);
    }

    void wrongKeyFailsTheSizeCheck()
    {
        clsBlowfish writer;
        clsBlowfish reader;
        QByteArray bytes("secret");
        writer.EncryptByte(bytes, Key);
        const AppError error = errorOf([&] { reader.DecryptByte(bytes, QStringLiteral("other")); });
        QCOMPARE(error.Number(), clsBlowfish::SizeDescriptorError);
        QCOMPARE(error.Description(),
                 QStringLiteral("Incorrect size descriptor in Blowfish decryption"));
    }

    void keyHandling()
    {
        clsBlowfish bf;
        const auto encryptZeroBlock = [&bf] {
            quint32 left = 0;
            quint32 right = 0;
            bf.EncryptBlock(left, right);
            return (quint64(left) << 32) | right;
        };
        bf.setKey(QStringLiteral("alpha"));
        const quint64 first = encryptZeroBlock();
        bf.setKey(QStringLiteral("alpha"));
        QCOMPARE(encryptZeroBlock(), first);

        // An empty key keeps the current one.
        QByteArray bytes("data");
        bf.EncryptByte(bytes, QStringLiteral("alpha"));
        bf.DecryptByte(bytes, QString());
        QCOMPARE(bytes, QByteArray("data"));

        // A new key is scheduled on top of the current tables, so a second run of the schedule
        // for the same key would have shown above.
        bf.setKey(QStringLiteral("beta"));
        bf.setKey(QStringLiteral("alpha"));
        QVERIFY(encryptZeroBlock() != first);
    }

    void textForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("plainBytes");
        const QByteArray marker("\xEF\xBB\xBF");
        const auto utf8 = [&marker](const QString& s) { return marker + s.toUtf8(); };
        const QString cyrillic = QStringLiteral("Пароль");
        const QString greek = QStringLiteral("Κωδικός");
        const QString polish = QStringLiteral("Zażółć gęślą jaźń");
        const QString cjk = QStringLiteral("密码");
        const QString emoji = QStringLiteral("🔑 key");
        const QString lookalike = QStringLiteral("\u00EF\u00BB\u00BFabc");
        const QString bom = QStringLiteral("\uFEFFabc");

        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("apostrophe and NUL")
            << QString::fromLatin1("it's\0x", 6) << QByteArray("it's\0x", 6);
        QTest::newRow("Windows-1252") << QStringLiteral("Café €") << QByteArray("Caf\xE9 \x80");
        QTest::newRow("every code-page character") << Win1252::toUnicode(range(256)) << range(256);
        QTest::newRow("Cyrillic") << cyrillic << utf8(cyrillic);
        QTest::newRow("Greek") << greek << utf8(greek);
        QTest::newRow("Polish") << polish << utf8(polish);
        QTest::newRow("CJK") << cjk << utf8(cjk);
        QTest::newRow("emoji") << emoji << utf8(emoji);
        QTest::newRow("starts like the marker") << lookalike << utf8(lookalike);
        QTest::newRow("leading BOM") << bom << utf8(bom);
    }

    // Code-page texts are stored as their exact bytes, others as marked UTF-8; the cipher text
    // keeps one code-page character per byte.
    void textForms()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, plainBytes);
        clsBlowfish bf;
        const QString cipher = bf.EncryptString(text, Key);
        QCOMPARE(cipher.size(), (12 + plainBytes.size() + 7) / 8 * 8);
        QVERIFY(Win1252::fits(cipher));

        QByteArray raw = Win1252::fromUnicode(cipher);
        bf.DecryptByte(raw, Key);
        QCOMPARE(raw, plainBytes);
        QCOMPARE(bf.DecryptString(cipher, Key), text);
    }

    void markerWithInvalidUtf8_data()
    {
        QTest::addColumn<QByteArray>("plainBytes");
        QTest::newRow("invalid byte") << QByteArray("\xEF\xBB\xBF\xFF");
        QTest::newRow("truncated sequence") << QByteArray("\xEF\xBB\xBF"
                                                          "ab\xC3");
        QTest::newRow("surrogate") << QByteArray("\xEF\xBB\xBF\xED\xA0\x80");
        QTest::newRow("overlong") << QByteArray("\xEF\xBB\xBF\xC0\xAF");
    }

    void markerWithInvalidUtf8()
    {
        QFETCH(QByteArray, plainBytes);
        clsBlowfish bf;
        QByteArray bytes = plainBytes;
        bf.EncryptByte(bytes, Key);
        QCOMPARE(bf.DecryptString(Win1252::toUnicode(bytes), Key), Win1252::toUnicode(plainBytes));
    }
};

QTEST_MAIN(tst_Blowfish)
#include "tst_blowfish.moc"
