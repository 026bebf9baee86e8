#pragma once

// Brackets the life of the client's widget singletons: set up once before the QApplication
// exists, uninstalled once after the event loop has ended.
class KivoWidgetSingletonMgr
{
public:
    static void setup();
    static void uninstall();
    static bool isSetup();
};
