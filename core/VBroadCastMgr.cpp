#include "VBroadCastMgr.h"

#include "KivoServerComm.h"
#include "VLogLimiter.h"
#include "VLogText.h"
#include "VProtoKeyMgr.h"
#include "vSignalsMgr.h"

#include <QtDebug>

VBroadCastMgr *VBroadCastMgr::getInstance()
{
    static VBroadCastMgr instance;
    return &instance;
}

VBroadCastMgr::VBroadCastMgr() : QObject(nullptr)
{
    m_handlers.clear();
    m_subscribers.clear();
    registerAllBroadcasts();
    // Queued: every broadcast is handled on the GUI thread, whoever emitted it.
    connect(KivoServerComm::getInstance(), &KivoServerComm::sigRecvBroadCast, this,
            &VBroadCastMgr::sltRecvBroadCast, Qt::QueuedConnection);
}

void VBroadCastMgr::registerBroadcast(const QString &name, Handler handler)
{
    const int id = VProtoKeyMgr::getInstance()->value(name).toInt();
    m_handlers.insert(id, handler);
}

void VBroadCastMgr::registerAllBroadcasts()
{
    m_handlers.clear();
#include "VBroadCastMgr_rows.inc"
}

void VBroadCastMgr::addSubscriber(const QString &name, QObject *object, const QString &slotText)
{
    if (name.isEmpty() || !object)
        return;
    const int id = VProtoKeyMgr::getInstance()->value(name).toInt();
    m_subscribers[id].insert(object, Subscriber{QPointer<QObject>(object), slotText});
}

void VBroadCastMgr::sltRecvBroadCast(int protoId, VProtoMsgPtr pbMsg)
{
    if (protoId == 0 || !pbMsg) {
        if (VLogLimiter::getInstance()->admit(QStringLiteral("广播内容为空")))
            qInfo() << "广播内容为空" << protoId;
        return;
    }
    auto subs = m_subscribers.constFind(protoId);
    if (subs != m_subscribers.constEnd()) {
        const QMap<const QObject *, Subscriber> copy = subs.value();
        for (auto it = copy.constBegin(); it != copy.constEnd(); ++it) {
            QObject *object = it.value().object.data();
            if (!object)
                continue;
            const QString method = it.value().slotText.split(QStringLiteral("::")).last();
            QMetaObject::invokeMethod(object, method.toLocal8Bit().constData(),
                                      QGenericArgument("QSharedPointer<VProtoBufMessage>", &pbMsg));
        }
    }
    auto handler = m_handlers.constFind(protoId);
    if (handler != m_handlers.constEnd())
        (this->*handler.value())(pbMsg);
}

void VBroadCastMgr::safeTest() {}

void VBroadCastMgr::testGodNobleBroadcast()
{
    VProtoMsgPtr msg(new VProtoBufMessage());
    msg->make(QStringLiteral("NobleResult.proto"), QStringLiteral("NobleResult.GodNobleNotifyBroadcast"));
    msg->setString(QStringLiteral("userId"), QStringLiteral("godNobleTest"));
    const int id = VProtoKeyMgr::getInstance()->value(QStringLiteral("NobleResult.GodNobleNotifyBroadcast")).toInt();
    auto handler = m_handlers.constFind(id);
    if (handler != m_handlers.constEnd())
        (this->*handler.value())(msg);
}

void VBroadCastMgr::releaseOnly(VProtoMsgPtr pbMsg)
{
    pbMsg.reset();
}

void VBroadCastMgr::onOfficialBroadcast(VProtoMsgPtr pbMsg)
{
    if (!pbMsg)
        return;
    QString content;
    int playCount = 0;
    if (pbMsg->hasField(QStringLiteral("content")))
        pbMsg->getString(QStringLiteral("content"), content);
    if (pbMsg->hasField(QStringLiteral("playCount")))
        pbMsg->getInt32(QStringLiteral("playCount"), playCount);
    if (VLogLimiter::getInstance()->admit(QStringLiteral("官方广播")))
        qInfo() << "官方广播" << VLogText::cut(content, VLogText::Server) << playCount;
    emit vSignalsMgr::getInstance()->sigStartOfficialBroadcast(content, playCount);
}

void VBroadCastMgr::onVoiceRoomUrlApproved(VProtoMsgPtr pbMsg)
{
    if (!pbMsg || !pbMsg->hasField(QStringLiteral("roomUrl")))
        return;
    QString roomUrl;
    pbMsg->getString(QStringLiteral("roomUrl"), roomUrl);
    if (VLogLimiter::getInstance()->admit(QStringLiteral("VoiceRoomUrlApprovedBroadcast")))
        qInfo() << QStringLiteral("VoiceRoomUrlApprovedBroadcast roomUrl:%1")
            .arg(VLogText::cut(roomUrl, VLogText::Server));
    emit vSignalsMgr::getInstance()->sigRoomLogoApproved(roomUrl);
}

void VBroadCastMgr::onCommonCountDownTips(VProtoMsgPtr pbMsg)
{
    if (!pbMsg)
        return;
    ActivityInfo info;
    if (pbMsg->hasField(QStringLiteral("actId")))
        pbMsg->getString(QStringLiteral("actId"), info.actId);
    if (pbMsg->hasField(QStringLiteral("doubleRemainSecond")))
        pbMsg->getInt32(QStringLiteral("doubleRemainSecond"), info.doubleRemainSecond);
    if (pbMsg->hasField(QStringLiteral("h5url")))
        pbMsg->getString(QStringLiteral("h5url"), info.h5url);
    if (pbMsg->hasField(QStringLiteral("pcShowClock")))
        pbMsg->getString(QStringLiteral("pcShowClock"), info.pcShowClock);
    emit vSignalsMgr::getInstance()->sigRequestCommonCountDownTipsUpdate(info);
}

void VBroadCastMgr::onChatSafeModeNotice(VProtoMsgPtr pbMsg)
{
    if (!pbMsg)
        return;
    emit vSignalsMgr::getInstance()->sigSafeChatMode();
}

void VBroadCastMgr::onUpdateVirtualRole(VProtoMsgPtr pbMsg)
{
    if (!pbMsg)
        return;
    emit vSignalsMgr::getInstance()->sigUpdateVirtualRole();
}

void VBroadCastMgr::onRoomGameStatusInfo(VProtoMsgPtr pbMsg)
{
    if (!pbMsg)
        return;
    emit vSignalsMgr::getInstance()->sigRoomGameStatusInfoBroadcast(pbMsg);
}

void VBroadCastMgr::onUpdateCheckSimplePassword(VProtoMsgPtr pbMsg)
{
    if (!pbMsg)
        return;
    bool checkSimplePwd = true;
    if (pbMsg->hasField(QStringLiteral("checkSimplePwd")))
        pbMsg->getBool(QStringLiteral("checkSimplePwd"), checkSimplePwd, true);
}
