#include "PelorinEndpoint.h"

#include "ServiceLog.h"
#include "ServiceScript.h"
#include "VProtoBufMessage.h"
#include "VProtoKeyMgr.h"
#include "VProtoRegistry.h"

#include "pelorin_wire.pb.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWebSocket>

#include <memory>

namespace {

const char *const kPath = "/pelorin";

// "PrankCmd.addPrank" lives in "PrankCmd.proto".
QString protoFileOf(const QString &typeName)
{
    return typeName.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".proto");
}

bool typeExists(const QString &typeName)
{
    return VProtoRegistry::getInstance()->findType(protoFileOf(typeName), typeName) != nullptr;
}

QJsonValue fieldsJson(const VProtoBufMessage &message)
{
    return QJsonDocument::fromJson(message.ToJsonString(true).toUtf8()).object();
}

QByteArray toBytes(const std::string &s)
{
    return QByteArray(s.data(), int(s.size()));
}

} // namespace

PelorinEndpoint::PelorinEndpoint(ServiceScript &script, ServiceLog &log, QObject *parent)
    : QObject(parent), m_script(script), m_log(log),
      m_server(QStringLiteral("ambrel-service"), QWebSocketServer::NonSecureMode)
{
    connect(&m_server, &QWebSocketServer::newConnection, this, &PelorinEndpoint::onNewConnection);
}

PelorinEndpoint::~PelorinEndpoint()
{
    const auto sockets = m_connections.keys();
    m_connections.clear();
    for (QWebSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

int PelorinEndpoint::listen(int port)
{
    if (!m_server.listen(QHostAddress::LocalHost, quint16(port)))
        return -1;
    return m_server.serverPort();
}

int PelorinEndpoint::connectionCount() const
{
    return m_connections.size();
}

void PelorinEndpoint::onNewConnection()
{
    while (QWebSocket *socket = m_server.nextPendingConnection()) {
        const QString path = socket->requestUrl().path();
        if (path != QLatin1String(kPath)) {
            m_log.write({{"event", "refused"}, {"path", path}});
            connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("unknown path"));
            continue;
        }
        const int number = m_nextConnection++;
        m_connections.insert(socket, number);
        m_log.write({{"event", "connect"}, {"conn", number}});
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, socket](const QByteArray &bytes) { onBinaryMessage(socket, bytes); });
        connect(socket, &QWebSocket::textMessageReceived, this, [this, socket](const QString &text) {
            m_log.write({{"event", "bad"}, {"conn", m_connections.value(socket)},
                         {"error", "text message ignored"}, {"size", text.size()}});
        });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            if (!m_connections.contains(socket))
                return;
            m_log.write({{"event", "disconnect"}, {"conn", m_connections.take(socket)}});
            socket->deleteLater();
        });

        const QPointer<QWebSocket> guard(socket);
        for (const QJsonValue &v : m_script.broadcasts()) {
            const QJsonObject spec = v.toObject();
            QTimer::singleShot(spec.value("delayMs").toInt(0), this, [this, guard, spec] {
                if (guard && m_connections.contains(guard))
                    pushBroadcast(spec, m_connections.value(guard));
            });
        }
    }
}

void PelorinEndpoint::onBinaryMessage(QWebSocket *socket, const QByteArray &bytes)
{
    pelorin_wire::Envelope envelope;
    if (!envelope.ParseFromArray(bytes.constData(), bytes.size())) {
        m_log.write({{"event", "bad"}, {"conn", m_connections.value(socket)},
                     {"error", "not an envelope"}, {"size", bytes.size()},
                     {"hex", QString::fromLatin1(bytes.left(64).toHex())}});
        return;
    }
    if (envelope.kind() != pelorin_wire::Envelope::REQUEST) {
        m_log.write({{"event", "bad"}, {"conn", m_connections.value(socket)},
                     {"error", "not a request"}, {"kind", int(envelope.kind())}});
        return;
    }
    handleRequest(socket, envelope);
}

