#include "ServiceProcess.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

ChildProcess::ChildProcess() : m_parent(::getpid()) {}

// Runs in the child between fork and exec.
void ChildProcess::setupChildProcess()
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The test process died before the line above: nobody would send the signal.
    if (::getppid() != m_parent)
        ::_exit(1);
}

ServiceProcess::ServiceProcess()
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
}

ServiceProcess::~ServiceProcess()
{
    terminate();
}

bool ServiceProcess::start(const QString &folder, const QByteArray &script, int httpPort, int wsPort)
{
    static int counter = 0;
    m_logPath = QDir(folder).filePath(QStringLiteral("service.jsonl"));
    m_controlName = QStringLiteral("ambrel-service-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    QStringList args{QStringLiteral("--log"), m_logPath, QStringLiteral("--control"), m_controlName};
    if (httpPort >= 0)
        args << QStringLiteral("--http-port") << QString::number(httpPort);
    if (wsPort >= 0)
        args << QStringLiteral("--ws-port") << QString::number(wsPort);
    if (!script.isEmpty()) {
        const QString scriptPath = QDir(folder).filePath(QStringLiteral("service-script.json"));
        QFile file(scriptPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(script) != script.size())
            return false;
        file.close();
        args << QStringLiteral("--script") << scriptPath;
    }
    m_process.setWorkingDirectory(folder);
    m_process.start(QDir(binDir()).filePath(QStringLiteral("ambrel-service")), args);
    if (!m_process.waitForStarted(30000))
        return false;
    QDeadlineTimer deadline(30000);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return false;
        m_process.waitForReadyRead(100);
    }
    const QJsonObject ports = QJsonDocument::fromJson(m_process.readLine()).object();
    m_httpPort = ports.value(QStringLiteral("http")).toInt();
    m_wsPort = ports.value(QStringLiteral("ws")).toInt();
    return m_httpPort > 0 && m_wsPort > 0;
}

QString ServiceProcess::sdkinitUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/sdkinit").arg(m_httpPort);
}

QString ServiceProcess::pelorinUrl() const
{
    return QStringLiteral("ws://127.0.0.1:%1/pelorin").arg(m_wsPort);
}

QJsonObject ServiceProcess::control(const QJsonObject &command, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_controlName);
    if (!socket.waitForConnected(timeoutMs))
        return {{"ok", false}, {"error", "no control connection"}};
    socket.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
    socket.flush();
    QDeadlineTimer deadline(timeoutMs);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || socket.state() != QLocalSocket::ConnectedState)
            return {{"ok", false}, {"error", "no answer"}};
        socket.waitForReadyRead(50);
    }
    return QJsonDocument::fromJson(socket.readLine()).object();
}

QList<QJsonObject> ServiceProcess::log(const QString &event) const
{
    QList<QJsonObject> lines;
    for (const QJsonObject &line : jsonLines(m_logPath))
        if (event.isEmpty() || line.value(QStringLiteral("event")).toString() == event)
            lines.append(line);
    return lines;
}

QJsonObject ServiceProcess::waitForLog(const std::function<bool(const QJsonObject &)> &match, int timeoutMs) const
{
    QJsonObject found;
    waitUntil([&] {
        for (const QJsonObject &line : log()) {
            if (match(line)) {
                found = line;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

int ServiceProcess::terminate()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        kill();
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

void ServiceProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(10000);
    if (!m_controlName.isEmpty())
        QLocalServer::removeServer(m_controlName);
}
