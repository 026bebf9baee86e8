#pragma once

#include "VProtoBufMessage.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

// Routes server broadcasts on the GUI thread: to subscribers by name, then to the handler the
// fixed table holds for the id. Acting handlers turn news into event hub signals.
class VBroadCastMgr : public QObject
{
    Q_OBJECT
public:
    typedef void (VBroadCastMgr::*Handler)(VProtoMsgPtr);

    static VBroadCastMgr *getInstance();

    void addSubscriber(const QString &name, QObject *object, const QString &slotText);
    void registerBroadcast(const QString &name, Handler handler);
    void registerAllBroadcasts();
    void testGodNobleBroadcast();

signals:
    void sigDangerUserList(bool banned, QStringList userList);

public slots:
    void sltRecvBroadCast(int protoId, VProtoMsgPtr pbMsg);
    void safeTest();

private:
    VBroadCastMgr();

    void releaseOnly(VProtoMsgPtr pbMsg);
    void onOfficialBroadcast(VProtoMsgPtr pbMsg);
    void onVoiceRoomUrlApproved(VProtoMsgPtr pbMsg);
    void onCommonCountDownTips(VProtoMsgPtr pbMsg);
    void onChatSafeModeNotice(VProtoMsgPtr pbMsg);
    void onUpdateVirtualRole(VProtoMsgPtr pbMsg);
    void onRoomGameStatusInfo(VProtoMsgPtr pbMsg);
    void onUpdateCheckSimplePassword(VProtoMsgPtr pbMsg);

    // Keyed by the object's address, which never changes while the key is in the map (a guarded
    // pointer as key turns null when its object dies and breaks the map's order); the guard
    // tells a dead entry, and a new object at a dead one's address replaces it.
    struct Subscriber
    {
        QPointer<QObject> object;
        QString slotText;
    };

    QHash<int, Handler> m_handlers;
    QHash<int, QMap<const QObject *, Subscriber>> m_subscribers;
};
