// Tests of the link control: defaults, hover underline, colours while enabled and disabled,
// sizing by the caption, word wrap, tool tips, which press-release pairs raise Click, and the
// link a screen reader finds.
#include "ui/controls/modAccessibility.h"
#include "ui/controls/usrHyperlink.h"

#include <QAccessible>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <utility>

namespace {

// Whether some pixel of the widget as drawn has exactly this colour.
bool rendersColour(QWidget* widget, const QColor& colour)
{
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto* begin = reinterpret_cast<const QRgb*>(image.constBits());
    const auto* end = begin + qsizetype(image.width()) * image.height();
    return std::find(begin, end, colour.rgb()) != end;
}

// A shown container that counts the presses reaching it, with a link at (10, 10); with an icon,
// the icon sits at the link's left edge and the caption starts 30 pixels in.
struct Scene : QWidget
{
    usrHyperlink* link = new usrHyperlink(this);
    int presses = 0;

    explicit Scene(bool bIcon = true)
    {
        resize(300, 100);
        link->move(10, 10);
        if (bIcon) {
            QPixmap picture(16, 16);
            picture.fill(Qt::darkGreen);
            link->setPicture(picture);
            link->setIndentCaptionLeft(30);
        }
        show();
        QVERIFY(QTest::qWaitForWindowExposed(this));
        QTest::mouseMove(windowHandle(), away());
    }
    static QPoint away() { return QPoint(250, 80); }
    QPoint centreOf(const QWidget* part) const { return part->mapTo(this, part->rect().center()); }
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        QWidget::mousePressEvent(event);
    }
};

// Where a click test presses and releases; Accessible: the press action a screen reader offers.
constexpr int Caption = 0, Icon = 1, Gap = 2, Outside = 3, Accessible = 4;

} // namespace

