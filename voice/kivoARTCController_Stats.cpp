// Statistics texts for the log, and the geometry helpers beside them.
#include "kivoARTCController.h"

#include <QPair>
#include <QVector>

namespace {

typedef QVector<QPair<const char *, QString>> Fields;

QString join(const Fields &fields)
{
    QString text;
    for (int i = 0; i < fields.size(); ++i) {
        if (i)
            text += QLatin1Char(',');
        text += QStringLiteral("%1=%2").arg(QLatin1String(fields.at(i).first), fields.at(i).second);
    }
    return text;
}

QString real(double value)
{
    return QString::number(value, 'g', 6);
}

QString whole(qint64 value)
{
    return QString::number(value);
}

} // namespace

QString kivoARTCController::formatRtcStats(const agora::rtc::RtcStats &s)
{
    return join({{"duration", whole(s.duration)},
                 {"txBytes", whole(s.txBytes)},
                 {"rxBytes", whole(s.rxBytes)},
                 {"txAudioBytes", whole(s.txAudioBytes)},
                 {"txVideoBytes", whole(s.txVideoBytes)},
                 {"rxAudioBytes", whole(s.rxAudioBytes)},
                 {"rxVideoBytes", whole(s.rxVideoBytes)},
                 {"txKBitRate", whole(s.txKBitRate)},
                 {"rxKBitRate", whole(s.rxKBitRate)},
                 {"rxAudioKBitRate", whole(s.rxAudioKBitRate)},
                 {"txAudioKBitRate", whole(s.txAudioKBitRate)},
                 {"rxVideoKBitRate", whole(s.rxVideoKBitRate)},
                 {"txVideoKBitRate", whole(s.txVideoKBitRate)},
                 {"lastmileDelay", whole(s.lastmileDelay)},
                 {"txPacketLossRate", whole(s.txPacketLossRate)},
                 {"rxPacketLossRate", whole(s.rxPacketLossRate)},
                 {"userCount", whole(s.userCount)},
                 {"cpuAppUsage", real(s.cpuAppUsage)},
                 {"cpuTotalUsage", real(s.cpuTotalUsage)},
                 {"gatewayRtt", whole(s.gatewayRtt)},
                 {"memoryAppUsageRatio", real(s.memoryAppUsageRatio)},
                 {"memoryTotalUsageRatio", real(s.memoryTotalUsageRatio)},
                 {"memoryAppUsageInKbytes", whole(s.memoryAppUsageInKbytes)}});
}

QString kivoARTCController::formatLastmileProbeResult(const agora::rtc::LastmileProbeResult &r)
{
    return join({{"state", whole(r.state)},
                 {"uplinkReport.packetLossRate", whole(r.uplinkReport.packetLossRate)},
                 {"uplinkReport.jitter", whole(r.uplinkReport.jitter)},
                 {"uplinkReport.availableBandwidth", whole(r.uplinkReport.availableBandwidth)},
                 {"downlinkReport.packetLossRate", whole(r.downlinkReport.packetLossRate)},
                 {"downlinkReport.jitter", whole(r.downlinkReport.jitter)},
                 {"downlinkReport.availableBandwidth", whole(r.downlinkReport.availableBandwidth)},
                 {"rtt", whole(r.rtt)}});
}

QString kivoARTCController::formatLocalAudioStats(const agora::rtc::LocalAudioStats &s)
{
    return join({{"numChannels", whole(s.numChannels)},
                 {"sentSampleRate", whole(s.sentSampleRate)},
                 {"sentBitrate", whole(s.sentBitrate)},
                 {"txPacketLossRate", whole(s.txPacketLossRate)}});
}

QString kivoARTCController::formatRemoteAudioStats(const agora::rtc::RemoteAudioStats &s)
{
    return join({{"uid", whole(s.uid)},
                 {"quality", whole(s.quality)},
                 {"networkTransportDelay", whole(s.networkTransportDelay)},
                 {"jitterBufferDelay", whole(s.jitterBufferDelay)},
                 {"audioLossRate", whole(s.audioLossRate)},
                 {"numChannels", whole(s.numChannels)},
                 {"receivedSampleRate", whole(s.receivedSampleRate)},
                 {"receivedBitrate", whole(s.receivedBitrate)},
                 {"totalFrozenTime", whole(s.totalFrozenTime)},
                 {"frozenRate", whole(s.frozenRate)},
                 {"totalActiveTime", whole(s.totalActiveTime)},
                 {"publishDuration", whole(s.publishDuration)},
                 {"qoeQuality", whole(s.qoeQuality)},
                 {"qualityChangedReason", whole(s.qualityChangedReason)},
                 {"mosValue", whole(s.mosValue)}});
}

QString kivoARTCController::formatAudioVolumeInfo(const agora::rtc::AudioVolumeInfo *speakers, unsigned int count)
{
    if (!speakers || count == 0)
        return QStringLiteral("[]");
    QString text;
    for (unsigned int i = 0; i < count; ++i) {
        const agora::rtc::AudioVolumeInfo &v = speakers[i];
        text += QStringLiteral("[uid=%1,volume=%2,vad=%3,voicePitch=%4]")
                    .arg(v.uid)
                    .arg(v.volume)
                    .arg(v.vad)
                    .arg(QString::number(v.voicePitch, 'g', 6));
    }
    return text;
}

QRect kivoARTCController::fitRect(int containerWidth, int containerHeight, int contentWidth, int contentHeight)
{
    if (contentWidth == 0 || contentHeight == 0)
        return QRect();
    int w = contentWidth;
    int h = contentHeight;
    if (containerWidth != contentWidth) {
        w = containerWidth;
        h = static_cast<int>(static_cast<qint64>(contentHeight) * containerWidth / contentWidth);
    }
    if (containerHeight < h) {
        h = containerHeight;
        w = static_cast<int>(static_cast<qint64>(contentWidth) * containerHeight / contentHeight);
    }
    return QRect((containerWidth - w) / 2, (containerHeight - h) / 2, w, h);
}

int kivoARTCController::swapInts(int &a, int &b)
{
    const int first = a;
    a = b;
    b = first;
    return first;
}
