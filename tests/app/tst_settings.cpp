// Tests of clsApp: stored Boolean settings, paths, version text and the report folder.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "platform/AppError.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

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
        QTest::addColumn<QString>("expected"); // true, false or error
        const char* const rows[][2] = {{"-1", "true"},     {"5", "true"},       {" True ", "true"},
                                       {"FALSE", "false"}, {"0", "false"},      {"0.0", "false"},
                                       {"yes", "error"},   {"1 true", "error"}, {"", "error"}};
        for (const auto& row : rows) {
            QTest::addRow("\"%s\"", row[0]) << row[0] << row[1];
        }
    }

    // A value stored by hand is read by the Boolean text rule; other text is a type mismatch.
    void storedText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        TestEnv env(false);
        for (const Setting& s : Settings) {
            store(s.name, text);
            try {
                QCOMPARE(QString((clsApp::shared().*s.get)() ? "true" : "false"), expected);
            } catch (const AppError& e) {
                QCOMPARE(QStringLiteral("error"), expected);
                QCOMPARE(e.Number(), AppError::TypeMismatch);
                QVERIFY2(e.Description().contains(s.name) &&
                             e.Description().contains('"' + text + '"'),
                         qPrintable(e.Description()));
            }
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
};

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
