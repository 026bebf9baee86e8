// Audio: muting, devices, volumes and the audio-processing switches.
#include "kivoARTCController.h"

#include "ARTCDeviceBuffer.h"
#include "VLogText.h"

#include "agora/IAgoraParameter.h"
#include "agora/IAudioDeviceManager.h"

#include <QtDebug>

#include <algorithm>
#include <cstring>

namespace {

int clampVolume(int volume)
{
    return std::max(0, std::min(100, volume));
}

} // namespace

bool kivoARTCController::setMuteLocalAudioStream(bool mute)
{
    const char *label = "kivoARTCController::setMuteLocalAudioStream";
    qInfo().noquote() << "[ARTC]" << label << QStringLiteral("muteLocalAudioStream：bMute=%1").arg(mute);
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "muteLocalAudioStream" << "mute:" << mute;
    const int code = engine->muteLocalAudioStream(mute);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "muteLocalAudioStream result" << mute << code;
    return code == 0;
}

bool kivoARTCController::setMuteRemoteAudioStream(unsigned int uid, bool mute)
{
    const char *label = "kivoARTCController::setMuteRemoteAudioStream";
    qInfo().noquote() << "[ARTC]" << label
                      << QStringLiteral("muteRemoteAudioStream：uid=%1, bMute=%2").arg(uid).arg(mute);
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "muteRemoteAudioStream" << "uid:" << uid << "mute:" << mute;
    const int code = engine->muteRemoteAudioStream(uid, mute);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "muteRemoteAudioStream result" << uid << mute << code;
    return code == 0;
}

bool kivoARTCController::setMuteAllRemoteAudioStreams(bool mute)
{
    const char *label = "kivoARTCController::setMuteAllRemoteAudioStreams";
    qInfo().noquote() << "[ARTC]" << label << QStringLiteral("muteAllRemoteAudioStreams：bMute=%1").arg(mute);
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "muteAllRemoteAudioStreams" << "mute:" << mute;
    const int code = engine->muteAllRemoteAudioStreams(mute);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "muteAllRemoteAudioStreams result" << mute << code;
    return code == 0;
}

bool kivoARTCController::setEnableLoopbackRecording(bool enabled)
{
    const char *label = "kivoARTCController::setEnableLoopbackRecording";
    qInfo().noquote() << "[ARTC]" << label << QStringLiteral("enableLoopbackRecording：bLoopback=%1").arg(enabled);
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    m_loopback = enabled;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "enableLoopbackRecording" << "enabled:" << enabled;
    const int code = engine->enableLoopbackRecording(enabled, nullptr);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "enableLoopbackRecording result" << enabled << code;
    return code == 0;
}

namespace {

// The current playback or recording device's name, the shared shape of the two operations.
struct CurrentDeviceCalls
{
    const char *label;
    const char *call;       // getPlaybackDevice / getRecordingDevice
    const char *infoCall;   // getPlaybackDeviceInfo / getRecordingDeviceInfo
    const char *infoResult; // "getPlaybackDevice getPlaybackDeviceInfo result" ...
    int (agora::rtc::IAudioDeviceManager::*get)(char *);
    int (agora::rtc::IAudioDeviceManager::*info)(char *, char *);
};

QString currentDevice(agora::rtc::IRtcEngine *engine, agora::rtc::IAudioDeviceManager *manager,
                      const CurrentDeviceCalls &c)
{
    QString name;
    if (!engine) {
        qInfo().noquote() << "[ARTC]" << c.label << c.call << "IRtcEngine null";
        return name;
    }
    if (!manager) {
        qInfo().noquote() << "[ARTC]" << c.label << c.call << "IAudioDeviceManager null";
        return name;
    }
    qInfo().noquote() << "[ARTC]" << c.label << c.call;
    ARTCDeviceBuffer id;
    qInfo().noquote() << "[ARTC_CALL]" << c.label << "->" << c.call << "arrayDeviceId:" << id.text();
    int code = (manager->*c.get)(id.data);
    const QString deviceId = id.text();
    qInfo().noquote() << "[ARTC_RET]" << c.label << "->" << QString::fromUtf8(c.call) + QStringLiteral(" result")
                      << deviceId << code;
    if (!deviceId.isEmpty()) {
        ARTCDeviceBuffer deviceName;
        qInfo().noquote() << "[ARTC_CALL]" << c.label << "->" << c.infoCall << "arrayDeviceId:" << deviceId
                          << "arrayDeviceName:" << deviceName.text();
        code = (manager->*c.info)(id.data, deviceName.data);
        name = deviceName.text();
        qInfo().noquote() << "[ARTC_RET]" << c.label << "->" << c.infoResult << name << code;
    }
    manager->release();
    return name;
}

} // namespace

