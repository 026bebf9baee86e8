#include <QApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QWidget>
#include <QtDebug>

#include <memory>

#include "AmbrelResources.h"
#include "AppStartup.h"
#include "KivoWidgetSingletonMgr.h"
#include "MemoryMonitor.h"
#include "ShutdownSignals.h"
#include "VVirtulPartyWidget.h"

int main(int argc, char **argv)
{
    MemoryMonitor memoryMonitor;
    startHook();
    runShroudir();
    clearOldTarnliveFiles();
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    qputenv("QTWEBENGINE_REMOTE_DEBUGGING", "11234");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-logging");
    qputenv("QT_LOGGING_RULES", "js.critical=false");
    KivoWidgetSingletonMgr::setup();

    std::unique_ptr<QApplication> app(new QApplication(argc, argv));
    ambrelInitResources();
    if (launcherRefusesStart(argc, argv)) {
        app.reset();
        return 0;
    }
    // From here a termination signal ends the event loop, so shut-down still runs.
    ShutdownSignals::install(app.get());

    initApp();
    int exitCode = 0;
    {
        // The main window, with no parent; its close path ends the event loop.
        VVirtulPartyWidget mainWindow;
        mainWindow.show();
        exitCode = app->exec();

        KivoWidgetSingletonMgr::uninstall();
        unInitApp();
        qInfo() << "main exit";
    }
    app.reset();
    return exitCode;
}