class tst_Hyperlink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Before any link is shown: Qt keeps the first interface it made for a widget.
    void initTestCase() { modAccessibility::Install(); }

    void defaults()
    {
        const usrHyperlink link;
        QCOMPARE(link.Caption(), QStringLiteral("set_caption"));
        QVERIFY(!link.autoFillBackground());
        QCOMPARE(link.width(), link.lbl->width());
        QVERIFY(link.width() >= link.lbl->fontMetrics().horizontalAdvance(link.Caption()));
        for (const QWidget* part : {link.lbl, link.imgIcon}) {
            QCOMPARE(part->cursor().shape(), Qt::PointingHandCursor);
        }
    }

    // Either part underlines the caption; AlwaysUnderline is the state the pointer leaves behind.
    void hover()
    {
        Scene scene;
        usrHyperlink& link = *scene.link;
        QWindow* window = scene.windowHandle();
        const auto underlined = [&link] { return link.lbl->font().underline(); };
        QVERIFY(!underlined());
        QTest::mouseMove(window, scene.centreOf(link.lbl));
        QTRY_VERIFY(underlined());
        QTest::mouseMove(window, Scene::away());
        QTRY_VERIFY(!underlined());
        link.setAlwaysUnderline(true);
        QVERIFY(!underlined());
        QTest::mouseMove(window, scene.centreOf(link.imgIcon));
        QTRY_VERIFY(underlined());
        QTest::mouseMove(window, Scene::away());
        QTRY_VERIFY(!link.imgIcon->underMouse());
        QVERIFY(underlined());
    }

    // The caption is in ForeColor while the link itself is enabled, grey otherwise.
    void colours()
    {
        Scene scene(false);
        usrHyperlink& link = *scene.link;
        const QColor blue(0, 61, 178), grey(185, 185, 185), red(200, 30, 30);
        scene.setEnabled(false);
        QVERIFY(link.Enabled());
        QVERIFY(rendersColour(link.lbl, blue));
        scene.setEnabled(true);
        static_cast<QWidget&>(link).setEnabled(false);
        QVERIFY(!link.Enabled());
        QVERIFY(rendersColour(link.lbl, grey));
        link.setForeColor(red); // shown at once, though disabled
        QVERIFY(rendersColour(link.lbl, red));
        link.setEnabled(false); // disabling again brings the grey back
        QVERIFY(rendersColour(link.lbl, grey));
        link.setEnabled(true);
        QVERIFY(rendersColour(link.lbl, red));
    }

    // With Autosize the width follows the caption and its left indent, never the height; without,
    // the caption fills the control below and right of its indents and wraps.
    void sizing()
    {
        Scene scene(false);
        usrHyperlink& link = *scene.link;
        link.setCaption(QStringLiteral("Options"));
        link.resize(link.width(), 40);
        int width = link.width();
        const auto grew = [&] { return std::exchange(width, link.width()) < link.width(); };
        link.setCaption(QStringLiteral("Options +"));
        QVERIFY(grew());
        link.setFontBold(true);
        QVERIFY(grew());
        QFont big = scene.font();
        big.setPointSize(big.pointSize() * 2);
        scene.setFont(big);
        QVERIFY(grew());
        link.setIndentCaptionTop(5);
        link.setIndentIconLeft(30);
        link.setIndentCaptionLeft(20);
        QCOMPARE(link.width(), width + 20);
        QCOMPARE(link.lbl->pos(), QPoint(20, 5));
        link.setAutosize(false);
        link.setCaption(QStringLiteral("A caption far too long for one line of this control"));
        QCOMPARE(link.size(), QSize(width + 20, 40));
        link.resize(90, 80);
        QCOMPARE(link.lbl->geometry(), QRect(20, 5, 70, 75));
        QVERIFY(link.lbl->heightForWidth(70) >= 2 * link.lbl->fontMetrics().lineSpacing());
    }

    // The icon gets the tool tip only if it has a picture at the time.
    void toolTip()
    {
        usrHyperlink link;
        const QString tip = QStringLiteral("Add a password");
        QPixmap picture(16, 16);
        picture.fill(Qt::red);
        link.setToolTip(tip);
        link.setPicture(picture);
        QCOMPARE(link.lbl->toolTip(), tip);
        QCOMPARE(link.imgIcon->toolTip(), QString());
        link.setToolTip(tip);
        QCOMPARE(link.imgIcon->toolTip(), tip);
    }

    void click_data()
    {
        QTest::addColumn<int>("pressOn");
        QTest::addColumn<int>("releaseOn");
        QTest::addColumn<Qt::MouseButton>("button"); // NoButton: left, on a disabled link
        QTest::addColumn<int>("clicks");
        QTest::newRow("caption") << Caption << Caption << Qt::LeftButton << 1;
        QTest::newRow("icon") << Icon << Icon << Qt::LeftButton << 1;
        QTest::newRow("caption to icon") << Caption << Icon << Qt::LeftButton << 0;
        QTest::newRow("caption to outside") << Caption << Outside << Qt::LeftButton << 0;
        QTest::newRow("between the parts") << Gap << Gap << Qt::LeftButton << 0;
        QTest::newRow("right button") << Caption << Caption << Qt::RightButton << 0;
        QTest::newRow("disabled") << Caption << Caption << Qt::NoButton << 0;
        QTest::newRow("press action") << Accessible << Accessible << Qt::LeftButton << 1;
        QTest::newRow("press action, disabled") << Accessible << Accessible << Qt::NoButton << 0;
    }

    void click()
    {
        QFETCH(int, pressOn);
        QFETCH(int, releaseOn);
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, clicks);
        Scene scene;
        usrHyperlink& link = *scene.link;
        if (button == Qt::NoButton) {
            link.setEnabled(false);
            button = Qt::LeftButton;
        }
        QSignalSpy spy(&link, &usrHyperlink::Click);
        if (pressOn == Accessible) {
            link.setCaption(QStringLiteral("Options"));
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&link);
            QCOMPARE(iface->role(), QAccessible::Link);
            QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Options"));
            QCOMPARE(iface->childCount(), 0);
            QCOMPARE(iface->state().disabled, !link.isEnabled());
            QAccessibleActionInterface* actions = iface->actionInterface();
            QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
            actions->doAction(QAccessibleActionInterface::pressAction());
            QCoreApplication::processEvents();
            QCOMPARE(spy.count(), clicks);
            return;
        }
        const QPoint at[] = {scene.centreOf(link.lbl), scene.centreOf(link.imgIcon),
                             link.mapTo(&scene, QPoint(23, 4)), Scene::away()};
        // Through the window: the press goes to the part under the pointer, the release to it too.
        QWindow* window = scene.windowHandle();
        QTest::mouseMove(window, at[pressOn]);
        QTest::mousePress(window, button, Qt::NoModifier, at[pressOn]);
        QTest::mouseMove(window, at[releaseOn]);
        QTest::mouseRelease(window, button, Qt::NoModifier, at[releaseOn]);
        QCOMPARE(spy.count(), clicks);
        if (link.isEnabled()) {
            // The link keeps the presses on its area to itself.
            QCOMPARE(scene.presses, 0);
        }
        if (clicks > 0) {
            // A click ends the hover until the pointer moves again.
            QVERIFY(!link.lbl->font().underline());
        }
    }
};

QTEST_MAIN(tst_Hyperlink)
#include "tst_hyperlink.moc"
