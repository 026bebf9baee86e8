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
    // From here a termination signal ends the event loop, so shut-down still runs; one that
    // ends the launcher box ends the program as closing the box does.
    ShutdownSignals::install(app.get());
    if (launcherRefusesStart(argc, argv) || ShutdownSignals::received()) {
        app.reset();
        return 0;
    }

    initApp();
    int exitCode = 0;
    {
        // The main window, with no parent; its close path ends the event loop.
        VVirtulPartyWidget mainWindow;
        mainWindow.show();
        // A signal that ended a nested event loop during start-up ends this one before it starts.
        if (!ShutdownSignals::received())
            exitCode = app->exec();

        KivoWidgetSingletonMgr::uninstall();
        unInitApp();
        qInfo() << "main exit";
    }
    app.reset();
    return exitCode;
}
