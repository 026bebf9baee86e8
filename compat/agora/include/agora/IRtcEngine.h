#pragma once

#include "agora/IRtcEngineEventHandler.h"
#include "agora/RtcBase.h"

namespace agora {
namespace rtc {

// The voice and video engine. One per process: createAgoraRtcEngine hands out the same
// engine until the static release ends it.
class IRtcEngine
{
public:
    // Ends the engine made by createAgoraRtcEngine. When it returns no event runs any more.
    static void release(bool sync = false);

    virtual int initialize(const RtcEngineContext &context) = 0;
    virtual const char *getVersion(int *build) = 0;
    virtual int queryInterface(INTERFACE_ID_TYPE iid, void **inter) = 0;
    virtual int setParameters(const char *parameters) = 0;

    virtual int setChannelProfile(CHANNEL_PROFILE_TYPE profile) = 0;
    virtual int setClientRole(CLIENT_ROLE_TYPE role) = 0;
    virtual int joinChannel(const char *token, const char *channelId, const char *info, uid_t uid) = 0;
    virtual int leaveChannel() = 0;

    virtual int enableAudio() = 0;
    virtual int setAudioProfile(AUDIO_PROFILE_TYPE profile, AUDIO_SCENARIO_TYPE scenario) = 0;
    virtual int muteLocalAudioStream(bool mute) = 0;
    virtual int muteRemoteAudioStream(uid_t uid, bool mute) = 0;
    virtual int muteAllRemoteAudioStreams(bool mute) = 0;
    virtual int enableAudioVolumeIndication(int interval, int smooth, bool reportVad) = 0;
    virtual int enableLoopbackRecording(bool enabled, const char *deviceName) = 0;
    virtual int adjustPlaybackSignalVolume(int volume) = 0;
    virtual int adjustRecordingSignalVolume(int volume) = 0;
    virtual int adjustAudioMixingPlayoutVolume(int volume) = 0;

    virtual int setAudioEffectPreset(AUDIO_EFFECT_PRESET preset) = 0;
    virtual int setLocalVoicePitch(double pitch) = 0;
    virtual int setLocalVoiceEqualization(AUDIO_EQUALIZATION_BAND_FREQUENCY bandFrequency, int bandGain) = 0;
    virtual int setLocalVoiceReverb(AUDIO_REVERB_TYPE reverbKey, int value) = 0;
    virtual int startAudioMixing(const char *filePath, bool loopback, bool replace, int cycle) = 0;
    virtual int stopAudioMixing() = 0;
    virtual int startLastmileProbeTest(const LastmileProbeConfig &config) = 0;
    virtual int stopLastmileProbeTest() = 0;

    virtual int startRtmpStreamWithoutTranscoding(const char *url) = 0;
    virtual int startRtmpStreamWithTranscoding(const char *url, const LiveTranscoding &transcoding) = 0;
    virtual int updateRtmpTranscoding(const LiveTranscoding &transcoding) = 0;
    virtual int stopRtmpStream(const char *url) = 0;
    virtual int startOrUpdateChannelMediaRelay(const ChannelMediaRelayConfiguration &configuration) = 0;
    virtual int stopChannelMediaRelay() = 0;
    virtual int pauseAllChannelMediaRelay() = 0;
    virtual int resumeAllChannelMediaRelay() = 0;

    virtual int enableVideo() = 0;
    virtual int disableVideo() = 0;
    virtual int enableLocalVideo(bool enabled) = 0;
    virtual int setVideoEncoderConfiguration(const VideoEncoderConfiguration &config) = 0;
    virtual int startPreview() = 0;
    virtual int stopPreview() = 0;
    virtual int muteLocalVideoStream(bool mute) = 0;

protected:
    virtual ~IRtcEngine() = default;
};

} // namespace rtc
} // namespace agora

// The engine, or null when it cannot be made.
agora::rtc::IRtcEngine *createAgoraRtcEngine();
