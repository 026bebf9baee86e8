#pragma once

#include "agora/IVideoDeviceManager.h"

namespace agora {
namespace sim {

class SimVideoDeviceManager : public rtc::IVideoDeviceManager
{
public:
    rtc::IVideoDeviceCollection *enumerateVideoDevices() override;
    int setDevice(const char deviceId[rtc::MAX_DEVICE_ID_LENGTH]) override;
    int getDevice(char deviceId[rtc::MAX_DEVICE_ID_LENGTH]) override;
    void release() override { delete this; }

private:
    ~SimVideoDeviceManager() override = default;
};

} // namespace sim
} // namespace agora
