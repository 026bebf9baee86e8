#include "ControllerFixture.h"

using agora::rtc::AudioVolumeInfo;
using agora::rtc::IRtcEngineEventHandler;
using agora::sim::RtcSim;

class EventsTest : public ControllerFixture
{
protected:
    // Runs one event on the engine's thread and lets its signals arrive.
    void fire(const std::function<void(IRtcEngineEventHandler *)> &event)
    {
        ASSERT_TRUE(RtcSim::post(event));
        settle();
    }
    void SetUp() override
    {
        ControllerFixture::SetUp();
        make();
        settle();
        m_log.clear();
        m_signals.clear();
        RtcSim::clearJournal();
    }
};

// Volume reports.
TEST_F(EventsTest, LocalVolumeReportGivesUserAndSpeakerVolume)
{
    fire([](IRtcEngineEventHandler *h) {
        AudioVolumeInfo v;
        v.uid = 0;
        v.volume = 40;
        h->onAudioVolumeIndication(&v, 1, 90);
    });
    EXPECT_EQ(m_signals.names(), QStringList({"sigUserVoiceVolume", "sigSpeakerVolume"}));
    EXPECT_EQ(m_signals.of("sigUserVoiceVolume").value(0).args, QVariantList({QString(), 90}));
    EXPECT_EQ(m_signals.of("sigSpeakerVolume").value(0).args, QVariantList({QString(), 40}));
    EXPECT_TRUE(m_signals.noneEmittedOnGuiThread());
    EXPECT_TRUE(m_log.artc().isEmpty());
}

// The thread check itself: a signal emitted on the GUI thread is noticed.
TEST_F(EventsTest, ASignalEmittedOnTheGuiThreadIsNoticed)
{
    fire([](IRtcEngineEventHandler *h) { h->onUserOffline(7, 0); });
    ASSERT_EQ(m_signals.count("sigRemoteUserLeaveRoom"), 1);
    EXPECT_TRUE(m_signals.noneEmittedOnGuiThread());
    emit m_controller->sigRemoteUserLeaveRoom(QStringLiteral("7"));
    EXPECT_FALSE(m_signals.noneEmittedOnGuiThread());
}

TEST_F(EventsTest, RemoteVolumeReportListsUidAndVolumeUnsigned)
{
    fire([](IRtcEngineEventHandler *h) {
        AudioVolumeInfo v[2];
        v[0].uid = 1234;
        v[0].volume = 87;
        v[1].uid = 3000000000u;
        v[1].volume = 5;
        h->onAudioVolumeIndication(v, 1, 0);
        h->onAudioVolumeIndication(v, 2, 0);
        h->onAudioVolumeIndication(v, 0, 0);
    });
    ASSERT_EQ(m_signals.names(), QStringList({"sigUserVoiceVolumeRemote", "sigUserVoiceVolumeRemote"}));
    EXPECT_EQ(m_signals.of("sigUserVoiceVolumeRemote").value(0).args.first().toStringList(), QStringList({"1234|87"}));
    EXPECT_EQ(m_signals.of("sigUserVoiceVolumeRemote").value(1).args.first().toStringList(),
              QStringList({"1234|87", "3000000000|5"}));
}

// Users and audio state.
TEST_F(EventsTest, UserOfflineAndAudioStatesReachTheirSignals)
{
    fire([](IRtcEngineEventHandler *h) {
        h->onUserOffline(2147483648u, 1);
        h->onLocalAudioStateChanged(2, 0);
        h->onLocalAudioStateChanged(3, 4);
        h->onRemoteAudioStateChanged(77, 1, 0, 10);
        h->onRemoteAudioStateChanged(77, 0, 0, 10);
    });
    EXPECT_EQ(m_signals.of("sigRemoteUserLeaveRoom").value(0).args, QVariantList({QStringLiteral("2147483648")}));
    EXPECT_EQ(m_signals.of("sigLocalAudioReady").value(0).args, QVariantList({true}));
    EXPECT_EQ(m_signals.of("sigLocalAudioReady").value(1).args, QVariantList({false}));
    EXPECT_EQ(m_signals.of("sigRemoteAudioAvailable").value(0).args, QVariantList({QStringLiteral("77"), true}));
    EXPECT_EQ(m_signals.of("sigRemoteAudioAvailable").value(1).args, QVariantList({QStringLiteral("77"), false}));
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC_ON] onUserOffline : uid=2147483648,reason=1",
                                         "[ARTC_ON] onLocalAudioStateChanged : state=2,error=0",
                                         "[ARTC_ON] onLocalAudioStateChanged : state=3,error=4",
                                         "[ARTC_ON] onRemoteAudioStateChanged : uid=77,state=1,reason=0,elapsed=10",
                                         "[ARTC_ON] onRemoteAudioStateChanged : uid=77,state=0,reason=0,elapsed=10"}));
}

