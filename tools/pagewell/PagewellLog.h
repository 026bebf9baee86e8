#pragma once

#include <QFile>
#include <QJsonObject>

// One JSON object per line, flushed at once, so a reader sees every line even if we are killed.
class PagewellLog
{
public:
    explicit PagewellLog(const QString &path);
    void write(QJsonObject line);

private:
    QFile m_file;
    qint64 m_startMs;
};
