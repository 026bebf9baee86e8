#include "FakePelorinServer.h"
#include "KivoServerComm.h"
#include "KivoServerConnection.h"
#include "Pelorin.h"
#include "QuadrelConfig.h"
#include "VBroadcastBacklog.h"

#include "RequestOutcome.h"
#include "TestSupport.h"

#include <QThread>

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <memory>

namespace {

// Sends one request built and destroyed here, so nothing of the message outlives the call.
std::shared_ptr<Outcome> request(const QString &protoFile, const QString &type,
                                 const std::function<void(VProtoBufMessage &)> &fill = {})
{
    VProtoBufMessage msg;
    EXPECT_TRUE(msg.make(protoFile, type));
    if (fill)
        fill(msg);
    return track(KivoServerComm::getInstance()->requestKivoServer(msg));
}

std::shared_ptr<Outcome> addPrank(const QString &content)
{
    return request("PrankCmd.proto", "PrankCmd.addPrank", [&](VProtoBufMessage &m) { m.setString("prankContent", content); });
}

QString fieldText(const pelorin_wire::Envelope &envelope, const QString &field)
{
    VProtoBufMessage msg;
    msg.make(QString::fromStdString(envelope.type()).section('.', 0, 0) + ".proto",
             QString::fromStdString(envelope.type()));
    msg.parse(QByteArray::fromStdString(envelope.body()));
    QString out;
    msg.getString(field, out);
    return out;
}

// One broadcast as it arrived at sigRecvBroadCast.
struct Received
{
    int id = -1;
    VProtoMsgPtr msg;
    QThread *thread = nullptr;
};

} // namespace

class KivoServerCommTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QuadrelConfig::getInstance()->reload();
        ASSERT_TRUE(server.listen());
        setServer(server.url());
        comm = KivoServerComm::getInstance();
        comm->setRequestSeam({});
        connection = QObject::connect(comm, &KivoServerComm::sigRecvBroadCast, comm,
                                      [this](int id, VProtoMsgPtr msg) {
                                          broadcasts.append({id, msg, QThread::currentThread()});
                                      });
    }

    void TearDown() override
    {
        QObject::disconnect(connection);
        comm->disconnectFromServer();
        server.close();
        // Rejections of the shut-down settle before the next case.
        waitUntil([] { return false; }, 20);
    }

    static void setServer(const QString &url) { QuadrelConfig::getInstance()->setConfig("PelorinServer", url); }
    // Generous upper bounds for what must happen (a 16 MiB frame on a loaded CI machine); waits
    // end as soon as it does.
    static constexpr int kLoadedMachineMs = 30000;

    static void setTimeout(int ms) { QuadrelConfig::getInstance()->setConfig("PelorinTimeoutMs", QString::number(ms)); }

    // The request the server got at index i, once it is there.
    const pelorin_wire::Envelope *requestAt(int i)
    {
        if (!waitUntil([&] { return server.requests().size() > i; }, kLoadedMachineMs))
            return nullptr;
        return &server.requests()[i];
    }

    // Settles one plain request end to end over the current connection.
    void expectRoundTrip()
    {
        const int before = server.requests().size();
        auto outcome = addPrank("still there");
        const pelorin_wire::Envelope *req = requestAt(before);
        ASSERT_NE(req, nullptr);
        server.respond(req->seq(), "PrankCmd.addPrankResp", {}, 1, "ok");
        ASSERT_TRUE(waitUntil([&] { return outcome->settled; }, kLoadedMachineMs));
        EXPECT_TRUE(outcome->fulfilled);
        EXPECT_EQ(outcome->response.resultMessage, "ok");
    }

    TempWorkDir dir;
    FakePelorinServer server;
    KivoServerComm *comm = nullptr;
    QMetaObject::Connection connection;
    QVector<Received> broadcasts;
};

// Requests and replies

