// Tests of modGeneral (quoting, trimming, placement, type-ahead, help) and of FileHelper.
#include "TestEnv.h"
#include "app/FileHelper.h"
#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "platform/AppError.h"
#include "platform/SecretText.h"
#include "platform/SettingsStore.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QWidget>

using namespace modGeneral;

namespace {

const QString FormName = QStringLiteral("frmPlacementTest");
const QStringList PlacementNames{"Left", "Top", "Width", "Height", "WindowState"};

// The columns of a data table, and one row of it.
template <typename... T, typename... N> void columns(const N&... sNames)
{
    (QTest::addColumn<T>(sNames), ...);
}

template <typename... T> void row(const char* sName, const T&... values)
{
    (QTest::newRow(sName) << ... << values);
}

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
    void init() { modSubMain::ScreenTwipsPerPixelX = modSubMain::ScreenTwipsPerPixelY = 15; }

    void quoteSQL_data()
    {
        columns<QString, QString, QString>("text", "ifEmpty", "expected");
        row("apostrophe", "O'Brien", "NULL", "'O''Brien'");
        row("empty", "", "NULL", "NULL");
        row("empty, other default", "", "''", "''");
        row("space", " ", "NULL", "' '");
        // A text holding NUL is one literal of its UTF-8 bytes, however many NULs it holds.
        row("NULs and apostrophes", QString::fromUtf16(u"\0It's ''key''\0", 14), "NULL",
            "CAST(X'00497427732027276b6579272700' AS TEXT)");
        row("NUL between non-Latin", QString::fromUtf16(u"\u00e9\0\u65e5", 3), "NULL",
            "CAST(X'c3a900e697a5' AS TEXT)");
        row("3,000 NULs", QString(3000, QChar(u'\0')), "NULL",
            "CAST(X'" + QString(6000, u'0') + "' AS TEXT)");
        row("non-Latin", QString::fromUtf8("€ über 日本 \r\n"), "NULL",
            QString::fromUtf8("'€ über 日本 \r\n'"));
    }

    // The exact literal, and the value reaches the data file intact (empty text as NULL).
    void quoteSQL()
    {
        QFETCH(QString, text);
        QFETCH(QString, ifEmpty);
        QFETCH(QString, expected);
        QCOMPARE(QuoteSQL(text, ifEmpty), expected);

        TestEnv env;
        clsDB& db = clsDB::shared();
        db.Execute("INSERT INTO MY_FILE (MY_FILE_ID, MY_FILE_NM) VALUES (7, " +
                   QuoteSQL(text, "NULL") + ")");
        auto rs = db.Execute("SELECT MY_FILE_NM FROM MY_FILE");
        QVERIFY(rs && !rs->EndOfRows());
        QCOMPARE(rs->IsNull("MY_FILE_NM"), text.isEmpty());
        QCOMPARE(rs->Field("MY_FILE_NM"), text);
        // Stored as text, not as a blob, byte for byte.
        QCOMPARE(db.Execute("SELECT typeof(MY_FILE_NM) || ' ' || hex(CAST(MY_FILE_NM AS BLOB)) "
                            "AS T FROM MY_FILE")
                     ->Field("T"),
                 text.isEmpty() ? "null " : "text " + text.toUtf8().toHex().toUpper());
    }

    void quoteText()
    {
        QCOMPARE(QuoteText(""), QString());
        QCOMPARE(QuoteText("a, \"b\""), QStringLiteral("\"a, \"b\"\""));
    }

    void trim_data()
    {
        columns<QString, QString, QString>("text", "trimmed", "leadingTrimmed");
        row("breaks around", "\r\n\r\nabc\r\n\r\n", "abc", "abc\r\n\r\n");
        row("LF CR order", "\n\rabc\n\r", "abc", "abc\n\r");
        row("outer spaces", " \r\n x \r\n ", "x", " x \r\n");
        row("space between breaks, start", "\r\n \r\nabc", "\r\nabc", " \r\nabc");
        row("space between breaks, end", "abc\r\n \r\n", "abc\r\n", "abc\r\n \r\n");
        row("inner text untouched", "  a\r\n\r\n b  ", "a\r\n\r\n b", "a\r\n\r\n b");
        row("spaces only", "   ", "", "");
        row("tab kept", "\tabc\r\n", "\tabc", "\tabc\r\n");
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
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const QString stamp = GetTimeStamp();
        const QDateTime when = QDateTime::fromString(stamp, "yyyy-MM-dd_HHmmss");
        QVERIFY2(when.isValid() && when >= before && when <= QDateTime::currentDateTime(),
                 qPrintable(stamp));
    }

