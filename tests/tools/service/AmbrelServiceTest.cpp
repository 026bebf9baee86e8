#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QUrl>
#include <QWebSocket>

#include <httplib.h>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "ServiceProcess.h"
#include "TestSupport.h"
#include "VProtoBufMessage.h"

#include "pelorin_wire.pb.h"

namespace {

using pelorin_wire::Envelope;

QByteArray bytesOf(const std::string &s)
{
    return QByteArray(s.data(), int(s.size()));
}

QByteArray requestBytes(quint64 seq, const QString &type, const QByteArray &body)
{
    Envelope e;
    e.set_kind(Envelope::REQUEST);
    e.set_seq(seq);
    e.set_type(type.toStdString());
    e.set_body(body.constData(), size_t(body.size()));
    return bytesOf(e.SerializeAsString());
}

QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

QByteArray shippedFile(const char *relative)
{
    QFile file(QStringLiteral(AMBREL_SOURCE_DIR "/") + QLatin1String(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A bare WebSocket client that speaks the envelope by hand.
class RawClient
{
public:
    explicit RawClient(const QString &url)
    {
        QObject::connect(&socket, &QWebSocket::binaryMessageReceived, [this](const QByteArray &bytes) {
            Envelope e;
            if (e.ParseFromArray(bytes.constData(), bytes.size()))
                received.append(e);
        });
        socket.open(QUrl(url));
    }
    bool connected()
    {
        return waitUntil([this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }
    void send(const QByteArray &bytes)
    {
        socket.sendBinaryMessage(bytes);
        socket.flush();
    }
    void request(quint64 seq, const VProtoBufMessage &message)
    {
        send(requestBytes(seq, message.typeName(), message.serialize()));
    }
    // The response of seq, once it has arrived.
    const Envelope *response(quint64 seq, int timeoutMs = 5000)
    {
        const Envelope *found = nullptr;
        waitUntil([&] {
            for (const Envelope &e : received)
                if (e.kind() == Envelope::RESPONSE && e.seq() == seq)
                    found = &e;
            return found != nullptr;
        }, timeoutMs);
        return found;
    }
    QList<Envelope> broadcasts() const
    {
        QList<Envelope> list;
        for (const Envelope &e : received)
            if (e.kind() == Envelope::BROADCAST)
                list.append(e);
        return list;
    }

    QWebSocket socket;
    QList<Envelope> received;
};

VProtoMsgPtr addPrank()
{
    VProtoMsgPtr m(new VProtoBufMessage);
    m->make(QStringLiteral("PrankCmd.proto"), QStringLiteral("PrankCmd.addPrank"));
    m->setString(QStringLiteral("prankContent"), QStringLiteral("整蛊 \"one\""));
    m->setString(QStringLiteral("giftId"), QStringLiteral("g-7"));
    m->setInt32(QStringLiteral("giftNum"), 0);
    return m;
}

} // namespace

class AmbrelServiceTest : public ::testing::Test
{
protected:
    void startService(const QByteArray &script = QByteArray())
    {
        ASSERT_TRUE(service.start(dir.path(), script)) << qPrintable(service.process().readAllStandardError());
    }
    httplib::Result get(const std::string &target)
    {
        httplib::Client client("127.0.0.1", service.httpPort());
        client.set_read_timeout(5, 0);
        return client.Get(target.c_str());
    }
    // As the service's own pages send it.
    httplib::Result postControl(const std::string &body)
    {
        return postControl(body, {{"Origin", "http://127.0.0.1:" + std::to_string(service.httpPort())}});
    }
    httplib::Result postControl(const std::string &body, const httplib::Headers &headers,
                                const char *type = "application/json")
    {
        httplib::Client client("127.0.0.1", service.httpPort());
        client.set_read_timeout(5, 0);
        return client.Post("/control", headers, body, type);
    }
    // The status logged for an HTTP path, or 0 when it was not logged.
    int loggedStatus(const QString &path)
    {
        return service.waitForLog([&](const QJsonObject &l) {
            return l.value("event") == "http" && l.value("path") == path;
        }).value("status").toInt();
    }
    httplib::Result postSdkinit(const std::string &target, int readTimeoutMs = 5000)
    {
        httplib::Client client("127.0.0.1", service.httpPort());
        client.set_read_timeout(0, readTimeoutMs * 1000);
        return client.Post(target.c_str(), "", "application/octet-stream");
    }
    // seq 1: PrankCmd.addPrank (the scripted one), seq 2: PrankCmd.deletePrank (default reply).
    static void sendScriptedThenDefault(RawClient &client)
    {
        client.request(1, *addPrank());
        VProtoBufMessage other;
        ASSERT_TRUE(other.make("PrankCmd.proto", "PrankCmd.deletePrank"));
        client.request(2, other);
    }
    QJsonObject requestLine(quint64 seq)
    {
        return service.waitForLog([seq](const QJsonObject &l) {
            return l.value("event").toString() == "request" && l.value("seq").toInt() == int(seq);
        });
    }

    // A clone of the tree's run script, its configuration naming these ports, and a client of
    // its own (a shell script) in place of ambrel; its folder.
    QString writeRunClone(int http, int ws, const QByteArray &client)
    {
        const QString clone = dir.filePath("clone");
        writeRunConfig("clone/config/ambrel.json", http, ws);
        dir.write("clone/config/ambrel-service.json", "{}");
        dir.write("clone/res/dataTable/version.json", "{}");
        dir.write("clone/scripts/run-client.sh", shippedFile("scripts/run-client.sh"));
        dir.write("clone/scripts/pass-signals.sh", shippedFile("scripts/pass-signals.sh"));
        dir.write("clone/scripts/run-lock.sh", shippedFile("scripts/run-lock.sh"));
        writeExecutable("clone/bin/ambrel", client);
        return clone;
    }
    // A clone of the tree's run.sh and build script with nothing to install, a configured build/
    // and a cmake of its own (a shell script, first on PATH); its folder.
    QString writeBuildClone(const QByteArray &cmake)
    {
        for (const char *script : {"run.sh", "scripts/build.sh", "scripts/run-lock.sh", "scripts/pass-signals.sh"})
            writeExecutable(QStringLiteral("clone/") + script, shippedFile(script));
        writeExecutable("clone/scripts/install-deps.sh", "#!/bin/sh\n");
        dir.write("clone/build/build.ninja", "");
        writeExecutable("clone/bin/cmake", cmake);
        return dir.filePath("clone");
    }
    void writeRunConfig(const QString &relative, int http, int ws)
    {
        dir.write(relative, QStringLiteral(R"({"sdkinit": "http://127.0.0.1:%1/sdkinit",
            "PelorinServer": "ws://127.0.0.1:%2/pelorin"})").arg(http).arg(ws).toUtf8());
    }
    void writeExecutable(const QString &relative, const QByteArray &content)
    {
        dir.write(relative, content);
        QFile::setPermissions(dir.filePath(relative), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    static void startRun(QProcess &run, const QString &clone, const QString &script = "scripts/run-client.sh")
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", clone + "/bin:" + binDir() + ":" + env.value("PATH"));
        env.insert("DISPLAY", ":0");
        run.setProcessEnvironment(env);
        run.start("bash", {clone + "/" + script});
    }
    // Two free loopback ports.
    static QPair<int, int> freePorts()
    {
        QTcpServer a;
        QTcpServer b;
        if (!a.listen(QHostAddress::LocalHost) || !b.listen(QHostAddress::LocalHost))
            return {0, 0};
        return {a.serverPort(), b.serverPort()};
    }
    // A client that keeps running until a termination signal, which it notes.
    static constexpr const char *kLastingClient =
        "#!/bin/sh\necho $$ >client.pid\ntrap 'echo TERM >client-ended; exit 0' TERM\n"
        "touch client-started\nwhile :; do sleep 0.1; done\n";
    // A run with a lasting client on two free ports, once its client has started; empty (and the
    // test failed) when it did not start.
    QString startLastingRun(QProcess &run)
    {
        const auto ports = freePorts();
        if (ports.first <= 0) {
            ADD_FAILURE() << "no free ports";
            return QString();
        }
        const QString clone = writeRunClone(ports.first, ports.second, kLastingClient);
        startRun(run, clone);
        if (!waitUntil([&] { return QFile::exists(clone + "/run/client-started"); }, 30000)) {
            ADD_FAILURE() << "the client did not start: " << qPrintable(run.readAllStandardError());
            endRun(run, clone);
            return QString();
        }
        return clone;
    }
    // Ends what a run left running (its client, and so the run), whatever the test saw.
    static void endRun(QProcess &run, const QString &clone)
    {
        QFile pid(clone + "/run/client.pid");
        if (run.state() != QProcess::NotRunning && pid.open(QIODevice::ReadOnly))
            ::kill(pid_t(pid.readAll().trimmed().toLongLong()), SIGKILL);
        if (!run.waitForFinished(20000))
            run.kill();
        run.waitForFinished(5000);
        // Whatever else still runs in the clone's run/ (an earlier run's service, say) goes too.
        const QString runDir = QFileInfo(clone + "/run").canonicalFilePath();
        for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
            if (pid.toLongLong() > 0 && !runDir.isEmpty() && QFileInfo("/proc/" + pid + "/cwd").symLinkTarget() == runDir)
                ::kill(pid_t(pid.toLongLong()), SIGKILL);
        }
    }

    TempWorkDir dir;
    ServiceProcess service;
};

// --- sdkinit ---

TEST_F(AmbrelServiceTest, SdkinitAnswersWithASessionAndLogsTheQueryItemsInOrder)
{
    startService();
    const auto res = postSdkinit("/sdkinit?appId=PC005&bigVersion=1.0.0&version=1.0.0.7"
                                 "&deviceId=aa%3Abb&deviceType=4&product=pc_voice");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    const QJsonObject reply = QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object();
    EXPECT_EQ(reply, object(R"({"code":1,"msg":"ok","data":{"sessionId":"ambrel-service-session"}})"));

    const QList<QJsonObject> lines = service.log("sdkinit");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].value("method").toString(), "POST");
    EXPECT_EQ(lines[0].value("path").toString(), "/sdkinit");
    const QJsonArray expected = QJsonDocument::fromJson(
        R"([["appId","PC005"],["bigVersion","1.0.0"],["version","1.0.0.7"],["deviceId","aa:bb"],)"
        R"(["deviceType","4"],["product","pc_voice"]])").array();
    EXPECT_EQ(lines[0].value("query").toArray(), expected);
}

TEST_F(AmbrelServiceTest, SdkinitRefusesFailsAndDelaysAsScripted)
{
    startService(R"({"sdkinit":{"code":7,"msg":"账号异常","data":{"sessionId":"s-9","userId":"u-1"}}})");
    auto res = postSdkinit("/sdkinit?appId=PC005");
    ASSERT_TRUE(res);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object(),
              object(R"({"code":7,"msg":"账号异常","data":{"sessionId":"s-9","userId":"u-1"}})"));

    ASSERT_EQ(service.control(object(R"({"cmd":"setSdkinit","sdkinit":{"status":500}})")).value("ok"), true);
    res = postSdkinit("/sdkinit?appId=PC005");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 500);

    // An answer held back longer than the client waits never reaches it.
    ASSERT_EQ(service.control(object(R"({"cmd":"setSdkinit","sdkinit":{"delayMs":3000}})")).value("ok"), true);
    res = postSdkinit("/sdkinit?appId=PC005", 300);
    EXPECT_FALSE(res);
    EXPECT_EQ(service.log("sdkinit").size(), 3);
}

TEST_F(AmbrelServiceTest, OtherHttpPathsAreNotFound)
{
    startService();
    const auto res = postSdkinit("/other?x=1");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    ASSERT_EQ(service.log("http").size(), 1);
    EXPECT_EQ(service.log("http")[0].value("path").toString(), "/other");
}

// --- pages ---

TEST_F(AmbrelServiceTest, ConfiguredPagesAndTheirAssetsAreServedAndLoggedWithTheirStatus)
{
    // From a working folder without pages: they are kept with the service.
    startService();
    const QJsonObject urls = QJsonDocument::fromJson(shippedFile("config/ambrel.json")).object()
                                 .value("CefUrls").toObject();
    ASSERT_TRUE(urls.contains("virtualpartyopenlive"));
    QStringList served;
    for (const QString &key : urls.keys()) {
        const QString path = QUrl(urls.value(key).toString()).path();
        ASSERT_TRUE(path.startsWith("/pages/")) << qPrintable(path);
        const auto page = get(path.toStdString());
        ASSERT_TRUE(page) << qPrintable(path);
        EXPECT_EQ(page->status, 200) << qPrintable(path);
        EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
        EXPECT_EQ(loggedStatus(path), 200) << qPrintable(path);
        served.append(path);

        // Every style sheet, script and picture the page names is there too.
        const QRegularExpression asset(R"re((?:src|href)="([^"]+)")re");
        auto it = asset.globalMatch(QString::fromStdString(page->body));
        while (it.hasNext()) {
            const QString assetPath = "/pages/" + it.next().captured(1);
            const auto res = get(assetPath.toStdString());
            ASSERT_TRUE(res);
            EXPECT_EQ(res->status, 200) << qPrintable(assetPath);
            EXPECT_FALSE(res->body.empty()) << qPrintable(assetPath);
            served.append(assetPath);
        }
    }
    EXPECT_TRUE(served.contains("/pages/tour.js"));

    const auto missing = get("/pages/no-such-page.html");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    EXPECT_EQ(loggedStatus("/pages/no-such-page.html"), 404);
}

TEST_F(AmbrelServiceTest, PathsLeavingThePagesAreRefused)
{
    startService();
    // Qt would resolve these to the proto files, also compiled in.
    for (const std::string target : {"/pages/../proto/PrankCmd.proto", "/pages/%2e%2e/proto/PrankCmd.proto",
                                     "/pages/sub/../../proto/PrankCmd.proto", "/pages/.%2E/proto/PrankCmd.proto"}) {
        const auto res = get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 403) << target;
        EXPECT_EQ(res->body.find("PrankCmd"), std::string::npos) << target;
    }
    EXPECT_EQ(loggedStatus("/pages/../proto/PrankCmd.proto"), 403);
}

TEST_F(AmbrelServiceTest, ControlPathRunsOneCommandAndPushesABroadcast)
{
    startService();
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(waitUntil([&] { return service.control(object(R"({"cmd":"status"})")).value("connections") == 1; }));

    const auto res = postControl(R"({"cmd":"push","name":"BroadcastResult.OfficialBroadcast",)"
                                 R"("fields":{"content":"页面要的广播","playCount":4}})");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object(), object(R"({"ok":true,"sent":1})"));
    ASSERT_TRUE(waitUntil([&] { return client.broadcasts().size() == 1; }));
    EXPECT_EQ(client.broadcasts()[0].broadcastid(), 1004);
    VProtoBufMessage m;
    ASSERT_TRUE(m.make("BroadcastResult.proto", "BroadcastResult.OfficialBroadcast"));
    ASSERT_TRUE(m.parse(bytesOf(client.broadcasts()[0].body())));
    EXPECT_EQ(QJsonDocument::fromJson(m.ToJsonString(true).toUtf8()).object(),
              object(R"({"content":"页面要的广播","playCount":4})"));

    // A body that is not a command gets the control answer, not a broadcast.
    const auto bad = postControl("push please");
    ASSERT_TRUE(bad);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(bad->body)).object().value("ok"), false);
    EXPECT_EQ(service.log("control").size(), 3);
    EXPECT_EQ(loggedStatus("/control"), 200);
}

