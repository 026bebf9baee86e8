#pragma once

#include "VProtoBufMessage.h"

#include <QObject>

// Receives broadcasts through a slot named by text, as subscribers of the router do.
class BroadcastSubscriber : public QObject
{
    Q_OBJECT
public:
    int calls = 0;
    VProtoMsgPtr last;

public slots:
    void onBroadcast(QSharedPointer<VProtoBufMessage> msg)
    {
        ++calls;
        last = msg;
    }
};
