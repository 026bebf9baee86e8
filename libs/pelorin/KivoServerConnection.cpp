#include "KivoServerConnection.h"

#include "QuadrelConfig.h"
#include "VLogText.h"

#include <QWebSocket>
#include <QtDebug>

#include <algorithm>

KivoServerConnection::KivoServerConnection(QObject *parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &KivoServerConnection::openSocket);
}

KivoServerConnection::~KivoServerConnection()
{
    m_started = false;
    discardSocket();
}

void KivoServerConnection::start()
{
    if (m_started)
        return;
    m_started = true;
    m_retryMs = kFirstRetryMs;
    openSocket();
}

void KivoServerConnection::stop()
{
    if (!m_started)
        return;
    m_started = false;
    m_retry.stop();
    const bool wasConnected = m_connected;
    discardSocket();
    if (wasConnected)
        qInfo().noquote() << "[PELORIN] server connection closed:" << m_url.toString();
}

bool KivoServerConnection::send(const QByteArray &bytes)
{
    if (!m_connected || !m_socket)
        return false;
    return m_socket->sendBinaryMessage(bytes) == bytes.size();
}

void KivoServerConnection::openSocket()
{
    if (!m_started || m_socket)
        return;
    // Read at every attempt, so a changed address is used on the next reconnection.
    m_url = QUrl(QuadrelConfig::getInstance()->getConfig(QStringLiteral("PelorinServer")).trimmed());
    const QString scheme = m_url.scheme();
    if (!m_url.isValid() || m_url.host().isEmpty() || (scheme != QLatin1String("ws") && scheme != QLatin1String("wss"))) {
        onDown(QStringLiteral("no valid ws:// address in PelorinServer: \"%1\"").arg(m_url.toString()));
        return;
    }
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    m_socket->setMaxAllowedIncomingMessageSize(static_cast<quint64>(kSocketLimitBytes));
    m_socket->setMaxAllowedIncomingFrameSize(static_cast<quint64>(kSocketLimitBytes));
    connect(m_socket, &QWebSocket::connected, this, &KivoServerConnection::onConnected);
    connect(m_socket, &QWebSocket::disconnected, this,
            [this] { onDown(m_socket ? m_socket->errorString() : QString()); });
    connect(m_socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError) { onDown(m_socket ? m_socket->errorString() : QString()); });
    connect(m_socket, &QWebSocket::binaryMessageReceived, this, &KivoServerConnection::onBinaryMessage);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &KivoServerConnection::onTextMessage);
    m_socket->open(m_url);
}

void KivoServerConnection::onConnected()
{
    m_connected = true;
    m_retryMs = kFirstRetryMs;
    qInfo().noquote() << "[PELORIN] server connected:" << m_url.toString();
    emit connected();
}

void KivoServerConnection::onDown(const QString &reason)
{
    // The error and the disconnected signal of one socket both land here; the first one counts.
    if (!m_started || m_retry.isActive())
        return;
    const bool wasConnected = m_connected;
    discardSocket();
    const int delay = m_retryMs;
    m_retryMs = std::min(m_retryMs * 2, kLastRetryMs);
    m_retry.start(delay);
    if (wasConnected) {
        qWarning().noquote() << "[PELORIN] server connection lost:" << VLogText::cut(reason) << "- reconnecting in" << delay << "ms";
        emit lost(reason);
    } else {
        qWarning().noquote() << "[PELORIN] server connection failed:" << m_url.toString() << VLogText::cut(reason)
                             << "- retrying in" << delay << "ms";
    }
}

void KivoServerConnection::onBinaryMessage(const QByteArray &bytes)
{
    if (bytes.size() > kMaxMessageBytes) {
        qWarning().noquote() << "[PELORIN] dropped an oversize message of" << bytes.size() << "bytes, the limit is"
                             << kMaxMessageBytes;
        return;
    }
    emit messageReceived(bytes);
}

void KivoServerConnection::onTextMessage(const QString &text)
{
    qWarning().noquote() << "[PELORIN] ignored a text message of" << text.size() << "characters";
}

void KivoServerConnection::discardSocket()
{
    m_connected = false;
    QWebSocket *socket = m_socket;
    m_socket = nullptr;
    if (!socket)
        return;
    socket->disconnect(this);
    socket->abort();
    // May be inside one of its own signals.
    socket->deleteLater();
}
