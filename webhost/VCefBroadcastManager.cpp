#include "VCefBroadcastManager.h"

#include <QDataStream>
#include <QDebug>

#include "VCefWidgetAbstract.h"

namespace {
VCefBroadcastManager *g_instance = nullptr;
}

VCefBroadcastManager *VCefBroadcastManager::getInstance()
{
    if (!g_instance)
        g_instance = new VCefBroadcastManager;
    return g_instance;
}

bool VCefBroadcastManager::hasInstance()
{
    return g_instance != nullptr;
}

VCefBroadcastManager::VCefBroadcastManager()
{
    registerHandler(QStringLiteral("closeWidget"), nullptr,
                    std::bind(&VCefBroadcastManager::onCloseWidget, this, std::placeholders::_1,
                              std::placeholders::_2));
}

VCefBroadcastManager::~VCefBroadcastManager()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void VCefBroadcastManager::registerHandler(const QString &funcName, VCefWidgetAbstract *window,
                                           const CefHandler &handler)
{
    m_handlers[funcName][window] = handler;
}

void VCefBroadcastManager::onBroadcast(const QByteArray &data, VCefWidgetAbstract *window)
{
    QDataStream in(data);
    QString text;
    in >> text;
    const std::string utf8 = text.toStdString();
    Json::Reader reader(Json::Features::all());
    Json::Value root;
    if (!reader.parse(utf8, root, true) || !root.isObject() || !root.isMember("funcName")) {
        qInfo() << "[CEFLOG]" << "CEF Broadcast 请求解析json失败"
                << QString::fromStdString(reader.getFormattedErrorMessages());
        return;
    }
    // Page input must never bring the client down: jsoncpp throws on a wrongly typed member.
    try {
        const QString funcName = QString::fromStdString(root["funcName"].asString());
        const auto byName = m_handlers.constFind(funcName);
        if (byName == m_handlers.constEnd())
            return;
        CefHandler handler = byName->value(window);
        if (!handler)
            handler = byName->value(nullptr);
        if (handler)
            handler(root, window);
    } catch (const std::exception &e) {
        qInfo() << "[CEFLOG]" << "CEF Broadcast 请求解析json失败" << e.what();
    }
}

void VCefBroadcastManager::onCloseWidget(const Json::Value &, VCefWidgetAbstract *window)
{
    if (window)
        window->closeCefWidget();
}
