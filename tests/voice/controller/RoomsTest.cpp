#include "ControllerFixture.h"

#include <QCoreApplication>

using agora::sim::RtcSim;

class RoomsTest : public ControllerFixture
{
};

// Readiness: nothing goes to the engine before the user is set.
TEST_F(RoomsTest, EnterBeforeUserInfoIsRefusedWithoutEngineCall)
{
    kivoARTCController *c = make();
    RtcSim::clearJournal();
    m_log.clear();
    EXPECT_FALSE(c->isReady());
    EXPECT_FALSE(c->enterSDKRoom(QStringLiteral("123")));
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::enterSDKRoom enterSDKRoom null 123"}));
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    EXPECT_FALSE(c->switchSDKRole(1));
    EXPECT_EQ(lastOf(m_log.artc()), QStringLiteral("[ARTC] kivoARTCController::switchSDKRole setClientRole null"));
}

TEST_F(RoomsTest, EmptyRoomIdIsRefused)
{
    kivoARTCController *c = make();
    c->setSDKUserInfo({5, QStringLiteral("tok")});
    m_log.clear();
    EXPECT_FALSE(c->enterSDKRoom(QString()));
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::enterSDKRoom enterSDKRoom null "}));
}

// Entering: the voice set-up, the join, the event from the engine's thread.
TEST_F(RoomsTest, EnterRunsTheVoiceSetUpAndCompletesOnTheJoinEvent)
{
    kivoARTCController *c = make();
    c->setSDKUserInfo({5, QStringLiteral("tok")});
    EXPECT_EQ(lastOf(m_log.artc()), QStringLiteral("[ARTC] kivoARTCController::setSDKUserInfo 设置ARTC登陆信息 5"));
    RtcSim::clearJournal();
    m_log.clear();
    ASSERT_TRUE(c->enterSDKRoom(QStringLiteral("123")));
    // Nothing is confirmed before the engine's event.
    EXPECT_EQ(m_signals.count("sigEnterSDKRoomSuc"), 0);
    EXPECT_EQ(RtcSim::journal(),
              QStringList({"setAudioProfile(5, 3)", "queryInterface(3)",
                           "setParameters({\"che.audio.custom_payload_type\":78})",
                           "setParameters({\"che.audio.custom_bitrate\":64000})",
                           "setParameters({\"che.audio.stereo.capture\":false})", "queryInterface(3)",
                           "setParameters({\"che.audio.aec.enable\":false})", "queryInterface(3)",
                           "setParameters({\"che.audio.ans.enable\":false})", "queryInterface(3)",
                           "setParameters({\"che.audio.agc.enable\":false})",
                           "joinChannel(token=tok, channelId=123, info=null, uid=5)", "muteLocalAudioStream(true)",
                           "enableAudioVolumeIndication(300, 3, false)", "muteAllRemoteAudioStreams(false)"}));
    EXPECT_EQ(m_log.ownArtc(),
              QStringList({
                  "[ARTC] kivoARTCController::enterSDKRoom enterSDKRoom：roomId=123",
                  "[ARTC_CALL] kivoARTCController::enterSDKRoom -> setAudioProfile profile: AUDIO_PROFILE_MUSIC_HIGH_QUALITY_STEREO scenario: AUDIO_SCENARIO_GAME_STREAMING",
                  "[ARTC_RET] kivoARTCController::enterSDKRoom -> setAudioProfile return: 0",
                  "[ARTC_CALL] kivoARTCController::enterSDKRoom -> setParameters parameters: {\"che.audio.custom_payload_type\":78}",
                  "[ARTC_RET] kivoARTCController::enterSDKRoom -> setParameters return: 0",
                  "[ARTC_CALL] kivoARTCController::enterSDKRoom -> setParameters parameters: {\"che.audio.custom_bitrate\":64000}",
                  "[ARTC_RET] kivoARTCController::enterSDKRoom -> setParameters return: 0",
                  "[ARTC_CALL] kivoARTCController::enterSDKRoom -> setParameters parameters: {\"che.audio.stereo.capture\":false}",
                  "[ARTC_RET] kivoARTCController::enterSDKRoom -> setParameters return: 0",
                  "[ARTC_CALL] kivoARTCController::setAEC -> setParameters {\"che.audio.aec.enable\":false} ret: 0 bForceAEC: false bAEC: false",
                  "[ARTC_CALL] kivoARTCController::setANS -> setParameters {\"che.audio.ans.enable\":false} ret: 0",
                  "[ARTC_CALL] kivoARTCController::setAGC -> setParameters {\"che.audio.agc.enable\":false} ret: 0",
                  "[ARTC_CALL] kivoARTCController::enterSDKRoom -> joinChannel token: tok channelId: 123 info: NULL uid: 5",
                  "[ARTC_RET] kivoARTCController::enterSDKRoom -> joinChannel result 123 0",
                  "[ARTC_CALL] kivoARTCController::startVoice -> muteLocalAudioStream mute: true",
                  "[ARTC_RET] kivoARTCController::startVoice -> muteLocalAudioStream enterSDKRoom code: 0",
                  "[ARTC_CALL] kivoARTCController::startVoice -> enableAudioVolumeIndication interval: 300 smooth: 3 report_vad: false",
                  "[ARTC_RET] kivoARTCController::startVoice -> enableAudioVolumeIndication enterSDKRoom code: 0",
                  "[ARTC_CALL] kivoARTCController::startVoice -> muteAllRemoteAudioStreams mute: false",
                  "[ARTC_RET] kivoARTCController::startVoice -> muteAllRemoteAudioStreams enterSDKRoom code: 0",
              }));
    ASSERT_TRUE(waitUntil([&] { return m_signals.count("sigEnterSDKRoomSuc") == 1; }));
    EXPECT_TRUE(m_signals.noneEmittedOnGuiThread());
    EXPECT_TRUE(m_log.lines("[ARTC_ON]").value(0).startsWith(
        "[ARTC_ON] onJoinChannelSuccess : channel[123], uid[5], elapsed[0] 最近请求进房：123 是否已经进房：0"));
    EXPECT_EQ(c->lastRoomId(), QStringLiteral("123"));
}

