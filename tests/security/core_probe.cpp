// The process the core check looks into, in three separate runs so that the run looked into
// learns the passwords only from the data file and its keyboard:
//   core_probe make FOLDER SEED   a data file in FOLDER/Database with a master row and 20
//                                 entries whose passwords are long, distinct and made from SEED
//   core_probe run FOLDER CORE    reads the master password from standard input, starts as the
//                                 program does, signs in, opens the editor on an entry and
//                                 closes it, locks, then writes its own core
//                                 with gcore to CORE
//   core_probe master SEED        prints the master password of SEED
//   core_probe check CORE SEED    prints every password of SEED found in the core, as UTF-16LE
//                                 or UTF-8; exits 1 when it found one, 2 when it could not look
#include "app/clsApp.h"
#include "app/modSubMain.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modSchema.h"
#include "platform/Grid.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kEntries = 20;

// Password n of a seed (n = 0 is the master password): 40 characters, each different.
QString secret(const QString& sSeed, int n)
{
    return QStringLiteral("%1-%2-kc-secret-%3-zq")
        .arg(sSeed)
        .arg(n, 2, 10, QChar(u'0'))
        .arg(QString::number(qHash(sSeed) ^ (0x9e3779b9u * unsigned(n + 1)), 36))
        .leftJustified(40, QChar(u'x'));
}

void pointAt(const QString& sFolder)
{
    // A folder of its own for the data file (the portable marker), never the user's data folder.
    QDir().mkpath(sFolder);
    QFile marker(sFolder + QLatin1Char('/') + QLatin1String(clsApp::PORTABLE_MARKER));
    if (!marker.exists() && marker.open(QIODevice::WriteOnly)) {
        marker.close();
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, sFolder + "/settings");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, sFolder + "/settings");
    clsApp::shared().SetApplicationFolder(sFolder);
    MsgBox::SetResponder([](const MsgBox::Call& call) {
        std::fprintf(stderr, "message: %s\n", qPrintable(call.prompt));
        return int(MsgBox::vbOK);
    });
}

int make(const QString& sFolder, const QString& sSeed)
{
    pointAt(sFolder);
    clsDB& db = clsDB::shared();
    db.Database = clsApp::shared().DatabasePath();
    modSchema::CreateDataFile(db.Database);
    if (!db.OpenConnection(true)) {
        return 2;
    }
    clsPWD& master = clsPWD::Master();
    master.TITLE_TX = master.USER_NM = QStringLiteral("KeyCask");
    master.PASSWORD_TX = secret(sSeed, 0);
    if (!master.SaveMasterRow()) {
        return 2;
    }
    for (int n = 1; n <= kEntries; ++n) {
        clsPWD entry;
        entry.TITLE_TX = QStringLiteral("Entry %1").arg(n);
        entry.USER_NM = QStringLiteral("user%1").arg(n);
        entry.PASSWORD_TX = secret(sSeed, n);
        entry.WEB_SITE_TX = QStringLiteral("site%1.example").arg(n);
        if (!entry.Save(true)) {
            return 2;
        }
    }
    db.CloseConnection();
    return 0;
}

// Runs the event loop for a while, so that queued work (deferred deletes, paints) is done.
void settle()
{
    for (int round = 0; round < 10; ++round) {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        QTest::qWait(10);
    }
}

template <typename T> T* topLevel()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(w); found && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

int run(const QString& sFolder, const QString& sCore)
{
    pointAt(sFolder);
    // The master password from standard input into a buffer of our own, zeroed once typed.
    char typed[256] = {};
    const ssize_t got = ::read(STDIN_FILENO, typed, sizeof(typed) - 1);
    if (got <= 0) {
        return 2;
    }
    if (!modSubMain::Main()) {
        return 2;
    }
    frmLogin* login = topLevel<frmLogin>();
    if (!login) {
        return 2;
    }
    for (ssize_t i = 0; i < got && typed[i] != '\n'; ++i) {
        QTest::keyClick(login->txt[0], typed[i]);
    }
    SecretText::Zero(typed, sizeof(typed));
    QTest::keyClick(login->txt[0], Qt::Key_Return);
    settle();
    frmMain* main = topLevel<frmMain>();
    if (!main) {
        std::fprintf(stderr, "not signed in\n");
        return 2;
    }
    // The editor on the first entry, closed again at once.
    main->grid->GridSelectCell(1, 1, true);
    QTimer::singleShot(0, [] {
        if (QWidget* editor = QApplication::activeModalWidget()) {
            QMetaObject::invokeMethod(editor, "reject");
        }
    });
    main->linkAction_Click(1);
    settle();
    main->LockWindow();
    settle();
    if (!main->IsLocked()) {
        std::fprintf(stderr, "not locked\n");
        return 2;
    }
    // Start-up made the process unreadable for others; this test program lets its own child,
    // gcore, in again. The program itself has no way to do so.
    ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
    const pid_t self = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        const QByteArray pid = QByteArray::number(self);
        const QByteArray prefix = QFile::encodeName(sCore);
        ::execlp("gcore", "gcore", "-o", prefix.constData(), pid.constData(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
#ifdef PR_SET_PTRACER
    ::prctl(PR_SET_PTRACER, child, 0, 0, 0);
#endif
    int status = 0;
    ::waitpid(child, &status, 0);
    const QString written = sCore + QLatin1Char('.') + QString::number(self);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !QFile::rename(written, sCore)) {
        std::fprintf(stderr, "gcore failed\n");
        return 2;
    }
    return 0;
}

int check(const QString& sCore, const QString& sSeed)
{
    QFile file(sCore);
    if (!file.open(QIODevice::ReadOnly)) {
        return 2;
    }
    const QByteArray core = file.readAll();
    int found = 0;
    for (int n = 0; n <= kEntries; ++n) {
        const QString plain = secret(sSeed, n);
        const QByteArray utf16(reinterpret_cast<const char*>(plain.utf16()), plain.size() * 2);
        for (const QByteArray& needle : {plain.toUtf8(), utf16}) {
            if (core.contains(needle)) {
                std::printf("%s %s found in the core\n", n == 0 ? "master password" : "password",
                            needle.size() == plain.size() ? "UTF-8" : "UTF-16LE");
                ++found;
            }
        }
    }
    std::printf("%d of %d passwords looked for in %lld bytes were found\n", found,
                2 * (kEntries + 1), static_cast<long long>(core.size()));
    return found == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KeyCask"));
    QApplication::setOrganizationName(QStringLiteral("QuillonSoftware"));
    const QStringList args = QApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1String("make")) {
        return make(args[2], args[3]);
    }
    if (args.size() == 4 && args[1] == QLatin1String("run")) {
        return run(args[2], args[3]);
    }
    if (args.size() == 3 && args[1] == QLatin1String("master")) {
        std::printf("%s\n", qPrintable(secret(args[2], 0)));
        return 0;
    }
    if (args.size() == 4 && args[1] == QLatin1String("check")) {
        return check(args[2], args[3]);
    }
    std::fprintf(stderr, "usage: core_probe make FOLDER SEED | master SEED | run FOLDER CORE | "
                         "check CORE SEED\n");
    return 2;
}
