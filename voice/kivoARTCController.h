#pragma once

#include "ARTCVideoProfile.h"
#include "ARTCVideoSettings.h"
#include "VARTCVideoFrameCallback.h"
#include "VideoFrameItem.h"
#include "stuRtcUserInfo.h"

#include "agora/IRtcEngine.h"
#include "agora/IRtcEngineEventHandler.h"

#include <QList>
#include <QMap>
#include <mutex>
#include <QObject>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <functional>

// Device name and device id, in the order the engine enumerates them.
typedef QList<QPair<QString, QString>> ARTCDeviceList;

// The one process-wide wrapper of the voice engine, and at the same time its event handler.
// Operations run on the GUI thread; the engine calls the handler on its own thread, whose
// signals reach GUI-thread receivers queued. The work is split by concern over
// kivoARTCController*.cpp (set-up, rooms, audio, push, effects, video, events, statistics
// texts).
class kivoARTCController : public QObject, public agora::rtc::IRtcEngineEventHandler
{
    Q_OBJECT
public:
    static kivoARTCController *getInstance();
    // Runs the whole engine set-up. The client uses getInstance; tests build their own.
    kivoARTCController();
    ~kivoARTCController() override;

    // Shows the two set-up failure boxes instead of a blocking QMessageBox (title, text).
    // An empty function restores the box.
    static void setMessageBoxSeam(std::function<void(const QString &, const QString &)> seam);

    // Log-only operations outside the engine's handler interface.
    virtual void onApiCallExecuted(int err, const char *api, const char *result);
    virtual void onRemoteAudioMixingBegin();
    virtual void onRemoteAudioMixingEnd();
    virtual void onStreamMessage(agora::rtc::uid_t uid, int streamId, const char *data, size_t length);
    virtual void onMediaEngineLoadSuccess();
    virtual void onMediaEngineStartCallSuccess();
    virtual void onStreamInjectedStatus(const char *url, agora::rtc::uid_t uid, int status);

    void release();
    QString version();

    // Rooms and roles.
    bool isReady() const;
    void setSDKUserInfo(const stuRtcUserInfo &info);
    bool enterSDKRoom(const QString &roomId);
    bool exitSDKRoom();
    bool switchSDKRole(int role);
    void startVoice();
    void stopVoice();
    bool setPcmDump(bool on);
    QString lastRoomId() const;
    // The number of the latest enterSDKRoom or exitSDKRoom call. Each call takes the next number
    // as it starts, so a caller reading this just before a call knows that call's number.
    quint64 roomRequest() const { return m_roomRequest; }
    // An engine error fails the enter for roomId: its join, under way or reported since, is left
    // before the enter is answered, so the client is not in a room the page is told it did not
    // enter. True when there was nothing to leave or the engine accepted the leave; false when
    // the engine refused it, so that join goes on and the enter must not be answered failed.
    bool leaveFailedJoin(const QString &roomId);
    // The latest room request whose join is done: the join of the room it asked for was reported
    // (or it found the client in that room). An enter waiting since an earlier request for that
    // room is then done too.
    quint64 joinedRoomRequest() const;

    // Audio devices, volumes and processing.
    bool setMuteLocalAudioStream(bool mute);
    bool setMuteRemoteAudioStream(unsigned int uid, bool mute);
    bool setMuteAllRemoteAudioStreams(bool mute);
    bool setEnableLoopbackRecording(bool enabled);
    QString getCurrentSpeakerDevice();
    QString getCurrentMicDevice();
    const ARTCDeviceList &getSpeakList();
    const ARTCDeviceList &getMicList();
    bool setSpeakDevice(const QString &deviceId);
    bool setMicDevice(const QString &deviceId);
    bool setSpeakerVoice(int volume);
    bool setMicVoice(int volume);
    bool setMicDeviceVoice(int volume);
    int getMicDeviceVoice();
    void setANS(bool on);
    void setAGC(bool on);
    void setAEC(bool on);
    bool getANS() const { return m_ans; }
    bool getAGC() const { return m_agc; }
    bool getAEC() const { return m_aec; }
    void setForceAEC(bool forced);
    bool getMicSilent() const { return m_micSilent; }
    bool getLoopbackRecording() const { return m_loopback; }
    int setOnlyReportMicVolume(bool on);

