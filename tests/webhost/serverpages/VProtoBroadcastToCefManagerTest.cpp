#include "ServerPagesFixture.h"

#include <thread>

#include "KivoServerComm.h"
#include "KivoServerConnection.h"
#include "VBroadCastMgr.h"
#include "VCefBroadcastManager.h"
#include "VLogText.h"
#include "VProtoBroadcastToCefManager.h"
#include "VProtoBufMessage.h"

#include "pelorin_wire.pb.h"

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
    // Gone windows stay subscribed until the next broadcast: each case starts without them.
    void TearDown() override
    {
        ServerPagesFixture::TearDown();
        if (VCefBroadcastManager::hasInstance())
            delete VCefBroadcastManager::getInstance();
    }
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

// --- log lines --------------------------------------------------------------------------------

// Huge server texts, from the connection through the router and the page forwarding: each
// line keeps its wording and quotes the text cut.
TEST_F(VProtoBroadcastToCefManagerTest, ServerTextsAreCutInLogLines)
{
    static QStringList lines;
    const auto capture = [](QtMsgType, const QMessageLogContext &, const QString &m) { lines << m; };
    VBroadCastMgr::getInstance(); // the router logs official broadcasts
    subscribe(makeWindow(), R"(["BroadcastResult.OfficialBroadcast"])");
    const QString huge(1 << 20, QLatin1Char('n'));
    const QByteArray body = official(huge, 1)->serialize();
    const struct
    {
        int id;
        QString type;
        QByteArray body;
        QString wording;
    } rows[] = {
        {0, "X" + huge, {}, "[PELORIN] broadcast with an unknown id: Xnnn"},
        {4242, "NoSuch." + huge, {}, "[PELORIN] broadcast 4242 of an unknown type: NoSuch.nnn"},
        {kOfficial, "BroadcastResult.OfficialBroadcast", body, "官方广播 \"nnn"},
        {kOfficial, "BroadcastResult.OfficialBroadcast", body, R"([CEFLOG] sendToWeb "{\"funcName\")"},
    };
    auto *connection = KivoServerComm::getInstance()->findChild<KivoServerConnection *>();
    ASSERT_TRUE(connection);
    for (const auto &row : rows) {
        pelorin_wire::Envelope envelope;
        envelope.set_kind(pelorin_wire::Envelope::BROADCAST);
        envelope.set_broadcastid(row.id);
        envelope.set_type(row.type.toStdString());
        envelope.set_body(row.body.toStdString());
        lines.clear();
        qInstallMessageHandler(capture);
        emit connection->messageReceived(QByteArray::fromStdString(envelope.SerializeAsString()));
        const bool logged = waitUntil([&] { return !lines.filter(row.wording).isEmpty(); });
        qInstallMessageHandler(nullptr);
        ASSERT_TRUE(logged) << row.wording.toStdString();
        const QString line = lines.filter(row.wording).first();
        EXPECT_TRUE(line.startsWith(row.wording)) << line.left(200).toStdString();
        EXPECT_LT(line.size(), VLogText::kMaxChars + 256) << row.wording.toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral(" characters)"))) << line.right(200).toStdString();
    }
}
