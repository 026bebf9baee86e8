#include "VReplyReader.h"

#include <QMetaObject>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <zlib.h>

namespace {

const qint64 kReadChunk = 64 * 1024;

} // namespace

struct VReplyBody::Stream
{
    z_stream z{};
    bool open = false;
    ~Stream()
    {
        if (open)
            inflateEnd(&z);
    }
};

VReplyBody::VReplyBody(qint64 cap, bool compressed) : m_cap(cap), m_compressed(compressed) {}

VReplyBody::~VReplyBody() = default;

void VReplyBody::announce(qint64 length)
{
    // The announced length counts what is sent, so it says nothing of a compressed body.
    if (!m_compressed && length > m_cap)
        refuseAsTooLarge();
}

qint64 VReplyBody::wanted() const
{
    // A plain body is read no further than one byte past the cap; a compressed one a piece at a
    // time, each inflated before the next is read.
    return m_compressed ? kReadChunk : qMax<qint64>(1, m_cap + 1 - m_body.size());
}

QString VReplyBody::failure() const
{
    if (m_tooLarge)
        return QStringLiteral("reply larger than %1 bytes").arg(m_cap);
    if (m_damaged)
        return QStringLiteral("compressed reply could not be inflated");
    return {};
}

void VReplyBody::refuseAsTooLarge()
{
    m_tooLarge = true;
    m_body.clear();
}

void VReplyBody::take(const QByteArray &piece)
{
    if (failed() || piece.isEmpty())
        return;
    if (!m_compressed) {
        m_body += piece.left(int(m_cap + 1 - m_body.size()));
        if (m_body.size() > m_cap)
            refuseAsTooLarge();
        return;
    }
    if (m_format != Format::Undecided) {
        inflateSome(piece);
        return;
    }
    // The wrapper is told by the first two bytes, however the first pieces are cut: a lone
    // first byte tells nothing yet.
    m_head += piece;
    if (m_head.size() < 2)
        return;
    const uchar b0 = uchar(m_head.at(0));
    const uchar b1 = uchar(m_head.at(1));
    int windowBits = -MAX_WBITS; // "deflate" sent without its zlib wrapper, as some servers do
    m_format = Format::Raw;
    if (b0 == 0x1f && b1 == 0x8b) {
        m_format = Format::Gzip;
        windowBits = MAX_WBITS + 16;
    } else if ((b0 & 0x0f) == Z_DEFLATED && (b0 >> 4) <= 7 && ((b0 << 8) | b1) % 31 == 0) {
        m_format = Format::Zlib;
        windowBits = MAX_WBITS;
    }
    m_stream = std::make_unique<Stream>();
    m_stream->open = inflateInit2(&m_stream->z, windowBits) == Z_OK;
    if (!m_stream->open) {
        m_damaged = true;
        return;
    }
    const QByteArray head = m_head;
    m_head.clear();
    inflateSome(head);
}

void VReplyBody::inflateSome(const QByteArray &data)
{
    z_stream &z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    while (!failed()) {
        if (m_ended) {
            // Zero bytes after a gzip member are padding, as gzip itself reads them; after
            // padding nothing else may follow.
            while (m_format == Format::Gzip && z.avail_in > 0 && *z.next_in == 0) {
                ++z.next_in;
                --z.avail_in;
                m_padded = true;
            }
            if (z.avail_in == 0)
                break;
            // More after the end: in gzip the next member of the same body, which is read as
            // well; anything else would leave part of the reply unread.
            if (m_format != Format::Gzip || m_padded || inflateReset(&z) != Z_OK) {
                m_damaged = true;
                break;
            }
            m_ended = false;
        }
        const int old = m_body.size();
        const int room = int(qMin<qint64>(kReadChunk, m_cap + 1 - old));
        m_body.resize(old + room);
        z.next_out = reinterpret_cast<Bytef *>(m_body.data() + old);
        z.avail_out = uInt(room);
        const int rc = inflate(&z, Z_NO_FLUSH);
        m_body.resize(old + room - int(z.avail_out));
        if (m_body.size() > m_cap) {
            refuseAsTooLarge();
        } else if (rc == Z_STREAM_END) {
            m_ended = true;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            m_damaged = true;
        } else if (z.avail_out > 0 && z.avail_in == 0) {
            break; // all of it inflated; the rest comes with the next piece
        }
    }
}

void VReplyBody::end()
{
    if (!m_compressed || failed())
        return;
    // An empty body is empty whatever its encoding; anything else must reach its end.
    if (m_format == Format::Undecided ? !m_head.isEmpty() : !m_ended)
        m_damaged = true;
    if (m_damaged)
        m_body.clear();
}

void VReplyReader::prepare(QNetworkRequest &request)
{
    request.setRawHeader(QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("gzip, deflate"));
}

void VReplyReader::collect(QNetworkReply *reply, qint64 cap, QObject *context,
                           std::function<void(QNetworkReply *, const VReplyBody &)> done)
{
    // Qt passes the read bound on to its network thread only once the request has started there,
    // so it is set again then; without that the network thread reads an unending stream ahead.
    reply->setReadBufferSize(kReadChunk);
    QMetaObject::invokeMethod(
        reply, [reply]() { reply->setReadBufferSize(kReadChunk); }, Qt::QueuedConnection);

    // Made once the headers tell whether the body is compressed.
    auto body = std::make_shared<std::unique_ptr<VReplyBody>>();
    auto bodyOf = [reply, cap, body]() -> VReplyBody & {
        if (!*body) {
            const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
            *body = std::make_unique<VReplyBody>(
                cap, encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate");
        }
        return **body;
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, context, [reply, bodyOf]() {
        VReplyBody &received = bodyOf();
        bool known = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known)
            received.announce(length);
        if (received.failed())
            reply->abort();
    });
    // Takes what has arrived, no further than the body wants.
    auto drain = [reply, bodyOf]() -> VReplyBody & {
        VReplyBody &received = bodyOf();
        while (!received.failed() && reply->bytesAvailable() > 0) {
            const QByteArray data = reply->read(received.wanted());
            if (data.isEmpty())
                break;
            received.take(data);
        }
        return received;
    };
    QObject::connect(reply, &QNetworkReply::readyRead, context, [reply, drain]() {
        if (drain().failed())
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, drain, done]() {
        VReplyBody &received = drain();
        // A body that breaks off with the transfer is the transfer's failure, told by the reply.
        if (reply->error() == QNetworkReply::NoError)
            received.end();
        done(reply, received);
    });
}
