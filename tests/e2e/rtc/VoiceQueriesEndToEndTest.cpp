#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>

#include "ServiceProcess.h"
#include "TestSupport.h"

namespace {

QJsonObject query(qint64 queryId, const char *funcName, const QJsonObject &param = QJsonObject())
{
    return QJsonObject{{"query", QJsonObject{{"funcName", funcName}, {"queryId", double(queryId)}, {"param", param}}}};
}

// A pagewell rule: once the query queryId is answered, send items.
QJsonObject onAnswer(qint64 queryId, const QJsonArray &items, int delayMs = 0)
{
    return QJsonObject{{"type", 7}, {"contains", QStringLiteral("\"queryId\": %1,").arg(queryId)}, {"send", items},
                       {"delayMs", delayMs}};
}

const QJsonObject kCloseMainWindow{{"command", QJsonObject{{"funcName", "closeWidget"}}}};

} // namespace

// ambrel shell with the real ambrel-service, pagewell.exe and the simulated voice engine: the
// start page drives the voice engine with rtc queries, and pagewell's log holds the answers.
class VoiceQueriesEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start(work.path(), R"({"sdkinit": {"code": 1, "msg": "ok",
                                  "data": {"userId": "u-42", "sessionId": "sess-7", "roomId": "r-3"}}})"));
        work.write(QStringLiteral("config/ambrel.json"),
                   QStringLiteral(R"({"ServerType": "1002", "sdkinit": "%1", "RtcAppId": "app-e2e",
                                      "HttpTimeoutMs": "3000", "PelorinServer": "%2",
                                      "CefUrls": {"virtualpartyopenlive": "http://pages.test/live.html"}})")
                       .arg(service.sdkinitUrl(), service.pelorinUrl())
                       .toUtf8());
    }

    // Runs ambrel until a page closes it: `first` is sent when the start page loads, `rules`
    // answer what arrives. Returns the answers by query id.
    QMap<qint64, QJsonObject> run(const QJsonObject &sim, const QJsonArray &first, QJsonArray rules)
    {
        work.write(QStringLiteral("rtcsim.json"), QJsonDocument(sim).toJson());
        rules.prepend(QJsonObject{{"type", 3}, {"contains", "live.html"}, {"delayMs", 100}, {"send", first}});
        work.write(QStringLiteral("pagewell.json"), QJsonDocument(QJsonObject{{"on", rules}}).toJson());
        QProcess ambrel;
        startAmbrelShell(ambrel, work,
                         {{QStringLiteral("PAGEWELL_LOG"), work.filePath(QStringLiteral("pagewell.log"))},
                          {QStringLiteral("PAGEWELL_SCRIPT"), work.filePath(QStringLiteral("pagewell.json"))},
                          {QStringLiteral("AMBREL_RTC_SIM"), work.filePath(QStringLiteral("rtcsim.json"))}});
        EXPECT_TRUE(ambrel.waitForStarted(10000));
        EXPECT_TRUE(waitForAmbrelExit(ambrel));
        EXPECT_EQ(ambrel.exitCode(), 0);

        QMap<qint64, QJsonObject> replies;
        for (const auto &line : jsonLines(work.filePath(QStringLiteral("pagewell.log"))))
            if (line.value("event").toString() == "recv" && line.value("name").toString() == "queryReply") {
                EXPECT_FALSE(replies.contains(qint64(line.value("queryId").toDouble())))
                    << "answered twice: " << line.value("queryId").toDouble();
                replies.insert(qint64(line.value("queryId").toDouble()), line);
            }
        return replies;
    }
    // ambrel's own log of the day.
    QStringList shellLog() const
    {
        QFile file(work.filePath(QStringLiteral("log/shell/%1.log").arg(QDate::currentDate().toString("yyyy-MM-dd"))));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    }
    // The first log line from `from` on holding text, or -1.
    int logIndex(const QStringList &log, const QString &text, int from = 0) const
    {
        for (int i = from; i < log.size(); ++i)
            if (log[i].contains(text))
                return i;
        return -1;
    }
    static QString textOf(const QMap<qint64, QJsonObject> &replies, qint64 queryId)
    {
        return replies.value(queryId).value("text").toString();
    }

    TempWorkDir work;
    ServiceProcess service;
};

