// The engine's events. They arrive on the engine's thread; signals emitted here reach
// GUI-thread receivers queued.
#include "kivoARTCController.h"

#include "VLogLimiter.h"
#include "VLogText.h"

#include <mutex>
#include <QtDebug>

namespace {

// The engine's texts are UTF-8; a null pointer reads as empty.
QString utf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// A page's requests make the engine report some events as often as it asks: each event's lines
// are limited.
bool admitOn(const char *event)
{
    return VLogLimiter::getInstance()->admit(QStringLiteral("[ARTC_ON] ") + QLatin1String(event));
}

void logOn(const QString &text)
{
    if (VLogLimiter::getInstance()->admit(QStringLiteral("[ARTC_ON] ") + text.section(QLatin1Char(' '), 0, 0)))
        qInfo().noquote() << "[ARTC_ON]" << text;
}

void logVideo(const char *callback, const QString &text)
{
    qInfo().noquote() << "[ARTC]" << QStringLiteral("kivoARTCController::") + QLatin1String(callback) << text;
}

} // namespace

QPair<QString, QString> kivoARTCController::selectedCamera() const
{
    std::lock_guard<std::mutex> locker(m_stateLock);
    return m_selectedCamera;
}

void kivoARTCController::onApiCallExecuted(int err, const char *api, const char *result)
{
    logOn(QStringLiteral("onApiCallExecuted : err=%1,api=%2,result=%3").arg(err).arg(utf8(api), utf8(result)));
}

void kivoARTCController::onRemoteAudioMixingBegin()
{
    logOn(QStringLiteral("onRemoteAudioMixingBegin"));
}

void kivoARTCController::onRemoteAudioMixingEnd()
{
    logOn(QStringLiteral("onRemoteAudioMixingEnd"));
}

void kivoARTCController::onStreamMessage(agora::rtc::uid_t uid, int streamId, const char *data, size_t length)
{
    (void)data;
    logOn(QStringLiteral("onStreamMessage : uid=%1,streamId=%2,length=%3").arg(uid).arg(streamId).arg(length));
}

void kivoARTCController::onMediaEngineLoadSuccess()
{
    logOn(QStringLiteral("onMediaEngineLoadSuccess"));
}

void kivoARTCController::onMediaEngineStartCallSuccess()
{
    logOn(QStringLiteral("onMediaEngineStartCallSuccess"));
}

void kivoARTCController::onStreamInjectedStatus(const char *url, agora::rtc::uid_t uid, int status)
{
    logOn(QStringLiteral("onStreamInjectedStatus : url=%1,uid=%2,status=%3")
              .arg(VLogText::cut(utf8(url), VLogText::Page)).arg(uid).arg(status));
}

void kivoARTCController::onJoinChannelSuccess(const char *channel, agora::rtc::uid_t uid, int elapsed)
{
    const QString joined = utf8(channel);
    QString last;
    bool taken = false;
    {
        std::lock_guard<std::mutex> locker(m_stateLock);
        last = m_lastRoomId;
        // The join completes the enter that asked for this room last, if that join is still
        // under way (a leave accepted since makes its report stale) or the room is already the
        // joined one (a second report). The first report after such a leave is the left join's
        // when it names that room, even if the room was asked for again since.
        const bool stale = m_staleJoinRoom == joined;
        m_staleJoinRoom.clear();
        taken = !stale && !last.isEmpty() && last == joined && (m_joinPending || m_joinedRoom == joined);
        if (taken) {
            m_joinedRequest = m_enterRequest;
            m_joinedRoom = joined;
            m_joinPending = false;
        }
    }
    const bool inRoom = m_inRoom.load();
    if (admitOn("onJoinChannelSuccess"))
        qInfo().noquote() << "[ARTC_ON]"
                          << QStringLiteral("onJoinChannelSuccess : channel[%1], uid[%2], elapsed[%3]")
                              .arg(VLogText::cut(joined, VLogText::Page)).arg(uid).arg(elapsed)
                          << QStringLiteral("最近请求进房：%1").arg(VLogText::cut(last, VLogText::Page))
                          << QStringLiteral("是否已经进房：%1").arg(inRoom);
    if (!taken) {
        if (VLogLimiter::getInstance()->admit(QStringLiteral("[ARTC] kivoARTCController::onJoinChannelSuccess")))
            qInfo().noquote() << "[ARTC]" << "kivoARTCController::onJoinChannelSuccess"
                              << "当前用户进入房间但房间id不同或者都为空" << VLogText::cut(last, VLogText::Page) << inRoom
                              << VLogText::cut(joined, VLogText::Page) << uid << elapsed;
        return;
    }
    m_inRoom = true;
    emit sigEnterSDKRoomSuc();
}