// Leave.
TEST_F(EventsTest, LeaveReportAfterReleaseTouchesNothing)
{
    kivoARTCController *c = m_controller.get();
    // The handler is called directly: the engine itself calls nothing after release.
    c->release();
    m_log.clear();
    c->onLeaveChannel(agora::rtc::RtcStats());
    EXPECT_EQ(m_signals.count("sigExitSDKRoomSuc"), 0);
    EXPECT_EQ(m_log.artc().size(), 1);
    EXPECT_TRUE(m_log.artc().value(0).startsWith("[ARTC_ON] onLeaveChannel : stats：duration=0,txBytes=0,"));
}

// Relay states.
TEST_F(EventsTest, RelayStatesAreSortedIntoConnectAndDisconnect)
{
    fire([](IRtcEngineEventHandler *h) {
        h->onChannelMediaRelayStateChanged(0, 0);
        h->onChannelMediaRelayStateChanged(2, 0);
        h->onChannelMediaRelayStateChanged(3, 7);
        h->onChannelMediaRelayStateChanged(4, 1);
    });
    EXPECT_EQ(m_signals.names(), QStringList({"sigDisconnectOtherRoom", "sigConnectOtherRoom", "sigDisconnectOtherRoom"}));
    EXPECT_EQ(lastOf(m_signals.of("sigDisconnectOtherRoom")).args, QVariantList({3, 7}));
    EXPECT_TRUE(m_log.artc().contains(
        "[ARTC] kivoARTCController::onChannelMediaRelayStateChanged 跨频道媒体流转发状态的类型不支持：state=4,code=1"));
}

TEST_F(EventsTest, RelayFailureAfterAnAcceptedRequestCountsAsConnect)
{
    ASSERT_TRUE(m_controller->connectOtherSDKRoom(QStringLiteral("888"), 9));
    settle();
    m_signals.clear();
    fire([](IRtcEngineEventHandler *h) { h->onChannelMediaRelayStateChanged(3, 7); });
    EXPECT_EQ(m_signals.names(), QStringList({"sigConnectOtherRoom"}));
    EXPECT_EQ(m_signals.of("sigConnectOtherRoom").value(0).args, QVariantList({3, 7}));
}

// Push, video and probe events.
TEST_F(EventsTest, RtmpStateIsPassedOn)
{
    fire([](IRtcEngineEventHandler *h) { h->onRtmpStreamingStateChanged("rtmp://x/y", 4, 2); });
    EXPECT_EQ(m_signals.of("sigRtmpStreamingStateChangedError").value(0).args, QVariantList({4, 2}));
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC_ON] onRtmpStreamingStateChanged : url=rtmp://x/y,state=4,errCode=2"}));
}

TEST_F(EventsTest, RemoteVideoStateGivesAvailableAndStopped)
{
    fire([](IRtcEngineEventHandler *h) {
        h->onRemoteVideoStateChanged(42, 0, 1, 5);
        h->onRemoteVideoStateChanged(42, 2, 1, 5);
        h->onRemoteVideoStateChanged(42, 5, 1, 5);
    });
    const QList<SignalLog::Entry> e = m_signals.of("sigRemoteVideoAvailable");
    ASSERT_EQ(e.size(), 3);
    EXPECT_EQ(e.at(0).args, QVariantList({QStringLiteral("42"), false, true}));
    EXPECT_EQ(e.at(1).args, QVariantList({QStringLiteral("42"), true, false}));
    EXPECT_EQ(e.at(2).args, QVariantList({QStringLiteral("42"), false, false}));
    EXPECT_EQ(m_log.artc().mid(0, 2),
              QStringList({"[ARTC] kivoARTCController::onRemoteVideoStateChanged 远端视频状态发生改变：uid=42,state=0,reason=1,elapsed=5",
                           "[ARTC] kivoARTCController::onRemoteVideoStateChanged 用户42画面状态:0 QSet()"}));
}

TEST_F(EventsTest, LocalVideoStatesReportCameraReadyAndFailure)
{
    fire([](IRtcEngineEventHandler *h) {
        h->onLocalVideoStateChanged(1, 0);
        h->onLocalVideoStateChanged(1, 3);
        h->onLocalVideoStateChanged(3, 2);
        h->onLocalVideoStateChanged(2, 0);
    });
    EXPECT_EQ(m_signals.names(), QStringList({"sigCameraReady", "sigCameraOpenFailed"}));
    EXPECT_EQ(m_signals.of("sigCameraReady").value(0).args, QVariantList({true}));
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::onLocalVideoStateChanged 摄像头准备就绪:",
                                         "[ARTC] kivoARTCController::onLocalVideoStateChanged 摄像头打开失败：state=3,error=2"}));
}

TEST_F(EventsTest, DeviceEventForAnotherCameraIsOnlyLogged)
{
    fire([](IRtcEngineEventHandler *h) {
        h->onVideoDeviceStateChanged("other-camera", 3, 8);
    });
    EXPECT_EQ(m_signals.count("sigCameraReady"), 0);
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::onVideoDeviceStateChanged 视频设备变化：deviceId=other-camera,deviceType=3,deviceState=8"}));
}

