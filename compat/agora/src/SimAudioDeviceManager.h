#pragma once

#include "agora/IAudioDeviceManager.h"

#include <QString>

namespace agora {
namespace sim {

// Devices, current devices and the recording device volume of the simulated engine.
class SimAudioDeviceManager : public rtc::IAudioDeviceManager
{
public:
    rtc::IAudioDeviceCollection *enumeratePlaybackDevices() override;
    rtc::IAudioDeviceCollection *enumerateRecordingDevices() override;
    int setPlaybackDevice(const char deviceId[rtc::MAX_DEVICE_ID_LENGTH]) override;
    int getPlaybackDevice(char deviceId[rtc::MAX_DEVICE_ID_LENGTH]) override;
    int getPlaybackDeviceInfo(char deviceId[rtc::MAX_DEVICE_ID_LENGTH], char deviceName[rtc::MAX_DEVICE_ID_LENGTH]) override;
    int setRecordingDevice(const char deviceId[rtc::MAX_DEVICE_ID_LENGTH]) override;
    int getRecordingDevice(char deviceId[rtc::MAX_DEVICE_ID_LENGTH]) override;
    int getRecordingDeviceInfo(char deviceId[rtc::MAX_DEVICE_ID_LENGTH], char deviceName[rtc::MAX_DEVICE_ID_LENGTH]) override;
    int setRecordingDeviceVolume(int volume) override;
    int getRecordingDeviceVolume(int *volume) override;
    void release() override { delete this; }

private:
    ~SimAudioDeviceManager() override = default;
};

// Reads a device buffer as text, never past its end.
QString simBufferText(const char *buffer);

} // namespace sim
} // namespace agora
