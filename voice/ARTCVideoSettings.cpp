#include "ARTCVideoSettings.h"

#include <utility>

namespace {

// Built before main runs and never changed.
const QMap<int, QSize> g_resolutionTable = {
    {62, QSize(640, 480)},   {64, QSize(960, 720)},    {108, QSize(640, 360)},   {110, QSize(960, 540)},
    {112, QSize(1280, 720)}, {114, QSize(1920, 1080)}, {116, QSize(2560, 1440)}, {118, QSize(3840, 2160)},
};

} // namespace

const QMap<int, QSize> &resolutionTable()
{
    return g_resolutionTable;
}

QSize resolutionSize(int profileId)
{
    return g_resolutionTable.value(profileId, QSize());
}

int findResolutionId(int width, int height)
{
    for (auto it = g_resolutionTable.constBegin(); it != g_resolutionTable.constEnd(); ++it)
        if (it.value() == QSize(width, height))
            return it.key();
    return 0;
}

ARTCVideoSettings toEncoderSettings(const ARTCVideoProfile &profile)
{
    const QSize size = resolutionSize(profile.profileId);
    int width = size.width();
    int height = size.height();
    const bool portrait = profile.portrait == 1;
    if (portrait)
        std::swap(width, height);
    ARTCVideoSettings settings;
    settings.dimensions.width = width;
    settings.dimensions.height = height;
    settings.orientationMode = portrait ? agora::rtc::ORIENTATION_MODE_FIXED_PORTRAIT
                                        : agora::rtc::ORIENTATION_MODE_FIXED_LANDSCAPE;
    settings.frameRate = profile.frameRate;
    settings.bitrate = profile.bitrate;
    settings.minBitrate = profile.minBitrate;
    return settings;
}

ARTCVideoProfile toVideoProfile(const ARTCVideoSettings &settings)
{
    int width = settings.dimensions.width;
    int height = settings.dimensions.height;
    const bool portrait = settings.orientationMode == agora::rtc::ORIENTATION_MODE_FIXED_PORTRAIT;
    if (portrait)
        std::swap(width, height);
    ARTCVideoProfile profile;
    profile.profileId = findResolutionId(width, height);
    profile.portrait = portrait ? 1 : 0;
    profile.frameRate = settings.frameRate;
    profile.bitrate = settings.bitrate;
    profile.minBitrate = settings.minBitrate;
    return profile;
}
