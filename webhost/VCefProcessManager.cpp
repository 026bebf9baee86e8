#include "VCefProcessManager.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex g_lock;
VCefProcessManager *g_instance = nullptr;
bool g_created = false;
} // namespace

VCefProcessManager *VCefProcessManager::getInstance()
{
    QMutexLocker locker(&g_lock);
    if (!g_instance)
        g_instance = new VCefProcessManager;
    g_created = true;
    return g_instance;
}

bool VCefProcessManager::hasInstance()
{
    QMutexLocker locker(&g_lock);
    return g_created;
}

void VCefProcessManager::destroyInstance()
{
    VCefProcessManager *doomed = nullptr;
    {
        QMutexLocker locker(&g_lock);
        doomed = g_instance;
        g_instance = nullptr;
        g_created = false;
    }
    delete doomed;
}

VCefProcessManager::~VCefProcessManager()
{
    QMutexLocker locker(&g_lock);
    if (g_instance == this) {
        g_instance = nullptr;
        g_created = false;
    }
}

QSharedPointer<VCefProcessItem> VCefProcessManager::processItem(int kind)
{
    QSharedPointer<VCefProcessItem> &item = kind == 0 ? m_nativeItem : m_osrItem;
    if (!item)
        item = QSharedPointer<VCefProcessItem>::create();
    return item;
}
