#include "ControllerFixture.h"

using agora::rtc::IRtcEngineEventHandler;
using agora::sim::RtcSim;

class VideoOpsTest : public ControllerFixture
{
protected:
    void SetUp() override
    {
        ControllerFixture::SetUp();
        RtcSim::setVideoDevices({{QStringLiteral("前置摄像头"), QStringLiteral("cam-1")},
                                 {QStringLiteral("USB Camera"), QStringLiteral("cam-2")}});
        c = make();
        settle();
        m_log.clear();
        m_signals.clear();
        RtcSim::clearJournal();
    }
    QString lastEncoderCall() const
    {
        const QStringList j = RtcSim::journal().filter(QStringLiteral("setVideoEncoderConfiguration"));
        return j.isEmpty() ? QString() : j.last();
    }
    kivoARTCController *c = nullptr;
};

// Encoder settings and their bounds.
TEST_F(VideoOpsTest, FrameRateBounds)
{
    c->setFPS(9);
    c->setFPS(31);
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC] kivoARTCController::setFPS 设置帧率 9", "[ARTC] kivoARTCController::setFPS 帧率设置错误",
                                         "[ARTC] kivoARTCController::setFPS 设置帧率 31", "[ARTC] kivoARTCController::setFPS 帧率设置错误"}));
    c->setFPS(10);
    EXPECT_EQ(c->videoSettings().frameRate, 10);
    c->setFPS(30);
    EXPECT_EQ(lastEncoderCall(), QStringLiteral("setVideoEncoderConfiguration(640x480, fps=30, bitrate=600, minBitrate=-1, orientation=1, mirror=2)"));
}

TEST_F(VideoOpsTest, BitrateBoundsAndTheEncoderLine)
{
    c->setBitrate(499);
    EXPECT_EQ(lastOf(m_log.ownArtc()), QStringLiteral("[ARTC] kivoARTCController::setBitrate 码率设置错误"));
    EXPECT_EQ(c->videoSettings().bitrate, 600);
    m_log.clear();
    c->setBitrate(20000);
    EXPECT_EQ(m_log.ownArtc(),
              QStringList({"[ARTC] kivoARTCController::setBitrate 设置码率 20000",
                           "[ARTC_CALL] kivoARTCController::setVideoEncParam_ -> setVideoEncoderConfiguration codecType: 0 "
                           "dimensions.width: 640 dimensions.height: 480 frameRate: 15 bitrate: 20000 minBitrate: -1 "
                           "orientationMode: 1 degradationPreference: 0 mirrorMode: 2 advanceOptions.encodingPreference: -1 "
                           "advanceOptions.compressionPreference: -1 ret: 0"}));
    c->setBitrate(20001);
    EXPECT_EQ(c->videoSettings().bitrate, 20000);
}

TEST_F(VideoOpsTest, PortraitAndLandscapeExchangeTheSize)
{
    c->setResMode(1);
    EXPECT_EQ(lastEncoderCall(), QStringLiteral("setVideoEncoderConfiguration(480x640, fps=15, bitrate=600, minBitrate=-1, orientation=2, mirror=2)"));
    EXPECT_EQ(m_log.ownArtc().value(0), QStringLiteral("[ARTC] kivoARTCController::setResMode 设置竖屏 true"));
    c->setResMode(0);
    EXPECT_EQ(lastEncoderCall(), QStringLiteral("setVideoEncoderConfiguration(640x480, fps=15, bitrate=600, minBitrate=-1, orientation=1, mirror=2)"));
}

TEST_F(VideoOpsTest, ResolutionFollowsTheOrientation)
{
    c->setResolution(112);
    EXPECT_EQ(m_log.ownArtc().value(0), QStringLiteral("[ARTC] kivoARTCController::setResolution 设置分辨率 1280 720"));
    EXPECT_TRUE(lastEncoderCall().startsWith("setVideoEncoderConfiguration(1280x720,"));
    c->setResMode(1);
    c->setResolution(112);
    EXPECT_TRUE(lastEncoderCall().startsWith("setVideoEncoderConfiguration(720x1280,"));
    c->setResolution(5);
    EXPECT_TRUE(lastEncoderCall().startsWith("setVideoEncoderConfiguration(-1x-1,"));
}

