#include "BroadcastSubscriber.h"
#include "KivoServerComm.h"
#include "VBroadCastMgr.h"
#include "VProtoKeyMgr.h"
#include "vSignalsMgr.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QSignalSpy>

#include <memory>
#include <vector>

namespace {

VProtoMsgPtr broadcast(const QString &name)
{
    VProtoMsgPtr msg(new VProtoBufMessage);
    EXPECT_TRUE(msg->make(name.section('.', 0, 0) + ".proto", name));
    return msg;
}

int idOf(const QString &name)
{
    return VProtoKeyMgr::getInstance()->value(name).toInt();
}

} // namespace

TEST(VBroadCastMgrTest, OfficialBroadcastReachesTheHubQueuedWithItsFields)
{
    VBroadCastMgr::getInstance();
    QString content;
    int count = -1;
    QObject guard;
    QObject::connect(vSignalsMgr::getInstance(), &vSignalsMgr::sigStartOfficialBroadcast, &guard,
                     [&](const QString &c, int n) { content = c; count = n; });
    VProtoMsgPtr msg = broadcast("BroadcastResult.OfficialBroadcast");
    msg->setString("content", QString::fromUtf8("公告"));
    msg->setInt32("playCount", 3);
    emit KivoServerComm::getInstance()->sigRecvBroadCast(idOf("BroadcastResult.OfficialBroadcast"), msg);
    EXPECT_EQ(count, -1); // queued: not yet
    EXPECT_TRUE(waitUntil([&] { return count == 3; }));
    EXPECT_EQ(content, QString::fromUtf8("公告"));
}

TEST(VBroadCastMgrTest, CountDownTipsFillActivityInfo)
{
    VBroadCastMgr::getInstance();
    ActivityInfo got;
    bool seen = false;
    QObject guard;
    QObject::connect(vSignalsMgr::getInstance(), &vSignalsMgr::sigRequestCommonCountDownTipsUpdate, &guard,
                     [&](const ActivityInfo &info) { got = info; seen = true; });
    VProtoMsgPtr msg = broadcast("ActivityResult.CommonCountDownTipsBroadcast");
    msg->setString("actId", "a1");
    msg->setInt32("doubleRemainSecond", 60);
    msg->setString("pcShowClock", "1");
    emit KivoServerComm::getInstance()->sigRecvBroadCast(idOf("ActivityResult.CommonCountDownTipsBroadcast"), msg);
    EXPECT_TRUE(waitUntil([&] { return seen; }));
    EXPECT_EQ(got.actId, "a1");
    EXPECT_EQ(got.doubleRemainSecond, 60);
    EXPECT_EQ(got.h5url, "");
    EXPECT_EQ(got.pcShowClock, "1");
}

TEST(VBroadCastMgrTest, SubscribersGetTheMessageAndEmptyBroadcastsAreDropped)
{
    VBroadCastMgr *router = VBroadCastMgr::getInstance();
    BroadcastSubscriber live;
    auto *gone = new BroadcastSubscriber;
    router->addSubscriber("BagResult.AtmosphereGiftEventBroadcast", &live, "BroadcastSubscriber::onBroadcast");
    router->addSubscriber("BagResult.AtmosphereGiftEventBroadcast", gone, "BroadcastSubscriber::onBroadcast");
    delete gone;
    const int id = idOf("BagResult.AtmosphereGiftEventBroadcast");
    VProtoMsgPtr msg = broadcast("BagResult.AtmosphereGiftEventBroadcast");
    emit KivoServerComm::getInstance()->sigRecvBroadCast(0, msg);
    emit KivoServerComm::getInstance()->sigRecvBroadCast(id, VProtoMsgPtr());
    emit KivoServerComm::getInstance()->sigRecvBroadCast(id, msg);
    emit KivoServerComm::getInstance()->sigRecvBroadCast(id, msg);
    EXPECT_TRUE(waitUntil([&] { return live.calls == 2; }));
    EXPECT_EQ(live.last, msg);
}

TEST(VBroadCastMgrTest, EverySubscriberIsCalledOnceWhateverDiedBeforeIt)
{
    VBroadCastMgr *router = VBroadCastMgr::getInstance();
    const QString name = "BroadcastResult.SignCountdownBroadcast";
    std::vector<std::unique_ptr<BroadcastSubscriber>> subscribers;
    for (int i = 0; i < 16; ++i) {
        subscribers.emplace_back(new BroadcastSubscriber);
        router->addSubscriber(name, subscribers.back().get(), "BroadcastSubscriber::onBroadcast");
    }
    // Some die; the living register again (which replaces their slot text) and new ones join.
    for (size_t i = 0; i < subscribers.size(); i += 3)
        subscribers[i].reset();
    for (auto &s : subscribers) {
        if (s)
            router->addSubscriber(name, s.get(), "BroadcastSubscriber::onBroadcast");
    }
    for (int i = 0; i < 8; ++i) {
        subscribers.emplace_back(new BroadcastSubscriber);
        router->addSubscriber(name, subscribers.back().get(), "BroadcastSubscriber::onBroadcast");
    }
    router->sltRecvBroadCast(idOf(name), broadcast(name));
    for (size_t i = 0; i < subscribers.size(); ++i) {
        if (subscribers[i]) {
            EXPECT_EQ(subscribers[i]->calls, 1) << i;
        }
    }
}