TEST_F(KivoServerCommTest, FirstRequestOpensTheConnectionAndSendsTheEnvelope)
{
    auto outcome = request("PrankCmd.proto", "PrankCmd.addPrank", [](VProtoBufMessage &m) {
        m.setString("prankContent", "hi");
        m.setInt32("giftNum", 3);
    });
    const pelorin_wire::Envelope *req = requestAt(0);
    ASSERT_NE(req, nullptr);
    EXPECT_EQ(server.connectionsSeen(), 1);
    EXPECT_EQ(req->kind(), pelorin_wire::Envelope::REQUEST);
    EXPECT_NE(req->seq(), 0u);
    EXPECT_EQ(req->type(), "PrankCmd.addPrank");
    EXPECT_EQ(req->body(), std::string("\x0a\x02hi\x18\x03", 6));
    EXPECT_FALSE(outcome->settled);
}

TEST_F(KivoServerCommTest, RepliesAnsweredOutOfOrderSettleTheirOwnRequests)
{
    comm->connectToServer();
    auto first = addPrank("first");
    auto second = addPrank("second");
    ASSERT_NE(requestAt(1), nullptr);
    const pelorin_wire::Envelope a = server.requests()[0];
    const pelorin_wire::Envelope b = server.requests()[1];
    EXPECT_EQ(fieldText(a, "prankContent"), "first");
    EXPECT_EQ(fieldText(b, "prankContent"), "second");
    EXPECT_LT(a.seq(), b.seq());

    server.respond(b.seq(), "PrankCmd.addPrankResp", {}, 7, "second answer");
    ASSERT_TRUE(waitUntil([&] { return second->settled; }));
    EXPECT_FALSE(first->settled);
    server.respond(a.seq(), "PrankCmd.addPrankResp", {}, 1, "first answer");
    ASSERT_TRUE(waitUntil([&] { return first->settled; }));

    EXPECT_TRUE(first->fulfilled);
    EXPECT_EQ(first->response.resultCode, 1);
    EXPECT_EQ(first->response.resultMessage, "first answer");
    EXPECT_TRUE(second->fulfilled);
    EXPECT_EQ(second->response.resultCode, 7);
    EXPECT_EQ(second->response.resultMessage, "second answer");
    // An empty body is the reply message with nothing set.
    ASSERT_TRUE(first->response.replyMessage);
    EXPECT_EQ(first->response.replyMessage->typeName(), "PrankCmd.addPrankResp");
    EXPECT_EQ(first->thread, QThread::currentThread());
    EXPECT_EQ(comm->pendingCount(), 0);
}

TEST_F(KivoServerCommTest, ReplyDecodesBySixtyFourBitFieldsAndEmptyTypeGivesNoMessage)
{
    auto withInt64 = addPrank("a");
    auto withoutType = addPrank("b");
    ASSERT_NE(requestAt(1), nullptr);
    // Any type of the module decodes; this one carries an int64 (2^33 + 5).
    server.respond(server.requests()[0].seq(), "RoomCmd.addHeartBeatValueTime",
                   QByteArray("\x0a\x02r1\x10\x85\x80\x80\x80\x20", 10), 1, "");
    server.respond(server.requests()[1].seq(), "", "", 1, "no reply message");
    ASSERT_TRUE(waitUntil([&] { return withInt64->settled && withoutType->settled; }));

    ASSERT_TRUE(withInt64->fulfilled);
    ASSERT_TRUE(withInt64->response.replyMessage);
    qint64 endTime = 0;
    EXPECT_TRUE(withInt64->response.replyMessage->getInt64("endTime", endTime));
    EXPECT_EQ(endTime, Q_INT64_C(8589934597));
    QString roomId;
    EXPECT_TRUE(withInt64->response.replyMessage->getString("roomId", roomId));
    EXPECT_EQ(roomId, "r1");

    ASSERT_TRUE(withoutType->fulfilled);
    EXPECT_FALSE(withoutType->response.replyMessage);
    EXPECT_EQ(withoutType->response.resultMessage, "no reply message");
}

TEST_F(KivoServerCommTest, SequenceNumbersAreNeverReused)
{
    comm->connectToServer();
    for (int i = 0; i < 3; ++i)
        addPrank(QString::number(i));
    ASSERT_NE(requestAt(2), nullptr);
    comm->disconnectFromServer();
    addPrank("after reopening");
    ASSERT_NE(requestAt(3), nullptr);
    for (int i = 1; i < 4; ++i)
        EXPECT_GT(server.requests()[i].seq(), server.requests()[i - 1].seq());
}