TEST_F(VideoOpsTest, AspectClassAndProfiles)
{
    EXPECT_EQ(c->resolutionAspectClass(110), 2);
    EXPECT_EQ(c->resolutionAspectClass(62), 1);
    ARTCVideoProfile p;
    p.profileId = 114;
    p.portrait = 1;
    p.frameRate = 25;
    c->setVideoSettings(p);
    EXPECT_TRUE(lastEncoderCall().startsWith("setVideoEncoderConfiguration(1080x1920, fps=25, bitrate=550, minBitrate=0, orientation=2"));
    const ARTCVideoProfile back = c->getVideoSettings();
    EXPECT_EQ(back.profileId, 114);
    EXPECT_EQ(back.portrait, 1);
}

TEST_F(VideoOpsTest, ApplyOrientationExchangesOnlyWhenNeeded)
{
    ARTCVideoSettings s;
    c->applyOrientation(s, 1, 480, 640);
    EXPECT_EQ(s.dimensions.width, 640);
    EXPECT_EQ(s.orientationMode, 1);
    c->applyOrientation(s, 2, 640, 480);
    EXPECT_EQ(s.dimensions.width, 480);
    c->applyOrientation(s, 0, 480, 640);
    EXPECT_EQ(s.dimensions.width, 480);
    EXPECT_EQ(s.dimensions.height, 640);
}

// Cameras.
TEST_F(VideoOpsTest, CameraListAndChoice)
{
    EXPECT_EQ(c->getCameraList(), (ARTCDeviceList{{"前置摄像头", "cam-1"}, {"USB Camera", "cam-2"}}));
    EXPECT_EQ(m_log.ownArtc(),
              QStringList({"[ARTC_CALL] kivoARTCController::getCameraList -> enumerateVideoDevices result index=0,deviceName=前置摄像头,deviceId=cam-1 0",
                           "[ARTC_CALL] kivoARTCController::getCameraList -> enumerateVideoDevices result index=1,deviceName=USB Camera,deviceId=cam-2 0",
                           "[ARTC] kivoARTCController::getCameraList enumerateVideoDevices result count= 2"}));
    m_log.clear();
    c->setLocalCamera({QString(), QStringLiteral("cam-9")}, true);
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC] kivoARTCController::setLocalCamera 未找到摄像头:cam-9"}));
    m_log.clear();
    RtcSim::clearJournal();
    c->setLocalCamera({QString(), QStringLiteral("cam-2")}, true);
    EXPECT_EQ(RtcSim::currentVideoDevice(), QStringLiteral("cam-2"));
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC] kivoARTCController::setLocalCamera 请求切换摄像头:USB Camera",
                                         "[ARTC_CALL] kivoARTCController::setLocalCamera -> enableLocalVideo(true) 0",
                                         "[ARTC_CALL] kivoARTCController::setLocalCamera -> setDevice cam-2 ret: 0"}));
}

TEST_F(VideoOpsTest, CameraListWithoutManager)
{
    RtcSim::setInterfaceAvailable(agora::rtc::AGORA_IID_VIDEO_DEVICE_MANAGER, false);
    EXPECT_TRUE(c->getCameraList().isEmpty());
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC] kivoARTCController::getCameraList enumerateVideoDevices IVideoDeviceManager null"}));
}

TEST_F(VideoOpsTest, OpenLocalCameraNeedsACameraAndASink)
{
    int frames = 0;
    c->openLocalCamera([&frames](VideoFrameItem) { ++frames; });
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC] kivoARTCController::openLocalCamera 尚未选择摄像头"}));
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    c->getCameraList();
    c->setLocalCamera({QString(), QStringLiteral("cam-1")}, true);
    m_log.clear();
    c->openLocalCamera(VideoFrameSink());
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC] kivoARTCController::openLocalCamera 本地渲染窗口为空"}));
}

TEST_F(VideoOpsTest, OpenAndCloseLocalCamera)
{
    c->getCameraList();
    c->setLocalCamera({QString(), QStringLiteral("cam-1")}, true);
    RtcSim::clearJournal();
    c->openLocalCamera([](VideoFrameItem) {});
    EXPECT_EQ(RtcSim::calls(), QStringList({"enableLocalVideo", "startPreview", "enableLocalVideo", "queryInterface",
                                            "setDevice", "setVideoEncoderConfiguration"}));
    RtcSim::clearJournal();
    c->closeLocalCamera();
    EXPECT_EQ(RtcSim::calls(), QStringList({"enableLocalVideo", "stopPreview"}));
    EXPECT_TRUE(m_log.ownArtc().contains("[ARTC] kivoARTCController::stopRtmpStream stopRtmpStream null"));
}