void kivoARTCController::onRejoinChannelSuccess(const char *channel, agora::rtc::uid_t uid, int elapsed)
{
    logOn(QStringLiteral("onRejoinChannelSuccess : channel=%1,uid=%2,elapsed=%3")
              .arg(VLogText::cut(utf8(channel), VLogText::Page)).arg(uid).arg(elapsed));
}

void kivoARTCController::onLeaveChannel(const agora::rtc::RtcStats &stats)
{
    {
        // A join report on its way at a leave has come by now.
        std::lock_guard<std::mutex> locker(m_stateLock);
        m_staleJoinRoom.clear();
    }
    if (admitOn("onLeaveChannel"))
        qInfo().noquote() << "[ARTC_ON]" << QStringLiteral("onLeaveChannel : stats：%1").arg(formatRtcStats(stats))
                          << QStringLiteral("最近请求进房：%1").arg(VLogText::cut(lastRoomIdLocked(), VLogText::Page))
                          << QStringLiteral("是否已经进房：%1").arg(m_inRoom.load());
    if (!m_engine.load())
        return;
    m_inRoom = false;
    emit sigExitSDKRoomSuc();
}

void kivoARTCController::onClientRoleChanged(agora::rtc::CLIENT_ROLE_TYPE oldRole, agora::rtc::CLIENT_ROLE_TYPE newRole)
{
    if (admitOn("onClientRoleChanged"))
        qInfo().noquote() << "[ARTC_ON]"
                          << QStringLiteral("onClientRoleChanged : oldRole=%1,newRole=%2").arg(static_cast<int>(oldRole)).arg(static_cast<int>(newRole))
                          << QStringLiteral("最近请求进房：%1").arg(VLogText::cut(lastRoomIdLocked(), VLogText::Page))
                          << QStringLiteral("是否已经进房：%1").arg(m_inRoom.load());
    emit sigSwitchSDKRoleSuc();
}

void kivoARTCController::onError(int err, const char *msg)
{
    const QString text = utf8(msg);
    logOn(QStringLiteral("onError : errorCode[%1], errorInfo[%2]").arg(err).arg(text));
    {
        // It may have ended the join under way; a join report on its way at a leave has come.
        std::lock_guard<std::mutex> locker(m_stateLock);
        m_joinMayReport = false;
        m_staleJoinRoom.clear();
    }
    emit sigSDKError(err, text);
}

void kivoARTCController::onAudioVolumeIndication(const agora::rtc::AudioVolumeInfo *speakers, unsigned int speakerNumber,
                                                 int totalVolume)
{
    if (!speakers || speakerNumber == 0)
        return;
    if (speakerNumber == 1 && speakers[0].uid == 0) {
        emit sigUserVoiceVolume(QString(), totalVolume);
        emit sigSpeakerVolume(QString(), static_cast<int>(speakers[0].volume));
        return;
    }
    QStringList volumes;
    for (unsigned int i = 0; i < speakerNumber; ++i)
        volumes << QStringLiteral("%1|%2").arg(speakers[i].uid).arg(speakers[i].volume);
    emit sigUserVoiceVolumeRemote(volumes);
}

void kivoARTCController::onUserJoined(agora::rtc::uid_t uid, int elapsed)
{
    logOn(QStringLiteral("onUserJoined : uid=%1,elapsed=%2").arg(uid).arg(elapsed));
}

