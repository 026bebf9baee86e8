#pragma once

#include <QObject>
#include <QSharedPointer>

#include "VCefProcessItem.h"

// Owner of the pagewell processes: at most one per page-window kind (0 native, 1 off-screen).
// Deleted by the window registry at shut-down, which ends both processes.
class VCefProcessManager : public QObject
{
    Q_OBJECT
public:
    static VCefProcessManager *getInstance();
    static bool hasInstance();
    // Deletes the manager; the next getInstance makes a new one (shut-down and tests).
    static void destroyInstance();

    ~VCefProcessManager() override;

    QSharedPointer<VCefProcessItem> processItem(int kind);

private:
    VCefProcessManager() = default;

    QSharedPointer<VCefProcessItem> m_nativeItem;
    QSharedPointer<VCefProcessItem> m_osrItem;
};
