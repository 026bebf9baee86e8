#include "VHttpWorker.h"

#include "VHttpComm.h"

#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

const qint64 kReadChunk = 64 * 1024;

// What a reply has delivered so far.
struct Received
{
    QByteArray body;
    bool tooLarge = false;
};

} // namespace

void VHttpWorker::start(QSharedPointer<VHttpCall> call)
{
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);
    {
        QMutexLocker locker(&call->mutex);
        if (call->abandoned)
            return;
    }
    QNetworkRequest request(call->url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/octet-stream"));
    request.setTransferTimeout(call->timeoutMs);
    QNetworkReply *reply = m_manager->post(request, call->payload);
    m_replies.insert(call.data(), reply);
    // The body is collected here as it arrives, so a reply over the limit is never held whole.
    // Qt passes the bound on to its network thread only once the request has started there, so
    // it is set again then; without that the network thread reads an unending stream ahead.
    reply->setReadBufferSize(kReadChunk);
    const QPointer<QNetworkReply> started(reply);
    QMetaObject::invokeMethod(
        this,
        [started]() {
            if (started)
                started->setReadBufferSize(kReadChunk);
        },
        Qt::QueuedConnection);
    auto received = QSharedPointer<Received>::create();
    auto refuseIfTooLarge = [reply, received](qint64 size) {
        if (received->tooLarge || size <= VHttpComm::kMaxReplyBytes)
            return;
        received->tooLarge = true;
        received->body.clear();
        reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, refuseIfTooLarge]() {
        bool known = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known)
            refuseIfTooLarge(length);
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, received, refuseIfTooLarge]() {
        if (received->tooLarge)
            return;
        received->body += reply->read(VHttpComm::kMaxReplyBytes + 1 - received->body.size());
        refuseIfTooLarge(received->body.size() + reply->bytesAvailable());
    });
    connect(reply, &QNetworkReply::finished, this, [this, call, reply, received]() {
        m_replies.remove(call.data());
        if (!received->tooLarge)
            received->body += reply->readAll();
        const bool tooLarge = received->tooLarge || received->body.size() > VHttpComm::kMaxReplyBytes;
        const bool failed = tooLarge || reply->error() != QNetworkReply::NoError;
        const QString text = tooLarge ? QStringLiteral("reply larger than %1 bytes").arg(VHttpComm::kMaxReplyBytes)
                                      : reply->errorString();
        reply->deleteLater();
        QMutexLocker locker(&call->mutex);
        call->body = tooLarge ? QByteArray() : received->body;
        call->error = failed;
        call->errorText = failed ? text : QString();
        call->done = true;
        call->settled.wakeAll();
    });
}

void VHttpWorker::abandon(QSharedPointer<VHttpCall> call)
{
    const QPointer<QNetworkReply> reply = m_replies.take(call.data());
    if (reply) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}