void PelorinEndpoint::handleRequest(QWebSocket *socket, const pelorin_wire::Envelope &request)
{
    const QString method = QString::fromStdString(request.type());
    const quint64 seq = request.seq();
    QJsonObject line{{"event", "request"}, {"conn", m_connections.value(socket)},
                     {"seq", double(seq)}, {"method", method}};

    VProtoBufMessage message;
    if (!typeExists(method) || !message.make(protoFileOf(method), method)) {
        line.insert("error", "unknown method");
        m_log.write(line);
        respond(socket, seq, method, {{"code", -1}, {"text", "unknown method " + method}});
        return;
    }
    if (!message.parse(toBytes(request.body()))) {
        line.insert("error", "body does not parse");
        line.insert("size", int(request.body().size()));
        m_log.write(line);
        respond(socket, seq, method, {{"code", -1}, {"text", "bad request body"}});
        return;
    }
    line.insert("fields", fieldsJson(message));
    m_log.write(line);
    respond(socket, seq, method, m_script.reply(method));
}

void PelorinEndpoint::respond(QWebSocket *socket, quint64 seq, const QString &method, const QJsonObject &spec)
{
    const int number = m_connections.value(socket);
    if (spec.value("silent").toBool()) {
        m_log.write({{"event", "silent"}, {"conn", number}, {"seq", double(seq)}, {"method", method}});
        return;
    }
    pelorin_wire::Envelope response;
    response.set_kind(pelorin_wire::Envelope::RESPONSE);
    response.set_seq(seq);
    response.set_code(spec.value("code").toInt(1));
    response.set_text(spec.value("text").toString(QStringLiteral("ok")).toStdString());

    QJsonObject line{{"event", "reply"}, {"conn", number}, {"seq", double(seq)}, {"method", method},
                     {"code", response.code()}, {"text", QString::fromStdString(response.text())}};
    // Modules without a "<method>Resp" message answer with no reply message; the script may
    // name another reply type.
    const QString replyType = spec.value("type").toString(method + QStringLiteral("Resp"));
    if (typeExists(replyType)) {
        VProtoBufMessage reply;
        reply.make(protoFileOf(replyType), replyType);
        if (!reply.ToProtobuf(spec.value("fields").toObject()))
            line.insert("error", "some reply fields were not set");
        response.set_type(replyType.toStdString());
        const QByteArray body = reply.serialize();
        response.set_body(body.constData(), size_t(body.size()));
        line.insert("type", replyType);
        line.insert("fields", fieldsJson(reply));
    } else if (!spec.value("fields").toObject().isEmpty()) {
        line.insert("error", "no message " + replyType + " for the reply fields");
    }

    const QPointer<QWebSocket> guard(socket);
    QTimer::singleShot(spec.value("delayMs").toInt(0), this, [this, guard, response, line] {
        if (!guard || !m_connections.contains(guard))
            return;
        send(guard, response);
        m_log.write(line);
    });
}

pelorin_wire::Envelope PelorinEndpoint::broadcastEnvelope(const QJsonObject &spec, QJsonObject &line) const
{
    const QString name = spec.value("name").toString();
    const int id = spec.contains("id") ? spec.value("id").toInt()
                                       : VProtoKeyMgr::getInstance()->value(name).toInt();
    line.insert("name", name);
    line.insert("id", id);

    pelorin_wire::Envelope envelope;
    envelope.set_kind(pelorin_wire::Envelope::BROADCAST);
    envelope.set_broadcastid(id);
    envelope.set_type(name.toStdString());
    // A name without a message still goes out, empty, so clients can be tried with one.
    if (typeExists(name)) {
        VProtoBufMessage message;
        message.make(protoFileOf(name), name);
        if (!message.ToProtobuf(spec.value("fields").toObject()))
            line.insert("error", "some fields were not set");
        const QByteArray body = message.serialize();
        envelope.set_body(body.constData(), size_t(body.size()));
        line.insert("fields", fieldsJson(message));
    } else {
        line.insert("error", "no message " + name);
    }
    return envelope;
}

