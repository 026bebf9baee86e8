#include "VHttpWorker.h"

#include "VHttpComm.h"

#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <zlib.h>

namespace {

const qint64 kReadChunk = 64 * 1024;

// What a reply has delivered so far. A compressed body reaches us as it was sent (the request
// names the encodings itself, so the network layer leaves it alone) and is inflated here a piece
// at a time: the cap counts inflated bytes, and a small reply that would inflate to gigabytes is
// stopped one byte past the cap instead of being inflated whole first.
struct Received
{
    QByteArray body;
    bool tooLarge = false;
    bool damaged = false;
    bool decided = false; // whether the body is compressed is known
    bool compressed = false;
    bool rawDeflate = false; // "deflate" sent without its zlib wrapper, as some servers do
    bool ended = false;
    z_stream stream{};

    ~Received()
    {
        if (compressed)
            inflateEnd(&stream);
    }

    void decide(QNetworkReply *reply)
    {
        if (decided)
            return;
        decided = true;
        const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
        if (encoding != "gzip" && encoding != "x-gzip" && encoding != "deflate")
            return;
        // Either wrapper, told apart by its header.
        compressed = inflateInit2(&stream, MAX_WBITS + 32) == Z_OK;
        damaged = !compressed;
    }

    // Adds what arrived to the body, inflated when it was compressed, never more than one byte
    // past the cap.
    void take(const QByteArray &data)
    {
        if (!compressed) {
            body += data.left(int(VHttpComm::kMaxReplyBytes + 1 - body.size()));
            return;
        }
        const uLong before = stream.total_in;
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
        stream.avail_in = uInt(data.size());
        while (!ended && !damaged && body.size() <= VHttpComm::kMaxReplyBytes) {
            const int old = body.size();
            const int room = int(qMin<qint64>(kReadChunk, VHttpComm::kMaxReplyBytes + 1 - old));
            body.resize(old + room);
            stream.next_out = reinterpret_cast<Bytef *>(body.data() + old);
            stream.avail_out = uInt(room);
            const int rc = inflate(&stream, Z_NO_FLUSH);
            body.resize(old + room - int(stream.avail_out));
            if (rc == Z_STREAM_END) {
                ended = true;
            } else if (rc == Z_DATA_ERROR && before == 0 && stream.total_out == 0 && !rawDeflate) {
                // No wrapper at the start: read it again as bare deflate data.
                rawDeflate = inflateReset2(&stream, -MAX_WBITS) == Z_OK;
                damaged = !rawDeflate;
                stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
                stream.avail_in = uInt(data.size());
            } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
                damaged = true;
            } else if (stream.avail_out > 0 && stream.avail_in == 0) {
                break; // all of it inflated; the rest comes with the next piece
            }
        }
    }
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
    // The encodings the network layer would offer, named here so that it passes the body on
    // as sent and we inflate it within the cap.
    request.setRawHeader(QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("gzip, deflate"));
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
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, received, refuseIfTooLarge]() {
        received->decide(reply);
        // The announced length counts what is sent, so it says nothing of a compressed body.
        bool known = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && !received->compressed)
            refuseIfTooLarge(length);
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, received, refuseIfTooLarge]() {
        received->decide(reply);
        while (!received->tooLarge && !received->damaged && reply->bytesAvailable() > 0) {
            // A plain body is read no further than one byte past the cap; a compressed one a
            // piece at a time, each inflated before the next is read.
            const qint64 budget = VHttpComm::kMaxReplyBytes + 1 - received->body.size();
            const QByteArray data = reply->read(received->compressed ? kReadChunk : budget);
            if (data.isEmpty())
                break;
            received->take(data);
            refuseIfTooLarge(received->body.size() + (received->compressed ? 0 : reply->bytesAvailable()));
        }
        if (received->damaged)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, call, reply, received]() {
        m_replies.remove(call.data());
        received->decide(reply);
        if (!received->tooLarge && !received->damaged)
            received->take(reply->readAll());
        const bool tooLarge = received->tooLarge || received->body.size() > VHttpComm::kMaxReplyBytes;
        // A compressed body that does not inflate, or breaks off where the transfer itself went
        // well, is no reply.
        const bool damaged = !tooLarge && received->compressed
            && (received->damaged
                || (!received->ended && received->stream.total_in > 0 && reply->error() == QNetworkReply::NoError));
        const bool failed = tooLarge || damaged || reply->error() != QNetworkReply::NoError;
        const QString text = tooLarge ? QStringLiteral("reply larger than %1 bytes").arg(VHttpComm::kMaxReplyBytes)
            : damaged                 ? QStringLiteral("compressed reply could not be inflated")
                                      : reply->errorString();
        reply->deleteLater();
        QMutexLocker locker(&call->mutex);
        call->body = tooLarge || damaged ? QByteArray() : received->body;
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
