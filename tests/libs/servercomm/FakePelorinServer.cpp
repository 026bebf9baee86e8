#include "FakePelorinServer.h"

#include <QHostAddress>
#include <QWebSocket>
#include <QWebSocketServer>

FakePelorinServer::FakePelorinServer(QObject *parent) : QObject(parent) {}

FakePelorinServer::~FakePelorinServer()
{
    close();
}

bool FakePelorinServer::listen(quint16 port)
{
    close();
    m_server = new QWebSocketServer(QStringLiteral("fake-pelorin"), QWebSocketServer::NonSecureMode, this);
    m_server->setMaxPendingConnections(8);
    if (!m_server->listen(QHostAddress::LocalHost, port))
        return false;
    m_port = m_server->serverPort();
    connect(m_server, &QWebSocketServer::newConnection, this, &FakePelorinServer::onNewConnection);
    return true;
}

void FakePelorinServer::close()
{
    for (QWebSocket *client : m_clients) {
        client->disconnect(this);
        client->abort();
        client->deleteLater();
    }
    m_clients.clear();
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
}

QString FakePelorinServer::url() const
{
    return QStringLiteral("ws://127.0.0.1:%1/pelorin").arg(m_port);
}

void FakePelorinServer::onNewConnection()
{
    while (QWebSocket *client = m_server->nextPendingConnection()) {
        ++m_connectionsSeen;
        m_clients.append(client);
        client->setMaxAllowedIncomingMessageSize(64 * 1024 * 1024);
        connect(client, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray &bytes) {
            pelorin_wire::Envelope envelope;
            if (!envelope.ParseFromArray(bytes.constData(), bytes.size()))
                return;
            m_requests.append(envelope);
            if (onRequest)
                onRequest(envelope);
        });
        connect(client, &QWebSocket::disconnected, this, [this, client] {
            m_clients.removeAll(client);
            client->deleteLater();
        });
    }
}

void FakePelorinServer::respond(quint64 seq, const QString &type, const QByteArray &body, int code,
                                const QString &text)
{
    pelorin_wire::Envelope envelope;
    envelope.set_kind(pelorin_wire::Envelope::RESPONSE);
    envelope.set_seq(seq);
    envelope.set_type(type.toStdString());
    envelope.set_body(body.toStdString());
    envelope.set_code(code);
    envelope.set_text(text.toStdString());
    sendBinary(QByteArray::fromStdString(envelope.SerializeAsString()));
}

void FakePelorinServer::broadcast(int id, const QString &type, const QByteArray &body)
{
    pelorin_wire::Envelope envelope;
    envelope.set_kind(pelorin_wire::Envelope::BROADCAST);
    if (id != 0)
        envelope.set_broadcastid(id);
    if (!type.isEmpty())
        envelope.set_type(type.toStdString());
    envelope.set_body(body.toStdString());
    sendBinary(QByteArray::fromStdString(envelope.SerializeAsString()));
}

void FakePelorinServer::sendBinary(const QByteArray &bytes)
{
    for (QWebSocket *client : m_clients)
        client->sendBinaryMessage(bytes);
}

void FakePelorinServer::sendText(const QString &text)
{
    for (QWebSocket *client : m_clients)
        client->sendTextMessage(text);
}
