// Tests of stored-password encryption: stored lengths, round trips, the fixed key and the
// errors raised for values that are not cipher texts under it.
#include "crypto/clsBlowfish.h"
#include "crypto/modFieldEncryption.h"
#include "platform/AppError.h"

#include <QTest>

class tst_FieldEncryption : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void storedText_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("storedLength");
        QTest::newRow("4 characters") << QStringLiteral("abcd") << 16;
        QTest::newRow("5 characters") << QStringLiteral("abcde") << 24;
        QTest::newRow("12 characters") << QStringLiteral("O'Brien's pw") << 24;
        QTest::newRow("13 characters") << QStringLiteral("abcdefghijklm") << 32;
        QTest::newRow("outside the code page") << QStringLiteral("Hasło") << 24; // 9 UTF-8 bytes
    }

    void storedText()
    {
        QFETCH(QString, password);
        QFETCH(int, storedLength);
        const QString stored = modFieldEncryption::EncryptField(password);
        QCOMPARE(stored.size(), storedLength);
        QVERIFY(modFieldEncryption::EncryptField(password) != stored);
        QCOMPARE(modFieldEncryption::DecryptField(stored), password);
    }

    // Stored texts depend only on the fixed key, not on the state of the shared cipher.
    void readableWithTheFieldKey()
    {
        clsBlowfish fresh;
        const QString key = QString::fromUtf16(modFieldEncryption::FIELD_KEY);
        QCOMPARE(key, QStringLiteral("vqe7"));
        QCOMPARE(fresh.DecryptString(modFieldEncryption::EncryptField(QStringLiteral("pw")), key),
                 QStringLiteral("pw"));
        const QString stored = fresh.EncryptString(QStringLiteral("from elsewhere"), key);
        QCOMPARE(modFieldEncryption::DecryptField(stored), QStringLiteral("from elsewhere"));
    }

    void unreadable_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<long>("number");
        clsBlowfish other;
        QTest::newRow("empty") << QString() << 9L;
        QTest::newRow("impossible length") << QStringLiteral("abcdefghijklmnopq") << 9L;
        QTest::newRow("another key")
            << other.EncryptString(QStringLiteral("secret"), QStringLiteral("another key"))
            << clsBlowfish::SizeDescriptorError;
    }

    void unreadable()
    {
        QFETCH(QString, stored);
        QFETCH(long, number);
        try {
            modFieldEncryption::DecryptField(stored);
            QFAIL("no error raised");
        } catch (const AppError& e) {
            QCOMPARE(e.Number(), number);
        }
    }
};

QTEST_MAIN(tst_FieldEncryption)
#include "tst_fieldencryption.moc"
