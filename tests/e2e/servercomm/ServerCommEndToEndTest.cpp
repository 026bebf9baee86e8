#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QThread>

#include <memory>

#include "ActivityInfo.h"
#include "BroadcastSubscriber.h"
#include "KivoRequests.h"
#include "KivoServerComm.h"
#include "QuadrelConfig.h"
#include "ServiceProcess.h"
#include "RequestOutcome.h"
#include "TestSupport.h"
#include "VBroadCastMgr.h"
#include "vSignalsMgr.h"

namespace {

std::shared_ptr<Outcome> send(const QString &method, const QString &content = QString())
{
    VProtoBufMessage msg;
    EXPECT_TRUE(msg.make(method.section('.', 0, 0) + ".proto", method));
    if (!content.isEmpty())
        msg.setString("prankContent", content);
    return track(KivoServerComm::getInstance()->requestKivoServer(msg));
}

QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

// KivoServerComm, the broadcast router and the request catalogue against the real
// ambrel-service on loopback.
class ServerCommEndToEndTest : public ::testing::Test
{
protected:
    void startService(const QByteArray &script = QByteArray())
    {
        ASSERT_TRUE(service.start(dir.path(), script)) << qPrintable(service.process().readAllStandardError());
        QuadrelConfig::getInstance()->reload();
        QuadrelConfig::getInstance()->setConfig("PelorinServer", service.pelorinUrl());
        QuadrelConfig::getInstance()->setConfig("PelorinTimeoutMs", "10000");
        comm->setRequestSeam({});
    }
    void TearDown() override
    {
        comm->disconnectFromServer();
        // Rejections of the shut-down settle before the next case.
        waitUntil([] { return false; }, 20);
    }
    bool connected()
    {
        comm->connectToServer();
        return waitUntil([this] {
            return comm->isConnected() && service.control(object(R"({"cmd":"status"})")).value("connections") == 1;
        }, 10000);
    }
    QJsonObject requestLogged(const QString &method)
    {
        return service.waitForLog([&](const QJsonObject &l) {
            return l.value("event") == "request" && l.value("method") == method;
        });
    }

    TempWorkDir dir;
    ServiceProcess service;
    KivoServerComm *comm = KivoServerComm::getInstance();
};

// --- requests ---

TEST_F(ServerCommEndToEndTest, TwoRequestsAnsweredOutOfOrderSettleTheirOwnPromisesOnTheGuiThread)
{
    startService(R"({"replies":{"PrankCmd.addPrank":{"delayMs":1500,"text":"slow"},
                                "PrankCmd.deletePrank":{"code":7,"text":"快"}}})");
    auto first = send("PrankCmd.addPrank", "first");
    auto second = send("PrankCmd.deletePrank");

    ASSERT_TRUE(waitUntil([&] { return second->settled; }, 10000));
    EXPECT_FALSE(first->settled);
    ASSERT_TRUE(waitUntil([&] { return first->settled; }, 10000));

    ASSERT_TRUE(first->fulfilled);
    EXPECT_EQ(first->response.resultCode, 1);
    EXPECT_EQ(first->response.resultMessage, "slow");
    ASSERT_TRUE(first->response.replyMessage);
    EXPECT_EQ(first->response.replyMessage->typeName(), "PrankCmd.addPrankResp");
    ASSERT_TRUE(second->fulfilled);
    EXPECT_EQ(second->response.resultCode, 7);
    EXPECT_EQ(second->response.resultMessage, QString::fromUtf8("快"));
    EXPECT_EQ(first->thread, qApp->thread());
    EXPECT_EQ(second->thread, qApp->thread());

    // Sequence numbers as the service saw them: distinct, in request order, never 0.
    const int a = requestLogged("PrankCmd.addPrank").value("seq").toInt();
    const int b = requestLogged("PrankCmd.deletePrank").value("seq").toInt();
    EXPECT_GT(a, 0);
    EXPECT_LT(a, b);
    EXPECT_EQ(requestLogged("PrankCmd.addPrank").value("fields").toObject(), object(R"({"prankContent":"first"})"));
}

TEST_F(ServerCommEndToEndTest, UnansweredRequestTimesOut)
{
    startService(R"({"replies":{"PrankCmd.addPrank":{"silent":true}}})");
    QuadrelConfig::getInstance()->setConfig("PelorinTimeoutMs", "300");
    auto outcome = send("PrankCmd.addPrank", "nobody answers");

    ASSERT_TRUE(waitUntil([&] { return outcome->settled; }, 10000));
    EXPECT_FALSE(outcome->fulfilled);
    EXPECT_EQ(outcome->error.code, KivoServerComm::ErrTimeout);
    EXPECT_EQ(outcome->thread, qApp->thread());
    // It did reach the service, which stayed silent.
    EXPECT_FALSE(service.log("silent").isEmpty());
}

TEST_F(ServerCommEndToEndTest, KilledServiceRejectsWhatIsPendingAndARestartedOneIsReconnected)
{
    startService(R"({"replies":{"PrankCmd.addPrank":{"silent":true}}})");
    auto pending = send("PrankCmd.addPrank", "lost");
    ASSERT_FALSE(requestLogged("PrankCmd.addPrank").isEmpty());
    const int port = service.wsPort();

    service.kill();
    ASSERT_TRUE(waitUntil([&] { return pending->settled; }, 10000));
    EXPECT_FALSE(pending->fulfilled);
    EXPECT_EQ(pending->error.code, KivoServerComm::ErrConnectionLost);
    EXPECT_EQ(pending->thread, qApp->thread());

    // Same address, so the client's own reconnection finds it.
    ASSERT_TRUE(service.start(dir.path(), QByteArray(), 0, port));
    ASSERT_TRUE(waitUntil([&] { return comm->isConnected(); }, 15000));
    auto after = send("PrankCmd.addPrank", "again");
    ASSERT_TRUE(waitUntil([&] { return after->settled; }, 10000));
    EXPECT_TRUE(after->fulfilled);
    EXPECT_EQ(after->response.resultMessage, "ok");
}