    void helpTopic_data()
    {
        columns<int, QString>("topic", "path");
        row("1", 1, "keycask/welcome.htm");
        row("13", 13, "file_folders/about_file_folders.htm");
        row("17", 17, "passwords/about_passwords.htm");
        row("other", 2, "");
    }

    void helpTopic()
    {
        QFETCH(int, topic);
        QFETCH(QString, path);
        TestEnv env(false);
        QCOMPARE(GetHelpTopicPath(topic), path);
        ShowHelpTopic(topic);
        QCOMPARE(env.launches.size(), 1);
        // The page beside the program, then "??", "#" and the topic.
        const QUrl page = QUrl::fromLocalFile(QDir::fromNativeSeparators(env.AppFolder()) +
                                              "/help/keycask/keycask.htm");
        QCOMPARE(env.launches.first().toString(), page.toString() + "??#" + path);
    }

    // Values in twips: Left, Top, Width, Height, WindowState. State -1: not usable, docked right.
    void placement_data()
    {
        columns<QString, QRect, int, QSize>("values", "place", "state", "least");
        const QRect place(100, 200, 300, 400);
        row("usable", "1500,3000,4500,6000,0", place, int(Qt::WindowNoState), QSize());
        row("maximized", "1500,3000,4500,6000,2", place, int(Qt::WindowMaximized), QSize());
        row("minimized saved as 0", "1500,3000,4500,6000,0", place, int(Qt::WindowMinimized),
            QSize());
        row("smallest", "-90,-60,3000,3000,0", QRect(-6, -4, 200, 200), int(Qt::WindowNoState),
            QSize());
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect docked(screen->geometry().right() + 1 - 250, 0, 250,
                           screen->availableGeometry().height());
        row("width 2999", "1500,3000,2999,6000,0", docked, -1, QSize());
        row("height 2999", "1500,3000,4500,2999,0", docked, -1, QSize());
        row("left -101", "-101,3000,4500,6000,0", docked, -1, QSize());
        row("top missing", "1500,,4500,6000,0", docked, -1, QSize());
        row("off every screen", "1500000,1500000,4500,6000,0", docked, -1, QSize());
        // Below the window's least size at the right edge: the least size, still on the screen.
        const QRect area = screen->availableGeometry();
        const QByteArray atRight =
            QByteArray::number((area.right() - 199) * 15) + ",3000,3000,3000,0";
        row("below the least size", atRight.constData(),
            QRect(area.right() + 1 - 260, 200, 260, 300), int(Qt::WindowNoState), QSize(260, 300));
    }

    // Restores the stored values; a window at a usable place saves them back.
    void placement()
    {
        QFETCH(QString, values);
        QFETCH(QRect, place);
        QFETCH(int, state);
        QFETCH(QSize, least);
        TestEnv env(false);
        auto& store = SettingsStore::shared();
        const QString key = SettingsStore::ProductKeyPath() + "\\" + FormName;
        const QStringList saved = values.split(',');
        for (int i = 0; i < PlacementNames.size(); ++i) {
            if (!saved[i].isEmpty()) {
                store.SaveStoredSetting(key, PlacementNames[i], saved[i]);
            }
        }
        QWidget frm;
        frm.setObjectName(FormName);
        frm.move(5, 5);
        frm.resize(250, 300);
        frm.setMinimumSize(least.expandedTo(QSize(0, 0)));
        FormPlacement(true, &frm);
        QCOMPARE(QRect(frm.pos(), frm.size()), place);
        QCOMPARE(frm.isMaximized(), state == Qt::WindowMaximized);
        if (state < 0 || least.isValid()) {
            return;
        }

        frm.setWindowState(Qt::WindowStates(state));
        FormPlacement(false, &frm);
        QStringList back;
        for (const QString& name : PlacementNames) {
            back << store.GetStoredSetting(key, name, "<none>");
        }
        QCOMPARE(back.join(','), values);
    }

    // The box's text with "|" for the caret, or "[...]" around the selected text.
    void comboAutoComplete_data()
    {
        columns<QString, int, QString>("before", "key", "after");
        row("empty box", "|", int('b'), "b[eta]");
        row("other case", "|", int('A'), "a[lpha]");
        row("over completion", "b[eta]", int('e'), "be[ta]");
        row("backspace", "b[eta]", vbKeyBack, "b[eta]");
        row("no match", "|", int('z'), "|");
        row("typed by hand", "b|", int('e'), "b|");
    }

    void comboAutoComplete()
    {
        QFETCH(QString, before);
        QFETCH(int, key);
        QFETCH(QString, after);
        const int typed = key;
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
        // A key that completes the text is used up, and the item becomes the current one.
        QCOMPARE(key, after == before ? typed : 0);
        QCOMPARE(cbo.currentIndex(), key == 0 ? cbo.findText(edit->text()) : -1);
    }

