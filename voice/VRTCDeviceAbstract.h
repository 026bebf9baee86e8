#pragma once

// One media device described by name.
class VRTCDeviceAbstract
{
public:
    virtual ~VRTCDeviceAbstract() = default;
    virtual void releaseDevice() = 0;
    virtual int deviceCode() = 0;
    virtual const char *deviceName() = 0;
};
