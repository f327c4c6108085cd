// Tests of the tray window without a notification area: menu, default item, tip, icon, events.
#include "ui/tray/frmSystemTray.h"

#include <QAction>
#include <QApplication>
#include <QLoggingCategory>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// One line per item: caption/key, then [sep], [off] and [bold] where they apply.
QStringList describe(const frmSystemTray& tray)
{
    QStringList lines;
    for (const QAction* item : tray.mnuPopup()->actions()) {
        lines << item->text() + u'/' + item->data().toString() +
                     (item->isSeparator() ? u" [sep]"_s : QString()) +
                     (item->isEnabled() ? QString() : u" [off]"_s) +
                     (item->font().bold() ? u" [bold]"_s : QString());
    }
    return lines;
}

QSystemTrayIcon* trayIcon(const frmSystemTray& tray)
{
    return tray.findChild<QSystemTrayIcon*>();
}

// Every event of the tray window, in order, as text.
void logEvents(frmSystemTray* tray, QStringList& rLog)
{
    const auto button = [&rLog](const QString& sName) {
        return [&rLog, sName](int eButton) { rLog << sName + QString::number(eButton); };
    };
    QObject::connect(tray, &frmSystemTray::SysTrayMouseDown, tray, button(u"down "_s));
    QObject::connect(tray, &frmSystemTray::SysTrayMouseUp, tray, button(u"up "_s));
    QObject::connect(tray, &frmSystemTray::SysTrayDoubleClick, tray, button(u"double "_s));
    QObject::connect(tray, &frmSystemTray::MenuClick, tray,
                     [&rLog](int i, const QString& k) { rLog << u"menu %1 %2"_s.arg(i).arg(k); });
    QObject::connect(tray, &frmSystemTray::BalloonClicked, tray, [&rLog] { rLog << u"balloon"_s; });
}

} // namespace

