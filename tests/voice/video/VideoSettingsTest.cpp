#include "ARTCVideoSettings.h"

#include <gtest/gtest.h>

// The resolution table, row by row.
TEST(VideoSettingsTest, ResolutionTableRows)
{
    const QList<QPair<int, QSize>> rows = {
        {62, {640, 480}},    {64, {960, 720}},    {108, {640, 360}},   {110, {960, 540}},
        {112, {1280, 720}},  {114, {1920, 1080}}, {116, {2560, 1440}}, {118, {3840, 2160}},
    };
    ASSERT_EQ(resolutionTable().size(), rows.size());
    int i = 0;
    for (auto it = resolutionTable().constBegin(); it != resolutionTable().constEnd(); ++it, ++i) {
        EXPECT_EQ(it.key(), rows.at(i).first);
        EXPECT_EQ(it.value(), rows.at(i).second) << it.key();
    }
    EXPECT_EQ(resolutionSize(63), QSize(-1, -1));
}

TEST(VideoSettingsTest, FindResolutionIdNeedsAnExactLandscapeSize)
{
    EXPECT_EQ(findResolutionId(1280, 720), 112);
    EXPECT_EQ(findResolutionId(720, 1280), 0);
    EXPECT_EQ(findResolutionId(640, 480), 62);
}

// Defaults.
TEST(VideoSettingsTest, DefaultSettingsAndProfile)
{
    const ARTCVideoSettings s;
    EXPECT_EQ(s.codecType, 0);
    EXPECT_EQ(s.dimensions.width, 960);
    EXPECT_EQ(s.dimensions.height, 540);
    EXPECT_EQ(s.frameRate, 15);
    EXPECT_EQ(s.bitrate, 0);
    EXPECT_EQ(s.minBitrate, -1);
    EXPECT_EQ(s.orientationMode, 0);
    EXPECT_EQ(s.degradationPreference, -1);
    EXPECT_EQ(s.mirrorMode, 2);
    EXPECT_EQ(s.advanceOptions.encodingPreference, -1);
    EXPECT_EQ(s.advanceOptions.compressionPreference, -1);
    EXPECT_FALSE(s.advanceOptions.encodeAlpha);
    const ARTCVideoProfile p;
    EXPECT_EQ(p.profileId, 108);
    EXPECT_EQ(p.portrait, 0);
    EXPECT_EQ(p.frameRate, 15);
    EXPECT_EQ(p.bitrate, 550);
    EXPECT_EQ(p.minBitrate, 0);
    EXPECT_EQ(p.reserved, 0);
}

// Conversions.
TEST(VideoSettingsTest, DefaultSettingsConvertToProfile110)
{
    const ARTCVideoProfile p = toVideoProfile(ARTCVideoSettings());
    EXPECT_EQ(p.profileId, 110);
    EXPECT_EQ(p.portrait, 0);
    EXPECT_EQ(p.frameRate, 15);
    EXPECT_EQ(p.bitrate, 0);
    EXPECT_EQ(p.minBitrate, -1);
}

TEST(VideoSettingsTest, PortraitProfileRoundTrips)
{
    ARTCVideoProfile p;
    p.profileId = 110;
    p.portrait = 1;
    p.frameRate = 24;
    p.bitrate = 900;
    p.minBitrate = 300;
    const ARTCVideoSettings s = toEncoderSettings(p);
    EXPECT_EQ(s.dimensions.width, 540);
    EXPECT_EQ(s.dimensions.height, 960);
    EXPECT_EQ(s.orientationMode, 2);
    EXPECT_EQ(s.frameRate, 24);
    EXPECT_EQ(s.bitrate, 900);
    EXPECT_EQ(s.minBitrate, 300);
    EXPECT_EQ(s.mirrorMode, 2);
    const ARTCVideoProfile back = toVideoProfile(s);
    EXPECT_EQ(back.profileId, 110);
    EXPECT_EQ(back.portrait, 1);
    EXPECT_EQ(back.frameRate, 24);
}

TEST(VideoSettingsTest, UnknownIdAndOddPortraitFlag)
{
    ARTCVideoProfile p;
    p.profileId = 7;
    p.portrait = 1;
    ARTCVideoSettings s = toEncoderSettings(p);
    EXPECT_EQ(s.dimensions.width, -1);
    EXPECT_EQ(s.dimensions.height, -1);
    p.profileId = 112;
    p.portrait = 2;
    s = toEncoderSettings(p);
    EXPECT_EQ(s.orientationMode, 1);
    EXPECT_EQ(s.dimensions.width, 1280);
    ARTCVideoSettings tall;
    tall.dimensions = {720, 1280};
    tall.orientationMode = agora::rtc::ORIENTATION_MODE_ADAPTIVE;
    EXPECT_EQ(toVideoProfile(tall).profileId, 0);
}
