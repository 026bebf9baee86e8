#include "agora/RtcSim.h"

#include "SimRtcEngine.h"
#include "SimState.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtDebug>

#include <vector>

using agora::sim::SimRtcEngine;
using agora::sim::SimState;
using agora::sim::simState;

agora::rtc::IRtcEngine *createAgoraRtcEngine()
{
    const QByteArray file = qgetenv("AMBREL_RTC_SIM");
    if (!file.isEmpty() && !agora::sim::RtcSim::loadFile(QString::fromLocal8Bit(file)))
        qWarning() << "[RTCSIM] cannot read the engine settings" << file;
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.record(QStringLiteral("createAgoraRtcEngine"));
    if (s.createFails)
        return nullptr;
    if (!s.engine)
        s.engine = new SimRtcEngine;
    return s.engine;
}

namespace agora {
namespace rtc {

void IRtcEngine::release(bool sync)
{
    SimState &s = simState();
    SimRtcEngine *engine = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.record(QStringLiteral("release"), {sync ? QStringLiteral("true") : QStringLiteral("false")});
        engine = s.engine;
        s.engine = nullptr;
    }
    if (!engine)
        return;
    // The worker is joined outside the lock: a running event may still call the engine.
    const bool deletable = engine->shutDown();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.initialized = false;
        s.handler = nullptr;
        s.observer = nullptr;
        s.channelState = SimState::Out;
        s.channel.clear();
        s.role = CLIENT_ROLE_AUDIENCE;
        ++s.released;
    }
    // Released from one of its own events the engine stays allocated: its thread is still in use.
    if (deletable)
        delete engine;
}

} // namespace rtc

namespace sim {

void RtcSim::reset()
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.resetSettings();
}

namespace {

QList<SimDevice> devicesOf(const QJsonValue &value)
{
    QList<SimDevice> devices;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &v : array) {
        const QJsonObject o = v.toObject();
        devices << SimDevice{o.value(QStringLiteral("name")).toString(), o.value(QStringLiteral("id")).toString()};
    }
    return devices;
}

} // namespace

bool RtcSim::loadFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (o.contains(QStringLiteral("createFails")))
        s.createFails = o.value(QStringLiteral("createFails")).toBool();
    if (o.contains(QStringLiteral("eventDelayMs")))
        s.eventDelayMs = o.value(QStringLiteral("eventDelayMs")).toInt();
    if (o.contains(QStringLiteral("version")))
        s.version = o.value(QStringLiteral("version")).toString();
    if (o.contains(QStringLiteral("build")))
        s.build = o.value(QStringLiteral("build")).toInt();
    const QJsonObject codes = o.value(QStringLiteral("returnCodes")).toObject();
    for (auto it = codes.begin(); it != codes.end(); ++it)
        s.returnCodes.insert(it.key(), it.value().toInt());
    const QJsonObject errors = o.value(QStringLiteral("errors")).toObject();
    for (auto it = errors.begin(); it != errors.end(); ++it) {
        const QJsonObject e = it.value().toObject();
        s.errors.insert(it.key(), {e.value(QStringLiteral("code")).toInt(), e.value(QStringLiteral("msg")).toString()});
    }
    const QJsonArray missing = o.value(QStringLiteral("missingInterfaces")).toArray();
    for (const QJsonValue &v : missing)
        s.missingInterfaces.insert(v.toInt());
    if (o.contains(QStringLiteral("playbackDevices")))
        s.playback = devicesOf(o.value(QStringLiteral("playbackDevices")));
    if (o.contains(QStringLiteral("recordingDevices")))
        s.recording = devicesOf(o.value(QStringLiteral("recordingDevices")));
    if (o.contains(QStringLiteral("videoDevices")))
        s.video = devicesOf(o.value(QStringLiteral("videoDevices")));
    if (o.contains(QStringLiteral("currentPlaybackDevice")))
        s.currentPlayback = o.value(QStringLiteral("currentPlaybackDevice")).toString();
    if (o.contains(QStringLiteral("currentRecordingDevice")))
        s.currentRecording = o.value(QStringLiteral("currentRecordingDevice")).toString();
    if (o.contains(QStringLiteral("recordingDeviceVolume")))
        s.recordingVolume = o.value(QStringLiteral("recordingDeviceVolume")).toInt();
    return true;
}

#define SIM_SET(member, value)                                                                                          \
    do {                                                                                                               \
        SimState &s = simState();                                                                                      \
        std::lock_guard<std::mutex> lock(s.mutex);                                                                     \
        s.member = value;                                                                                              \
    } while (0)

#define SIM_GET(expr)                                                                                                  \
    SimState &s = simState();                                                                                          \
    std::lock_guard<std::mutex> lock(s.mutex);                                                                         \
    return expr

