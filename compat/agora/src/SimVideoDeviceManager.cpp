#include "SimVideoDeviceManager.h"

#include "SimAudioDeviceManager.h"
#include "SimDeviceCollection.h"
#include "SimState.h"

namespace agora {
namespace sim {

rtc::IVideoDeviceCollection *SimVideoDeviceManager::enumerateVideoDevices()
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.record(QStringLiteral("enumerateVideoDevices"));
    int code = 0;
    if (s.forced(QStringLiteral("enumerateVideoDevices"), &code))
        return nullptr;
    return new SimDeviceCollection(s.video);
}

int SimVideoDeviceManager::setDevice(const char deviceId[rtc::MAX_DEVICE_ID_LENGTH])
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const QString id = simBufferText(deviceId);
    s.record(QStringLiteral("setDevice"), {id});
    int code = 0;
    if (s.forced(QStringLiteral("setDevice"), &code))
        return code;
    for (const SimDevice &d : s.video) {
        if (d.id == id) {
            s.currentVideo = id;
            return 0;
        }
    }
    return -rtc::ERR_INVALID_ARGUMENT;
}

int SimVideoDeviceManager::getDevice(char deviceId[rtc::MAX_DEVICE_ID_LENGTH])
{
    SimState &s = simState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.record(QStringLiteral("getVideoDevice"));
    if (!deviceId)
        return -rtc::ERR_INVALID_ARGUMENT;
    SimDeviceCollection::fill(deviceId, s.currentVideo);
    return 0;
}

} // namespace sim
} // namespace agora
