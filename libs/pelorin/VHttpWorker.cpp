#include "VHttpWorker.h"

#include "VHttpComm.h"
#include "VReplyReader.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>

#include <QtNetwork/private/qnetworkaccessmanager_p.h>

namespace {

// The manager's network thread, if it has one. Qt exports no type information for its private
// classes, so the sanitizer's check of the cast is left out here.
__attribute__((no_sanitize("vptr"))) QThread *networkThread(QNetworkAccessManager *manager)
{
    return static_cast<QNetworkAccessManagerPrivate *>(QObjectPrivate::get(manager))->thread;
}

} // namespace

VHttpWorker::~VHttpWorker()
{
    // Deleted, the manager gives its network thread 5 s to end, then leaves it to delete itself
    // from this thread's loop, which has ended by then: a thread still reading a hostile reply
    // would be lost. Its work is bounded by what the reply sent, so it is given a minute here.
    if (!m_manager)
        return;
    QThread *network = networkThread(m_manager);
    if (network) {
        network->quit();
        if (!network->wait(QDeadlineTimer(60000)))
            qWarning() << "[HTTP] the network thread of a request given up is still busy after 60 s";
    }
}

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
