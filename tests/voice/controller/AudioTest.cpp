#include "ControllerFixture.h"

using agora::sim::RtcSim;

class AudioTest : public ControllerFixture
{
protected:
    void SetUp() override
    {
        ControllerFixture::SetUp();
        RtcSim::setPlaybackDevices({{QStringLiteral("扬声器 A"), QStringLiteral("{spk-a}")},
                                    {QStringLiteral("Speaker B"), QStringLiteral("{spk-b}")}});
        RtcSim::setRecordingDevices({{QStringLiteral("麦克风 A"), QStringLiteral("{mic-a}")}});
        RtcSim::setCurrentPlaybackDevice(QStringLiteral("{spk-b}"));
        RtcSim::setCurrentRecordingDevice(QStringLiteral("{mic-a}"));
    }
};

// Device lists.
TEST_F(AudioTest, SpeakerListIsTheEnginesInItsOrder)
{
    kivoARTCController *c = make();
    m_log.clear();
    const ARTCDeviceList list = c->getSpeakList();
    EXPECT_EQ(list, (ARTCDeviceList{{"扬声器 A", "{spk-a}"}, {"Speaker B", "{spk-b}"}}));
    EXPECT_EQ(m_log.artc(),
              QStringList({"[ARTC] kivoARTCController::getSpeakList enumeratePlaybackDevices",
                           "[ARTC] kivoARTCController::getSpeakList enumeratePlaybackDevices result index=0,deviceName=扬声器 A,deviceId={spk-a} 0",
                           "[ARTC] kivoARTCController::getSpeakList enumeratePlaybackDevices result index=1,deviceName=Speaker B,deviceId={spk-b} 0",
                           "[ARTC] kivoARTCController::getSpeakList enumeratePlaybackDevices result count=2"}));
    EXPECT_EQ(c->getMicList(), (ARTCDeviceList{{"麦克风 A", "{mic-a}"}}));
}

TEST_F(AudioTest, ListWithoutEngineIsEmptiedEvenAfterAFill)
{
    kivoARTCController *c = make();
    EXPECT_EQ(c->getSpeakList().size(), 2);
    c->release();
    m_log.clear();
    EXPECT_TRUE(c->getSpeakList().isEmpty());
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC] kivoARTCController::getSpeakList enumeratePlaybackDevices IRtcEngine null"}));
}

TEST_F(AudioTest, DeviceWhoseReadFailsIsStillListedEmpty)
{
    kivoARTCController *c = make();
    RtcSim::setReturnCode(QStringLiteral("getDevice"), -5);
    EXPECT_EQ(c->getMicList(), (ARTCDeviceList{{"", ""}}));
    EXPECT_TRUE(m_log.artc().contains(
        "[ARTC] kivoARTCController::getMicList enumerateRecordingDevices result index=0,deviceName=,deviceId= -5"));
}

TEST_F(AudioTest, MissingDeviceManagerGivesItsLineAndNoResult)
{
    kivoARTCController *c = make();
    RtcSim::setInterfaceAvailable(agora::rtc::AGORA_IID_AUDIO_DEVICE_MANAGER, false);
    m_log.clear();
    EXPECT_TRUE(c->getMicList().isEmpty());
    EXPECT_EQ(c->getCurrentSpeakerDevice(), QString());
    EXPECT_FALSE(c->setSpeakDevice(QStringLiteral("{spk-a}")));
    EXPECT_FALSE(c->setMicDeviceVoice(50));
    EXPECT_EQ(c->getMicDeviceVoice(), -1);
    EXPECT_EQ(m_log.artc(),
              QStringList({"[ARTC] kivoARTCController::getMicList enumerateRecordingDevices IAudioDeviceManager null",
                           "[ARTC] kivoARTCController::getCurrentSpeakerDevice getPlaybackDevice IAudioDeviceManager null",
                           "[ARTC] kivoARTCController::setSpeakDevice setPlaybackDevice IAudioDeviceManager null",
                           "[ARTC] kivoARTCController::setMicDeviceVoice setRecordingDeviceVolume：volumeOriginal=50,volume=50",
                           "[ARTC] kivoARTCController::setMicDeviceVoice setRecordingDeviceVolume IAudioDeviceManager null",
                           "[ARTC] kivoARTCController::getMicDeviceVoice getRecordingDeviceVolume IAudioDeviceManager null"}));
}

