#include "ControllerFixture.h"

using agora::sim::RtcSim;

class EffectsTest : public ControllerFixture
{
protected:
    void SetUp() override
    {
        ControllerFixture::SetUp();
        c = make();
        settle();
        m_log.clear();
        RtcSim::clearJournal();
    }
    // The engine gone, as after shut-down.
    void dropEngine()
    {
        c->release();
        settle();
        m_log.clear();
        RtcSim::clearJournal();
    }
    kivoARTCController *c = nullptr;
};

namespace {

const QStringList kRowZero = {
    "setLocalVoicePitch(1)",
    "setLocalVoiceEqualization(0, 0)", "setLocalVoiceEqualization(1, 0)", "setLocalVoiceEqualization(2, 0)",
    "setLocalVoiceEqualization(3, 0)", "setLocalVoiceEqualization(4, 0)", "setLocalVoiceEqualization(5, 0)",
    "setLocalVoiceEqualization(6, 0)", "setLocalVoiceEqualization(7, 0)", "setLocalVoiceEqualization(8, 0)",
    "setLocalVoiceEqualization(9, 0)",
    "setLocalVoiceReverb(2, 0)", "setLocalVoiceReverb(3, 0)", "setLocalVoiceReverb(4, 0)",
    "setLocalVoiceReverb(0, 0)", "setLocalVoiceReverb(1, 0)"};

} // namespace

// Customised voices: one table row each, pitch then bands then reverb keys 2, 3, 4, 0, 1.

TEST_F(EffectsTest, CustomisedVoiceNineSetsItsRow)
{
    c->setCustomizeVoiceEffect(9);
    EXPECT_EQ(RtcSim::journal(),
              QStringList({"setLocalVoicePitch(0.85)",
                           "setLocalVoiceEqualization(0, 20)", "setLocalVoiceEqualization(1, 18)",
                           "setLocalVoiceEqualization(2, 15)", "setLocalVoiceEqualization(3, 12)",
                           "setLocalVoiceEqualization(4, 5)", "setLocalVoiceEqualization(5, -5)",
                           "setLocalVoiceEqualization(6, -8)", "setLocalVoiceEqualization(7, -10)",
                           "setLocalVoiceEqualization(8, -12)", "setLocalVoiceEqualization(9, -15)",
                           "setLocalVoiceReverb(2, 250)", "setLocalVoiceReverb(3, 50)", "setLocalVoiceReverb(4, 80)",
                           "setLocalVoiceReverb(0, -10)", "setLocalVoiceReverb(1, -3)"}));
    EXPECT_EQ(m_log.ownArtc(),
              QStringList({"[ARTC_CALL] kivoARTCController::setCustomizeVoiceEffect -> setAudioEffectPreset_自定义人声 effectType: 9"}));
}

TEST_F(EffectsTest, CustomisedVoiceFirstAndLastRowsAreTheirOwn)
{
    c->setCustomizeVoiceEffect(1);
    QStringList j = RtcSim::journal();
    ASSERT_EQ(j.size(), 16);
    EXPECT_EQ(j.first(), QStringLiteral("setLocalVoicePitch(0.8)"));
    EXPECT_EQ(j.at(1), QStringLiteral("setLocalVoiceEqualization(0, -15)"));
    EXPECT_EQ(j.last(), QStringLiteral("setLocalVoiceReverb(1, -12)"));

    RtcSim::clearJournal();
    c->setCustomizeVoiceEffect(16);
    j = RtcSim::journal();
    ASSERT_EQ(j.size(), 16);
    EXPECT_EQ(j.first(), QStringLiteral("setLocalVoicePitch(1.08)"));
    EXPECT_EQ(j.at(10), QStringLiteral("setLocalVoiceEqualization(9, 10)"));
    EXPECT_EQ(j.at(11), QStringLiteral("setLocalVoiceReverb(2, 90)"));
    EXPECT_EQ(j.last(), QStringLiteral("setLocalVoiceReverb(1, -12)"));
}

