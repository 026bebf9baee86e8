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
    if (utf8.size() > rtc::MAX_DEVICE_ID_LENGTH - 1) {
        // Cut before a character that would not fit whole.
        int n = rtc::MAX_DEVICE_ID_LENGTH - 1;
        while (n > 0 && (static_cast<unsigned char>(utf8.at(n)) & 0xC0) == 0x80)
            --n;
        utf8.truncate(n);
    }
    std::memcpy(buffer, utf8.constData(), static_cast<size_t>(utf8.size()));
    buffer[utf8.size()] = '\0';
}

} // namespace sim
} // namespace agora
