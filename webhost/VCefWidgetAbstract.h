#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QLocalSocket>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <memory>

#include "VCefFrameSplitter.h"
#include "VLogText.h"
#include "stuCefViewRequest.h"

class VCefWidgetPrivate;
class VCefWidgetMover;

// Base of every page window: a widget whose content a pagewell process draws. It connects its
// own socket to the pagewell of its kind, asks for a view, mirrors geometry, visibility and
// activation to it, and turns the host's own messages into the two signals below.
class VCefWidgetAbstract : public QWidget
{
    Q_OBJECT
    friend class VCefWidgetPrivate;

public:
    // kind: true for the off-screen kind (pagewell "1"), false for the native-window kind ("0").
    VCefWidgetAbstract(QWidget *parent, bool kind);
    ~VCefWidgetAbstract() override;

    // from: whose text the URL or json is, for the log's budget (a pop-up's URL is built from what
    // a page asked, a forwarded broadcast is the server's).
    void loadUrl(const QString &url, VLogText::Source from = VLogText::Own);
    void sendToWeb(const QString &json, bool log = true, VLogText::Source from = VLogText::Own);
    void sendToWeb(const QJsonObject &json, bool log = true);
    void sendQueryReply(qint64 queryId, const QString &text, bool ok);
    void openOrCloseDevTools();
    void setMovable(bool movable);
    void createCefView();
    void initFinished(int viewId);
    void connectRemoteView();
    void sendType13(int value);
    void sendType14(int value);
    void sendType15(const QString &value);
    void deleteCefView();
    int viewId() const;
    bool isViewCreated() const;
    // The document the window shows, by number: each URL loaded starts a new one, and so does
    // losing the host, whose documents go with it. An answer that comes later goes only to the
    // document that asked.
    quint64 document() const;

    VCefWidgetMover *mover() const;
    QPushButton *devToolsButton() const;
    QLocalSocket *socket() const;
    // Requests still waiting for an answer.
    int pendingRequestCount() const;
    // Messages held back until the view exists.
    QList<stuCefViewRequest> queuedRequests() const;
    // Their payloads' bytes together.
    qint64 queuedBytes() const;

signals:
    void sigBroadcast(QByteArray msg, VCefWidgetAbstract *reqWidget);
    void sigWebQuertRequest(QByteArray queryRequest, VCefWidgetAbstract *reqWidget);

public slots:
    virtual void closeCefWidget();
    virtual void initCefView(int viewId) = 0;
    virtual void resizeCefView(QSize size) = 0;
    virtual void moveCefView(QPoint pos) = 0;
    virtual void setCefViewVisible(bool visible) = 0;
    virtual void activateCefView();

protected slots:
    void sltSocketDisconnected();
    void sltSocketErr(QLocalSocket::LocalSocketError err);
    void sltSocketStateChanged(QLocalSocket::LocalSocketState socketState);
    void sltReadyRead();
    void sltUpdateRecommandWebSessionId();

protected:
    bool event(QEvent *e) override;
    void moveEvent(QMoveEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;

    // The send path: straight to the host once the view exists, else held in the queue.
    void send(qint32 type, const QByteArray &payload);

private:
    void initSocket();
    void addReqToList(const stuCefViewRequest &req);
    void showDevToolsButton();
    void placeDevToolsButton();
    void schedulePlaceDevToolsButton();
    void scheduleReconnect();
    void emitBroadcast(const QByteArray &data, VCefWidgetAbstract *window);
    void emitWebQuertRequest(const QByteArray &data, VCefWidgetAbstract *window);

    std::unique_ptr<VCefWidgetPrivate> d;
    QLocalSocket *m_socket = nullptr;
    int m_viewId = 0;
    QPointer<QPushButton> m_devtools;
    bool m_kind;
    QList<stuCefViewRequest> m_queue;
    qint64 m_queuedBytes = 0;
    QPointer<VCefWidgetMover> m_mover;
    bool m_closing = false;
    VCefFrameSplitter m_receive;
    bool m_placePending = false;
    quint64 m_document = 0;
};
