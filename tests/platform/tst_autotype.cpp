// Typing into another program's window, end to end, in a private X server with a window manager:
// a small login form takes the keys KeyCask sends through the context command, its key and the
// global shortcut (pressed with xdotool); a focus change stops the typing. Skipped, with the
// reason, where no X server can be started.
#include "TestEnv.h"
#include "data/clsPWD.h"
#include "platform/AutoType.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <memory>

#include <X11/Xlib.h>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kMaster = u"Master pw"_s;
const QString kUser = u"ann.example"_s;
const QString kPassword = u"pé Ω漢 x"_s;

// The private X session: the server, the window manager, and why there is none.
struct Session
{
    pid_t server = 0;
    pid_t manager = 0;
    QString missing;
};
Session g_session;

pid_t spawn(const std::vector<const char*>& args)
{
    pid_t pid = 0;
    std::vector<char*> argv;
    for (const char* arg : args) {
        argv.push_back(const_cast<char*>(arg));
    }
    argv.push_back(nullptr);
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : 0;
}

// Starts Xvfb on a free display and openbox on it; DISPLAY then names it. Waits at most 10 s.
void startSession()
{
    for (const char* tool : {"Xvfb", "openbox", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            g_session.missing = QString::fromLatin1(tool) + u" is not installed"_s;
            return;
        }
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        g_session.missing = u"no pipe for the X server"_s;
        return;
    }
    const QByteArray fd = QByteArray::number(fds[1]);
    g_session.server = spawn(
        {"Xvfb", "-displayfd", fd.constData(), "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    ::close(fds[1]);
    QByteArray display;
    pollfd wait{fds[0], POLLIN, 0};
    char c = 0;
    while (g_session.server && ::poll(&wait, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 &&
           c != '\n') {
        display.append(c);
    }
    ::close(fds[0]);
    if (display.isEmpty()) {
        g_session.missing = u"no X server could be started"_s;
        return;
    }
    qputenv("DISPLAY", ":" + display);
    g_session.manager = spawn({"openbox", "--sm-disable"});
    Display* x = XOpenDisplay(nullptr);
    const Atom check = x ? XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", False) : 0;
    for (int i = 0; x && i < 200; ++i) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(x, DefaultRootWindow(x), check, 0, 1, False, AnyPropertyType, &type,
                           &format, &count, &after, &data);
        if (data) {
            XFree(data);
        }
        if (count == 1) {
            XCloseDisplay(x);
            qputenv("QT_QPA_PLATFORM", "xcb");
            return;
        }
        ::usleep(50000);
    }
    if (x) {
        XCloseDisplay(x);
    }
    g_session.missing = u"the window manager did not start"_s;
}

void stopSession()
{
    for (const pid_t pid : {g_session.manager, g_session.server}) {
        if (pid) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
}

// Activates a window as a user's click on it would.
void activate(unsigned long ulWindow)
{
    QProcess::execute(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, QString::number(ulWindow)});
}

// The login form, and what its boxes hold as it last reported.
struct Target
{
    QProcess process;
    unsigned long window = 0;
    QString user;
    QString password;
    bool submitted = false;

    explicit Target(const QString& sTitle)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).chopped(1);
                const QString value = line.section(u' ', 1);
                if (line.startsWith(u"ready "_s)) {
                    window = value.toULong();
                } else if (line.startsWith(u"user "_s) || line == u"user"_s) {
                    user = value;
                } else if (line.startsWith(u"password "_s) || line == u"password"_s) {
                    password = value;
                } else if (line == u"submit"_s) {
                    submitted = true;
                }
            }
        });
        process.start(QStringLiteral(AUTOTYPE_TARGET_PATH), {sTitle});
    }
    ~Target()
    {
        process.kill();
        process.waitForFinished();
    }
};

} // namespace

