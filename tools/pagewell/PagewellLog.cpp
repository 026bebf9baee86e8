#include "PagewellLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>

namespace {
// Every log of the process counts its times from the first one's start.
qint64 startMs()
{
    static const qint64 start = QDateTime::currentMSecsSinceEpoch();
    return start;
}
} // namespace

PagewellLog::PagewellLog(const QString &path) : m_file(path), m_startMs(startMs())
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
