#include "KivoServerComm.h"

#include "KivoServerConnection.h"
#include "QuadrelConfig.h"
#include "VLogLimiter.h"
#include "VLogText.h"
#include "VProtoKeyMgr.h"

#include "pelorin_wire.pb.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimerEvent>
#include <QtDebug>

#include <utility>

using QtPromise::QPromise;
using QtPromise::QPromiseReject;
using QtPromise::QPromiseResolve;

namespace {

QString fromStd(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

enum class Decoded { Ok, UnknownType, BadBody };

// A message of the full type name "<Module>.<Name>" from "<Module>.proto", filled from body.
// An unknown type is not logged here: the caller's line names it, within its limit per second.
Decoded decodeMessage(const QString &type, const std::string &body, VProtoMsgPtr &out)
{
    out.reset();
    const QString module = type.section(QLatin1Char('.'), 0, 0);
    VProtoMsgPtr msg(new VProtoBufMessage());
    if (module.isEmpty() || module == type || !msg->make(module + QStringLiteral(".proto"), type, true))
        return Decoded::UnknownType;
    if (!msg->parse(QByteArray::fromRawData(body.data(), static_cast<int>(body.size()))))
        return Decoded::BadBody;
    out = msg;
    return Decoded::Ok;
}

} // namespace

KivoServerComm *KivoServerComm::getInstance()
{
    static KivoServerComm instance;
    return &instance;
}

KivoServerComm::KivoServerComm() : QObject(nullptr)
{
    qRegisterMetaType<QSharedPointer<VProtoBufMessage>>("QSharedPointer<VProtoBufMessage>");
    qRegisterMetaType<KivoServerResponse>("KivoServerResponse");
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
    m_connection = new KivoServerConnection(this);
    connect(m_connection, &KivoServerConnection::connected, this, &KivoServerComm::sendQueued);
    connect(m_connection, &KivoServerConnection::lost, this, &KivoServerComm::onConnectionLost);
    connect(m_connection, &KivoServerConnection::messageReceived, this, &KivoServerComm::onMessage);
}

void KivoServerComm::setRequestSeam(RequestSeam seam)
{
    m_seam = std::move(seam);
}

QPromise<KivoServerResponse> KivoServerComm::requestKivoServer(const VProtoBufMessage &message)
{
    if (m_seam)
        return m_seam(message);
    const QString type = message.typeName();
    if (!message.isValid() || type.isEmpty()) {
        // A page may ask with a type nobody knows at its own pace.
        if (VLogLimiter::getInstance()->admit(QStringLiteral("[PELORIN] request refused:")))
            qWarning().noquote() << "[PELORIN] request refused: the message has no type";
        return QPromise<KivoServerResponse>::reject(
            vErrorInfo(QStringLiteral("server request without a message type"), ErrUnavailable));
    }
    Pending pending;
    pending.type = type;
    pending.frame = message.serialize(); // the body until enqueue wraps it
    return QPromise<KivoServerResponse>(
        [&](const QPromiseResolve<KivoServerResponse> &resolve, const QPromiseReject<KivoServerResponse> &reject) {
            pending.resolve = resolve;
            pending.reject = reject;
            if (QThread::currentThread() == thread()) {
                enqueue(std::move(pending));
                return;
            }
            // The connection belongs to the GUI thread.
            QMetaObject::invokeMethod(
                this, [this, pending]() mutable { enqueue(std::move(pending)); }, Qt::QueuedConnection);
        });
}

void KivoServerComm::enqueue(Pending pending)
{
    const quint64 seq = m_nextSeq++;
    pelorin_wire::Envelope envelope;
    envelope.set_kind(pelorin_wire::Envelope::REQUEST);
    envelope.set_seq(seq);
    const QByteArray typeUtf8 = pending.type.toUtf8();
    envelope.set_type(typeUtf8.constData(), static_cast<size_t>(typeUtf8.size()));
    envelope.set_body(pending.frame.constData(), static_cast<size_t>(pending.frame.size()));
    const std::string frame = envelope.SerializeAsString();
    pending.frame = QByteArray(frame.data(), static_cast<int>(frame.size()));
    pending.timerId = startTimer(timeoutMs());
    m_timers.insert(pending.timerId, seq);
    m_pending.insert(seq, std::move(pending));
    ++m_unsent;
    m_connection->start();
    if (m_connection->isConnected())
        sendQueued();
}

void KivoServerComm::sendQueued()
{
    for (auto it = m_pending.begin(); m_unsent > 0 && it != m_pending.end(); ++it) {
        if (it->sent)
            continue;
        if (!m_connection->send(it->frame))
            return; // the connection is going; the rest waits for the next one
        it->sent = true;
        it->frame.clear();
        --m_unsent;
    }
}

void KivoServerComm::timerEvent(QTimerEvent *event)
{
    const auto timer = m_timers.constFind(event->timerId());
    if (timer == m_timers.constEnd()) {
        QObject::timerEvent(event);
        return;
    }
    const auto it = m_pending.find(timer.value());
    if (it == m_pending.end()) {
        killTimer(event->timerId());
        m_timers.remove(event->timerId());
        return;
    }
    const quint64 seq = it.key();
    Pending pending = take(it);
    qWarning().noquote() << "[PELORIN] request timed out:" << pending.type << "seq" << seq
                         << (pending.sent ? "(sent)" : "(never sent)");
    pending.reject(vErrorInfo(QStringLiteral("server request timed out: %1").arg(pending.type), ErrTimeout));
}

KivoServerComm::Pending KivoServerComm::take(QMap<quint64, Pending>::iterator it)
{
    Pending pending = std::move(it.value());
    m_pending.erase(it);
    killTimer(pending.timerId);
    m_timers.remove(pending.timerId);
    if (!pending.sent)
        --m_unsent;
    return pending;
}

void KivoServerComm::rejectAll(bool sentOnly, int code, const QString &what)
{
    QVector<Pending> settled;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (sentOnly && !it->sent) {
            ++it;
            continue;
        }
        const auto next = std::next(it);
        settled.append(take(it));
        it = next;
    }
    for (const Pending &pending : settled) {
        qWarning().noquote() << "[PELORIN] request rejected:" << what.arg(pending.type);
        pending.reject(vErrorInfo(what.arg(pending.type), code));
    }
}

