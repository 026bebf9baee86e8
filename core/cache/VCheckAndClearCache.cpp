#include "VCheckAndClearCache.h"

#include <QDebug>

#include <string>

#include "win32api.h"

namespace {

const char kTag[] = "[CheckClear]";

} // namespace

VCheckAndClearCache::VCheckAndClearCache(QObject *parent) : QObject(parent) {}

void VCheckAndClearCache::runCheckAndClear(bool cleanWithoutAsking)
{
    if (!m_process) {
        m_process = new QProcess(this);
        m_process->setReadChannel(QProcess::StandardOutput);
        connect(m_process, &QProcess::errorOccurred, this, &VCheckAndClearCache::sltErrorOccurred);
        connect(m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
                &VCheckAndClearCache::sltFinished);
        connect(m_process, &QProcess::readyReadStandardError, this, &VCheckAndClearCache::sltReadyReadStandardError);
        connect(m_process, &QProcess::readyReadStandardOutput, this,
                &VCheckAndClearCache::sltReadyReadStandardOutput);
        connect(m_process, &QProcess::stateChanged, this, &VCheckAndClearCache::sltStateChanged);
    }
    if (m_process->state() != QProcess::NotRunning)
        return;
    // One command text, split the way the platform splits a command line.
    QStringList command = QProcess::splitCommand(QStringLiteral("purgo.exe %1").arg(cleanWithoutAsking ? 1 : 0));
    // Looked for as Windows starts a program; a name found nowhere fails to start, and is logged.
    QString program = command.takeFirst();
    const std::wstring name = program.toStdWString();
    wchar_t found[MAX_PATH];
    const DWORD length = SearchPathW(nullptr, name.c_str(), nullptr, MAX_PATH, found, nullptr);
    if (length > 0 && length < MAX_PATH)
        program = QString::fromWCharArray(found, int(length));
    m_process->start(program, command, QIODevice::ReadOnly);
    qInfo().noquote() << kTag << "VCheckAndClearCache::runCheckAndClear";
}

void VCheckAndClearCache::stop()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        m_process->deleteLater();
    }
}

void VCheckAndClearCache::sltErrorOccurred(QProcess::ProcessError error)
{
    qInfo().noquote() << kTag << "VCheckAndClearCache::sltErrorOccurred"
                      << "error:" << error;
}

void VCheckAndClearCache::sltFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    QProcess *process = qobject_cast<QProcess *>(sender());
    if (!process)
        process = m_process.data();
    if (process) {
        const QByteArray out = process->readAllStandardOutput();
        if (!out.isEmpty())
            qInfo().noquote() << kTag << "VCheckAndClearCache::sltFinished"
                              << "Standard Output:" << QString::fromUtf8(out);
        const QByteArray err = process->readAllStandardError();
        if (!err.isEmpty())
            qInfo().noquote() << kTag << "VCheckAndClearCache::sltFinished"
                              << "Standard Error:" << QString::fromUtf8(err);
        // Deleted later: a run started before then must not find this process.
        if (m_process == process)
            m_process.clear();
        process->deleteLater();
    }
    qInfo().noquote() << kTag << "VCheckAndClearCache::sltFinished"
                      << "exitCode:" << exitCode << "exitStatus:" << exitStatus;
}

void VCheckAndClearCache::sltReadyReadStandardError()
{
    if (!m_process)
        return;
    const QByteArray err = m_process->readAllStandardError();
    if (!err.isEmpty())
        qInfo().noquote() << kTag << "VCheckAndClearCache::sltReadyReadStandardError"
                          << "Standard Error:" << QString::fromUtf8(err);
}

void VCheckAndClearCache::sltReadyReadStandardOutput()
{
    if (!m_process)
        return;
    const QByteArray out = m_process->readAllStandardOutput();
    if (out.isEmpty())
        return;
    qInfo().noquote() << kTag << "VCheckAndClearCache::sltReadyReadStandardOutput"
                      << "Standard Output:";
    // purgo writes its messages back to back, each ending in ";".
    for (const QString &piece : QString::fromUtf8(out).split(QLatin1Char(';')))
        qInfo().noquote() << kTag << "VCheckAndClearCache::sltReadyReadStandardOutput" << piece;
}

void VCheckAndClearCache::sltStateChanged(QProcess::ProcessState newState)
{
    qInfo().noquote() << kTag << "VCheckAndClearCache::sltStateChanged"
                      << "newState:" << newState;
}
