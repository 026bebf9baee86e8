#include "SimRtcEngine.h"

#include "SimAudioDeviceManager.h"
#include "SimParameter.h"
#include "SimVideoDeviceManager.h"

#include <QByteArray>

#include <chrono>
#include <thread>

namespace agora {
namespace sim {

namespace {

QString text(const char *s)
{
    return s ? QString::fromUtf8(s) : QStringLiteral("null");
}

QString flag(bool b)
{
    return b ? QStringLiteral("true") : QStringLiteral("false");
}

QString num(long long n)
{
    return QString::number(n);
}

} // namespace

SimRtcEngine::SimRtcEngine() = default;

SimRtcEngine::~SimRtcEngine()
{
    m_worker.stop();
}

bool SimRtcEngine::shutDown()
{
    const bool own = m_worker.onWorkerThread();
    const int dropped = m_worker.stop();
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.dropped += dropped;
    return !own;
}

bool SimRtcEngine::postTaskLocked(std::function<void()> task, int delayMs)
{
    return m_worker.post(std::move(task), delayMs);
}

bool SimRtcEngine::postLocked(const std::function<void(rtc::IRtcEngineEventHandler *)> &event, int delayMs)
{
    rtc::IRtcEngineEventHandler *handler = simState().handler;
    if (!handler)
        return false;
    return m_worker.post([handler, event] { event(handler); }, delayMs);
}

bool SimRtcEngine::begin(const QString &name, const QStringList &args, int *code, bool needInit)
{
    SimState &s = simState();
    s.record(name, args);
    if (s.forced(name, code))
        return false;
    if (needInit && !s.initialized) {
        *code = -rtc::ERR_NOT_INITIALIZED;
        return false;
    }
    *code = 0;
    return true;
}

int SimRtcEngine::plain(const QString &name, const QStringList &args)
{
    std::lock_guard<std::mutex> lock(simState().mutex);
    int code = 0;
    begin(name, args, &code);
    return code;
}

bool SimRtcEngine::postScriptedError(const QString &name)
{
    SimState &s = simState();
    int code = 0;
    QString message;
    if (!s.scripted(name, &code, &message))
        return false;
    const QByteArray msg = message.toUtf8();
    postLocked([code, msg](rtc::IRtcEngineEventHandler *h) { h->onError(code, msg.constData()); }, s.eventDelayMs);
    return true;
}

int SimRtcEngine::initialize(const rtc::RtcEngineContext &context)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("initialize"),
               {QStringLiteral("appId=") + text(context.appId), QStringLiteral("areaCode=") + num(context.areaCode),
                QStringLiteral("logFile=") + text(context.logConfig.filePath)},
               &code, false))
        return code;
    if (!context.appId || !*context.appId || !context.eventHandler)
        return -rtc::ERR_INVALID_ARGUMENT;
    s.initialized = true;
    s.handler = context.eventHandler;
    s.appId = QString::fromUtf8(context.appId);
    s.logPath = context.logConfig.filePath ? QString::fromUtf8(context.logConfig.filePath) : QString();
    s.areaCode = context.areaCode;
    return 0;
}

const char *SimRtcEngine::getVersion(int *build)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.record(QStringLiteral("getVersion"));
    if (build)
        *build = s.build;
    m_version = s.version.toUtf8();
    return m_version.constData();
}

