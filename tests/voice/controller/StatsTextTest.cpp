#include "kivoARTCController.h"

#include <gtest/gtest.h>

typedef kivoARTCController K;

// The name=value formatters.
TEST(StatsTextTest, ZeroProbeResult)
{
    EXPECT_EQ(K::formatLastmileProbeResult(agora::rtc::LastmileProbeResult()),
              QStringLiteral("state=0,uplinkReport.packetLossRate=0,uplinkReport.jitter=0,uplinkReport.availableBandwidth=0,"
                             "downlinkReport.packetLossRate=0,downlinkReport.jitter=0,downlinkReport.availableBandwidth=0,rtt=0"));
}

TEST(StatsTextTest, RtcStatsInTheirOrderWithRealNumbers)
{
    agora::rtc::RtcStats s;
    s.duration = 1;
    s.txBytes = 2;
    s.rxAudioKBitRate = 10;
    s.txAudioKBitRate = 11;
    s.cpuAppUsage = 0.5;
    s.cpuTotalUsage = 12.345678;
    s.gatewayRtt = -3;
    s.memoryAppUsageInKbytes = 2048;
    EXPECT_EQ(K::formatRtcStats(s),
              QStringLiteral("duration=1,txBytes=2,rxBytes=0,txAudioBytes=0,txVideoBytes=0,rxAudioBytes=0,rxVideoBytes=0,"
                             "txKBitRate=0,rxKBitRate=0,rxAudioKBitRate=10,txAudioKBitRate=11,rxVideoKBitRate=0,"
                             "txVideoKBitRate=0,lastmileDelay=0,txPacketLossRate=0,rxPacketLossRate=0,userCount=0,"
                             "cpuAppUsage=0.5,cpuTotalUsage=12.3457,gatewayRtt=-3,memoryAppUsageRatio=0,"
                             "memoryTotalUsageRatio=0,memoryAppUsageInKbytes=2048"));
}

TEST(StatsTextTest, AudioStatsWithMosValueLast)
{
    agora::rtc::LocalAudioStats l;
    l.numChannels = 2;
    l.sentSampleRate = 48000;
    l.sentBitrate = 64;
    l.txPacketLossRate = 3;
    EXPECT_EQ(K::formatLocalAudioStats(l), QStringLiteral("numChannels=2,sentSampleRate=48000,sentBitrate=64,txPacketLossRate=3"));
    agora::rtc::RemoteAudioStats r;
    r.uid = 3000000000u;
    r.mosValue = 4;
    r.totalActiveTime = 9;
    EXPECT_EQ(K::formatRemoteAudioStats(r),
              QStringLiteral("uid=3000000000,quality=0,networkTransportDelay=0,jitterBufferDelay=0,audioLossRate=0,"
                             "numChannels=0,receivedSampleRate=0,receivedBitrate=0,totalFrozenTime=0,frozenRate=0,"
                             "totalActiveTime=9,publishDuration=0,qoeQuality=0,qualityChangedReason=0,mosValue=4"));
}

TEST(StatsTextTest, VolumeInfoEntriesWithoutSeparator)
{
    agora::rtc::AudioVolumeInfo v[2];
    v[0].uid = 1;
    v[0].volume = 2;
    v[0].vad = 1;
    v[0].voicePitch = 123.456789;
    v[1].uid = 4000000000u;
    EXPECT_EQ(K::formatAudioVolumeInfo(v, 2),
              QStringLiteral("[uid=1,volume=2,vad=1,voicePitch=123.457][uid=4000000000,volume=0,vad=0,voicePitch=0]"));
    EXPECT_EQ(K::formatAudioVolumeInfo(v, 0), QStringLiteral("[]"));
    EXPECT_EQ(K::formatAudioVolumeInfo(nullptr, 3), QStringLiteral("[]"));
}

// Geometry helpers.
TEST(StatsTextTest, FitRectLetterBoxes)
{
    EXPECT_EQ(K::fitRect(400, 300, 640, 360), QRect(0, 37, 400, 225));
    EXPECT_EQ(K::fitRect(400, 300, 400, 600), QRect(100, 0, 200, 300));
    EXPECT_EQ(K::fitRect(400, 300, 400, 200), QRect(0, 50, 400, 200));
    EXPECT_TRUE(K::fitRect(400, 300, 640, 0).isNull());
    EXPECT_TRUE(K::fitRect(400, 300, 0, 360).isNull());
}

TEST(StatsTextTest, SwapIntsReturnsTheFirstValue)
{
    int a = 3;
    int b = 8;
    EXPECT_EQ(K::swapInts(a, b), 3);
    EXPECT_EQ(a, 8);
    EXPECT_EQ(b, 3);
}
