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
class VProtoBroadcastToCefManager : public QObject
{
    Q_OBJECT
public:
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
    QMap<int, QList<QPointer<VCefWidgetAbstract>>> m_subscribers;
};
