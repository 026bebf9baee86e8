#include "VCefWidgetAbstract.h"

#include <QDebug>
#include <QJsonDocument>
#include <QMoveEvent>
#include <QPointer>
#include <QResizeEvent>
#include <QTimer>
#include <QUrl>

#include "QuadrelConfig.h"
#include "VBroadcastBacklog.h"
#include "VCefBroadcastManager.h"
#include "VCefProcessManager.h"
#include "VCefProtocol.h"
#include "VCefQueryManager.h"
#include "VCefWidgetMover.h"
#include "VCefWidgetPrivate.h"
#include "VLogLimiter.h"
#include "VLogText.h"
#include "buildPageUrl.h"
#include "vSignalsMgr.h"

namespace {
const int kReconnectDelayMs = 1000;
const int kWaitMs = 30000;

// A page may open a pop-up that closes itself as it loads, a new window each time, at its own
// pace: a window's connection and view lines are limited per kind.
bool admitLine(const QString &kind)
{
    return VLogLimiter::getInstance()->admit(kind);
}
} // namespace

VCefWidgetAbstract::VCefWidgetAbstract(QWidget *parent, bool kind)
    : QWidget(parent), d(new VCefWidgetPrivate(this)), m_kind(kind)
{
    initSocket();
    QTimer::singleShot(0, this, &VCefWidgetAbstract::connectRemoteView);

    VCefQueryManager *queries = VCefQueryManager::getInstance();
    connect(this, &VCefWidgetAbstract::sigWebQuertRequest, queries, &VCefQueryManager::onQuery);
    VCefBroadcastManager *commands = VCefBroadcastManager::getInstance();
    connect(this, &VCefWidgetAbstract::sigBroadcast, commands, &VCefBroadcastManager::onBroadcast);
    connect(vSignalsMgr::getInstance(), &vSignalsMgr::sigSessionIdChanged, this,
            &VCefWidgetAbstract::sltUpdateRecommandWebSessionId);

    // The table keeps these after the window is gone; the guard makes them do nothing then.
    const QPointer<VCefWidgetAbstract> self(this);
    commands->registerHandler(QStringLiteral("beginMoveWidget"), this, [self](const Json::Value &, VCefWidgetAbstract *) {
        if (self && self->m_mover)
            self->m_mover->start();
    });
    commands->registerHandler(QStringLiteral("endMoveWidget"), this, [self](const Json::Value &, VCefWidgetAbstract *) {
        if (self && self->m_mover)
            self->m_mover->stop();
    });
}

VCefWidgetAbstract::~VCefWidgetAbstract()
{
    // The socket is a child and would die after this class is gone, emitting disconnected into
    // a half-destroyed window; cut it loose first.
    if (m_socket) {
        m_socket->disconnect(this);
        delete m_socket;
        m_socket = nullptr;
    }
}

void VCefWidgetAbstract::initSocket()
{
    m_socket = new QLocalSocket(this);
    connect(m_socket, &QLocalSocket::disconnected, this, &VCefWidgetAbstract::sltSocketDisconnected);
    connect(m_socket, &QLocalSocket::errorOccurred, this, &VCefWidgetAbstract::sltSocketErr);
    connect(m_socket, &QLocalSocket::stateChanged, this, &VCefWidgetAbstract::sltSocketStateChanged);
    connect(m_socket, &QLocalSocket::readyRead, this, &VCefWidgetAbstract::sltReadyRead);
    // What the host has not read yet holds back the server connection (VBroadcastBacklog).
    const auto report = [socket = m_socket] { VBroadcastBacklog::getInstance()->setPending(socket, socket->bytesToWrite()); };
    connect(m_socket, &QLocalSocket::bytesWritten, this, report);
    connect(m_socket, &QLocalSocket::disconnected, this, report);
}

// --- sending ---------------------------------------------------------------------------------

bool VCefWidgetAbstract::isViewCreated() const
{
    return m_viewId != 0;
}