TEST_F(AmbrelServiceTest, ControlPathRefusesEveryOriginButTheServicesOwnPages)
{
    startService();
    const std::string port = std::to_string(service.httpPort());
    const std::string push = R"({"cmd":"push","name":"BroadcastResult.OfficialBroadcast"})";
    const struct {
        const char *what;
        httplib::Headers headers;
    } refused[] = {
        {"no Origin", {}},
        {"another site", {{"Origin", "http://evil.example"}}},
        {"an opaque origin", {{"Origin", "null"}}},
        {"another port here", {{"Origin", "http://127.0.0.1:1"}}},
        {"a name rebound to loopback", {{"Origin", "http://evil.example:" + port}, {"Host", "evil.example:" + port}}},
    };
    for (const auto &r : refused) {
        // A text/plain body is what another site can send without asking first.
        const auto res = postControl(push, r.headers, "text/plain");
        ASSERT_TRUE(res) << r.what;
        EXPECT_EQ(res->status, 403) << r.what;
    }
    EXPECT_TRUE(service.log("control").isEmpty());
    EXPECT_TRUE(service.log("broadcast").isEmpty());

    const auto own = postControl(push, {{"Origin", "http://localhost:" + port}, {"Host", "localhost:" + port}});
    ASSERT_TRUE(own);
    EXPECT_EQ(own->status, 200);
}