int SimRtcEngine::queryInterface(rtc::INTERFACE_ID_TYPE iid, void **inter)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    const bool go = begin(QStringLiteral("queryInterface"), {num(iid)}, &code);
    if (!inter)
        return -rtc::ERR_INVALID_ARGUMENT;
    *inter = nullptr;
    if (!go)
        return code;
    if (s.missingInterfaces.contains(iid))
        return -rtc::ERR_NOT_SUPPORTED;
    switch (iid) {
    case rtc::AGORA_IID_AUDIO_DEVICE_MANAGER:
        *inter = static_cast<rtc::IAudioDeviceManager *>(new SimAudioDeviceManager);
        return 0;
    case rtc::AGORA_IID_VIDEO_DEVICE_MANAGER:
        *inter = static_cast<rtc::IVideoDeviceManager *>(new SimVideoDeviceManager);
        return 0;
    case rtc::AGORA_IID_PARAMETER_ENGINE:
        *inter = static_cast<rtc::IAgoraParameter *>(new SimParameter);
        return 0;
    case rtc::AGORA_IID_MEDIA_ENGINE:
        *inter = static_cast<media::IMediaEngine *>(&m_mediaEngine);
        return 0;
    }
    return -rtc::ERR_INVALID_ARGUMENT;
}

int SimRtcEngine::setParameters(const char *parameters)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("setParameters"), {text(parameters)}, &code))
        return code;
    if (!parameters)
        return -rtc::ERR_INVALID_ARGUMENT;
    s.parameters << QString::fromUtf8(parameters);
    return 0;
}

int SimRtcEngine::setChannelProfile(rtc::CHANNEL_PROFILE_TYPE profile)
{
    return plain(QStringLiteral("setChannelProfile"), {num(profile)});
}

int SimRtcEngine::setClientRole(rtc::CLIENT_ROLE_TYPE role)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("setClientRole"), {num(role)}, &code))
        return code;
    if (role != rtc::CLIENT_ROLE_BROADCASTER && role != rtc::CLIENT_ROLE_AUDIENCE)
        return -rtc::ERR_INVALID_ARGUMENT;
    const int old = s.role;
    s.role = role;
    if (s.channelState == SimState::In && !postScriptedError(QStringLiteral("setClientRole"))) {
        postLocked([old, role](rtc::IRtcEngineEventHandler *h) {
            h->onClientRoleChanged(static_cast<rtc::CLIENT_ROLE_TYPE>(old), role);
        }, s.eventDelayMs);
    }
    return 0;
}

int SimRtcEngine::joinChannel(const char *token, const char *channelId, const char *info, rtc::uid_t uid)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("joinChannel"),
               {QStringLiteral("token=") + text(token), QStringLiteral("channelId=") + text(channelId),
                QStringLiteral("info=") + text(info), QStringLiteral("uid=") + num(uid)},
               &code))
        return code;
    if (!channelId || !*channelId)
        return -rtc::ERR_INVALID_ARGUMENT;
    if (s.channelState != SimState::Out)
        return -rtc::ERR_JOIN_CHANNEL_REJECTED;
    s.channelState = SimState::Joining;
    s.channel = QString::fromUtf8(channelId);
    s.uid = uid ? uid : 10001;
    if (postScriptedError(QStringLiteral("joinChannel"))) {
        // Out of every channel, as after a leave.
        s.channelState = SimState::Out;
        s.channel.clear();
        return 0;
    }
    const QByteArray channel(channelId);
    const rtc::uid_t joined = s.uid;
    const int delay = s.eventDelayMs;
    const uint64_t attempt = ++s.joinAttempt;
    // The state turns to "in" on the engine's thread, just before the event.
    postTaskLocked([channel, joined, delay, attempt] {
        SimState &st = simState();
        rtc::IRtcEngineEventHandler *h = nullptr;
        int lagMs = 0;
        {
            std::lock_guard<std::mutex> l(st.mutex);
            if (st.channelState != SimState::Joining || st.joinAttempt != attempt)
                return;
            st.channelState = SimState::In;
            h = st.handler;
            lagMs = st.joinReportLagMs;
        }
        if (lagMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(lagMs));
        if (h)
            h->onJoinChannelSuccess(channel.constData(), joined, delay);
    }, delay);
    return 0;
}

