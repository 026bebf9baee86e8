#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "VCheckFileCacheHandler.h"
#include "win32api.h"

namespace {

// Whether the window system can be used: Qt ends the process (abort) when its platform cannot
// start (a display server that is named but not reachable, a graphics device that is missing) or
// when a window is made without a screen. So a child tries first, silently, and its end tells;
// one that hangs counts as no.
bool platformStarts(int argc, char **argv)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        const struct rlimit noCore = {0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        QGuiApplication probe(argc, argv);
        ::_exit(QGuiApplication::primaryScreen() ? 0 : 1);
    }
    if (child < 0)
        return false;
    int status = 0;
    for (int waited = 0; waited < 10000; waited += 10) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return false;
}

// Whether a question box can be seen and answered: not so from a service, a scheduled job or a
// console without a display, where building the widget application alone would end the process.
bool canAsk(int argc, char **argv)
{
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof(flags), &needed)
        && (flags.dwFlags & WSF_VISIBLE) && platformStarts(argc, argv);
}

} // namespace

// One pass and out: the event loop is never entered, and the exit code is always 0.
int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool force = VCheckFileCacheHandler::forceFromArguments(arguments);
    // Cleaning at once needs no window; only a pass that may ask needs the widget application.
    const bool ask = !force && canAsk(argc, argv);
    std::unique_ptr<QCoreApplication> app(ask ? new QApplication(argc, argv) : new QCoreApplication(argc, argv));
    {
        VCheckFileCacheHandler handler;
        handler.setForce(force);
        if (!ask) {
            handler.setQuestion([](const QString &, const QString &text) {
                std::cerr << "[ClearCache]No display to ask on, nothing deleted: " << text.toUtf8().constData()
                          << std::endl;
                return QMessageBox::No;
            });
        }
        handler.run();
    }
    std::cout.flush();
    return 0;
}
