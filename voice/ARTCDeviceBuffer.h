#pragma once

#include "agora/RtcBase.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstring>

// A device name or id buffer as the engine takes it: 512 bytes, zero-filled, holding at most
// 511 bytes of UTF-8 and always its terminator.
struct ARTCDeviceBuffer
{
    char data[agora::rtc::MAX_DEVICE_ID_LENGTH];

    ARTCDeviceBuffer() { std::memset(data, 0, sizeof data); }
    // Cut before a character that would not fit whole.
    explicit ARTCDeviceBuffer(const QString &value) : ARTCDeviceBuffer()
    {
        const QByteArray utf8 = value.toUtf8();
        int n = std::min<int>(utf8.size(), sizeof data - 1);
        while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8.at(n)) & 0xC0) == 0x80)
            --n;
        std::memcpy(data, utf8.constData(), static_cast<size_t>(n));
    }
    // Read with a bound: an engine that filled every byte still gives a finished text.
    QString text() const
    {
        const void *end = std::memchr(data, 0, sizeof data);
        const int length = end ? static_cast<int>(static_cast<const char *>(end) - data) : static_cast<int>(sizeof data);
        return QString::fromUtf8(data, length);
    }
};