QString kivoARTCController::getCurrentSpeakerDevice()
{
    static const CurrentDeviceCalls calls = {
        "kivoARTCController::getCurrentSpeakerDevice", "getPlaybackDevice", "getPlaybackDeviceInfo",
        "getPlaybackDevice getPlaybackDeviceInfo result", &agora::rtc::IAudioDeviceManager::getPlaybackDevice,
        &agora::rtc::IAudioDeviceManager::getPlaybackDeviceInfo};
    agora::rtc::IRtcEngine *engine = m_engine.load();
    return currentDevice(engine, queryEngine<agora::rtc::IAudioDeviceManager>(agora::rtc::AGORA_IID_AUDIO_DEVICE_MANAGER),
                         calls);
}

QString kivoARTCController::getCurrentMicDevice()
{
    static const CurrentDeviceCalls calls = {
        "kivoARTCController::getCurrentMicDevice", "getRecordingDevice", "getRecordingDeviceInfo",
        "getRecordingDevice getRecordingDeviceInfo result", &agora::rtc::IAudioDeviceManager::getRecordingDevice,
        &agora::rtc::IAudioDeviceManager::getRecordingDeviceInfo};
    agora::rtc::IRtcEngine *engine = m_engine.load();
    return currentDevice(engine, queryEngine<agora::rtc::IAudioDeviceManager>(agora::rtc::AGORA_IID_AUDIO_DEVICE_MANAGER),
                         calls);
}

namespace {

void fillDeviceList(ARTCDeviceList &list, agora::rtc::IRtcEngine *engine, agora::rtc::IAudioDeviceManager *manager,
                    const char *label, const char *call,
                    agora::rtc::IAudioDeviceCollection *(agora::rtc::IAudioDeviceManager::*enumerate)())
{
    list.clear();
    const QString prefix = QString::fromUtf8(call);
    if (!engine) {
        qInfo().noquote() << "[ARTC]" << label << prefix + QStringLiteral(" IRtcEngine null");
        return;
    }
    if (!manager) {
        qInfo().noquote() << "[ARTC]" << label << prefix + QStringLiteral(" IAudioDeviceManager null");
        return;
    }
    qInfo().noquote() << "[ARTC]" << label << prefix;
    agora::rtc::IAudioDeviceCollection *collection = (manager->*enumerate)();
    if (!collection) {
        qInfo().noquote() << "[ARTC]" << label << prefix + QStringLiteral(" result null");
        manager->release();
        return;
    }
    const int count = collection->getCount();
    for (int index = 0; index < count; ++index) {
        ARTCDeviceBuffer name;
        ARTCDeviceBuffer id;
        const int code = collection->getDevice(index, name.data, id.data);
        qInfo().noquote() << "[ARTC]" << label
                          << (prefix + QStringLiteral(" result index=%1,deviceName=%2,deviceId=%3"))
                                 .arg(index)
                                 .arg(name.text(), id.text())
                          << code;
        list.append(qMakePair(name.text(), id.text()));
    }
    qInfo().noquote() << "[ARTC]" << label << (prefix + QStringLiteral(" result count=%1")).arg(count);
    collection->release();
    manager->release();
}

} // namespace

const ARTCDeviceList &kivoARTCController::getSpeakList()
{
    fillDeviceList(m_speakerList, m_engine.load(),
                   queryEngine<agora::rtc::IAudioDeviceManager>(agora::rtc::AGORA_IID_AUDIO_DEVICE_MANAGER),
                   "kivoARTCController::getSpeakList", "enumeratePlaybackDevices",
                   &agora::rtc::IAudioDeviceManager::enumeratePlaybackDevices);
    return m_speakerList;
}

const ARTCDeviceList &kivoARTCController::getMicList()
{
    fillDeviceList(m_micList, m_engine.load(),
                   queryEngine<agora::rtc::IAudioDeviceManager>(agora::rtc::AGORA_IID_AUDIO_DEVICE_MANAGER),
                   "kivoARTCController::getMicList", "enumerateRecordingDevices",
                   &agora::rtc::IAudioDeviceManager::enumerateRecordingDevices);
    return m_micList;
}