void kivoARTCController::onUserOffline(agora::rtc::uid_t uid, int reason)
{
    logOn(QStringLiteral("onUserOffline : uid=%1,reason=%2").arg(uid).arg(reason));
    emit sigRemoteUserLeaveRoom(QString::number(uid));
}

void kivoARTCController::onConnectionLost()
{
    logOn(QStringLiteral("onConnectionLost"));
}

void kivoARTCController::onRequestToken()
{
    logOn(QStringLiteral("onRequestToken"));
}

void kivoARTCController::onTokenPrivilegeWillExpire(const char *token)
{
    logOn(QStringLiteral("TokenonTokenPrivilegeWillExpire : token=%1").arg(VLogText::cut(utf8(token), VLogText::Page)));
}

void kivoARTCController::onAudioPublishStateChanged(const char *channel, int oldState, int newState, int elapseSinceLastState)
{
    logOn(QStringLiteral("onAudioPublishStateChanged : channel=%1,oldState=%2,newState=%3,elapseSinceLastState=%4")
              .arg(VLogText::cut(utf8(channel), VLogText::Page)).arg(oldState).arg(newState).arg(elapseSinceLastState));
}

void kivoARTCController::onAudioSubscribeStateChanged(const char *channel, agora::rtc::uid_t uid, int oldState,
                                                      int newState, int elapseSinceLastState)
{
    logOn(QStringLiteral("onAudioSubscribeStateChanged : channel=%1,uid=%2,oldState=%3,newState=%4,elapseSinceLastState=%5")
              .arg(VLogText::cut(utf8(channel), VLogText::Page))
              .arg(uid).arg(oldState).arg(newState).arg(elapseSinceLastState));
}

void kivoARTCController::onActiveSpeaker(agora::rtc::uid_t uid)
{
    logOn(QStringLiteral("onActiveSpeaker : uid=%1").arg(uid));
}

void kivoARTCController::onAudioDeviceStateChanged(const char *deviceId, int deviceType, int deviceState)
{
    logOn(QStringLiteral("onAudioDeviceStateChanged : deviceId=%1,deviceType=%2,deviceState=%3")
              .arg(utf8(deviceId)).arg(deviceType).arg(deviceState));
}

void kivoARTCController::onAudioDeviceVolumeChanged(int deviceType, int volume, bool muted)
{
    logOn(QStringLiteral("onAudioDeviceVolumeChanged : deviceType=%1,volume=%2,muted=%3").arg(deviceType).arg(volume).arg(muted));
}

void kivoARTCController::onAudioMixingStateChanged(int state, int errorCode)
{
    logOn(QStringLiteral("onAudioMixingStateChanged : state=%1,errorCode=%2").arg(state).arg(errorCode));
}

void kivoARTCController::onAudioEffectFinished(int soundId)
{
    logOn(QStringLiteral("onAudioEffectFinished : soundId=%1").arg(soundId));
}

void kivoARTCController::onStreamMessageError(agora::rtc::uid_t uid, int streamId, int code, int missed, int cached)
{
    logOn(QStringLiteral("onStreamMessageError : uid=%1,streamId=%2,code=%3,missed=%4,cached=%5")
              .arg(uid).arg(streamId).arg(code).arg(missed).arg(cached));
}

void kivoARTCController::onFirstLocalAudioFramePublished(int elapsed)
{
    logOn(QStringLiteral("onFirstLocalAudioFramePublished : elapsed=%1").arg(elapsed));
}

void kivoARTCController::onRtmpStreamingEvent(const char *url, int eventCode)
{
    logOn(QStringLiteral("RTMPonRtmpStreamingEvent : url=%1,eventCode=%2")
              .arg(VLogText::cut(utf8(url), VLogText::Page)).arg(eventCode));
}

void kivoARTCController::onTranscodingUpdated()
{
    logOn(QStringLiteral("onTranscodingUpdated"));
}

void kivoARTCController::onConnectionStateChanged(int state, int reason)
{
    logOn(QStringLiteral("onConnectionStateChanged : state=%1,reason=%2").arg(state).arg(reason));
}

