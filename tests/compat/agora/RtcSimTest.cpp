#include "TestSupport.h"

#include "agora/IAgoraParameter.h"
#include "agora/IAudioDeviceManager.h"
#include "agora/IRtcEngine.h"
#include "agora/RtcSim.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

using agora::sim::RtcSim;
using agora::sim::SimDevice;
namespace rtc = agora::rtc;

namespace {

// Records what the engine reports, and on which thread.
class Recorder : public rtc::IRtcEngineEventHandler
{
public:
    void onJoinChannelSuccess(const char *channel, rtc::uid_t uid, int) override { add("join " + std::string(channel) + " " + std::to_string(uid)); }
    void onLeaveChannel(const rtc::RtcStats &) override { add("leave"); }
    void onClientRoleChanged(rtc::CLIENT_ROLE_TYPE o, rtc::CLIENT_ROLE_TYPE n) override { add("role " + std::to_string(o) + ">" + std::to_string(n)); }
    void onError(int err, const char *msg) override { add("error " + std::to_string(err) + " " + msg); }

    std::vector<std::string> events()
    {
        std::lock_guard<std::mutex> lock(m);
        return m_events;
    }
    std::atomic<bool> onCallerThread{false};
    QThread *caller = QThread::currentThread();

private:
    void add(const std::string &e)
    {
        if (QThread::currentThread() == caller)
            onCallerThread = true;
        std::lock_guard<std::mutex> lock(m);
        m_events.push_back(e);
    }
    std::mutex m;
    std::vector<std::string> m_events;
};

} // namespace

class RtcSimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RtcSim::reset();
        engine = createAgoraRtcEngine();
        ASSERT_NE(engine, nullptr);
        rtc::RtcEngineContext context;
        context.eventHandler = &recorder;
        context.appId = "app";
        ASSERT_EQ(engine->initialize(context), 0);
    }
    void TearDown() override
    {
        rtc::IRtcEngine::release();
        RtcSim::reset();
    }
    rtc::IAudioDeviceManager *audio()
    {
        void *p = nullptr;
        engine->queryInterface(rtc::AGORA_IID_AUDIO_DEVICE_MANAGER, &p);
        return static_cast<rtc::IAudioDeviceManager *>(p);
    }

    Recorder recorder;
    rtc::IRtcEngine *engine = nullptr;
};

// Channel: events come later, from the engine's own thread.
TEST_F(RtcSimTest, JoinRoleAndLeaveAnswerWithEventsOnTheEngineThread)
{
    ASSERT_EQ(engine->joinChannel("t", "room1", nullptr, 7), 0);
    EXPECT_EQ(engine->joinChannel("t", "room2", nullptr, 7), -rtc::ERR_JOIN_CHANNEL_REJECTED);
    ASSERT_TRUE(RtcSim::waitIdle());
    EXPECT_TRUE(RtcSim::inChannel());
    EXPECT_EQ(engine->setClientRole(rtc::CLIENT_ROLE_BROADCASTER), 0);
    EXPECT_EQ(engine->setClientRole(static_cast<rtc::CLIENT_ROLE_TYPE>(9)), -rtc::ERR_INVALID_ARGUMENT);
    EXPECT_EQ(engine->leaveChannel(), 0);
    ASSERT_TRUE(RtcSim::waitIdle());
    EXPECT_EQ(recorder.events(), (std::vector<std::string>{"join room1 7", "role 2>1", "leave"}));
    EXPECT_FALSE(recorder.onCallerThread);
}

TEST_F(RtcSimTest, RoleChangeOutsideAChannelBringsNoEvent)
{
    EXPECT_EQ(engine->setClientRole(rtc::CLIENT_ROLE_BROADCASTER), 0);
    ASSERT_TRUE(RtcSim::waitIdle());
    EXPECT_TRUE(recorder.events().empty());
    EXPECT_EQ(RtcSim::role(), 1);
}

TEST_F(RtcSimTest, ScriptedErrorReplacesTheJoinEvent)
{
    RtcSim::scriptError(QStringLiteral("joinChannel"), 110, QStringLiteral("token expired"));
    ASSERT_EQ(engine->joinChannel("t", "room1", nullptr, 7), 0);
    ASSERT_TRUE(RtcSim::waitIdle());
    EXPECT_EQ(recorder.events(), (std::vector<std::string>{"error 110 token expired"}));
    EXPECT_FALSE(RtcSim::inChannel());
    EXPECT_TRUE(RtcSim::channel().isEmpty());
}

TEST_F(RtcSimTest, ForcedCodeIsReturnedAndNothingHappens)
{
    RtcSim::setReturnCode(QStringLiteral("joinChannel"), -3);
    EXPECT_EQ(engine->joinChannel("t", "room1", nullptr, 7), -3);
    ASSERT_TRUE(RtcSim::waitIdle());
    EXPECT_TRUE(recorder.events().empty());
    EXPECT_EQ(lastOf(RtcSim::journal()), QStringLiteral("joinChannel(token=t, channelId=room1, info=null, uid=7)"));
}

TEST_F(RtcSimTest, EventDelayKeepsOrderAndReleaseDropsWhatIsPending)
{
    RtcSim::setEventDelayMs(60000);
    ASSERT_EQ(engine->joinChannel("t", "room1", nullptr, 7), 0);
    rtc::IRtcEngine::release();
    EXPECT_EQ(RtcSim::droppedEvents(), 1);
    EXPECT_TRUE(recorder.events().empty());
    EXPECT_FALSE(RtcSim::engineExists());
    EXPECT_FALSE(RtcSim::post([](rtc::IRtcEngineEventHandler *h) { h->onError(1, "x"); }));
}