void KivoServerComm::onConnectionLost(const QString &reason)
{
    Q_UNUSED(reason)
    // What is sent has no answer coming; what waits goes out on the next connection.
    rejectAll(true, ErrConnectionLost, QStringLiteral("server connection lost: %1"));
}

void KivoServerComm::connectToServer()
{
    m_connection->start();
}

void KivoServerComm::disconnectFromServer()
{
    m_connection->stop();
    rejectAll(false, ErrClosed, QStringLiteral("server connection closed: %1"));
}

bool KivoServerComm::isConnected() const
{
    return m_connection->isConnected();
}

int KivoServerComm::timeoutMs() const
{
    bool ok = false;
    const int ms = QuadrelConfig::getInstance()->getConfig(QStringLiteral("PelorinTimeoutMs")).trimmed().toInt(&ok);
    return ok && ms > 0 ? ms : kDefaultTimeoutMs;
}

void KivoServerComm::onMessage(const QByteArray &bytes)
{
    pelorin_wire::Envelope envelope;
    if (!envelope.ParseFromArray(bytes.constData(), bytes.size())) {
        if (VLogLimiter::getInstance()->admit(QStringLiteral("[PELORIN] dropped a message that is not an envelope")))
            qWarning().noquote() << "[PELORIN] dropped a message that is not an envelope:" << bytes.size() << "bytes";
        return;
    }
    switch (envelope.kind()) {
    case pelorin_wire::Envelope::RESPONSE:
        onResponse(envelope.seq(), fromStd(envelope.type()), envelope.body(), envelope.code(), fromStd(envelope.text()));
        return;
    case pelorin_wire::Envelope::BROADCAST:
        onBroadcast(envelope.broadcastid(), fromStd(envelope.type()), envelope.body());
        return;
    default:
        if (VLogLimiter::getInstance()->admit(QStringLiteral("[PELORIN] dropped an envelope of kind")))
            qWarning().noquote() << "[PELORIN] dropped an envelope of kind" << envelope.kind() << "from the server";
        return;
    }
}