TEST_F(AudioTest, LongDeviceNameIsCutAtTheBufferAndIdsStayWhole)
{
    const QString longName = QString(300, QChar(0x9EA6)); // 900 bytes of UTF-8
    RtcSim::setRecordingDevices({{longName, QStringLiteral("{mic-long}")}});
    kivoARTCController *c = make();
    const ARTCDeviceList list = c->getMicList();
    ASSERT_EQ(list.size(), 1);
    EXPECT_LE(list.first().first.toUtf8().size(), 511);
    EXPECT_TRUE(longName.startsWith(list.first().first.left(100)));
    EXPECT_EQ(list.first().second, QStringLiteral("{mic-long}"));
}

// Current device and selection.
TEST_F(AudioTest, CurrentSpeakerIsTheNameOfTheEnginesDevice)
{
    kivoARTCController *c = make();
    m_log.clear();
    EXPECT_EQ(c->getCurrentSpeakerDevice(), QStringLiteral("Speaker B"));
    EXPECT_EQ(m_log.artc(),
              QStringList({"[ARTC] kivoARTCController::getCurrentSpeakerDevice getPlaybackDevice",
                           "[ARTC_CALL] kivoARTCController::getCurrentSpeakerDevice -> getPlaybackDevice arrayDeviceId: ",
                           "[ARTC_RET] kivoARTCController::getCurrentSpeakerDevice -> getPlaybackDevice result {spk-b} 0",
                           "[ARTC_CALL] kivoARTCController::getCurrentSpeakerDevice -> getPlaybackDeviceInfo arrayDeviceId: {spk-b} arrayDeviceName: ",
                           "[ARTC_RET] kivoARTCController::getCurrentSpeakerDevice -> getPlaybackDevice getPlaybackDeviceInfo result Speaker B 0"}));
    EXPECT_EQ(c->getCurrentMicDevice(), QStringLiteral("麦克风 A"));
}

TEST_F(AudioTest, NoCurrentDeviceGivesAnEmptyName)
{
    RtcSim::setCurrentRecordingDevice(QString());
    kivoARTCController *c = make();
    EXPECT_EQ(c->getCurrentMicDevice(), QString());
    EXPECT_FALSE(RtcSim::calls().contains(QStringLiteral("getRecordingDeviceInfo")));
}

TEST_F(AudioTest, SelectingAKnownDeviceSucceedsAndAnUnknownOneFails)
{
    kivoARTCController *c = make();
    m_log.clear();
    EXPECT_TRUE(c->setSpeakDevice(QStringLiteral("{spk-a}")));
    EXPECT_EQ(RtcSim::currentPlaybackDevice(), QStringLiteral("{spk-a}"));
    EXPECT_FALSE(c->setMicDevice(QStringLiteral("{nope}")));
    EXPECT_EQ(RtcSim::currentRecordingDevice(), QStringLiteral("{mic-a}"));
    EXPECT_EQ(m_log.artc(),
              QStringList({"[ARTC] kivoARTCController::setSpeakDevice setPlaybackDevice deviceId={spk-a}",
                           "[ARTC_CALL] kivoARTCController::setSpeakDevice -> setPlaybackDevice arrayDeviceId: {spk-a}",
                           "[ARTC_RET] kivoARTCController::setSpeakDevice -> setPlaybackDevice result {spk-a} 0",
                           "[ARTC] kivoARTCController::setMicDevice setRecordingDevice deviceId={nope}",
                           "[ARTC_CALL] kivoARTCController::setMicDevice -> setRecordingDevice arrayDeviceId: {nope}",
                           "[ARTC_RET] kivoARTCController::setMicDevice -> setRecordingDevice result {nope} -2"}));
}

