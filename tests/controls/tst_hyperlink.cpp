// Tests of the link control: defaults, hover underline, colours while enabled and disabled,
// sizing by the caption, word wrap, tool tips and which press-release pairs raise Click.
#include "ui/controls/usrHyperlink.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <functional>

// Changes made to a link, in order.
using Step = std::function<void(usrHyperlink&)>;
Q_DECLARE_METATYPE(Step)

namespace {

Step steps(const QList<Step>& list)
{
    return [list](usrHyperlink& link) {
        for (const Step& step : list) {
            step(link);
        }
    };
}

// Whether some pixel of the widget as drawn has exactly this colour.
bool rendersColour(QWidget* widget, const QColor& colour)
{
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour.rgb()) {
                return true;
            }
        }
    }
    return false;
}

// A shown container that counts the presses reaching it, with a link at (10, 10) whose icon
// sits at its left edge and whose caption starts 30 pixels in.
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

} // namespace

class tst_Hyperlink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults()
    {
        Scene scene(false);
        QFont font(QStringLiteral("Verdana"));
        font.setPointSize(11);
        scene.setFont(font);
        usrHyperlink& link = *scene.link;
        QCOMPARE(link.Caption(), QStringLiteral("set_caption"));
        QVERIFY(rendersColour(link.lbl, QColor(0, 61, 178)));
        QVERIFY(!link.lbl->font().underline());
        QCOMPARE(link.lbl->font().pointSize(), 11);
        QCOMPARE(link.BackColor(), scene.palette().color(QPalette::Window));
        QVERIFY(!link.autoFillBackground());
        QCOMPARE(link.lbl->pos(), QPoint(0, 0));
        QCOMPARE(link.width(), link.lbl->width());
        QVERIFY(link.width() >= link.lbl->fontMetrics().horizontalAdvance(link.Caption()));
        QCOMPARE(link.lbl->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(link.imgIcon->cursor().shape(), Qt::PointingHandCursor);
    }

    void hover_data()
    {
        QTest::addColumn<bool>("alwaysUnderline");
        QTest::addColumn<bool>("overIcon");
        QTest::newRow("caption") << false << false;
        QTest::newRow("icon") << false << true;
        QTest::newRow("caption, always underlined") << true << false;
        QTest::newRow("icon, always underlined") << true << true;
    }

    void hover()
    {
        QFETCH(bool, alwaysUnderline);
        QFETCH(bool, overIcon);
        Scene scene;
        usrHyperlink& link = *scene.link;
        link.setAlwaysUnderline(alwaysUnderline);
        // The flag shows only once the pointer leaves.
        QVERIFY(!link.lbl->font().underline());
        QTest::mouseMove(scene.windowHandle(),
                         scene.centreOf(overIcon ? static_cast<QWidget*>(link.imgIcon) : link.lbl));
        QTRY_VERIFY(link.lbl->font().underline());
        QTest::mouseMove(scene.windowHandle(), Scene::away());
        QTRY_COMPARE(link.lbl->font().underline(), alwaysUnderline);
    }

    void enabledColour_data()
    {
        QTest::addColumn<Step>("steps");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QColor>("expected");
        const QColor chosen(200, 30, 30);
        const QColor grey(185, 185, 185);
        const auto fore = [chosen](usrHyperlink& link) { link.setForeColor(chosen); };
        const auto enable = [](bool bValue) {
            return [bValue](usrHyperlink& link) { link.setEnabled(bValue); };
        };
        QTest::newRow("disabled") << steps({enable(false)}) << false << grey;
        QTest::newRow("enabled again")
            << steps({fore, enable(false), enable(true)}) << true << chosen;
        QTest::newRow("ForeColor while disabled")
            << steps({enable(false), fore}) << false << chosen;
        QTest::newRow("disabled again")
            << steps({enable(false), fore, enable(false)}) << false << grey;
        QTest::newRow("through the base class")
            << steps({[](usrHyperlink& link) { static_cast<QWidget&>(link).setEnabled(false); }})
            << false << grey;
        QTest::newRow("container disabled")
            << steps({[](usrHyperlink& link) { link.parentWidget()->setEnabled(false); }}) << true
            << QColor(0, 61, 178);
    }

    void enabledColour()
    {
        QFETCH(Step, steps);
        QFETCH(bool, enabled);
        QFETCH(QColor, expected);
        Scene scene(false);
        steps(*scene.link);
        QCOMPARE(scene.link->Enabled(), enabled);
        QVERIFY(rendersColour(scene.link->lbl, expected));
    }

    void sizing_data()
    {
        QTest::addColumn<Step>("change");
        QTest::addColumn<int>("extraWidth"); // -1: wider by some amount
        QTest::newRow("caption indent 20")
            << steps({[](usrHyperlink& link) { link.setIndentCaptionLeft(20); }}) << 20;
        QTest::newRow("bold") << steps({[](usrHyperlink& link) { link.setFontBold(true); }}) << -1;
        QTest::newRow("longer caption")
            << steps({[](usrHyperlink& link) { link.setCaption(QStringLiteral("Options +")); }})
            << -1;
        QTest::newRow("container font") << steps({[](usrHyperlink& link) {
            QFont big = link.parentWidget()->font();
            big.setPointSize(big.pointSize() * 2);
            link.parentWidget()->setFont(big);
        }}) << -1;
        QTest::newRow("top and icon indents") << steps({[](usrHyperlink& link) {
            link.setIndentCaptionTop(5);
            link.setIndentIconLeft(30);
        }}) << 0;
        QTest::newRow("no autosize") << steps({[](usrHyperlink& link) {
            link.setAutosize(false);
            link.setCaption(QStringLiteral("Options +"));
        }}) << 0;
    }

    // With Autosize the width follows the caption and its left indent; the height never does.
    void sizing()
    {
        QFETCH(Step, change);
        QFETCH(int, extraWidth);
        QWidget container;
        usrHyperlink link(&container);
        link.setCaption(QStringLiteral("Options"));
        link.resize(link.width(), 40);
        const int before = link.width();
        change(link);
        QCOMPARE(link.height(), 40);
        if (extraWidth < 0) {
            QVERIFY(link.width() > before);
        } else {
            QCOMPARE(link.width(), before + extraWidth);
            QCOMPARE(link.lbl->x(), extraWidth);
        }
    }

    void wrapsWithoutAutosize()
    {
        Scene scene(false);
        usrHyperlink& link = *scene.link;
        link.setAutosize(false);
        link.setIndentCaptionTop(4);
        link.setGeometry(0, 0, 90, 80);
        link.setCaption(QStringLiteral("A caption far too long for one line of this control"));
        QCOMPARE(link.width(), 90);
        QCOMPARE(link.lbl->geometry(), QRect(0, 4, 90, 76));
        QVERIFY(link.lbl->heightForWidth(90) >= 2 * link.lbl->fontMetrics().lineSpacing());
        link.resize(120, 50);
        QCOMPARE(link.lbl->geometry(), QRect(0, 4, 120, 46));
    }

    void toolTip_data()
    {
        QTest::addColumn<bool>("pictureFirst");
        QTest::addColumn<QString>("iconTip");
        QTest::newRow("tip before picture") << false << QString();
        QTest::newRow("tip after picture") << true << QStringLiteral("Add a password");
    }

    void toolTip()
    {
        QFETCH(bool, pictureFirst);
        QFETCH(QString, iconTip);
        usrHyperlink link;
        QPixmap picture(16, 16);
        picture.fill(Qt::red);
        if (pictureFirst) {
            link.setPicture(picture);
        }
        link.setToolTip(QStringLiteral("Add a password"));
        link.setPicture(picture);
        QCOMPARE(link.lbl->toolTip(), QStringLiteral("Add a password"));
        QCOMPARE(link.imgIcon->toolTip(), iconTip);
    }

    void click_data()
    {
        QTest::addColumn<QString>("pressOn");
        QTest::addColumn<QString>("releaseOn");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("clicks");
        QTest::newRow("caption") << "caption"
                                 << "caption" << Qt::LeftButton << 1;
        QTest::newRow("icon") << "icon"
                              << "icon" << Qt::LeftButton << 1;
        QTest::newRow("caption to icon") << "caption"
                                         << "icon" << Qt::LeftButton << 0;
        QTest::newRow("icon to caption") << "icon"
                                         << "caption" << Qt::LeftButton << 0;
        QTest::newRow("caption to outside") << "caption"
                                            << "outside" << Qt::LeftButton << 0;
        QTest::newRow("between the parts") << "gap"
                                           << "gap" << Qt::LeftButton << 0;
        QTest::newRow("right button") << "caption"
                                      << "caption" << Qt::RightButton << 0;
        QTest::newRow("disabled") << "caption"
                                  << "caption" << Qt::NoButton << 0;
    }

    void click()
    {
        QFETCH(QString, pressOn);
        QFETCH(QString, releaseOn);
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, clicks);
        Scene scene;
        usrHyperlink& link = *scene.link;
        if (button == Qt::NoButton) {
            link.setEnabled(false);
            button = Qt::LeftButton;
        }
        QSignalSpy spy(&link, &usrHyperlink::Click);
        const auto at = [&](const QString& where) {
            if (where == QLatin1String("caption")) {
                return scene.centreOf(link.lbl);
            }
            if (where == QLatin1String("icon")) {
                return scene.centreOf(link.imgIcon);
            }
            return where == QLatin1String("gap") ? link.mapTo(&scene, QPoint(23, 4))
                                                 : Scene::away();
        };
        // Through the window, so that Qt routes the press to the part under the pointer and the
        // release to the part that was pressed.
        QWindow* window = scene.windowHandle();
        QTest::mouseMove(window, at(pressOn));
        QTest::mousePress(window, button, Qt::NoModifier, at(pressOn));
        QTest::mouseMove(window, at(releaseOn));
        QTest::mouseRelease(window, button, Qt::NoModifier, at(releaseOn));
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
