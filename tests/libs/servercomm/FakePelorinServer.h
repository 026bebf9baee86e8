#pragma once

#include "pelorin_wire.pb.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class QWebSocket;
class QWebSocketServer;

// A loopback server endpoint for the transport tests: records every request envelope and
// lets the test answer, push broadcasts or send raw bytes to the connected client.
class FakePelorinServer : public QObject
{
    Q_OBJECT
public:
    explicit FakePelorinServer(QObject *parent = nullptr);
    ~FakePelorinServer() override;

    // Port 0 picks a free one; the same port again after close() brings the server back.
    bool listen(quint16 port = 0);
    // Stops listening and drops every client.
    void close();
    quint16 port() const { return m_port; }
    QString url() const;

    int connectionsSeen() const { return m_connectionsSeen; }
    int clientCount() const { return m_clients.size(); }
    const QVector<pelorin_wire::Envelope> &requests() const { return m_requests; }

    // Called for every request as it arrives (after it is recorded).
    std::function<void(const pelorin_wire::Envelope &)> onRequest;

    void respond(quint64 seq, const QString &type, const QByteArray &body, int code, const QString &text);
    void broadcast(int id, const QString &type, const QByteArray &body);
    void sendBinary(const QByteArray &bytes);
    void sendText(const QString &text);

private:
    void onNewConnection();

    QWebSocketServer *m_server = nullptr;
    QVector<QWebSocket *> m_clients;
    QVector<pelorin_wire::Envelope> m_requests;
    quint16 m_port = 0;
    int m_connectionsSeen = 0;
};
