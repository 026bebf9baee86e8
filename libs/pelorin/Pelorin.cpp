#include "Pelorin.h"

#include <QtDebug>

#include <atomic>

static std::atomic<bool> g_pelorinInit{false};

void initPelorin()
{
    if (g_pelorinInit.exchange(true))
        return;
    // The server connection starts here.
    qInfo() << "initPelorin";
}

void unInitPelorin()
{
    if (!g_pelorinInit.exchange(false))
        return;
    // The server connection stops here, rejecting what is pending.
    qInfo() << "unInitPelorin";
}

bool isPelorinInit()
{
    return g_pelorinInit;
}
