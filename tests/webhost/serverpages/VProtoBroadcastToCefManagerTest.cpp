#include "ServerPagesFixture.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <thread>

#include "FakeCefHost.h"
#include "KivoServerComm.h"
#include "KivoServerConnection.h"
#include "VBroadCastMgr.h"
#include "VCefBroadcastManager.h"
#include "VCefQueryManager.h"
#include "VLogLimiter.h"
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
    // Each case starts with a fresh second of the log limiter: what the case before logged must
    // not spend the lines or bytes this one expects.
    void SetUp() override
    {
        ServerPagesFixture::SetUp();
        VLogLimiter::getInstance()->reset();
    }
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
    // Hands bytes to the server connection as if the server had sent them.
    static void receive(int id, const QString &type, const QByteArray &body)
    {
        pelorin_wire::Envelope envelope;
        envelope.set_kind(pelorin_wire::Envelope::BROADCAST);
        envelope.set_broadcastid(id);
        envelope.set_type(type.toStdString());
        envelope.set_body(body.toStdString());
        auto *connection = KivoServerComm::getInstance()->findChild<KivoServerConnection *>();
        ASSERT_TRUE(connection);
        emit connection->messageReceived(QByteArray::fromStdString(envelope.SerializeAsString()));
    }
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

// One broadcast costs only so much: a message too large as JSON reaches no page, and one line
// names it and says why; the next one goes on.
TEST_F(VProtoBroadcastToCefManagerTest, ABroadcastTooLargeAsJsonIsSentToNoPage)
{
    static QStringList lines;
    VCefWidgetOSR *w = makeWindow();
    subscribe(w, R"(["BroadcastResult.OfficialBroadcast"])");
    // Each U+0001 is a 6-byte escape in the message's JSON.
    const int chars = int(VProtoBroadcastToCefManager::kMaxMessageJsonBytes / 6) + 1;
    lines.clear();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) { lines << m; });
    push(kOfficial, official(QString(chars, QChar(1)), 3));
    push(kOfficial, official("small", 4));
    qInstallMessageHandler(nullptr);
    const auto got = toWeb(w);
    ASSERT_EQ(got.size(), 1);
    EXPECT_TRUE(got.at(0).json.contains(R"(\"content\":\"small\")")) << got.at(0).json.left(200).toStdString();
    const QStringList dropped = lines.filter("[CEFLOG] protoBroadcast not sent:");
    ASSERT_EQ(dropped.size(), 1) << lines.join('\n').left(2000).toStdString();
    EXPECT_EQ(dropped.at(0), "[CEFLOG] protoBroadcast not sent: BroadcastResult.OfficialBroadcast 1004 is over 4194304 "
                             "bytes as JSON, the most a page is sent");
}

// A broadcast too long on the wire is not even parsed: neither the router nor a page gets it,
// and one line says so; one just under the bound reaches both; the next one goes on.
TEST_F(VProtoBroadcastToCefManagerTest, ABroadcastTooLongOnTheWireIsDroppedBeforeItsParse)
{
    static QStringList lines;
    VBroadCastMgr::getInstance(); // the router logs official broadcasts
    VCefWidgetOSR *w = makeWindow();
    subscribe(w, R"(["BroadcastResult.OfficialBroadcast"])");
    const struct
    {
        int chars;
        bool reaches;
    } rows[] = {
        {int(KivoServerComm::kMaxBroadcastBytes), false},
        // its body on the wire and its JSON for the page both just within their bounds, 4 MiB
        {4 * 1024 * 1024 - 64, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.chars);
        const QByteArray body = official(QString(row.chars, QLatin1Char('x')), 5)->serialize();
        const int before = toWeb(w).size();
        lines.clear();
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) { lines << m; });
        receive(kOfficial, "BroadcastResult.OfficialBroadcast", body);
        receive(kOfficial, "BroadcastResult.OfficialBroadcast", official("after", 6)->serialize());
        // The router handles broadcasts in order: once it has the next one, it had its chance.
        const bool routed = waitUntil([&] { return !lines.filter(QStringLiteral("官方广播 \"after\" 6")).isEmpty(); });
        qInstallMessageHandler(nullptr);
        ASSERT_TRUE(routed) << lines.join('\n').left(2000).toStdString();
        EXPECT_EQ(lines.filter(QStringLiteral("官方广播 \"xxx")).size(), row.reaches ? 1 : 0);
        const QStringList dropped = lines.filter("[PELORIN] dropped an oversize broadcast");
        ASSERT_EQ(dropped.size(), row.reaches ? 0 : 1) << lines.join('\n').left(2000).toStdString();
        if (!row.reaches) {
            EXPECT_EQ(dropped.at(0),
                      QStringLiteral("[PELORIN] dropped an oversize broadcast 1004 BroadcastResult.OfficialBroadcast "
                                     "of %1 bytes, the limit is 4194304").arg(body.size()));
        }
        const auto got = toWeb(w).mid(before);
        ASSERT_EQ(got.size(), row.reaches ? 2 : 1);
        EXPECT_EQ(got.first().json.size() > row.chars, row.reaches);
        EXPECT_TRUE(got.last().json.contains(R"(\"content\":\"after\")")) << got.last().json.left(200).toStdString();
    }
}

