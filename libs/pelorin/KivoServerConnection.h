#pragma once

#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

class QWebSocket;

// The one WebSocket to the server: opened on start, kept open with reconnection after a
// growing pause (250 ms doubling up to 5 s, back to 250 ms once connected), closed on stop.
// Every attempt gets a fresh socket, so nothing half-received survives a reconnection.
// Hands on each binary message up to kMaxMessageBytes; larger ones and text messages are
// logged and dropped without closing the connection. Lives on the thread that owns it.
//
// What it takes in is bounded: it hands on at most kRoundMessages messages at a time and the
// next ones only once everything those queued on its thread (the broadcast router's handling,
// page writes) has run, and while the broadcast backlog (VBroadcastBacklog) does not hold it.
// Meanwhile it reads nothing from its socket, so the bytes wait in the kernel and TCP holds the
// server back; what one read brought beyond the round waits here, as it came.
class KivoServerConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kMaxMessageBytes = 16 * 1024 * 1024;
    // Beyond this Qt itself closes the connection; below it our own limit drops the message.
    static constexpr qint64 kSocketLimitBytes = 4 * kMaxMessageBytes;
    static constexpr int kRoundMessages = 256;
    static constexpr qint64 kReceiveBufferBytes = 256 * 1024;
    static constexpr int kFirstRetryMs = 250;
    static constexpr int kLastRetryMs = 5000;

    explicit KivoServerConnection(QObject *parent = nullptr);
    ~KivoServerConnection() override;

    // Wants the connection: opens it now unless it is open, opening or waiting to retry.
    void start();
    // Closes the connection and gives up reconnecting until the next start.
    void stop();

    bool isStarted() const { return m_started; }
    bool isConnected() const { return m_connected; }
    // The address of the current or last attempt.
    QUrl url() const { return m_url; }
    // The pause before the next attempt.
    int retryDelayMs() const { return m_retryMs; }

    // Sends one binary message; false when not connected or the socket refused it.
    bool send(const QByteArray &bytes);

    // Messages read but not handed on yet.
    int waitingCount() const { return m_waiting.size(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void connected();
    // An open connection went away; attempts that never connected only retry.
    void lost(const QString &reason);
    void messageReceived(const QByteArray &bytes);

private:
    void openSocket();
    void onConnected();
    void onDown(const QString &reason);
    void onBinaryMessage(const QByteArray &bytes);
    void onTextMessage(const QString &text);
    void discardSocket();
    // Hands on waiting messages as far as the round and the backlog allow; all with all set.
    void deliver(bool all = false);
    void endRound();
    // Reads from the socket only while nothing waits and nothing holds.
    void updateReading();
    bool mayRead() const;

    QWebSocket *m_socket = nullptr;
    // The read notifier of the socket's TCP socket: disabled, the kernel keeps the bytes.
    QPointer<QSocketNotifier> m_readNotifier;
    QQueue<QByteArray> m_waiting;
    QTimer m_retry;
    QUrl m_url;
    int m_retryMs = kFirstRetryMs;
    bool m_started = false;
    bool m_connected = false;
    bool m_delivering = false;
    bool m_readHeld = false;  // the notifier was disabled here
    bool m_roundOpen = false; // an end-of-round call is queued
    int m_roundMessages = 0;  // handed on in this round
    int m_sinceQueued = 0;    // handed on after the end-of-round call was queued
};
