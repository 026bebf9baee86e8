#include <QApplication>
#include <QCoreApplication>

#include <iostream>
#include <memory>

#include "VCheckFileCacheHandler.h"
#include "win32api.h"

namespace {

// Whether a question box can be seen and answered: not so from a service, a scheduled job or a
// console without a display, where building the widget application alone would end the process.
bool canAsk()
{
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof(flags), &needed)
        && (flags.dwFlags & WSF_VISIBLE);
}

} // namespace

// One pass and out: the event loop is never entered, and the exit code is always 0.
int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool force = VCheckFileCacheHandler::forceFromArguments(arguments);
    // Cleaning at once needs no window; only a pass that may ask needs the widget application.
    const bool ask = !force && canAsk();
    std::unique_ptr<QCoreApplication> app(ask ? new QApplication(argc, argv) : new QCoreApplication(argc, argv));
    {
        VCheckFileCacheHandler handler;
        handler.setForce(force);
        if (!ask) {
            handler.setQuestion([](const QString &, const QString &text) {
                std::cerr << "[ClearCache]No display to ask on, nothing deleted: " << text.toUtf8().constData()
                          << std::endl;
                return QMessageBox::No;
            });
        }
        handler.run();
    }
    std::cout.flush();
    return 0;
}
