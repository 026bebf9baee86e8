#include "FuzzSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>

#include <sanitizer/lsan_interface.h>

#include "AmbrelResources.h"
#include "VCefProcessItem.h"
#include "VCefProcessManager.h"

namespace {

void silent(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

void startPageApplication(const char *name)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(silent);
    static int argc = 1;
    static QByteArray program(name);
    static char *argv[] = {program.data(), nullptr};
    new QApplication(argc, argv); // lives as long as the process
    ambrelInitResources();

    static QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path()))
        std::abort();
    for (int kind : {0, 1}) {
        VCefProcessManager::getInstance()->processItem(kind)->setProgram(
            QStringLiteral("sh -c \"exec cat >/dev/null 2>&1\""));
    }
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        std::abort();
}

void settle()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void checkLeaksAtExit()
{
    // Once exit() has begun Qt's per-thread data is gone, so neither the application nor the
    // widgets kept in statics can be destroyed then: the leak check runs and the process ends
    // with the status libFuzzer gave.
    on_exit(
        [](int status, void *) {
            __lsan_do_leak_check();
            std::_Exit(status);
        },
        nullptr);
}