// A host that takes messages but never answers holds them all; past the limit its page gets no
// more broadcasts, with one line.
TEST_F(VProtoBroadcastToCefManagerTest, APageHoldingTooManyMessagesUnansweredGetsNoMoreBroadcasts)
{
    // Many small messages are bounded in number, whether they wait for the view or the host has
    // read them and not answered; a few large ones waiting for the view in bytes.
    const struct
    {
        int textSize;
        int count;
        // The host reads everything, answers the view's creation and nothing else (first: no
        // window of a later row may find it).
        bool withView;
        QString line;
    } rows[] = {
        {1, VProtoBroadcastToCefManager::kMaxPendingMessages + 100, true,
         "[CEFLOG] broadcasts for a page are dropped until it has answered: it holds 10000 messages unanswered, "
         "the most is 10000"},
        {1, VProtoBroadcastToCefManager::kMaxPendingMessages + 100, false,
         "[CEFLOG] broadcasts for a page are dropped until it has answered: it holds 10000 messages unanswered, "
         "the most is 10000"},
        {1 << 20, int(2 * VProtoBroadcastToCefManager::kMaxQueuedBytes >> 20), false,
         "[CEFLOG] broadcasts for a page are dropped until its view exists: it holds "},
    };
    static QStringList lines;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.line.toStdString() + (row.withView ? " (with a view)" : ""));
        FakeCefHost host;
        if (row.withView) {
            ASSERT_TRUE(host.listen(VCefProcessManager::getInstance()->processItem(1)->serverName()));
        }
        VCefWidgetOSR *w = makeWindow();
        if (row.withView) {
            ASSERT_TRUE(waitUntil([&] { return w->isViewCreated(); }));
            ASSERT_TRUE(w->queuedRequests().isEmpty());
        }
        subscribe(w, R"(["BroadcastResult.OfficialBroadcast"])");
        const QString text(row.textSize, QLatin1Char('x'));
        lines.clear();
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) { lines << m; });
        qint64 largest = 0;
        for (int i = 0; i < row.count; ++i) {
            const qint64 before = w->queuedBytes();
            push(kOfficial, official(text, i));
            largest = std::max(largest, w->queuedBytes() - before);
        }
        qInstallMessageHandler(nullptr);
        EXPECT_LE(w->queuedRequests().size() + w->pendingRequestCount(),
                  VProtoBroadcastToCefManager::kMaxPendingMessages);
        if (row.withView) {
            EXPECT_TRUE(w->queuedRequests().isEmpty());
            // It read them all.
            EXPECT_TRUE(waitUntil(
                [&] { return host.received.size() > VProtoBroadcastToCefManager::kMaxPendingMessages; }));
        }
        EXPECT_LT(w->queuedBytes(), VProtoBroadcastToCefManager::kMaxQueuedBytes + largest);
        EXPECT_EQ(lines.filter(row.line).size(), 1) << lines.join('\n').left(2000).toStdString();
    }
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
// line keeps its wording and quotes the text cut, escapes included.
TEST_F(VProtoBroadcastToCefManagerTest, ServerTextsAreCutInLogLines)
{
    static QStringList lines;
    const auto capture = [](QtMsgType, const QMessageLogContext &, const QString &m) { lines << m; };
    VBroadCastMgr::getInstance(); // the router logs official broadcasts
    subscribe(makeWindow(), R"(["BroadcastResult.OfficialBroadcast"])");
    // Control characters are written as escapes of six: the cut is made on the text as written.
    // (Half a million: six times that as JSON is still sent to the page.)
    const QString huge = QString(64, QLatin1Char('n')) + QString(1 << 19, QChar(1));
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

// A flood, from the server or a page, writes at most so many lines of one kind a second, as they
// are; the rest are counted in one line when the second ends.
TEST_F(VProtoBroadcastToCefManagerTest, AFloodIsLoggedAFewLinesASecondWithACountOfTheRest)
{
    static QStringList lines;
    VBroadCastMgr::getInstance(); // the router logs official broadcasts
    VCefWidgetOSR *w = makeWindow();
    subscribe(w, R"(["BroadcastResult.OfficialBroadcast"])");
    const int flood = 300;
    lines.clear();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) { lines << m; });
    for (int i = 1; i <= flood; ++i) {
        push(kOfficial, official("flood", i));
        receive(4242, "NoSuch.Flood", {});
        // and a page's log messages, commands and queries that are not JSON, and names nobody knows
        command(R"({"funcName":"saveGamelog","param":{"message":"flood )" + QByteArray::number(i) + "\"}}", w);
        command("flood " + QByteArray::number(i), w);
        VCefQueryManager::getInstance()->onQuery("flood " + QByteArray::number(i), w);
        command(R"({"funcName":"openCefWidgetInPc","param":{"page":"madeUp)" + QByteArray::number(i) + "\"}}", w);
        command(R"({"funcName":"openCefWidgetInPc","param":{"page":"giftPage","query":"n=)" + QByteArray::number(i) + "\"}}", w);
        VCefQueryManager::getInstance()->onQuery(
            R"({"funcName":"protoRequest","queryId":1,"param":{"protoName":"Unknown.Flood","protoParam":{}}})", w);
    }
    const struct
    {
        QString kind;
        QString line; // the first one's
    } rows[] = {
        {"官方广播", "官方广播 \"flood\" 1"},
        {"[CEFLOG] sendToWeb",
         R"([CEFLOG] sendToWeb "{\"funcName\":\"protoBroadcast\",\"param\":{\"protoKey\":\"BroadcastResult.OfficialBroadcast\",)"
         R"(\"protoMsg\":\"{\\\"content\\\":\\\"flood\\\",\\\"playCount\\\":1}\"}}")"},
        {"[CefBroadcast]", "[CefBroadcast] flood 1\"}}"},
        {"[CEFLOG] CEF Broadcast 请求解析json失败",
         R"([CEFLOG] CEF Broadcast 请求解析json失败 "* Line 1, Column 1\n  Syntax error: value, object or array expected.\n")"},
        {"[CEFLOG] CEF Proto 请求解析json失败",
         R"([CEFLOG] CEF Proto 请求解析json失败 "* Line 1, Column 1\n  Syntax error: value, object or array expected.\n")"},
        {"[CONFIG] no page URL for", "[CONFIG] no page URL for \"madeUp1\""},
        {"[PROTO] no proto file", "[PROTO] no proto file Unknown.proto"},
        {"[PROTO] unknown message", "[PROTO] unknown message Unknown.Flood in Unknown.proto"},
        {"[PELORIN] request refused:", "[PELORIN] request refused: the message has no type"},
        {"[CEFLOG] loadUrl addReqToList",
         R"([CEFLOG] loadUrl addReqToList "http://pages.test/gift.html?n=1&userId=&isInApp=true&roomId=&sessionId=)"
         R"(&isPc=true&channel=3&platformId=pc_voice&h5Server=&h5WebServer=&appPlatform=&LOGO_SERVER_ROOT=&tickToken=)"
         R"(&funLevel=0&ABBR=Talmi&isAudio=1&cdnServer=&canRecvProtoBroadcast=1&notClickAvatar=false&version=")"},
    };
    const auto written = [&](const QString &kind) { return lines.filter(QRegularExpression("^" + QRegularExpression::escape(kind) + " [^.]")); };
    const auto leftOut = [&](const QString &kind) {
        const QRegularExpression count("^" + QRegularExpression::escape(kind) + R"( \.\.\. \((\d+) similar lines left out\)$)");
        int n = 0;
        for (const QString &line : qAsConst(lines))
            n += count.match(line).captured(1).toInt();
        return n;
    };
    // The router's handling is queued; each count comes when its second ends.
    const bool counted = waitUntil([&] {
        for (const auto &row : rows)
            if (written(row.kind).size() + leftOut(row.kind) != flood)
                return false;
        return true;
    }, 20000);
    // The next case starts in a second of its own.
    waitUntil([] { return false; }, 1100);
    qInstallMessageHandler(nullptr);
    windows.append(VCefBroadcastManager::popupWidget(QStringLiteral("giftPage")));
    // A broadcast of an unknown type is named by its own line, within the limit, and no other.
    EXPECT_LE(lines.filter("NoSuch.").size(), flood / 3);
    for (const auto &row : rows) {
        EXPECT_TRUE(counted) << row.kind.toStdString() << " " << written(row.kind).size() << " + " << leftOut(row.kind);
        const QStringList shown = written(row.kind);
        ASSERT_FALSE(shown.isEmpty()) << row.kind.toStdString();
        EXPECT_EQ(shown.first(), row.line) << shown.first().toStdString();
        EXPECT_GT(leftOut(row.kind), 0) << row.kind.toStdString();
        // A busy machine may spread the flood over a few seconds, never over one per line.
        EXPECT_LE(shown.size(), flood / 3) << row.kind.toStdString();
    }
}

