#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a normal end of the event loop, so that a program
// stopped from a terminal or by a test still runs its shut-down.
class ShutdownSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers for the life of the returned object (a child of parent).
    static ShutdownSignals *install(QObject *parent);
    // Whether a signal has ended an event loop since the handlers were installed. An event loop
    // started afterwards would not know it.
    static bool received();
    ~ShutdownSignals() override;

private:
    explicit ShutdownSignals(QObject *parent);
    static void onSignal(int signo);

    QSocketNotifier *m_notifier = nullptr;
};
