#include "KivoWidgetSingletonMgr.h"

#include <atomic>

static std::atomic<bool> g_setup{false};

void KivoWidgetSingletonMgr::setup()
{
    g_setup = true;
}

void KivoWidgetSingletonMgr::uninstall()
{
    g_setup = false;
}

bool KivoWidgetSingletonMgr::isSetup()
{
    return g_setup;
}
