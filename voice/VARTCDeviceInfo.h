#pragma once

#include "VRTCDeviceAbstract.h"

#include <QByteArray>
#include <QString>

class VARTCDeviceInfo : public VRTCDeviceAbstract
{
public:
    explicit VARTCDeviceInfo(const QString &name);

    void releaseDevice() override;
    int deviceCode() override;
    // UTF-8, valid as long as the record and until the next call; never null.
    const char *deviceName() override;

private:
    const QString m_name;
    QByteArray m_utf8;
};
