#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QUrl>
#include <QUrlQuery>

#include "ServiceProcess.h"
#include "TestSupport.h"

namespace {

// Processes whose command line holds text.
int processesWith(const QString &text)
{
    int count = 0;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text.toUtf8()))
            ++count;
    }
    return count;
}

} // namespace

// ambrel shell with the real ambrel-service and pagewell.exe: handshake, start page, and a page
// closing the main window.
class MainWindowEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The real stand-in service accepts the client and hands it a user.
        ASSERT_TRUE(service.start(work.path(), R"({"sdkinit": {"code": 1, "msg": "ok",
                                  "data": {"userId": "u-42", "sessionId": "sess-7", "roomId": "r-3"}}})"));
        work.write(QStringLiteral("config/ambrel.json"),
                   QStringLiteral(R"({"ServerType": "1002", "sdkinit": "%1",
                                      "HttpTimeoutMs": "3000", "PelorinServer": "%2",
                                      "CefUrls": {"virtualpartyopenlive": "http://pages.test/live.html?from=cfg"}})")
                       .arg(service.sdkinitUrl(), service.pelorinUrl())
                       .toUtf8());
        // When the start page arrives, its page asks to close the main window.
        work.write(QStringLiteral("pagewell.json"), R"({"on": [{"type": 3, "contains": "live.html", "delayMs": 100,
                                                       "send": [{"command": {"funcName": "closeWidget"}}]}]})");
    }

    TempWorkDir work;
    ServiceProcess service;
};