class tst_SystemTray : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Offscreen, Qt's tray icon reports for every icon that it cannot watch for a
        // notification area to appear; that says nothing here.
        QLoggingCategory::setFilterRules(u"qt.core.qobject.connect.warning=false"_s);
    }

    // A script of menu operations, then the items and the default index. "add C/k" adds
    // ("add*" as the default) and checks the index given back; "remove i", "disable i" and
    // "default i" call the members of those names.
    void menu_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("defaultIndex");
        const QStringList abc = {u"add Alpha/a"_s, u"add Bravo/b"_s, u"add Charlie/c"_s};
        const auto with = [&abc](const QStringList& more) { return abc + more; };
        QTest::newRow("fresh: item 0 alone, empty and bold")
            << QStringList() << QStringList{u"/ [bold]"_s} << 0;
        QTest::newRow("the first add takes item 0")
            << abc << QStringList{u"Alpha/a [bold]"_s, u"Bravo/b"_s, u"Charlie/c"_s} << 0;
        QTest::newRow("remove the middle of three")
            << with({u"remove 1"_s}) << QStringList{u"Alpha/a [bold]"_s, u"Charlie/c"_s} << 0;
        QTest::newRow("remove index 0 blanks only its caption")
            << with({u"disable 0"_s, u"remove 0"_s})
            << QStringList{u"/a [off] [bold]"_s, u"Bravo/b"_s, u"Charlie/c"_s} << 0;
        QTest::newRow("outside the items nothing changes")
            << with({u"remove 3"_s, u"remove -1"_s, u"disable 3"_s, u"disable -1"_s})
            << QStringList{u"Alpha/a [bold]"_s, u"Bravo/b"_s, u"Charlie/c"_s} << 0;
        QTest::newRow("a disabled item moves down disabled")
            << with({u"disable 2"_s, u"remove 1"_s})
            << QStringList{u"Alpha/a [bold]"_s, u"Charlie/c [off]"_s} << 0;
        QTest::newRow("a separator moves down as a separator")
            << QStringList{u"add Open/o"_s, u"add About/x"_s, u"add -/s"_s, u"add Exit/e"_s,
                           u"remove 1"_s}
            << QStringList{u"Open/o [bold]"_s, u"/s [sep]"_s, u"Exit/e"_s} << 0;
        QTest::newRow("default chosen when adding")
            << QStringList{u"add Alpha/a"_s, u"add* Bravo/b"_s, u"add Charlie/c"_s}
            << QStringList{u"Alpha/a"_s, u"Bravo/b [bold]"_s, u"Charlie/c"_s} << 1;
        QTest::newRow("default set to the last item")
            << with({u"default 2"_s})
            << QStringList{u"Alpha/a"_s, u"Bravo/b"_s, u"Charlie/c [bold]"_s} << 2;
        QTest::newRow("default past the items becomes 0")
            << with({u"default 2"_s, u"default 3"_s})
            << QStringList{u"Alpha/a [bold]"_s, u"Bravo/b"_s, u"Charlie/c"_s} << 0;
        QTest::newRow("negative default becomes 0")
            << with({u"default 1"_s, u"default -1"_s})
            << QStringList{u"Alpha/a [bold]"_s, u"Bravo/b"_s, u"Charlie/c"_s} << 0;
        QTest::newRow("default item removed: index kept, nothing bold")
            << with({u"default 2"_s, u"remove 1"_s}) << QStringList{u"Alpha/a"_s, u"Charlie/c"_s}
            << 2;
    }

    void menu()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, items);
        QFETCH(int, defaultIndex);
        frmSystemTray tray;
        for (const QString& step : script) {
            const QString verb = step.section(u' ', 0, 0);
            const QString arg = step.section(u' ', 1);
            if (verb.startsWith("add"_L1)) {
                const int index = tray.AddMenuItem(arg.section(u'/', 0, 0), arg.section(u'/', 1),
                                                   verb == "add*"_L1);
                QCOMPARE(index, int(tray.mnuPopup()->actions().size()) - 1);
            } else if (verb == "remove"_L1) {
                QCOMPARE(tray.RemoveMenuItem(arg.toInt()), 0);
            } else if (verb == "disable"_L1) {
                tray.EnableMenuItem(arg.toInt(), false);
            } else {
                tray.setDefaultMenuIndex(arg.toInt());
            }
        }
        QCOMPARE(describe(tray), items);
        QCOMPARE(tray.DefaultMenuIndex(), defaultIndex);
    }

    // The tip ends at a NUL and is cut to 127 characters, never inside a surrogate pair.
    void toolTip_data()
    {
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("expected");
        QString abc;
        for (int i = 0; i < 200; ++i) {
            abc += QChar(u'A' + i % 26);
        }
        QTest::newRow("200 characters") << abc << abc.left(127);
        QTest::newRow("127 characters") << abc.left(127) << abc.left(127);
        QTest::newRow("a surrogate pair across the cut")
            << QString(126, u'x') + u"\U0001F511 tail"_s << QString(126, u'x');
        QTest::newRow("a NUL ends it") << u"before"_s + QChar(u'\0') + u"after"_s << u"before"_s;
    }

    void toolTip()
    {
        QFETCH(QString, tip);
        QFETCH(QString, expected);
        frmSystemTray tray;
        tray.setToolTip(tip);
        QCOMPARE(tray.ToolTip(), expected);
        QCOMPARE(trayIcon(tray)->toolTip(), expected);
    }

    // The icon it already has does not reach the tray icon again (an icon put on the tray icon
    // underneath survives); an icon made anew from the same file is a different icon.
    void iconHandle_data()
    {
        QTest::addColumn<bool>("reload");
        QTest::newRow("a copy of the same icon") << false;
        QTest::newRow("the same file loaded again") << true;
    }

    void iconHandle()
    {
        QFETCH(bool, reload);
        frmSystemTray tray;
        const QIcon first(u":/images/keycask.svg"_s);
        tray.setIconHandle(first);
        const QIcon underneath(u":/images/padlock.svg"_s);
        trayIcon(tray)->setIcon(underneath);
        const QIcon second = reload ? QIcon(u":/images/keycask.svg"_s) : first;
        tray.setIconHandle(second);
        QCOMPARE(tray.IconHandle().cacheKey(), second.cacheKey());
        QCOMPARE(trayIcon(tray)->icon().cacheKey(), (reload ? second : underneath).cacheKey());
    }

    // The tray icon's reports become events once the report has returned.
    void trayEvents_data()
    {
        QTest::addColumn<int>("reason"); // -1: the balloon was clicked
        QTest::addColumn<QStringList>("events");
        QTest::newRow("left click") << int(QSystemTrayIcon::Trigger) << QStringList{u"down 1"_s};
        QTest::newRow("right click")
            << int(QSystemTrayIcon::Context) << QStringList{u"down 2"_s, u"up 2"_s};
        QTest::newRow("double click")
            << int(QSystemTrayIcon::DoubleClick) << QStringList{u"double 1"_s};
        QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << QStringList();
        QTest::newRow("balloon clicked") << -1 << QStringList{u"balloon"_s};
    }

    void trayEvents()
    {
        QFETCH(int, reason);
        QFETCH(QStringList, events);
        frmSystemTray tray;
        QStringList log;
        logEvents(&tray, log);
        if (reason < 0) {
            Q_EMIT trayIcon(tray)->messageClicked();
        } else {
            Q_EMIT trayIcon(tray)->activated(QSystemTrayIcon::ActivationReason(reason));
        }
        QVERIFY(log.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(log, events);
    }

    // A choice raises MenuClick with the item's index and key after removals moved it, once
    // the menu is done; the owner may destroy the tray window in that handler, or in the
    // press of a right click.
    void menuClick_data()
    {
        QTest::addColumn<int>("how"); // 0 trigger, 1 keyboard in the shown menu, 2 right click
        QTest::addColumn<bool>("unload");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("chosen") << 0 << false << QStringList{u"menu 2 exit"_s};
        QTest::newRow("chosen in the shown menu") << 1 << false << QStringList{u"menu 2 exit"_s};
        QTest::newRow("chosen, owner unloads") << 0 << true << QStringList{u"menu 2 exit"_s};
        QTest::newRow("right click, owner unloads") << 2 << true << QStringList{u"down 2"_s};
    }

    void menuClick()
    {
        QFETCH(int, how);
        QFETCH(bool, unload);
        QFETCH(QStringList, events);
        auto owner = std::make_unique<QObject>();
        const QPointer<frmSystemTray> tray = new frmSystemTray(owner.get());
        const QPointer<QSystemTrayIcon> icon = trayIcon(*tray);
        QVERIFY(icon->isVisible());
        QStringList log;
        logEvents(tray, log);
        if (unload) {
            connect(tray, &frmSystemTray::MenuClick, tray, [&] { owner.reset(); });
            connect(tray, &frmSystemTray::SysTrayMouseDown, tray, [&] { owner.reset(); });
        }
        for (const char* name : {"Open", "Updates", "About", "-", "Exit"}) {
            tray->AddMenuItem(QString::fromLatin1(name), QString::fromLatin1(name).toLower());
        }
        tray->RemoveMenuItem(1);
        tray->RemoveMenuItem(1);
        QMenu* menu = tray->mnuPopup();
        if (how == 1) {
            tray->ShowMenu();
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            // "Open", then past the separator to "Exit".
            for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) {
                QTest::keyClick(menu, key);
            }
        } else if (how == 0) {
            menu->actions().at(2)->trigger();
        } else {
            Q_EMIT icon->activated(QSystemTrayIcon::Context);
        }
        QVERIFY(log.isEmpty());
        QTRY_COMPARE(log, events);
        QCOMPARE(tray.isNull(), unload);
        QCOMPARE(icon.isNull(), unload);
    }
};

QTEST_MAIN(tst_SystemTray)
#include "tst_systemtray.moc"
