#pragma once

#include <QObject>
#include <QString>

class kivoARTCController;

// The controller's completion signals, emitted again on the controller's own thread. The engine
// reports on a thread of its own, and a waiting request ends by deleting its receiver: Qt can lose
// a queued call's slot when its receiver is deleted while another thread emits to it, so the
// waits listen here, on their own thread, and only this long-lived object hears the engine's
// thread. One per controller, its child.
class VCefRTCSignalRelay : public QObject
{
    Q_OBJECT
public:
    static VCefRTCSignalRelay *of(kivoARTCController *controller);

signals:
    void sigSDKError(int code, QString msg);
    void sigEnterSDKRoomSuc();
    void sigExitSDKRoomSuc();
    void sigSwitchSDKRoleSuc();
    void sigSDKRoomJoinCancelled(quint64 request);

private:
    explicit VCefRTCSignalRelay(kivoARTCController *controller);
};