TEST_F(RoomsTest, EnterTheJoinedRoomAgainConfirmsAtOnce)
{
    kivoARTCController *c = joined();
    EXPECT_TRUE(c->enterSDKRoom(QStringLiteral("123")));
    // Emitted on the calling thread before the operation returns.
    EXPECT_EQ(m_signals.count("sigEnterSDKRoomSuc"), 1);
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::enterSDKRoom enterSDKRoom already：roomId=123"}));
}

TEST_F(RoomsTest, JoinWhileJoinedIsRefusedByTheEngineAndTheRoomIdStillMoves)
{
    kivoARTCController *c = joined();
    EXPECT_FALSE(c->enterSDKRoom(QStringLiteral("456")));
    EXPECT_FALSE(RtcSim::calls().contains(QStringLiteral("leaveChannel")));
    EXPECT_TRUE(m_log.artc().contains("[ARTC_RET] kivoARTCController::enterSDKRoom -> joinChannel result 456 -17"));
    EXPECT_EQ(c->lastRoomId(), QStringLiteral("456"));
    // The voice set-up ran anyway.
    EXPECT_EQ(lastOf(RtcSim::calls()), QStringLiteral("muteAllRemoteAudioStreams"));
}

TEST_F(RoomsTest, JoinReportForAnotherChannelIsOnlyLogged)
{
    kivoARTCController *c = joined();
    m_log.clear();
    RtcSim::post([](agora::rtc::IRtcEngineEventHandler *h) { h->onJoinChannelSuccess("999", 5, 12); });
    settle();
    EXPECT_EQ(m_signals.count("sigEnterSDKRoomSuc"), 0);
    EXPECT_EQ(m_log.lines("[ARTC] "),
              QStringList({"[ARTC] kivoARTCController::onJoinChannelSuccess 当前用户进入房间但房间id不同或者都为空 123 true 999 5 12"}));
    // A second report for the requested room confirms again.
    RtcSim::post([](agora::rtc::IRtcEngineEventHandler *h) { h->onJoinChannelSuccess("123", 5, 12); });
    settle();
    EXPECT_EQ(m_signals.count("sigEnterSDKRoomSuc"), 1);
    (void)c;
}