TEST_F(AmbrelServiceTest, ControlBodiesAreCappedAndLoggedCut)
{
    startService();
    const httplib::Headers own{{"Origin", "http://127.0.0.1:" + std::to_string(service.httpPort())}};
    const std::string over(64 * 1024 + 1, ' ');
    auto res = postControl(over, own);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    // Sent in chunks, a body announces no length.
    httplib::Client client("127.0.0.1", service.httpPort());
    res = client.Post("/control", own, [&](size_t, httplib::DataSink &sink) {
        sink.write(over.data(), over.size());
        sink.done();
        return true;
    }, "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    EXPECT_TRUE(service.log("control").isEmpty());

    // A long text that fits is run, and logged cut.
    const std::string text(60000, 'x');
    res = postControl(R"({"cmd":"status","note":")" + text + "\"}");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    const QString line = service.log("control").value(0).value("line").toString();
    EXPECT_TRUE(line.endsWith("... (60026 characters)")) << qPrintable(line.right(40));
    EXPECT_LT(QFileInfo(service.logPath()).size(), 10000);

    // A multipart form is answered and logged like any other body, whatever its size.
    const struct {
        const char *path;
        size_t size;
        int status;
    } forms[] = {{"/form-small", 100, 404}, {"/form-large", 64 * 1024 + 1, 413}};
    for (const auto &f : forms) {
        httplib::Client form("127.0.0.1", service.httpPort());
        form.set_read_timeout(5, 0);
        const httplib::MultipartFormDataItems items{{"file", std::string(f.size, 'f'), "f.txt", "text/plain"}};
        res = form.Post(f.path, own, items);
        ASSERT_TRUE(res) << f.path;
        EXPECT_EQ(res->status, f.status) << f.path;
        EXPECT_EQ(loggedStatus(QString::fromLatin1(f.path)), f.status) << f.path;
    }
}

