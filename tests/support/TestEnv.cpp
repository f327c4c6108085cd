// A private world for one test: application folder, data file, settings, messages, launches.
#include "TestEnv.h"

#include "app/FileHelper.h"
#include "app/clsApp.h"
#include "data/clsDB.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "data/modSchema.h"
#include "platform/SqlConnection.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QSettings>
#include <QTest>

TestEnv::TestEnv(bool bCreateDataFile)
{
    QVERIFY2(m_dir.isValid(), "temporary folder");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath("settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("settings"));
    // The folder runs in folder mode, as the build folder does; the user's own folders, which an
    // installed copy would use, are scratch folders too.
    QFile marker(m_dir.filePath(clsApp::PORTABLE_MARKER));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    qputenv("XDG_DATA_HOME", m_dir.filePath("xdg-data").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", m_dir.filePath("xdg-runtime").toLocal8Bit());
    clsApp::shared().SetApplicationFolder(m_dir.path());
    clsPWD::Master() = clsPWD();
    clsDB& db = clsDB::shared();
    db.CloseConnection();
    db.EndSession();
    db.ReadOnly = false;
    db.Key = clsDB::DatabasePassword();
    db.KdfIter = 0;
    db.Database = DataFilePath();
    if (bCreateDataFile) {
        modSchema::CreateDataFile(DataFilePath());
        db.OpenConnection(true);
    }
    MsgBox::SetResponder([this](const MsgBox::Call& call) {
        messages.append(call);
        if (answer) {
            return answer(call);
        }
        return static_cast<int>(MsgBox::vbOK);
    });
    FileDialog::SetResponder([this](const FileDialog::Call& call) {
        fileRequests.append(call);
        return chosenFile;
    });
    FileHelper::SetLaunchHook([this](const QUrl& url) {
        launches.append(url);
        return true;
    });
}

TestEnv::~TestEnv()
{
    clsDB::shared().CloseConnection();
    clsDB::shared().EndSession();
    clsDB::shared().OnReloaded = {};
    clsDB::shared().OnForeignFile = {};
    clsDB::shared().ReadOnly = false;
    clsDB::shared().Key = clsDB::DatabasePassword();
    clsDB::shared().KdfIter = 0;
    clsPWD::Master() = clsPWD();
    MsgBox::SetResponder({});
    FileDialog::SetResponder({});
    FileHelper::SetLaunchHook({});
    clsApp::shared().SetApplicationFolder(QString());
}

QString TestEnv::AppFolder() const
{
    return QDir::toNativeSeparators(m_dir.path());
}

QString TestEnv::DataFilePath() const
{
    return clsApp::shared().DatabasePath();
}

void TestEnv::RawExecute(const QString& sSql) const
{
    SqlConnection connection;
    connection.Open(DataFilePath(), clsDB::DatabasePassword(), SqlConnection::Mode::ReadWrite);
    connection.Execute(sSql);
}

QString TestEnv::RawScalar(const QString& sSql) const
{
    SqlConnection connection;
    connection.Open(DataFilePath(), clsDB::DatabasePassword(), SqlConnection::Mode::ReadOnly);
    auto rs = connection.Execute(sSql);
    if (rs->EndOfRows()) {
        return QString();
    }
    // The first column, whatever its name.
    return rs->FieldAt(0);
}

void TestEnv::ReopenReadOnly()
{
    clsDB& db = clsDB::shared();
    db.CloseConnection();
    db.ReadOnly = true;
    db.OpenConnection(true);
}

QString TestEnv::AddPassword(const QString& sTitle, const QString& sUser, const QString& sPassword,
                             const QString& sSite, const QString& sNotes)
{
    clsPWD entry;
    entry.TITLE_TX = sTitle;
    entry.USER_NM = sUser;
    entry.PASSWORD_TX = sPassword;
    entry.WEB_SITE_TX = sSite;
    entry.NOTES_TX = sNotes;
    entry.Save(true);
    return entry.PASSWORD_ID;
}

QString TestEnv::AddFolder(const QString& sName, const QString& sPath, const QString& sNotes)
{
    clsMY_FILE entry;
    entry.MY_FILE_NM = sName;
    entry.MY_FILE_PATH_TX = sPath;
    entry.NOTES_TX = sNotes;
    entry.Save(true);
    return entry.MY_FILE_ID;
}

QStringList TestEnv::TabNames(QWidget* first)
{
    QStringList names;
    first->setFocus(Qt::TabFocusReason);
    QWidget* start = QApplication::focusWidget();
    QWidget* current = start;
    // A bound in case the focus never comes back.
    for (int i = 0; current && i < 40; ++i) {
        // What a screen reader says for it: its label's text where it has one, its name else
        // (an editable drop-down list takes its text for its name).
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(current);
        const auto labels = iface->relations(QAccessible::Label);
        names << (labels.isEmpty() ? iface->text(QAccessible::Name)
                                   : labels.first().first->text(QAccessible::Name));
        QTest::keyClick(current, Qt::Key_Tab);
        current = QApplication::focusWidget();
        if (current == start) {
            break;
        }
    }
    return names;
}

QStringList TestEnv::ImageNames(const QWidget* window)
{
    QStringList names;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->pixmap().isNull()) {
            continue;
        }
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(label);
        const QString name = iface->text(QAccessible::Name);
        names << (!name.isEmpty()            ? name
                  : iface->state().invisible ? QStringLiteral("(silent)")
                                             : QStringLiteral("(unnamed)"));
    }
    return names;
}