TEST_F(RoomsTest, JoinReportWithoutARequestedRoomDoesNothing)
{
    make();
    RtcSim::post([](agora::rtc::IRtcEngineEventHandler *h) { h->onJoinChannelSuccess("123", 5, 1); });
    settle();
    EXPECT_EQ(m_signals.count("sigEnterSDKRoomSuc"), 0);
    EXPECT_TRUE(m_log.artc().contains("[ARTC] kivoARTCController::onJoinChannelSuccess 当前用户进入房间但房间id不同或者都为空  false 123 5 1"));
}

TEST_F(RoomsTest, EngineErrorDuringJoinIsPassedOn)
{
    kivoARTCController *c = make();
    c->setSDKUserInfo({5, QStringLiteral("tok")});
    RtcSim::scriptError(QStringLiteral("joinChannel"), 110, QStringLiteral("令牌过期"));
    ASSERT_TRUE(c->enterSDKRoom(QStringLiteral("123")));
    ASSERT_TRUE(waitUntil([&] { return m_signals.count("sigSDKError") == 1; }));
    EXPECT_EQ(m_signals.of("sigSDKError").value(0).args, QVariantList({110, QStringLiteral("令牌过期")}));
    EXPECT_TRUE(m_signals.noneEmittedOnGuiThread());
    EXPECT_TRUE(m_log.artc().contains("[ARTC_ON] onError : errorCode[110], errorInfo[令牌过期]"));
    // Still not in the room: leaving answers at once.
    EXPECT_TRUE(c->exitSDKRoom());
    EXPECT_EQ(m_signals.count("sigExitSDKRoomSuc"), 1);
}

// Leaving.
TEST_F(RoomsTest, ExitWhenNeverJoinedConfirmsAtOnceEvenWithoutEngine)
{
    kivoARTCController *c = make();
    c->release();
    m_log.clear();
    EXPECT_TRUE(c->exitSDKRoom());
    EXPECT_EQ(m_signals.count("sigExitSDKRoomSuc"), 1);
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::exitSDKRoom exitSDKRoom noEnterRoom"}));
}

TEST_F(RoomsTest, ExitStopsVoiceResetsTheMixAndCompletesOnTheLeaveEvent)
{
    kivoARTCController *c = joined();
    ASSERT_TRUE(c->exitSDKRoom());
    EXPECT_EQ(RtcSim::calls(), QStringList({"muteLocalAudioStream", "muteAllRemoteAudioStreams", "updateRtmpTranscoding",
                                            "leaveChannel"}));
    EXPECT_EQ(m_log.ownArtc().mid(0, 9),
              QStringList({
                  "[ARTC] kivoARTCController::exitSDKRoom exitSDKRoom 123",
                  "[ARTC_CALL] kivoARTCController::stopVoice -> muteLocalAudioStream mute: true",
                  "[ARTC_RET] kivoARTCController::stopVoice -> muteLocalAudioStream exitSDKRoom code: 0",
                  "[ARTC_CALL] kivoARTCController::stopVoice -> muteAllRemoteAudioStreams mute: true",
                  "[ARTC_RET] kivoARTCController::stopVoice -> muteAllRemoteAudioStreams exitSDKRoom code: 0",
                  "[ARTC] kivoARTCController::stopMixInfo stopMixInfo",
                  "[ARTC_CALL] kivoARTCController::stopMixInfo -> updateRtmpTranscoding transcoding: new LiveTranscoding",
                  "[ARTC_RET] kivoARTCController::stopMixInfo -> updateRtmpTranscoding stop result 0",
                  "[ARTC_CALL] kivoARTCController::exitSDKRoom -> leaveChannel",
              }));
    ASSERT_TRUE(waitUntil([&] { return m_signals.count("sigExitSDKRoomSuc") == 1; }));
    EXPECT_TRUE(m_signals.noneEmittedOnGuiThread());
    // Out again: a second exit answers at once without the engine.
    RtcSim::clearJournal();
    EXPECT_TRUE(c->exitSDKRoom());
    EXPECT_TRUE(RtcSim::journal().isEmpty());
}

