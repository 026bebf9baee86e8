#include "AppStartup.h"
#include "ControllerFixture.h"
#include "QuadrelConfig.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

using agora::sim::RtcSim;

class SetupTest : public ControllerFixture
{
};

namespace {

const QStringList kSetupLines = {
    "[ARTC] kivoARTCController::kivoARTCController 声网sdk appId： app-123",
    "[ARTC_CALL] kivoARTCController::version -> getVersion build: 123",
    "[ARTC] kivoARTCController::kivoARTCController ARTCSDK版本 4.2.1123",
    "[ARTC_CALL] kivoARTCController::kivoARTCController -> initialize appId app-123 areaCode 4294967295",
    "[ARTC_RET] kivoARTCController::kivoARTCController -> initialize code: 0",
    "[ARTC] kivoARTCController::kivoARTCController 创建ARTCController...",
    "[ARTC_CALL] kivoARTCController::kivoARTCController -> enableVideo",
    "[ARTC_RET] kivoARTCController::kivoARTCController -> enableVideo code: 0",
    "[ARTC_CALL] kivoARTCController::kivoARTCController -> enableLocalVideo(false)",
    "[ARTC_RET] kivoARTCController::kivoARTCController -> enableLocalVideo code: 0",
    "[ARTC_CALL] kivoARTCController::kivoARTCController -> enableAudio",
    "[ARTC_RET] kivoARTCController::kivoARTCController -> enableAudio code: 0",
    "[ARTC_CALL] kivoARTCController::kivoARTCController -> setChannelProfile profile: CHANNEL_PROFILE_LIVE_BROADCASTING",
    "[ARTC_RET] kivoARTCController::kivoARTCController -> setChannelProfile code: 0",
    "[ARTC_CALL] kivoARTCController::kivoARTCController -> setClientRole role: CLIENT_ROLE_AUDIENCE",
    "[ARTC_RET] kivoARTCController::kivoARTCController -> setClientRole code: 0",
    "[ARTC_CALL] kivoARTCController::initVideoParams -> queryInterface iid: 4",
    "[ARTC_CALL] kivoARTCController::initVideoParams -> registerVideoFrameObserver 0",
    "[ARTC] kivoARTCController::stopMixInfo stopMixInfo null",
};

// Runs the body in a process of its own, where the single instance is not built yet whatever
// ran before in this one. The body answers what went wrong, or nothing.
void inFreshProcess(const std::function<QString()> &body)
{
    const std::string style = ::testing::GTEST_FLAG(death_test_style);
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    EXPECT_EXIT(
        {
            const QString fault = body();
            std::fprintf(stderr, "%s\n", fault.toUtf8().constData());
            std::_Exit(fault.isEmpty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    ::testing::GTEST_FLAG(death_test_style) = style;
}

QString todaysLog()
{
    return QStringLiteral("./log/ARTCSDK/agorasdk_") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + ".log";
}

} // namespace

// Set-up: the calls in order, the log lines whole.
TEST_F(SetupTest, SetUpLogsEveryStepAndCallsTheEngineInOrder)
{
    make();
    settle();
    EXPECT_EQ(m_log.artc(), kSetupLines);
    EXPECT_EQ(RtcSim::journal(),
              QStringList({"createAgoraRtcEngine()", "getVersion()",
                           "initialize(appId=app-123, areaCode=4294967295, logFile=" + todaysLog() + ")", "enableVideo()",
                           "enableLocalVideo(false)", "enableAudio()", "setChannelProfile(1)", "setClientRole(2)",
                           "queryInterface(4)", "registerVideoFrameObserver(observer)"}));
    EXPECT_TRUE(QDir(QStringLiteral("log/ARTCSDK")).exists());
    EXPECT_EQ(RtcSim::logFilePath(), todaysLog());
    EXPECT_TRUE(RtcSim::observerRegistered());
    EXPECT_TRUE(m_boxes.isEmpty());
}

TEST_F(SetupTest, SetUpLeavesAudienceWithVideoEncoderAtCameraDefaults)
{
    kivoARTCController *c = make();
    EXPECT_EQ(RtcSim::role(), 2);
    const ARTCVideoSettings s = c->videoSettings();
    EXPECT_EQ(s.dimensions.width, 640);
    EXPECT_EQ(s.dimensions.height, 480);
    EXPECT_EQ(s.frameRate, 15);
    EXPECT_EQ(s.bitrate, 600);
    EXPECT_EQ(s.orientationMode, 1);
    EXPECT_EQ(s.degradationPreference, 0);
    EXPECT_EQ(s.mirrorMode, 2);
    EXPECT_EQ(s.minBitrate, -1);
    EXPECT_EQ(s.codecType, 0);
}

TEST_F(SetupTest, VersionJoinsTextAndBuildNumber)
{
    RtcSim::setVersion(QStringLiteral("4.2.1"), 123);
    kivoARTCController *c = make();
    EXPECT_EQ(c->version(), QStringLiteral("4.2.1123"));
    RtcSim::setVersion(QStringLiteral("3.7.0"), 9);
    EXPECT_EQ(c->version(), QStringLiteral("3.7.09"));
    // The engine's text is taken as it stands.
    RtcSim::setVersion(QStringLiteral("4.%1.2"), 7);
    EXPECT_EQ(c->version(), QStringLiteral("4.%1.27"));
    c->release();
    EXPECT_EQ(c->version(), QString());
}

// Failures of the set-up: the box, an exit request, never a crash.
TEST_F(SetupTest, EngineThatCannotBeCreatedShowsTheBoxAndLeavesNoEngine)
{
    RtcSim::setCreateFails(true);
    kivoARTCController *c = make();
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::kivoARTCController 声网sdk appId： app-123",
                                         "[ARTC] kivoARTCController::kivoARTCController kivoARTCController init error "
                                         "createAgoraRtcEngine NULL"}));
    // The box comes once construction is over.
    EXPECT_TRUE(m_boxes.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_boxes, (QList<QPair<QString, QString>>{{"错误", "SDK初始化失败"}}));
    m_log.clear();
    c->release();
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::release 不用释放空的 IRtcEngine 实例..."}));
    // Every operation finds no engine and takes its failure branch.
    c->setSDKUserInfo({5, QStringLiteral("tok")});
    EXPECT_FALSE(c->enterSDKRoom(QStringLiteral("123")));
    EXPECT_FALSE(c->setMuteLocalAudioStream(true));
    EXPECT_TRUE(c->getSpeakList().isEmpty());
    EXPECT_EQ(c->getMicDeviceVoice(), -1);
}

