#include "ShutdownSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtDebug>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

static int g_fds[2] = {-1, -1};
static bool g_received = false; // GUI thread only
static ShutdownSignals *g_instance = nullptr;

void ShutdownSignals::onSignal(int signo)
{
    const int saved = errno;
    const char byte = static_cast<char>(signo);
    // Only async-signal-safe work here; the notifier does the rest on the GUI thread.
    const ssize_t n = ::write(g_fds[0], &byte, 1);
    (void)n;
    errno = saved;
}

ShutdownSignals *ShutdownSignals::install(QObject *parent)
{
    if (g_instance)
        return nullptr;
    if (g_fds[0] < 0) {
        // Non-blocking, so that signals nobody reads any more never stall the handler.
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0) {
            qWarning() << "ShutdownSignals: no socket pair";
            return nullptr;
        }
        // Kept for the rest of the process: a signal that comes once the notifier has gone with
        // the application (a second one from the same sender, say) must not cut the shut-down
        // short by the default action.
        struct sigaction action = {};
        action.sa_handler = &ShutdownSignals::onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGHUP, &action, nullptr);
    }
    return g_instance = new ShutdownSignals(parent);
}

bool ShutdownSignals::received()
{
    return g_received;
}

ShutdownSignals::ShutdownSignals(QObject *parent) : QObject(parent)
{
    g_received = false;
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, []() {
        char byte = 0;
        if (::read(g_fds[1], &byte, 1) == 1)
            qInfo() << "signal" << static_cast<int>(byte) << "ends the event loop";
        g_received = true;
        // Ends every running loop, a message box's nested one too.
        QCoreApplication::quit();
    });
}

ShutdownSignals::~ShutdownSignals()
{
    // The handlers stay: from here a signal is caught and dropped.
    m_notifier->setEnabled(false);
    g_instance = nullptr;
}