    // Windows-1252 bytes and CR LF in a new file for its owner alone; a taken name, also by a
    // planted link, gives the next free name and leaves what is there untouched; a file never
    // completed is removed; each helper launches its own file.
    void fileWriteAndLaunch()
    {
        TestEnv env(false);
        const QString path = env.AppFolder() + "/report.rtf";
        const QString linked = env.AppFolder() + "/report_2.rtf";
        const QString next = env.AppFolder() + "/report_3.rtf";
        const QString other = env.AppFolder() + "/other.rtf";
        const QString target = env.AppFolder() + "/target.txt";
        QFile targetFile(target);
        QVERIFY(targetFile.open(QIODevice::WriteOnly) && targetFile.write("the link's target") > 0);
        targetFile.close();
        QVERIFY(QFile::link(target, linked));
        FileHelper helper;
        FileHelper second;
        helper.OpenFile(path, 2);
        helper.WriteText("an older report", 1, 0);
        helper.CloseFile();
        helper.OpenFile(path, 2);
        helper.WriteText("{\\rtf1", 1, 0);
        helper.WriteText(QString::fromUtf8("€é日"), 0, 0);
        helper.WriteText("}", 1, 0);
        second.OpenFile(other, 2);
        second.CloseFile();
        helper.CloseFile();
        QCOMPARE(fileBytes(path), QByteArray("an older report\r\n"));
        QCOMPARE(fileBytes(target), QByteArray("the link's target"));
        QVERIFY(QFileInfo(linked).isSymLink());
        QCOMPARE(fileBytes(next), QByteArray("{\\rtf1\r\n\x80\xE9?}\r\n"));
        QCOMPARE(QFile::permissions(next) & 0x0077, QFileDevice::Permissions());
        {
            FileHelper unfinished;
            unfinished.OpenFile(env.AppFolder() + "/unfinished.rtf", 2);
            unfinished.WriteText("half a report", 1, 0);
        }
        QVERIFY(!QFile::exists(env.AppFolder() + "/unfinished.rtf"));

        helper.Launch(QString(), false);
        second.Launch(QString(), false);
        QCOMPARE(env.launches,
                 (QList<QUrl>{QUrl::fromLocalFile(next), QUrl::fromLocalFile(other)}));

        // A missing folder is an error naming the file, and is not created.
        const QString missing = QDir::toNativeSeparators(env.AppFolder() + "/missing/report.rtf");
        try {
            helper.OpenFile(missing, 2);
            QFAIL("no error raised");
        } catch (const AppError& e) {
            QVERIFY2(e.Description().contains(missing), qPrintable(e.Description()));
        }
        QVERIFY(!QFile::exists(env.AppFolder() + "/missing"));
    }

    void launch_data()
    {
        columns<QString, QString>("target", "expected");
        row("address without scheme", "www.example.org", "http://www.example.org");
        row("address", "https://x.y/z", "https://x.y/z");
        row("folder", "<folder>", "<folder>");
        row("missing path", "<folder>/gone", "<folder>/gone");
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
        const QUrl url = expected.startsWith('/') ? QUrl::fromLocalFile(expected) : QUrl(expected);
        QCOMPARE(env.launches, QList<QUrl>{url});
    }

    // A wipe zeroes the whole buffer of a secret, its spare room before and after the text
    // included; a copy that shares the buffer keeps it alive to be looked at afterwards.
    void wipe_data()
    {
        columns<bool, int, int>("bytes", "cutFront", "spare");
        row("text", false, 0, 0);
        row("text with room at the front", false, 7, 0);
        row("text with room at the end", false, 0, 50);
        row("bytes", true, 0, 0);
        row("bytes with room at both ends", true, 5, 40);
    }

    void wipe()
    {
        QFETCH(bool, bytes);
        QFETCH(int, cutFront);
        QFETCH(int, spare);
        const auto check = [&](auto secret) {
            secret.reserve(secret.size() + spare);
            secret.remove(0, cutFront);
            auto kept = secret;
            auto& d = kept.data_ptr();
            QVERIFY(d->isShared());
            const auto* start = d.data() - d.freeSpaceAtBegin();
            const qsizetype length = d.allocatedCapacity();
            QVERIFY(length >= secret.size() + spare);
            SecretText::Wipe(secret);
            QVERIFY(secret.isEmpty());
            for (qsizetype i = 0; i < length; ++i) {
                QVERIFY2(start[i] == 0, qPrintable(QString::number(i)));
            }
        };
        if (bytes) {
            check(QByteArray("correct horse battery staple"));
        } else {
            check(QString::fromUtf8("correct horse battery staple \u00e9\u20ac"));
        }
    }
};

QTEST_MAIN(tst_General)
#include "tst_general.moc"
