#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include <QtPromise>

#include <functional>
#include <vector>

#include "CefHandler.h"

class VCefQueryManager;
class VCefWidgetAbstract;
class kivoARTCController;

// The voice queries of pages ("rtc…"): each one drives the voice engine controller and is
// answered in the page reply format through the window that asked. Entering, leaving and
// switching the role are answered once the controller confirms them by a signal.
class VCefRTCBusinessManager : public QObject
{
    Q_OBJECT
public:
    // controller: what the queries drive; null means kivoARTCController::getInstance(), looked up
    // only when a query needs it.
    explicit VCefRTCBusinessManager(kivoARTCController *controller = nullptr, QObject *parent = nullptr);
    // Leaves empty handlers behind in the query manager it registered with, so a query arriving
    // after this never reaches a deleted object.
    ~VCefRTCBusinessManager() override;

    void registerAll();

    // Device list text: [{"deviceId":…,"deviceName":…},…] written compact with a line feed;
    // an empty list is null.
    static QString deviceListText(const QList<QPair<QString, QString>> &devices);
    // A volume given as a JSON integer, or as a text holding one (anything else reads as 0).
    static int volumeOf(const Json::Value &value);

private:
    enum class WaitKind { Enter, Exit, Role };
    typedef void (VCefRTCBusinessManager::*Handler)(const Json::Value &, VCefWidgetAbstract *);
    struct Entry
    {
        const char *funcName;
        Handler handler;
    };
    // Every query, in the order of registration.
    static const std::vector<Entry> &entries();

    kivoARTCController *controller() const;
    CefHandler bind(Handler handler);
    // Settles on the controller's completion signal (an enter: on the join of its own room, or
    // failed once a later exit or enter for another room cancels it), and, entering or leaving,
    // on any engine error; the waiting context goes when it settles, whether or not the asking
    // window lives. `completed` runs as the completion arrives, before the promise settles, with
    // the number of the operation's room request; `engineError` runs as an engine error comes,
    // and the error fails the wait unless it returns false; `refused` runs when the operation
    // refuses at once, before the promise rejects.
    // `waiting` receives the waiting context.
    QtPromise::QPromise<void> waitFor(WaitKind kind, const std::function<bool()> &operation,
                                      const std::function<void(quint64)> &completed = {},
                                      const std::function<bool()> &engineError = {},
                                      const std::function<void()> &refused = {}, QPointer<QObject> *waiting = nullptr);

    // Enters and exits take turns as they are asked. An answer that tells the page where it is (a
    // success, a cancellation, an engine error) goes out once those of the turns before it have:
    // a completion the engine reported earlier can reach this thread after a later request was
    // settled already, and a page told "left" after "entered" would believe the opposite of where
    // the engine is. A refusal changes nothing and waits for no one, nor does anyone wait for it.
    // An exit still waiting for its leave report when a later answer is ready is answered first,
    // state 1: the engine accepted its leave, and has moved on since.
    struct Turn
    {
        enum State { Waiting, Ready, Free };
        State state = Waiting;
        std::function<void()> answer;
        // An exit's: its answer and its waiting context, when a later answer comes first.
        std::function<void()> superseded;
        QPointer<QObject> wait;
    };
    quint64 takeTurn(const std::function<void()> &superseded = {});
    // The turn's request was refused at once.
    void freeTurn(quint64 turn);
    void answerTurn(quint64 turn, const std::function<void()> &answer);
    void sendReady();
    // Each, also once this manager is gone (the answer then goes out at once).
    static void freeTurnOf(const QPointer<VCefRTCBusinessManager> &self, quint64 turn);
    static void answerTurnOf(const QPointer<VCefRTCBusinessManager> &self, quint64 turn,
                             const std::function<void()> &answer);

    void onSetSDKUserInfo(const Json::Value &root, VCefWidgetAbstract *window);
    void onEnterSDKRoom(const Json::Value &root, VCefWidgetAbstract *window);
    void onExitSDKRoom(const Json::Value &root, VCefWidgetAbstract *window);
    void onSwitchSDKRole(const Json::Value &root, VCefWidgetAbstract *window);
    void onStartRtmpStream(const Json::Value &root, VCefWidgetAbstract *window);
    void onStopRtmpStream(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetMuteLocalAudioStream(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetMuteRemoteAudioStream(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetMuteAllRemoteAudioStreams(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetEnableLoopbackRecording(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetCurrentSpeakerDevice(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetSpeakList(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetSpeakDevice(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetCurrentMicDevice(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetMicList(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetMicDevice(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetSpeakerVoice(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetMicVoice(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetMicDeviceVoice(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetMicDeviceVoice(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetANS(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetANS(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetAGC(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetAGC(const Json::Value &root, VCefWidgetAbstract *window);
    void onSetAEC(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetAEC(const Json::Value &root, VCefWidgetAbstract *window);

    kivoARTCController *m_controller;
    QPointer<VCefQueryManager> m_registeredWith;
    quint64 m_roomTurns = 0;
    // The turns not answered yet.
    QMap<quint64, Turn> m_turns;
};
