#include "ServiceLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutexLocker>

#include "VLogText.h"

#include <cstdio>

namespace {

// Texts from outside (request bodies, control lines, request fields) can be megabytes long.
const int kMaxText = 1000;

QJsonValue cut(const QJsonValue &value)
{
    if (value.isString())
        return VLogText::shorten(value.toString(), kMaxText);
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            *it = cut(*it);
        return object;
    }
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (auto it = array.begin(); it != array.end(); ++it)
            *it = cut(*it);
        return array;
    }
    return value;
}

} // namespace

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
    line = cut(line).toObject();
    m_file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    m_file.flush();
}