TEST_F(EffectsTest, CustomisedVoiceOutsideTheTableAppliesRowZero)
{
    for (int type : {0, 17, -1, 1000, -2147483647 - 1}) {
        RtcSim::clearJournal();
        m_log.clear();
        c->setCustomizeVoiceEffect(type);
        EXPECT_EQ(RtcSim::journal(), kRowZero) << type;
        EXPECT_EQ(m_log.ownArtc(),
                  QStringList({QStringLiteral("[ARTC_CALL] kivoARTCController::setCustomizeVoiceEffect -> "
                                              "setAudioEffectPreset_自定义人声 effectType: %1").arg(type)}));
    }
}

TEST_F(EffectsTest, RefusedCallsDoNotStopTheRestOfThePreset)
{
    RtcSim::setReturnCode(QStringLiteral("setLocalVoicePitch"), -2);
    RtcSim::setReturnCode(QStringLiteral("setLocalVoiceEqualization"), -2);
    c->setCustomizeVoiceEffect(0);
    EXPECT_EQ(RtcSim::journal(), kRowZero);
    EXPECT_TRUE(m_log.ownArtc().filter(QStringLiteral("[ARTC_RET]")).isEmpty());
}

TEST_F(EffectsTest, CustomisedVoiceWithoutEngineOnlyLogs)
{
    dropEngine();
    c->setCustomizeVoiceEffect(3);
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    EXPECT_EQ(m_log.ownArtc(),
              QStringList({"[ARTC_CALL] kivoARTCController::setCustomizeVoiceEffect -> setAudioEffectPreset_自定义人声 effectType: 3"}));
}

TEST_F(EffectsTest, PresetGivenDirectlyReachesTheEngineAsIs)
{
    c->applyVoicePreset({150, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    EXPECT_EQ(RtcSim::journal(),
              QStringList({"setLocalVoicePitch(1.5)",
                           "setLocalVoiceEqualization(0, 1)", "setLocalVoiceEqualization(1, 2)",
                           "setLocalVoiceEqualization(2, 3)", "setLocalVoiceEqualization(3, 4)",
                           "setLocalVoiceEqualization(4, 5)", "setLocalVoiceEqualization(5, 6)",
                           "setLocalVoiceEqualization(6, 7)", "setLocalVoiceEqualization(7, 8)",
                           "setLocalVoiceEqualization(8, 9)", "setLocalVoiceEqualization(9, 10)",
                           "setLocalVoiceReverb(2, 11)", "setLocalVoiceReverb(3, 12)", "setLocalVoiceReverb(4, 13)",
                           "setLocalVoiceReverb(0, 14)", "setLocalVoiceReverb(1, 15)"}));
    EXPECT_TRUE(m_log.ownArtc().isEmpty());
    dropEngine();
    c->applyVoicePreset({150, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    EXPECT_TRUE(RtcSim::journal().isEmpty());
}

// Engine presets.

TEST_F(EffectsTest, VoiceEffectPassesThePresetNumberAndLogsTheCode)
{
    c->setVoiceEffect(0x02010100);
    RtcSim::setReturnCode(QStringLiteral("setAudioEffectPreset"), -7);
    c->setVoiceEffect(-3);
    EXPECT_EQ(RtcSim::journal(), QStringList({"setAudioEffectPreset(33620224)", "setAudioEffectPreset(-3)"}));
    EXPECT_EQ(m_log.ownArtc(),
              QStringList({"[ARTC_CALL] kivoARTCController::setVoiceEffect -> setAudioEffectPreset effectType: 33620224",
                           "[ARTC_RET] kivoARTCController::setVoiceEffect -> setAudioEffectPreset result 0",
                           "[ARTC_CALL] kivoARTCController::setVoiceEffect -> setAudioEffectPreset effectType: -3",
                           "[ARTC_RET] kivoARTCController::setVoiceEffect -> setAudioEffectPreset result -7"}));
}

TEST_F(EffectsTest, VoiceEffectWithoutEngineDoesNothing)
{
    dropEngine();
    c->setVoiceEffect(1);
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    EXPECT_TRUE(m_log.ownArtc().isEmpty());
}

// Gift sounds.

TEST_F(EffectsTest, MusicPlaysTheFileOnceAsUtf8)
{
    c->startPlayMusic(QStringLiteral("gift/礼物 1.mp3"));
    c->stopPlayMusic();
    EXPECT_EQ(RtcSim::journal(), QStringList({"startAudioMixing(gift/礼物 1.mp3, true, false, 1)", "stopAudioMixing()"}));
    EXPECT_EQ(m_log.ownArtc(),
              QStringList({"[ARTC] kivoARTCController::startPlayMusic startPlayMusic：giftPath=gift/礼物 1.mp3",
                           "[ARTC_CALL] kivoARTCController::startPlayMusic -> startAudioMixing parameters: gift/礼物 1.mp3  true  false  1",
                           "[ARTC_RET] kivoARTCController::startPlayMusic -> startAudioMixing result  0",
                           "[ARTC] kivoARTCController::stopPlayMusic stopPlayMusic",
                           "[ARTC_CALL] kivoARTCController::stopPlayMusic -> stopAudioMixing",
                           "[ARTC_RET] kivoARTCController::stopPlayMusic -> stopAudioMixing result  0"}));
}

TEST_F(EffectsTest, MusicCodesAreLogged)
{
    c->startPlayMusic(QString());
    RtcSim::setReturnCode(QStringLiteral("stopAudioMixing"), -5);
    c->stopPlayMusic();
    const QStringList ret = m_log.ownArtc().filter(QStringLiteral("[ARTC_RET]"));
    EXPECT_EQ(ret, QStringList({"[ARTC_RET] kivoARTCController::startPlayMusic -> startAudioMixing result  -2",
                                "[ARTC_RET] kivoARTCController::stopPlayMusic -> stopAudioMixing result  -5"}));
}

TEST_F(EffectsTest, MusicWithoutEngineOnlyLogsTheRequest)
{
    dropEngine();
    c->startPlayMusic(QStringLiteral("a.mp3"));
    c->stopPlayMusic();
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC] kivoARTCController::startPlayMusic startPlayMusic：giftPath=a.mp3",
                                            "[ARTC] kivoARTCController::stopPlayMusic stopPlayMusic"}));
}

