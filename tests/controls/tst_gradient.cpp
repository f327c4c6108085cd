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
        QTest::newRow("style 3, falling half") << 3 << 1 << 8 << QColor(238, 238, 238);
        QTest::newRow("style 2, middle") << 2 << 1 << 2 << QColor(49, 151, 49);
        QTest::newRow("style 4, row 187 of 375") << 4 << 187 << 375 << QColor(172, 195, 234);
        // 25 + 75 / 2 = 62.5
        QTest::newRow("unknown style as style 0") << 5 << 1 << 2 << QColor(62, 62, 62);
    }

    void rowColour()
    {
        QFETCH(int, style);
        QFETCH(int, offset);
        QFETCH(int, height);
        QFETCH(QColor, expected);
        QCOMPARE(modGradient::GradientColor(style, offset, height), expected);
    }

    // A shown panel, grabbed as the screen shows it: each row is one colour wall to wall.
    void painted()
    {
        GradientPanel panel(1);
        panel.resize(120, 41);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const QImage image = panel.grab().toImage();
        for (int y = 0; y < 41; ++y) {
            for (int x : {0, 60, 119}) {
                QCOMPARE(image.pixelColor(x, y), modGradient::GradientColor(1, y, 41));
            }
        }
    }
};

QTEST_MAIN(tst_Gradient)
#include "tst_gradient.moc"