int PelorinEndpoint::pushBroadcast(const QJsonObject &spec, int conn)
{
    QJsonObject line{{"event", "broadcast"}};
    const pelorin_wire::Envelope envelope = broadcastEnvelope(spec, line);
    const QList<QWebSocket *> to = targets(conn);
    QJsonArray numbers;
    for (QWebSocket *socket : to) {
        send(socket, envelope);
        numbers.append(m_connections.value(socket));
    }
    line.insert("conns", numbers);
    m_log.write(line);
    return to.size();
}

int PelorinEndpoint::floodBroadcast(const QJsonObject &spec, int conn)
{
    const QString seqField = spec.value("seqField").toString();
    const qint64 count = qint64(spec.value("count").toDouble());
    const double perSecond = spec.value("perSecond").toDouble();
    QList<QPointer<QWebSocket>> to;
    for (QWebSocket *socket : targets(conn))
        to.append(socket);
    auto line = std::make_shared<QJsonObject>(QJsonObject{{"event", "flood"}, {"count", double(count)},
                                                          {"perSecond", perSecond}, {"conns", to.size()}});
    auto envelope = std::make_shared<pelorin_wire::Envelope>(broadcastEnvelope(spec, *line));
    // Numbered: the message is kept and only its sequence field changes.
    const QString name = spec.value("name").toString();
    auto message = std::make_shared<VProtoBufMessage>();
    const bool numbered = !seqField.isEmpty() && typeExists(name) && message->make(protoFileOf(name), name)
                          && message->ToProtobuf(spec.value("fields").toObject());
    auto sent = std::make_shared<qint64>(0);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto *pace = new QTimer(this);
    pace->setTimerType(Qt::PreciseTimer);
    connect(pace, &QTimer::timeout, this, [=] {
        const qint64 due = perSecond > 0 ? qMin(count, qint64(clock->elapsed() * perSecond / 1000)) : count;
        for (; *sent < due; ++*sent) {
            if (numbered) {
                message->setInt32(seqField, int(*sent + 1));
                const QByteArray body = message->serialize();
                envelope->set_body(body.constData(), size_t(body.size()));
            }
            for (const QPointer<QWebSocket> &socket : to)
                if (socket && m_connections.contains(socket))
                    send(socket, *envelope);
        }
        if (*sent < count)
            return;
        line->insert("ms", double(clock->elapsed()));
        m_log.write(*line);
        pace->stop();
        pace->deleteLater();
    });
    pace->start(1);
    return to.size();
}

int PelorinEndpoint::sendRaw(const QByteArray &bytes, int conn)
{
    const QList<QWebSocket *> to = targets(conn);
    for (QWebSocket *socket : to) {
        socket->sendBinaryMessage(bytes);
        socket->flush();
    }
    m_log.write({{"event", "raw"}, {"size", bytes.size()}, {"count", to.size()}});
    return to.size();
}

int PelorinEndpoint::dropAll()
{
    const QList<QWebSocket *> sockets = m_connections.keys();
    for (QWebSocket *socket : sockets)
        socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("dropped"));
    m_log.write({{"event", "drop"}, {"count", sockets.size()}});
    return sockets.size();
}

void PelorinEndpoint::send(QWebSocket *socket, const pelorin_wire::Envelope &envelope)
{
    socket->sendBinaryMessage(toBytes(envelope.SerializeAsString()));
    socket->flush();
}

QList<QWebSocket *> PelorinEndpoint::targets(int conn) const
{
    QList<QWebSocket *> list;
    for (auto it = m_connections.constBegin(); it != m_connections.constEnd(); ++it)
        if (conn == 0 || it.value() == conn)
            list.append(it.key());
    return list;
}
