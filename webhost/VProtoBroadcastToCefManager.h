#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include "VProtoBufMessage.h"

class VCefWidgetAbstract;

// Forwards server broadcasts to the page windows that subscribed to them by name, as
// {"funcName":"protoBroadcast","param":{"protoKey":<name>,"protoMsg":<message JSON as text>}}.
// A message over kMaxMessageJsonBytes as JSON is sent to no page (logged). A page holding
// kMaxPendingMessages unanswered gets no broadcasts (logged once) until it holds fewer than
// kResumePendingMessages; the same holds for messages waiting for the page's view beyond
// kMaxQueuedBytes, until they are under half of it.
class VProtoBroadcastToCefManager : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kMaxMessageJsonBytes = 4 * 1024 * 1024;
    static constexpr int kMaxPendingMessages = 10000;
    static constexpr int kResumePendingMessages = kMaxPendingMessages / 2;
    static constexpr qint64 kMaxQueuedBytes = 64 * 1024 * 1024;

    VProtoBroadcastToCefManager();

    // protoKey: the broadcast's name ("BroadcastResult.OfficialBroadcast"). A window is
    // subscribed once per broadcast; the subscription ends with the window.
    void registerWidget(const QString &protoKey, VCefWidgetAbstract *window);

    // The windows subscribed to a broadcast id, in subscription order (gone ones included
    // until the next broadcast of that id).
    QList<QPointer<VCefWidgetAbstract>> subscribers(int protoId) const;

public slots:
    void sltRecvBroadCast(int protoId, VProtoMsgPtr pbMsg);

private:
    // True while window holds too many messages unanswered; logs when it starts.
    bool isBehind(VCefWidgetAbstract *window);

    QMap<int, QList<QPointer<VCefWidgetAbstract>>> m_subscribers;
    QList<QPointer<VCefWidgetAbstract>> m_behind;
};
