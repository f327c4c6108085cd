// Tests of the About window: its size and texts, which clicks close it, the addresses its
// links, logo and F1 open, and the pictures the windows load.
#include "TestEnv.h"
#include "app/modGeneral.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/frmAbout.h"
#include "ui/controls/usrHyperlink.h"

#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <QWindow>

namespace {

// A named part of the window; an unknown name is the bare background.
QWidget* part(const frmAbout& about, const QString& sName)
{
    const QList<QPair<QString, QWidget*>> parts = {
        {"product", about.lblProduct},  {"release", about.lblRelease},
        {"uses", about.lblUses},        {"blowfish", about.usrBlowfish->lbl},
        {"sgrid", about.usrSGrid->lbl}, {"logo", about.imgQuillonSoftware},
        {"strip", about.picGradient},   {"link background", about.usrSGrid}};
    for (const auto& entry : parts) {
        if (entry.first == sName) {
            return entry.second;
        }
    }
    return nullptr;
}

QPoint centre(const frmAbout& about, const QString& sName)
{
    const QWidget* widget = part(about, sName);
    if (sName == QLatin1String("link background")) {
        // Below the caption, still inside the link.
        return widget->mapTo(&about, QPoint(2, widget->height() - 1));
    }
    return widget ? widget->mapTo(&about, widget->rect().center()) : QPoint(300, 120);
}

void click(frmAbout& about, const QString& sName, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(about.windowHandle(), button, Qt::NoModifier, centre(about, sName));
}

} // namespace

class tst_About : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void looks()
    {
        TestEnv env(false);
        frmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.size(), QSize(478, 375));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QVERIFY(!(about.windowFlags() & Qt::WindowMinMaxButtonsHint));
        QCOMPARE(about.lblRelease->text(), QStringLiteral("Release 7.0.0"));
        QCOMPARE(about.imgQuillonSoftware->geometry(), QRect(185, 331, 165, 31));
        QCOMPARE(about.imgQuillonSoftware->cursor().shape(), Qt::PointingHandCursor);
        // White beside a strip that runs from the blue of style 4 down to white.
        const QImage image = about.grab().toImage();
        QCOMPARE(image.pixelColor(300, 120), QColor(Qt::white));
        QCOMPARE(image.pixelColor(10, 0), QColor(89, 135, 214));
        QCOMPARE(image.pixelColor(58, 374), QColor(255, 255, 255));
        QCOMPARE(image.pixelColor(59, 0), QColor(Qt::white));
    }

    void clicks_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("closes");
        QTest::newRow("background") << "background" << true;
        QTest::newRow("product name") << "product" << false;
        QTest::newRow("release") << "release" << false;
        QTest::newRow("credits heading") << "uses" << false;
        QTest::newRow("link") << "sgrid" << false;
        QTest::newRow("link background") << "link background" << false;
        QTest::newRow("logo") << "logo" << false;
        QTest::newRow("gradient strip") << "strip" << false;
    }

    void clicks()
    {
        QFETCH(QString, where);
        QFETCH(bool, closes);
        TestEnv env(false);
        frmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        click(about, where, Qt::RightButton);
        QVERIFY(about.isVisible());
        click(about, where);
        QCOMPARE(about.isVisible(), !closes);
    }

    // A press on a label let go over the background is no click on the background.
    void dragFromLabelKeepsItOpen()
    {
        TestEnv env(false);
        frmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mousePress(about.windowHandle(), Qt::LeftButton, {}, centre(about, "release"));
        QTest::mouseRelease(about.windowHandle(), Qt::LeftButton, {}, centre(about, "x"));
        QVERIFY(about.isVisible());
    }

    void launches_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("address");
        QTest::newRow("Blowfish") << "blowfish"
                                  << "https://www.schneier.com/academic/blowfish/";
        QTest::newRow("SGrid") << "sgrid"
                               << "https://www.vbaccelerator.com/";
        QTest::newRow("maker") << "logo" << QString::fromUtf16(modGeneral::WEB_HOST);
    }

    void launches()
    {
        QFETCH(QString, where);
        QFETCH(QString, address);
        TestEnv env(false);
        frmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        click(about, where);
        QCOMPARE(env.launches, QList<QUrl>{QUrl(address)});
    }

    // F1 opens the welcome topic wherever the key arrives.
    void helpKey_data()
    {
        QTest::addColumn<QString>("receiver");
        QTest::newRow("window") << "window";
        QTest::newRow("link caption") << "blowfish";
        QTest::newRow("logo") << "logo";
    }

    void helpKey()
    {
        QFETCH(QString, receiver);
        TestEnv env(false);
        frmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QWidget* target = part(about, receiver);
        QTest::keyClick(target ? target : &about, Qt::Key_F1);
        QCOMPARE(env.launches.size(), 1);
        const QString url = env.launches.last().toString();
        QVERIFY2(url.contains(QStringLiteral("/help/keycask/keycask.htm")), qPrintable(url));
        QVERIFY2(url.endsWith(QStringLiteral("#keycask/welcome.htm")), qPrintable(url));
        QVERIFY(about.isVisible());
    }

    // The pictures are in the resources and draw something that covers their box.
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
        QSvgRenderer renderer(QStringLiteral(":/images/") + name);
        QVERIFY(renderer.isValid());
        QCOMPARE(renderer.defaultSize(), size);
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
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