void VCefWidgetAbstract::send(qint32 type, const QByteArray &payload)
{
    const stuCefViewRequest req = VCefProtocol::makeRequest(type, payload);
    if (isViewCreated())
        d->request(m_socket, req);
    else
        addReqToList(req);
}

void VCefWidgetAbstract::addReqToList(const stuCefViewRequest &req)
{
    switch (req.type) {
    case VCefProtocol::SendToWeb:
    case VCefProtocol::PageCommand:
    case VCefProtocol::PageQuery:
    case VCefProtocol::QueryReply:
        break;
    default:
        // Only the newest of a kind counts, at the position of the newest.
        for (int i = 0; i < m_queue.size(); ++i) {
            if (m_queue.at(i).type == req.type) {
                m_queuedBytes -= m_queue.at(i).payload.size();
                m_queue.removeAt(i);
                break;
            }
        }
        break;
    }
    m_queue.append(req);
    m_queuedBytes += req.payload.size();
}

void VCefWidgetAbstract::loadUrl(const QString &url, VLogText::Source from)
{
    const QString full = buildPageUrl(QUrl(url));
    ++m_document;
    // A page may reload its pop-up at its own pace.
    VLogLimiter *limiter = VLogLimiter::getInstance();
    if (isViewCreated()) {
        if (limiter->admit(QStringLiteral("[CEFLOG] loadUrl sendToRemoteView")))
            qInfo() << "[CEFLOG]" << "loadUrl sendToRemoteView" << VLogText::cut(full, from);
    } else if (limiter->admit(QStringLiteral("[CEFLOG] loadUrl addReqToList"))) {
        qInfo() << "[CEFLOG]" << "loadUrl addReqToList" << VLogText::cut(full, from);
    }
    send(VCefProtocol::LoadUrl, VCefProtocol::payload(full));
}

void VCefWidgetAbstract::sendToWeb(const QString &json, bool log, VLogText::Source from)
{
    if (log)
        qInfo() << "[CEFLOG]" << "sendToWeb" << VLogText::cut(json, from);
    send(VCefProtocol::SendToWeb, VCefProtocol::payload(json));
}

void VCefWidgetAbstract::sendToWeb(const QJsonObject &json, bool log)
{
    sendToWeb(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)), log);
}

void VCefWidgetAbstract::sendQueryReply(qint64 queryId, const QString &text, bool ok)
{
    CefQueryReply reply;
    reply.queryId = queryId;
    reply.text = text;
    reply.ok = ok;
    send(VCefProtocol::QueryReply, VCefProtocol::payload(reply));
}

void VCefWidgetAbstract::openOrCloseDevTools()
{
    qInfo() << "[CEFLOG]" << "openOrCloseDevTools";
    send(VCefProtocol::OpenOrCloseDevTools, VCefProtocol::payload(qint32(1)));
}

void VCefWidgetAbstract::sendType13(int value)
{
    send(VCefProtocol::Reserved13, VCefProtocol::payload(qint32(value)));
}

void VCefWidgetAbstract::sendType14(int value)
{
    send(VCefProtocol::Reserved14, VCefProtocol::payload(qint32(value)));
}

void VCefWidgetAbstract::sendType15(const QString &value)
{
    send(VCefProtocol::Reserved15, VCefProtocol::payload(value));
}

// --- view and connection ---------------------------------------------------------------------

void VCefWidgetAbstract::createCefView()
{
    if (admitLine(QStringLiteral("[CEFLOG] createCefView")))
        qInfo() << "[CEFLOG]" << "createCefView";
    const stuCefViewRequest req = VCefProtocol::makeRequest(VCefProtocol::CreateCefView,
                                                            VCefProtocol::payload(qint32(0)));
    const QPointer<VCefWidgetAbstract> self(this);
    d->request(m_socket, req).then([self](const stuCefViewResponse &resp) {
        if (!self)
            return;
        QDataStream in(resp.data);
        quint32 viewId = 0;
        in >> viewId;
        self->initFinished(int(viewId));
    });
}