// Network probe.

TEST_F(EffectsTest, SpeedTestProbesBothWaysAndIsStoppedByItsReports)
{
    EXPECT_TRUE(c->startSpeedTest());
    EXPECT_EQ(RtcSim::journal().value(0), QStringLiteral("startLastmileProbeTest(true, true, 5000000, 5000000)"));
    EXPECT_EQ(m_log.ownArtc(),
              QStringList({"[ARTC] kivoARTCController::startSpeedTest startLastmileProbeTest",
                           "[ARTC_CALL] kivoARTCController::startSpeedTest -> startLastmileProbeTest probeUplink: true "
                           "probeDownlink: true expectedUplinkBitrate 5000000 expectedDownlinkBitrate 5000000",
                           "[ARTC_RET] kivoARTCController::startSpeedTest -> startLastmileProbeTest result 0"}));
    EXPECT_TRUE(waitUntil([] { return RtcSim::calls().count(QStringLiteral("stopLastmileProbeTest")) == 2; }));
}

TEST_F(EffectsTest, SpeedTestRefusedReturnsFalse)
{
    RtcSim::setReturnCode(QStringLiteral("startLastmileProbeTest"), -1);
    EXPECT_FALSE(c->startSpeedTest());
    EXPECT_EQ(lastOf(m_log.ownArtc()), QStringLiteral("[ARTC_RET] kivoARTCController::startSpeedTest -> startLastmileProbeTest result -1"));
    settle();
    EXPECT_EQ(RtcSim::calls(), QStringList({"startLastmileProbeTest"}));
}

TEST_F(EffectsTest, SpeedTestWithoutEngineReturnsFalse)
{
    dropEngine();
    EXPECT_FALSE(c->startSpeedTest());
    EXPECT_TRUE(RtcSim::journal().isEmpty());
    EXPECT_EQ(m_log.ownArtc(), QStringList({"[ARTC] kivoARTCController::startSpeedTest startLastmileProbeTest"}));
}