// However many lines a flood brings, the server's texts in them add only so many bytes a second
// to the log: past that, the lines say only how long their texts were.
TEST_F(VProtoBroadcastToCefManagerTest, ServerTextsAddOnlySoManyBytesASecondToTheLog)
{
    static qint64 bytes;
    static int count;
    VBroadCastMgr::getInstance(); // the router logs official broadcasts
    subscribe(makeWindow(), R"(["BroadcastResult.OfficialBroadcast"])");
    QObject after; // queued after the router: it has handled what this has seen
    int handled = 0;
    QObject::connect(KivoServerComm::getInstance(), &KivoServerComm::sigRecvBroadCast, &after, [&] { ++handled; },
                     Qt::QueuedConnection);
    // Three bytes a character, in the router's line and in the page's JSON.
    const QString text(VLogText::kMaxChars, QChar(0x597D));
    const int flood = 200;
    bytes = 0;
    count = 0;
    QElapsedTimer took;
    took.start();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
        bytes += m.toUtf8().size();
        ++count;
    });
    for (int i = 1; i <= flood; ++i)
        push(kOfficial, official(text, i));
    const bool done = waitUntil([&] { return handled == flood; });
    qInstallMessageHandler(nullptr);
    const qint64 ms = took.elapsed();
    ASSERT_TRUE(done) << handled;
    // Every second the texts spent, whole or begun, gives its budget; each line may have its
    // wording and a short text besides.
    const qint64 most = (ms / 1000 + 2) * VLogText::kBytesPerSecond + qint64(count) * 256;
    EXPECT_LE(bytes, most) << count << " lines in " << ms << " ms";
    EXPECT_GE(count, 2 * VLogLimiter::kLinesPerSecond);
}

