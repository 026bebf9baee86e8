#include "Pelorin.h"

#include "KivoServerComm.h"

#include <QtDebug>

#include <atomic>

static std::atomic<bool> g_pelorinInit{false};

void initPelorin()
{
    if (g_pelorinInit.exchange(true))
        return;
    qInfo() << "initPelorin";
    KivoServerComm::getInstance()->connectToServer();
}

void unInitPelorin()
{
    if (!g_pelorinInit.exchange(false))
        return;
    qInfo() << "unInitPelorin";
    KivoServerComm::getInstance()->disconnectFromServer();
}

bool isPelorinInit()
{
    return g_pelorinInit;
}