    // RTMP push and media relay.
    bool startRtmpStream(const QString &url, bool transcodingEnabled, const QSet<unsigned int> &otherUids);
    bool setMixInfo(const QString &url, const QSet<unsigned int> &otherUids);
    bool stopMixInfo();
    bool stopRtmpStream(bool clearUrls);
    bool connectOtherSDKRoom(const QString &roomId, unsigned int uid);
    bool disconnectOtherSDKRoom();
    bool pauseAllChannelMediaRelay();
    bool resumeAllChannelMediaRelay();

    // Voice effects, music and the network probe.
    typedef std::array<int, 16> VoicePreset;
    void setVoiceEffect(int effectType);
    void setCustomizeVoiceEffect(int effectType);
    // Pitch value (100 = unchanged), the gains of bands 0 to 9, and the reverb values of keys
    // 2, 3, 4, 0 and 1.
    void applyVoicePreset(const VoicePreset &values);
    void startPlayMusic(const QString &path);
    void stopPlayMusic();
    bool startSpeedTest();

    // Camera and video.
    void initVideoParams();
    ARTCVideoSettings videoSettings() const { return m_videoSettings; }
    void setVideoEncParam_(ARTCVideoSettings settings);
    void applyOrientation(ARTCVideoSettings &settings, int orientationMode, int width, int height);
    void setResolution(int profileId);
    void setResMode(int mode);
    void setFPS(int fps);
    void setBitrate(int bitrate);
    int resolutionAspectClass(int profileId);
    ARTCVideoProfile getVideoSettings();
    void setVideoSettings(const ARTCVideoProfile &profile);
    void setUseVideo(bool on);
    ARTCDeviceList getCameraList();
    void setLocalCamera(const QPair<QString, QString> &camera, bool lookUp);
    void openLocalCamera(VideoFrameSink sink);
    void closeLocalCamera();
    void openRemoteCamera(const QString &userId, VideoFrameSink sink);
    void closeRemoteCamera(const QString &userId);
    bool isRemoteVideoUser(const QString &userId) const;
    bool hasRemoteVideoSizes(const QStringList &userIds) const;
    QRect remotePictureRect(unsigned int uid, int containerWidth, int containerHeight, const QRect &fallback) const;

    // Statistics texts and geometry helpers; they touch no state.
    static QString formatRtcStats(const agora::rtc::RtcStats &stats);
    static QString formatLastmileProbeResult(const agora::rtc::LastmileProbeResult &result);
    static QString formatLocalAudioStats(const agora::rtc::LocalAudioStats &stats);
    static QString formatRemoteAudioStats(const agora::rtc::RemoteAudioStats &stats);
    static QString formatAudioVolumeInfo(const agora::rtc::AudioVolumeInfo *speakers, unsigned int count);
    static QRect fitRect(int containerWidth, int containerHeight, int contentWidth, int contentHeight);
    static int swapInts(int &a, int &b);