// Every row of the table, in registration order, and the hub signal the row's handler emits; the
// rows not named emit nothing. Each row gets a message that would make any acting handler act.
TEST(VBroadCastMgrTest, OnlyTheActingRowsReachTheHub)
{
    VBroadCastMgr *router = VBroadCastMgr::getInstance();
    const QStringList rows{
        "MessageResult.NewMessageBroadcast", "UserResult.ChangeUserFriendStatus",
        "CommonResult.CommonBroadcast", "BroadcastResult.OfficialBroadcast", "UserResult.UserOnlineOrNot",
        "RoomResult.HandleRoomReportBroadcast", "ActivityResult.ActivityInTimeBroadcat",
        "BroadcastResult.CPMData", "MessageResult.ShowMessageBroadcast", "UserResult.UpdateAttributes",
        "CommonResult.UploadLogBroadcast", "ActivityResult.PopupBox", "ActivityResult.PopupBoxs",
        "BroadcastResult.PopupBoxBroadcast", "MessageResult.ShowDialoagOrToastBroadcast",
        "UserResult.UserCommonInfoBroadcast", "UserResult.UserServiceBroadcast", "RoomResult.MemberInfo",
        "RoomResult.AmendRoomOnlinesBroadcast", "BroadcastResult.FirstRechargeBroadcast",
        "BroadcastResult.VoiceRoomUrlApprovedBroadcast", "BroadcastResult.ShowConfirmWindowsBroadcast",
        "BroadcastResult.UpdateCheckSimplePassword", "UserResult.PlatHonorVipBroadcast",
        "InteractiveResult.IntimateBroadcast", "InteractiveResult.IntimateNoticBroadcast",
        "BroadcastResult.getWarriorCloakPropBroadcast", "BroadcastResult.LevelMedalChangeBroadcast",
        "BroadcastResult.UserExceptionStatusBroadcast", "BroadcastResult.consumeTipsBroadCast",
        "BrotherGroupResult.summerBroBroadcast", "BrotherGroupResult.broGroupArrivalBroadcast",
        "ActivityResult.ActivityHoldingTimeNotifyBroadcast", "BroadcastResult.SafeModeNoticeBroadcast",
        "BrotherGroupResult.updateBroGroupBroadcast", "BroadcastResult.PKBigShotLevelUpBroadCast",
        "ActivityResult.BannerTipList", "NobleResult.GodNobleNotifyBroadcast", "ActivityResult.AnnualPKInfos",
        "ActivityResult.CommonCountDownTipsBroadcast", "BroadcastResult.ChatSafeModeNoticeBroadcast",
        "BroadcastResult.heartBeatIconBroadcast", "ActivityResult.ActivityUseBubbleBroadcast",
        "ActivityResult.DressUpPropBroadcast", "ActivityResult.dragonBoatAnchorList",
        "VirtualRoleResult.updateVirtualRoleBroadcast", "RoomGameResult.RoomGameStatusInfo",
        "BagResult.AtmosphereGiftEventBroadcast", "RoomResult.FriendInRoomBroadcast",
        "BroadcastResult.SignCountdownBroadcast", "ActivitySubscribeResult.NoticeSlideshow",
        "ActivitySubscribeResult.ActCenterRefreshBroadcast", "UserResult.UserCloakInfo"};
    ASSERT_EQ(rows.size(), 53);
    const QMap<QString, QString> acting{
        {"BroadcastResult.OfficialBroadcast", "sigStartOfficialBroadcast(QString,int)"},
        {"BroadcastResult.VoiceRoomUrlApprovedBroadcast", "sigRoomLogoApproved(QString)"},
        {"ActivityResult.CommonCountDownTipsBroadcast", "sigRequestCommonCountDownTipsUpdate(ActivityInfo)"},
        {"BroadcastResult.ChatSafeModeNoticeBroadcast", "sigSafeChatMode()"},
        {"VirtualRoleResult.updateVirtualRoleBroadcast", "sigUpdateVirtualRole()"},
        {"RoomGameResult.RoomGameStatusInfo", "sigRoomGameStatusInfoBroadcast(QSharedPointer<VProtoBufMessage>)"}};
    // A spy on every signal of the hub.
    vSignalsMgr *hub = vSignalsMgr::getInstance();
    const QMetaObject *meta = hub->metaObject();
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    QStringList signatures;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Signal)
            continue;
        spies.emplace_back(new QSignalSpy(hub, ("2" + method.methodSignature()).constData()));
        ASSERT_TRUE(spies.back()->isValid()) << method.methodSignature().constData();
        signatures << QString::fromLatin1(method.methodSignature());
    }
    VProtoMsgPtr msg = broadcast("BroadcastResult.VoiceRoomUrlApprovedBroadcast");
    msg->setString("roomUrl", "http://logo");
    for (const QString &row : rows) {
        for (auto &spy : spies)
            spy->clear();
        router->sltRecvBroadCast(idOf(row), msg);
        QStringList emitted;
        for (size_t i = 0; i < spies.size(); ++i) {
            if (!spies[i]->isEmpty())
                emitted << signatures.at(int(i));
        }
        EXPECT_EQ(emitted.join(' ').toStdString(), acting.value(row).toStdString()) << row.toStdString();
    }
}

TEST(VBroadCastMgrTest, RoomUrlApprovalNeedsTheField)
{
    VBroadCastMgr *router = VBroadCastMgr::getInstance();
    QSignalSpy approved(vSignalsMgr::getInstance(), &vSignalsMgr::sigRoomLogoApproved);
    const QString name = "BroadcastResult.VoiceRoomUrlApprovedBroadcast";
    router->sltRecvBroadCast(idOf(name), broadcast(name));
    EXPECT_EQ(approved.count(), 0);
    VProtoMsgPtr empty = broadcast(name);
    empty->setString("roomUrl", "");
    router->sltRecvBroadCast(idOf(name), empty);
    ASSERT_EQ(approved.count(), 1);
    EXPECT_EQ(approved.at(0).at(0).toString(), "");
}