TEST_F(RoomsTest, ExitWhileJoiningAnswersAtOnceAndCancelsTheJoin)
{
    RtcSim::setEventDelayMs(60000); // the join stays pending
    kivoARTCController *c = make();
    c->setSDKUserInfo({5, QStringLiteral("tok")});
    ASSERT_TRUE(c->enterSDKRoom(QStringLiteral("123")));
    RtcSim::clearJournal();
    m_log.clear();
    EXPECT_TRUE(c->exitSDKRoom());
    EXPECT_EQ(m_signals.count("sigExitSDKRoomSuc"), 1);
    // The leave steps run, so the join never completes and remote audio goes quiet.
    EXPECT_EQ(RtcSim::calls(), QStringList({"muteLocalAudioStream", "muteAllRemoteAudioStreams", "updateRtmpTranscoding",
                                            "leaveChannel"}));
    EXPECT_EQ(RtcSim::journal().value(1), QStringLiteral("muteAllRemoteAudioStreams(true)"));
    EXPECT_EQ(m_log.ownArtc().mid(0, 2), QStringList({"[ARTC] kivoARTCController::exitSDKRoom exitSDKRoom noEnterRoom",
                                                      "[ARTC] kivoARTCController::exitSDKRoom exitSDKRoom 123"}));
    // The page's second call finds nothing left to leave.
    RtcSim::clearJournal();
    EXPECT_TRUE(c->exitSDKRoom());
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    // The next enter is taken by the engine and completes (another room: the leave's report still
    // waits out the long delay, and a report of "123" before it would be the join just left).
    RtcSim::setEventDelayMs(0);
    ASSERT_TRUE(c->enterSDKRoom(QStringLiteral("124")));
    ASSERT_TRUE(waitUntil([&] { return m_signals.count("sigEnterSDKRoomSuc") == 1; }));
    EXPECT_TRUE(RtcSim::inChannel());
}

// Roles.
TEST_F(RoomsTest, RoleSwitchCompletesThroughTheRoleEvent)
{
    kivoARTCController *c = joined();
    ASSERT_TRUE(c->switchSDKRole(1));
    EXPECT_EQ(m_log.ownArtc().mid(0, 2), QStringList({"[ARTC_CALL] kivoARTCController::switchSDKRole -> setClientRole role: 1",
                                                   "[ARTC_RET] kivoARTCController::switchSDKRole -> setClientRole result 0"}));
    ASSERT_TRUE(waitUntil([&] { return m_signals.count("sigSwitchSDKRoleSuc") == 1; }));
    EXPECT_TRUE(m_signals.noneEmittedOnGuiThread());
    EXPECT_EQ(RtcSim::role(), 1);
    EXPECT_TRUE(m_log.artc().contains("[ARTC_ON] onClientRoleChanged : oldRole=2,newRole=1 最近请求进房：123 是否已经进房：1"));
}

TEST_F(RoomsTest, UnknownRoleIsPassedOnAndRefusedByTheEngine)
{
    kivoARTCController *c = joined();
    EXPECT_FALSE(c->switchSDKRole(7));
    EXPECT_EQ(RtcSim::journal(), QStringList({"setClientRole(7)"}));
}

TEST_F(RoomsTest, DebugRecordingIsNeverSentWithTheFlagOff)
{
    kivoARTCController *c = joined();
    c->exitSDKRoom();
    settle();
    for (const QString &p : RtcSim::parameters())
        EXPECT_FALSE(p.contains(QStringLiteral("debug_recording"))) << p.toStdString();
    EXPECT_TRUE(c->setPcmDump(true));
    EXPECT_EQ(lastOf(RtcSim::parameters()), QStringLiteral("{\"che.audio.start_debug_recording\":\"NoName\"}"));
    EXPECT_EQ(lastOf(m_log.artc()), QStringLiteral("[ARTC_RET] kivoARTCController::setPcmDump -> setPcmDump result true 0"));
}
