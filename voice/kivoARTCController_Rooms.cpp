// Rooms and roles: the voice channel of a room, speaker and audience.
#include "kivoARTCController.h"

#include "VLogText.h"
#include "agora/IAgoraParameter.h"

#include <mutex>
#include <QtDebug>

bool kivoARTCController::isReady() const
{
    return !m_appId.isEmpty() && ownUid() != 0;
}

unsigned int kivoARTCController::ownUid() const
{
    std::lock_guard<std::mutex> locker(m_stateLock);
    return m_userInfo.uid;
}

QString kivoARTCController::lastRoomIdLocked() const
{
    std::lock_guard<std::mutex> locker(m_stateLock);
    return m_lastRoomId;
}

QString kivoARTCController::lastRoomId() const
{
    return lastRoomIdLocked();
}

kivoARTCController::RoomSnapshot kivoARTCController::roomSnapshot() const
{
    std::lock_guard<std::mutex> locker(m_stateLock);
    return {m_joinedRoom, m_joinPending, m_lastRoomId};
}

quint64 kivoARTCController::joinedRoomRequest() const
{
    std::lock_guard<std::mutex> locker(m_stateLock);
    return m_joinedRequest;
}

void kivoARTCController::setSDKUserInfo(const stuRtcUserInfo &info)
{
    {
        std::lock_guard<std::mutex> locker(m_stateLock);
        m_userInfo = info;
    }
    qInfo().noquote() << "[ARTC]" << "kivoARTCController::setSDKUserInfo" << "设置ARTC登陆信息" << info.uid;
}

bool kivoARTCController::enterSDKRoom(const QString &roomId)
{
    const char *label = "kivoARTCController::enterSDKRoom";
    const quint64 request = ++m_roomRequest;
    // One reading decides: a join reported between two readings would pass for one under way.
    const RoomSnapshot room = roomSnapshot();
    // Only the room the engine reported joined, and has not been asked to leave, is confirmed
    // without it: the last room asked for may have been refused, and the in-room flag stays set
    // while a leave is under way.
    if (!roomId.isEmpty() && room.joined == roomId) {
        qInfo().noquote() << "[ARTC]" << label
                          << QStringLiteral("enterSDKRoom already：roomId=%1").arg(VLogText::cut(roomId, VLogText::Page));
        {
            std::lock_guard<std::mutex> locker(m_stateLock);
            m_joinedRequest = request;
        }
        emit sigEnterSDKRoomSuc();
        return true;
    }
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (roomId.isEmpty() || !isReady() || !engine) {
        qInfo().noquote() << "[ARTC]" << label << "enterSDKRoom null" << VLogText::cut(roomId, VLogText::Page);
        return false;
    }
    qInfo().noquote() << "[ARTC]" << label
                      << QStringLiteral("enterSDKRoom：roomId=%1").arg(VLogText::cut(roomId, VLogText::Page));
    // A join still under way for the room asked before is left first, so it cannot complete
    // after its enter was answered as cancelled. When the engine will not leave it, that join
    // goes on and this enter is refused instead. A join already reported is not cancelled: its
    // enter stands, and the engine refuses this one.
    const bool leavesJoin = room.last != roomId && room.joinPending;
    if (leavesJoin && !leaveSDKChannel(room.last))
        return false;
    stuRtcUserInfo user;
    bool wasPending = false;
    {
        std::lock_guard<std::mutex> locker(m_stateLock);
        m_lastRoomId = roomId;
        m_enterRequest = request;
        user = m_userInfo;
        wasPending = m_joinPending;
    }
    if (leavesJoin)
        emit sigSDKRoomJoinCancelled(request);

    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "setAudioProfile" << "profile:"
                      << "AUDIO_PROFILE_MUSIC_HIGH_QUALITY_STEREO" << "scenario:" << "AUDIO_SCENARIO_GAME_STREAMING";
    int code = engine->setAudioProfile(agora::rtc::AUDIO_PROFILE_MUSIC_HIGH_QUALITY_STEREO,
                                       agora::rtc::AUDIO_SCENARIO_GAME_STREAMING);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "setAudioProfile return:" << code;

    const char *const parameters[] = {
        "{\"che.audio.custom_payload_type\":78}",
        "{\"che.audio.custom_bitrate\":64000}",
        "{\"che.audio.stereo.capture\":false}",
    };
    agora::rtc::IAgoraParameter *parameter = queryEngine<agora::rtc::IAgoraParameter>(agora::rtc::AGORA_IID_PARAMETER_ENGINE);
    for (const char *text : parameters) {
        qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "setParameters" << "parameters:" << text;
        code = parameter ? parameter->setParameters(text) : -agora::rtc::ERR_NOT_READY;
        qInfo().noquote() << "[ARTC_RET]" << label << "->" << "setParameters return:" << code;
    }
    if (parameter)
        parameter->release();

    setAEC(m_aec);
    setANS(m_ans);
    setAGC(m_agc);
    if (m_debugRecording)
        setPcmDump(true);

    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "joinChannel" << "token:"
                      << VLogText::cut(user.token, VLogText::Page) << "channelId:"
                      << VLogText::cut(roomId, VLogText::Page) << "info:" << "NULL" << "uid:" << user.uid;
    // Marked before the call: the engine may report the join before the call returns.
    bool mayReport = false;
    {
        std::lock_guard<std::mutex> locker(m_stateLock);
        mayReport = m_joinPending && m_joinMayReport;
        m_joinPending = true;
        m_joinMayReport = true;
    }
    code = engine->joinChannel(user.token.toUtf8().constData(), roomId.toUtf8().constData(), nullptr, user.uid);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "joinChannel result"
                      << VLogText::cut(roomId, VLogText::Page) << code;
    if (code != 0) {
        // Refused, the join under way before (if any) stays as it was.
        std::lock_guard<std::mutex> locker(m_stateLock);
        m_joinMayReport = m_joinMayReport && mayReport;
        if (!wasPending)
            m_joinPending = false;
    }
    startVoice();
    return code == 0;
}

