#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <unistd.h>

#include "PagewellHost.h"

// pagewell.exe "<server name>" "<kind>": the stand-in web host.
int main(int argc, char **argv)
{
    // Die with the client that started us; the first check covers a parent gone before prctl.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        return 0;

    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: pagewell.exe <server name> [kind]\n");
        return 2;
    }
    PagewellHost host(args.at(1), args.value(2, QStringLiteral("1")));
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
    QObject::connect(&parentWatch, &QTimer::timeout, &app, [parent] {
        if (getppid() != parent)
            QCoreApplication::exit(0);
    });
    parentWatch.start(500);
    return app.exec();
}
