// Page commands and page queries as a page window hands them on: arbitrary bytes as the JSON
// text, dispatched by VCefBroadcastManager and VCefQueryManager for a real page window.
// Bounded per input: the web host is a stand-in that never answers, server requests are
// refused at once through the server connection's seam, blocking boxes are answered through
// their seams, the simulated voice engine's events are run before the next input, and every
// window an input opens is deleted before the next one. The names are looked up by hash, so
// the seed corpus holds one command or query for every name a page window registers.
#include <QApplication>
#include <QDataStream>
#include <QDialog>
#include <QPointer>

#include <QtPromise>

#include "FuzzSupport.h"
#include "KivoServerComm.h"
#include "MyMessageBox.h"
#include "MyQuestionBox.h"
#include "MyTitleMessageBox.h"
#include "QuadrelConfig.h"
#include "VCefBroadcastManager.h"
#include "VCefQueryManager.h"
#include "VCefWidgetOSR.h"
#include "VToast.h"
#include "agora/RtcSim.h"
#include "vErrorInfo.h"
#include "vMessageBox.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startPageApplication("fuzz_page_dispatch");
    // With an app id the simulated voice engine starts, so the voice queries reach it.
    writeFile(QStringLiteral("config/ambrel.json"),
              R"({"CEF_ShowDevToos": "0", "RtcAppId": "fuzz-app",
                  "CefUrls": {"giftPage": "http://pages.test/gift.html", "room": "http://pages.test/room.html"}})");
    writeFile(QStringLiteral("res/dataTable/giftList.json"), R"([{"id": 1, "imagePath": "a.png"}])");
    QuadrelConfig::getInstance()->reload();

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
    checkLeaksAtExit();
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
    // The engine answers room and role calls from its own thread; those answers settle here.
    agora::sim::RtcSim::waitIdle();
    settle();
    agora::sim::RtcSim::clearJournal();

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
