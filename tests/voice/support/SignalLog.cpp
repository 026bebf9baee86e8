#include "SignalLog.h"

#include "kivoARTCController.h"

#include <QCoreApplication>

void SignalLog::add(const QString &name, const QVariantList &args)
{
    std::lock_guard<std::mutex> locker(m_lock);
    m_entries << Entry{name, args, QThread::currentThread()};
}

void SignalLog::clear()
{
    std::lock_guard<std::mutex> locker(m_lock);
    m_entries.clear();
}

void SignalLog::watch(kivoARTCController *c)
{
    typedef kivoARTCController K;
    connect(c, &K::sigSDKError, this, [this](int code, QString msg) { add("sigSDKError", {code, msg}); });
    connect(c, &K::sigEnterSDKRoomSuc, this, [this] { add("sigEnterSDKRoomSuc", {}); });
    connect(c, &K::sigExitSDKRoomSuc, this, [this] { add("sigExitSDKRoomSuc", {}); });
    connect(c, &K::sigSwitchSDKRoleSuc, this, [this] { add("sigSwitchSDKRoleSuc", {}); });
    connect(c, &K::sigLocalAudioReady, this, [this](bool r) { add("sigLocalAudioReady", {r}); });
    connect(c, &K::sigRemoteAudioAvailable, this, [this](QString u, bool a) { add("sigRemoteAudioAvailable", {u, a}); });
    connect(c, &K::sigUserVoiceVolume, this, [this](QString u, int v) { add("sigUserVoiceVolume", {u, v}); });
    connect(c, &K::sigUserVoiceVolumeRemote, this, [this](QStringList l) { add("sigUserVoiceVolumeRemote", {l}); });
    connect(c, &K::sigConnectOtherRoom, this, [this](int s, int e) { add("sigConnectOtherRoom", {s, e}); });
    connect(c, &K::sigDisconnectOtherRoom, this, [this](int s, int e) { add("sigDisconnectOtherRoom", {s, e}); });
    connect(c, &K::sigRtmpStreamingStateChangedError, this,
            [this](int s, int e) { add("sigRtmpStreamingStateChangedError", {s, e}); });
    connect(c, &K::sigSpeakerVolume, this, [this](QString u, int v) { add("sigSpeakerVolume", {u, v}); });
    connect(c, &K::sigCameraReady, this, [this](bool r) { add("sigCameraReady", {r}); });
    connect(c, &K::sigCameraOpenFailed, this, [this] { add("sigCameraOpenFailed", {}); });
    connect(c, &K::sigRemoteVideoAvailable, this,
            [this](QString u, bool a, bool s) { add("sigRemoteVideoAvailable", {u, a, s}); });
    connect(c, &K::sigRemoteUserLeaveRoom, this, [this](QString u) { add("sigRemoteUserLeaveRoom", {u}); });
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

bool SignalLog::allOnGuiThread() const
{
    QThread *gui = QCoreApplication::instance()->thread();
    std::lock_guard<std::mutex> locker(m_lock);
    for (const Entry &e : m_entries)
        if (e.thread != gui)
            return false;
    return true;
}
