#include "win32/console.h"

#include <QProcess>
#include <QVariant>

namespace {

// Windows ping sends four echo requests unless told otherwise ("-n count", "-t" without end);
// the system's ping here goes on until stopped unless given a count.
QStringList pingArguments(const QStringList &windowsArguments)
{
    QStringList arguments;
    bool counted = false;
    for (const QString &a : windowsArguments) {
        const QString option = a.toLower();
        if (option == QLatin1String("-n") || option == QLatin1String("/n")) {
            arguments << QStringLiteral("-c");
            counted = true;
        } else if (option == QLatin1String("-t") || option == QLatin1String("/t")) {
            counted = true;
        } else {
            arguments << a;
        }
    }
    if (!counted)
        arguments = QStringList{QStringLiteral("-c"), QStringLiteral("4")} + arguments;
    return arguments;
}

bool isCommandInterpreter(const QString &program)
{
    return program.compare(QLatin1String("cmd"), Qt::CaseInsensitive) == 0
        || program.compare(QLatin1String("cmd.exe"), Qt::CaseInsensitive) == 0;
}

// "cmd /k <command>" (or /c) opens a console running the command; there is no cmd here, so
// the command itself runs, and the Windows ping becomes the system's.
void runWithoutInterpreter(QProcess *process)
{
    QStringList arguments = process->arguments();
    if (!isCommandInterpreter(process->program()) || arguments.size() < 2)
        return;
    const QString mode = arguments.takeFirst();
    if (mode.compare(QLatin1String("/k"), Qt::CaseInsensitive) != 0
        && mode.compare(QLatin1String("/c"), Qt::CaseInsensitive) != 0)
        return;
    const QString command = arguments.takeFirst();
    if (command.compare(QLatin1String("ping"), Qt::CaseInsensitive) == 0
        || command.compare(QLatin1String("ping.exe"), Qt::CaseInsensitive) == 0) {
        process->setProgram(QStringLiteral("ping"));
        process->setArguments(pingArguments(arguments));
    } else {
        process->setProgram(command);
        process->setArguments(arguments);
    }
}

} // namespace

void SetProcessNewConsole(QProcess *process, WORD fillAttribute)
{
    if (!process)
        return;
    runWithoutInterpreter(process);
    process->setProperty("creationFlags", static_cast<uint>(CREATE_NEW_CONSOLE));
    process->setProperty("fillAttribute", static_cast<uint>(fillAttribute));
    // The console's standard handles stay the program's own.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
}
