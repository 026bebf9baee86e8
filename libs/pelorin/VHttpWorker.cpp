#include "VHttpWorker.h"

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
    QNetworkReply *reply = m_manager->post(request, call->payload);
    m_replies.insert(call.data(), reply);
    connect(reply, &QNetworkReply::finished, this, [this, call, reply]() {
        m_replies.remove(call.data());
        const QByteArray body = reply->readAll();
        const bool failed = reply->error() != QNetworkReply::NoError;
        const QString text = reply->errorString();
        reply->deleteLater();
        QMutexLocker locker(&call->mutex);
        call->body = body;
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