TEST_F(SetupTest, EmptyAppKeyFailsInitialisationWithTheServiceBox)
{
    make(QString());
    const QStringList lines = m_log.artc();
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines.at(0), QStringLiteral("[ARTC] kivoARTCController::kivoARTCController 声网sdk appId： "));
    EXPECT_EQ(lines.at(3), QStringLiteral("[ARTC_CALL] kivoARTCController::kivoARTCController -> initialize appId  areaCode 4294967295"));
    EXPECT_EQ(lines.at(4), QStringLiteral("[ARTC_RET] kivoARTCController::kivoARTCController -> initialize code: -2"));
    EXPECT_EQ(lines.size(), 5);
    EXPECT_TRUE(m_boxes.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_boxes, (QList<QPair<QString, QString>>{{"错误", "SDK服务初始化失败"}}));
    // The engine stays set, so release really releases it.
    m_log.clear();
    m_controller->release();
    EXPECT_EQ(m_log.artc().size(), 3);
    EXPECT_FALSE(RtcSim::engineExists());
}

TEST_F(SetupTest, ForcedInitialiseFailureIsLoggedWithItsCode)
{
    RtcSim::setReturnCode(QStringLiteral("initialize"), -101);
    make();
    EXPECT_TRUE(m_log.artc().contains("[ARTC_RET] kivoARTCController::kivoARTCController -> initialize code: -101"));
    EXPECT_FALSE(RtcSim::calls().contains(QStringLiteral("enableVideo")));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_boxes.size(), 1);
}