void kivoARTCController::onNetworkTypeChanged(int type)
{
    logOn(QStringLiteral("onNetworkTypeChanged : type=%1").arg(type));
}

void kivoARTCController::onLocalUserRegistered(agora::rtc::uid_t uid, const char *userAccount)
{
    logOn(QStringLiteral("onLocalUserRegistered : uid=%1,userAccount=%2").arg(uid).arg(utf8(userAccount)));
}

void kivoARTCController::onUserInfoUpdated(agora::rtc::uid_t uid, const agora::rtc::UserInfo &info)
{
    const QString account = QString::fromUtf8(info.userAccount, static_cast<int>(qstrnlen(info.userAccount, sizeof info.userAccount)));
    logOn(QStringLiteral("onUserInfoUpdated : uid=%1,info.uid=%2,info.userAccount=%3").arg(uid).arg(info.uid).arg(account));
}

void kivoARTCController::onUploadLogResult(const char *requestId, bool success, int reason)
{
    logOn(QStringLiteral("onUploadLogResult : requestId=%1,success=%2,reason=%3").arg(utf8(requestId)).arg(success).arg(reason));
}

void kivoARTCController::onLocalAudioStateChanged(int state, int error)
{
    logOn(QStringLiteral("onLocalAudioStateChanged : state=%1,error=%2").arg(state).arg(error));
    emit sigLocalAudioReady(state == 1 || state == 2);
}

void kivoARTCController::onRemoteAudioStateChanged(agora::rtc::uid_t uid, int state, int reason, int elapsed)
{
    logOn(QStringLiteral("onRemoteAudioStateChanged : uid=%1,state=%2,reason=%3,elapsed=%4").arg(uid).arg(state).arg(reason).arg(elapsed));
    emit sigRemoteAudioAvailable(QString::number(uid), state == 1 || state == 2);
}

void kivoARTCController::onRemoteAudioStats(const agora::rtc::RemoteAudioStats &stats)
{
    (void)stats;
}

void kivoARTCController::onChannelMediaRelayStateChanged(int state, int code)
{
    logOn(QStringLiteral("onChannelMediaRelayStateChanged : state=%1,code=%2").arg(state).arg(code));
    switch (state) {
    case 0:
        emit sigDisconnectOtherRoom(state, code);
        break;
    case 1:
    case 2:
        emit sigConnectOtherRoom(state, code);
        break;
    case 3:
        if (m_relayRequested.load())
            emit sigConnectOtherRoom(state, code);
        else
            emit sigDisconnectOtherRoom(state, code);
        break;
    default:
        qInfo().noquote() << "[ARTC]" << "kivoARTCController::onChannelMediaRelayStateChanged"
                          << QStringLiteral("跨频道媒体流转发状态的类型不支持：state=%1,code=%2").arg(state).arg(code);
        break;
    }
}

void kivoARTCController::onRtmpStreamingStateChanged(const char *url, int state, int errCode)
{
    logOn(QStringLiteral("onRtmpStreamingStateChanged : url=%1,state=%2,errCode=%3")
              .arg(VLogText::cut(utf8(url), VLogText::Page)).arg(state).arg(errCode));
    emit sigRtmpStreamingStateChangedError(state, errCode);
}

void kivoARTCController::stopLastmileProbe(const char *label, const char *resultLabel)
{
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "stopLastmileProbeTest";
    const int code = engine->stopLastmileProbeTest();
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << resultLabel << code;
}

void kivoARTCController::onLastmileQuality(int quality)
{
    logOn(QStringLiteral("onLastmileQuality : quality=%1").arg(quality));
    stopLastmileProbe("kivoARTCController::onLastmileQuality", "stopLastmileProbeTest onLastmileQuality code:");
}

void kivoARTCController::onLastmileProbeResult(const agora::rtc::LastmileProbeResult &result)
{
    logOn(QStringLiteral("onLastmileProbeResult : %1").arg(formatLastmileProbeResult(result)));
    stopLastmileProbe("kivoARTCController::onLastmileProbeResult", "stopLastmileProbeTest onLastmileProbeResult code:");
}