void KivoServerComm::onResponse(quint64 seq, const QString &type, const std::string &body, int code,
                                const QString &text)
{
    const auto it = m_pending.find(seq);
    if (it == m_pending.end() || !it->sent) {
        if (VLogLimiter::getInstance()->admit(QStringLiteral("[PELORIN] ignored a reply for seq")))
            qWarning().noquote() << "[PELORIN] ignored a reply for seq" << seq << "that is not pending:"
                                 << VLogText::cut(type, VLogText::Server);
        return;
    }
    Pending pending = take(it);
    KivoServerResponse response;
    response.resultCode = code;
    response.resultMessage = text;
    if (!type.isEmpty()) {
        const Decoded decoded = decodeMessage(type, body, response.replyMessage);
        if (decoded != Decoded::Ok) {
            qWarning().noquote() << "[PELORIN] reply of" << pending.type << "dropped:"
                                 << VLogText::cut(type, VLogText::Server)
                                 << (decoded == Decoded::UnknownType ? "is an unknown type" : "does not parse");
            pending.reject(vErrorInfo(QStringLiteral("server reply could not be decoded: %1").arg(type), ErrBadReply));
            return;
        }
    }
    pending.resolve(response);
}

void KivoServerComm::onBroadcast(int id, QString type, const std::string &body)
{
    VProtoKeyMgr *keys = VProtoKeyMgr::getInstance();
    if (type.isEmpty() && id != 0)
        type = keys->value(QString::number(id));
    if (id == 0 && !type.isEmpty())
        id = keys->value(type).toInt();
    VLogLimiter *limiter = VLogLimiter::getInstance();
    if (qint64(body.size()) > kMaxBroadcastBytes) {
        if (limiter->admit(QStringLiteral("[PELORIN] dropped an oversize broadcast")))
            qWarning().noquote() << "[PELORIN] dropped an oversize broadcast" << id
                                 << VLogText::cut(type, VLogText::Server) << "of"
                                 << body.size() << "bytes, the limit is" << kMaxBroadcastBytes;
        return;
    }
    if (id == 0 && limiter->admit(QStringLiteral("[PELORIN] broadcast with an unknown id")))
        qWarning().noquote() << "[PELORIN] broadcast with an unknown id:" << VLogText::cut(type, VLogText::Server);
    VProtoMsgPtr msg;
    if (type.isEmpty()) {
        if (limiter->admit(QStringLiteral("[PELORIN] broadcast with an unknown name")))
            qWarning().noquote() << "[PELORIN] broadcast" << id << "with an unknown name";
    } else {
        const Decoded decoded = decodeMessage(type, body, msg);
        if (decoded == Decoded::BadBody) {
            if (limiter->admit(QStringLiteral("[PELORIN] dropped broadcast")))
                qWarning().noquote() << "[PELORIN] dropped broadcast" << id << VLogText::cut(type, VLogText::Server)
                                     << ": the body does not parse";
            return;
        }
        if (decoded == Decoded::UnknownType && limiter->admit(QStringLiteral("[PELORIN] broadcast of an unknown type")))
            qWarning().noquote() << "[PELORIN] broadcast" << id << "of an unknown type:"
                                 << VLogText::cut(type, VLogText::Server);
    }
    // Unknown ones still reach the router, which logs them as empty.
    emit sigRecvBroadCast(id, msg);
}
