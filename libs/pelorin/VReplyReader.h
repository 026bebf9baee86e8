#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QNetworkReply;
class QObject;
class QNetworkRequest;

// A reply body collected within a cap, a piece at a time as it arrives. A compressed body
// (gzip, zlib or bare deflate) is inflated here: the cap counts inflated bytes, and a small body
// that would inflate to gigabytes is stopped one byte past the cap instead of being inflated
// whole first. Nothing past one byte over the cap is ever kept.
class VReplyBody
{
public:
    VReplyBody(qint64 cap, bool compressed);
    ~VReplyBody();
    VReplyBody(const VReplyBody &) = delete;
    VReplyBody &operator=(const VReplyBody &) = delete;

    bool compressed() const { return m_compressed; }
    // The length the reply announced; for a plain body, one over the cap fails at once.
    void announce(qint64 length);
    // Adds a piece of the body as it arrived.
    void take(const QByteArray &piece);
    // How much to read for the next piece.
    qint64 wanted() const;
    // The transfer ended well: a compressed body must be complete by now.
    void end();

    bool tooLarge() const { return m_tooLarge; }
    bool damaged() const { return m_damaged; }
    bool failed() const { return m_tooLarge || m_damaged; }
    // Why it failed, as the log and the caller say it.
    QString failure() const;
    // What arrived, inflated; empty once it failed.
    QByteArray body() const { return failed() ? QByteArray() : m_body; }

private:
    enum class Format { Undecided, Gzip, Zlib, Raw };
    void inflateSome(const QByteArray &data);
    void refuseAsTooLarge();

    struct Stream;
    const qint64 m_cap;
    const bool m_compressed;
    QByteArray m_body;
    bool m_tooLarge = false;
    bool m_damaged = false;
    Format m_format = Format::Undecided;
    QByteArray m_head; // the first bytes, until they tell the format
    bool m_ended = false; // the compressed data (in gzip, its last member so far) is complete
    bool m_padded = false; // zero bytes followed the last gzip member
    std::unique_ptr<Stream> m_stream;
};

namespace VReplyReader {

// Names the encodings the network layer would offer itself, so that it passes a compressed
// body on as sent and the body is inflated within the cap.
void prepare(QNetworkRequest &request);

// Collects the reply's body within cap as it arrives, aborting the reply once the body fails,
// and calls done once, when the reply has finished; done may delete the reply later. The reply's
// signals are connected to context (of the reply's thread): disconnecting the reply from it
// stops the collecting.
void collect(QNetworkReply *reply, qint64 cap, QObject *context,
             std::function<void(QNetworkReply *, const VReplyBody &)> done);

} // namespace VReplyReader