TEST_F(KivoServerCommTest, RequestFromAnotherThreadIsHandedToTheGuiThread)
{
    QThread *worker = QThread::create([] {
        VProtoBufMessage msg;
        msg.make("PrankCmd.proto", "PrankCmd.addPrank");
        msg.setString("prankContent", "from a worker");
        KivoServerComm::getInstance()->requestKivoServer(msg);
    });
    worker->start();
    const pelorin_wire::Envelope *req = requestAt(0);
    worker->wait();
    delete worker;
    ASSERT_NE(req, nullptr);
    EXPECT_EQ(fieldText(*req, "prankContent"), "from a worker");
    EXPECT_EQ(comm->pendingCount(), 1);
    server.respond(req->seq(), "PrankCmd.addPrankResp", {}, 1, "");
    EXPECT_TRUE(waitUntil([&] { return comm->pendingCount() == 0; }));
}

// Time-outs

TEST_F(KivoServerCommTest, SilentServerTimesTheRequestOutAndALateReplyIsIgnored)
{
    // Connected first, so the short time-out runs out on a sent request, not a queued one.
    expectRoundTrip();
    setTimeout(150);
    auto outcome = addPrank("nobody answers");
    ASSERT_NE(requestAt(1), nullptr);
    ASSERT_TRUE(waitUntil([&] { return outcome->settled; }));
    EXPECT_FALSE(outcome->fulfilled);
    EXPECT_EQ(outcome->error.code, KivoServerComm::ErrTimeout);
    EXPECT_EQ(outcome->error.text, "server request timed out: PrankCmd.addPrank");

    setTimeout(10000);
    server.respond(server.requests()[1].seq(), "PrankCmd.addPrankResp", {}, 1, "too late");
    expectRoundTrip();
    EXPECT_EQ(server.connectionsSeen(), 1);
}

TEST_F(KivoServerCommTest, RequestQueuedWithoutServerTimesOut)
{
    server.close();
    setTimeout(150);
    auto outcome = addPrank("queued");
    ASSERT_TRUE(waitUntil([&] { return outcome->settled; }));
    EXPECT_EQ(outcome->error.code, KivoServerComm::ErrTimeout);
    EXPECT_EQ(outcome->error.text, "server request timed out: PrankCmd.addPrank");
    EXPECT_EQ(comm->pendingCount(), 0);
}

// Connection loss, queueing and reconnection

TEST_F(KivoServerCommTest, RequestsQueuedWhileDisconnectedGoOutInOrderOnConnect)
{
    const quint16 port = server.port();
    server.close();
    auto a = addPrank("one");
    auto b = addPrank("two");
    auto c = addPrank("three");
    ASSERT_TRUE(server.listen(port));
    ASSERT_NE(requestAt(2), nullptr);
    EXPECT_EQ(fieldText(server.requests()[0], "prankContent"), "one");
    EXPECT_EQ(fieldText(server.requests()[1], "prankContent"), "two");
    EXPECT_EQ(fieldText(server.requests()[2], "prankContent"), "three");
    for (const auto &req : server.requests())
        server.respond(req.seq(), "PrankCmd.addPrankResp", {}, 1, "");
    EXPECT_TRUE(waitUntil([&] { return a->fulfilled && b->fulfilled && c->fulfilled; }));
}

TEST_F(KivoServerCommTest, ServerGoingAwayRejectsSentRequestsAndReconnectionServesTheNext)
{
    comm->connectToServer();
    auto sent = addPrank("sent");
    ASSERT_NE(requestAt(0), nullptr);
    const quint16 port = server.port();
    server.close();
    ASSERT_TRUE(waitUntil([&] { return sent->settled; }));
    EXPECT_FALSE(sent->fulfilled);
    EXPECT_EQ(sent->error.code, KivoServerComm::ErrConnectionLost);
    EXPECT_EQ(sent->error.text, "server connection lost: PrankCmd.addPrank");
    EXPECT_FALSE(comm->isConnected());

    auto queued = addPrank("queued");
    ASSERT_TRUE(server.listen(port));
    server.onRequest = [&](const pelorin_wire::Envelope &e) { server.respond(e.seq(), "PrankCmd.addPrankResp", {}, 1, "back"); };
    ASSERT_TRUE(waitUntil([&] { return queued->settled; }));
    EXPECT_TRUE(queued->fulfilled);
    EXPECT_EQ(queued->response.resultMessage, "back");
    EXPECT_TRUE(comm->isConnected());
}

