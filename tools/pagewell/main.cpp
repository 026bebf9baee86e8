#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PagewellHost.h"
#include "PagewellLog.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[0], &byte, 1);
}

// Pages are drawn only where there is a display to draw on, and not when asked to stay headless.
bool renderWanted()
{
    if (qgetenv("PAGEWELL_RENDER") == "0")
        return false;
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return false;
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}

// The web engine's sandbox needs a user, pid and network namespace of its own; try making them.
bool sandboxUsable()
{
    if (geteuid() == 0)
        return false;
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0)
        _exit(unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET) == 0 ? 0 : 1);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

// pagewell.exe "<server name>" "<kind>": the stand-in web host.
int main(int argc, char **argv)
{
    // Termination is caught from the first instant: building the application object takes a
    // while, and a signal meanwhile must still end us through the event loop, with code 0.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        // A burst of signals must never block the handler on a full pipe.
        fcntl(g_signalPipe[0], F_SETFL, fcntl(g_signalPipe[0], F_GETFL) | O_NONBLOCK);
        struct sigaction sa = {};
        sa.sa_handler = onTerminate;
        sa.sa_flags = SA_RESTART;
        sigemptyset(&sa.sa_mask);
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            sigaction(sig, &sa, nullptr);
    }

    // Die with the client that started us; the first check covers a parent gone before prctl.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        return 0;

    const bool render = renderWanted();
    std::unique_ptr<QCoreApplication> app;
    if (render) {
        if (qgetenv("QTWEBENGINE_DISABLE_SANDBOX").isEmpty() && !sandboxUsable())
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        app = std::make_unique<QApplication>(argc, argv);
        // The views come and go with the client's page windows, never with our own windows.
        QApplication::setQuitOnLastWindowClosed(false);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    const QStringList args = app->arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: pagewell.exe <server name> [kind]\n");
        return 2;
    }

    // A termination signal ends the event loop, so the views and the web engine's helper
    // processes are shut down instead of being left behind; one that came earlier is waiting in
    // the pipe.
    if (g_signalPipe[1] >= 0) {
        auto *terminate = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, app.get());
        QObject::connect(terminate, &QSocketNotifier::activated, app.get(), [] { QCoreApplication::exit(0); });
    }

    int code = 0;
    {
        PagewellHost host(args.at(1), args.value(2, QStringLiteral("1")), render);
        if (!host.listen()) {
            std::fprintf(stderr, "pagewell: cannot listen on %s\n", qPrintable(args.at(1)));
            return 1;
        }
        host.loadScript(QString::fromLocal8Bit(qgetenv("PAGEWELL_SCRIPT")));
        const QString control = QString::fromLocal8Bit(qgetenv("PAGEWELL_CONTROL"));
        if (!control.isEmpty() && !host.listenControl(control))
            std::fprintf(stderr, "pagewell: cannot listen on control %s\n", qPrintable(control));

        // Belt and braces where the death signal is not delivered (a reparented child).
        QTimer parentWatch;
        QObject::connect(&parentWatch, &QTimer::timeout, app.get(), [parent] {
            if (getppid() != parent)
                QCoreApplication::exit(0);
        });
        parentWatch.start(500);
        code = app->exec();
    }
    app.reset();
    // The last line tells how we ended; a crash while shutting down leaves it out.
    PagewellLog(QString::fromLocal8Bit(qgetenv("PAGEWELL_LOG"))).write({{"event", "end"}, {"code", code}});
    return code;
}
