#include "ServiceLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QMutexLocker>

#include <cstdio>

ServiceLog::ServiceLog(const QString &path)
    : m_file(path), m_startMs(QDateTime::currentMSecsSinceEpoch())
{
    if (!path.isEmpty() && !m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        std::fprintf(stderr, "ambrel-service: cannot open log %s\n", qPrintable(path));
}

void ServiceLog::write(QJsonObject line)
{
    QMutexLocker locker(&m_mutex);
    if (!m_file.isOpen())
        return;
    line.insert(QStringLiteral("pid"), QCoreApplication::applicationPid());
    line.insert(QStringLiteral("ms"), double(QDateTime::currentMSecsSinceEpoch() - m_startMs));
    m_file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    m_file.flush();
}
