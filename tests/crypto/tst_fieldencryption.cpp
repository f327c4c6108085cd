// Tests of stored-password encryption: round trips, the fixed key and the errors raised for
// values that are not cipher texts under it.
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
        QTest::newRow("code page") << QStringLiteral("O'Brien's café");
        QTest::newRow("outside the code page") << QStringLiteral("Hasło");
    }

    // Stored texts are cipher texts under the fixed key, readable by any cipher given that key.
    void storedText()
    {
        QFETCH(QString, password);
        const QString stored = modFieldEncryption::EncryptField(password);
        QCOMPARE(modFieldEncryption::DecryptField(stored), password);
        clsBlowfish fresh;
        const QString key = QStringLiteral("vqe7");
        QCOMPARE(fresh.DecryptString(stored, key), password);
        QCOMPARE(modFieldEncryption::DecryptField(fresh.EncryptString(password, key)), password);
    }

    void unreadable_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<long>("number");
        QTest::newRow("empty") << QString() << 9L;
        QTest::newRow("another key")
            << clsBlowfish().EncryptString(QStringLiteral("secret"), QStringLiteral("other"))
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
