#pragma once

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QWebSocketServer>

class QWebSocket;
class ServiceLog;
class ServiceScript;

namespace pelorin_wire {
class Envelope;
}

// The server side of the Pelorin connection (WebSocket path /pelorin): decodes each request
// envelope with the client's proto files, logs it, and answers as the script says (code 1,
// text "ok" and an empty reply by default); pushes broadcasts on connection, later, or when
// asked. Bad input is logged and the connection kept.
class PelorinEndpoint : public QObject
{
    Q_OBJECT
public:
    PelorinEndpoint(ServiceScript &script, ServiceLog &log, QObject *parent = nullptr);
    ~PelorinEndpoint() override;

    // Listens on 127.0.0.1:port (0 = any free port); the bound port, or -1.
    int listen(int port);
    int connectionCount() const;

    // broadcast {"name": "<Module>.<Name>", "id": n (default from the id table), "fields": {...}}
    // to connection conn (0 = every one); the number of connections it went to.
    int pushBroadcast(const QJsonObject &broadcast, int conn);
    // A flood of that broadcast: "count" of them at "perSecond" a second (0: all at once),
    // numbered from 1 in the int field "seqField" when it names one; logged once, at the end.
    int floodBroadcast(const QJsonObject &broadcast, int conn);
    // Bytes sent as they are, in one binary message.
    int sendRaw(const QByteArray &bytes, int conn);
    // Closes every client connection; how many there were.
    int dropAll();

private:
    void onNewConnection();
    void onBinaryMessage(QWebSocket *socket, const QByteArray &bytes);
    void handleRequest(QWebSocket *socket, const pelorin_wire::Envelope &request);
    void respond(QWebSocket *socket, quint64 seq, const QString &method, const QJsonObject &spec);
    void send(QWebSocket *socket, const pelorin_wire::Envelope &envelope);
    // The broadcast envelope of a spec; what went wrong is noted in line.
    pelorin_wire::Envelope broadcastEnvelope(const QJsonObject &spec, QJsonObject &line) const;
    QList<QWebSocket *> targets(int conn) const;

    ServiceScript &m_script;
    ServiceLog &m_log;
    QWebSocketServer m_server;
    QHash<QWebSocket *, int> m_connections;
    int m_nextConnection = 1;
};