// Release.
TEST_F(SetupTest, ReleaseTwiceReleasesTheEngineOnce)
{
    kivoARTCController *c = make();
    m_log.clear();
    c->release();
    c->release();
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::release 释放 IRtcEngine 实例...",
                                         "[ARTC_CALL] kivoARTCController::release -> release",
                                         "[ARTC_RET] kivoARTCController::release -> release",
                                         "[ARTC] kivoARTCController::release 不用释放空的 IRtcEngine 实例..."}));
    EXPECT_EQ(RtcSim::calls().count(QStringLiteral("release")), 1);
}

TEST_F(SetupTest, NoEventReachesTheControllerAfterRelease)
{
    RtcSim::setEventDelayMs(60000);
    kivoARTCController *c = make();
    c->setSDKUserInfo({5, QStringLiteral("tok")});
    ASSERT_TRUE(c->enterSDKRoom(QStringLiteral("123")));
    const int before = RtcSim::droppedEvents();
    c->release();
    // The join event was still pending; it is dropped, and nothing can post any more.
    EXPECT_GT(RtcSim::droppedEvents(), before);
    EXPECT_FALSE(RtcSim::post([](agora::rtc::IRtcEngineEventHandler *h) { h->onError(1, "late"); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_signals.names(), QStringList());
    EXPECT_TRUE(m_log.lines(QStringLiteral("[ARTC_ON]")).isEmpty());
}

TEST_F(SetupTest, DestructionReleasesAndSaysGoodbye)
{
    make();
    m_log.clear();
    m_controller.reset();
    const QStringList lines = m_log.artc();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines.last(), QStringLiteral("[ARTC] kivoARTCController::~kivoARTCController 删除ARTCController..."));
    EXPECT_FALSE(RtcSim::engineExists());
}

// A page query answered from the failure box's event loop reaches the instance being built.
TEST_F(SetupTest, FailureBoxMayReachTheSingleInstance)
{
    inFreshProcess([] {
        RtcSim::setCreateFails(true);
        kivoARTCController *reached = nullptr;
        QStringList texts;
        kivoARTCController::setMessageBoxSeam([&](const QString &title, const QString &text) {
            texts << title + "/" + text;
            reached = kivoARTCController::getInstance();
            reached->exitSDKRoom();
        });
        kivoARTCController *c = kivoARTCController::getInstance();
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, [&loop] { loop.exit(9); });
        const int code = loop.exec();
        if (reached != c)
            return QStringLiteral("the box did not reach the instance");
        if (texts != QStringList({"错误/SDK初始化失败"}))
            return QStringLiteral("boxes: ") + texts.join(", ");
        if (code != 0)
            return QStringLiteral("no exit request, the loop ended with %1").arg(code);
        return QString();
    });
}

// The shut-down step builds the controller when nothing used it, then releases the engine.
TEST_F(SetupTest, ShutDownStepReleasesTheEngineOfTheSingleInstance)
{
    m_dir.write(QStringLiteral("config/ambrel.json"), QByteArray("{\"RtcAppId\":\"app-123\"}"));
    QuadrelConfig::getInstance()->reload();
    inFreshProcess([] {
        const int released = RtcSim::releaseCount();
        for (const ShutdownStep &step : shutdownSteps())
            if (QByteArray(step.name) == "kivoARTCController::release")
                step.run();
        const QStringList calls = RtcSim::calls();
        if (calls.value(0) != QStringLiteral("createAgoraRtcEngine") || !calls.contains(QStringLiteral("initialize"))
            || calls.value(calls.size() - 1) != QStringLiteral("release"))
            return QStringLiteral("calls: ") + calls.join(", ");
        if (RtcSim::releaseCount() != released + 1 || RtcSim::engineExists())
            return QStringLiteral("the engine was not released");
        return QString();
    });
}
