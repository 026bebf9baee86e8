#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocalServer>
#include <QObject>
#include <QPointer>

#include "PagewellCodec.h"
#include "PagewellLog.h"

class QLocalSocket;

// Serves page-window connections: answers createCefView with a view id, acknowledges the rest,
// logs what it decodes and plays the script. A control server lets tests inject messages.
//
// Script ($PAGEWELL_SCRIPT), all members optional:
//   {"createViewDelayMs": n, "createViewCode": n, "noCreateReply": bool,
//    "on":    [{"type": n, "contains": "text", "delayMs": n, "send": [item...]}],
//    "after": [{"delayMs": n, "send": [item...]}]}        (timed from the first view)
// Send items: {"command": json} (type 5), {"query": json} (type 6),
//   {"message": {"id","type","code","text","data"}}, {"raw": "hex"}, {"close": true},
//   {"exit": code}. A json value may be an object or a text.
// Control lines (JSON, one per line): {"conn": n (default the newest), "send": [item...]};
// each line is answered with {"ok":true} once it has been played.
class PagewellHost : public QObject
{
    Q_OBJECT
public:
    PagewellHost(const QString &serverName, const QString &kind, QObject *parent = nullptr);
    bool listen();
    bool listenControl(const QString &name);
    void loadScript(const QString &path);

private:
    struct Connection
    {
        int number = 0;
        PagewellCodec codec;
        bool viewCreated = false;
    };

    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);
    void handle(QLocalSocket *socket, const PagewellCodec::Request &req);
    void playLater(QLocalSocket *socket, const QJsonArray &items, int delayMs);
    void play(QLocalSocket *socket, const QJsonArray &items);
    void onControlLine(QLocalSocket *control, const QByteArray &line);
    QLocalSocket *newestConnection() const;
    static QString jsonText(const QJsonValue &v);

    QString m_serverName;
    QString m_kind;
    QLocalServer m_server;
    QLocalServer m_control;
    PagewellLog m_log;
    QHash<QLocalSocket *, Connection> m_connections;
    QJsonObject m_script;
    int m_nextConnection = 1;
    quint32 m_nextViewId = 1001;
    bool m_afterStarted = false;
};