TEST_F(KivoServerCommTest, DisconnectRejectsSentAndQueuedRequests)
{
    auto sent = addPrank("sent");
    ASSERT_NE(requestAt(0), nullptr);
    ASSERT_TRUE(waitUntil([&] { return comm->isConnected(); }));
    comm->disconnectFromServer();
    server.close();
    auto queued = addPrank("queued");
    comm->disconnectFromServer();
    ASSERT_TRUE(waitUntil([&] { return sent->settled && queued->settled; }));
    EXPECT_EQ(sent->error.code, KivoServerComm::ErrClosed);
    EXPECT_EQ(sent->error.text, "server connection closed: PrankCmd.addPrank");
    EXPECT_EQ(queued->error.code, KivoServerComm::ErrClosed);
    EXPECT_EQ(comm->pendingCount(), 0);
}

TEST_F(KivoServerCommTest, InitAndUnInitPelorinOpenAndCloseTheConnection)
{
    initPelorin();
    ASSERT_TRUE(waitUntil([&] { return comm->isConnected(); }));
    EXPECT_EQ(server.connectionsSeen(), 1);
    auto pending = addPrank("at shut-down");
    ASSERT_NE(requestAt(0), nullptr);
    unInitPelorin();
    EXPECT_FALSE(comm->isConnected());
    ASSERT_TRUE(waitUntil([&] { return pending->settled; }));
    EXPECT_EQ(pending->error.code, KivoServerComm::ErrClosed);
    EXPECT_TRUE(waitUntil([&] { return server.clientCount() == 0; }));
}

// Bad input from the server

TEST_F(KivoServerCommTest, BadMessagesAreDroppedAndTheConnectionStaysUsable)
{
    expectRoundTrip();
    server.sendBinary(QByteArray("\xff\xff\xff not an envelope", 19));
    server.sendText("{\"text\":\"ignored\"}");
    server.respond(987654321, "PrankCmd.addPrankResp", {}, 1, "nobody asked");
    pelorin_wire::Envelope fromServer;
    fromServer.set_kind(pelorin_wire::Envelope::REQUEST);
    fromServer.set_seq(1);
    server.sendBinary(QByteArray::fromStdString(fromServer.SerializeAsString()));
    expectRoundTrip();
    EXPECT_EQ(server.connectionsSeen(), 1);
    EXPECT_TRUE(broadcasts.isEmpty());
}

TEST_F(KivoServerCommTest, OversizeMessageIsDroppedWithoutClosingTheConnection)
{
    expectRoundTrip();
    auto outcome = addPrank("big reply");
    const pelorin_wire::Envelope *req = requestAt(1);
    ASSERT_NE(req, nullptr);
    server.respond(req->seq(), "PrankCmd.addPrankResp", QByteArray(16 * 1024 * 1024, 'x'), 1, "");
    expectRoundTrip();
    EXPECT_FALSE(outcome->settled);
    EXPECT_EQ(server.connectionsSeen(), 1);
}

TEST_F(KivoServerCommTest, UndecodableRepliesRejectTheirRequestAtOnce)
{
    auto unknownType = addPrank("a");
    auto badBody = addPrank("b");
    ASSERT_NE(requestAt(1), nullptr);
    server.respond(server.requests()[0].seq(), "NoSuchCmd.addPrankResp", "", 1, "");
    // Field 1 a string claiming 100 bytes that never come.
    server.respond(server.requests()[1].seq(), "RoomCmd.addHeartBeatValueTime", QByteArray("\x0a\x64r", 3), 1, "");
    ASSERT_TRUE(waitUntil([&] { return unknownType->settled && badBody->settled; }));
    EXPECT_EQ(unknownType->error.code, KivoServerComm::ErrBadReply);
    EXPECT_EQ(unknownType->error.text, "server reply could not be decoded: NoSuchCmd.addPrankResp");
    EXPECT_EQ(badBody->error.code, KivoServerComm::ErrBadReply);
    expectRoundTrip();
    EXPECT_EQ(server.connectionsSeen(), 1);
}

