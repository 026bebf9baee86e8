#include "VCefBroadcastH5BusinessManager.h"

VCefBroadcastH5BusinessManager::VCefBroadcastH5BusinessManager(const CefHandler &registerRecvProtoBroadcast,
                                                               QObject *parent)
    : QObject(parent)
{
    registerHandler(QStringLiteral("registerRecvProtoBroadcast"), nullptr, registerRecvProtoBroadcast);
}

void VCefBroadcastH5BusinessManager::registerHandler(const QString &funcName, VCefWidgetAbstract *window,
                                                     const CefHandler &handler)
{
    m_handlers.registerHandler(funcName, window, handler);
}

void VCefBroadcastH5BusinessManager::onH5Message(const Json::Value &root, VCefWidgetAbstract *window)
{
    const Json::Value &param = root["param"];
    const QString name = QString::fromStdString(param["funcName"].asString());
    if (name.isEmpty() || !m_handlers.contains(name)) {
        if (param.isMember("action") && !param["action"].isNull())
            onH5Action(root, window);
        return;
    }
    const CefHandler handler = m_handlers.find(name, window);
    if (handler)
        handler(root, window);
}

void VCefBroadcastH5BusinessManager::onH5Action(const Json::Value &, VCefWidgetAbstract *)
{
}