// Every state against each table: local audio ready and remote audio available on 1 and 2,
// remote video available on 1 and 2 and stopped on 0, the selected camera lost on 2, 4 and 8.
TEST_F(EventsTest, EveryStateMeetsEachStateTable)
{
    RtcSim::setVideoDevices({{QStringLiteral("前置摄像头"), QStringLiteral("cam-1")}});
    m_controller->getCameraList();
    m_controller->setLocalCamera({QString(), QStringLiteral("cam-1")}, true);
    settle();
    const struct {
        int state;
        bool localAudio, remoteAudio, remoteVideo, remoteVideoStopped, cameraLost;
    } rows[] = {
        {-1, false, false, false, false, false}, {0, false, false, false, true, false},
        {1, true, true, true, false, false},     {2, true, true, true, false, true},
        {3, false, false, false, false, false},  {4, false, false, false, false, true},
        {5, false, false, false, false, false},  {6, false, false, false, false, false},
        {7, false, false, false, false, false},  {8, false, false, false, false, true},
        {9, false, false, false, false, false},  {16, false, false, false, false, false},
    };
    for (const auto &row : rows) {
        m_signals.clear();
        const int state = row.state;
        fire([state](IRtcEngineEventHandler *h) {
            h->onLocalAudioStateChanged(state, 0);
            h->onRemoteAudioStateChanged(77, state, 0, 0);
            h->onRemoteVideoStateChanged(42, state, 0, 0);
            h->onVideoDeviceStateChanged("cam-1", 3, state);
        });
        EXPECT_EQ(m_signals.of("sigLocalAudioReady").value(0).args, QVariantList({row.localAudio})) << "state " << state;
        EXPECT_EQ(m_signals.of("sigRemoteAudioAvailable").value(0).args, QVariantList({QStringLiteral("77"), row.remoteAudio}))
            << "state " << state;
        EXPECT_EQ(m_signals.of("sigRemoteVideoAvailable").value(0).args,
                  QVariantList({QStringLiteral("42"), row.remoteVideo, row.remoteVideoStopped}))
            << "state " << state;
        EXPECT_EQ(m_signals.of("sigCameraReady").size(), row.cameraLost ? 1 : 0) << "state " << state;
        if (row.cameraLost) {
            EXPECT_EQ(m_signals.of("sigCameraReady").value(0).args, QVariantList({false})) << "state " << state;
        }
    }
}

TEST_F(EventsTest, ProbeReportsStopTheProbe)
{
    fire([](IRtcEngineEventHandler *h) {
        h->onLastmileQuality(3);
        agora::rtc::LastmileProbeResult r;
        r.state = 1;
        r.rtt = 30;
        h->onLastmileProbeResult(r);
    });
    EXPECT_EQ(RtcSim::calls(), QStringList({"stopLastmileProbeTest", "stopLastmileProbeTest"}));
    EXPECT_EQ(m_log.artc(),
              QStringList({"[ARTC_ON] onLastmileQuality : quality=3",
                           "[ARTC_CALL] kivoARTCController::onLastmileQuality -> stopLastmileProbeTest",
                           "[ARTC_RET] kivoARTCController::onLastmileQuality -> stopLastmileProbeTest onLastmileQuality code: 0",
                           "[ARTC_ON] onLastmileProbeResult : state=1,uplinkReport.packetLossRate=0,uplinkReport.jitter=0,"
                           "uplinkReport.availableBandwidth=0,downlinkReport.packetLossRate=0,downlinkReport.jitter=0,"
                           "downlinkReport.availableBandwidth=0,rtt=30",
                           "[ARTC_CALL] kivoARTCController::onLastmileProbeResult -> stopLastmileProbeTest",
                           "[ARTC_RET] kivoARTCController::onLastmileProbeResult -> stopLastmileProbeTest onLastmileProbeResult code: 0"}));
}

// Log-only events: the texts.
TEST_F(EventsTest, LogOnlyEventsWriteTheirTexts)
{
    fire([](IRtcEngineEventHandler *h) {
        h->onUserJoined(4000000000u, 12);
        h->onTokenPrivilegeWillExpire("tk");
        h->onConnectionStateChanged(3, 1);
        h->onRtmpStreamingEvent("rtmp://a", 1);
        h->onAudioDeviceVolumeChanged(1, 30, true);
        h->onFirstRemoteVideoFrame(9, 640, 360, 80);
        h->onRejoinChannelSuccess(nullptr, 1, 2);
        h->onRemoteAudioStats(agora::rtc::RemoteAudioStats());
    });
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC_ON] onUserJoined : uid=4000000000,elapsed=12",
                                         "[ARTC_ON] TokenonTokenPrivilegeWillExpire : token=tk",
                                         "[ARTC_ON] onConnectionStateChanged : state=3,reason=1",
                                         "[ARTC_ON] RTMPonRtmpStreamingEvent : url=rtmp://a,eventCode=1",
                                         "[ARTC_ON] onAudioDeviceVolumeChanged : deviceType=1,volume=30,muted=1",
                                         "[ARTC] kivoARTCController::onFirstRemoteVideoFrame 已显示首帧远端视频：uid=9,width=640,height=360,elapsed=80",
                                         "[ARTC_ON] onRejoinChannelSuccess : channel=,uid=1,elapsed=2"}));
    EXPECT_TRUE(m_signals.names().isEmpty());
}