namespace {

bool selectDevice(agora::rtc::IRtcEngine *engine, agora::rtc::IAudioDeviceManager *manager, const char *label,
                  const char *call, const QString &deviceId,
                  int (agora::rtc::IAudioDeviceManager::*set)(const char *))
{
    const QString prefix = QString::fromUtf8(call);
    if (!engine) {
        qInfo().noquote() << "[ARTC]" << label << prefix + QStringLiteral(" IRtcEngine null");
        return false;
    }
    if (!manager) {
        qInfo().noquote() << "[ARTC]" << label << prefix + QStringLiteral(" IAudioDeviceManager null");
        return false;
    }
    qInfo().noquote() << "[ARTC]" << label
                      << (prefix + QStringLiteral(" deviceId=%1")).arg(VLogText::cut(deviceId, VLogText::Page));
    const ARTCDeviceBuffer id(deviceId);
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << call << "arrayDeviceId:" << id.text();
    const int code = (manager->*set)(id.data);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << prefix + QStringLiteral(" result") << id.text() << code;
    manager->release();
    return code == 0;
}

} // namespace

bool kivoARTCController::setSpeakDevice(const QString &deviceId)
{
    return selectDevice(m_engine.load(),
                        queryEngine<agora::rtc::IAudioDeviceManager>(agora::rtc::AGORA_IID_AUDIO_DEVICE_MANAGER),
                        "kivoARTCController::setSpeakDevice", "setPlaybackDevice", deviceId,
                        &agora::rtc::IAudioDeviceManager::setPlaybackDevice);
}

bool kivoARTCController::setMicDevice(const QString &deviceId)
{
    return selectDevice(m_engine.load(),
                        queryEngine<agora::rtc::IAudioDeviceManager>(agora::rtc::AGORA_IID_AUDIO_DEVICE_MANAGER),
                        "kivoARTCController::setMicDevice", "setRecordingDevice", deviceId,
                        &agora::rtc::IAudioDeviceManager::setRecordingDevice);
}

bool kivoARTCController::setSpeakerVoice(int volume)
{
    const char *label = "kivoARTCController::setSpeakerVoice";
    const int v = clampVolume(volume);
    qInfo().noquote() << "[ARTC]" << label
                      << QStringLiteral("adjustPlaybackSignalVolume：volumeOriginal=%1,volume=%2").arg(volume).arg(v);
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "adjustPlaybackSignalVolume" << "volume:" << v;
    const int code = engine->adjustPlaybackSignalVolume(v);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "adjustPlaybackSignalVolume result" << v << code;
    if (v == 0) {
        qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "adjustAudioMixingPlayoutVolume" << "volume:" << 0;
        const int mix = engine->adjustAudioMixingPlayoutVolume(0);
        qInfo().noquote() << "[ARTC_RET]" << label << "->" << "adjustAudioMixingPlayoutVolume 0 result" << mix;
    } else {
        const int mix = engine->adjustAudioMixingPlayoutVolume(100);
        qInfo().noquote() << "[ARTC_RET]" << label << "->" << "adjustAudioMixingPlayoutVolume 100 result" << mix;
    }
    return code == 0;
}

bool kivoARTCController::setMicVoice(int volume)
{
    const char *label = "kivoARTCController::setMicVoice";
    const int v = clampVolume(volume);
    qInfo().noquote() << "[ARTC]" << label
                      << QStringLiteral("adjustRecordingSignalVolume：volumeOriginal=%1,volume=%2").arg(volume).arg(v);
    m_micSilent = v == 0;
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return false;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "adjustRecordingSignalVolume" << "volume:" << v;
    const int code = engine->adjustRecordingSignalVolume(v);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "adjustRecordingSignalVolume result" << v << code;
    return code == 0;
}

