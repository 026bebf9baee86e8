#pragma once

#include <QSharedPointer>
#include <QString>
#include <QVector>
#include <QtGlobal>

class MiniDmpSender;

// The steps of main's start-up and shut-down (main.cpp runs them in their order).

void startHook();
int runShroudir();
void clearOldTarnliveFiles();
// Once the QApplication exists: logging, device id, data tables, broadcast router,
// environment check, crash reporter, server services, application settings.
void initApp();
void checkEnvironment();
void initBugSplat();
bool bugSplatCallback(unsigned code, void *first, void *second);
void initAppSettings();
// After the event loop, in the order of shutdownSteps().
void unInitApp();
bool getSelfProcessCount();

// The launcher check: with "ServerType" 1002, a start without the argument "shell" shows a
// blocking box; true when it was confirmed or closed and main must end with 0.
bool launcherRefusesStart(int argc, char **argv);
// The box text the launcher check would show, empty when it shows none.
QString launcherCheckText(int argc, char **argv);

// "2.50G", "1M", "1K", "1023B": the free-space text of the environment check.
QString diskSizeText(quint64 freeBytes);

// The crash reporter, held for the whole run.
QSharedPointer<MiniDmpSender> &crashReporter();

struct ShutdownStep
{
    const char *name;
    void (*run)();
};
// unInitApp's steps in their order. Deferred deletes issued by a step run before the next
// one, since the event loop has ended and would never deliver them.
const QVector<ShutdownStep> &shutdownSteps();
