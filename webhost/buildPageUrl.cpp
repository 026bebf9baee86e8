#include "buildPageUrl.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include "QuadrelConfig.h"
#include "VPublicConfigMgr.h"
#include "VSystemConfigMgr.h"

namespace {

// A missing value is still an item with an empty value ("key="), not a bare key.
QString config(const QString &key)
{
    const QString value = QuadrelConfig::getInstance()->getConfig(key);
    return value.isNull() ? QString(QLatin1String("")) : value;
}

void replaceItem(QUrlQuery &query, const QString &key, const QString &value)
{
    query.removeAllQueryItems(key);
    query.addQueryItem(key, value);
}

// Entry 630 names the client version whose pages are identified: {"audio": "<appVersion>"}.
bool identifiesThisVersion(const QString &appVersion)
{
    const QString text = VSystemConfigMgr::getInstance()->getInfoByDefine(630).value;
    if (text.isEmpty())
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isObject() || !doc.object().contains(QStringLiteral("audio")))
        return false;
    return doc.object().value(QStringLiteral("audio")).toString() == appVersion;
}

} // namespace

QString buildPageUrl(const QUrl &source)
{
    const QString userId = config(QStringLiteral("userId"));
    const QString roomId = config(QStringLiteral("roomId"));
    const QString sessionId = config(QStringLiteral("sessionId"));
    const QString h5Server = config(QStringLiteral("H5Server"));
    const QString h5WebServer = config(QStringLiteral("H5WebServer"));
    const QString imageResServer = config(QStringLiteral("ImageResServer"));
    const QString tickToken = config(QStringLiteral("tickToken"));
    const QString appPlatform = config(QStringLiteral("appPlatform"));
    const QString roomServer = config(QStringLiteral("roomServer"));

    QUrl url(source);
    QUrlQuery query(url.query());
    replaceItem(query, QStringLiteral("userId"), userId);
    replaceItem(query, QStringLiteral("isInApp"), QStringLiteral("true"));
    replaceItem(query, QStringLiteral("roomId"), roomId);
    replaceItem(query, QStringLiteral("sessionId"), sessionId);
    query.removeAllQueryItems(QStringLiteral("anchorId"));
    replaceItem(query, QStringLiteral("isPc"), QStringLiteral("true"));
    replaceItem(query, QStringLiteral("channel"), QStringLiteral("3"));
    replaceItem(query, QStringLiteral("platformId"), QStringLiteral("pc_voice"));
    replaceItem(query, QStringLiteral("h5Server"), h5Server);
    replaceItem(query, QStringLiteral("h5WebServer"), h5WebServer);
    replaceItem(query, QStringLiteral("appPlatform"), appPlatform);
    replaceItem(query, QStringLiteral("LOGO_SERVER_ROOT"), imageResServer);
    replaceItem(query, QStringLiteral("tickToken"), tickToken);
    query.removeAllQueryItems(QStringLiteral("isSingleMic"));
    query.addQueryItem(QStringLiteral("funLevel"), QStringLiteral("0"));
    query.addQueryItem(QStringLiteral("ABBR"), QStringLiteral("Talmi"));
    query.addQueryItem(QStringLiteral("isAudio"), QStringLiteral("1"));
    query.addQueryItem(QStringLiteral("cdnServer"), config(QStringLiteral("KivoResServer")));
    query.addQueryItem(QStringLiteral("canRecvProtoBroadcast"), QStringLiteral("1"));
    if (!roomServer.isEmpty())
        query.addQueryItem(QStringLiteral("roomServer"), roomServer);
    const bool notClickAvatar = VPublicConfigMgr::getInstance()->getInfoByDefine(533).value.toInt() == 1;
    replaceItem(query, QStringLiteral("notClickAvatar"), notClickAvatar ? QStringLiteral("true") : QStringLiteral("false"));
    const QString appVersion = config(QStringLiteral("appVersion"));
    query.addQueryItem(QStringLiteral("version"), appVersion);
    if (identifiesThisVersion(appVersion))
        query.addQueryItem(QStringLiteral("identification"), appVersion);
    url.setQuery(query);
    return url.toString();
}