void VCefWidgetAbstract::initFinished(int viewId)
{
    m_viewId = viewId;
    initCefView(viewId);
    if (isVisible())
        showDevToolsButton();
    if (admitLine(QStringLiteral("[CEFLOG] initFinished")))
        qInfo() << "[CEFLOG]" << "initFinished" << viewId;
    const QList<stuCefViewRequest> queued = m_queue;
    m_queue.clear();
    m_queuedBytes = 0;
    for (const stuCefViewRequest &req : queued)
        d->request(m_socket, req);
}

void VCefWidgetAbstract::connectRemoteView()
{
    if (admitLine(QStringLiteral("[CEFLOG] connectRemoteView")))
        qInfo() << "[CEFLOG]" << "connectRemoteView";
    const QSharedPointer<VCefProcessItem> item = VCefProcessManager::getInstance()->processItem(m_kind ? 1 : 0);
    const QString kindText = m_kind ? QStringLiteral("1") : QStringLiteral("0");
    QtPromise::QPromise<bool> started([item, kindText](const QtPromise::QPromiseResolve<bool> &resolve) {
        resolve(item->isRunning() ? true : item->start(kindText));
    });
    const QPointer<VCefWidgetAbstract> self(this);
    const QString serverName = item->serverName();
    started.then([self, serverName](bool ok) {
        if (!self)
            return;
        if (ok && self->m_socket->state() != QLocalSocket::ConnectedState) {
            // A partial frame of an earlier connection must not prefix the new stream.
            self->m_receive.clear();
            self->m_socket->connectToServer(serverName, QIODevice::ReadWrite);
            if (self->m_socket->waitForConnected(kWaitMs)) {
                self->createCefView();
                return;
            }
        }
        if (self)
            self->scheduleReconnect();
    });
}

void VCefWidgetAbstract::scheduleReconnect()
{
    QTimer::singleShot(kReconnectDelayMs, this, &VCefWidgetAbstract::connectRemoteView);
}

void VCefWidgetAbstract::deleteCefView()
{
    if (admitLine(QStringLiteral("[CEFLOG] deleteCefView")))
        qInfo() << "[CEFLOG]" << "deleteCefView";
    deleteLater();
}

int VCefWidgetAbstract::viewId() const
{
    return m_viewId;
}

quint64 VCefWidgetAbstract::document() const
{
    return m_document;
}

void VCefWidgetAbstract::closeCefWidget()
{
    m_closing = true;
    close();
    deleteLater();
}

void VCefWidgetAbstract::activateCefView()
{
}

void VCefWidgetAbstract::setMovable(bool movable)
{
    if (movable) {
        if (!m_mover)
            m_mover = new VCefWidgetMover(this, this);
    } else if (m_mover) {
        m_mover->deleteLater();
        m_mover = nullptr;
    }
}

VCefWidgetMover *VCefWidgetAbstract::mover() const
{
    return m_mover;
}

QPushButton *VCefWidgetAbstract::devToolsButton() const
{
    return m_devtools;
}

QLocalSocket *VCefWidgetAbstract::socket() const
{
    return m_socket;
}

int VCefWidgetAbstract::pendingRequestCount() const
{
    return d->pendingCount();
}

QList<stuCefViewRequest> VCefWidgetAbstract::queuedRequests() const
{
    return m_queue;
}

qint64 VCefWidgetAbstract::queuedBytes() const
{
    return m_queuedBytes;
}

// --- receiving -------------------------------------------------------------------------------

void VCefWidgetAbstract::sltReadyRead()
{
    // Records are taken out whole before any is dispatched: a handler may run a nested event
    // loop (a blocking box) in which more bytes arrive, or close this window.
    const QVector<stuCefViewResponse> records = m_receive.feed(m_socket->readAll());
    const QPointer<VCefWidgetAbstract> self(this);
    for (const stuCefViewResponse &resp : records) {
        if (!self)
            return;
        if (resp.id != 0)
            d->handleResponse(resp);
        else if (resp.type > 0)
            d->handleBusiness(resp);
    }
}

void VCefWidgetAbstract::emitBroadcast(const QByteArray &data, VCefWidgetAbstract *window)
{
    emit sigBroadcast(data, window);
}

