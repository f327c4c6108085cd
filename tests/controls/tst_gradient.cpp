// Tests of the gradient painting: row colours of each style, the rounding of halves, and the
// pixels a gradient panel really paints.
#include "ui/controls/GradientPanel.h"
#include "ui/controls/modGradient.h"

#include <QImage>
#include <QTest>

class tst_Gradient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowColour_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("height");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("style 1, first row") << 1 << 0 << 41 << QColor(41, 89, 169);
        // 41 + 48 * 20 / 41 = 64.4, 89 + 46 * 20 / 41 = 111.4, 169 + 45 * 20 / 41 = 190.95
        QTest::newRow("style 1, row 20 of 41") << 1 << 20 << 41 << QColor(64, 111, 191);
        QTest::newRow("style 1, row 41 of 41") << 1 << 41 << 41 << QColor(89, 135, 214);
        QTest::newRow("height 0") << 1 << 0 << 0 << QColor(41, 89, 169);
        // Green 89 + 46 / 4 = 100.5 goes down to 100; blue 169 + 45 / 2 = 191.5 up to 192.
        QTest::newRow("half down to even") << 1 << 1 << 4 << QColor(53, 100, 180);
        QTest::newRow("half up to even") << 1 << 2 << 4 << QColor(65, 112, 192);
        // 244 - 44 / 8 = 238.5 goes down to 238.
        QTest::newRow("falling half") << 3 << 1 << 8 << QColor(238, 238, 238);
        QTest::newRow("style 0 bottom") << 0 << 10 << 10 << QColor(100, 100, 100);
        QTest::newRow("style 2 bottom") << 2 << 25 << 25 << QColor(98, 200, 98);
        QTest::newRow("style 3 top") << 3 << 0 << 25 << QColor(244, 244, 244);
        QTest::newRow("style 3 bottom") << 3 << 25 << 25 << QColor(200, 200, 200);
        QTest::newRow("style 4 top") << 4 << 0 << 375 << QColor(89, 135, 214);
        QTest::newRow("style 4 bottom") << 4 << 375 << 375 << QColor(255, 255, 255);
    }

    void rowColour()
    {
        QFETCH(int, style);
        QFETCH(int, offset);
        QFETCH(int, height);
        QFETCH(QColor, expected);
        QCOMPARE(modGradient::GradientColor(style, offset, height), expected);
    }

    void safeDivide()
    {
        QCOMPARE(modGradient::SafeDivide(-44.0, 8.0), -5.5);
        QCOMPARE(modGradient::SafeDivide(48.0, 0.0), 0.0);
        QCOMPARE(modGradient::SafeDivide(0.0, 0.0), 0.0);
    }

    void painted_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("row");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("style 1, top") << 1 << 41 << 0 << QColor(41, 89, 169);
        QTest::newRow("style 1, middle") << 1 << 41 << 20 << QColor(64, 111, 191);
        QTest::newRow("style 3, top") << 3 << 25 << 0 << QColor(244, 244, 244);
        QTest::newRow("style 4, middle") << 4 << 375 << 187 << QColor(172, 195, 234);
    }

    // A shown panel, grabbed as the screen shows it: each row is one colour wall to wall.
    void painted()
    {
        QFETCH(int, style);
        QFETCH(int, height);
        QFETCH(int, row);
        QFETCH(QColor, expected);
        GradientPanel panel(style);
        panel.resize(120, height);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const QImage image = panel.grab().toImage();
        for (int x : {0, 59, 119}) {
            QCOMPARE(image.pixelColor(x, row), expected);
        }
    }
};

QTEST_MAIN(tst_Gradient)
#include "tst_gradient.moc"