TEST_F(AmbrelServiceTest, ShippedScriptAnswersTheStartPagesRequestAndPushesOneBroadcast)
{
    startService(shippedFile("config/ambrel-service.json"));
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());
    VProtoBufMessage notice;
    ASSERT_TRUE(notice.make("RoomCmd.proto", "RoomCmd.getFunRoomNotice"));
    notice.setString("roomId", "20001");
    client.request(1, notice);

    const Envelope *r = client.response(1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->code(), 1);
    const QJsonObject reply = service.waitForLog([](const QJsonObject &l) {
        return l.value("event") == "reply" && l.value("seq").toInt() == 1;
    });
    EXPECT_FALSE(reply.contains("error"));
    EXPECT_FALSE(reply.value("fields").toObject().value("content").toString().isEmpty());

    ASSERT_TRUE(waitUntil([&] { return client.broadcasts().size() == 1; }, 15000));
    EXPECT_EQ(client.broadcasts()[0].type(), "BroadcastResult.OfficialBroadcast");
    // The service logs a broadcast after sending it.
    const QJsonObject sent = service.waitForLog([](const QJsonObject &l) { return l.value("event") == "broadcast"; }, 15000);
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_TRUE(sent.value("error").isUndefined());
}

// --- requests ---

TEST_F(AmbrelServiceTest, UnscriptedMethodGetsCodeOneOkAndAnEmptyReplyAndIsLoggedDecoded)
{
    startService();
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());
    client.request(5, *addPrank());

    const Envelope *r = client.response(5);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->code(), 1);
    EXPECT_EQ(r->text(), "ok");
    EXPECT_EQ(r->type(), "PrankCmd.addPrankResp");
    EXPECT_TRUE(r->body().empty());

    const QJsonObject line = requestLine(5);
    EXPECT_EQ(line.value("method").toString(), "PrankCmd.addPrank");
    EXPECT_EQ(line.value("fields").toObject(),
              object(R"({"prankContent":"整蛊 \"one\"","giftId":"g-7","giftNum":0})"));
}

TEST_F(AmbrelServiceTest, ScriptedReplyHasItsCodeTextAndFields)
{
    startService(R"({"replies":{"PrankCmd.addPrank":{"code":-9,"text":"余额不足",
        "type":"BroadcastResult.OfficialBroadcast","fields":{"content":"回复","playCount":3}}}})");
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());
    client.request(1, *addPrank());

    const Envelope *r = client.response(1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->code(), -9);
    EXPECT_EQ(QString::fromStdString(r->text()), "余额不足");
    ASSERT_EQ(r->type(), "BroadcastResult.OfficialBroadcast");
    VProtoBufMessage reply;
    ASSERT_TRUE(reply.make("BroadcastResult.proto", "BroadcastResult.OfficialBroadcast"));
    ASSERT_TRUE(reply.parse(bytesOf(r->body())));
    QString content;
    int playCount = 0;
    EXPECT_TRUE(reply.getString("content", content));
    EXPECT_EQ(content, "回复");
    EXPECT_TRUE(reply.getInt32("playCount", playCount));
    EXPECT_EQ(playCount, 3);
}

TEST_F(AmbrelServiceTest, DelayedReplyComesAfterALaterUndelayedOne)
{
    startService(R"({"replies":{"PrankCmd.addPrank":{"delayMs":400}}})");
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());
    sendScriptedThenDefault(client);

    ASSERT_NE(client.response(1), nullptr);
    ASSERT_EQ(client.received.size(), 2);
    EXPECT_EQ(client.received[0].seq(), 2u);
    EXPECT_EQ(client.received[1].seq(), 1u);
}

TEST_F(AmbrelServiceTest, SilentMethodIsNeverAnsweredWhileOthersAre)
{
    startService(R"({"replies":{"PrankCmd.addPrank":{"silent":true}}})");
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());
    sendScriptedThenDefault(client);

    ASSERT_NE(client.response(2), nullptr);
    // The silence was decided when seq 1 arrived, before seq 2 was read.
    ASSERT_EQ(service.log("silent").size(), 1);
    EXPECT_EQ(service.log("silent")[0].value("seq").toInt(), 1);
    EXPECT_EQ(client.received.size(), 1);
}

// --- broadcasts ---

