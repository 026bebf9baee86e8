#include "quadrelWidgetManager.h"

#include <QtDebug>

#include "VCefBroadcastManager.h"
#include "VCefProcessManager.h"
#include "VCefQueryManager.h"
#include "LoginFail.h"
#include "VCheckAndClearCache.h"
#include "VStaticWidgets.h"
#include "vSystemTrayWarn.h"

quadrelWidgetManager *quadrelWidgetManager::getInstance()
{
    static quadrelWidgetManager instance;
    return &instance;
}

vSystemTrayWarn *quadrelWidgetManager::getTrayWarn()
{
    if (!m_trayWarn) {
        m_trayWarn = new vSystemTrayWarn;
        VStaticWidgets::deleteWithApp(m_trayWarn);
    }
    return m_trayWarn;
}

VCheckAndClearCache *quadrelWidgetManager::getCheckAndClearCache()
{
    if (!m_checkAndClearCache)
        m_checkAndClearCache = new VCheckAndClearCache;
    return m_checkAndClearCache;
}

void quadrelWidgetManager::destroyAll()
{
    if (!LoginFail::isNull())
        LoginFail::instance()->deleteLater();
    if (m_trayWarn) {
        delete m_trayWarn;
        m_trayWarn = nullptr;
    }
    if (VCefProcessManager::hasInstance())
        VCefProcessManager::getInstance()->deleteLater();
    if (VCefQueryManager::hasInstance())
        VCefQueryManager::getInstance()->deleteLater();
    if (VCefBroadcastManager::hasInstance())
        VCefBroadcastManager::getInstance()->deleteLater();
    if (m_checkAndClearCache) {
        m_checkAndClearCache->stop();
        m_checkAndClearCache->deleteLater();
    }
    qInfo() << "销毁所有窗口";
}
