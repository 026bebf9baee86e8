#pragma once

#include <QObject>
#include <QString>

#include "CefHandlerTable.h"

class VCefWidgetAbstract;

// Second-level dispatch of the page commands wrapped in the funcName "__H5__": the wrapped
// name is the member "funcName" of the command's "param".
class VCefBroadcastH5BusinessManager : public QObject
{
    Q_OBJECT
public:
    // registerRecvProtoBroadcast: what the wrapped "registerRecvProtoBroadcast" runs.
    VCefBroadcastH5BusinessManager(const CefHandler &registerRecvProtoBroadcast, QObject *parent = nullptr);

    void registerHandler(const QString &funcName, VCefWidgetAbstract *window, const CefHandler &handler);

    // root: the whole "__H5__" command.
    void onH5Message(const Json::Value &root, VCefWidgetAbstract *window);
    void onH5Action(const Json::Value &root, VCefWidgetAbstract *window);

private:
    CefHandlerTable m_handlers;
};
