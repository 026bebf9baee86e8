#include "VHttpWorker.h"

#include "VHttpComm.h"
#include "VReplyReader.h"

#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

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
    VReplyReader::prepare(request);
    QNetworkReply *reply = m_manager->post(request, call->payload);
    m_replies.insert(call.data(), reply);
    // The body is collected as it arrives, so a reply over the limit is never held whole.
    VReplyReader::collect(reply, VHttpComm::kMaxReplyBytes, this,
                          [this, call](QNetworkReply *reply, const VReplyBody &received) {
        m_replies.remove(call.data());
        const bool failed = received.failed() || reply->error() != QNetworkReply::NoError;
        const QString text = received.failed() ? received.failure() : reply->errorString();
        reply->deleteLater();
        QMutexLocker locker(&call->mutex);
        call->body = received.body();
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
