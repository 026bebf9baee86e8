#include "QuadrelConfig.h"

#include "VLogLimiter.h"
#include "VLogText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <QUrl>
#include <QtDebug>

#include <cmath>

QuadrelConfig *QuadrelConfig::getInstance()
{
    static QuadrelConfig instance;
    return &instance;
}

QuadrelConfig::QuadrelConfig()
{
    QWriteLocker locker(&m_lock);
    loadLocked();
}

QString QuadrelConfig::defaultsPath()
{
    return QStringLiteral("config/ambrel.json");
}

QString QuadrelConfig::localPath()
{
    return QStringLiteral("config/ambrel.local.json");
}

QJsonObject QuadrelConfig::readObject(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "[CONFIG] cannot read" << path << file.errorString();
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        qWarning() << "[CONFIG] ignoring malformed" << path << error.errorString();
        return {};
    }
    return doc.object();
}

void QuadrelConfig::loadLocked()
{
    // The local layer is created by the first setConfig; the defaults ship with the program.
    if (!QFile::exists(defaultsPath()))
        qWarning() << "[CONFIG] no defaults file" << QDir::current().absoluteFilePath(defaultsPath());
    m_defaults = readObject(defaultsPath());
    m_local = readObject(localPath());
    m_runtime.clear();
    m_initInfo = VInitInfo();
    m_appKeyRead = false;
    m_appKey.clear();
}

void QuadrelConfig::reload()
{
    QWriteLocker locker(&m_lock);
    loadLocked();
}

// A value of another kind than text reads as empty; numbers are accepted as their decimal text
// because hand-edited files often write ports and flags without quotes.
static QString textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        const double d = value.toDouble();
        // Only a whole number inside qint64's range may be converted (outside it the cast is undefined).
        if (std::fabs(d) < 9223372036854775808.0 && std::trunc(d) == d)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d);
    }
    return {};
}

QString QuadrelConfig::getConfig(const QString &key) const
{
    QReadLocker locker(&m_lock);
    const auto run = m_runtime.constFind(key);
    if (run != m_runtime.constEnd())
        return run.value();
    if (m_local.contains(key))
        return textOf(m_local.value(key));
    return textOf(m_defaults.value(key));
}

void QuadrelConfig::setConfig(const QString &key, const QString &value)
{
    QWriteLocker locker(&m_lock);
    m_runtime.remove(key);
    m_local.insert(key, value);

    const QString path = localPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning() << "[CONFIG] cannot write" << path << file.errorString();
        return;
    }
    file.write(QJsonDocument(m_local).toJson(QJsonDocument::Indented));
    if (!file.commit())
        qWarning() << "[CONFIG] cannot save" << path << file.errorString();
}

QString QuadrelConfig::getCefUrl(const QString &pageKey, const QString &query) const
{
    QString url;
    {
        QReadLocker locker(&m_lock);
        QJsonValue urls = m_local.value(QStringLiteral("CefUrls"));
        if (!urls.isObject() || !urls.toObject().contains(pageKey))
            urls = m_defaults.value(QStringLiteral("CefUrls"));
        url = textOf(urls.toObject().value(pageKey));
    }
    if (url.isEmpty()) {
        // Pages may name page keys nobody knows at their own pace.
        if (VLogLimiter::getInstance()->admit(QStringLiteral("[CONFIG] no page URL for")))
            qWarning() << "[CONFIG] no page URL for" << VLogText::cut(pageKey, VLogText::Page);
        return {};
    }
    if (query.isEmpty())
        return url;
    QString q = query;
    while (q.startsWith(QLatin1Char('?')) || q.startsWith(QLatin1Char('&')))
        q.remove(0, 1);
    if (q.isEmpty())
        return url;
    return url + (url.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) + q;
}

void QuadrelConfig::parseSDKInit(QByteArray reply)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(reply, &error);
    QWriteLocker locker(&m_lock);
    m_initInfo = VInitInfo();
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        qWarning() << "[CONFIG] sdkinit reply is not a JSON object:" << error.errorString();
        return;
    }
    const QJsonObject root = doc.object();
    m_initInfo.code = root.value(QStringLiteral("code")).toInt();
    m_initInfo.message = root.value(QStringLiteral("msg")).toString();
    const QJsonObject data = root.value(QStringLiteral("data")).toObject();
    for (auto it = data.constBegin(); it != data.constEnd(); ++it) {
        const QString text = textOf(it.value());
        if (it.value().isString() || it.value().isDouble())
            m_runtime.insert(it.key(), text);
    }
}

VInitInfo QuadrelConfig::getSDKInit() const
{
    QReadLocker locker(&m_lock);
    return m_initInfo;
}

QString QuadrelConfig::getAgoraAPPKey() const
{
    // Read once: the voice controller takes it when it is built.
    {
        QReadLocker locker(&m_lock);
        if (m_appKeyRead)
            return m_appKey;
    }
    const QString key = getConfig(QStringLiteral("RtcAppId"));
    QWriteLocker locker(&m_lock);
    if (!m_appKeyRead) {
        m_appKey = key;
        m_appKeyRead = true;
    }
    return m_appKey;
}
