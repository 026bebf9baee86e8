#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QMap>
#include <QProcess>

#include "ServiceProcess.h"
#include "TestSupport.h"

// ambrel shell between the real pagewell.exe and the real ambrel-service: the start page asks
// the server through "protoRequest" and subscribes to a broadcast the service then pushes.
class ServerPagesEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start(work.path(), R"({"replies": {
            "PrankCmd.addPrank": {"code": 1, "text": "成功", "type": "BroadcastResult.OfficialBroadcast",
                                  "fields": {"content": "回复", "playCount": 3}},
            "PrankCmd.deletePrank": {"code": 1015, "text": "余额\"不足\""}}})"));
        work.write(QStringLiteral("config/ambrel.json"),
                   QStringLiteral(R"({"ServerType": "1002", "sdkinit": "%1", "HttpTimeoutMs": "3000",
                                      "PelorinServer": "%2",
                                      "CefUrls": {"virtualpartyopenlive": "http://pages.test/live.html"}})")
                       .arg(service.sdkinitUrl(), service.pelorinUrl())
                       .toUtf8());
        // The start page subscribes first, then asks: its answers come after the subscription.
        work.write(QStringLiteral("pagewell.json"), R"({"on": [{"type": 3, "contains": "live.html", "send": [
            {"command": {"funcName": "registerRecvProtoBroadcast",
                         "param": {"protoKey": ["BroadcastResult.OfficialBroadcast"]}}},
            {"query": {"funcName": "protoRequest", "queryId": 51,
                       "param": {"protoName": "PrankCmd.addPrank",
                                 "protoParam": {"giftId": "g-9", "giftNum": 3, "prankContent": "整蛊 \"你\"",
                                                "insertToId": null, "notAField": 1}}}},
            {"query": {"funcName": "protoRequest", "queryId": 52,
                       "param": {"protoName": "PrankCmd.deletePrank", "protoParam": {"id": "p-1"}}}}]}]})");
        pagewellLog = work.filePath(QStringLiteral("pagewell.log"));
        pagewellControl = QStringLiteral("pagewell-e2e-serverpages-%1").arg(QCoreApplication::applicationPid());
        reports = work.filePath(QStringLiteral("sanitizer"));
    }
    void TearDown() override
    {
        if (ambrel.state() != QProcess::NotRunning) {
            ambrel.kill();
            ambrel.waitForFinished(10000);
        }
        // pagewell ends with 0 whether the client ended it or died (its death signal).
        const QString problems = pagewellEndProblems(pagewellLog, reports);
        EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    }
    void startAmbrel()
    {
        QMap<QString, QString> env = sanitizerReportsTo(reports);
        env.insert(QStringLiteral("PAGEWELL_LOG"), pagewellLog);
        env.insert(QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json")));
        env.insert(QStringLiteral("PAGEWELL_CONTROL"), pagewellControl);
        startAmbrelShell(ambrel, work, env);
    }
    // What pagewell received of a type.
    QList<QJsonObject> pagewellReceived(int type) const
    {
        QList<QJsonObject> out;
        for (const QJsonObject &l : jsonLines(pagewellLog))
            if (l.value("event").toString() == "recv" && l.value("type").toInt() == type)
                out.append(l);
        return out;
    }
    QMap<qint64, QJsonObject> replies() const
    {
        QMap<qint64, QJsonObject> out;
        for (const QJsonObject &l : pagewellReceived(7))
            out.insert(qint64(l.value("queryId").toDouble()), l);
        return out;
    }
    QStringList protoBroadcasts() const
    {
        QStringList out;
        for (const QJsonObject &l : pagewellReceived(4))
            if (l.value("json").toString().contains("protoBroadcast"))
                out.append(l.value("json").toString());
        return out;
    }
    // The page asks to close the main window, which ends ambrel. Ending ambrel ends pagewell, at
    // times before it answers the control line, so a closed control socket counts as played too.
    bool closeMainWindow()
    {
        QLocalSocket socket;
        socket.connectToServer(pagewellControl);
        if (!socket.waitForConnected(5000))
            return false;
        socket.write(R"({"send":[{"command":{"funcName":"closeWidget"}}]})" "\n");
        if (!socket.waitForBytesWritten(5000))
            return false;
        return waitUntil([&] { return socket.canReadLine() || socket.state() == QLocalSocket::UnconnectedState; });
    }

    TempWorkDir work;
    ServiceProcess service;
    QProcess ambrel;
    QString pagewellLog;
    QString pagewellControl;
    QString reports;
};

TEST_F(ServerPagesEndToEndTest, PageRequestsReachTheServiceAndBroadcastsReachThePage)
{
    startAmbrel();
    ASSERT_TRUE(ambrel.waitForStarted(10000));

    // The requests, as the service decoded them.
    ASSERT_TRUE(waitUntil([&] { return replies().size() == 2; }, 30000)) << ambrel.readAllStandardError().toStdString();
    QMap<QString, QJsonObject> requests;
    for (const QJsonObject &l : service.log(QStringLiteral("request")))
        requests.insert(l.value("method").toString(), l);
    ASSERT_EQ(requests.keys(), (QStringList{"PrankCmd.addPrank", "PrankCmd.deletePrank"}));
    EXPECT_EQ(requests.value("PrankCmd.addPrank").value("fields").toObject(),
              QJsonDocument::fromJson(R"({"giftId":"g-9","giftNum":3,"prankContent":"整蛊 \"你\""})").object());
    EXPECT_EQ(requests.value("PrankCmd.deletePrank").value("fields").toObject(),
              QJsonDocument::fromJson(R"({"id":"p-1"})").object());

    // Their replies, as the page got them.
    const auto got = replies();
    EXPECT_EQ(got.value(51).value("text").toString(),
              QStringLiteral(R"({"state":1,"errorMsg":"成功","data":{"content":"回复","playCount":3}})"));
    EXPECT_TRUE(got.value(51).value("ok").toBool());
    // a failing code is still a settled response; its empty reply message is the data
    EXPECT_EQ(got.value(52).value("text").toString().toStdString(),
              std::string(R"({"state":1015,"errorMsg":"余额\"不足\"","data":{}})"));
    EXPECT_TRUE(got.value(52).value("ok").toBool());

    // The page subscribed before its requests were answered; the service pushes now.
    const QJsonObject pushed = service.control(QJsonDocument::fromJson(
        R"({"cmd":"push","name":"BroadcastResult.OfficialBroadcast","fields":{"content":"全服公告","playCount":2}})").object());
    EXPECT_EQ(pushed.value("sent").toInt(), 1) << QJsonDocument(pushed).toJson().toStdString();
    ASSERT_TRUE(waitUntil([&] { return protoBroadcasts().size() == 1; }, 15000));
    EXPECT_EQ(protoBroadcasts().at(0),
              QStringLiteral(R"({"funcName":"protoBroadcast","param":{"protoKey":"BroadcastResult.OfficialBroadcast",)"
                             R"("protoMsg":"{\"content\":\"全服公告\",\"playCount\":2}"}})"));

    ASSERT_TRUE(closeMainWindow());
    ASSERT_TRUE(waitUntil([&] { return ambrel.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(ambrel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ambrel.exitCode(), 0);
}
