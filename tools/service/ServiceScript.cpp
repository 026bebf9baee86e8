#include "ServiceScript.h"

#include <QFile>
#include <QJsonDocument>
#include <QMutexLocker>

bool ServiceScript::load(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot open ") + path;
        return false;
    }
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                             : QStringLiteral("not a JSON object");
        return false;
    }
    const QJsonObject root = doc.object();
    QMutexLocker locker(&m_mutex);
    m_sdkinit = root.value(QStringLiteral("sdkinit")).toObject();
    m_replies = root.value(QStringLiteral("replies")).toObject();
    m_broadcasts = root.value(QStringLiteral("broadcasts")).toArray();
    return true;
}

QJsonObject ServiceScript::sdkinit() const
{
    QMutexLocker locker(&m_mutex);
    return m_sdkinit;
}

void ServiceScript::setSdkinit(const QJsonObject &spec)
{
    QMutexLocker locker(&m_mutex);
    m_sdkinit = spec;
}

QJsonObject ServiceScript::reply(const QString &method) const
{
    QMutexLocker locker(&m_mutex);
    return m_replies.value(method).toObject();
}

void ServiceScript::setReply(const QString &method, const QJsonObject &spec)
{
    QMutexLocker locker(&m_mutex);
    if (spec.isEmpty())
        m_replies.remove(method);
    else
        m_replies.insert(method, spec);
}

QJsonArray ServiceScript::broadcasts() const
{
    QMutexLocker locker(&m_mutex);
    return m_broadcasts;
}
