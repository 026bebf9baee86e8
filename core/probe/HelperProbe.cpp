#include "HelperProbe.h"

#include <QProcess>
#include <QStringList>
#include <QtDebug>

#include <memory>

namespace {

bool g_probeRunning = false;

const QString kLintor = QStringLiteral("Lintor.exe");

void logCollected(const QString &program, const QStringList &lines)
{
    qInfo().noquote() << "open" << program;
    for (const QString &line : lines)
        qInfo().noquote() << line;
}

} // namespace

void runHelperProbe()
{
    if (g_probeRunning)
        return;
    g_probeRunning = true;
    startHelperProgram(QStringLiteral("Pexamin.exe"));
    startHelperProgram(kLintor);
}

void startHelperProgram(const QString &program)
{
    auto *process = new QProcess;
    auto lines = std::make_shared<QStringList>();

    QObject::connect(process, &QProcess::readyReadStandardOutput, process, [process, lines] {
        lines->append(QStringLiteral("o:") + QString::fromUtf8(process->readAllStandardOutput()));
    });
    QObject::connect(process, &QProcess::readyReadStandardError, process, [process, lines] {
        lines->append(QStringLiteral("err:") + QString::fromUtf8(process->readAllStandardError()));
    });
    QObject::connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), process,
                     [process, lines, program](int exitCode, QProcess::ExitStatus) {
                         lines->append(QStringLiteral("output:") + QString::fromUtf8(process->readAllStandardOutput()));
                         logCollected(program, *lines);
                         qInfo().noquote() << "Process finished with exit code" << exitCode;
                         process->deleteLater();
                         lines->clear();
                         if (program == kLintor)
                             g_probeRunning = false;
                     });
    // A program that cannot start never finishes: without this its process would stay and a
    // missing Lintor would block every later probe.
    QObject::connect(process, &QProcess::errorOccurred, process, [process, lines, program](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        logCollected(program, *lines);
        qWarning().noquote() << "Process failed to start:" << process->errorString();
        process->deleteLater();
        lines->clear();
        if (program == kLintor)
            g_probeRunning = false;
    });

    process->start(program, QStringList(), QIODevice::ReadWrite);
}
