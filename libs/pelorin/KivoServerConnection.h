#pragma once

#include <QObject>
#include <QTimer>
#include <QUrl>

class QWebSocket;

// The one WebSocket to the server: opened on start, kept open with reconnection after a
// growing pause (250 ms doubling up to 5 s, back to 250 ms once connected), closed on stop.
// Every attempt gets a fresh socket, so nothing half-received survives a reconnection.
// Hands on each binary message up to kMaxMessageBytes; larger ones and text messages are
// logged and dropped without closing the connection. Lives on the thread that owns it.
class KivoServerConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kMaxMessageBytes = 16 * 1024 * 1024;
    // Beyond this Qt itself closes the connection; below it our own limit drops the message.
    static constexpr qint64 kSocketLimitBytes = 4 * kMaxMessageBytes;
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

    QWebSocket *m_socket = nullptr;
    QTimer m_retry;
    QUrl m_url;
    int m_retryMs = kFirstRetryMs;
    bool m_started = false;
    bool m_connected = false;
};
