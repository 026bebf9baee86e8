#include "VCefProcessItem.h"

#include <QDebug>
#include <QUuid>

VCefProcessItem::VCefProcessItem(QObject *parent)
    : QObject(parent), m_id(QUuid::createUuid().toString())
{
    connect(&m_process, &QProcess::errorOccurred, this, &VCefProcessItem::stlProcessError);
    connect(&m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &VCefProcessItem::sltProcessFinished);
    connect(&m_process, &QProcess::readyReadStandardError, this,
            &VCefProcessItem::sltProcessReadyReadStandardError);
    connect(&m_process, &QProcess::readyReadStandardOutput, this,
            &VCefProcessItem::sltProcessReadyReadStandardOutput);
    connect(&m_process, &QProcess::started, this, &VCefProcessItem::sltProcessStart);
    connect(&m_process, &QProcess::stateChanged, this, &VCefProcessItem::sltStateChanged);
}

VCefProcessItem::~VCefProcessItem()
{
    // The slots must not run on a half-destroyed item while the process goes.
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}

bool VCefProcessItem::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

QString VCefProcessItem::serverName() const
{
    return m_id;
}

bool VCefProcessItem::start(const QString &argument)
{
    if (m_process.state() != QProcess::NotRunning)
        return true;
    const QString command = m_program + QStringLiteral(" \"") + m_id + QStringLiteral("\" \"") + argument
                            + QStringLiteral("\"");
    qInfo() << "[CEFLOG]" << command;
    QStringList args = QProcess::splitCommand(command);
    const QString program = args.isEmpty() ? QString() : args.takeFirst();
    m_process.start(program, args, QIODevice::NotOpen);
    const bool started = m_process.waitForStarted(m_startTimeoutMs);
    qInfo() << "[CEFLOG]" << "pagewell.exe result: " << started;
    return started;
}

void VCefProcessItem::stlProcessError(QProcess::ProcessError err)
{
    qInfo() << "[CEFLOG]" << "stlProcessError" << err;
}

void VCefProcessItem::sltProcessFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    qInfo() << "[CEFLOG]" << "sltProcessFinished" << exitCode << exitStatus;
}

void VCefProcessItem::sltProcessReadyReadStandardError()
{
    qInfo() << "[CEFLOG]" << "sltProcessReadyReadStandardError";
}

void VCefProcessItem::sltProcessReadyReadStandardOutput()
{
    qInfo() << "[CEFLOG]" << "sltProcessReadyReadStandardOutput";
}

void VCefProcessItem::sltProcessStart()
{
    qInfo() << "[CEFLOG]" << "sltProcessStart";
}

void VCefProcessItem::sltStateChanged(QProcess::ProcessState newState)
{
    qInfo() << "[CEFLOG]" << "sltProcessStateChanged" << newState;
}