TEST_F(AmbrelServiceTest, ScriptedBroadcastArrivesAfterConnectingWithItsTableId)
{
    startService(R"({"broadcasts":[{"name":"BroadcastResult.OfficialBroadcast",
        "fields":{"content":"公告","playCount":2}}]})");
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(waitUntil([&] { return client.broadcasts().size() == 1; }));

    const Envelope b = client.broadcasts()[0];
    EXPECT_EQ(b.broadcastid(), 1004);
    EXPECT_EQ(b.type(), "BroadcastResult.OfficialBroadcast");
    VProtoBufMessage m;
    ASSERT_TRUE(m.make("BroadcastResult.proto", "BroadcastResult.OfficialBroadcast"));
    ASSERT_TRUE(m.parse(bytesOf(b.body())));
    EXPECT_EQ(QJsonDocument::fromJson(m.ToJsonString(true).toUtf8()).object(),
              object(R"({"content":"公告","playCount":2})"));
}

// --- control connection ---

TEST_F(AmbrelServiceTest, ControlPushesBroadcastsNowToOneOrEveryConnection)
{
    startService();
    RawClient first(service.pelorinUrl());
    RawClient second(service.pelorinUrl());
    ASSERT_TRUE(first.connected());
    ASSERT_TRUE(second.connected());
    ASSERT_TRUE(waitUntil([&] { return service.control(object(R"({"cmd":"status"})")).value("connections") == 2; }));

    QJsonObject answer = service.control(object(
        R"({"cmd":"push","name":"VirtualRoleResult.updateVirtualRoleBroadcast"})"));
    EXPECT_EQ(answer.value("sent").toInt(), 2);
    ASSERT_TRUE(waitUntil([&] { return first.broadcasts().size() == 1 && second.broadcasts().size() == 1; }));

    // An explicit id wins over the table, and conn picks one connection.
    ASSERT_TRUE(waitUntil([&] { return service.log("connect").size() == 2; }));
    const int conn = lastOf(service.log("connect")).value("conn").toInt();
    answer = service.control(QJsonObject{{"cmd", "push"}, {"name", "BroadcastResult.CPMData"}, {"id", 77}, {"conn", conn}});
    EXPECT_EQ(answer.value("sent").toInt(), 1);
    ASSERT_TRUE(waitUntil([&] { return first.broadcasts().size() + second.broadcasts().size() == 3; }));
    const QList<Envelope> got = first.broadcasts().size() == 2 ? first.broadcasts() : second.broadcasts();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[1].broadcastid(), 77);

    // Raw bytes go out as they are, one binary message.
    QByteArray raw;
    QObject::connect(&first.socket, &QWebSocket::binaryMessageReceived, [&](const QByteArray &b) { raw = b; });
    EXPECT_EQ(service.control(object(R"({"cmd":"raw","hex":"00ff10"})")).value("sent").toInt(), 2);
    ASSERT_TRUE(waitUntil([&] { return !raw.isEmpty(); }));
    EXPECT_EQ(raw, QByteArray::fromHex("00ff10"));
}

TEST_F(AmbrelServiceTest, ControlSetsRepliesAndRestoresTheDefault)
{
    startService();
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());
    ASSERT_EQ(service.control(object(
        R"({"cmd":"setReply","method":"PrankCmd.addPrank","reply":{"code":0,"text":"稍后再试"}})")).value("ok"), true);
    client.request(1, *addPrank());
    ASSERT_NE(client.response(1), nullptr);
    EXPECT_EQ(client.response(1)->code(), 0);

    ASSERT_EQ(service.control(object(R"({"cmd":"setReply","method":"PrankCmd.addPrank"})")).value("ok"), true);
    client.request(2, *addPrank());
    ASSERT_NE(client.response(2), nullptr);
    EXPECT_EQ(client.response(2)->code(), 1);
}

TEST_F(AmbrelServiceTest, ControlDropsConnectionsAndTheClientMayComeBack)
{
    startService();
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(service.control(object(R"({"cmd":"drop"})")).value("dropped").toInt(), 1);
    ASSERT_TRUE(waitUntil([&] { return client.socket.state() == QAbstractSocket::UnconnectedState; }));

    RawClient again(service.pelorinUrl());
    ASSERT_TRUE(again.connected());
    again.request(1, *addPrank());
    EXPECT_NE(again.response(1), nullptr);
}

TEST_F(AmbrelServiceTest, ControlRejectsUnknownCommandsAndQuitEndsTheServiceCleanly)
{
    startService();
    const QJsonObject bad = service.control(object(R"({"cmd":"fly"})"));
    EXPECT_EQ(bad.value("ok"), false);
    EXPECT_FALSE(bad.value("error").toString().isEmpty());
    EXPECT_EQ(service.control(object(R"({"cmd":"push"})")).value("ok"), false);

    EXPECT_EQ(service.control(object(R"({"cmd":"quit"})")).value("ok"), true);
    ASSERT_TRUE(service.process().waitForFinished(10000));
    EXPECT_EQ(service.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(service.process().exitCode(), 0);
}

TEST_F(AmbrelServiceTest, SigtermEndsTheServiceWithCodeZero)
{
    startService();
    EXPECT_EQ(service.terminate(), 0);
    ASSERT_FALSE(service.log("stop").isEmpty());
}

TEST_F(AmbrelServiceTest, DefaultPortsAreTheConfiguredOnesAndGoToThePortsFile)
{
    // Two ports that were free a moment ago.
    QTcpServer probeHttp;
    QTcpServer probeWs;
    ASSERT_TRUE(probeHttp.listen(QHostAddress::LocalHost) && probeWs.listen(QHostAddress::LocalHost));
    const int http = probeHttp.serverPort();
    const int ws = probeWs.serverPort();
    probeHttp.close();
    probeWs.close();
    dir.write("config/ambrel.json", QStringLiteral(R"({"sdkinit": "http://127.0.0.1:%1/sdkinit,http://127.0.0.1:1/x",
        "PelorinServer": "ws://127.0.0.1:%2/pelorin"})").arg(http).arg(ws).toUtf8());
    service.process().setProcessEnvironment([&] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("AMBREL_SERVICE_PORTS", dir.filePath("ports.json"));
        return env;
    }());

    ASSERT_TRUE(service.start(dir.path(), QByteArray(), -1, -1));
    EXPECT_EQ(service.httpPort(), http);
    EXPECT_EQ(service.wsPort(), ws);
    QFile ports(dir.filePath("ports.json"));
    ASSERT_TRUE(ports.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(ports.readAll()).object(), (QJsonObject{{"http", http}, {"ws", ws}}));
}