TEST_F(VideoOpsTest, SelectedCameraFiltersDeviceEvents)
{
    c->getCameraList();
    c->setLocalCamera({QString(), QStringLiteral("cam-1")}, true);
    settle();
    m_signals.clear();
    RtcSim::post([](IRtcEngineEventHandler *h) {
        h->onVideoDeviceStateChanged("cam-2", 3, 8);
        h->onVideoDeviceStateChanged("cam-1", 3, 1);
        h->onVideoDeviceStateChanged("cam-1", 3, 8);
        h->onLocalVideoStateChanged(1, 0);
    });
    settle();
    EXPECT_EQ(m_signals.names(), QStringList({"sigCameraReady", "sigCameraReady"}));
    EXPECT_EQ(m_signals.of("sigCameraReady").value(0).args, QVariantList({false}));
    EXPECT_EQ(m_signals.of("sigCameraReady").value(1).args, QVariantList({true}));
    EXPECT_TRUE(m_log.artc().contains("[ARTC] kivoARTCController::onLocalVideoStateChanged 摄像头准备就绪:前置摄像头"));
}

// Remote pictures.
TEST_F(VideoOpsTest, RemoteCamerasNeedAUserAndReadiness)
{
    c->openRemoteCamera(QStringLiteral("42"), [](VideoFrameItem) {});
    EXPECT_EQ(lastOf(m_log.ownArtc()), QStringLiteral("[ARTC] kivoARTCController::openRemoteCamera openRemoteCamera null 42"));
    EXPECT_FALSE(c->isRemoteVideoUser(QStringLiteral("42")));
    c->setSDKUserInfo({5, QStringLiteral("tok")});
    c->openRemoteCamera(QString(), [](VideoFrameItem) {});
    EXPECT_EQ(lastOf(m_log.ownArtc()), QStringLiteral("[ARTC] kivoARTCController::openRemoteCamera openRemoteCamera ignore userId="));
    c->openRemoteCamera(QStringLiteral("42"), [](VideoFrameItem) {});
    EXPECT_TRUE(c->isRemoteVideoUser(QStringLiteral("42")));
    RtcSim::post([](IRtcEngineEventHandler *h) { h->onRemoteVideoStateChanged(42, 2, 0, 1); });
    settle();
    EXPECT_TRUE(m_log.artc().contains("[ARTC] kivoARTCController::onRemoteVideoStateChanged 用户42画面状态:1 QSet(42)"));
    c->closeRemoteCamera(QStringLiteral("42"));
    EXPECT_FALSE(c->isRemoteVideoUser(QStringLiteral("42")));
}

TEST_F(VideoOpsTest, RemoteSizesComeFromFirstDecodedPicturesOfOthers)
{
    c->setSDKUserInfo({5, QStringLiteral("tok")});
    const QRect fallback(1, 2, 3, 4);
    RtcSim::post([](IRtcEngineEventHandler *h) {
        h->onFirstRemoteVideoDecoded(5, 100, 100, 1);          // own uid: ignored
        h->onFirstRemoteVideoDecoded(3000000000u, 640, 360, 2); // top bit set
    });
    settle();
    EXPECT_EQ(c->remotePictureRect(5, 400, 300, fallback), fallback);
    EXPECT_EQ(c->remotePictureRect(3000000000u, 400, 300, fallback), QRect(0, 37, 400, 225));
    EXPECT_TRUE(c->hasRemoteVideoSizes({QStringLiteral("3000000000")}));
    EXPECT_FALSE(c->hasRemoteVideoSizes({QStringLiteral("3000000000"), QStringLiteral("5")}));
    EXPECT_FALSE(c->hasRemoteVideoSizes({QStringLiteral("abc")}));
    EXPECT_TRUE(c->hasRemoteVideoSizes({}));
    EXPECT_TRUE(m_log.artc().contains("[ARTC] kivoARTCController::onFirstRemoteVideoDecoded 已接收到远端视频3000000000并完成解码回调：elapsed=2"));
}

TEST_F(VideoOpsTest, UseVideoOnAndOff)
{
    c->setUseVideo(false);
    EXPECT_EQ(RtcSim::calls(), QStringList({"disableVideo"}));
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC_RET] kivoARTCController::setUseVideo -> disableVideo code: 0"}));
    RtcSim::clearJournal();
    c->setUseVideo(true);
    EXPECT_EQ(RtcSim::calls(), QStringList({"enableVideo", "queryInterface", "registerVideoFrameObserver",
                                            "setVideoEncoderConfiguration", "enableLocalVideo", "stopPreview",
                                            "queryInterface", "enumerateVideoDevices", "getDevice", "getDevice"}));
    c->release();
    RtcSim::clearJournal();
    c->setUseVideo(true);
    EXPECT_TRUE(RtcSim::journal().isEmpty());
}
