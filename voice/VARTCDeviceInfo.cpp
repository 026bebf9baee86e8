#include "VARTCDeviceInfo.h"

VARTCDeviceInfo::VARTCDeviceInfo(const QString &name) : m_name(name) {}

void VARTCDeviceInfo::releaseDevice() {}

int VARTCDeviceInfo::deviceCode()
{
    return 0;
}

const char *VARTCDeviceInfo::deviceName()
{
    m_utf8 = m_name.toUtf8();
    return m_utf8.constData();
}