TEST_F(ServerCommEndToEndTest, CatalogueRequestArrivesAsItsMessageWithItsFields)
{
    startService();
    auto outcome = track(requestBagCmdSendGiftNew(QString::fromUtf8("u-1"), "g-2", 3, "r-4", 0,
                                                  QString::fromUtf8("整蛊-5"), -1, ""));
    ASSERT_TRUE(waitUntil([&] { return outcome->settled; }, 10000));
    EXPECT_TRUE(outcome->fulfilled);

    const QJsonObject line = requestLogged("BagCmd.sendGiftNew");
    ASSERT_FALSE(line.isEmpty());
    // micPosition -1 and an empty loveTemplateId are left out.
    EXPECT_EQ(line.value("fields").toObject(),
              object(R"({"userId":"u-1","giftId":"g-2","giftNum":3,"roomId":"r-4","groupNum":0,"voicePrankId":"整蛊-5"})"));
}

// --- broadcasts ---

TEST_F(ServerCommEndToEndTest, PushedBroadcastsReachTheActingHandlersTheHubAndSubscribersOnTheGuiThread)
{
    startService();
    VBroadCastMgr *router = VBroadCastMgr::getInstance();
    vSignalsMgr *hub = vSignalsMgr::getInstance();
    BroadcastSubscriber subscriber;
    router->addSubscriber("BroadcastResult.OfficialBroadcast", &subscriber, "BroadcastSubscriber::onBroadcast");

    QObject guard;
    QStringList seen;
    QList<QThread *> threads;
    QString official;
    int playCount = -1;
    QString roomUrl;
    ActivityInfo info;
    VProtoMsgPtr game;
    const auto note = [&](const QString &what) {
        seen.append(what);
        threads.append(QThread::currentThread());
    };
    QObject::connect(hub, &vSignalsMgr::sigStartOfficialBroadcast, &guard, [&](const QString &c, int n) {
        official = c;
        playCount = n;
        note("official");
    });
    QObject::connect(hub, &vSignalsMgr::sigRoomLogoApproved, &guard, [&](const QString &url) {
        roomUrl = url;
        note("roomLogo");
    });
    QObject::connect(hub, &vSignalsMgr::sigRequestCommonCountDownTipsUpdate, &guard, [&](const ActivityInfo &i) {
        info = i;
        note("countDown");
    });
    QObject::connect(hub, &vSignalsMgr::sigSafeChatMode, &guard, [&] { note("safeChat"); });
    QObject::connect(hub, &vSignalsMgr::sigUpdateVirtualRole, &guard, [&] { note("virtualRole"); });
    QObject::connect(hub, &vSignalsMgr::sigRoomGameStatusInfoBroadcast, &guard, [&](const VProtoMsgPtr &m) {
        game = m;
        note("roomGame");
    });

    ASSERT_TRUE(connected());
    const char *pushes[] = {
        R"({"cmd":"push","name":"BroadcastResult.OfficialBroadcast","fields":{"content":"官方公告","playCount":4}})",
        R"({"cmd":"push","name":"BroadcastResult.VoiceRoomUrlApprovedBroadcast","fields":{"roomUrl":"http://img/r.png"}})",
        R"({"cmd":"push","name":"ActivityResult.CommonCountDownTipsBroadcast",
            "fields":{"actId":"act-9","doubleRemainSecond":90,"h5url":"http://h5/a","pcShowClock":"1"}})",
        R"({"cmd":"push","name":"BroadcastResult.ChatSafeModeNoticeBroadcast"})",
        R"({"cmd":"push","name":"VirtualRoleResult.updateVirtualRoleBroadcast"})",
        R"({"cmd":"push","name":"RoomGameResult.RoomGameStatusInfo","fields":{"roomId":"r-1","status":2}})",
    };
    for (const char *push : pushes)
        ASSERT_EQ(service.control(object(push)).value("sent").toInt(), 1) << push;

    ASSERT_TRUE(waitUntil([&] { return seen.size() == 6 && subscriber.calls == 1; }, 10000)) << qPrintable(seen.join(','));
    EXPECT_EQ(seen, QStringList({"official", "roomLogo", "countDown", "safeChat", "virtualRole", "roomGame"}));
    for (QThread *t : threads)
        EXPECT_EQ(t, qApp->thread());

    EXPECT_EQ(official, QString::fromUtf8("官方公告"));
    EXPECT_EQ(playCount, 4);
    EXPECT_EQ(roomUrl, "http://img/r.png");
    EXPECT_EQ(info.actId, "act-9");
    EXPECT_EQ(info.doubleRemainSecond, 90);
    EXPECT_EQ(info.h5url, "http://h5/a");
    EXPECT_EQ(info.pcShowClock, "1");
    EXPECT_EQ(info.endTime, 0);
    ASSERT_TRUE(game);
    EXPECT_EQ(game->typeName(), "RoomGameResult.RoomGameStatusInfo");
    QString roomId;
    EXPECT_TRUE(game->getString("roomId", roomId));
    EXPECT_EQ(roomId, "r-1");

    ASSERT_TRUE(subscriber.last);
    QString content;
    EXPECT_TRUE(subscriber.last->getString("content", content));
    EXPECT_EQ(content, QString::fromUtf8("官方公告"));
}