TEST_F(AudioTest, OverlongDeviceIdIsCutTo511Bytes)
{
    kivoARTCController *c = make();
    RtcSim::clearJournal();
    EXPECT_FALSE(c->setSpeakDevice(QString(700, QLatin1Char('x'))));
    EXPECT_EQ(lastOf(RtcSim::journal()), QStringLiteral("setPlaybackDevice(") + QString(511, QLatin1Char('x')) + ")");
}

// Volumes: clamped to 0..100.
TEST_F(AudioTest, SpeakerVolumeIsClampedAndSetsTheMixingPlayout)
{
    kivoARTCController *c = make();
    RtcSim::clearJournal();
    m_log.clear();
    EXPECT_TRUE(c->setSpeakerVoice(150));
    EXPECT_TRUE(c->setSpeakerVoice(-5));
    EXPECT_EQ(RtcSim::journal(), QStringList({"adjustPlaybackSignalVolume(100)", "adjustAudioMixingPlayoutVolume(100)",
                                              "adjustPlaybackSignalVolume(0)", "adjustAudioMixingPlayoutVolume(0)"}));
    EXPECT_EQ(m_log.artc(),
              QStringList({"[ARTC] kivoARTCController::setSpeakerVoice adjustPlaybackSignalVolume：volumeOriginal=150,volume=100",
                           "[ARTC_CALL] kivoARTCController::setSpeakerVoice -> adjustPlaybackSignalVolume volume: 100",
                           "[ARTC_RET] kivoARTCController::setSpeakerVoice -> adjustPlaybackSignalVolume result 100 0",
                           "[ARTC_RET] kivoARTCController::setSpeakerVoice -> adjustAudioMixingPlayoutVolume 100 result 0",
                           "[ARTC] kivoARTCController::setSpeakerVoice adjustPlaybackSignalVolume：volumeOriginal=-5,volume=0",
                           "[ARTC_CALL] kivoARTCController::setSpeakerVoice -> adjustPlaybackSignalVolume volume: 0",
                           "[ARTC_RET] kivoARTCController::setSpeakerVoice -> adjustPlaybackSignalVolume result 0 0",
                           "[ARTC_CALL] kivoARTCController::setSpeakerVoice -> adjustAudioMixingPlayoutVolume volume: 0",
                           "[ARTC_RET] kivoARTCController::setSpeakerVoice -> adjustAudioMixingPlayoutVolume 0 result 0"}));
}

TEST_F(AudioTest, MicVolumeZeroSilencesEvenWithoutEngine)
{
    kivoARTCController *c = make();
    EXPECT_TRUE(c->getMicSilent());
    EXPECT_TRUE(c->setMicVoice(1));
    EXPECT_FALSE(c->getMicSilent());
    c->release();
    EXPECT_FALSE(c->setMicVoice(0));
    EXPECT_TRUE(c->getMicSilent());
    EXPECT_FALSE(c->setMicVoice(300));
    EXPECT_FALSE(c->getMicSilent());
    EXPECT_EQ(lastOf(m_log.artc()),
              QStringLiteral("[ARTC] kivoARTCController::setMicVoice adjustRecordingSignalVolume：volumeOriginal=300,volume=100"));
}

TEST_F(AudioTest, MicDeviceVolumeIsClampedAndReadBack)
{
    kivoARTCController *c = make();
    EXPECT_TRUE(c->setMicDeviceVoice(250));
    EXPECT_EQ(RtcSim::recordingDeviceVolume(), 100);
    EXPECT_EQ(c->getMicDeviceVoice(), 100);
    RtcSim::setReturnCode(QStringLiteral("getRecordingDeviceVolume"), -1);
    EXPECT_EQ(c->getMicDeviceVoice(), -1);
}

// The three audio-processing switches.
TEST_F(AudioTest, ProcessingSwitchesSendTheirParametersAndKeepTheFlags)
{
    kivoARTCController *c = make();
    c->setANS(true);
    c->setAGC(true);
    c->setAEC(true);
    EXPECT_TRUE(c->getANS());
    EXPECT_TRUE(c->getAGC());
    EXPECT_TRUE(c->getAEC());
    EXPECT_EQ(RtcSim::parameters(), QStringList({"{\"che.audio.ans.enable\":true}", "{\"che.audio.agc.enable\":true}",
                                                 "{\"che.audio.aec.enable\":true}"}));
    c->setANS(false);
    EXPECT_FALSE(c->getANS());
    EXPECT_EQ(lastOf(RtcSim::parameters()), QStringLiteral("{\"che.audio.ans.enable\":false}"));
}

