#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QPointer>

#include "QuadrelConfig.h"
#include "ServerSeam.h"
#include "TestSupport.h"
#include "VCefBroadcastManager.h"
#include "VCefProcessManager.h"
#include "VCefWidgetOSR.h"
#include "VProtoBroadcastToCefManager.h"

// Page windows over the real pagewell.exe: the page's query and command arrive over the
// window's socket, and the answers and broadcasts leave through it; the server is the seam.
class PagewellServerPagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        work.write(QStringLiteral("config/ambrel.json"), "{}");
        QuadrelConfig::getInstance()->reload();
        logPath = work.filePath(QStringLiteral("pagewell.log"));
        control = QStringLiteral("pagewell-serverpages-%1").arg(QCoreApplication::applicationPid());
        qputenv("PAGEWELL_LOG", logPath.toLocal8Bit());
        qputenv("PAGEWELL_CONTROL", control.toLocal8Bit());
    }
    void TearDown() override
    {
        for (const QPointer<VCefWidgetOSR> &w : windows)
            delete w.data();
        VCefProcessManager::destroyInstance();
        qunsetenv("PAGEWELL_LOG");
        qunsetenv("PAGEWELL_CONTROL");
    }
    // A window with its view; conn: its connection's number at pagewell.
    VCefWidgetOSR *openWindow(int *conn = nullptr)
    {
        auto *w = new VCefWidgetOSR;
        windows.append(w);
        EXPECT_TRUE(waitUntil([w] { return w->isViewCreated(); }, 15000));
        if (conn) {
            *conn = 0;
            for (const QJsonObject &l : jsonLines(logPath))
                if (l.value("event").toString() == "connect")
                    *conn = l.value("conn").toInt();
        }
        return w;
    }
    // Plays send items on pagewell connection conn (its windows in the order they connected).
    bool play(int conn, const QByteArray &items)
    {
        QLocalSocket socket;
        socket.connectToServer(control);
        if (!socket.waitForConnected(2000))
            return false;
        // One line: the items compacted.
        const QByteArray compact = QJsonDocument::fromJson(items).toJson(QJsonDocument::Compact);
        if (compact.isEmpty())
            return false;
        socket.write("{\"conn\":" + QByteArray::number(conn) + ",\"send\":" + compact + "}\n");
        socket.flush();
        // Its answer comes once played; meanwhile this thread's loop must keep reading.
        if (!waitUntil([&] { return socket.canReadLine(); }))
            return false;
        return socket.readLine().contains("true");
    }
    // What pagewell received of a type.
    QList<QJsonObject> received(int type) const
    {
        QList<QJsonObject> out;
        for (const QJsonObject &l : jsonLines(logPath))
            if (l.value("event").toString() == "recv" && l.value("type").toInt() == type)
                out.append(l);
        return out;
    }

    TempWorkDir work;
    QString logPath;
    QString control;
    ServerSeam seam;
    QList<QPointer<VCefWidgetOSR>> windows;
};

TEST_F(PagewellServerPagesTest, AProtoRequestFromThePageIsAnsweredThroughPagewell)
{
    seam.answer = [](const VProtoBufMessage &) {
        return QtPromise::QPromise<KivoServerResponse>::resolve(ServerSeam::response(7, "礼物不足"));
    };
    int conn = 0;
    openWindow(&conn);
    ASSERT_TRUE(play(conn, R"([{"query":{"funcName":"protoRequest","queryId":31,
                         "param":{"protoName":"PrankCmd.addPrank","protoParam":{"giftId":"g-1","giftNum":3}}}}])"));
    ASSERT_TRUE(waitUntil([&] { return received(7).size() == 1; }));
    const QJsonObject reply = received(7).at(0);
    EXPECT_EQ(reply.value("queryId").toInt(), 31);
    EXPECT_EQ(reply.value("text").toString(), QStringLiteral(R"({"state":7,"errorMsg":"礼物不足"})"));
    EXPECT_TRUE(reply.value("ok").toBool());
    ASSERT_EQ(seam.sent.size(), 1);
    EXPECT_EQ(seam.sentTypes.at(0), QStringLiteral("PrankCmd.addPrank"));
    EXPECT_EQ(seam.sent.at(0)->ToJsonString(true), QStringLiteral(R"({"giftId":"g-1","giftNum":3})"));
}

TEST_F(PagewellServerPagesTest, APageClosedBeforeTheServerAnswersGetsNothing)
{
    int first = 0;
    int second = 0;
    const QPointer<VCefWidgetOSR> closing(openWindow(&first));
    openWindow(&second);
    const QByteArray ask = R"([{"query":{"funcName":"protoRequest","queryId":%1,
                              "param":{"protoName":"PrankCmd.deletePrank","protoParam":{"id":"p"}}}}])";
    ASSERT_TRUE(play(first, QByteArray(ask).replace("%1", "41")));
    ASSERT_TRUE(waitUntil([&] { return seam.held.size() == 1; }));
    ASSERT_TRUE(play(first, R"([{"command":{"funcName":"closeWidget"}}])"));
    ASSERT_TRUE(waitUntil([&] { return closing.isNull(); }));
    ASSERT_TRUE(play(second, QByteArray(ask).replace("%1", "42")));
    ASSERT_TRUE(waitUntil([&] { return seam.held.size() == 2; }));

    seam.held.at(0).resolve(ServerSeam::response(1, "ok"));
    seam.held.at(1).resolve(ServerSeam::response(1, "ok"));
    ASSERT_TRUE(waitUntil([&] { return received(7).size() == 1; }));
    EXPECT_EQ(received(7).at(0).value("queryId").toInt(), 42);
    EXPECT_EQ(received(7).at(0).value("conn").toInt(), second);
}

TEST_F(PagewellServerPagesTest, ASubscribedPageReceivesTheBroadcast)
{
    int conn = 0;
    VCefWidgetOSR *w = openWindow(&conn);
    ASSERT_TRUE(play(conn, R"([{"command":{"funcName":"registerRecvProtoBroadcast",
                         "param":{"protoKey":["BroadcastResult.OfficialBroadcast"]}}}])"));
    VProtoBroadcastToCefManager *forwarder = VCefBroadcastManager::getInstance()->protoBroadcastManager();
    ASSERT_TRUE(waitUntil([&] { return forwarder->subscribers(1004).contains(w); }));

    VProtoMsgPtr m(new VProtoBufMessage);
    ASSERT_TRUE(m->make("BroadcastResult.proto", "BroadcastResult.OfficialBroadcast"));
    m->setString("content", "全服公告");
    emit KivoServerComm::getInstance()->sigRecvBroadCast(1004, m);
    ASSERT_TRUE(waitUntil([&] { return received(4).size() == 1; }));
    EXPECT_EQ(received(4).at(0).value("json").toString(),
              QStringLiteral(R"({"funcName":"protoBroadcast","param":{"protoKey":"BroadcastResult.OfficialBroadcast",)"
                             R"("protoMsg":"{\"content\":\"全服公告\"}"}})"));
}