// Broadcasts

TEST_F(KivoServerCommTest, BroadcastIsDecodedAndEmittedOnTheGuiThread)
{
    comm->connectToServer();
    ASSERT_TRUE(waitUntil([&] { return server.clientCount() == 1; }));
    // content "hello", playCount 3
    server.broadcast(1004, "BroadcastResult.OfficialBroadcast", QByteArray("\x0a\x05hello\x10\x03", 9));
    ASSERT_TRUE(waitUntil([&] { return broadcasts.size() == 1; }));
    EXPECT_EQ(broadcasts[0].id, 1004);
    EXPECT_EQ(broadcasts[0].thread, QThread::currentThread());
    ASSERT_TRUE(broadcasts[0].msg);
    QString content;
    int playCount = 0;
    EXPECT_TRUE(broadcasts[0].msg->getString("content", content));
    EXPECT_TRUE(broadcasts[0].msg->getInt32("playCount", playCount));
    EXPECT_EQ(content, "hello");
    EXPECT_EQ(playCount, 3);
}

TEST_F(KivoServerCommTest, BroadcastIdAndNameAreCompletedFromTheTable)
{
    comm->connectToServer();
    ASSERT_TRUE(waitUntil([&] { return server.clientCount() == 1; }));
    server.broadcast(0, "BroadcastResult.ChatSafeModeNoticeBroadcast", "");
    server.broadcast(1004, "", QByteArray("\x10\x09", 2));
    ASSERT_TRUE(waitUntil([&] { return broadcasts.size() == 2; }));
    EXPECT_EQ(broadcasts[0].id, 1041);
    ASSERT_TRUE(broadcasts[0].msg);
    EXPECT_EQ(broadcasts[0].msg->typeName(), "BroadcastResult.ChatSafeModeNoticeBroadcast");
    EXPECT_EQ(broadcasts[1].id, 1004);
    ASSERT_TRUE(broadcasts[1].msg);
    EXPECT_EQ(broadcasts[1].msg->typeName(), "BroadcastResult.OfficialBroadcast");
    int playCount = 0;
    EXPECT_TRUE(broadcasts[1].msg->getInt32("playCount", playCount));
    EXPECT_EQ(playCount, 9);
}

TEST_F(KivoServerCommTest, UnknownBroadcastsReachTheRouterEmptyAndBadBodiesAreDropped)
{
    comm->connectToServer();
    ASSERT_TRUE(waitUntil([&] { return server.clientCount() == 1; }));
    server.broadcast(0, "NoSuchResult.Nothing", "");
    server.broadcast(4242, "", "");
    server.broadcast(1004, "BroadcastResult.OfficialBroadcast", QByteArray("\x0a\x64r", 3));
    server.broadcast(1041, "BroadcastResult.ChatSafeModeNoticeBroadcast", "");
    ASSERT_TRUE(waitUntil([&] { return broadcasts.size() == 3; }));
    EXPECT_EQ(broadcasts[0].id, 0);
    EXPECT_FALSE(broadcasts[0].msg);
    EXPECT_EQ(broadcasts[1].id, 4242);
    EXPECT_FALSE(broadcasts[1].msg);
    // The bad body never arrived; the next broadcast did.
    EXPECT_EQ(broadcasts[2].id, 1041);
    EXPECT_TRUE(broadcasts[2].msg);
}

