#pragma once

#include "agora/RtcBase.h"

namespace agora {
namespace rtc {

// Engine events. The engine calls them on its own thread; each has an empty default.
class IRtcEngineEventHandler
{
public:
    virtual ~IRtcEngineEventHandler() = default;

    virtual void onJoinChannelSuccess(const char *channel, uid_t uid, int elapsed) { (void)channel; (void)uid; (void)elapsed; }
    virtual void onRejoinChannelSuccess(const char *channel, uid_t uid, int elapsed) { (void)channel; (void)uid; (void)elapsed; }
    virtual void onLeaveChannel(const RtcStats &stats) { (void)stats; }
    virtual void onClientRoleChanged(CLIENT_ROLE_TYPE oldRole, CLIENT_ROLE_TYPE newRole) { (void)oldRole; (void)newRole; }
    virtual void onError(int err, const char *msg) { (void)err; (void)msg; }
    virtual void onAudioVolumeIndication(const AudioVolumeInfo *speakers, unsigned int speakerNumber, int totalVolume)
    { (void)speakers; (void)speakerNumber; (void)totalVolume; }
    virtual void onUserJoined(uid_t uid, int elapsed) { (void)uid; (void)elapsed; }
    virtual void onUserOffline(uid_t uid, int reason) { (void)uid; (void)reason; }
    virtual void onConnectionLost() {}
    virtual void onRequestToken() {}
    virtual void onTokenPrivilegeWillExpire(const char *token) { (void)token; }
    virtual void onAudioPublishStateChanged(const char *channel, int oldState, int newState, int elapseSinceLastState)
    { (void)channel; (void)oldState; (void)newState; (void)elapseSinceLastState; }
    virtual void onAudioSubscribeStateChanged(const char *channel, uid_t uid, int oldState, int newState,
                                              int elapseSinceLastState)
    { (void)channel; (void)uid; (void)oldState; (void)newState; (void)elapseSinceLastState; }
    virtual void onActiveSpeaker(uid_t uid) { (void)uid; }
    virtual void onAudioDeviceStateChanged(const char *deviceId, int deviceType, int deviceState)
    { (void)deviceId; (void)deviceType; (void)deviceState; }
    virtual void onAudioDeviceVolumeChanged(int deviceType, int volume, bool muted) { (void)deviceType; (void)volume; (void)muted; }
    virtual void onAudioMixingStateChanged(int state, int errorCode) { (void)state; (void)errorCode; }
    virtual void onAudioEffectFinished(int soundId) { (void)soundId; }
    virtual void onStreamMessageError(uid_t uid, int streamId, int code, int missed, int cached)
    { (void)uid; (void)streamId; (void)code; (void)missed; (void)cached; }
    virtual void onFirstLocalAudioFramePublished(int elapsed) { (void)elapsed; }
    virtual void onRtmpStreamingEvent(const char *url, int eventCode) { (void)url; (void)eventCode; }
    virtual void onTranscodingUpdated() {}
    virtual void onConnectionStateChanged(int state, int reason) { (void)state; (void)reason; }
    virtual void onNetworkTypeChanged(int type) { (void)type; }
    virtual void onLocalUserRegistered(uid_t uid, const char *userAccount) { (void)uid; (void)userAccount; }
    virtual void onUserInfoUpdated(uid_t uid, const UserInfo &info) { (void)uid; (void)info; }
    virtual void onUploadLogResult(const char *requestId, bool success, int reason) { (void)requestId; (void)success; (void)reason; }
    virtual void onLocalAudioStateChanged(int state, int error) { (void)state; (void)error; }
    virtual void onRemoteAudioStateChanged(uid_t uid, int state, int reason, int elapsed)
    { (void)uid; (void)state; (void)reason; (void)elapsed; }
    virtual void onRemoteAudioStats(const RemoteAudioStats &stats) { (void)stats; }
    virtual void onChannelMediaRelayStateChanged(int state, int code) { (void)state; (void)code; }
    virtual void onRtmpStreamingStateChanged(const char *url, int state, int errCode) { (void)url; (void)state; (void)errCode; }
    virtual void onLastmileQuality(int quality) { (void)quality; }
    virtual void onLastmileProbeResult(const LastmileProbeResult &result) { (void)result; }
    virtual void onVideoDeviceStateChanged(const char *deviceId, int deviceType, int deviceState)
    { (void)deviceId; (void)deviceType; (void)deviceState; }
    virtual void onLocalVideoStateChanged(int state, int error) { (void)state; (void)error; }
    virtual void onRemoteVideoStateChanged(uid_t uid, int state, int reason, int elapsed)
    { (void)uid; (void)state; (void)reason; (void)elapsed; }
    virtual void onFirstLocalVideoFrame(int width, int height, int elapsed) { (void)width; (void)height; (void)elapsed; }
    virtual void onFirstLocalVideoFramePublished(int elapsed) { (void)elapsed; }
    virtual void onFirstRemoteVideoFrame(uid_t uid, int width, int height, int elapsed)
    { (void)uid; (void)width; (void)height; (void)elapsed; }
    virtual void onFirstRemoteVideoDecoded(uid_t uid, int width, int height, int elapsed)
    { (void)uid; (void)width; (void)height; (void)elapsed; }
    virtual void onUserMuteVideo(uid_t uid, bool muted) { (void)uid; (void)muted; }
    virtual void onVideoSizeChanged(uid_t uid, int width, int height, int rotation)
    { (void)uid; (void)width; (void)height; (void)rotation; }
};

} // namespace rtc
} // namespace agora