TEST_F(MainWindowEndToEndTest, StartPageReachesPagewellAndClosingTheMainWindowEndsAmbrel)
{
    QProcess ambrel;
    startAmbrelShell(ambrel, work,
                     {{QStringLiteral("PAGEWELL_LOG"), work.filePath(QStringLiteral("pagewell.log"))},
                      {QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json"))}});
    ASSERT_TRUE(ambrel.waitForStarted(10000));
    const bool finished = waitForAmbrelExit(ambrel);
    ASSERT_TRUE(finished) << ambrel.readAllStandardError().toStdString();
    EXPECT_EQ(ambrel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ambrel.exitCode(), 0);

    // The handshake's items, in order, as the service received them.
    const QList<QJsonObject> handshakes = service.log(QStringLiteral("sdkinit"));
    ASSERT_EQ(handshakes.size(), 1);
    EXPECT_EQ(handshakes.at(0).value("method").toString(), QStringLiteral("POST"));
    QStringList keys;
    QMap<QString, QString> handshake;
    for (const QJsonValue &item : handshakes.at(0).value("query").toArray()) {
        keys.append(item.toArray().at(0).toString());
        handshake.insert(item.toArray().at(0).toString(), item.toArray().at(1).toString());
    }
    EXPECT_EQ(keys, (QStringList{"appId", "bigVersion", "version", "deviceId", "deviceType", "product"}));
    EXPECT_EQ(handshake.value("appId"), QStringLiteral("PC005"));
    EXPECT_EQ(handshake.value("deviceType"), QStringLiteral("4"));
    EXPECT_EQ(handshake.value("product"), QStringLiteral("pc_voice"));
    // start-up stores the program's own version as "appVersion"
    const QString appVersion = handshake.value("bigVersion");
    EXPECT_FALSE(appVersion.isEmpty());

    // pagewell: the view first, then the window's geometry, then the start page with the user's items.
    QStringList names;
    QString url;
    QString server;
    for (const auto &line : jsonLines(work.filePath(QStringLiteral("pagewell.log")))) {
        if (line.value("event").toString() == "start")
            server = line.value("server").toString();
        if (line.value("event").toString() != "recv")
            continue;
        names.append(line.value("name").toString());
        if (line.value("name").toString() == "loadUrl")
            url = line.value("url").toString();
    }
    ASSERT_GE(names.size(), 4) << names.join(",").toStdString();
    EXPECT_EQ(names.at(0), QStringLiteral("createCefView"));
    EXPECT_EQ(names.mid(1, 2), (QStringList{"move", "resize"}));
    EXPECT_GT(names.indexOf("loadUrl"), 2);
    const QUrl page(url);
    EXPECT_EQ(page.host() + page.path(), QStringLiteral("pages.test/live.html"));
    const QUrlQuery items(page.query());
    EXPECT_EQ(items.queryItems().at(0), qMakePair(QStringLiteral("from"), QStringLiteral("cfg")));
    EXPECT_EQ(items.queryItemValue("userId"), QStringLiteral("u-42"));
    EXPECT_EQ(items.queryItemValue("sessionId"), QStringLiteral("sess-7"));
    EXPECT_EQ(items.queryItemValue("roomId"), QStringLiteral("r-3"));
    EXPECT_EQ(items.queryItemValue("version"), appVersion);

    // No pagewell is left behind.
    ASSERT_FALSE(server.isEmpty());
    EXPECT_EQ(processesWith(server), 0);
}

TEST_F(MainWindowEndToEndTest, PageQueriesAreAnsweredAndShutDownEndsPagewellFirst)
{
    work.write(QStringLiteral("res/dataTable/medal.json"), R"({"medal":[1]})");
    work.write(QStringLiteral("pagewell.json"), R"({"on": [{"type": 3, "contains": "live.html", "delayMs": 100,
        "send": [{"query": {"funcName": "getRoomInfo", "queryId": 31}},
                 {"query": {"funcName": "dataTableRequest", "queryId": 32, "param": {"tableName": "medal"}}},
                 {"query": {"funcName": "noSuchQuery", "queryId": 33}},
                 {"query": "{\"funcName\": \"getRoomInfo\", \"queryId\": 34"}]},
        {"type": 7, "contains": "消息未注册", "send": [{"command": {"funcName": "closeWidget"}}]}]})");
    QProcess ambrel;
    startAmbrelShell(ambrel, work,
                     {{QStringLiteral("PAGEWELL_LOG"), work.filePath(QStringLiteral("pagewell.log"))},
                      {QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json"))}});
    ASSERT_TRUE(ambrel.waitForStarted(10000));
    const bool finished = waitForAmbrelExit(ambrel);
    ASSERT_TRUE(finished);
    EXPECT_EQ(ambrel.exitCode(), 0);

    QMap<qint64, QJsonObject> replies;
    QString server;
    for (const auto &line : jsonLines(work.filePath(QStringLiteral("pagewell.log")))) {
        if (line.value("event").toString() == "start")
            server = line.value("server").toString();
        if (line.value("event").toString() == "recv" && line.value("name").toString() == "queryReply")
            replies.insert(qint64(line.value("queryId").toDouble()), line);
    }
    // the shut-down waited for pagewell to end before ambrel did
    ASSERT_FALSE(server.isEmpty());
    EXPECT_EQ(processesWith(server), 0);

    EXPECT_EQ(replies.keys(), (QList<qint64>{31, 32, 33}));
    EXPECT_EQ(replies.value(31).value("text").toString(),
              QStringLiteral("{\"state\":1,\"errorMsg\":\"\",\"data\":{\n    \"is1v1\": false,\n    \"isInPk\": false,\n"
                             "    \"micPosition\": 0,\n    \"roomType\": 0\n}\n}"));
    EXPECT_TRUE(replies.value(31).value("ok").toBool());
    EXPECT_EQ(replies.value(32).value("text").toString(), QStringLiteral(R"({"medal":[1]})"));
    EXPECT_EQ(replies.value(33).value("text").toString(), QStringLiteral("{\"state\":-1,\"errorMsg\":\"消息未注册\"}"));
    EXPECT_FALSE(replies.value(33).value("ok").toBool());
}

TEST_F(MainWindowEndToEndTest, HostilePageInputLeavesAmbrelRunningUntilThePageClosesIt)
{
    // Nested deeper than the JSON reader goes, a pop-up as large as a side may be, and offsets
    // at the ends of the int range.
    const QString deepCommand = QStringLiteral(R"({"funcName":"closeWidget","param":)") + QString(1100, '[') +
                                QString(1100, ']') + '}';
    const QString deepQuery = QStringLiteral(R"({"funcName":"getRoomInfo","queryId":61,"param":)") +
                              QStringLiteral(R"({"a":)").repeated(1100) + '1' + QString(1100, '}') + '}';
    const QJsonArray send{
        QJsonObject{{"command", deepCommand}},
        QJsonObject{{"query", deepQuery}},
        QJsonObject{{"command", QJsonDocument::fromJson(R"({"funcName":"openCefWidgetInPc","param":{"page":"giftPage",
            "location":5,"posX":2147483647," posY":2147483647,"widgetWidth":2147483647,"widgetHeight":2147483647}})")
                                    .object()}},
        QJsonObject{{"command", QJsonDocument::fromJson(R"({"funcName":"openCefWidgetInPc","param":{"page":"rankPage",
            "location":1,"posX":-2147483648," posY":-2147483648,"widgetWidth":300,"widgetHeight":2147483647}})")
                                    .object()}},
        QJsonObject{{"query", QJsonObject{{"funcName", "getRoomInfo"}, {"queryId", 62}}}}};
    const QJsonObject script{
        {"on", QJsonArray{QJsonObject{{"type", 3}, {"contains", "live.html"}, {"delayMs", 100}, {"send", send}}}}};
    work.write(QStringLiteral("pagewell.json"), QJsonDocument(script).toJson());
    work.write(QStringLiteral("config/ambrel.local.json"),
               R"({"CefUrls": {"giftPage": "http://pages.test/gift.html", "rankPage": "http://pages.test/rank.html"}})");
    const QString pagewellLog = work.filePath(QStringLiteral("pagewell.log"));
    const QString control = QStringLiteral("pagewell-e2e-webhost-%1").arg(QCoreApplication::applicationPid());
    QProcess ambrel;
    startAmbrelShell(ambrel, work,
                     {{QStringLiteral("PAGEWELL_LOG"), pagewellLog},
                      {QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json"))},
                      {QStringLiteral("PAGEWELL_CONTROL"), control}});
    ASSERT_TRUE(ambrel.waitForStarted(10000));

    // Each page's connection, and the last size and place each pop-up sent.
    QMap<QString, int> conns;
    QMap<int, QJsonObject> lastResize;
    QMap<int, QJsonObject> lastMove;
    QMap<qint64, QJsonObject> replies;
    const auto read = [&] {
        for (const QJsonObject &line : jsonLines(pagewellLog)) {
            if (line.value("event").toString() != "recv")
                continue;
            const int conn = line.value("conn").toInt();
            const QString name = line.value("name").toString();
            if (name == "loadUrl")
                for (const QString page : {"live.html", "gift.html", "rank.html"})
                    if (line.value("url").toString().contains(page))
                        conns.insert(page, conn);
            if (name == "resize")
                lastResize.insert(conn, line);
            if (name == "move")
                lastMove.insert(conn, line);
            if (name == "queryReply")
                replies.insert(qint64(line.value("queryId").toDouble()), line);
        }
    };
    const bool placed = waitUntil(
        [&] {
            read();
            if (ambrel.state() == QProcess::NotRunning)
                return true;
            return replies.contains(62) && conns.size() == 3 && lastResize.contains(conns.value("gift.html")) &&
                   lastResize.contains(conns.value("rank.html")) && lastMove.contains(conns.value("rank.html"));
        },
        30000);
    ASSERT_TRUE(placed);
    ASSERT_EQ(ambrel.state(), QProcess::Running) << ambrel.readAllStandardError().toStdString();
    // the deep query got no answer; the later one did
    EXPECT_EQ(replies.keys(), (QList<qint64>{62}));

    // pop-ups no larger than the offscreen screen (800 x 600), their offsets kept in direction
    const QJsonObject giftSize = lastResize.value(conns.value("gift.html"));
    EXPECT_EQ(giftSize.value("width").toInt(), 800);
    EXPECT_EQ(giftSize.value("height").toInt(), 600);
    EXPECT_EQ(lastResize.value(conns.value("rank.html")).value("width").toInt(), 300);
    EXPECT_EQ(lastResize.value(conns.value("rank.html")).value("height").toInt(), 600);
    EXPECT_GT(lastMove.value(conns.value("gift.html")).value("x").toInt(), 0);
    EXPECT_GT(lastMove.value(conns.value("gift.html")).value("y").toInt(), 0);
    EXPECT_LT(lastMove.value(conns.value("rank.html")).value("x").toInt(), 0);
    EXPECT_LT(lastMove.value(conns.value("rank.html")).value("y").toInt(), 0);

    // The main window's page closes it, which ends ambrel (at times before pagewell answers).
    QLocalSocket socket;
    socket.connectToServer(control);
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write(QStringLiteral(R"({"conn":%1,"send":[{"command":{"funcName":"closeWidget"}}]})" "\n")
                     .arg(conns.value("live.html"))
                     .toUtf8());
    ASSERT_TRUE(socket.waitForBytesWritten(5000));
    ASSERT_TRUE(waitForAmbrelExit(ambrel));
    EXPECT_EQ(ambrel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ambrel.exitCode(), 0);
}

TEST_F(MainWindowEndToEndTest, ToastStillShowingAtShutDownEndsAmbrelCleanly)
{
    // The toast shows for 2 s; the main window closes well before it hides.
    work.write(QStringLiteral("pagewell.json"), R"({"on": [{"type": 3, "contains": "live.html", "delayMs": 100,
        "send": [{"command": {"funcName": "showMsgDialog", "param": {"type": 1, "message": "toast at shut-down"}}},
                 {"command": {"funcName": "closeWidget"}}]}]})");
    QProcess ambrel;
    startAmbrelShell(ambrel, work,
                     {{QStringLiteral("PAGEWELL_LOG"), work.filePath(QStringLiteral("pagewell.log"))},
                      {QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json"))}});
    ASSERT_TRUE(ambrel.waitForStarted(10000));
    const bool finished = waitForAmbrelExit(ambrel);
    ASSERT_TRUE(finished);
    EXPECT_EQ(ambrel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ambrel.exitCode(), 0);

    // Both commands reached the client before it went.
    QStringList sent;
    for (const auto &line : jsonLines(work.filePath(QStringLiteral("pagewell.log"))))
        if (line.value("event").toString() == "sent")
            sent.append(line.value("json").toString());
    ASSERT_EQ(sent.size(), 2);
    EXPECT_TRUE(sent.at(0).contains("showMsgDialog"));
}
