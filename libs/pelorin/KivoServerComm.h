#pragma once

#include "KivoServerResponse.h"
#include "VProtoBufMessage.h"
#include "vErrorInfo.h"

#include <QtPromise>

#include <QHash>
#include <QMap>
#include <QObject>

#include <functional>

class KivoServerConnection;

// The server connection: requests answered through promises that settle on the GUI thread,
// broadcasts emitted through sigRecvBroadCast with their id and decoded message.
// Requests are paired with replies by sequence number; while the connection is down they
// wait in order and go out once it is up. Each one times out after "PelorinTimeoutMs".
class KivoServerComm : public QObject
{
    Q_OBJECT
public:
    typedef std::function<QtPromise::QPromise<KivoServerResponse>(const VProtoBufMessage &)> RequestSeam;

    // Codes of the vErrorInfo rejections.
    enum ErrorCode {
        ErrUnavailable = -1,    // the message has no type
        ErrTimeout = -2,        // no reply within the time-out
        ErrConnectionLost = -3, // sent, then the connection went away
        ErrClosed = -4,         // pending when the connection was shut down
        ErrBadReply = -5,       // the reply could not be decoded
    };

    static const int kDefaultTimeoutMs = 10000;
    // A broadcast's body on the wire may be this long at most; a longer one is dropped unparsed
    // (logged): parsing costs many times its size, and so long a body is of no use, its JSON
    // (but for long arrays of numbers) being over what a page is ever sent.
    static constexpr qint64 kMaxBroadcastBytes = 4 * 1024 * 1024;

    static KivoServerComm *getInstance();

    // Takes what it needs from the message before returning; the message may go at once.
    QtPromise::QPromise<KivoServerResponse> requestKivoServer(const VProtoBufMessage &message);

    // Tests answer requests here instead of the network; an empty function restores it.
    void setRequestSeam(RequestSeam seam);

    // Opens the connection to "PelorinServer" (initPelorin); requests also open it on first use.
    void connectToServer();
    // Rejects everything pending and closes the connection (unInitPelorin); a later request
    // opens it again.
    void disconnectFromServer();

    bool isConnected() const;
    int pendingCount() const { return m_pending.size(); }

signals:
    void sigRecvBroadCast(int protoId, QSharedPointer<VProtoBufMessage> pbMsg);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    struct Pending
    {
        QString type;
        QByteArray frame; // the envelope until it is sent
        bool sent = false;
        int timerId = 0;
        QtPromise::QPromiseResolve<KivoServerResponse> resolve;
        QtPromise::QPromiseReject<KivoServerResponse> reject;
    };

    KivoServerComm();

    void enqueue(Pending pending);
    void sendQueued();
    void onConnectionLost(const QString &reason);
    void onMessage(const QByteArray &bytes);
    void onResponse(quint64 seq, const QString &type, const std::string &body, int code, const QString &text);
    void onBroadcast(int id, QString type, const std::string &body);
    // Removes the request and hands it back for settling.
    Pending take(QMap<quint64, Pending>::iterator it);
    void rejectAll(bool sentOnly, int code, const QString &what);
    int timeoutMs() const;

    RequestSeam m_seam;
    KivoServerConnection *m_connection = nullptr;
    QMap<quint64, Pending> m_pending; // by sequence number, so in the order of the requests
    QHash<int, quint64> m_timers;     // timer id -> sequence number
    int m_unsent = 0;                 // pending but not yet sent
    quint64 m_nextSeq = 1;
};
