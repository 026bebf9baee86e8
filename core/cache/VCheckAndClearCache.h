#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>

// Runs purgo, the cache cleaner beside the client, as a child and logs all it reports under
// "[CheckClear]". One purgo at a time; each finished run's process is dropped, so the next run
// starts with a fresh one. purgo.exe is looked for as Windows looks for a program: beside the
// client, in the working folder, then on PATH.
class VCheckAndClearCache : public QObject
{
    Q_OBJECT
public:
    explicit VCheckAndClearCache(QObject *parent = nullptr);

    void runCheckAndClear(bool cleanWithoutAsking);
    void stop();

    // The child of the current run; null before the first run and once a run has finished.
    QProcess *process() const { return m_process.data(); }

public slots:
    void sltErrorOccurred(QProcess::ProcessError error);
    void sltFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void sltReadyReadStandardError();
    void sltReadyReadStandardOutput();
    void sltStateChanged(QProcess::ProcessState newState);

private:
    QPointer<QProcess> m_process;
};
