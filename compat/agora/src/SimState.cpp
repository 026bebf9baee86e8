#include "SimState.h"

namespace agora {
namespace sim {

SimState &simState()
{
    // Never destroyed: an engine still alive at process exit may be released by another
    // static's destructor after this one would have gone.
    static SimState *state = new SimState;
    return *state;
}

SimState::SimState()
{
    resetSettings();
}

void SimState::resetSettings()
{
    createFails = false;
    eventDelayMs = 0;
    joinReportLagMs = 0;
    returnCodes.clear();
    errors.clear();
    missingInterfaces.clear();
    version = QStringLiteral("4.2.1");
    build = 123;
    playback = {{QStringLiteral("扬声器 (Sim Audio)"), QStringLiteral("{sim-speaker-1}")},
                {QStringLiteral("耳机 (Sim Headset)"), QStringLiteral("{sim-speaker-2}")}};
    recording = {{QStringLiteral("麦克风 (Sim Audio)"), QStringLiteral("{sim-mic-1}")},
                 {QStringLiteral("耳机麦克风 (Sim Headset)"), QStringLiteral("{sim-mic-2}")}};
    video = {{QStringLiteral("Sim Camera"), QStringLiteral("sim-camera-1")},
             {QStringLiteral("Sim Virtual Camera"), QStringLiteral("sim-camera-2")}};
    currentPlayback = playback.first().id;
    currentRecording = recording.first().id;
    currentVideo = video.first().id;
    recordingVolume = 100;
    journal.clear();
    parameters.clear();
}

void SimState::record(const QString &name, const QStringList &args)
{
    journal << name + QLatin1Char('(') + args.join(QStringLiteral(", ")) + QLatin1Char(')');
}

bool SimState::forced(const QString &name, int *code) const
{
    const auto it = returnCodes.constFind(name);
    if (it == returnCodes.constEnd())
        return false;
    *code = it.value();
    return true;
}

bool SimState::scripted(const QString &name, int *code, QString *message) const
{
    const auto it = errors.constFind(name);
    if (it == errors.constEnd())
        return false;
    *code = it.value().first;
    *message = it.value().second;
    return true;
}

} // namespace sim
} // namespace agora
