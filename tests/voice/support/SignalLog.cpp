#include "SignalLog.h"

#include "kivoARTCController.h"

#include <QCoreApplication>

void SignalLog::add(const QString &name, const QVariantList &args)
{
    QThread *emitter = QThread::currentThread();
    QMetaObject::invokeMethod(
        this,
        [this, name, args, emitter] {
            std::lock_guard<std::mutex> locker(m_lock);
            m_entries << Entry{name, args, emitter};
        },
        emitter == thread() ? Qt::DirectConnection : Qt::QueuedConnection);
}

void SignalLog::clear()
{
    std::lock_guard<std::mutex> locker(m_lock);
    m_entries.clear();
}

void SignalLog::watch(kivoARTCController *c)
{
    typedef kivoARTCController K;
    // Direct, so that add() runs on the emitting thread.
    const auto on = [this, c](auto signal, auto record) { connect(c, signal, this, record, Qt::DirectConnection); };
    on(&K::sigSDKError, [this](int code, QString msg) { add("sigSDKError", {code, msg}); });
    on(&K::sigEnterSDKRoomSuc, [this] { add("sigEnterSDKRoomSuc", {}); });
    on(&K::sigExitSDKRoomSuc, [this] { add("sigExitSDKRoomSuc", {}); });
    on(&K::sigSwitchSDKRoleSuc, [this] { add("sigSwitchSDKRoleSuc", {}); });
    on(&K::sigLocalAudioReady, [this](bool r) { add("sigLocalAudioReady", {r}); });
    on(&K::sigRemoteAudioAvailable, [this](QString u, bool a) { add("sigRemoteAudioAvailable", {u, a}); });
    on(&K::sigUserVoiceVolume, [this](QString u, int v) { add("sigUserVoiceVolume", {u, v}); });
    on(&K::sigUserVoiceVolumeRemote, [this](QStringList l) { add("sigUserVoiceVolumeRemote", {l}); });
    on(&K::sigConnectOtherRoom, [this](int s, int e) { add("sigConnectOtherRoom", {s, e}); });
    on(&K::sigDisconnectOtherRoom, [this](int s, int e) { add("sigDisconnectOtherRoom", {s, e}); });
    on(&K::sigRtmpStreamingStateChangedError,
       [this](int s, int e) { add("sigRtmpStreamingStateChangedError", {s, e}); });
    on(&K::sigSpeakerVolume, [this](QString u, int v) { add("sigSpeakerVolume", {u, v}); });
    on(&K::sigCameraReady, [this](bool r) { add("sigCameraReady", {r}); });
    on(&K::sigCameraOpenFailed, [this] { add("sigCameraOpenFailed", {}); });
    on(&K::sigRemoteVideoAvailable,
       [this](QString u, bool a, bool s) { add("sigRemoteVideoAvailable", {u, a, s}); });
    on(&K::sigRemoteUserLeaveRoom, [this](QString u) { add("sigRemoteUserLeaveRoom", {u}); });
}

int SignalLog::count(const QString &name) const
{
    return of(name).size();
}

QList<SignalLog::Entry> SignalLog::of(const QString &name) const
{
    std::lock_guard<std::mutex> locker(m_lock);
    QList<Entry> out;
    for (const Entry &e : m_entries)
        if (e.name == name)
            out << e;
    return out;
}

QStringList SignalLog::names() const
{
    std::lock_guard<std::mutex> locker(m_lock);
    QStringList out;
    for (const Entry &e : m_entries)
        out << e.name;
    return out;
}

bool SignalLog::noneEmittedOnGuiThread() const
{
    QThread *gui = QCoreApplication::instance()->thread();
    std::lock_guard<std::mutex> locker(m_lock);
    for (const Entry &e : m_entries)
        if (e.thread == gui)
            return false;
    return true;
}