TEST_F(AudioTest, ForcedEchoCancellationWins)
{
    kivoARTCController *c = make();
    c->setForceAEC(true);
    m_log.clear();
    c->setAEC(false);
    EXPECT_FALSE(c->getAEC());
    EXPECT_EQ(lastOf(RtcSim::parameters()), QStringLiteral("{\"che.audio.aec.enable\":true}"));
    EXPECT_EQ(m_log.artc(), QStringList({"[ARTC_CALL] kivoARTCController::setAEC -> setParameters "
                                         "{\"che.audio.aec.enable\":true} ret: 0 bForceAEC: true bAEC: false"}));
}

TEST_F(AudioTest, SwitchesDoNothingWithoutEngine)
{
    kivoARTCController *c = make();
    c->release();
    m_log.clear();
    c->setANS(true);
    EXPECT_FALSE(c->getANS());
    EXPECT_TRUE(m_log.artc().isEmpty());
}

TEST_F(AudioTest, SwitchesAreReappliedOnRoomEntry)
{
    kivoARTCController *c = make();
    c->setAEC(true);
    c->setAGC(true);
    c->setSDKUserInfo({5, QStringLiteral("tok")});
    c->enterSDKRoom(QStringLiteral("1"));
    EXPECT_EQ(RtcSim::parameters().mid(5), QStringList({"{\"che.audio.aec.enable\":true}", "{\"che.audio.ans.enable\":false}",
                                                        "{\"che.audio.agc.enable\":true}"}));
}

// Muting.
TEST_F(AudioTest, MuteCallsLogArgumentsAndResults)
{
    kivoARTCController *c = make();
    m_log.clear();
    RtcSim::clearJournal();
    EXPECT_TRUE(c->setMuteRemoteAudioStream(3000000000u, true));
    EXPECT_TRUE(c->setEnableLoopbackRecording(true));
    EXPECT_TRUE(c->getLoopbackRecording());
    EXPECT_EQ(RtcSim::journal(), QStringList({"muteRemoteAudioStream(3000000000, true)", "enableLoopbackRecording(true, null)"}));
    EXPECT_EQ(m_log.artc(),
              QStringList({"[ARTC] kivoARTCController::setMuteRemoteAudioStream muteRemoteAudioStream：uid=3000000000, bMute=1",
                           "[ARTC_CALL] kivoARTCController::setMuteRemoteAudioStream -> muteRemoteAudioStream uid: 3000000000 mute: true",
                           "[ARTC_RET] kivoARTCController::setMuteRemoteAudioStream -> muteRemoteAudioStream result 3000000000 true 0",
                           "[ARTC] kivoARTCController::setEnableLoopbackRecording enableLoopbackRecording：bLoopback=1",
                           "[ARTC_CALL] kivoARTCController::setEnableLoopbackRecording -> enableLoopbackRecording enabled: true",
                           "[ARTC_RET] kivoARTCController::setEnableLoopbackRecording -> enableLoopbackRecording result true 0"}));
    RtcSim::setReturnCode(QStringLiteral("muteLocalAudioStream"), -3);
    EXPECT_FALSE(c->setMuteLocalAudioStream(false));
}

TEST_F(AudioTest, OverlongIdIsCutBeforeAPartialCharacter)
{
    kivoARTCController *c = make();
    RtcSim::clearJournal();
    // 510 ASCII bytes and then a three-byte character: only the ASCII part fits.
    c->setMicDevice(QString(510, QLatin1Char('a')) + QChar(0x9EA6));
    EXPECT_EQ(lastOf(RtcSim::journal()), QStringLiteral("setRecordingDevice(") + QString(510, QLatin1Char('a')) + ")");
}
