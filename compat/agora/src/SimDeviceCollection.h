#pragma once

#include "agora/IAudioDeviceManager.h"
#include "agora/IVideoDeviceManager.h"
#include "agora/RtcSim.h"

#include <QList>

namespace agora {
namespace sim {

// A snapshot of one kind of device list, for audio and video alike.
class SimDeviceCollection : public rtc::IAudioDeviceCollection, public rtc::IVideoDeviceCollection
{
public:
    explicit SimDeviceCollection(const QList<SimDevice> &devices) : m_devices(devices) {}

    int getCount() override;
    int getDevice(int index, char deviceName[rtc::MAX_DEVICE_ID_LENGTH], char deviceId[rtc::MAX_DEVICE_ID_LENGTH]) override;
    void release() override { delete this; }

    // Copies a text into a device buffer, cut to fit with its terminating zero.
    static void fill(char buffer[rtc::MAX_DEVICE_ID_LENGTH], const QString &text);

private:
    ~SimDeviceCollection() override = default;
    QList<SimDevice> m_devices;
};

} // namespace sim
} // namespace agora