TEST_F(VoiceQueriesEndToEndTest, RoomDevicesAndVolumesThroughThePage)
{
    const QJsonObject sim{
        {"eventDelayMs", 50},
        {"playbackDevices", QJsonArray{QJsonObject{{"name", "扬声器 \"Desk\""}, {"id", "sp-1"}},
                                       QJsonObject{{"name", "Headset"}, {"id", "sp-2"}}}},
        {"recordingDevices", QJsonArray()},
        {"currentPlaybackDevice", "sp-1"},
    };
    const QJsonArray first{
        query(1, "rtcExitSDKRoom"),
        query(2, "rtcEnterSDKRoom", {{"roomId", "r-3"}}),
        query(3, "rtcSetSDKUserInfo", {{"token", "tok"}, {"userId", 42}}),
        query(4, "rtcEnterSDKRoom", {{"roomId", "r-3"}}),
    };
    const QJsonArray inRoom{
        query(5, "rtcGetSpeakList"),
        query(6, "rtcGetMicList"),
        query(7, "rtcGetCurrentSpeakerDevice"),
        query(8, "rtcSetMicVoice", {{"volume", 50}}),
        query(9, "rtcSetMicVoice", {{"volume", "50"}}),
        query(10, "rtcSetSpeakerVoice", {{"volume", 30}}),
        query(11, "rtcSetSpeakerVoice", {{"volume", "30"}}),
        query(12, "rtcSetMicDeviceVoice", {{"volume", "70"}}),
        query(13, "rtcGetMicDeviceVoice"),
        query(14, "rtcExitSDKRoom"),
    };
    const auto replies = run(sim, first, {onAnswer(4, inRoom), onAnswer(14, {kCloseMainWindow})});

    ASSERT_EQ(replies.size(), 14);
    // Outside a room, leaving is confirmed at once; entering before the user is set is refused.
    EXPECT_EQ(textOf(replies, 1), QStringLiteral(R"({"state":1,"errorMsg":""})"));
    EXPECT_TRUE(replies.value(1).value("ok").toBool());
    EXPECT_EQ(textOf(replies, 2), QStringLiteral(R"({"state":-1,"errorMsg":"SDK进房失败"})"));
    EXPECT_FALSE(replies.value(2).value("ok").toBool());
    EXPECT_EQ(textOf(replies, 3), QStringLiteral(R"({"state":1,"errorMsg":""})"));
    EXPECT_EQ(textOf(replies, 4), QStringLiteral(R"({"state":1,"errorMsg":""})"));
    EXPECT_TRUE(replies.value(4).value("ok").toBool());

    EXPECT_EQ(textOf(replies, 5), QStringLiteral("{\"state\":1,\"errorMsg\":\"\",\"data\":"
                                                 "[{\"deviceId\":\"sp-1\",\"deviceName\":\"\\u626c\\u58f0\\u5668 \\\"Desk\\\"\"},"
                                                 "{\"deviceId\":\"sp-2\",\"deviceName\":\"Headset\"}]\n}"));
    EXPECT_EQ(textOf(replies, 6), QStringLiteral("{\"state\":1,\"errorMsg\":\"\",\"data\":null\n}"));
    EXPECT_EQ(textOf(replies, 7),
              QStringLiteral("{\"state\":1,\"errorMsg\":\"\",\"data\":\"\\u626c\\u58f0\\u5668 \\\"Desk\\\"\"}"));
    const QJsonObject current = QJsonDocument::fromJson(textOf(replies, 7).toUtf8()).object();
    EXPECT_EQ(current.value("data").toString(), QStringLiteral("扬声器 \"Desk\""));

    for (qint64 id : {8, 9, 10, 12, 14})
        EXPECT_EQ(textOf(replies, id), QStringLiteral(R"({"state":1,"errorMsg":""})")) << id;
    EXPECT_EQ(textOf(replies, 11), QStringLiteral(R"({"state":-1,"errorMsg":"消息参数错误"})"));
    EXPECT_FALSE(replies.value(11).value("ok").toBool());
    EXPECT_EQ(textOf(replies, 13), QStringLiteral(R"({"state":1,"errorMsg":"","data":70})"));

    const QStringList log = shellLog();
    // The enter was answered after the engine's join event, and the leave after its leave event.
    const int joinEvent = logIndex(log, "[ARTC_ON] onJoinChannelSuccess");
    ASSERT_GE(joinEvent, 0);
    EXPECT_GT(logIndex(log, "lambda:joinEnterSDKRoom Success"), joinEvent);
    const int leaveEvent = logIndex(log, "[ARTC_ON] onLeaveChannel");
    ASSERT_GE(leaveEvent, 0);
    // (leaving outside the room was confirmed at once, long before)
    EXPECT_EQ(log.filter("lambda:joinExitSDKRoom Success").size(), 2);
    EXPECT_GT(logIndex(log, "lambda:joinExitSDKRoom Success", leaveEvent), leaveEvent);
    // The number and the text set the same microphone volume; the speaker took only the number.
    EXPECT_EQ(log.filter("adjustRecordingSignalVolume：volumeOriginal=50,volume=50").size(), 2);
    EXPECT_EQ(log.filter("adjustPlaybackSignalVolume：volumeOriginal=30,volume=30").size(), 1);
    EXPECT_EQ(log.filter("setRecordingDeviceVolume：volumeOriginal=70,volume=70").size(), 1);
}