TEST_F(AmbrelServiceTest, RunScriptStopsWhenItsServiceCannotTakeTheConfiguredPort)
{
    // Another run's service holds the HTTP port; the WebSocket port is free.
    startService();
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int ws = probe.serverPort();
    probe.close();
    // A client that only shows it was started.
    const QString clone = writeRunClone(service.httpPort(), ws, "#!/bin/sh\ntouch client-started\n");
    QProcess run;
    startRun(run, clone);
    ASSERT_TRUE(run.waitForFinished(40000));
    const QString err = QString::fromLocal8Bit(run.readAllStandardError());
    EXPECT_NE(run.exitCode(), 0);
    EXPECT_TRUE(err.contains(QStringLiteral("port %1").arg(service.httpPort()))) << qPrintable(err);
    EXPECT_TRUE(err.contains("run/config/ambrel.json")) << qPrintable(err);
    EXPECT_FALSE(QFile::exists(clone + "/run/client-started"));
}

TEST_F(AmbrelServiceTest, RunScriptRefusedBesideARunningOneLeavesItsFilesAlone)
{
    QProcess first;
    const QString clone = startLastingRun(first);
    ASSERT_FALSE(clone.isEmpty());
    // The first run's script holds the lock on another descriptor while its client runs.
    const QRegularExpression holder(QStringLiteral("\n  %1 \\S*bash %2/scripts/run-client.sh \\(kill %1 ends it\\)\n")
                                        .arg(first.processId()).arg(QRegularExpression::escape(clone)));
    const auto content = [&](const char *name) {
        QFile f(clone + "/run/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    };
    const QByteArray portsBefore = content("service.ports");
    const QByteArray outBefore = content("service.out");

    QProcess second;
    startRun(second, clone);
    const bool ended = second.waitForFinished(30000);
    const QString err = QString::fromLocal8Bit(second.readAllStandardError());
    const QByteArray portsAfter = content("service.ports");
    const QByteArray outAfter = content("service.out");
    endRun(first, clone);

    ASSERT_TRUE(ended);
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_TRUE(err.contains("another ./run.sh is running")) << qPrintable(err);
    EXPECT_TRUE(err.contains(holder)) << qPrintable(err);
    EXPECT_NE(portsBefore, QByteArray("(missing)"));
    EXPECT_EQ(portsAfter, portsBefore);
    EXPECT_EQ(outAfter, outBefore);
}

TEST_F(AmbrelServiceTest, RunScriptAloneSignalledEndsTheRunAsASignalToTheGroupDoes)
{
    QProcess run;
    const QString clone = startLastingRun(run);
    ASSERT_FALSE(clone.isEmpty());
    ::kill(pid_t(run.processId()), SIGTERM);
    const bool ended = run.waitForFinished(20000);
    endRun(run, clone);

    ASSERT_TRUE(ended) << "the run went on";
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0);
    QFile note(clone + "/run/client-ended");
    EXPECT_TRUE(note.open(QIODevice::ReadOnly) && note.readAll().trimmed() == "TERM");
    const QList<QJsonObject> serviceLog = jsonLines(clone + "/run/service.jsonl");
    ASSERT_FALSE(serviceLog.isEmpty());
    EXPECT_EQ(serviceLog.last().value("event").toString(), "stop");
}

TEST_F(AmbrelServiceTest, RunScriptKilledWithSigkillLeavesWhatTheNextRunEndsAndNames)
{
    QProcess first;
    const QString clone = startLastingRun(first);
    ASSERT_FALSE(clone.isEmpty());
    QFile pidFile(clone + "/run/client.pid");
    const qint64 firstClient = pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toLongLong() : 0;
    ::kill(pid_t(first.processId()), SIGKILL);
    first.waitForFinished(20000);
    QFile::remove(clone + "/run/client-started");

    // Its client and service still run (the service holds the ports); the next run ends them.
    QProcess second;
    startRun(second, clone);
    const bool started = waitUntil([&] { return QFile::exists(clone + "/run/client-started"); }, 30000);
    const QString err = QString::fromLocal8Bit(second.readAllStandardError());
    const bool firstClientGone = firstClient > 0 && processGone(firstClient);
    QFile note(clone + "/run/client-ended");
    const QByteArray noted = note.open(QIODevice::ReadOnly) ? note.readAll().trimmed() : QByteArray();
    endRun(second, clone);

    ASSERT_TRUE(started) << qPrintable(err);
    EXPECT_TRUE(err.contains("killed before it could shut down")) << qPrintable(err);
    EXPECT_TRUE(err.contains("ambrel-service --script")) << qPrintable(err);
    EXPECT_TRUE(firstClientGone);
    EXPECT_EQ(noted, "TERM");
}

TEST_F(AmbrelServiceTest, RunScriptInACopyOfAFolderLeavesTheOriginalsRunAlone)
{
    QProcess first;
    const QString clone = startLastingRun(first);
    ASSERT_FALSE(clone.isEmpty());
    // The copy takes the live run's mark along; its run gets ports of its own.
    const QString copy = dir.filePath("copy");
    ASSERT_EQ(QProcess::execute("sh", {"-c", "cp -a \"$0\" \"$1\" && rm \"$1\"/run/client*", clone, copy}), 0);
    const auto ports = freePorts();
    writeRunConfig("copy/run/config/ambrel.json", ports.first, ports.second);
    QProcess second;
    startRun(second, copy);
    const bool started = waitUntil([&] { return QFile::exists(copy + "/run/client-started"); }, 30000);
    const bool firstRuns = first.state() == QProcess::Running && !QFile::exists(clone + "/run/client-ended");
    endRun(second, copy);
    endRun(first, clone);
    const QString err = QString::fromLocal8Bit(second.readAllStandardError());
    EXPECT_TRUE(started && firstRuns && !err.contains("killed before")) << qPrintable(err);
}

TEST_F(AmbrelServiceTest, RunScriptSignalledDuringTheBuildEndsTheBuildAndHoldsTheLockUntilItHasEnded)
{
    // cmake passes no signal on; its ninja builds until the test lets it end and, told to end,
    // ends once the test lets it (it says nothing, so that only the build's processes show when
    // it has ended).
    const QString clone = writeBuildClone(
        "#!/bin/sh\nsh -c 'echo $$ >ninja.pid\nawait() { for i in $(seq 1200); do [ -e may-end ] && break; sleep 0.05; done; }\n"
        "trap \"touch ninja-ending; await; touch ninja-ended; exit 1\" TERM\ntouch ninja-started; await' >/dev/null\n");
    // SIGKILL leaves the build running: it holds the lock until it ends.
    for (const int signal : {SIGTERM, SIGKILL}) {
        for (const char *file : {"ninja-started", "ninja-ending", "ninja-ended", "may-end"})
            QFile::remove(clone + "/" + file);
        QProcess run;
        startRun(run, clone, "run.sh");
        const bool started = waitUntil([&] { return QFile::exists(clone + "/ninja-started"); }, 30000);
        const auto ninjaPid = [&] {
            QFile pidFile(clone + "/ninja.pid");
            return pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toLongLong() : 0;
        };
        const qint64 ninja = ninjaPid();
        if (started)
            ::kill(pid_t(run.processId()), signal);
        const bool told = started && (signal == SIGKILL ? run.waitForFinished(30000)
                                                        : waitUntil([&] { return QFile::exists(clone + "/ninja-ending"); }, 30000));
        // Meanwhile a second run is refused.
        QProcess second;
        if (told) {
            startRun(second, clone, "run.sh");
            second.waitForFinished(30000);
        }
        dir.write("clone/may-end", "");
        const bool ended = run.waitForFinished(30000);
        const bool buildEndedFirst = QFile::exists(clone + "/ninja-ended");
        // Nothing of either build is left, whatever the test saw.
        for (QProcess *p : {&run, &second}) {
            if (p->state() != QProcess::NotRunning)
                p->kill();
            p->waitForFinished(5000);
        }
        // (only while it is still the build's, its id not taken by another process)
        for (const qint64 pid : {ninja, ninjaPid()}) {
            if (pid > 0 && QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).symLinkTarget() == QFileInfo(clone).canonicalFilePath())
                ::kill(pid_t(pid), SIGKILL);
        }
        waitUntil([&] {
            const int fd = ::open(QFile::encodeName(clone + "/run/run.lock").constData(), O_RDONLY);
            const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            if (fd >= 0)
                ::close(fd);
            return free;
        });

        ASSERT_TRUE(started) << signal;
        ASSERT_TRUE(told) << signal << (signal == SIGKILL ? "" : ": the build went on");
        const QString err = QString::fromLocal8Bit(second.readAllStandardError());
        EXPECT_EQ(second.exitCode(), 1) << signal;
        EXPECT_TRUE(err.contains("another ./run.sh is running")) << qPrintable(err);
        if (signal == SIGKILL) {
            EXPECT_TRUE(err.contains("scripts/build.sh --target run-programs")) << qPrintable(err);
            continue;
        }
        ASSERT_TRUE(ended);
        EXPECT_NE(run.exitCode(), 0);
        EXPECT_TRUE(buildEndedFirst) << "run.sh ended before its build";
    }
}