// Each source's texts spend a budget of their own, short ones too: once a flood has spent the
// server's or the pages' (a pop-up a page loads is the pages'), their next short text is left out
// of its line, while the other source's texts and the client's own stay whole.
TEST_F(VProtoBroadcastToCefManagerTest, EachSourcesTextsSpendABudgetOfTheirOwn)
{
    static QStringList lines;
    VCefWidgetOSR *w = makeWindow();
    const QString big(VLogText::kMaxChars, QChar(0x597D)); // 12 KiB as written
    // A flood text, or a probe in a line of another kind (the last of that kind): the server's,
    // a page's, the client's own.
    const std::function<void(const QString &, bool)> write[] = {
        [](const QString &text, bool flood) { flood ? receive(4242, "NoSuch." + text, {}) : receive(0, text, {}); },
        [&](const QString &text, bool flood) {
            if (flood)
                command(R"({"funcName":"openCefWidgetInPc","param":{"page":"giftPage","query":")" + text.toUtf8() + "\"}}", w);
            command((flood ? R"({"funcName":"saveGamelog","param":{"message":")" + text + "\"}}"
                           : R"({"funcName":"__H5__","param":{"p":")" + text + "\"}}").toUtf8(), w);
        },
        [&](const QString &text, bool) { w->loadUrl("http://pages.test/" + text); },
    };
    const QString probeLine[] = {"[PELORIN] broadcast with an unknown id: ", "[CefBroadcast] [__H5__] Web消息: ",
                                 "[CEFLOG] loadUrl addReqToList "};
    for (int flooded : {0, 1}) {
        SCOPED_TRACE(flooded ? "pages flood" : "the server floods");
        VLogLimiter::getInstance()->reset();
        bool leftOut = false;
        int whole[3] = {};
        // Three floods spend the budget; however the seconds fall, a few tries do it within one.
        for (int tries = 0; !leftOut && tries < 20; ++tries) {
            lines.clear();
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) { lines << m; });
            for (int i = 0; i < 3; ++i)
                write[flooded](big, true);
            for (int probe = 0; probe < 3; ++probe)
                write[probe](probe == flooded ? QString("short") : QString(100, QLatin1Char('l')), false);
            qInstallMessageHandler(nullptr);
            for (int probe = 0; probe < 3; ++probe) {
                const QStringList written = lines.filter(probeLine[probe]);
                if (written.isEmpty())
                    continue;
                if (probe == flooded)
                    leftOut = !written.last().contains("short");
                else if (written.last().contains(QString(100, QLatin1Char('l'))))
                    ++whole[probe];
                else
                    ADD_FAILURE() << written.last().left(300).toStdString();
            }
        }
        EXPECT_TRUE(leftOut);
        for (int probe = 0; probe < 3; ++probe)
            EXPECT_TRUE(probe == flooded || whole[probe] > 0) << probe;
    }
    windows.append(VCefBroadcastManager::popupWidget(QStringLiteral("giftPage")));
}