TEST_F(VoiceQueriesEndToEndTest, LeavingWhileTheJoinIsPendingLetsTheNextEnterIn)
{
    // The join takes a second: the leave arrives while it is pending.
    const QJsonObject sim{{"eventDelayMs", 1000}};
    const QJsonArray first{
        query(1, "rtcSetSDKUserInfo", {{"token", "tok"}, {"userId", 42}}),
        query(2, "rtcEnterSDKRoom", {{"roomId", "r-3"}}),
        query(3, "rtcExitSDKRoom"),
    };
    const auto replies = run(sim, first,
                             {onAnswer(3, {query(4, "rtcEnterSDKRoom", {{"roomId", "r-3"}})}), onAnswer(4, {kCloseMainWindow})});
    ASSERT_TRUE(replies.contains(3));
    ASSERT_TRUE(replies.contains(4));
    EXPECT_EQ(textOf(replies, 3), QStringLiteral(R"({"state":1,"errorMsg":""})"));
    EXPECT_EQ(textOf(replies, 4), QStringLiteral(R"({"state":1,"errorMsg":""})"));
    EXPECT_TRUE(replies.value(4).value("ok").toBool());

    const QStringList log = shellLog();
    // The pending join was left before the second one was asked for, and only that one completed.
    const int leave = logIndex(log, "[ARTC_CALL] kivoARTCController::exitSDKRoom -> leaveChannel");
    ASSERT_GE(leave, 0);
    const int firstJoin = logIndex(log, "joinChannel result r-3 0");
    ASSERT_GE(firstJoin, 0);
    EXPECT_LT(firstJoin, leave);
    EXPECT_GT(logIndex(log, "joinChannel result r-3 0", firstJoin + 1), leave);
    EXPECT_EQ(log.filter("[ARTC_ON] onJoinChannelSuccess").size(), 1);
}

TEST_F(VoiceQueriesEndToEndTest, AnEngineErrorAnswersTheWaitingEnter)
{
    const QJsonObject sim{{"eventDelayMs", 30},
                          {"errors", QJsonObject{{"joinChannel", QJsonObject{{"code", 110}, {"msg", "token \"expired\""}}}}}};
    const QJsonArray first{
        query(1, "rtcSetSDKUserInfo", {{"token", "tok"}, {"userId", 42}}),
        query(2, "rtcEnterSDKRoom", {{"roomId", "r-3"}}),
    };
    const auto replies = run(sim, first, {onAnswer(2, {kCloseMainWindow})});
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(textOf(replies, 2), QStringLiteral(R"({"state":110,"errorMsg":"token \"expired\""})"));
    EXPECT_FALSE(replies.value(2).value("ok").toBool());
    EXPECT_EQ(QJsonDocument::fromJson(textOf(replies, 2).toUtf8()).object().value("errorMsg").toString(),
              QStringLiteral("token \"expired\""));
}

TEST_F(VoiceQueriesEndToEndTest, TwoWaitingEntersAreSettledByOneEngineEvent)
{
    // The engine takes both joins without a word; the one error comes from the push.
    const QJsonObject sim{
        {"returnCodes", QJsonObject{{"joinChannel", 0}}},
        {"errors", QJsonObject{{"startRtmpStreamWithoutTranscoding", QJsonObject{{"code", 1003}, {"msg", "推流失败"}}}}}};
    const QJsonArray first{
        query(1, "rtcSetSDKUserInfo", {{"token", "tok"}, {"userId", 42}}),
        query(2, "rtcEnterSDKRoom", {{"roomId", "r-3"}}),
        query(3, "rtcEnterSDKRoom", {{"roomId", "r-3"}}),
        query(4, "rtcStartRtmpStream", {{"url", "rtmp://live/x"}, {"transcodingEnabled", false}}),
    };
    const auto replies = run(sim, first, {onAnswer(3, {kCloseMainWindow}, 200)});
    ASSERT_EQ(replies.size(), 4);
    EXPECT_EQ(textOf(replies, 4), QStringLiteral(R"({"state":1,"errorMsg":""})"));
    EXPECT_EQ(textOf(replies, 2), QStringLiteral(R"({"state":1003,"errorMsg":"推流失败"})"));
    EXPECT_EQ(textOf(replies, 3), QStringLiteral(R"({"state":1003,"errorMsg":"推流失败"})"));
    const QStringList log = shellLog();
    EXPECT_EQ(log.filter("[ARTC_ON] onError").size(), 1);
    EXPECT_EQ(log.filter("lambda:joinEnterSDKRoom failed").size(), 2);
}
