#include "ControllerFixture.h"

using agora::sim::RtcSim;

class PushTest : public ControllerFixture
{
protected:
    void SetUp() override
    {
        ControllerFixture::SetUp();
        c = make();
        c->setSDKUserInfo({5, QStringLiteral("tok")});
        settle();
        m_log.clear();
        RtcSim::clearJournal();
    }
    kivoARTCController *c = nullptr;
};

TEST_F(PushTest, StartWithoutTranscodingTwiceIsARepeat)
{
    EXPECT_TRUE(c->startRtmpStream(QStringLiteral("rtmp://a"), false, {}));
    EXPECT_TRUE(c->startRtmpStream(QStringLiteral("rtmp://a"), false, {}));
    EXPECT_EQ(RtcSim::journal(), QStringList({"startRtmpStreamWithoutTranscoding(rtmp://a)"}));
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC] kivoARTCController::startRtmpStream startRtmpStream rtmp://a false",
                                         "[ARTC_CALL] kivoARTCController::startRtmpStream -> startRtmpStreamWithoutTranscoding url: rtmp://a",
                                         "[ARTC_RET] kivoARTCController::startRtmpStream -> startRtmpStreamWithoutTranscoding result 0",
                                         "[ARTC] kivoARTCController::startRtmpStream startRtmpStream ignore by repeat rtmp://a false"}));
}

TEST_F(PushTest, RefusedStartKeepsNoUrlSoARetryStartsAgain)
{
    RtcSim::setReturnCode(QStringLiteral("startRtmpStreamWithoutTranscoding"), -2);
    EXPECT_FALSE(c->startRtmpStream(QStringLiteral("rtmp://a"), false, {}));
    RtcSim::clearReturnCodes();
    EXPECT_TRUE(c->startRtmpStream(QStringLiteral("rtmp://a"), false, {}));
    EXPECT_EQ(RtcSim::calls().count(QStringLiteral("startRtmpStreamWithoutTranscoding")), 2);
    RtcSim::setReturnCode(QStringLiteral("startRtmpStreamWithTranscoding"), -2);
    EXPECT_FALSE(c->startRtmpStream(QStringLiteral("rtmp://m"), true, {}));
    RtcSim::clearReturnCodes();
    EXPECT_TRUE(c->startRtmpStream(QStringLiteral("rtmp://m"), true, {}));
    EXPECT_EQ(RtcSim::calls().count(QStringLiteral("startRtmpStreamWithTranscoding")), 2);
}

TEST_F(PushTest, TranscodingUsersStartWithTheOwnUid)
{
    EXPECT_TRUE(c->startRtmpStream(QStringLiteral("rtmp://m"), true, {7, 8}));
    const QString j = lastOf(RtcSim::journal());
    EXPECT_TRUE(j.startsWith("startRtmpStreamWithTranscoding(rtmp://m, size=0x0, videoBitrate=1, audioChannels=1, users=[5:16x16@0,0 "));
    EXPECT_TRUE(j.contains("7:16x16@0,0") && j.contains("8:16x16@0,0"));
    EXPECT_EQ(j.count(QStringLiteral("16x16")), 3);
}

TEST_F(PushTest, OwnUidInTheSetIsNotRepeatedAndAnEmptySetHasOnlyIt)
{
    c->setSDKUserInfo({7, QStringLiteral("tok")});
    c->setMixInfo(QStringLiteral("rtmp://m"), {7, 8});
    EXPECT_EQ(lastOf(RtcSim::journal()), QStringLiteral("startRtmpStreamWithTranscoding(rtmp://m, size=0x0, videoBitrate=1, audioChannels=1, users=[7:16x16@0,0 8:16x16@0,0])"));
    c->setMixInfo(QStringLiteral("rtmp://m"), {});
    EXPECT_EQ(lastOf(RtcSim::journal()), QStringLiteral("startRtmpStreamWithTranscoding(rtmp://m, size=0x0, videoBitrate=1, audioChannels=1, users=[7:16x16@0,0])"));
}

TEST_F(PushTest, StopClearsBothUrlsSingleFirst)
{
    c->startRtmpStream(QStringLiteral("rtmp://s"), false, {});
    c->startRtmpStream(QStringLiteral("rtmp://m"), true, {});
    RtcSim::clearJournal();
    EXPECT_TRUE(c->stopRtmpStream(true));
    EXPECT_EQ(RtcSim::journal(), QStringList({"stopRtmpStream(rtmp://s)", "stopRtmpStream(rtmp://m)"}));
    RtcSim::clearJournal();
    EXPECT_TRUE(c->stopRtmpStream(true));
    EXPECT_TRUE(RtcSim::journal().isEmpty());
}

TEST_F(PushTest, StopKeepingUrlsMakesTheNextStartARepeat)
{
    c->startRtmpStream(QStringLiteral("rtmp://s"), false, {});
    c->stopRtmpStream(false);
    RtcSim::clearJournal();
    EXPECT_TRUE(c->startRtmpStream(QStringLiteral("rtmp://s"), false, {}));
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    EXPECT_TRUE(m_log.ownArtc().contains("[ARTC] kivoARTCController::stopRtmpStream stopRtmpStream singlePushUrl rtmp://s   is Clear url:  false"));
}

TEST_F(PushTest, RefusalsBeforeTheEngine)
{
    EXPECT_FALSE(c->startRtmpStream(QString(), false, {}));
    EXPECT_EQ(lastOf(m_log.ownArtc()), QStringLiteral("[ARTC] kivoARTCController::startRtmpStream startRtmpStream isEmpty"));
    c->setSDKUserInfo({0, QString()});
    EXPECT_FALSE(c->startRtmpStream(QStringLiteral("rtmp://a"), false, {}));
    EXPECT_FALSE(c->stopRtmpStream(true));
    EXPECT_FALSE(c->stopMixInfo());
    EXPECT_TRUE(RtcSim::journal().isEmpty());
}

TEST_F(PushTest, RelayStartAndStop)
{
    EXPECT_TRUE(c->connectOtherSDKRoom(QStringLiteral("888"), 9));
    EXPECT_EQ(lastOf(RtcSim::journal()), QStringLiteral("startOrUpdateChannelMediaRelay(src=null, dest=888/null/9)"));
    EXPECT_TRUE(m_log.ownArtc().contains("[ARTC_CALL] kivoARTCController::connectOtherSDKRoom -> startOrUpdateChannelMediaRelay srcInfo: empty destInfos:channelName: 888 destInfos:token:  destInfo.uid 9 destCount: 1"));
    EXPECT_TRUE(c->disconnectOtherSDKRoom());
    EXPECT_FALSE(c->disconnectOtherSDKRoom());
    EXPECT_TRUE(c->pauseAllChannelMediaRelay());
    EXPECT_EQ(lastOf(m_log.ownArtc()), QStringLiteral("[ARTC_CALL] kivoARTCController::pauseAllChannelMediaRelay -> pauseAllChannelMediaRelay result: 0"));
}
