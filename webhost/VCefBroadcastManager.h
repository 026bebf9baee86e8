#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include "CefHandlerTable.h"

class VCefBroadcastH5BusinessManager;
class VProtoBroadcastToCefManager;
class VCefWidgetAbstract;
class VCefWidgetOSR;

// Receiver of every page window's commands (message type 5): logs the page's log commands
// without parsing them, and calls the handler registered for the command's funcName and the
// sending window (else for any window). Commands never answer the page.
class VCefBroadcastManager : public QObject
{
    Q_OBJECT
public:
    static VCefBroadcastManager *getInstance();
    static bool hasInstance();
    ~VCefBroadcastManager() override;

    // A null window means any window; registering a pair again replaces its handler.
    void registerHandler(const QString &funcName, VCefWidgetAbstract *window, const CefHandler &handler);
    // The same, in the table of the "__H5__" sub-dispatcher.
    void registerH5Handler(const QString &funcName, VCefWidgetAbstract *window, const CefHandler &handler);

    // data: one data-stream QString holding the command's JSON text.
    void onBroadcast(const QByteArray &data, VCefWidgetAbstract *window);

    // The pop-up window opened for a page key by "openCefWidgetInPc"; null when none lives.
    static VCefWidgetOSR *popupWidget(const QString &page);
    // The forwarder of server broadcasts to the windows that subscribed to them.
    VProtoBroadcastToCefManager *protoBroadcastManager() const;

private:
    VCefBroadcastManager();
    CefHandler bind(void (VCefBroadcastManager::*member)(const Json::Value &, VCefWidgetAbstract *));

    void onShowMsgDialog(const Json::Value &root, VCefWidgetAbstract *window);
    void onNothing(const Json::Value &root, VCefWidgetAbstract *window);
    void onCloseWidget(const Json::Value &root, VCefWidgetAbstract *window);
    void onOpenCefWidgetInPc(const Json::Value &root, VCefWidgetAbstract *window);
    void onH5(const Json::Value &root, VCefWidgetAbstract *window);
    void onRegisterRecvProtoBroadcast(const Json::Value &root, VCefWidgetAbstract *window);

    CefHandlerTable m_handlers;
    QPointer<VCefBroadcastH5BusinessManager> m_h5;
    QPointer<VProtoBroadcastToCefManager> m_protoBroadcast;
};