    // Engine events (engine thread).
    void onJoinChannelSuccess(const char *channel, agora::rtc::uid_t uid, int elapsed) override;
    void onRejoinChannelSuccess(const char *channel, agora::rtc::uid_t uid, int elapsed) override;
    void onLeaveChannel(const agora::rtc::RtcStats &stats) override;
    void onClientRoleChanged(agora::rtc::CLIENT_ROLE_TYPE oldRole, agora::rtc::CLIENT_ROLE_TYPE newRole) override;
    void onError(int err, const char *msg) override;
    void onAudioVolumeIndication(const agora::rtc::AudioVolumeInfo *speakers, unsigned int speakerNumber,
                                 int totalVolume) override;
    void onUserJoined(agora::rtc::uid_t uid, int elapsed) override;
    void onUserOffline(agora::rtc::uid_t uid, int reason) override;
    void onConnectionLost() override;
    void onRequestToken() override;
    void onTokenPrivilegeWillExpire(const char *token) override;
    void onAudioPublishStateChanged(const char *channel, int oldState, int newState, int elapseSinceLastState) override;
    void onAudioSubscribeStateChanged(const char *channel, agora::rtc::uid_t uid, int oldState, int newState,
                                      int elapseSinceLastState) override;
    void onActiveSpeaker(agora::rtc::uid_t uid) override;
    void onAudioDeviceStateChanged(const char *deviceId, int deviceType, int deviceState) override;
    void onAudioDeviceVolumeChanged(int deviceType, int volume, bool muted) override;
    void onAudioMixingStateChanged(int state, int errorCode) override;
    void onAudioEffectFinished(int soundId) override;
    void onStreamMessageError(agora::rtc::uid_t uid, int streamId, int code, int missed, int cached) override;
    void onFirstLocalAudioFramePublished(int elapsed) override;
    void onRtmpStreamingEvent(const char *url, int eventCode) override;
    void onTranscodingUpdated() override;
    void onConnectionStateChanged(int state, int reason) override;
    void onNetworkTypeChanged(int type) override;
    void onLocalUserRegistered(agora::rtc::uid_t uid, const char *userAccount) override;
    void onUserInfoUpdated(agora::rtc::uid_t uid, const agora::rtc::UserInfo &info) override;
    void onUploadLogResult(const char *requestId, bool success, int reason) override;
    void onLocalAudioStateChanged(int state, int error) override;
    void onRemoteAudioStateChanged(agora::rtc::uid_t uid, int state, int reason, int elapsed) override;
    void onRemoteAudioStats(const agora::rtc::RemoteAudioStats &stats) override;
    void onChannelMediaRelayStateChanged(int state, int code) override;
    void onRtmpStreamingStateChanged(const char *url, int state, int errCode) override;
    void onLastmileQuality(int quality) override;
    void onLastmileProbeResult(const agora::rtc::LastmileProbeResult &result) override;
    void onVideoDeviceStateChanged(const char *deviceId, int deviceType, int deviceState) override;
    void onLocalVideoStateChanged(int state, int error) override;
    void onRemoteVideoStateChanged(agora::rtc::uid_t uid, int state, int reason, int elapsed) override;
    void onFirstLocalVideoFrame(int width, int height, int elapsed) override;
    void onFirstLocalVideoFramePublished(int elapsed) override;
    void onFirstRemoteVideoFrame(agora::rtc::uid_t uid, int width, int height, int elapsed) override;
    void onFirstRemoteVideoDecoded(agora::rtc::uid_t uid, int width, int height, int elapsed) override;
    void onUserMuteVideo(agora::rtc::uid_t uid, bool muted) override;
    void onVideoSizeChanged(agora::rtc::uid_t uid, int width, int height, int rotation) override;

signals:
    void sigSDKError(int code, QString msg);
    void sigEnterSDKRoomSuc();
    void sigExitSDKRoomSuc();
    void sigSwitchSDKRoleSuc();
    void sigLocalAudioReady(bool ready);
    void sigRemoteAudioAvailable(QString userId, bool available);
    void sigUserVoiceVolume(QString userId, int volume);
    void sigUserVoiceVolumeRemote(QStringList mapVolume);
    void sigConnectOtherRoom(int state, int errCode);
    void sigDisconnectOtherRoom(int state, int errCode);
    void sigRtmpStreamingStateChangedError(int state, int errCode);
    void sigSpeakerVolume(QString userId, int volume);
    void sigCameraReady(bool ready);
    void sigCameraOpenFailed();
    void sigRemoteVideoAvailable(QString userId, bool available, bool bStopped);
    void sigRemoteUserLeaveRoom(QString userId);
    // For the page's waiting enters, on the calling thread: room request `request`, an exit or an
    // enter for another room, ends every join asked for before it.
    void sigSDKRoomJoinCancelled(quint64 request);

private:
    static void showSetupFailure(const QString &text);
    // The leave steps of exitSDKRoom; true when the engine accepted the leave.
    bool leaveSDKChannel(const QString &roomId);
    // The engine's interfaces, obtained per operation; callers release them.
    template<typename T>
    T *queryEngine(agora::rtc::INTERFACE_ID_TYPE iid) const;
    void stopLastmileProbe(const char *label, const char *resultLabel);
    // The room record as one reading under the lock: the room the engine is in, whether a join is
    // under way, and the room last asked for.
    struct RoomSnapshot
    {
        QString joined;
        bool joinPending;
        QString last;
    };
    RoomSnapshot roomSnapshot() const;
    QString lastRoomIdLocked() const;
    QPair<QString, QString> selectedCamera() const;
    unsigned int ownUid() const;

