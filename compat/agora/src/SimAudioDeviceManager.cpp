#include "SimAudioDeviceManager.h"

#include "SimDeviceCollection.h"
#include "SimState.h"

#include <cstring>

namespace agora {
namespace sim {

QString simBufferText(const char *buffer)
{
    if (!buffer)
        return {};
    const void *end = std::memchr(buffer, 0, rtc::MAX_DEVICE_ID_LENGTH);
    const int length = end ? static_cast<int>(static_cast<const char *>(end) - buffer) : rtc::MAX_DEVICE_ID_LENGTH;
    return QString::fromUtf8(buffer, length);
}

namespace {

const SimDevice *findDevice(const QList<SimDevice> &devices, const QString &id)
{
    for (const SimDevice &d : devices)
        if (d.id == id)
            return &d;
    return nullptr;
}

rtc::IAudioDeviceCollection *enumerate(const QString &name, QList<SimDevice> SimState::*list)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.record(name);
    int code = 0;
    if (s.forced(name, &code))
        return nullptr;
    return new SimDeviceCollection(s.*list);
}

int setCurrent(const QString &name, const char *deviceId, QList<SimDevice> SimState::*list, QString SimState::*current)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const QString id = simBufferText(deviceId);
    s.record(name, {id});
    int code = 0;
    if (s.forced(name, &code))
        return code;
    if (!findDevice(s.*list, id))
        return -rtc::ERR_INVALID_ARGUMENT;
    s.*current = id;
    return 0;
}

int getCurrent(const QString &name, char *deviceId, QString SimState::*current)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.record(name);
    int code = 0;
    if (s.forced(name, &code))
        return code;
    if (!deviceId)
        return -rtc::ERR_INVALID_ARGUMENT;
    SimDeviceCollection::fill(deviceId, s.*current);
    return 0;
}

int getInfo(const QString &name, const char *deviceId, char *deviceName, QList<SimDevice> SimState::*list)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const QString id = simBufferText(deviceId);
    s.record(name, {id});
    int code = 0;
    if (s.forced(name, &code))
        return code;
    const SimDevice *device = findDevice(s.*list, id);
    if (!device || !deviceName)
        return -rtc::ERR_INVALID_ARGUMENT;
    SimDeviceCollection::fill(deviceName, device->name);
    return 0;
}

} // namespace

rtc::IAudioDeviceCollection *SimAudioDeviceManager::enumeratePlaybackDevices()
{
    return enumerate(QStringLiteral("enumeratePlaybackDevices"), &SimState::playback);
}

rtc::IAudioDeviceCollection *SimAudioDeviceManager::enumerateRecordingDevices()
{
    return enumerate(QStringLiteral("enumerateRecordingDevices"), &SimState::recording);
}

int SimAudioDeviceManager::setPlaybackDevice(const char deviceId[rtc::MAX_DEVICE_ID_LENGTH])
{
    return setCurrent(QStringLiteral("setPlaybackDevice"), deviceId, &SimState::playback, &SimState::currentPlayback);
}

int SimAudioDeviceManager::getPlaybackDevice(char deviceId[rtc::MAX_DEVICE_ID_LENGTH])
{
    return getCurrent(QStringLiteral("getPlaybackDevice"), deviceId, &SimState::currentPlayback);
}

int SimAudioDeviceManager::getPlaybackDeviceInfo(char deviceId[rtc::MAX_DEVICE_ID_LENGTH],
                                                 char deviceName[rtc::MAX_DEVICE_ID_LENGTH])
{
    return getInfo(QStringLiteral("getPlaybackDeviceInfo"), deviceId, deviceName, &SimState::playback);
}

int SimAudioDeviceManager::setRecordingDevice(const char deviceId[rtc::MAX_DEVICE_ID_LENGTH])
{
    return setCurrent(QStringLiteral("setRecordingDevice"), deviceId, &SimState::recording, &SimState::currentRecording);
}

int SimAudioDeviceManager::getRecordingDevice(char deviceId[rtc::MAX_DEVICE_ID_LENGTH])
{
    return getCurrent(QStringLiteral("getRecordingDevice"), deviceId, &SimState::currentRecording);
}

int SimAudioDeviceManager::getRecordingDeviceInfo(char deviceId[rtc::MAX_DEVICE_ID_LENGTH],
                                                  char deviceName[rtc::MAX_DEVICE_ID_LENGTH])
{
    return getInfo(QStringLiteral("getRecordingDeviceInfo"), deviceId, deviceName, &SimState::recording);
}

int SimAudioDeviceManager::setRecordingDeviceVolume(int volume)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.record(QStringLiteral("setRecordingDeviceVolume"), {QString::number(volume)});
    int code = 0;
    if (s.forced(QStringLiteral("setRecordingDeviceVolume"), &code))
        return code;
    if (volume < 0 || volume > 255)
        return -rtc::ERR_INVALID_ARGUMENT;
    s.recordingVolume = volume;
    return 0;
}

int SimAudioDeviceManager::getRecordingDeviceVolume(int *volume)
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.record(QStringLiteral("getRecordingDeviceVolume"));
    int code = 0;
    if (s.forced(QStringLiteral("getRecordingDeviceVolume"), &code))
        return code;
    if (!volume)
        return -rtc::ERR_INVALID_ARGUMENT;
    *volume = s.recordingVolume;
    return 0;
}

} // namespace sim
} // namespace agora