void kivoARTCController::onVideoDeviceStateChanged(const char *deviceId, int deviceType, int deviceState)
{
    const QString id = utf8(deviceId);
    logVideo("onVideoDeviceStateChanged", QStringLiteral("视频设备变化：deviceId=%1,deviceType=%2,deviceState=%3")
                                              .arg(id).arg(deviceType).arg(deviceState));
    if ((deviceState == 2 || deviceState == 4 || deviceState == 8) && id == selectedCamera().second)
        emit sigCameraReady(false);
}

void kivoARTCController::onLocalVideoStateChanged(int state, int error)
{
    if (state == 1) {
        if (error != 0)
            return;
        logVideo("onLocalVideoStateChanged", QStringLiteral("摄像头准备就绪:%1").arg(selectedCamera().first));
        emit sigCameraReady(true);
    } else if (state == 3) {
        logVideo("onLocalVideoStateChanged", QStringLiteral("摄像头打开失败：state=%1,error=%2").arg(state).arg(error));
        emit sigCameraOpenFailed();
    }
}

void kivoARTCController::onRemoteVideoStateChanged(agora::rtc::uid_t uid, int state, int reason, int elapsed)
{
    logVideo("onRemoteVideoStateChanged", QStringLiteral("远端视频状态发生改变：uid=%1,state=%2,reason=%3,elapsed=%4")
                                              .arg(uid).arg(state).arg(reason).arg(elapsed));
    const bool available = state == 1 || state == 2;
    const bool stopped = state == 0;
    QSet<QString> users;
    {
        std::lock_guard<std::mutex> locker(m_stateLock);
        users = m_remoteVideoUsers;
    }
    qInfo().noquote() << "[ARTC]" << "kivoARTCController::onRemoteVideoStateChanged"
                      << QStringLiteral("用户%1画面状态:%2").arg(uid).arg(available) << users;
    emit sigRemoteVideoAvailable(QString::number(uid), available, stopped);
}

void kivoARTCController::onFirstLocalVideoFrame(int width, int height, int elapsed)
{
    logVideo("onFirstLocalVideoFrame", QStringLiteral("已显示本地视频首帧：width=%1,height=%2,elapsed=%3").arg(width).arg(height).arg(elapsed));
}

void kivoARTCController::onFirstLocalVideoFramePublished(int elapsed)
{
    logVideo("onFirstLocalVideoFramePublished", QStringLiteral("已发布本地视频首帧：elapsed=%1").arg(elapsed));
}

void kivoARTCController::onFirstRemoteVideoFrame(agora::rtc::uid_t uid, int width, int height, int elapsed)
{
    logVideo("onFirstRemoteVideoFrame", QStringLiteral("已显示首帧远端视频：uid=%1,width=%2,height=%3,elapsed=%4")
                                            .arg(uid).arg(width).arg(height).arg(elapsed));
}

void kivoARTCController::onFirstRemoteVideoDecoded(agora::rtc::uid_t uid, int width, int height, int elapsed)
{
    logVideo("onFirstRemoteVideoDecoded", QStringLiteral("已接收到远端视频%1并完成解码回调：elapsed=%2").arg(uid).arg(elapsed));
    std::lock_guard<std::mutex> locker(m_stateLock);
    if (uid != m_userInfo.uid)
        m_remoteVideoSizes.insert(uid, QPoint(width, height));
}

void kivoARTCController::onUserMuteVideo(agora::rtc::uid_t uid, bool muted)
{
    logVideo("onUserMuteVideo", QStringLiteral("远端用户暂停/恢复发送视频流：uid=%1,muted=%2").arg(uid).arg(muted));
}

void kivoARTCController::onVideoSizeChanged(agora::rtc::uid_t uid, int width, int height, int rotation)
{
    logVideo("onVideoSizeChanged", QStringLiteral("本地或远端视频大小和旋转信息发生改变：uid=%1,width=%2,height=%3,rotation=%4")
                                       .arg(uid).arg(width).arg(height).arg(rotation));
}
