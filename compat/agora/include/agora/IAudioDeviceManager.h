#pragma once

#include "agora/RtcBase.h"

namespace agora {
namespace rtc {

// A snapshot of the devices of one kind; the caller releases it.
class IAudioDeviceCollection
{
public:
    virtual int getCount() = 0;
    virtual int getDevice(int index, char deviceName[MAX_DEVICE_ID_LENGTH], char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual void release() = 0;

protected:
    virtual ~IAudioDeviceCollection() = default;
};

// Obtained with queryInterface(AGORA_IID_AUDIO_DEVICE_MANAGER); the caller releases it.
class IAudioDeviceManager
{
public:
    virtual IAudioDeviceCollection *enumeratePlaybackDevices() = 0;
    virtual IAudioDeviceCollection *enumerateRecordingDevices() = 0;
    virtual int setPlaybackDevice(const char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual int getPlaybackDevice(char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual int getPlaybackDeviceInfo(char deviceId[MAX_DEVICE_ID_LENGTH], char deviceName[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual int setRecordingDevice(const char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual int getRecordingDevice(char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual int getRecordingDeviceInfo(char deviceId[MAX_DEVICE_ID_LENGTH], char deviceName[MAX_DEVICE_ID_LENGTH]) = 0;
    virtual int setRecordingDeviceVolume(int volume) = 0;
    virtual int getRecordingDeviceVolume(int *volume) = 0;
    virtual void release() = 0;

protected:
    virtual ~IAudioDeviceManager() = default;
};

} // namespace rtc
} // namespace agora