void kivoARTCController::startVoice()
{
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    const char *label = "kivoARTCController::startVoice";
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "muteLocalAudioStream" << "mute:" << true;
    int code = engine->muteLocalAudioStream(true);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "muteLocalAudioStream enterSDKRoom code:" << code;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "enableAudioVolumeIndication" << "interval:" << 300
                      << "smooth:" << 3 << "report_vad:" << false;
    code = engine->enableAudioVolumeIndication(300, 3, false);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "enableAudioVolumeIndication enterSDKRoom code:" << code;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "muteAllRemoteAudioStreams" << "mute:" << false;
    code = engine->muteAllRemoteAudioStreams(false);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "muteAllRemoteAudioStreams enterSDKRoom code:" << code;
}

bool kivoARTCController::exitSDKRoom()
{
    const char *label = "kivoARTCController::exitSDKRoom";
    const quint64 request = ++m_roomRequest;
    // One reading decides: a join reported between two readings would be taken for one still
    // under way, so the exit would be confirmed without a leave.
    const RoomSnapshot room = roomSnapshot();
    // Out of every room as the engine reported it: never joined, the leave already accepted (also
    // one whose report was an error), or only a join under way.
    if (room.joined.isEmpty()) {
        qInfo().noquote() << "[ARTC]" << label << "exitSDKRoom noEnterRoom";
        // The page is told it left at once, so a join still on its way must not complete; when
        // the engine will not leave it, the exit is refused and that join goes on.
        if (room.joinPending && !leaveSDKChannel(room.last))
            return false;
        emit sigSDKRoomJoinCancelled(request);
        emit sigExitSDKRoomSuc();
        return true;
    }
    const QString roomId = room.last;
    if (!isReady() || !m_engine.load()) {
        qInfo().noquote() << "[ARTC]" << label << "exitSDKRoom null" << VLogText::cut(roomId, VLogText::Page);
        return false;
    }
    if (!leaveSDKChannel(roomId))
        return false;
    // The leave also ends a join asked for since the room was entered.
    emit sigSDKRoomJoinCancelled(request);
    return true;
}

bool kivoARTCController::leaveFailedJoin(const QString &roomId)
{
    // The join of that room, under way or reported since, is the failed enter's own: a later exit
    // or enter for another room has left it already, and an enter for a room the engine is in is
    // answered at once and never fails. Once the join is reported, a later enter the engine
    // refused may have moved the room last asked for.
    const RoomSnapshot room = roomSnapshot();
    const bool joining = room.joinPending && room.last == roomId;
    if (roomId.isEmpty() || !(joining || room.joined == roomId))
        return true;
    return leaveSDKChannel(roomId);
}

bool kivoARTCController::leaveSDKChannel(const QString &roomId)
{
    const char *label = "kivoARTCController::exitSDKRoom";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    qInfo().noquote() << "[ARTC]" << label << "exitSDKRoom" << VLogText::cut(roomId, VLogText::Page);
    stopVoice();
    stopMixInfo();
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "leaveChannel";
    const int code = engine->leaveChannel();
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "leaveChannel result"
                      << VLogText::cut(roomId, VLogText::Page) << code;
    if (code == 0) {
        std::lock_guard<std::mutex> locker(m_stateLock);
        // The engine may have made the join under way just before this leave.
        if (m_joinPending && m_joinedRoom.isEmpty() && m_joinMayReport && m_staleJoinRoom.isEmpty())
            m_staleJoinRoom = m_lastRoomId;
        m_joinPending = false;
        m_joinedRoom.clear();
    }
    if (m_debugRecording)
        setPcmDump(false);
    return code == 0;
}

void kivoARTCController::stopVoice()
{
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return;
    const char *label = "kivoARTCController::stopVoice";
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "muteLocalAudioStream" << "mute:" << true;
    int code = engine->muteLocalAudioStream(true);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "muteLocalAudioStream exitSDKRoom code:" << code;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "muteAllRemoteAudioStreams" << "mute:" << true;
    code = engine->muteAllRemoteAudioStreams(true);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "muteAllRemoteAudioStreams exitSDKRoom code:" << code;
}

bool kivoARTCController::switchSDKRole(int role)
{
    const char *label = "kivoARTCController::switchSDKRole";
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!isReady() || !engine) {
        qInfo().noquote() << "[ARTC]" << label << "setClientRole null";
        return false;
    }
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "setClientRole" << "role:" << role;
    const int code = engine->setClientRole(static_cast<agora::rtc::CLIENT_ROLE_TYPE>(role));
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "setClientRole result" << code;
    return code == 0;
}

bool kivoARTCController::setPcmDump(bool on)
{
    const char *label = "kivoARTCController::setPcmDump";
    qInfo().noquote() << "[ARTC]" << label << QStringLiteral("setPcmDump：bPcmDump=%1").arg(on);
    if (!m_engine.load())
        return false;
    const char *text = on ? "{\"che.audio.start_debug_recording\":\"NoName\"}" : "{\"che.audio.stop_debug_recording\":true}";
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "setParameters" << "parameters:" << text;
    agora::rtc::IAgoraParameter *parameter = queryEngine<agora::rtc::IAgoraParameter>(agora::rtc::AGORA_IID_PARAMETER_ENGINE);
    const int code = parameter ? parameter->setParameters(text) : -agora::rtc::ERR_NOT_READY;
    if (parameter)
        parameter->release();
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "setPcmDump result" << on << code;
    return code == 0;
}
