#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

// One pagewell process and the server name it listens under; shared by every page window of
// its kind. The process is ended when the last reference to the item goes.
class VCefProcessItem : public QObject
{
    Q_OBJECT
public:
    explicit VCefProcessItem(QObject *parent = nullptr);
    ~VCefProcessItem() override;

    bool isRunning() const;
    QString serverName() const;
    // Starts pagewell with the kind argument unless it is starting or running; waits for it.
    bool start(const QString &argument);

    // Seams for tests: the program started and the start wait.
    void setProgram(const QString &program) { m_program = program; }
    void setStartTimeoutMs(int ms) { m_startTimeoutMs = ms; }
    QProcess &process() { return m_process; }

private slots:
    void stlProcessError(QProcess::ProcessError err);
    void sltProcessFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void sltProcessReadyReadStandardError();
    void sltProcessReadyReadStandardOutput();
    void sltProcessStart();
    void sltStateChanged(QProcess::ProcessState newState);

private:
    QProcess m_process;
    QString m_id;
    QString m_program = QStringLiteral("pagewell.exe");
    int m_startTimeoutMs = 30000;
};
