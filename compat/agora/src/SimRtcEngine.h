#pragma once

#include "agora/IRtcEngine.h"
#include "SimMediaEngine.h"
#include "SimState.h"
#include "SimWorker.h"

#include <functional>
#include <mutex>

namespace agora {
namespace sim {

// The simulated engine: answers every call from its state, journals it, and reports events
// later on its worker thread.
class SimRtcEngine : public rtc::IRtcEngine
{
public:
    SimRtcEngine();
    ~SimRtcEngine() override;

    // Stops the worker; true when the engine may be deleted (not released from its own thread).
    bool shutDown();
    // Posts an event for the handler; needs the state's mutex held.
    bool postLocked(const std::function<void(rtc::IRtcEngineEventHandler *)> &event, int delayMs);
    bool postTaskLocked(std::function<void()> task, int delayMs);
    bool waitIdle(int timeoutMs) { return m_worker.waitIdle(timeoutMs); }

    int initialize(const rtc::RtcEngineContext &context) override;
    const char *getVersion(int *build) override;
    int queryInterface(rtc::INTERFACE_ID_TYPE iid, void **inter) override;
    int setParameters(const char *parameters) override;

    int setChannelProfile(rtc::CHANNEL_PROFILE_TYPE profile) override;
    int setClientRole(rtc::CLIENT_ROLE_TYPE role) override;
    int joinChannel(const char *token, const char *channelId, const char *info, rtc::uid_t uid) override;
    int leaveChannel() override;

    int enableAudio() override;
    int setAudioProfile(rtc::AUDIO_PROFILE_TYPE profile, rtc::AUDIO_SCENARIO_TYPE scenario) override;
    int muteLocalAudioStream(bool mute) override;
    int muteRemoteAudioStream(rtc::uid_t uid, bool mute) override;
    int muteAllRemoteAudioStreams(bool mute) override;
    int enableAudioVolumeIndication(int interval, int smooth, bool reportVad) override;
    int enableLoopbackRecording(bool enabled, const char *deviceName) override;
    int adjustPlaybackSignalVolume(int volume) override;
    int adjustRecordingSignalVolume(int volume) override;
    int adjustAudioMixingPlayoutVolume(int volume) override;

    int setAudioEffectPreset(rtc::AUDIO_EFFECT_PRESET preset) override;
    int setLocalVoicePitch(double pitch) override;
    int setLocalVoiceEqualization(rtc::AUDIO_EQUALIZATION_BAND_FREQUENCY bandFrequency, int bandGain) override;
    int setLocalVoiceReverb(rtc::AUDIO_REVERB_TYPE reverbKey, int value) override;
    int startAudioMixing(const char *filePath, bool loopback, bool replace, int cycle) override;
    int stopAudioMixing() override;
    int startLastmileProbeTest(const rtc::LastmileProbeConfig &config) override;
    int stopLastmileProbeTest() override;

    int startRtmpStreamWithoutTranscoding(const char *url) override;
    int startRtmpStreamWithTranscoding(const char *url, const rtc::LiveTranscoding &transcoding) override;
    int updateRtmpTranscoding(const rtc::LiveTranscoding &transcoding) override;
    int stopRtmpStream(const char *url) override;
    int startOrUpdateChannelMediaRelay(const rtc::ChannelMediaRelayConfiguration &configuration) override;
    int stopChannelMediaRelay() override;
    int pauseAllChannelMediaRelay() override;
    int resumeAllChannelMediaRelay() override;

    int enableVideo() override;
    int disableVideo() override;
    int enableLocalVideo(bool enabled) override;
    int setVideoEncoderConfiguration(const rtc::VideoEncoderConfiguration &config) override;
    int startPreview() override;
    int stopPreview() override;
    int muteLocalVideoStream(bool mute) override;

private:
    // Journals the call; false with *code set when it is forced or the engine is not ready.
    bool begin(const QString &name, const QStringList &args, int *code, bool needInit = true);
    int plain(const QString &name, const QStringList &args);
    // Posts onError instead of the normal event when the call has a scripted error.
    bool postScriptedError(const QString &name);

    SimWorker m_worker;
    SimMediaEngine m_mediaEngine;
    QByteArray m_version;
    bool m_relaying = false;
};

} // namespace sim
} // namespace agora