    // Read on the engine's thread too.
    std::atomic<agora::rtc::IRtcEngine *> m_engine{nullptr};
    QString m_appId;
    stuRtcUserInfo m_userInfo; // guarded by m_stateLock
    bool m_debugRecording = false;
    QString m_lastRoomId; // guarded by m_stateLock
    // The room request that set m_lastRoomId, and the latest one joined; guarded by m_stateLock.
    quint64 m_enterRequest = 0;
    quint64 m_joinedRequest = 0;
    quint64 m_roomRequest = 0; // GUI thread only
    std::atomic<bool> m_inRoom{false};
    // The room the engine is in: set by the join report of a join under way, cleared when the
    // engine accepts a leave. Unlike m_lastRoomId it never names a room asked for and refused,
    // and unlike m_inRoom it does not wait for the leave report. Guarded by m_stateLock.
    QString m_joinedRoom;
    // A join the engine accepted and has not reported yet; a leave cancels it, so a report that
    // comes after the leave is not taken. Guarded by m_stateLock.
    bool m_joinPending = false;
    // No engine error came since that join was asked: an error may have ended it, and the engine
    // reports no leave of a join it ended. Guarded by m_stateLock.
    bool m_joinMayReport = false;
    // The room of the first join left before it was reported since the engine's last report: the
    // engine may have joined just before that leave, and the join's report, on its way then, comes
    // before any other (a later join cannot be made before it, nor before that leave's report).
    // Such a report is not the report of a join of that room asked since. Guarded by m_stateLock.
    QString m_staleJoinRoom;
    std::atomic<bool> m_relayRequested{false};
    ARTCDeviceList m_speakerList;
    ARTCDeviceList m_micList;
    bool m_ans = false;
    bool m_agc = false;
    bool m_aec = false;
    bool m_forceAec = false;
    bool m_micSilent = true;
    bool m_loopback = false;
    ARTCDeviceList m_cameraList;
    QPair<QString, QString> m_selectedCamera; // guarded by m_stateLock
    ARTCVideoSettings m_videoSettings;
    QString m_mixPushUrl;
    QString m_singlePushUrl;
    QMap<unsigned int, QPoint> m_remoteVideoSizes; // guarded by m_stateLock
    QSet<QString> m_remoteVideoUsers;              // guarded by m_stateLock
    VARTCVideoFrameCallback m_frameCallback;
    // Guards what the engine's thread reads or writes besides the atomics.
    mutable std::mutex m_stateLock;
};

template<typename T>
T *kivoARTCController::queryEngine(agora::rtc::INTERFACE_ID_TYPE iid) const
{
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return nullptr;
    void *inter = nullptr;
    if (engine->queryInterface(iid, &inter) != 0)
        return nullptr;
    return static_cast<T *>(inter);
}
