#include "SimDeviceCollection.h"

#include "SimState.h"

#include <cstring>

namespace agora {
namespace sim {

int SimDeviceCollection::getCount()
{
    return m_devices.size();
}

int SimDeviceCollection::getDevice(int index, char deviceName[rtc::MAX_DEVICE_ID_LENGTH],
                                   char deviceId[rtc::MAX_DEVICE_ID_LENGTH])
{
    {
        SimState &s = simState();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.record(QStringLiteral("getDevice"), {QString::number(index)});
        int code = 0;
        if (s.forced(QStringLiteral("getDevice"), &code))
            return code;
    }
    if (index < 0 || index >= m_devices.size() || !deviceName || !deviceId)
        return -rtc::ERR_INVALID_ARGUMENT;
    fill(deviceName, m_devices.at(index).name);
    fill(deviceId, m_devices.at(index).id);
    return 0;
}

void SimDeviceCollection::fill(char buffer[rtc::MAX_DEVICE_ID_LENGTH], const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() > rtc::MAX_DEVICE_ID_LENGTH - 1)
        utf8.truncate(rtc::MAX_DEVICE_ID_LENGTH - 1);
    std::memcpy(buffer, utf8.constData(), static_cast<size_t>(utf8.size()));
    buffer[utf8.size()] = '\0';
}

} // namespace sim
} // namespace agora
