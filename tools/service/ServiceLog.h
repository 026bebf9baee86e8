#pragma once

#include <QFile>
#include <QJsonObject>
#include <QMutex>

// One JSON object per line, flushed at once so a reader sees every line even if we are killed.
// Written from the GUI thread and the HTTP threads, hence the lock. Texts longer than 1000
// characters are cut, saying how long they were.
class ServiceLog
{
public:
    explicit ServiceLog(const QString &path);
    void write(QJsonObject line);

private:
    QMutex m_mutex;
    QFile m_file;
    qint64 m_startMs;
};
