#include "KivoServerConnection.h"

#include "QuadrelConfig.h"
#include "VBroadcastBacklog.h"
#include "VLogLimiter.h"
#include "VLogText.h"

#include <QAbstractSocket>
#include <QEvent>
#include <QWebSocket>
#include <QtDebug>

#include <algorithm>

KivoServerConnection::KivoServerConnection(QObject *parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &KivoServerConnection::openSocket);
    connect(VBroadcastBacklog::getInstance(), &VBroadcastBacklog::released, this, [this] { deliver(); });
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
    // What was read is handed on first.
    deliver(true);
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
    // A small kernel buffer: one read brings at most that much, so what waits here is handed on
    // well within QWebSocket's 5 s wait for the rest of a frame the read cut.
    if (auto *tcp = m_socket->findChild<QAbstractSocket *>(QString(), Qt::FindDirectChildrenOnly))
        tcp->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, int(kReceiveBufferBytes));
    // The TCP socket's read notifier, several children down; without it reading never waits.
    m_readNotifier = nullptr;
    for (QSocketNotifier *notifier : m_socket->findChildren<QSocketNotifier *>())
        if (notifier->type() == QSocketNotifier::Read)
            m_readNotifier = notifier;
    if (m_readNotifier)
        m_readNotifier->installEventFilter(this);
    else
        qWarning().noquote() << "[PELORIN] no read notifier under the WebSocket: reading never waits";
    qInfo().noquote() << "[PELORIN] server connected:" << m_url.toString();
    emit connected();
}

void KivoServerConnection::onDown(const QString &reason)
{
    // The error and the disconnected signal of one socket both land here; the first one counts.
    if (!m_started || m_retry.isActive())
        return;
    // What was read before the loss is handed on before it.
    deliver(true);
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
        if (VLogLimiter::getInstance()->admit(QStringLiteral("[PELORIN] dropped an oversize message")))
            qWarning().noquote() << "[PELORIN] dropped an oversize message of" << bytes.size() << "bytes, the limit is"
                                 << kMaxMessageBytes;
        return;
    }
    m_waiting.enqueue(bytes);
    deliver();
}

void KivoServerConnection::deliver(bool all)
{
    // A receiver's nested event loop may bring more; the loop below takes it.
    if (m_delivering)
        return;
    m_delivering = true;
    int handed = 0;
    while (!m_waiting.isEmpty()
           && (all || (m_roundMessages < kRoundMessages && !VBroadcastBacklog::getInstance()->isHolding()))) {
        ++m_roundMessages;
        ++handed;
        emit messageReceived(m_waiting.dequeue());
    }
    m_delivering = false;
    if (handed > 0) {
        if (m_roundOpen) {
            m_sinceQueued += handed;
        } else {
            // Queued behind what these messages queued.
            m_roundOpen = true;
            m_sinceQueued = 0;
            QMetaObject::invokeMethod(this, &KivoServerConnection::endRound, Qt::QueuedConnection);
        }
    }
    updateReading();
}

void KivoServerConnection::endRound()
{
    if (m_sinceQueued > 0) {
        m_sinceQueued = 0;
        QMetaObject::invokeMethod(this, &KivoServerConnection::endRound, Qt::QueuedConnection);
        return;
    }
    m_roundOpen = false;
    m_roundMessages = 0;
    deliver();
}

bool KivoServerConnection::mayRead() const
{
    return m_waiting.isEmpty() && !m_roundOpen && !VBroadcastBacklog::getInstance()->isHolding();
}

void KivoServerConnection::updateReading()
{
    if (!m_readNotifier)
        return;
    if (!mayRead())
        m_readNotifier->setEnabled(false);
    else if (m_readHeld)
        m_readNotifier->setEnabled(true);
    m_readHeld = !mayRead();
}

bool KivoServerConnection::eventFilter(QObject *watched, QEvent *event)
{
    // Qt enables the notifier again as it reads; while reading waits, the event waits too.
    if (watched == m_readNotifier && event->type() == QEvent::SockAct && !mayRead()) {
        m_readNotifier->setEnabled(false);
        m_readHeld = true;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void KivoServerConnection::onTextMessage(const QString &text)
{
    if (VLogLimiter::getInstance()->admit(QStringLiteral("[PELORIN] ignored a text message")))
        qWarning().noquote() << "[PELORIN] ignored a text message of" << text.size() << "characters";
}

void KivoServerConnection::discardSocket()
{
    m_connected = false;
    m_readNotifier = nullptr;
    m_readHeld = false;
    m_waiting.clear();
    QWebSocket *socket = m_socket;
    m_socket = nullptr;
    if (!socket)
        return;
    socket->disconnect(this);
    socket->abort();
    // May be inside one of its own signals.
    socket->deleteLater();
}
