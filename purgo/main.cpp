#include <QApplication>

#include <iostream>

#include "VCheckFileCacheHandler.h"

// One pass and out: the event loop is never entered, and the exit code is always 0.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool force = VCheckFileCacheHandler::forceFromArguments(app.arguments());
    {
        VCheckFileCacheHandler handler;
        handler.setForce(force);
        handler.run();
    }
    std::cout.flush();
    return 0;
}
