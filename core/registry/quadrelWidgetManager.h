#pragma once

#include <QObject>
#include <QPointer>

class VCheckAndClearCache;
class vSystemTrayWarn;

// The process-wide registry of windows that exist at most once, and the place where shut-down
// releases them together with the page managers of the web host bridge.
class quadrelWidgetManager : public QObject
{
    Q_OBJECT
public:
    static quadrelWidgetManager *getInstance();

    // Created on first call.
    vSystemTrayWarn *getTrayWarn();
    VCheckAndClearCache *getCheckAndClearCache();

    // Releases the login-failure window if it exists, deletes the windows, releases the page-process, page-query and page-command managers
    // that exist and stops the cache cleaner. Creates nothing.
    void destroyAll();

private:
    quadrelWidgetManager() = default;

    // Guarded: the application deletes it when it goes first.
    QPointer<vSystemTrayWarn> m_trayWarn;
    // Guarded: the launcher is released with deleteLater while its slot stays filled.
    QPointer<VCheckAndClearCache> m_checkAndClearCache;
};
