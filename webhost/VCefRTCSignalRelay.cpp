#include "VCefRTCSignalRelay.h"

#include "kivoARTCController.h"

VCefRTCSignalRelay *VCefRTCSignalRelay::of(kivoARTCController *controller)
{
    if (auto *relay = controller->findChild<VCefRTCSignalRelay *>(QString(), Qt::FindDirectChildrenOnly))
        return relay;
    return new VCefRTCSignalRelay(controller);
}

VCefRTCSignalRelay::VCefRTCSignalRelay(kivoARTCController *controller) : QObject(controller)
{
    connect(controller, &kivoARTCController::sigSDKError, this, &VCefRTCSignalRelay::sigSDKError);
    connect(controller, &kivoARTCController::sigEnterSDKRoomSuc, this, &VCefRTCSignalRelay::sigEnterSDKRoomSuc);
    connect(controller, &kivoARTCController::sigExitSDKRoomSuc, this, &VCefRTCSignalRelay::sigExitSDKRoomSuc);
    connect(controller, &kivoARTCController::sigSwitchSDKRoleSuc, this, &VCefRTCSignalRelay::sigSwitchSDKRoleSuc);
    connect(controller, &kivoARTCController::sigSDKRoomJoinCancelled, this,
            &VCefRTCSignalRelay::sigSDKRoomJoinCancelled);
}
