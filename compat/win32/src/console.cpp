#include "win32/console.h"

#include <QProcess>
#include <QVariant>

void SetProcessNewConsole(QProcess *process, WORD fillAttribute)
{
    if (!process)
        return;
    process->setProperty("creationFlags", static_cast<uint>(CREATE_NEW_CONSOLE));
    process->setProperty("fillAttribute", static_cast<uint>(fillAttribute));
    // The console's standard handles stay the program's own.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
}
