#pragma once

// Controls of the simulated engine behind the SDK surface: what tests and whole-program runs
// set (devices, return codes, delays, scripted errors) and what they read back (the journal of
// calls, the parameters given, the engine's state). Every member is thread-safe.
//
// For whole-program runs createAgoraRtcEngine reads the JSON file named by AMBREL_RTC_SIM:
// {
//   "createFails": false, "eventDelayMs": 20, "version": "4.2.1", "build": 123,
//   "returnCodes": {"joinChannel": -17},
//   "errors": {"joinChannel": {"code": 110, "msg": "token expired"}},
//   "missingInterfaces": [1],
//   "playbackDevices": [{"name": "...", "id": "..."}], "recordingDevices": [...], "videoDevices": [...],
//   "currentPlaybackDevice": "id", "currentRecordingDevice": "id", "recordingDeviceVolume": 80
// }

#include "agora/IMediaEngine.h"
#include "agora/IRtcEngineEventHandler.h"
#include "agora/RtcBase.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace agora {
namespace sim {

struct SimDevice
{
    QString name;
    QString id;
};

// A test picture: each plane filled with one value, rows padded to the strides.
struct SimFrame
{
    rtc::uid_t uid = 0; // 0: the local capture, otherwise a remote user's picture
    int width = 0;
    int height = 0;
    int yStride = 0;  // 0: the width
    int uvStride = 0; // 0: half the width, rounded up
    uint8_t y = 0;
    uint8_t u = 0;
    uint8_t v = 0;
    media::VIDEO_PIXEL_FORMAT type = media::VIDEO_PIXEL_I420;
};

class RtcSim
{
public:
    // Back to the defaults: two devices of each kind, version 4.2.1 build 123, no delay,
    // no forced codes or errors, an empty journal. The engine itself is not touched.
    static void reset();
    // Applies a JSON file of the form above; false (and nothing changed) when it cannot be read.
    static bool loadFile(const QString &path);

    static void setCreateFails(bool fails);
    static void setEventDelayMs(int delayMs);
    // How long the engine is in a channel before it reports the join; its thread is busy with
    // that report meanwhile, so no other event comes before it.
    static void setJoinReportLagMs(int lagMs);
    // The named call (e.g. "joinChannel", "getDevice", "initialize") returns this code and does
    // nothing else.
    static void setReturnCode(const QString &call, int code);
    static void clearReturnCodes();
    // After the named call succeeds, the engine reports onError(code, message) instead of the
    // event the call normally brings (join, leave, role change, RTMP or relay state).
    static void scriptError(const QString &call, int code, const QString &message);
    static void clearScriptedErrors();
    static void setInterfaceAvailable(rtc::INTERFACE_ID_TYPE iid, bool available);
    static void setVersion(const QString &version, int build);

    static void setPlaybackDevices(const QList<SimDevice> &devices);
    static void setRecordingDevices(const QList<SimDevice> &devices);
    static void setVideoDevices(const QList<SimDevice> &devices);
    static void setCurrentPlaybackDevice(const QString &id);
    static void setCurrentRecordingDevice(const QString &id);
    static QString currentPlaybackDevice();
    static QString currentRecordingDevice();
    static QString currentVideoDevice();
    static void setRecordingDeviceVolume(int volume);
    static int recordingDeviceVolume();

    // Each call as "name(arguments)", in the order received.
    static QStringList journal();
    // Only the names.
    static QStringList calls();
    static void clearJournal();
    // Every text given to setParameters (the engine's own and the parameter service's).
    static QStringList parameters();

    // Runs an event on the engine's thread after the delay; false when no engine is initialised.
    static bool post(const std::function<void(rtc::IRtcEngineEventHandler *)> &event, int delayMs = 0);
    // Hands a picture to the registered frame observer on the engine's thread.
    static bool postFrame(const SimFrame &frame);
    // Waits until the engine's thread has nothing pending; true when it got there in time.
    static bool waitIdle(int timeoutMs = 5000);

    static bool engineExists();
    static bool initialized();
    static bool inChannel();
    static QString channel();
    static int role();
    static QString appId();
    static QString logFilePath();
    static unsigned int areaCode();
    static bool observerRegistered();
    // Events that were still pending when the engine was released and so never ran.
    static int droppedEvents();
    // How many engines have been released since the process started.
    static int releaseCount();
};

} // namespace sim
} // namespace agora
