#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a normal end of the event loop, so that a program
// stopped from a terminal or by a test still runs its shut-down. Once installed the handlers stay
// for the rest of the process; after the returned object has gone they drop what comes.
class ShutdownSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers; the returned object (a child of parent, one at a time) ends the event
    // loop on each signal while it lives.
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
