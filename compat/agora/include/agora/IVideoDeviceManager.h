#pragma once

#include "agora/RtcBase.h"

namespace agora {
namespace rtc {

class IVideoDeviceCollection
{
public:
    virtual int getCount() = 0;
    virtual int getDevice(int index, char deviceName[MAX_DEVICE_ID_LENGTH], char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual void release() = 0;

protected:
    virtual ~IVideoDeviceCollection() = default;
};

// Obtained with queryInterface(AGORA_IID_VIDEO_DEVICE_MANAGER); the caller releases it.
class IVideoDeviceManager
{
public:
    virtual IVideoDeviceCollection *enumerateVideoDevices() = 0;
    virtual int setDevice(const char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual int getDevice(char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual void release() = 0;

protected:
    virtual ~IVideoDeviceManager() = default;
};

} // namespace rtc
} // namespace agora