int SimRtcEngine::leaveChannel()
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("leaveChannel"), {}, &code))
        return code;
    if (s.channelState == SimState::Out)
        return 0;
    s.channelState = SimState::Out;
    s.channel.clear();
    if (postScriptedError(QStringLiteral("leaveChannel")))
        return 0;
    rtc::RtcStats stats;
    stats.duration = 1;
    stats.userCount = 1;
    postLocked([stats](rtc::IRtcEngineEventHandler *h) { h->onLeaveChannel(stats); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::enableAudio()
{
    return plain(QStringLiteral("enableAudio"), {});
}

int SimRtcEngine::setAudioProfile(rtc::AUDIO_PROFILE_TYPE profile, rtc::AUDIO_SCENARIO_TYPE scenario)
{
    return plain(QStringLiteral("setAudioProfile"), {num(profile), num(scenario)});
}

int SimRtcEngine::muteLocalAudioStream(bool mute)
{
    return plain(QStringLiteral("muteLocalAudioStream"), {flag(mute)});
}

int SimRtcEngine::muteRemoteAudioStream(rtc::uid_t uid, bool mute)
{
    return plain(QStringLiteral("muteRemoteAudioStream"), {num(uid), flag(mute)});
}

int SimRtcEngine::muteAllRemoteAudioStreams(bool mute)
{
    return plain(QStringLiteral("muteAllRemoteAudioStreams"), {flag(mute)});
}

int SimRtcEngine::enableAudioVolumeIndication(int interval, int smooth, bool reportVad)
{
    return plain(QStringLiteral("enableAudioVolumeIndication"), {num(interval), num(smooth), flag(reportVad)});
}

int SimRtcEngine::enableLoopbackRecording(bool enabled, const char *deviceName)
{
    return plain(QStringLiteral("enableLoopbackRecording"), {flag(enabled), text(deviceName)});
}

namespace {

// Volumes outside the engine's range are refused.
int ranged(int code, int volume, int max)
{
    if (code == 0 && (volume < 0 || volume > max))
        return -rtc::ERR_INVALID_ARGUMENT;
    return code;
}

} // namespace

int SimRtcEngine::adjustPlaybackSignalVolume(int volume)
{
    return ranged(plain(QStringLiteral("adjustPlaybackSignalVolume"), {num(volume)}), volume, 400);
}

int SimRtcEngine::adjustRecordingSignalVolume(int volume)
{
    return ranged(plain(QStringLiteral("adjustRecordingSignalVolume"), {num(volume)}), volume, 400);
}

int SimRtcEngine::adjustAudioMixingPlayoutVolume(int volume)
{
    return ranged(plain(QStringLiteral("adjustAudioMixingPlayoutVolume"), {num(volume)}), volume, 100);
}

int SimRtcEngine::setAudioEffectPreset(rtc::AUDIO_EFFECT_PRESET preset)
{
    return plain(QStringLiteral("setAudioEffectPreset"), {num(preset)});
}

int SimRtcEngine::setLocalVoicePitch(double pitch)
{
    const int code = plain(QStringLiteral("setLocalVoicePitch"), {QString::number(pitch)});
    return (code == 0 && (pitch < 0.5 || pitch > 2.0)) ? -rtc::ERR_INVALID_ARGUMENT : code;
}

int SimRtcEngine::setLocalVoiceEqualization(rtc::AUDIO_EQUALIZATION_BAND_FREQUENCY bandFrequency, int bandGain)
{
    return plain(QStringLiteral("setLocalVoiceEqualization"), {num(bandFrequency), num(bandGain)});
}

int SimRtcEngine::setLocalVoiceReverb(rtc::AUDIO_REVERB_TYPE reverbKey, int value)
{
    return plain(QStringLiteral("setLocalVoiceReverb"), {num(reverbKey), num(value)});
}

int SimRtcEngine::startAudioMixing(const char *filePath, bool loopback, bool replace, int cycle)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("startAudioMixing"), {text(filePath), flag(loopback), flag(replace), num(cycle)}, &code))
        return code;
    if (!filePath || !*filePath)
        return -rtc::ERR_INVALID_ARGUMENT;
    // Playing.
    postLocked([](rtc::IRtcEngineEventHandler *h) { h->onAudioMixingStateChanged(710, 0); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::stopAudioMixing()
{
    return plain(QStringLiteral("stopAudioMixing"), {});
}

int SimRtcEngine::startLastmileProbeTest(const rtc::LastmileProbeConfig &config)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("startLastmileProbeTest"),
               {flag(config.probeUplink), flag(config.probeDownlink), num(config.expectedUplinkBitrate),
                num(config.expectedDownlinkBitrate)},
               &code))
        return code;
    rtc::LastmileProbeResult result;
    result.state = 1;
    result.uplinkReport.availableBandwidth = config.expectedUplinkBitrate / 1000;
    result.downlinkReport.availableBandwidth = config.expectedDownlinkBitrate / 1000;
    result.rtt = 20;
    postLocked([](rtc::IRtcEngineEventHandler *h) { h->onLastmileQuality(1); }, s.eventDelayMs);
    postLocked([result](rtc::IRtcEngineEventHandler *h) { h->onLastmileProbeResult(result); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::stopLastmileProbeTest()
{
    return plain(QStringLiteral("stopLastmileProbeTest"), {});
}

namespace {

QString transcodingText(const rtc::LiveTranscoding &t)
{
    QStringList users;
    for (unsigned int i = 0; t.transcodingUsers && i < t.userCount; ++i) {
        const rtc::TranscodingUser &u = t.transcodingUsers[i];
        users << QStringLiteral("%1:%2x%3@%4,%5").arg(u.uid).arg(u.width).arg(u.height).arg(u.x).arg(u.y);
    }
    return QStringLiteral("size=%1x%2, videoBitrate=%3, audioChannels=%4, users=[%5]")
        .arg(t.width).arg(t.height).arg(t.videoBitrate).arg(t.audioChannels).arg(users.join(QLatin1Char(' ')));
}

} // namespace

int SimRtcEngine::startRtmpStreamWithoutTranscoding(const char *url)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("startRtmpStreamWithoutTranscoding"), {text(url)}, &code))
        return code;
    if (!url || !*url)
        return -rtc::ERR_INVALID_ARGUMENT;
    if (postScriptedError(QStringLiteral("startRtmpStreamWithoutTranscoding")))
        return 0;
    const QByteArray u(url);
    postLocked([u](rtc::IRtcEngineEventHandler *h) { h->onRtmpStreamingStateChanged(u.constData(), 1, 0); }, s.eventDelayMs);
    postLocked([u](rtc::IRtcEngineEventHandler *h) { h->onRtmpStreamingStateChanged(u.constData(), 2, 0); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::startRtmpStreamWithTranscoding(const char *url, const rtc::LiveTranscoding &transcoding)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("startRtmpStreamWithTranscoding"), {text(url), transcodingText(transcoding)}, &code))
        return code;
    if (!url || !*url)
        return -rtc::ERR_INVALID_ARGUMENT;
    if (postScriptedError(QStringLiteral("startRtmpStreamWithTranscoding")))
        return 0;
    const QByteArray u(url);
    postLocked([u](rtc::IRtcEngineEventHandler *h) { h->onRtmpStreamingStateChanged(u.constData(), 1, 0); }, s.eventDelayMs);
    postLocked([u](rtc::IRtcEngineEventHandler *h) { h->onRtmpStreamingStateChanged(u.constData(), 2, 0); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::updateRtmpTranscoding(const rtc::LiveTranscoding &transcoding)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("updateRtmpTranscoding"), {transcodingText(transcoding)}, &code))
        return code;
    postLocked([](rtc::IRtcEngineEventHandler *h) { h->onTranscodingUpdated(); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::stopRtmpStream(const char *url)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("stopRtmpStream"), {text(url)}, &code))
        return code;
    if (!url || !*url)
        return -rtc::ERR_INVALID_ARGUMENT;
    const QByteArray u(url);
    postLocked([u](rtc::IRtcEngineEventHandler *h) { h->onRtmpStreamingStateChanged(u.constData(), 0, 0); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::startOrUpdateChannelMediaRelay(const rtc::ChannelMediaRelayConfiguration &configuration)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    QStringList args;
    args << QStringLiteral("src=") + (configuration.srcInfo ? text(configuration.srcInfo->channelName) : QStringLiteral("default"));
    for (int i = 0; configuration.destInfos && i < configuration.destCount; ++i)
        args << QStringLiteral("dest=%1/%2/%3")
                    .arg(text(configuration.destInfos[i].channelName), text(configuration.destInfos[i].token))
                    .arg(configuration.destInfos[i].uid);
    int code = 0;
    if (!begin(QStringLiteral("startOrUpdateChannelMediaRelay"), args, &code))
        return code;
    if (!configuration.destInfos || configuration.destCount < 1 || !configuration.destInfos[0].channelName)
        return -rtc::ERR_INVALID_ARGUMENT;
    m_relaying = true;
    if (postScriptedError(QStringLiteral("startOrUpdateChannelMediaRelay")))
        return 0;
    postLocked([](rtc::IRtcEngineEventHandler *h) { h->onChannelMediaRelayStateChanged(1, 0); }, s.eventDelayMs);
    postLocked([](rtc::IRtcEngineEventHandler *h) { h->onChannelMediaRelayStateChanged(2, 0); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::stopChannelMediaRelay()
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("stopChannelMediaRelay"), {}, &code))
        return code;
    if (!m_relaying)
        return -rtc::ERR_REFUSED;
    m_relaying = false;
    postLocked([](rtc::IRtcEngineEventHandler *h) { h->onChannelMediaRelayStateChanged(0, 0); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::pauseAllChannelMediaRelay()
{
    return plain(QStringLiteral("pauseAllChannelMediaRelay"), {});
}

int SimRtcEngine::resumeAllChannelMediaRelay()
{
    return plain(QStringLiteral("resumeAllChannelMediaRelay"), {});
}

int SimRtcEngine::enableVideo()
{
    return plain(QStringLiteral("enableVideo"), {});
}

int SimRtcEngine::disableVideo()
{
    return plain(QStringLiteral("disableVideo"), {});
}

int SimRtcEngine::enableLocalVideo(bool enabled)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    int code = 0;
    if (!begin(QStringLiteral("enableLocalVideo"), {flag(enabled)}, &code))
        return code;
    // Capturing when on, stopped when off.
    const int state = enabled ? 1 : 0;
    postLocked([state](rtc::IRtcEngineEventHandler *h) { h->onLocalVideoStateChanged(state, 0); }, s.eventDelayMs);
    return 0;
}

int SimRtcEngine::setVideoEncoderConfiguration(const rtc::VideoEncoderConfiguration &c)
{
    return plain(QStringLiteral("setVideoEncoderConfiguration"),
                 {QStringLiteral("%1x%2").arg(c.dimensions.width).arg(c.dimensions.height),
                  QStringLiteral("fps=%1").arg(c.frameRate), QStringLiteral("bitrate=%1").arg(c.bitrate),
                  QStringLiteral("minBitrate=%1").arg(c.minBitrate),
                  QStringLiteral("orientation=%1").arg(c.orientationMode),
                  QStringLiteral("mirror=%1").arg(c.mirrorMode)});
}

int SimRtcEngine::startPreview()
{
    return plain(QStringLiteral("startPreview"), {});
}

int SimRtcEngine::stopPreview()
{
    return plain(QStringLiteral("stopPreview"), {});
}

int SimRtcEngine::muteLocalVideoStream(bool mute)
{
    return plain(QStringLiteral("muteLocalVideoStream"), {flag(mute)});
}

} // namespace sim
} // namespace agora
