#include "BroadcastSubscriber.h"
#include "KivoServerComm.h"
#include "VBroadCastMgr.h"
#include "VProtoKeyMgr.h"
#include "vSignalsMgr.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

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