TEST_F(AmbrelServiceTest, BuildTakesCMakesJobCountAndShowsItsProgressOnOneLineOnlyOnATerminal)
{
    // After each step the build waits until the test has seen it.
    const QString clone = writeBuildClone(
        "#!/bin/sh\necho \"$* level=${CMAKE_BUILD_PARALLEL_LEVEL:-}\" >cmake-args\n"
        "step() { echo \"$1\"; for i in $(seq 1200); do [ -e seen-$2 ] && break; sleep 0.05; done; }\n"
        "step '[1/2] Building CXX object one.o' 1\nstep '[2/2] Linking CXX executable bin/one' 2\n");
    struct Row
    {
        const char *level;
        bool terminal;
        const char *args;
    };
    for (const Row &row : {Row{"", false, "--build build --parallel "}, Row{"3", true, "--build build level=3"}}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", clone + "/bin:" + env.value("PATH"));
        env.insert("TERM", "xterm");
        env.remove("CMAKE_BUILD_PARALLEL_LEVEL");
        if (*row.level)
            env.insert("CMAKE_BUILD_PARALLEL_LEVEL", row.level);
        QProcess build;
        build.setProcessEnvironment(env);
        build.setProcessChannelMode(QProcess::MergedChannels);
        const QString command = "bash " + clone + "/scripts/build.sh";
        QProcess::execute("rm", {"-f", clone + "/seen-1", clone + "/seen-2"});
        if (row.terminal)
            build.start("script", {"-qec", command + " --announce 'building what changed'", "/dev/null"});
        else
            build.start("bash", {"-c", command});
        // On a terminal the note and each step show while the build goes on.
        QByteArray out;
        const QByteArray steps[] = {"what changed\r\n\r[1/2] Building CXX object one.o\x1b[K",
                                    "\r[2/2] Linking CXX executable bin/one\x1b[K"};
        for (int step = 1; step <= 2; ++step) {
            EXPECT_TRUE(!row.terminal || waitUntil([&] { return out.append(build.readAll()).contains(steps[step - 1]); }, 30000))
                << step;
            dir.write(QStringLiteral("clone/seen-%1").arg(step), "");
        }
        ASSERT_TRUE(build.waitForFinished(30000)) << row.level;
        out.append(build.readAll());
        QFile args(clone + "/cmake-args");
        EXPECT_TRUE(args.open(QIODevice::ReadOnly) && args.readAll().startsWith(row.args)) << row.level;
        EXPECT_EQ(build.exitCode(), 0) << row.level;
        if (row.terminal) {
            EXPECT_TRUE(out.contains("\r[1/2] Building CXX object one.o\x1b[K\r[2/2] Linking CXX executable bin/one\x1b[K"))
                << out.toStdString();
            EXPECT_TRUE(out.endsWith("\r\x1b[K")) << out.toStdString();
        } else {
            EXPECT_EQ(out, QByteArray()) << out.toStdString();
        }
    }
}