bool kivoARTCController::setMicDeviceVoice(int volume)
{
    const char *label = "kivoARTCController::setMicDeviceVoice";
    const int v = clampVolume(volume);
    qInfo().noquote() << "[ARTC]" << label
                      << QStringLiteral("setRecordingDeviceVolume：volumeOriginal=%1,volume=%2").arg(volume).arg(v);
    if (!m_engine.load()) {
        qInfo().noquote() << "[ARTC]" << label << "setRecordingDeviceVolume IRtcEngine null";
        return false;
    }
    agora::rtc::IAudioDeviceManager *manager =
        queryEngine<agora::rtc::IAudioDeviceManager>(agora::rtc::AGORA_IID_AUDIO_DEVICE_MANAGER);
    if (!manager) {
        qInfo().noquote() << "[ARTC]" << label << "setRecordingDeviceVolume IAudioDeviceManager null";
        return false;
    }
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "setRecordingDeviceVolume" << "volume:" << v;
    const int code = manager->setRecordingDeviceVolume(v);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "setRecordingDeviceVolume result" << v << code;
    manager->release();
    return code == 0;
}

int kivoARTCController::getMicDeviceVoice()
{
    const char *label = "kivoARTCController::getMicDeviceVoice";
    if (!m_engine.load()) {
        qInfo().noquote() << "[ARTC]" << label << "getRecordingDeviceVolume IRtcEngine null";
        return -1;
    }
    agora::rtc::IAudioDeviceManager *manager =
        queryEngine<agora::rtc::IAudioDeviceManager>(agora::rtc::AGORA_IID_AUDIO_DEVICE_MANAGER);
    if (!manager) {
        qInfo().noquote() << "[ARTC]" << label << "getRecordingDeviceVolume IAudioDeviceManager null";
        return -1;
    }
    qInfo().noquote() << "[ARTC]" << label << "getRecordingDeviceVolume";
    int volume = 0;
    qInfo().noquote() << "[ARTC_CALL]" << label << "->" << "getRecordingDeviceVolume" << "volume:" << 0;
    const int code = manager->getRecordingDeviceVolume(&volume);
    qInfo().noquote() << "[ARTC_RET]" << label << "->" << "getRecordingDeviceVolume result" << volume << code;
    manager->release();
    return code == 0 ? volume : -1;
}

namespace {

int sendParameter(agora::rtc::IAgoraParameter *parameter, const QString &text)
{
    if (!parameter)
        return -agora::rtc::ERR_NOT_READY;
    const int code = parameter->setParameters(text.toUtf8().constData());
    parameter->release();
    return code;
}

QString word(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

void kivoARTCController::setANS(bool on)
{
    if (!m_engine.load())
        return;
    m_ans = on;
    const QString text = QStringLiteral("{\"che.audio.ans.enable\":%1}").arg(word(on));
    const int code = sendParameter(queryEngine<agora::rtc::IAgoraParameter>(agora::rtc::AGORA_IID_PARAMETER_ENGINE), text);
    qInfo().noquote() << "[ARTC_CALL]" << "kivoARTCController::setANS" << "->" << "setParameters" << text << "ret:" << code;
}

void kivoARTCController::setAGC(bool on)
{
    if (!m_engine.load())
        return;
    m_agc = on;
    const QString text = QStringLiteral("{\"che.audio.agc.enable\":%1}").arg(word(on));
    const int code = sendParameter(queryEngine<agora::rtc::IAgoraParameter>(agora::rtc::AGORA_IID_PARAMETER_ENGINE), text);
    qInfo().noquote() << "[ARTC_CALL]" << "kivoARTCController::setAGC" << "->" << "setParameters" << text << "ret:" << code;
}

void kivoARTCController::setAEC(bool on)
{
    if (!m_engine.load())
        return;
    m_aec = on;
    const QString text = QStringLiteral("{\"che.audio.aec.enable\":%1}").arg(word(m_forceAec || on));
    const int code = sendParameter(queryEngine<agora::rtc::IAgoraParameter>(agora::rtc::AGORA_IID_PARAMETER_ENGINE), text);
    qInfo().noquote() << "[ARTC_CALL]" << "kivoARTCController::setAEC" << "->" << "setParameters" << text << "ret:" << code
                      << "bForceAEC:" << m_forceAec << "bAEC:" << on;
}

void kivoARTCController::setForceAEC(bool forced)
{
    m_forceAec = forced;
    setAEC(m_aec);
}

int kivoARTCController::setOnlyReportMicVolume(bool on)
{
    agora::rtc::IRtcEngine *engine = m_engine.load();
    if (!engine)
        return -agora::rtc::ERR_NOT_INITIALIZED;
    return engine->setParameters(on ? "{\"che.audio.only_report_micvolume\":true}"
                                    : "{\"che.audio.only_report_micvolume\":false}");
}
