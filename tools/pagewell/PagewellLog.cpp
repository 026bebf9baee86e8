#include "PagewellLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>

PagewellLog::PagewellLog(const QString &path)
    : m_file(path), m_startMs(QDateTime::currentMSecsSinceEpoch())
{
    if (!path.isEmpty())
        m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void PagewellLog::write(QJsonObject line)
{
    if (!m_file.isOpen())
        return;
    line.insert(QStringLiteral("pid"), QCoreApplication::applicationPid());
    line.insert(QStringLiteral("ms"), double(QDateTime::currentMSecsSinceEpoch() - m_startMs));
    m_file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    m_file.flush();
}
