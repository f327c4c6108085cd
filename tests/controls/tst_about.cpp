// Tests of the About window: its size and texts, which clicks close it, the addresses its
// links, logo and F1 open, and the pictures the windows load.
#include "TestEnv.h"
#include "app/modGeneral.h"
#include "ui/controls/frmAbout.h"
#include "ui/controls/modAccessibility.h"
#include "ui/controls/modImage.h"
#include "ui/controls/usrHyperlink.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>

namespace {

// The parts a click test presses and releases on.
enum Part { Background, Label, Blowfish, QtLibrary, SQLCipher, Logo, LinkBackground };

// A shown About window in a private world.
struct Shown
{
    TestEnv env{false};
    frmAbout about;

    Shown()
    {
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
    }

    QPoint at(int part) const
    {
        if (part == LinkBackground) { // below the caption, still inside the link
            return about.usrSQLCipher->mapTo(&about, QPoint(2, about.usrSQLCipher->height() - 1));
        }
        const QWidget* widgets[] = {
            nullptr,          about.lblRelease,        about.usrBlowfish->lbl,
            about.usrQt->lbl, about.usrSQLCipher->lbl, about.imgQuillonSoftware};
        const QWidget* widget = widgets[part];
        return widget ? widget->mapTo(&about, widget->rect().center()) : QPoint(300, 120);
    }
};

} // namespace

class tst_About : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void looks()
    {
        Shown s;
        QCOMPARE(s.about.size(), QSize(478, 375));
        QCOMPARE(s.about.minimumSize(), s.about.maximumSize());
        QCOMPARE(s.about.lblRelease->text(), QStringLiteral("Release 7.0.0"));
        QCOMPARE(s.about.imgQuillonSoftware->cursor().shape(), Qt::PointingHandCursor);
        // The credits: the cipher and the libraries the program is built on, one below the
        // other, and nothing the program does not use.
        QCOMPARE(s.about.lblUses->text(), QStringLiteral("This product uses:"));
        QStringList captions;
        int top = s.about.lblUses->geometry().bottom();
        for (const usrHyperlink* link :
             {s.about.usrBlowfish, s.about.usrQt, s.about.usrSQLCipher}) {
            captions << link->lbl->text();
            QVERIFY(link->isVisible());
            QCOMPARE(link->x(), s.about.lblUses->x());
            QVERIFY2(link->y() > top, qPrintable(link->objectName()));
            top = link->y() + link->lbl->height() - 1;
        }
        QCOMPARE(captions, (QStringList{"Blowfish Encryption Algorithm", "Qt", "SQLCipher"}));
        QVERIFY(top < s.about.imgQuillonSoftware->y());
        for (const QLabel* label : s.about.findChildren<QLabel*>()) {
            QVERIFY2(!label->text().contains("SGrid") && !label->text().contains("vbAccelerator"),
                     qPrintable(label->text()));
        }
        // A strip from the blue of style 4, white beside it.
        const QImage image = s.about.grab().toImage();
        QCOMPARE(image.pixelColor(10, 0), QColor(89, 135, 214));
        QCOMPARE(image.pixelColor(59, 0), QColor(Qt::white));
    }

    // A right click first, which does nothing anywhere; then a left press and release.
    void clicks_data()
    {
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("release");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("launch");
        QTest::newRow("background") << +Background << +Background << true << QString();
        QTest::newRow("background to label") << +Background << +Label << false << QString();
        QTest::newRow("label to background") << +Label << +Background << false << QString();
        QTest::newRow("link background")
            << +LinkBackground << +LinkBackground << false << QString();
        QTest::newRow("Blowfish") << +Blowfish << +Blowfish << false
                                  << "https://www.schneier.com/academic/blowfish/";
        QTest::newRow("Qt") << +QtLibrary << +QtLibrary << false << "https://www.qt.io/";
        QTest::newRow("SQLCipher")
            << +SQLCipher << +SQLCipher << false << "https://www.zetetic.net/sqlcipher/";
        QTest::newRow("maker") << +Logo << +Logo << false
                               << QString::fromUtf16(modGeneral::WEB_HOST);
    }

    void clicks()
    {
        QFETCH(int, press);
        QFETCH(int, release);
        QFETCH(bool, closes);
        QFETCH(QString, launch);
        Shown s;
        QWindow* window = s.about.windowHandle();
        QTest::mouseClick(window, Qt::RightButton, {}, s.at(press));
        QVERIFY(s.about.isVisible());
        QTest::mousePress(window, Qt::LeftButton, {}, s.at(press));
        QTest::mouseRelease(window, Qt::LeftButton, {}, s.at(release));
        QCOMPARE(s.about.isVisible(), !closes);
        QCOMPARE(s.env.launches, launch.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(launch)});
    }

    // Without a mouse: Tab goes from credit to credit, Space or Enter opens one.
    void keyboard()
    {
        modAccessibility::Install();
        Shown s;
        s.about.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&s.about));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.about.cmdClose));
        QCOMPARE(TestEnv::TabNames(s.about.usrBlowfish),
                 QStringList({"Blowfish Encryption Algorithm", "Qt", "SQLCipher", "Close"}));
        QTest::keyClick(s.about.usrQt, Qt::Key_Space);
        QTest::keyClick(s.about.usrSQLCipher, Qt::Key_Return);
        QCOMPARE(s.env.launches, QList<QUrl>({QUrl("https://www.qt.io/"),
                                              QUrl("https://www.zetetic.net/sqlcipher/")}));
        QVERIFY(s.about.isVisible());
    }

    // F1 opens the welcome topic wherever the key arrives.
    void helpKey()
    {
        Shown s;
        QTest::keyClick(&s.about, Qt::Key_F1);
        QTest::keyClick(s.about.usrBlowfish->lbl, Qt::Key_F1);
        QCOMPARE(s.env.launches.size(), 2);
        QCOMPARE(s.env.launches[1], s.env.launches[0]);
        const QString url = s.env.launches[0].toString();
        QVERIFY2(url.contains(QStringLiteral("/help/keycask/keycask.htm")) &&
                     url.endsWith(QStringLiteral("#keycask/welcome.htm")),
                 qPrintable(url));
        QVERIFY(s.about.isVisible());
    }

    // The pictures are in the resources and cover a good part of the box they are drawn in.
    void artwork_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("program logo") << "keycask.svg" << QSize(48, 48);
        QTest::newRow("window icon") << "app_icon.svg" << QSize(64, 64);
        QTest::newRow("padlock") << "padlock.svg" << QSize(32, 32);
        QTest::newRow("maker's logo") << "quillon_logo.svg" << QSize(165, 31);
    }

    void artwork()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QImage image =
            modImage::SvgPixmap(QStringLiteral(":/images/") + name, size).toImage();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                opaque += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
            }
        }
        QVERIFY2(opaque > size.width() * size.height() / 8, qPrintable(QString::number(opaque)));
    }
};

QTEST_MAIN(tst_About)
#include "tst_about.moc"