TEST_F(AmbrelServiceTest, BuildOfACopiedFolderStartsAfreshRatherThanBuildingTheOriginal)
{
    const QString clone = writeBuildClone("#!/bin/sh\necho \"$*\" >>cmake-calls\n");
    dir.write("clone/build/CMakeCache.txt", "CMAKE_HOME_DIRECTORY:INTERNAL=" + dir.filePath("original").toUtf8() + "\n");
    QProcess build;
    build.start("bash", {"-c", "PATH=\"$0/bin:$PATH\" bash \"$0\"/scripts/build.sh", clone});
    ASSERT_TRUE(build.waitForFinished(30000));
    QFile calls(clone + "/cmake-calls");
    ASSERT_TRUE(calls.open(QIODevice::ReadOnly));
    EXPECT_TRUE(calls.readAll().startsWith("-S . -B build"));
    EXPECT_FALSE(QFile::exists(clone + "/build/CMakeCache.txt"));
    EXPECT_TRUE(build.readAllStandardError().contains("build/ was made for " + dir.filePath("original").toUtf8()));
}

TEST_F(AmbrelServiceTest, RunDisplayOutlivesASignalToTheWholeProcessGroup)
{
    // Ctrl-C and `timeout` signal the whole group: the command's own shut-down still has its
    // display, which goes once the command has ended. Signalled, timeout signals its whole group;
    // that happens once the command has set its trap and said so.
    for (const QString signal : {"INT", "TERM"}) {
        QProcess run;
        run.start("timeout", {"-s", signal, "120", "bash", QStringLiteral(AMBREL_SOURCE_DIR "/scripts/with-xvfb.sh"), "bash",
                              "-c",
                              "trap 'sleep 0.5; [ -S /tmp/.X11-unix/X${DISPLAY#:} ] && echo alive; echo ${DISPLAY#:}; "
                              "kill $!; exit 0' " + signal + "; sleep 60 & echo ready >&2; wait"});
        ASSERT_TRUE(run.waitForStarted()) << qPrintable(signal);
        QByteArray err;
        EXPECT_TRUE(waitUntil([&] { return err.append(run.readAllStandardError()).contains("ready\n"); }, 60000)) << qPrintable(signal);
        ::kill(pid_t(run.processId()), signal == "INT" ? SIGINT : SIGTERM);
        ASSERT_TRUE(run.waitForFinished(20000)) << qPrintable(signal);
        const QStringList out = QString::fromLocal8Bit(run.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(out.size(), 2) << qPrintable(signal + ": " + out.join('|'));
        EXPECT_EQ(out[0], "alive") << qPrintable(signal);
        EXPECT_TRUE(waitUntil([&] { return !QFile::exists("/tmp/.X11-unix/X" + out[1]); })) << qPrintable(signal);
    }
}

TEST_F(AmbrelServiceTest, UnreadableScriptStopsTheStart)
{
    EXPECT_FALSE(service.start(dir.path(), "{not json"));
    service.process().waitForFinished(10000);
    ASSERT_EQ(service.process().state(), QProcess::NotRunning);
    EXPECT_EQ(service.process().exitCode(), 2);
}

// --- bad input ---

TEST_F(AmbrelServiceTest, BadInputIsLoggedAndTheConnectionStaysUsable)
{
    startService();
    RawClient client(service.pelorinUrl());
    ASSERT_TRUE(client.connected());

    client.send(QByteArray::fromHex("ffffffff0102"));
    client.socket.sendTextMessage(QStringLiteral("hello"));
    client.send(requestBytes(1, "NoSuchCmd.nothing", QByteArray()));
    client.send(requestBytes(2, "PrankCmd.addPrank", QByteArray::fromHex("0a05ff")));
    client.request(3, *addPrank());

    ASSERT_NE(client.response(3), nullptr);
    EXPECT_EQ(client.response(3)->code(), 1);
    ASSERT_NE(client.response(1), nullptr);
    EXPECT_EQ(client.response(1)->code(), -1);
    EXPECT_TRUE(client.response(1)->type().empty());
    ASSERT_NE(client.response(2), nullptr);
    EXPECT_EQ(client.response(2)->code(), -1);

    const QList<QJsonObject> bad = service.log("bad");
    ASSERT_EQ(bad.size(), 2);
    EXPECT_EQ(bad[0].value("error").toString(), "not an envelope");
    EXPECT_EQ(bad[1].value("error").toString(), "text message ignored");
    EXPECT_EQ(requestLine(1).value("error").toString(), "unknown method");
    EXPECT_EQ(requestLine(2).value("error").toString(), "body does not parse");
    EXPECT_EQ(service.log("connect").size(), 1);
}

TEST_F(AmbrelServiceTest, OtherWebSocketPathsAreRefused)
{
    startService();
    QWebSocket socket;
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/elsewhere").arg(service.wsPort())));
    EXPECT_TRUE(service.waitForLog([](const QJsonObject &l) { return l.value("event") == "refused"; })
                    .value("path") == "/elsewhere");
    EXPECT_TRUE(waitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }));
}
