#include "VCefQueryManager.h"

#include <QDebug>

namespace {
VCefQueryManager *g_instance = nullptr;
}

VCefQueryManager *VCefQueryManager::getInstance()
{
    if (!g_instance)
        g_instance = new VCefQueryManager;
    return g_instance;
}

bool VCefQueryManager::hasInstance()
{
    return g_instance != nullptr;
}

VCefQueryManager::~VCefQueryManager()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void VCefQueryManager::registerHandler(const QString &funcName, VCefWidgetAbstract *window,
                                       const CefHandler &handler)
{
    m_handlers[funcName][window] = handler;
}

void VCefQueryManager::onQuery(const QByteArray &data, VCefWidgetAbstract *window)
{
    const std::string utf8 = data.toStdString();
    Json::Reader reader(Json::Features::all());
    Json::Value root;
    if (!reader.parse(utf8, root, true) || !root.isObject() || !root.isMember("funcName")) {
        qInfo() << "[CEFLOG]" << "CEF Proto 请求解析json失败"
                << QString::fromStdString(reader.getFormattedErrorMessages());
        return;
    }
    try {
        const QString funcName = QString::fromStdString(root["funcName"].asString());
        const auto byName = m_handlers.constFind(funcName);
        if (byName == m_handlers.constEnd()) {
            qInfo() << "[CEFLOG]" << "query not registered" << funcName;
            return;
        }
        CefHandler handler = byName->value(window);
        if (!handler)
            handler = byName->value(nullptr);
        if (handler)
            handler(root, window);
    } catch (const std::exception &e) {
        qInfo() << "[CEFLOG]" << "CEF Proto 请求解析json失败" << e.what();
    }
}