TEST_F(KivoServerCommTest, ABroadcastFloodIsTakenInARoundAtATimeAndHeldWhilePagesAreBehind)
{
    auto *connection = comm->findChild<KivoServerConnection *>();
    ASSERT_TRUE(connection);
    // A receiver queued like the router: what was handed on but not yet handled is the backlog;
    // what was read but not handed on waits in the connection.
    int taken = 0;
    int handled = 0;
    int most = 0;
    int mostWaiting = 0;
    QObject router;
    QObject::connect(comm, &KivoServerComm::sigRecvBroadCast, &router, [&] {
        most = std::max(most, ++taken - handled);
        mostWaiting = std::max(mostWaiting, connection->waitingCount());
    });
    QObject::connect(comm, &KivoServerComm::sigRecvBroadCast, &router, [&] { ++handled; }, Qt::QueuedConnection);
    comm->connectToServer();
    ASSERT_TRUE(waitUntil([&] { return server.clientCount() == 1; }));
    expectRoundTrip();
    // A page whose host reads nothing holds the connection: nothing is handed on, and no more
    // is read than the kernel's buffer held.
    QObject page;
    VBroadcastBacklog::getInstance()->setPending(&page, VBroadcastBacklog::kHoldBytes + 1);
    QElapsedTimer held;
    held.start();
    const int flood = 50000;
    for (int i = 0; i < flood; ++i)
        server.broadcast(1041, "BroadcastResult.ChatSafeModeNoticeBroadcast", "");
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
        lines << m;
    });
    waitUntil([] { return false; }, 500);
    // Nothing is taken while the page may still hold the connection; on a busy machine sending
    // the flood alone can take longer than that, and then the page has been passed over already.
    if (held.elapsed() < VBroadcastBacklog::kStallMs) {
        EXPECT_EQ(taken, 0);
    }
    mostWaiting = std::max(mostWaiting, connection->waitingCount());
    // Held for longer than the connection may wait, the page is passed over, once, and the rest
    // goes on; it counts again once it has read all it holds.
    ASSERT_TRUE(waitUntil([&] { return handled == flood; }, kLoadedMachineMs)) << taken << " " << handled;
    qInstallMessageHandler(previous);
    EXPECT_EQ(lines.filter("[PELORIN] broadcasts for a page are dropped until it has read the").size(), 1);
    EXPECT_TRUE(VBroadcastBacklog::getInstance()->isStalled(&page));
    VBroadcastBacklog::getInstance()->setPending(&page, 0);
    EXPECT_FALSE(VBroadcastBacklog::getInstance()->isStalled(&page));
    EXPECT_LE(most, KivoServerConnection::kRoundMessages);
    pelorin_wire::Envelope one;
    one.set_kind(pelorin_wire::Envelope::BROADCAST);
    one.set_broadcastid(1041);
    one.set_type("BroadcastResult.ChatSafeModeNoticeBroadcast");
    one.set_body("");
    // One read: the kernel doubles the buffer size asked for; twice that again as a margin, far
    // below the flood's 2.8 MB.
    EXPECT_LE(qint64(mostWaiting) * qint64(one.ByteSizeLong() + 2), 4 * KivoServerConnection::kReceiveBufferBytes)
        << mostWaiting;
    expectRoundTrip();
}

// The test seam

TEST_F(KivoServerCommTest, SeamAnswersInsteadOfTheNetworkAndEmptySeamRestoresIt)
{
    QString seen;
    comm->setRequestSeam([&seen](const VProtoBufMessage &m) {
        seen = m.typeName();
        KivoServerResponse r;
        r.resultCode = 1;
        r.resultMessage = "from the seam";
        return QtPromise::QPromise<KivoServerResponse>::resolve(r);
    });
    auto bySeam = addPrank("seam");
    ASSERT_TRUE(waitUntil([&] { return bySeam->settled; }));
    EXPECT_EQ(bySeam->response.resultMessage, "from the seam");
    EXPECT_EQ(seen, "PrankCmd.addPrank");
    EXPECT_TRUE(server.requests().isEmpty());

    comm->setRequestSeam({});
    expectRoundTrip();
}

TEST_F(KivoServerCommTest, MessageWithoutTypeIsRefused)
{
    VProtoBufMessage unmade;
    auto outcome = track(comm->requestKivoServer(unmade));
    ASSERT_TRUE(waitUntil([&] { return outcome->settled; }));
    EXPECT_EQ(outcome->error.code, KivoServerComm::ErrUnavailable);
    EXPECT_EQ(comm->pendingCount(), 0);
}