// Devices and volumes.
TEST_F(RtcSimTest, DeviceSelectionAcceptsOnlyKnownIds)
{
    RtcSim::setPlaybackDevices({{QStringLiteral("A"), QStringLiteral("id-a")}, {QStringLiteral("B"), QStringLiteral("id-b")}});
    rtc::IAudioDeviceManager *m = audio();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->setPlaybackDevice("id-b"), 0);
    EXPECT_EQ(RtcSim::currentPlaybackDevice(), QStringLiteral("id-b"));
    EXPECT_EQ(m->setPlaybackDevice("nope"), -rtc::ERR_INVALID_ARGUMENT);
    EXPECT_EQ(RtcSim::currentPlaybackDevice(), QStringLiteral("id-b"));
    char name[rtc::MAX_DEVICE_ID_LENGTH] = {};
    EXPECT_EQ(m->getPlaybackDeviceInfo(const_cast<char *>("id-a"), name), 0);
    EXPECT_STREQ(name, "A");
    m->release();
}

TEST_F(RtcSimTest, LongDeviceNamesAreCutToTheBuffer)
{
    const QString longName(600, QLatin1Char('n'));
    RtcSim::setRecordingDevices({{longName, QStringLiteral("id")}});
    rtc::IAudioDeviceManager *m = audio();
    rtc::IAudioDeviceCollection *c = m->enumerateRecordingDevices();
    ASSERT_EQ(c->getCount(), 1);
    char name[rtc::MAX_DEVICE_ID_LENGTH];
    char id[rtc::MAX_DEVICE_ID_LENGTH];
    std::memset(name, 'x', sizeof name);
    ASSERT_EQ(c->getDevice(0, name, id), 0);
    EXPECT_EQ(std::strlen(name), 511u);
    EXPECT_STREQ(id, "id");
    EXPECT_EQ(c->getDevice(1, name, id), -rtc::ERR_INVALID_ARGUMENT);
    c->release();
    m->release();
}

TEST_F(RtcSimTest, VolumesOutsideTheEngineRangeAreRefused)
{
    rtc::IAudioDeviceManager *m = audio();
    EXPECT_EQ(m->setRecordingDeviceVolume(256), -rtc::ERR_INVALID_ARGUMENT);
    EXPECT_EQ(m->setRecordingDeviceVolume(80), 0);
    int v = 0;
    EXPECT_EQ(m->getRecordingDeviceVolume(&v), 0);
    EXPECT_EQ(v, 80);
    m->release();
    EXPECT_EQ(engine->adjustPlaybackSignalVolume(401), -rtc::ERR_INVALID_ARGUMENT);
    EXPECT_EQ(engine->adjustAudioMixingPlayoutVolume(100), 0);
    EXPECT_EQ(engine->adjustAudioMixingPlayoutVolume(-1), -rtc::ERR_INVALID_ARGUMENT);
}

TEST_F(RtcSimTest, ParametersAreKeptAndMissingInterfacesAnswerNull)
{
    void *p = nullptr;
    ASSERT_EQ(engine->queryInterface(rtc::AGORA_IID_PARAMETER_ENGINE, &p), 0);
    auto *parameter = static_cast<rtc::IAgoraParameter *>(p);
    parameter->setParameters("{\"a\":1}");
    parameter->release();
    engine->setParameters("{\"b\":2}");
    EXPECT_EQ(RtcSim::parameters(), QStringList({"{\"a\":1}", "{\"b\":2}"}));
    RtcSim::setInterfaceAvailable(rtc::AGORA_IID_AUDIO_DEVICE_MANAGER, false);
    p = reinterpret_cast<void *>(1);
    EXPECT_NE(engine->queryInterface(rtc::AGORA_IID_AUDIO_DEVICE_MANAGER, &p), 0);
    EXPECT_EQ(p, nullptr);
}

// The settings file of whole-program runs.
TEST(RtcSimFileTest, SettingsFileSetsDevicesCodesAndErrors)
{
    RtcSim::reset();
    TempWorkDir dir;
    dir.write(QStringLiteral("sim.json"), R"({"eventDelayMs": 5, "version": "9.9", "build": 7,
        "returnCodes": {"enableAudio": -4},
        "errors": {"joinChannel": {"code": 17, "msg": "bad"}},
        "playbackDevices": [{"name": "S", "id": "s1"}],
        "currentPlaybackDevice": "s1", "recordingDeviceVolume": 42})");
    qputenv("AMBREL_RTC_SIM", dir.filePath(QStringLiteral("sim.json")).toLocal8Bit());
    rtc::IRtcEngine *engine = createAgoraRtcEngine();
    qunsetenv("AMBREL_RTC_SIM");
    ASSERT_NE(engine, nullptr);
    int build = 0;
    EXPECT_STREQ(engine->getVersion(&build), "9.9");
    EXPECT_EQ(build, 7);
    Recorder recorder;
    rtc::RtcEngineContext context;
    context.eventHandler = &recorder;
    context.appId = "app";
    ASSERT_EQ(engine->initialize(context), 0);
    EXPECT_EQ(engine->enableAudio(), -4);
    EXPECT_EQ(RtcSim::currentPlaybackDevice(), QStringLiteral("s1"));
    EXPECT_EQ(RtcSim::recordingDeviceVolume(), 42);
    engine->joinChannel("t", "r", nullptr, 1);
    ASSERT_TRUE(RtcSim::waitIdle());
    EXPECT_EQ(recorder.events(), (std::vector<std::string>{"error 17 bad"}));
    rtc::IRtcEngine::release();
    RtcSim::reset();
    EXPECT_FALSE(RtcSim::loadFile(dir.filePath(QStringLiteral("missing.json"))));
}