void RtcSim::setCreateFails(bool fails) { SIM_SET(createFails, fails); }
void RtcSim::setEventDelayMs(int delayMs) { SIM_SET(eventDelayMs, delayMs); }
void RtcSim::setJoinReportLagMs(int lagMs) { SIM_SET(joinReportLagMs, lagMs); }
void RtcSim::setReturnCode(const QString &call, int code) { SIM_SET(returnCodes[call], code); }
void RtcSim::clearReturnCodes() { SIM_SET(returnCodes, (QMap<QString, int>())); }
void RtcSim::scriptError(const QString &call, int code, const QString &message)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.errors[call] = std::make_pair(code, message);
}
void RtcSim::clearScriptedErrors()
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.errors.clear();
}
void RtcSim::setVersion(const QString &version, int build)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.version = version;
    s.build = build;
}
void RtcSim::setInterfaceAvailable(rtc::INTERFACE_ID_TYPE iid, bool available)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (available)
        s.missingInterfaces.remove(iid);
    else
        s.missingInterfaces.insert(iid);
}
void RtcSim::setPlaybackDevices(const QList<SimDevice> &devices) { SIM_SET(playback, devices); }
void RtcSim::setRecordingDevices(const QList<SimDevice> &devices) { SIM_SET(recording, devices); }
void RtcSim::setVideoDevices(const QList<SimDevice> &devices) { SIM_SET(video, devices); }
void RtcSim::setCurrentPlaybackDevice(const QString &id) { SIM_SET(currentPlayback, id); }
void RtcSim::setCurrentRecordingDevice(const QString &id) { SIM_SET(currentRecording, id); }
void RtcSim::setRecordingDeviceVolume(int volume) { SIM_SET(recordingVolume, volume); }
void RtcSim::clearJournal() { SIM_SET(journal, QStringList()); }

QString RtcSim::currentPlaybackDevice() { SIM_GET(s.currentPlayback); }
QString RtcSim::currentRecordingDevice() { SIM_GET(s.currentRecording); }
QString RtcSim::currentVideoDevice() { SIM_GET(s.currentVideo); }
int RtcSim::recordingDeviceVolume() { SIM_GET(s.recordingVolume); }
QStringList RtcSim::journal() { SIM_GET(s.journal); }
QStringList RtcSim::parameters() { SIM_GET(s.parameters); }
bool RtcSim::engineExists() { SIM_GET(s.engine != nullptr); }
bool RtcSim::initialized() { SIM_GET(s.initialized); }
bool RtcSim::inChannel() { SIM_GET(s.channelState == SimState::In); }
QString RtcSim::channel() { SIM_GET(s.channel); }
int RtcSim::role() { SIM_GET(s.role); }
QString RtcSim::appId() { SIM_GET(s.appId); }
QString RtcSim::logFilePath() { SIM_GET(s.logPath); }
unsigned int RtcSim::areaCode() { SIM_GET(s.areaCode); }
bool RtcSim::observerRegistered() { SIM_GET(s.observer != nullptr); }
int RtcSim::droppedEvents() { SIM_GET(s.dropped); }
int RtcSim::releaseCount() { SIM_GET(s.released); }

QStringList RtcSim::calls()
{
    QStringList names;
    for (const QString &entry : journal())
        names << entry.left(entry.indexOf(QLatin1Char('(')));
    return names;
}

bool RtcSim::post(const std::function<void(rtc::IRtcEngineEventHandler *)> &event, int delayMs)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.engine || !s.initialized)
        return false;
    return s.engine->postLocked(event, delayMs);
}

bool RtcSim::postFrame(const SimFrame &frame)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.engine || !s.observer)
        return false;
    media::IVideoFrameObserver *observer = s.observer;
    return s.engine->postTaskLocked([observer, frame] {
        const int w = frame.width > 0 ? frame.width : 0;
        const int h = frame.height > 0 ? frame.height : 0;
        const int yStride = frame.yStride > 0 ? frame.yStride : w;
        const int uvStride = frame.uvStride > 0 ? frame.uvStride : (w + 1) / 2;
        const int uvRows = (h + 1) / 2;
        std::vector<uint8_t> y(static_cast<size_t>(yStride) * h + 1, frame.y);
        std::vector<uint8_t> u(static_cast<size_t>(uvStride) * uvRows + 1, frame.u);
        std::vector<uint8_t> v(static_cast<size_t>(uvStride) * uvRows + 1, frame.v);
        media::VideoFrame f;
        f.type = frame.type;
        f.width = frame.width;
        f.height = frame.height;
        f.yStride = yStride;
        f.uStride = uvStride;
        f.vStride = uvStride;
        f.yBuffer = y.data();
        f.uBuffer = u.data();
        f.vBuffer = v.data();
        if (frame.uid == 0)
            observer->onCaptureVideoFrame(media::VIDEO_SOURCE_CAMERA_PRIMARY, f);
        else
            observer->onRenderVideoFrame("", frame.uid, f);
    }, 0);
}

bool RtcSim::waitIdle(int timeoutMs)
{
    SimState &s = simState();
    SimRtcEngine *engine = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        engine = s.engine;
    }
    // An engine released meanwhile has nothing pending any more.
    return !engine || engine->waitIdle(timeoutMs);
}

} // namespace sim
} // namespace agora
