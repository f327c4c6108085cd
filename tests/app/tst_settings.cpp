// Tests of clsApp: stored Boolean settings, bounds of every stored number, paths, version text
// and the report folder.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "data/modSchema.h"
#include "platform/Grid.h"
#include "platform/SettingsStore.h"
#include "ui/main/frmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Setting
{
    const char* name;
    bool (clsApp::*get)() const;
    void (clsApp::*set)(bool);
    bool defaultValue;
};

const Setting Settings[] = {
    {"AlwaysOnTop", &clsApp::AlwaysOnTop, &clsApp::setAlwaysOnTop, false},
    {"BalloonShown", &clsApp::BalloonShown, &clsApp::setBalloonShown, false},
    {"LockOnMinimize", &clsApp::LockOnMinimize, &clsApp::setLockOnMinimize, true},
    {"ShowNotesOwnColumn", &clsApp::ShowNotesOwnColumn, &clsApp::setShowNotesOwnColumn, false},
};

QString stored(const QString& sName)
{
    return SettingsStore::shared().GetStoredSetting(SettingsStore::ProductKeyPath(), sName,
                                                    "<missing>");
}

void store(const QString& sName, const QString& sValue)
{
    SettingsStore::shared().SaveStoredSetting(SettingsStore::ProductKeyPath(), sName, sValue);
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Default on an empty store; each write is stored at once as "1" or "0"; nothing is cached.
    // A window's value of the same name, one level below, stays apart.
    void booleanSettings()
    {
        TestEnv env(false);
        clsApp& app = clsApp::shared();
        auto& settings = SettingsStore::shared();
        const QString windowKey = SettingsStore::ProductKeyPath() + "\\frmMain";
        for (const Setting& s : Settings) {
            const QString windowValue = s.defaultValue ? "0" : "1";
            settings.SaveStoredSetting(windowKey, s.name, windowValue);
            QCOMPARE((app.*s.get)(), s.defaultValue);
            (app.*s.set)(true);
            QCOMPARE(stored(s.name), QStringLiteral("1"));
            (app.*s.set)(false);
            QCOMPARE(stored(s.name), QStringLiteral("0"));
            QCOMPARE((app.*s.get)(), false);
            store(s.name, "1");
            QCOMPARE((app.*s.get)(), true);
            QCOMPARE(settings.GetStoredSetting(windowKey, s.name, QString()), windowValue);
        }
    }

    void storedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // true, false or default
        const char* const rows[][2] = {
            {"-1", "true"},    {"5", "true"},      {" True ", "true"}, {"FALSE", "false"},
            {"0", "false"},    {"0.0", "false"},   {"yes", "default"}, {"1 true", "default"},
            {"", "default"},   {"nan", "default"}, {"inf", "default"}, {"1e400", "default"},
            {"1e308", "true"}, {"-0", "false"}};
        for (const auto& row : rows) {
            QTest::addRow("\"%s\"", row[0]) << row[0] << row[1];
        }
    }

    // A value stored by hand is read by the Boolean text rule; other text counts as missing, so
    // that an unreadable value never turns a setting away from its default.
    void storedText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        TestEnv env(false);
        for (const Setting& s : Settings) {
            store(s.name, text);
            const QString shown = (clsApp::shared().*s.get)() ? "true" : "false";
            QCOMPARE(shown, expected == "default" ? (s.defaultValue ? "true" : "false") : expected);
        }
    }

    void letterCase_data()
    {
        QTest::addColumn<QString>("writtenPath");
        QTest::addColumn<QString>("writtenName");
        QTest::addColumn<QString>("otherPath");
        QTest::addColumn<QString>("otherName");
        const QString product = SettingsStore::ProductKeyPath();
        QTest::newRow("product key")
            << product << "AlwaysOnTop" << product.toUpper() << "alwaysontop";
        QTest::newRow("product key, forward slashes") << product << "LockOnMinimize"
                                                      << "software/QUILLONsoftware/keycask"
                                                      << "LOCKONMINIMIZE";
        QTest::newRow("window key") << product + "\\frmMain"
                                    << "Left" << product.toLower() + "\\FRMMAIN"
                                    << "LEFT";
        QTest::newRow("key outside the product") << "Software\\Other Maker\\Tool"
                                                 << "Width"
                                                 << "SOFTWARE\\other maker\\tool"
                                                 << "width";
    }

    // Key paths and value names ignore letter case, as registry keys do: another spelling reads
    // the value and overwrites it in place, and a value of another name stays apart.
    void letterCase()
    {
        QFETCH(QString, writtenPath);
        QFETCH(QString, writtenName);
        QFETCH(QString, otherPath);
        QFETCH(QString, otherName);
        TestEnv env(false);
        auto& settings = SettingsStore::shared();
        settings.SaveStoredSetting(writtenPath, writtenName, "first");
        settings.SaveStoredSetting(writtenPath, writtenName + "2", "neighbour");
        QCOMPARE(settings.GetStoredSetting(otherPath, otherName, "<missing>"),
                 QStringLiteral("first"));

        settings.SaveStoredSetting(otherPath, otherName, "second");
        QCOMPARE(settings.GetStoredSetting(writtenPath, writtenName, "<missing>"),
                 QStringLiteral("second"));
        QCOMPARE(settings.GetStoredSetting(otherPath, otherName, "<missing>"),
                 QStringLiteral("second"));
        QCOMPARE(settings.GetStoredSetting(otherPath, otherName + "2", "<missing>"),
                 QStringLiteral("neighbour"));
        QCOMPARE(settings.GetStoredSetting(otherPath + "\\Deeper", otherName, "<missing>"),
                 QStringLiteral("<missing>"));
    }

    // Every stored number is bounded before use: a setting outside its limits counts as missing,
    // so that none turns a protection off; a window's placement or a column's width beyond a
    // limit takes that limit. Text that is no finite number counts as missing (the window is
    // docked to the right edge). A fraction is rounded to the nearest whole number.
    void storedNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("taken"); // least, most, default or ten
        QTest::newRow("9.6") << "9.6"
                             << "ten";
        QTest::newRow("10.4") << "10.4"
                              << "ten";
        QTest::newRow("-1") << "-1"
                            << "least";
        QTest::newRow("-2147483649") << "-2147483649"
                                     << "least";
        QTest::newRow("1,000,000 pixels") << "15000000"
                                          << "most";
        QTest::newRow("1e20") << "1e20"
                              << "most";
        QTest::newRow("1e308") << "1e308"
                               << "most";
        QTest::newRow("nan") << "nan"
                             << "default";
        QTest::newRow("inf") << "inf"
                             << "default";
        QTest::newRow("-inf") << "-inf"
                              << "default";
        QTest::newRow("abc") << "abc"
                             << "default";
        QTest::newRow("empty") << ""
                               << "default";
        QTest::newRow("20,000 digits") << QString(20000, '9') << "default";
    }

    void storedNumbers()
    {
        QFETCH(QString, text);
        QFETCH(QString, taken);
        TestEnv env;
        const auto pick = [&taken](int lLeast, int lMost, int lDefault) {
            return taken == "least"  ? lLeast
                   : taken == "most" ? lMost
                   : taken == "ten"  ? 10
                                     : lDefault;
        };
        clsApp& app = clsApp::shared();
        const struct
        {
            const char* name;
            int (clsApp::*get)() const;
            int byDefault;
        } numbers[] = {
            {"ClearClipboardSeconds", &clsApp::ClearClipboardSeconds, 30},
            {"IdleLockMinutes", &clsApp::IdleLockMinutes, 0},
            {"GeneratorLength", &clsApp::GeneratorLength, 20},
            {"KeepBackups", &clsApp::KeepBackups, 3},
            {"AutoTypeDelayMs", &clsApp::AutoTypeDelayMs, 10},
        };
        for (const auto& n : numbers) {
            store(n.name, text);
            QCOMPARE((app.*n.get)(), taken == "ten" ? 10 : n.byDefault);
        }

        // Placement, one value at a time among usable ones (100, 200, 300, 400 pixels, normal).
        modSubMain::ScreenTwipsPerPixelX = modSubMain::ScreenTwipsPerPixelY = 15;
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QString key = SettingsStore::ProductKeyPath() + "\\frmBounds";
        const QStringList names{"Left", "Top", "Width", "Height", "WindowState"};
        for (const QString& name : names) {
            const QStringList usable{"1500", "3000", "4500", "6000", "0"};
            for (int i = 0; i < names.size(); ++i) {
                SettingsStore::shared().SaveStoredSetting(key, names[i],
                                                          names[i] == name ? text : usable[i]);
            }
            QWidget frm;
            frm.setObjectName("frmBounds");
            frm.resize(250, 300);
            modGeneral::FormPlacement(true, &frm);
            const QRect frame = frm.frameGeometry();
            QVERIFY2(area.adjusted(-7, -7, 0, 0).contains(frame) && !frm.isMaximized(),
                     qPrintable(name));
            const bool docked = frame.right() == area.right() && frame.top() == area.top() &&
                                frame.size() == QSize(250, area.height());
            if (name == "WindowState") {
                QCOMPARE(frame, QRect(100, 200, 300, 400));
            } else if (taken == "default") {
                QVERIFY2(docked, qPrintable(name));
            } else if (taken == "most" && name == "Width") {
                QCOMPARE(frame, QRect(area.left(), 200, area.width(), 400));
            } else if (taken == "most" && name == "Height") {
                QCOMPARE(frame, QRect(100, area.top(), 300, area.height()));
            }
        }

        // The main window's column widths, in pixels.
        const QString mainKey = SettingsStore::ProductKeyPath() + "\\frmMain";
        const QStringList columns{"TITLE_TX", "USER_NM", "PASSWORD_TX", "MY_FILE_NM",
                                  "MY_FILE_PATH_TX"};
        for (const QString& column : columns) {
            SettingsStore::shared().SaveStoredSetting(mainKey, column, text);
        }
        frmMain window;
        const int most = 4 * QGuiApplication::primaryScreen()->geometry().width();
        QCOMPARE(window.grid->GridColumnWidth(1), pick(5, most, 85));
        QCOMPARE(window.grid->GridColumnWidth(2), pick(5, most, 85));
        QCOMPARE(window.grid->GridColumnWidth(3), pick(5, most, 65));
        window.FillFileGrid();
        QCOMPARE(window.grid->GridColumnWidth(1), pick(5, most, 85));
        QCOMPARE(window.grid->GridColumnWidth(2), pick(5, most, 85));
        QVERIFY(env.messages.isEmpty());
    }

    // A settings file up to 1 MB is read; a larger one is neither read nor written, and one
    // message says so however often a setting is asked for or saved.
    void oversizedFile_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("read");
        QTest::newRow("1 MB") << SettingsStore::MAX_FILE_SIZE << true;
        QTest::newRow("1 MB and a byte") << SettingsStore::MAX_FILE_SIZE + 1 << false;
    }

    void oversizedFile()
    {
        QFETCH(qint64, size);
        QFETCH(bool, read);
        TestEnv env(false);
        const QString path =
            QSettings(QSettings::IniFormat, QSettings::UserScope, "QuillonSoftware", "KeyCask")
                .fileName();
        QByteArray bytes = "[General]\nClearClipboardSeconds=5\n;";
        bytes += QByteArray(size - bytes.size() - 1, 'x') + '\n';
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == size);
        file.close();

        clsApp& app = clsApp::shared();
        QCOMPARE(app.ClearClipboardSeconds(), read ? 5 : 30);
        app.setLockOnMinimize(false);
        QCOMPARE(app.LockOnMinimize(), !read);
        if (read) {
            QVERIFY(env.messages.isEmpty());
        } else {
            QCOMPARE(env.messages.size(), 1);
            QCOMPARE(env.messages[0].prompt, SettingsStore::OversizedMessage(path));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), bytes);
        }
    }

    // Fixed paths and version; the report folder is made one level deep only, and silently. An
    // existing one becomes its owner's alone, and the reports a run left behind go.
    void paths()
    {
        TestEnv env(false);
        clsApp& app = clsApp::shared();
        const QString sep = QDir::separator();
        QCOMPARE(app.DatabasePath(), env.AppFolder() + sep + "Database" + sep + "pwd.quillondata");
        QCOMPARE(app.ReportPath(), env.AppFolder() + sep + "Reports");
        QCOMPARE(app.Release(), QStringLiteral("Release 7.0.0"));
        app.MakeReportPath();
        for (const char* name : {"PWD_2026-12-07_153000.rtf", "File_Folders_2026-12-07_153000.rtf",
                                 "PWD_2026-12-07_153000.txt", "notes.txt"}) {
            QFile file(app.ReportPath() + sep + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::setPermissions(app.ReportPath(), QFileDevice::Permissions(0x7755)));
        app.MakeReportPath();
        QVERIFY(QFileInfo(app.ReportPath()).isDir());
        QCOMPARE(QFile::permissions(app.ReportPath()) & 0x0777, QFileDevice::Permissions(0x0700));
        QCOMPARE(QDir(app.ReportPath()).entryList(QDir::Files, QDir::Name),
                 QStringList({"PWD_2026-12-07_153000.txt", "notes.txt"}));

        app.SetApplicationFolder(env.AppFolder() + "/gone/deeper");
        app.MakeReportPath();
        QVERIFY(!QFile::exists(env.AppFolder() + "/gone"));
        QVERIFY(env.messages.isEmpty());
    }

    // The mode follows the program folder: a marker or a data file there keeps everything beside
    // the program; else the data file and reports go to the user's folders and help to the share
    // folder beside the program's bin folder, and the program folder is never written.
    void runMode_data()
    {
        QTest::addColumn<bool>("marker");
        QTest::addColumn<bool>("dataFile");
        QTest::addColumn<bool>("runtimeFolder");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("installed");
        // A folder in the way that is not the user's own: "shared" others can write in, "owned"
        // belongs to another user; "reports" is the session's report folder, "data" the data
        // file's folder (a link to a shared one).
        QTest::addColumn<QString>("foreign");
        QTest::newRow("marker") << true << false << true << false << false << QString();
        QTest::newRow("data file") << false << true << false << false << false << QString();
        QTest::newRow("neither") << false << false << true << false << true << QString();
        QTest::newRow("neither, no runtime folder")
            << false << false << false << false << true << QString();
        QTest::newRow("neither, read-only program folder")
            << false << false << true << true << true << QString();
        QTest::newRow("shared report folder")
            << false << false << true << false << true << "shared reports";
        QTest::newRow("another user's report folder")
            << false << false << true << false << true << "owned reports";
        QTest::newRow("data folder linked to a shared one")
            << false << false << true << false << true << "shared data";
        QTest::newRow("another user's data folder")
            << false << false << true << false << true << "owned data";
    }

    void runMode()
    {
        QFETCH(bool, marker);
        QFETCH(bool, dataFile);
        QFETCH(bool, runtimeFolder);
        QFETCH(bool, readOnly);
        QFETCH(bool, installed);
        QFETCH(QString, foreign);
        if (foreign.startsWith("owned") && ::geteuid() != 0) {
            QSKIP("Giving a folder to another user takes root.");
        }
        TestEnv env(false);
        const QString org = QCoreApplication::organizationName();
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setOrganizationName("QuillonSoftware");
        QCoreApplication::setApplicationName("KeyCask");
        const auto restore = qScopeGuard([&] {
            QCoreApplication::setOrganizationName(org);
            QCoreApplication::setApplicationName(name);
        });
        const QString root = env.AppFolder();
        const QString bin = root + "/usr/bin";
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QDir().mkpath(root + "/run"));
        qputenv("XDG_DATA_HOME", (root + "/home/.local/share").toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", (root + (runtimeFolder ? "/run" : "/no-run")).toLocal8Bit());
        if (marker) {
            QFile file(bin + "/keycask.portable");
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (dataFile) {
            modSchema::CreateDataFile(bin + "/Database/pwd.quillondata");
        }
        const QStringList before = QDir(bin).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        if (readOnly) {
            QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner));
        }
        const QString user = root + "/home/.local/share/QuillonSoftware/KeyCask";
        const QString foreignFolder =
            foreign.endsWith("reports") ? root + "/run/keycask" : user + "/Database";
        const QString strangerReport = foreignFolder + "/PWD_2026-12-07_153000.rtf";
        if (!foreign.isEmpty()) {
            QVERIFY(QDir().mkpath(foreign == "shared data" ? root + "/shared" : foreignFolder));
            if (foreign == "shared data") {
                QVERIFY(QDir().mkpath(user));
                QVERIFY(QFile::link(root + "/shared", foreignFolder));
            }
            QFile file(strangerReport);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(::chmod(QFile::encodeName(foreignFolder).constData(),
                            foreign.startsWith("shared") ? 0777 : 0755) == 0);
            if (foreign.startsWith("owned")) {
                QVERIFY(::chown(QFile::encodeName(foreignFolder).constData(), 65534, 65534) == 0);
            }
        }
        clsApp& app = clsApp::shared();
        app.SetApplicationFolder(bin);

        QCOMPARE(app.RunMode(), installed ? clsApp::Mode::Installed : clsApp::Mode::Folder);
        QCOMPARE(app.DatabasePath(),
                 QDir::toNativeSeparators((installed ? user : bin) + "/Database/pwd.quillondata"));
        const bool sessionReports = runtimeFolder && !foreign.endsWith("reports");
        QCOMPARE(app.ReportPath(), QDir::toNativeSeparators(!installed       ? bin + "/Reports"
                                                            : sessionReports ? root + "/run/keycask"
                                                                             : user + "/Reports"));
        QCOMPARE(app.HelpPath(), QDir::toNativeSeparators(
                                     installed ? root + "/usr/share/keycask/help" : bin + "/help"));
        app.MakeReportPath();
        QVERIFY(QFileInfo(app.ReportPath()).isDir());
        QCOMPARE(QFile::permissions(app.ReportPath()) & 0x0777, QFileDevice::Permissions(0x0700));
        if (installed) {
            QCOMPARE(QDir(bin).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        }
        // Nothing in a folder that is not the user's own is touched; a data folder of that kind
        // ends the start with a message naming it.
        if (!foreign.isEmpty()) {
            QVERIFY(QFileInfo::exists(strangerReport));
        }
        QCOMPARE(app.DataFolderProblem().isEmpty(), !foreign.endsWith("data"));
        if (foreign.endsWith("data")) {
            QVERIFY(app.DataFolderProblem().contains(QDir::toNativeSeparators(foreignFolder)));
            QVERIFY(!modSubMain::Main());
            QCOMPARE(env.messages.size(), 1);
            QCOMPARE(env.messages[0].prompt, app.DataFolderProblem());
            QCOMPARE(QDir(foreignFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     QStringList{"PWD_2026-12-07_153000.rtf"});
        }
        QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // Without HOME, installed mode finds the user's folders in the home of the password database,
    // never under the root folder.
    void homeUnset()
    {
        TestEnv env(false);
        const QByteArray home = qgetenv("HOME");
        const QString org = QCoreApplication::organizationName();
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setOrganizationName("QuillonSoftware");
        QCoreApplication::setApplicationName("KeyCask");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", home);
            QCoreApplication::setOrganizationName(org);
            QCoreApplication::setApplicationName(name);
        });
        qunsetenv("HOME");
        qunsetenv("XDG_DATA_HOME");
        const passwd* user = ::getpwuid(::geteuid());
        QVERIFY(user && user->pw_dir);
        clsApp& app = clsApp::shared();
        app.SetApplicationFolder(env.AppFolder() + "/usr/bin");
        QCOMPARE(app.RunMode(), clsApp::Mode::Installed);
        QCOMPARE(app.DatabasePath(),
                 QDir::toNativeSeparators(QString::fromLocal8Bit(user->pw_dir) +
                                          "/.local/share/QuillonSoftware/KeyCask/Database/"
                                          "pwd.quillondata"));
    }
};

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
