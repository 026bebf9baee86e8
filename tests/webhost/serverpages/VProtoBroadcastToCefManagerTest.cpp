#include "ServerPagesFixture.h"

#include <thread>

#include "KivoServerComm.h"
#include "VCefBroadcastManager.h"
#include "VProtoBroadcastToCefManager.h"
#include "VProtoBufMessage.h"

namespace {

const int kOfficial = 1004; // BroadcastResult.OfficialBroadcast in the shared id table

QByteArray commandData(const QByteArray &json)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << QString::fromUtf8(json);
    return data;
}

VProtoMsgPtr official(const QString &content, int playCount)
{
    VProtoMsgPtr m(new VProtoBufMessage);
    m->make("BroadcastResult.proto", "BroadcastResult.OfficialBroadcast");
    m->setString("content", content);
    m->setInt32("playCount", playCount);
    return m;
}

} // namespace

// Subscriptions made by page commands; broadcasts emitted by the server connection; what the
// windows send stays in their queues.
class VProtoBroadcastToCefManagerTest : public ServerPagesFixture
{
protected:
    void command(const QByteArray &json, VCefWidgetAbstract *from)
    {
        VCefBroadcastManager::getInstance()->onBroadcast(commandData(json), from);
    }
    void subscribe(VCefWidgetAbstract *w, const QByteArray &keys)
    {
        command(R"({"funcName":"registerRecvProtoBroadcast","param":{"protoKey":)" + keys + "}}", w);
    }
    static void push(int id, VProtoMsgPtr m) { emit KivoServerComm::getInstance()->sigRecvBroadCast(id, m); }
    VProtoBroadcastToCefManager *forwarder() { return VCefBroadcastManager::getInstance()->protoBroadcastManager(); }
};

TEST_F(VProtoBroadcastToCefManagerTest, ForwardedAsProtoBroadcastWithTheMessageAsText)
{
    VCefWidgetOSR *w = makeWindow();
    subscribe(w, R"(["BroadcastResult.OfficialBroadcast"])");
    push(kOfficial, official("hi \"you\"", 2));
    const auto got = toWeb(w);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got.at(0).json,
              QStringLiteral(R"({"funcName":"protoBroadcast","param":{"protoKey":"BroadcastResult.OfficialBroadcast",)"
                             R"("protoMsg":"{\"content\":\"hi \\\"you\\\"\",\"playCount\":2}"}})"));
}

// --- subscriptions ----------------------------------------------------------------------------

TEST_F(VProtoBroadcastToCefManagerTest, SubscribingTwiceReceivesEachBroadcastOnce)
{
    VCefWidgetOSR *w = makeWindow();
    subscribe(w, R"(["BroadcastResult.OfficialBroadcast","BroadcastResult.OfficialBroadcast"])");
    subscribe(w, R"(["BroadcastResult.OfficialBroadcast"])");
    EXPECT_EQ(forwarder()->subscribers(kOfficial).size(), 1);
    push(kOfficial, official("a", 1));
    push(kOfficial, official("b", 1));
    EXPECT_EQ(toWeb(w).size(), 2);
}

TEST_F(VProtoBroadcastToCefManagerTest, TwoWindowsReceiveInSubscriptionOrder)
{
    VCefWidgetOSR *first = makeWindow();
    VCefWidgetOSR *second = makeWindow();
    subscribe(second, R"(["BroadcastResult.OfficialBroadcast"])");
    subscribe(first, R"(["BroadcastResult.OfficialBroadcast"])");
    push(kOfficial, official("x", 1));
    ASSERT_EQ(toWeb(first).size(), 1);
    ASSERT_EQ(toWeb(second).size(), 1);
    EXPECT_LT(toWeb(second).at(0).id, toWeb(first).at(0).id);
}

TEST_F(VProtoBroadcastToCefManagerTest, AClosedWindowsEntryGoesWithTheNextBroadcast)
{
    VCefWidgetOSR *gone = makeWindow();
    VCefWidgetOSR *kept = makeWindow();
    subscribe(gone, R"(["BroadcastResult.OfficialBroadcast"])");
    subscribe(kept, R"(["BroadcastResult.OfficialBroadcast"])");
    const QPointer<VCefWidgetOSR> watch(gone);
    gone->closeCefWidget();
    ASSERT_TRUE(waitUntil([&] { return watch.isNull(); }));
    EXPECT_EQ(forwarder()->subscribers(kOfficial).size(), 2);
    push(kOfficial, official("x", 1));
    ASSERT_EQ(forwarder()->subscribers(kOfficial).size(), 1);
    EXPECT_EQ(forwarder()->subscribers(kOfficial).at(0), kept);
    EXPECT_EQ(toWeb(kept).size(), 1);
}

TEST_F(VProtoBroadcastToCefManagerTest, OnlyAnArrayOfNamesSubscribes)
{
    VCefWidgetOSR *w = makeWindow();
    subscribe(w, R"("BroadcastResult.OfficialBroadcast")");
    EXPECT_TRUE(forwarder()->subscribers(kOfficial).isEmpty());
    // wrapped in "__H5__", the array sits in the wrapper's param
    command(R"({"funcName":"__H5__","param":{"funcName":"registerRecvProtoBroadcast",
               "protoKey":["BroadcastResult.OfficialBroadcast"]}})", w);
    EXPECT_EQ(forwarder()->subscribers(kOfficial).size(), 1);
}

TEST_F(VProtoBroadcastToCefManagerTest, AnUnknownNameSubscribesUnderIdZero)
{
    VCefWidgetOSR *w = makeWindow();
    subscribe(w, R"(["NoSuch.Broadcast"])");
    ASSERT_EQ(forwarder()->subscribers(0).size(), 1);
    push(0, official("z", 1));
    const auto got = toWeb(w);
    ASSERT_EQ(got.size(), 1);
    EXPECT_TRUE(got.at(0).json.startsWith(R"({"funcName":"protoBroadcast","param":{"protoKey":"","protoMsg":)"))
        << got.at(0).json.toStdString();
}

// --- what is dropped --------------------------------------------------------------------------

TEST_F(VProtoBroadcastToCefManagerTest, NullMessagesAndUnsubscribedIdsAreDropped)
{
    VCefWidgetOSR *w = makeWindow();
    subscribe(w, R"(["BroadcastResult.OfficialBroadcast"])");
    push(kOfficial, VProtoMsgPtr());
    push(1005, official("other", 1));
    EXPECT_TRUE(toWeb(w).isEmpty());
}

// --- threads ----------------------------------------------------------------------------------

TEST_F(VProtoBroadcastToCefManagerTest, ABroadcastFromAnotherThreadIsForwardedOnTheGuiThread)
{
    VCefWidgetOSR *w = makeWindow();
    subscribe(w, R"(["BroadcastResult.OfficialBroadcast"])");
    const VProtoMsgPtr m = official("from a worker", 4);
    std::thread worker([m] { push(kOfficial, m); });
    worker.join();
    // queued: nothing before the GUI thread's event loop runs
    EXPECT_TRUE(toWeb(w).isEmpty());
    EXPECT_TRUE(waitUntil([&] { return toWeb(w).size() == 1; }));
}
