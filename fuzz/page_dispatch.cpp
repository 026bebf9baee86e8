// Page commands and page queries as a page window hands them on: arbitrary bytes as the JSON
// text, dispatched by VCefBroadcastManager and VCefQueryManager for a real page window.
// Bounded per input: the web host is a stand-in that never answers, server requests are
// refused at once through the server connection's seam, blocking boxes are answered through
// their seams, and every window an input opens is deleted before the next one.
#include <QApplication>
#include <QDataStream>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>

#include <QtPromise>

#include <cstdlib>

#include <sanitizer/lsan_interface.h>

#include "AmbrelResources.h"
#include "KivoServerComm.h"
#include "MyMessageBox.h"
#include "MyQuestionBox.h"
#include "MyTitleMessageBox.h"
#include "QuadrelConfig.h"
#include "VCefBroadcastManager.h"
#include "VCefProcessItem.h"
#include "VCefProcessManager.h"
#include "VCefQueryManager.h"
#include "VCefWidgetOSR.h"
#include "VToast.h"
#include "vErrorInfo.h"
#include "vMessageBox.h"

namespace {

void silent(QtMsgType, const QMessageLogContext &, const QString &) {}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        std::abort();
}

// Runs what the dispatch posted (promise continuations, deferred deletes); never waits.
void settle()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(silent);
    static int argc = 1;
    static char name[] = "fuzz_page_dispatch";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process
    ambrelInitResources();

    static QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path()))
        std::abort();
    writeFile(QStringLiteral("config/ambrel.json"),
              R"({"CEF_ShowDevToos": "0",
                  "CefUrls": {"giftPage": "http://pages.test/gift.html", "room": "http://pages.test/room.html"}})");
    writeFile(QStringLiteral("res/dataTable/giftList.json"), R"([{"id": 1, "imagePath": "a.png"}])");
    QuadrelConfig::getInstance()->reload();

    // A stand-in web host that ends with this process and writes nowhere.
    for (int kind : {0, 1}) {
        VCefProcessManager::getInstance()->processItem(kind)->setProgram(
            QStringLiteral("sh -c \"exec cat >/dev/null 2>&1\""));
    }
    KivoServerComm::getInstance()->setRequestSeam([](const VProtoBufMessage &) {
        return QtPromise::QPromise<KivoServerResponse>::reject(vErrorInfo(QStringLiteral("no server here"), -1));
    });
    MyMessageBox::setTestSeam([](MyMessageBox &) { return DialogAnswer::Close; });
    MyQuestionBox::setTestSeam([](MyQuestionBox &) { return DialogAnswer::Close; });
    MyTitleMessageBox::setTestSeam([](MyTitleMessageBox &) { return DialogAnswer::Close; });
    vMessageBox::setTestSeam([](vMessageBox &) { return DialogAnswer::Close; });

    VToast::getInstance();
    VCefBroadcastManager::getInstance();
    VCefQueryManager::getInstance();
    settle(); // the voice queries register on the first turn of the event loop
    // Once exit() has begun Qt's per-thread data is gone, so neither the application nor the
    // widgets kept in statics can be destroyed then: the leak check runs and the process ends
    // with the status libFuzzer gave.
    on_exit(
        [](int status, void *) {
            __lsan_do_leak_check();
            std::_Exit(status);
        },
        nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    QPointer<VCefWidgetOSR> window = new VCefWidgetOSR;

    // A page command carries its JSON as one data-stream string, a page query as raw UTF-8.
    QByteArray command;
    {
        QDataStream out(&command, QIODevice::WriteOnly);
        out << QString::fromUtf8(text);
    }
    VCefBroadcastManager::getInstance()->onBroadcast(command, window);
    if (window)
        VCefQueryManager::getInstance()->onQuery(text, window);
    settle();

    // Pop-ups and boxes the input opened go, and so does the sender.
    QList<QPointer<QWidget>> opened;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<VCefWidgetAbstract *>(w) || qobject_cast<QDialog *>(w))
            opened.append(w);
    }
    for (const QPointer<QWidget> &w : opened)
        delete w.data();
    delete window.data();
    settle();
    MyMessageBox::clearShownBoxes();
    return 0;
}
