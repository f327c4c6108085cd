// Tests of the program's clipboard: the secret mark, clearing only its own copy, and a copied
// password that expires after the chosen delay (the delay is driven, not waited for).
#include "TestEnv.h"
#include "app/ClipboardHelper.h"
#include "app/clsApp.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Clipboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { ClipboardHelper::shared().Clear(); }

    // A copied password waits the chosen seconds and then goes, unless the user copied
    // something else meanwhile; other copies never expire; 0 means never.
    void expiry_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<bool>("secret");
        QTest::addColumn<bool>("copiedElsewhere");
        QTest::addColumn<QString>("left");
        QTest::newRow("password, default 30 s") << -1 << true << false << QString();
        QTest::newRow("password, 5 s") << 5 << true << false << QString();
        QTest::newRow("password, user copied since") << 30 << true << true << u"user's own text"_s;
        QTest::newRow("password, never") << 0 << true << false << u"pw-Secret"_s;
        QTest::newRow("user name") << 30 << false << false << u"pw-Secret"_s;
    }

    void expiry()
    {
        QFETCH(int, seconds);
        QFETCH(bool, secret);
        QFETCH(bool, copiedElsewhere);
        QFETCH(QString, left);
        TestEnv env(false);
        if (seconds >= 0) {
            clsApp::shared().setClearClipboardSeconds(seconds);
        }
        ClipboardHelper& clipboard = ClipboardHelper::shared();
        clipboard.CopyText(u"pw-Secret"_s, secret);
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QCOMPARE(data->data(ClipboardHelper::SECRET_HINT_FORMAT) == "secret", secret);

        const int delay = seconds < 0 ? 30 : seconds;
        const bool waits = secret && delay > 0;
        QCOMPARE(clipboard.ExpiryRemainingMs() > 0, waits);
        if (waits) {
            QVERIFY(clipboard.ExpiryRemainingMs() <= delay * 1050); // a coarse timer may run late
            QVERIFY(clipboard.ExpiryRemainingMs() > delay * 1000 - 5000);
        }
        if (copiedElsewhere) {
            QApplication::clipboard()->setText(left);
        }
        clipboard.ClearExpiredPassword();
        QCOMPARE(QApplication::clipboard()->text(), left);
        QCOMPARE(clipboard.ExpiryRemainingMs(), -1);
    }

    // A new copy starts the delay again; a copy that is not a password stops it.
    void newCopyRestarts()
    {
        TestEnv env(false);
        clsApp::shared().setClearClipboardSeconds(2);
        ClipboardHelper& clipboard = ClipboardHelper::shared();
        clipboard.CopyText(u"first-pw"_s, true);
        QTest::qWait(600);
        const int before = clipboard.ExpiryRemainingMs();
        clipboard.CopyText(u"second-pw"_s, true);
        QVERIFY(clipboard.ExpiryRemainingMs() > before);
        clipboard.ClearExpiredPassword();
        QCOMPARE(QApplication::clipboard()->text(), QString());

        clipboard.CopyText(u"third-pw"_s, true);
        clipboard.CopyText(u"a title"_s, false);
        QCOMPARE(clipboard.ExpiryRemainingMs(), -1);
        clipboard.ClearExpiredPassword();
        QCOMPARE(QApplication::clipboard()->text(), u"a title"_s);
    }

    // An empty copy (an empty cell) does not claim a picture copied elsewhere since.
    void emptyCopyLeavesPicture()
    {
        TestEnv env(false);
        ClipboardHelper::shared().CopyText(QString(), false);
        QImage picture(2, 3, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QApplication::clipboard()->setImage(picture);
        ClipboardHelper::shared().ClearOwnCopy();
        QCOMPARE(QApplication::clipboard()->image().size(), QSize(2, 3));
    }

    // The delay's own timer clears it (a one-second delay, the only real wait here).
    void timerClears()
    {
        TestEnv env(false);
        clsApp::shared().setClearClipboardSeconds(1);
        ClipboardHelper::shared().CopyText(u"short-lived"_s, true);
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::clipboard()->text(), QString(), 3000);
    }
};

QTEST_MAIN(tst_Clipboard)
#include "tst_clipboard.moc"