void VCefWidgetAbstract::emitWebQuertRequest(const QByteArray &data, VCefWidgetAbstract *window)
{
    emit sigWebQuertRequest(data, window);
}

void VCefWidgetAbstract::sltSocketDisconnected()
{
    if (admitLine(QStringLiteral("[CEFLOG] sltSocketDisconnected")))
        qInfo() << "[CEFLOG]" << "sltSocketDisconnected";
    m_receive.clear();
    ++m_document;
    if (!m_closing)
        scheduleReconnect();
}

void VCefWidgetAbstract::sltSocketErr(QLocalSocket::LocalSocketError err)
{
    if (admitLine(QStringLiteral("[CEFLOG] sltSocketErr")))
        qInfo() << "[CEFLOG]" << "sltSocketErr" << err;
}

void VCefWidgetAbstract::sltSocketStateChanged(QLocalSocket::LocalSocketState socketState)
{
    if (admitLine(QStringLiteral("[CEFLOG] sltSocketStateChanged")))
        qInfo() << "[CEFLOG]" << "sltSocketStateChanged" << socketState;
}

void VCefWidgetAbstract::sltUpdateRecommandWebSessionId()
{
    QJsonObject json;
    json.insert(QStringLiteral("sessionId"), QuadrelConfig::getInstance()->getConfig(QStringLiteral("sessionId")));
    json.insert(QStringLiteral("type"), QStringLiteral("refreshSessionId"));
    sendToWeb(json, true);
}

// --- events ----------------------------------------------------------------------------------

bool VCefWidgetAbstract::event(QEvent *e)
{
    const QEvent::Type type = e->type();
    if (type == QEvent::Close || type == QEvent::DeferredDelete)
        return QWidget::event(e);
    if (type == QEvent::WindowActivate)
        QTimer::singleShot(0, this, &VCefWidgetAbstract::activateCefView);
    if (parentWidget() || type == QEvent::Move || type == QEvent::Resize)
        schedulePlaceDevToolsButton();
    return QWidget::event(e);
}

void VCefWidgetAbstract::schedulePlaceDevToolsButton()
{
    // One placement pending at a time: for a child window every event asks for one, including
    // the events that the placement itself causes.
    if (m_placePending)
        return;
    m_placePending = true;
    QTimer::singleShot(0, this, [this] {
        m_placePending = false;
        placeDevToolsButton();
    });
}

void VCefWidgetAbstract::moveEvent(QMoveEvent *e)
{
    QWidget::moveEvent(e);
    moveCefView(e->pos());
}

void VCefWidgetAbstract::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    resizeCefView(e->size());
}

void VCefWidgetAbstract::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    QTimer::singleShot(0, this, &VCefWidgetAbstract::showDevToolsButton);
    setCefViewVisible(true);
}

void VCefWidgetAbstract::hideEvent(QHideEvent *e)
{
    QWidget::hideEvent(e);
    setCefViewVisible(false);
}

// --- developer tools -------------------------------------------------------------------------

void VCefWidgetAbstract::showDevToolsButton()
{
    if (QuadrelConfig::getInstance()->getConfig(QStringLiteral("CEF_ShowDevToos")).toInt() != 1)
        return;
    if (!m_devtools) {
        m_devtools = new QPushButton(QStringLiteral("devTools"), this);
        m_devtools->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        m_devtools->setFixedSize(60, 30);
        m_devtools->setStyleSheet(QStringLiteral(
            "border:0px;background-color: #2e8c00;color:rgba(255,255,255,0.9);border-radius:5px;"));
        connect(m_devtools, &QPushButton::clicked, this, &VCefWidgetAbstract::openOrCloseDevTools);
    }
    placeDevToolsButton();
    m_devtools->show();
}

void VCefWidgetAbstract::placeDevToolsButton()
{
    if (!m_devtools)
        return;
    m_devtools->move(mapToGlobal(QPoint(width() + 10, height() - m_devtools->height() - 10)));
}
