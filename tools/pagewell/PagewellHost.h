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
class PagewellView;

// Serves page-window connections: answers createCefView with a view id, acknowledges the rest,
// logs what it decodes and plays the script. A control server lets tests inject messages.
//
// Script ($PAGEWELL_SCRIPT), all members optional:
//   {"createViewDelayMs": n, "createViewCode": n, "noCreateReply": bool,
//    "noReplies": bool,                                    (answers createCefView only)
//    "on":    [{"type": n, "contains": "text", "delayMs": n, "send": [item...]}],
//    "after": [{"delayMs": n, "send": [item...]}]}        (timed from the first view)
// Send items: {"command": json} (type 5), {"query": json} (type 6),
//   {"message": {"id","type","code","text","data"}}, {"raw": "hex"}, {"close": true},
//   {"exit": code}. A json value may be an object or a text.
// Control lines (JSON, one per line): {"conn": n (default the newest), "send": [item...]};
// each line is answered with {"ok":true} once it has been played.
// {"cmd": "eval", "view": id (default the first view with a page), "js": "..."} runs the script
// in that page and is answered {"ok":true,"result":<its value as JSON>} (or ok false and "error").
//
// With render on, each view is drawn in a window of its own (PagewellView) and its page's
// commands and queries go out on the view's connection.
class PagewellHost : public QObject
{
    Q_OBJECT
public:
    PagewellHost(const QString &serverName, const QString &kind, bool render, QObject *parent = nullptr);
    ~PagewellHost() override;
    bool listen();
    bool listenControl(const QString &name);
    void loadScript(const QString &path);

private:
    struct Connection
    {
        int number = 0;
        PagewellCodec codec;
        bool viewCreated = false;
        quint32 viewId = 0;
        QPointer<PagewellView> view;
    };

    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);
    void handle(QLocalSocket *socket, const PagewellCodec::Request &req);
    void playLater(QLocalSocket *socket, const QJsonArray &items, int delayMs);
    void play(QLocalSocket *socket, const QJsonArray &items);
    void onControlLine(QLocalSocket *control, const QByteArray &line);
    void evalInView(QLocalSocket *control, const QJsonObject &cmd);
    quint32 createView(QLocalSocket *socket, quint32 counterId);
    void applyToView(PagewellView *view, const PagewellCodec::Request &req);
    void sendFromPage(QLocalSocket *socket, qint32 type, const QString &json);
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
    bool m_render = false;
};
