#pragma once

#include "agora/IMediaEngine.h"
#include "agora/IRtcEngineEventHandler.h"
#include "agora/RtcSim.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <mutex>
#include <utility>

namespace agora {
namespace sim {

class SimRtcEngine;

// Everything the simulated engine knows, behind one mutex. Events never run under it.
struct SimState
{
    enum ChannelState { Out, Joining, In };

    std::mutex mutex;

    // Settings.
    bool createFails = false;
    int eventDelayMs = 0;
    int joinReportLagMs = 0;
    QMap<QString, int> returnCodes;
    QMap<QString, std::pair<int, QString>> errors;
    QSet<int> missingInterfaces;
    QString version;
    int build = 0;
    QList<SimDevice> playback;
    QList<SimDevice> recording;
    QList<SimDevice> video;
    QString currentPlayback;
    QString currentRecording;
    QString currentVideo;
    int recordingVolume = 0;

    // What was asked.
    QStringList journal;
    QStringList parameters;

    // The engine.
    SimRtcEngine *engine = nullptr;
    bool initialized = false;
    rtc::IRtcEngineEventHandler *handler = nullptr;
    media::IVideoFrameObserver *observer = nullptr;
    QString appId;
    QString logPath;
    unsigned int areaCode = 0;
    ChannelState channelState = Out;
    QString channel;
    // Counts joins, so that a join cancelled by a leave never completes a later one.
    uint64_t joinAttempt = 0;
    rtc::uid_t uid = 0;
    int role = rtc::CLIENT_ROLE_AUDIENCE;
    int dropped = 0;
    int released = 0;

    SimState();
    void resetSettings();
    void record(const QString &name, const QStringList &args = {});
    // The forced code of a call, when a test set one.
    bool forced(const QString &name, int *code) const;
    bool scripted(const QString &name, int *code, QString *message) const;
};

SimState &simState();

} // namespace sim
} // namespace agora
