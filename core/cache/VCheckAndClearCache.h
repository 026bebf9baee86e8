#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>

// Runs purgo, the cache cleaner beside the client, as a child and logs all it reports under
// "[CheckClear]". One purgo at a time; each finished run's process is dropped, so the next run
// starts with a fresh one. purgo is delivered beside the client, so it is looked for there first.
class VCheckAndClearCache : public QObject
{
    Q_OBJECT
public:
    explicit VCheckAndClearCache(QObject *parent = nullptr);

    void runCheckAndClear(bool cleanWithoutAsking);
    void stop();

    // The child of the current run; null before the first run and once a run has finished.
    QProcess *process() const { return m_process.data(); }
    // Where purgo.exe is looked for before PATH: the program's folder unless set.
    void setProgramDir(const QString &dir) { m_programDir = dir; }

public slots:
    void sltErrorOccurred(QProcess::ProcessError error);
    void sltFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void sltReadyReadStandardError();
    void sltReadyReadStandardOutput();
    void sltStateChanged(QProcess::ProcessState newState);

private:
    QString programPath(const QString &name) const;

    QPointer<QProcess> m_process;
    QString m_programDir;
};