class tst_AutoType : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<frmMain> main;

    // The main window, active, with the sample entry and the shortcut grabbed.
    void openMain()
    {
        main = std::make_unique<frmMain>();
        main->show();
        activate(main->winId());
        QTRY_COMPARE(AutoType::ActiveWindow(), main->winId());
        main->ApplyAutoTypeShortcut();
        main->grid->GridSelectCell(1, 1, true);
    }

    // A login form that has the keyboard.
    void openTarget(Target& target)
    {
        QTRY_VERIFY(target.window != 0);
        activate(target.window);
        QTRY_COMPARE(AutoType::ActiveWindow(), target.window);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!g_session.missing.isEmpty()) {
            QSKIP(qPrintable(g_session.missing));
        }
        QVERIFY(AutoType::Available());
    }

    void init()
    {
        env = std::make_unique<TestEnv>();
        TestEnv::AddPassword(u"KeyCask"_s, u"KeyCask"_s, kMaster);
        clsPWD::Master().OpenRecord(u"1"_s);
        TestEnv::AddPassword(u"Example Login"_s, kUser, kPassword);
        TestEnv::AddPassword(u"Mail"_s, u"other"_s, u"secret"_s);
    }

    void cleanup()
    {
        AutoType::StepHook = nullptr;
        main.reset();
        env.reset();
    }

    // Each way types the selected entry (or the one the window's title names) exactly, in
    // characters the layout has and ones it lacks; the password alone is not submitted.
    void typing_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("userName");
        QTest::newRow("context command") << u"menu"_s << true;
        QTest::newRow("Ctrl+Shift+P") << u"key"_s << false;
        QTest::newRow("global shortcut") << u"shortcut"_s << true;
        QTest::newRow("global shortcut while locked") << u"locked"_s << true;
    }

    void typing()
    {
        QFETCH(QString, way);
        QFETCH(bool, userName);
        Target target(u"Example Login - Target"_s);
        openTarget(target);
        openMain();
        if (way == u"menu"_s) {
            main->mnuType[0]->trigger();
        } else if (way == u"key"_s) {
            QTest::keyClick(main->grid, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            if (way == u"locked"_s) {
                main->LockWindow();
            }
            activate(target.window);
            QTRY_COMPARE(AutoType::ActiveWindow(), target.window);
            QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+alt+a"_s});
            if (way == u"locked"_s) {
                QTRY_COMPARE(AutoType::ActiveWindow(), main->winId());
                QVERIFY(main->IsLocked());
                main->txtPassword->setText(kMaster);
                main->cmdUnlock->click();
            }
        }
        // The password alone goes to the box that has the focus, the first.
        QTRY_COMPARE_WITH_TIMEOUT(userName ? target.password : target.user, kPassword, 10000);
        QCOMPARE(userName ? target.user : target.password, userName ? kUser : QString());
        QTRY_COMPARE(target.submitted, userName);
        QCOMPARE(env->messages.size(), 0);
    }

    // The typing stops at the first key after another window took the keyboard.
    void focusChangeStops()
    {
        Target target(u"Example Login - Target"_s);
        Target other(u"Other"_s);
        QTRY_VERIFY(target.window != 0 && other.window != 0);
        // The window the user came from.
        openTarget(target);
        openMain();
        AutoType::StepHook = [&other](int lAt) {
            if (lAt == 3) {
                activate(other.window);
            }
        };
        main->mnuType[0]->trigger();
        QTRY_COMPARE(env->messages.size(), 1);
        QVERIFY(env->messages[0].prompt.contains(u"stopped typing"_s));
        QTRY_COMPARE(target.user, kUser.left(4));
        QCOMPARE(other.user, QString());
        QCOMPARE(target.password, QString());
    }
};

int main(int argc, char* argv[])
{
    startSession();
    int result = 0;
    {
        QApplication app(argc, argv);
        tst_AutoType test;
        result = QTest::qExec(&test, argc, argv);
    }
    stopSession();
    return result;
}

#include "tst_autotype.moc"
