// Tests of clsApp: stored Boolean settings, paths, version text, report folder, window keys.
#include "TestEnv.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "platform/AppError.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QWidget>

namespace {

// One stored Boolean setting of clsApp, reached through its read and write properties.
struct Setting
{
    const char* name;
    bool (clsApp::*get)() const;
    void (clsApp::*set)(bool);
};

const Setting Settings[] = {
    {"AlwaysOnTop", &clsApp::AlwaysOnTop, &clsApp::setAlwaysOnTop},
    {"BalloonShown", &clsApp::BalloonShown, &clsApp::setBalloonShown},
    {"LockOnMinimize", &clsApp::LockOnMinimize, &clsApp::setLockOnMinimize},
    {"ShowNotesOwnColumn", &clsApp::ShowNotesOwnColumn, &clsApp::setShowNotesOwnColumn},
};

QString stored(const QString& sName)
{
    return SettingsStore::shared().GetStoredSetting(SettingsStore::ProductKeyPath(), sName,
                                                    QStringLiteral("<missing>"));
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
    void booleanSettings_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("defaultValue");
        QTest::newRow("AlwaysOnTop") << 0 << false;
        QTest::newRow("BalloonShown") << 1 << false;
        QTest::newRow("LockOnMinimize") << 2 << true;
        QTest::newRow("ShowNotesOwnColumn") << 3 << false;
    }

    // Default on an empty store, then each write is stored at once as "1" or "0".
    void booleanSettings()
    {
        QFETCH(int, index);
        QFETCH(bool, defaultValue);
        TestEnv env(false);
        clsApp& app = clsApp::shared();
        const Setting& s = Settings[index];
        const QString name = QString::fromLatin1(s.name);

        QCOMPARE(stored(name), QStringLiteral("<missing>"));
        QCOMPARE((app.*s.get)(), defaultValue);

        (app.*s.set)(true);
        QCOMPARE(stored(name), QStringLiteral("1"));
        QCOMPARE((app.*s.get)(), true);
        (app.*s.set)(false);
        QCOMPARE(stored(name), QStringLiteral("0"));
        QCOMPARE((app.*s.get)(), false);

        // Nothing is cached: a value changed behind clsApp's back is read as it is now.
        store(name, QStringLiteral("1"));
        QCOMPARE((app.*s.get)(), true);
    }

    void storedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // true, false or the error
        const QStringList trueTexts{"1", "-1", "5", "True", "true", " 1 "};
        const QStringList falseTexts{"false", "FALSE", "0", "0.0"};
        const QStringList errorTexts{"yes", "on", "1 true", ""};
        for (const QString& text : trueTexts) {
            QTest::addRow("\"%s\"", qPrintable(text)) << text << "true";
        }
        for (const QString& text : falseTexts) {
            QTest::addRow("\"%s\"", qPrintable(text)) << text << "false";
        }
        for (const QString& text : errorTexts) {
            QTest::addRow("\"%s\"", qPrintable(text)) << text << "error";
        }
    }

    // A value stored by hand is read by the Boolean text rule; other text raises an error.
    void storedText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        TestEnv env(false);
        for (const Setting& s : Settings) {
            store(QString::fromLatin1(s.name), text);
            try {
                const bool value = (clsApp::shared().*s.get)();
                QCOMPARE(QString::fromLatin1(value ? "true" : "false"), expected);
            } catch (const AppError& e) {
                QCOMPARE(QStringLiteral("error"), expected);
                QVERIFY2(e.Description().contains(text), qPrintable(e.Description()));
            }
        }
    }

    void pathsAndVersion()
    {
        TestEnv env(false);
        const clsApp& app = clsApp::shared();
        const QString sep = QDir::separator();
        QCOMPARE(app.DatabasePath(), env.AppFolder() + sep + "Database" + sep + "pwd.quillondata");
        QCOMPARE(app.ReportPath(), env.AppFolder() + sep + "Reports");
        QVERIFY(!clsApp::ApplicationFolder().endsWith(sep));
        QCOMPARE(app.MajorMinorRevision(), QStringLiteral("7.0.0"));
        QCOMPARE(app.Release(), QStringLiteral("Release 7.0.0"));
    }

    void makeReportPath_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("missing") << "missing";
        QTest::newRow("exists") << "exists";
        QTest::newRow("parent missing") << "parent missing";
    }

    void makeReportPath()
    {
        QFETCH(QString, situation);
        TestEnv env(false);
        clsApp& app = clsApp::shared();
        if (situation == "parent missing") {
            app.SetApplicationFolder(env.AppFolder() + "/gone/deeper");
        }
        const QString reports = app.ReportPath();
        const QString kept = reports + QDir::separator() + "kept.rtf";
        if (situation == "exists") {
            QVERIFY(QDir().mkpath(reports));
            QFile file(kept);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }

        app.MakeReportPath();

        QCOMPARE(QFileInfo(reports).isDir(), situation != "parent missing");
        QCOMPARE(QFile::exists(kept), situation == "exists");
        QVERIFY(!QFile::exists(env.AppFolder() + "/gone"));
        QVERIFY(env.messages.isEmpty());
    }

    // Window values live one level below the product key and stay apart from its values.
    void formKeyPath()
    {
        TestEnv env(false);
        QWidget frm;
        frm.setObjectName(QStringLiteral("frmMain"));
        const QString keyPath = modGeneral::GetFormKeyPath(&frm);
        QCOMPARE(keyPath, SettingsStore::ProductKeyPath() + "\\frmMain");

        auto& settings = SettingsStore::shared();
        settings.SaveStoredSetting(keyPath, QStringLiteral("Left"), QStringLiteral("1234"));
        settings.SaveStoredSetting(keyPath, QStringLiteral("AlwaysOnTop"), QStringLiteral("1"));
        store(QStringLiteral("Left"), QStringLiteral("-60"));

        QCOMPARE(settings.GetStoredSetting(keyPath, QStringLiteral("Left"), QString()),
                 QStringLiteral("1234"));
        QCOMPARE(stored(QStringLiteral("Left")), QStringLiteral("-60"));
        QCOMPARE(stored(QStringLiteral("AlwaysOnTop")), QStringLiteral("<missing>"));
        QCOMPARE(clsApp::shared().AlwaysOnTop(), false);
        QCOMPARE(settings.GetStoredSetting(keyPath, QStringLiteral("Top"), QStringLiteral("d")),
                 QStringLiteral("d"));
    }
};

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
