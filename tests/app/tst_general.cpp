// Tests of modGeneral (quoting, trimming, placement, type-ahead, help) and of FileHelper.
#include "TestEnv.h"
#include "app/FileHelper.h"
#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "platform/AppError.h"
#include "platform/SettingsStore.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QWidget>

using namespace modGeneral;

namespace {

const QString FormName = QStringLiteral("frmPlacementTest");

QString formKey()
{
    return SettingsStore::ProductKeyPath() + "\\" + FormName;
}

const QStringList PlacementNames{"Left", "Top", "Width", "Height", "WindowState"};

QByteArray fileBytes(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class tst_General : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        modSubMain::ScreenTwipsPerPixelX = 15;
        modSubMain::ScreenTwipsPerPixelY = 15;
    }

    void quoteSQL_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("ifEmpty");
        QTest::addColumn<QString>("expected");
        QTest::newRow("apostrophe") << "O'Brien"
                                    << "NULL"
                                    << "'O''Brien'";
        QTest::newRow("empty") << ""
                               << "NULL"
                               << "NULL";
        QTest::newRow("empty, other default") << ""
                                              << "''"
                                              << "''";
        QTest::newRow("only apostrophes") << "''"
                                          << "NULL"
                                          << "''''''";
        QTest::newRow("double quote") << "say \"hi\""
                                      << "NULL"
                                      << "'say \"hi\"'";
        QTest::newRow("NUL") << QString::fromUtf16(u"a\0b", 3) << "NULL"
                             << "'a' || char(0) || 'b'";
        QTest::newRow("space") << " "
                               << "NULL"
                               << "' '";
    }

    void quoteSQL()
    {
        QFETCH(QString, text);
        QFETCH(QString, ifEmpty);
        QFETCH(QString, expected);
        QCOMPARE(QuoteSQL(text, ifEmpty), expected);
    }

    void quoteSQLRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("apostrophes and NUL")
            << QString::fromUtf16(u"It's O'Brien\0's ''key''\0", 24);
        QTest::newRow("leading NUL") << QString::fromUtf16(u"\0x", 2);
        QTest::newRow("statement inside") << "a'); DELETE FROM PWD; --";
        QTest::newRow("non-Latin") << QString::fromUtf8("€ über 日本 \r\n");
    }

    // A quoted value reaches the data file intact, whatever characters it holds.
    void quoteSQLRoundTrip()
    {
        QFETCH(QString, text);
        TestEnv env;
        clsDB& db = clsDB::shared();
        QString back;
        try {
            db.Execute("INSERT INTO PWD (PASSWORD_ID, TITLE_TX) VALUES (1, 'master')");
            db.Execute("INSERT INTO MY_FILE (MY_FILE_ID, MY_FILE_NM, NOTES_TX) VALUES (7, " +
                       QuoteSQL(text, "NULL") + ", " + QuoteSQL(QString(), "NULL") + ")");
            auto rs = db.Execute("SELECT MY_FILE_NM, NOTES_TX FROM MY_FILE WHERE MY_FILE_ID = 7");
            QVERIFY(rs && !rs->EndOfRows());
            back = rs->Field("MY_FILE_NM");
            QVERIFY(rs->IsNull("NOTES_TX"));
        } catch (const AppError& e) {
            QFAIL(qPrintable(e.Description()));
        }
        QCOMPARE(back.size(), text.size());
        QCOMPARE(back, text);
        QCOMPARE(env.RawScalar("SELECT count(*) FROM PWD"), QStringLiteral("1"));
    }

    void quoteText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("plain") << "abc"
                               << "\"abc\"";
        QTest::newRow("comma") << "a,b"
                               << "\"a,b\"";
        QTest::newRow("quotes not doubled") << "say \"hi\""
                                            << "\"say \"hi\"\"";
    }

    void quoteText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(QuoteText(text), expected);
    }

    void trim_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::addColumn<QString>("leadingTrimmed");
        QTest::newRow("line breaks around") << "\r\n\r\nabc\r\n\r\n"
                                            << "abc"
                                            << "abc\r\n\r\n";
        QTest::newRow("LF CR order") << "\n\rabc\n\r"
                                     << "abc"
                                     << "abc\n\r";
        QTest::newRow("outer spaces") << " \r\n x \r\n "
                                      << "x"
                                      << " x \r\n";
        QTest::newRow("space between breaks, start") << "\r\n \r\nabc"
                                                     << "\r\nabc"
                                                     << " \r\nabc";
        QTest::newRow("space between breaks, end") << "abc\r\n \r\n"
                                                   << "abc\r\n"
                                                   << "abc\r\n \r\n";
        QTest::newRow("inner text untouched") << "  a\r\n\r\n b  "
                                              << "a\r\n\r\n b"
                                              << "a\r\n\r\n b";
        QTest::newRow("spaces only") << "   "
                                     << ""
                                     << "";
        QTest::newRow("breaks only") << "\r\n\r\n"
                                     << ""
                                     << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
        QTest::newRow("tab kept") << "\tabc\r\n"
                                  << "\tabc"
                                  << "\tabc\r\n";
    }

    void trim()
    {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QFETCH(QString, leadingTrimmed);
        QCOMPARE(TrimCrLf(text), trimmed);
        QCOMPARE(TrimLeadingCrLf(text), leadingTrimmed);
    }

    void timeStamp()
    {
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        const QString stamp = GetTimeStamp();
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY2(QRegularExpression(R"(^\d{4}-\d{2}-\d{2}_\d{6}$)").match(stamp).hasMatch(),
                 qPrintable(stamp));
        const QDateTime when = QDateTime::fromString(stamp, "yyyy-MM-dd_HHmmss");
        QVERIFY(when.isValid());
        QVERIFY(when >= before && when <= after);
    }

    void helpTopic_data()
    {
        QTest::addColumn<int>("topic");
        QTest::addColumn<QString>("path");
        QTest::newRow("1") << 1 << "keycask/welcome.htm";
        QTest::newRow("13") << 13 << "file_folders/about_file_folders.htm";
        QTest::newRow("17") << 17 << "passwords/about_passwords.htm";
        QTest::newRow("other") << 2 << "";
        QTest::newRow("zero") << 0 << "";
    }

    void helpTopic()
    {
        QFETCH(int, topic);
        QFETCH(QString, path);
        TestEnv env(false);
        QCOMPARE(GetHelpTopicPath(topic), path);

        ShowHelpTopic(topic);
        QCOMPARE(env.launches.size(), 1);
        const QUrl url = env.launches.first();
        QCOMPARE(url.scheme(), QStringLiteral("https"));
        QCOMPARE(url.path(), QStringLiteral("/help/keycask/keycask.htm"));
        const QString text = url.toString();
        QVERIFY2(text.endsWith("/help/keycask/keycask.htm??#" + path), qPrintable(text));
        QVERIFY(env.messages.isEmpty());
    }

    void restorePlacement_data()
    {
        QTest::addColumn<QString>("values"); // Left, Top, Width, Height, WindowState
        QTest::addColumn<QRect>("expected"); // null: docked to the right edge
        QTest::addColumn<bool>("maximized");
        const QRect docked;
        QTest::newRow("usable") << "1500,3000,4500,6000,0" << QRect(100, 200, 300, 400) << false;
        QTest::newRow("smallest") << "-90,-60,3000,3000," << QRect(-6, -4, 200, 200) << false;
        QTest::newRow("maximized") << "1500,3000,4500,6000,2" << QRect(100, 200, 300, 400) << true;
        QTest::newRow("nothing saved") << ",,,," << docked << false;
        QTest::newRow("width 2999") << "1500,3000,2999,6000,0" << docked << false;
        QTest::newRow("height 2999") << "1500,3000,4500,2999,0" << docked << false;
        QTest::newRow("left -101") << "-101,3000,4500,6000,0" << docked << false;
        QTest::newRow("top missing") << "1500,,4500,6000,0" << docked << false;
        QTest::newRow("not a number") << "1500,3000,wide,6000,0" << docked << false;
        QTest::newRow("off every screen") << "1500000,1500000,4500,6000,0" << docked << false;
    }

    void restorePlacement()
    {
        QFETCH(QString, values);
        QFETCH(QRect, expected);
        QFETCH(bool, maximized);
        TestEnv env(false);
        const QStringList saved = values.split(',');
        for (int i = 0; i < PlacementNames.size(); ++i) {
            if (!saved[i].isEmpty()) {
                SettingsStore::shared().SaveStoredSetting(formKey(), PlacementNames[i], saved[i]);
            }
        }
        QWidget frm;
        frm.setObjectName(FormName);
        frm.move(5, 5);
        frm.resize(250, 300);

        FormPlacement(true, &frm);

        if (expected.isNull()) {
            const QScreen* screen = QGuiApplication::primaryScreen();
            expected = QRect(screen->geometry().right() + 1 - 250, 0, 250,
                             screen->availableGeometry().height());
        }
        QCOMPARE(QRect(frm.pos(), frm.size()), expected);
        QCOMPARE(frm.isMaximized(), maximized);
        QVERIFY(env.messages.isEmpty());
    }

    void savePlacement_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("saved");
        QTest::newRow("normal") << int(Qt::WindowNoState) << "1500,3000,4500,6000,0";
        QTest::newRow("minimized") << int(Qt::WindowMinimized) << "1500,3000,4500,6000,0";
        QTest::newRow("maximized") << int(Qt::WindowMaximized) << "1500,3000,4500,6000,2";
    }

    // Saves in twips; a new window of the same name then comes back at the same place.
    void savePlacement()
    {
        QFETCH(int, state);
        QFETCH(QString, saved);
        TestEnv env(false);
        {
            QWidget frm;
            frm.setObjectName(FormName);
            frm.move(100, 200);
            frm.resize(300, 400);
            frm.setWindowState(Qt::WindowStates(state));
            FormPlacement(false, &frm);
        }
        QStringList values;
        for (const QString& name : PlacementNames) {
            values << SettingsStore::shared().GetStoredSetting(formKey(), name, "<none>");
        }
        QCOMPARE(values.join(','), saved);

        QWidget again;
        again.setObjectName(FormName);
        again.resize(250, 300);
        FormPlacement(true, &again);
        QCOMPARE(QRect(again.pos(), again.size()), QRect(100, 200, 300, 400));
        QCOMPARE(again.isMaximized(), state == Qt::WindowMaximized);
        QVERIFY(!again.isMinimized());
    }

    // The box's text is written with "|" for the caret, or "[...]" around the selected text.
    void comboAutoComplete_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("keyAfter");
        QTest::newRow("empty box") << "|" << int('b') << "b[eta]" << 0;
        QTest::newRow("other case") << "|" << int('A') << "a[lpha]" << 0;
        QTest::newRow("over completion") << "b[eta]" << int('e') << "be[ta]" << 0;
        QTest::newRow("backspace") << "b[eta]" << 8 << "b[eta]" << 8;
        QTest::newRow("enter") << "b[eta]" << 13 << "b[eta]" << 13;
        QTest::newRow("no match") << "|" << int('z') << "|" << int('z');
        QTest::newRow("completion left") << "b[eta]" << int('x') << "b[eta]" << int('x');
        QTest::newRow("typed by hand") << "b|" << int('e') << "b|" << int('e');
    }

    void comboAutoComplete()
    {
        QFETCH(QString, before);
        QFETCH(int, key);
        QFETCH(QString, after);
        QFETCH(int, keyAfter);
        TestEnv env(false);
        QComboBox cbo;
        cbo.setEditable(true);
        cbo.addItems({"alpha", "beta"});
        cbo.setCurrentIndex(-1);
        QLineEdit* edit = cbo.lineEdit();
        const qsizetype open = before.indexOf('[');
        edit->setText(QString(before).remove(QRegularExpression(R"([\[\]|])")));
        if (open >= 0) {
            edit->setSelection(int(open), int(before.indexOf(']') - open - 1));
        } else {
            edit->setCursorPosition(int(before.indexOf('|')));
        }

        ComboAutoComplete(&cbo, key);

        QString state = edit->text();
        if (edit->hasSelectedText()) {
            state.insert(edit->selectionEnd(), ']').insert(edit->selectionStart(), '[');
        } else {
            state.insert(edit->cursorPosition(), '|');
        }
        QCOMPARE(state, after);
        QCOMPARE(key, keyAfter);
        if (keyAfter == 0) {
            QCOMPARE(cbo.currentText(), edit->text());
        }
    }

    void fileWrite_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QList<int>>("lineEnds");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("euro") << QStringList{"€"} << QList<int>{0} << QByteArray("\x80");
        QTest::newRow("latin") << QStringList{"é"} << QList<int>{0} << QByteArray("\xE9");
        QTest::newRow("not in code page") << QStringList{"日"} << QList<int>{0} << QByteArray("?");
        QTest::newRow("line end") << QStringList{"{\\rtf1", "x", "}"} << QList<int>{1, 0, 1}
                                  << QByteArray("{\\rtf1\r\nx}\r\n");
    }

    void fileWrite()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QList<int>, lineEnds);
        QFETCH(QByteArray, expected);
        TestEnv env(false);
        const QString path = env.AppFolder() + "/report.rtf";
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older and longer report");
        old.close();

        FileHelper helper;
        helper.OpenFile(path, 2);
        for (int i = 0; i < pieces.size(); ++i) {
            helper.WriteText(pieces[i], lineEnds[i], 0);
        }
        helper.CloseFile();
        QCOMPARE(fileBytes(path), expected);
    }

    void fileOpenInMissingFolder()
    {
        TestEnv env(false);
        const QString path = QDir::toNativeSeparators(env.AppFolder() + "/missing/report.rtf");
        FileHelper helper;
        try {
            helper.OpenFile(path, 2);
            QFAIL("no error raised");
        } catch (const AppError& e) {
            QVERIFY2(e.Description().contains(path), qPrintable(e.Description()));
        }
        QVERIFY(!QFile::exists(path));
    }

    // Each helper launches the file it opened itself.
    void launchLastFile()
    {
        TestEnv env(false);
        const QString first = env.AppFolder() + "/first.rtf";
        const QString second = env.AppFolder() + "/second.rtf";
        FileHelper one;
        FileHelper two;
        one.OpenFile(first, 2);
        one.WriteText("1", 0, 0);
        one.CloseFile();
        two.OpenFile(second, 2);
        two.WriteText("2", 0, 0);
        two.CloseFile();
        one.Launch(QString(), false);
        two.Launch(QString(), false);
        QCOMPARE(env.launches,
                 (QList<QUrl>{QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}));
    }

    void launch_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("expected"); // a path is a local file; empty: not checked
        QTest::newRow("address without scheme") << "www.example.org"
                                                << "http://www.example.org";
        QTest::newRow("address") << "https://x.y/z"
                                 << "https://x.y/z";
        QTest::newRow("mail") << "mailto:a@b.example"
                              << "mailto:a@b.example";
        QTest::newRow("folder") << "<folder>"
                                << "<folder>";
        QTest::newRow("missing folder") << "<folder>/gone"
                                        << "";
    }

    void launch()
    {
        QFETCH(QString, target);
        QFETCH(QString, expected);
        TestEnv env(false);
        const QString folder = QDir(env.AppFolder()).absolutePath();
        target.replace("<folder>", folder);
        expected.replace("<folder>", folder);
        FileHelper::shared().Launch(target, false);
        QVERIFY(env.messages.isEmpty());
        if (!expected.isEmpty()) {
            const QUrl url =
                expected.startsWith('/') ? QUrl::fromLocalFile(expected) : QUrl(expected);
            QCOMPARE(env.launches, QList<QUrl>{url});
        }
    }
};

QTEST_MAIN(tst_General)
#include "tst_general.moc"
