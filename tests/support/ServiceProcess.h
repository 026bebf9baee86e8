#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>

#include <functional>

// A child process that ends (SIGTERM) when the test process dies, however it dies.
class ChildProcess : public QProcess
{
public:
    ChildProcess();

protected:
    void setupChildProcess() override;

private:
    qint64 m_parent;
};

// The real ambrel-service as a child process on loopback, for tests: started on free ports (or
// given ones), with its JSON-lines log and control socket in a folder of the test's choosing.
// It is ended with SIGTERM, so it removes its control socket; SIGKILL only when that fails.
class ServiceProcess
{
public:
    ServiceProcess();
    ~ServiceProcess();

    // Writes the script (when not empty) into folder and starts the service there; true once it
    // has printed its ports. Port 0 is any free port, a negative one the service's default.
    bool start(const QString &folder, const QByteArray &script = QByteArray(), int httpPort = 0, int wsPort = 0);
    int httpPort() const { return m_httpPort; }
    int wsPort() const { return m_wsPort; }
    QString sdkinitUrl() const;
    QString pelorinUrl() const;
    QString logPath() const { return m_logPath; }

    // One control command and its answer ({"ok":false,...} when there is none in time).
    QJsonObject control(const QJsonObject &command, int timeoutMs = 20000);
    // Log lines, all or those of one event.
    QList<QJsonObject> log(const QString &event = QString()) const;
    // Runs the event loop until a log line satisfies the predicate; that line or an empty object.
    QJsonObject waitForLog(const std::function<bool(const QJsonObject &)> &match, int timeoutMs = 20000) const;

    // SIGTERM and wait (SIGKILL after 10 s); the exit code, or -1 when it did not end normally.
    int terminate();
    // SIGKILL, and the control socket it could not remove is removed.
    void kill();
    QProcess &process() { return m_process; }

private:
    ChildProcess m_process;
    QString m_logPath;
    QString m_controlName;
    int m_httpPort = 0;
    int m_wsPort = 0;
};
