#pragma once

#include <QHash>
#include <QJsonObject>
#include <QReadWriteLock>
#include <QString>

// Handshake result kept by the configuration store; code 1 means the service accepted us.
struct VInitInfo
{
    int code = 0;
    QString message;
};

// The configuration store. Three layers, read in this order:
//  - values handed over at run time by the handshake (memory only),
//  - config/ambrel.local.json: what setConfig wrote (persisted atomically),
//  - config/ambrel.json: shipped defaults, a flat object of texts plus "CefUrls".
// Paths are relative to the working directory. Every member is thread-safe.
class QuadrelConfig
{
public:
    static QuadrelConfig *getInstance();

    QString getConfig(const QString &key) const;
    void setConfig(const QString &key, const QString &value);

    // Page URL for a page key of "CefUrls", with the query text appended.
    QString getCefUrl(const QString &pageKey, const QString &query) const;

    // Reads the "sdkinit" reply: {"code":1,"msg":"...","data":{"sessionId":"..."}}.
    // Texts and numbers in "data" become run-time configuration values.
    void parseSDKInit(QByteArray reply);
    VInitInfo getSDKInit() const;

    QString getAgoraAPPKey() const;

    // Drops everything in memory and reads the files again (tests change the working directory).
    void reload();

    static QString defaultsPath();
    static QString localPath();

private:
    QuadrelConfig();
    void loadLocked();
    static QJsonObject readObject(const QString &path);

    mutable QReadWriteLock m_lock;
    QJsonObject m_defaults;
    QJsonObject m_local;
    QHash<QString, QString> m_runtime;
    VInitInfo m_initInfo;
    mutable bool m_appKeyRead = false;
    mutable QString m_appKey;
};
