#include "VCefBroadcastManager.h"

#include <QDataStream>
#include <QDebug>
#include <QGuiApplication>
#include <QMap>
#include <QRect>
#include <QRegularExpression>
#include <QScreen>

#include "CefPageJson.h"
#include "MyMessageBox.h"
#include "QuadrelConfig.h"
#include "VCefBroadcastH5BusinessManager.h"
#include "VCefWidgetAbstract.h"
#include "VCefWidgetOSR.h"
#include "VLogLimiter.h"
#include "VLogText.h"
#include "VProtoBroadcastToCefManager.h"
#include "VStaticWidgets.h"
#include "VToast.h"

namespace {

VCefBroadcastManager *g_instance = nullptr;

// Pop-up page windows by page key, kept until the application goes.
QMap<QString, QPointer<VCefWidgetOSR>> &popupWindows()
{
    static QMap<QString, QPointer<VCefWidgetOSR>> windows;
    return windows;
}

// Page log commands: logged as they come, never parsed.
const char *const kLogPrefixes[] = {
    "{\"funcName\":\"saveGamelog\",\"param\":{\"message\":\"",
    "{\"funcName\":\"saveGiftEffectLog\",\"param\":{\"message\":\"",
    "{\"funcName\":\"saveGiftPanelLog\",\"param\":{\"message\":\"",
};
const char *const kH5Prefix = "{\"funcName\":\"__H5__\",\"param\":";

QString unescapeQuotes(QString text)
{
    static const QRegularExpression escapedQuote(QStringLiteral("\\\\\""));
    return text.replace(escapedQuote, QStringLiteral("\""));
}

QString textOf(const Json::Value &value)
{
    return QString::fromStdString(value.asString());
}

// The pop-up's top-left for a location relative to the sender (inclusive edges), before the
// offsets; the pop-up's own place for a location that names none.
QPoint placeBySender(QRect popup, const QRect &sender, int location)
{
    switch (location) {
    case 1: popup.moveTopLeft(sender.topLeft()); break;
    case 2: popup.moveBottomLeft(sender.topLeft()); break;
    case 3: popup.moveTopLeft(sender.bottomLeft()); break;
    case 4: popup.moveTopRight(sender.topLeft()); break;
    case 5: popup.moveTopLeft(sender.topRight()); break;
    default: break;
    }
    return popup.topLeft();
}

// Page-given places stay within what a widget may measure, so no sum with them overflows.
int boundedCoordinate(qint64 value)
{
    return int(qBound<qint64>(-QWIDGETSIZE_MAX, value, QWIDGETSIZE_MAX));
}

// Showing a window allocates its whole surface: a page-given size is cut to the screen the
// sender is on (else the primary one).
QSize boundedSize(QSize size, const QWidget *sender)
{
    const QScreen *screen = sender ? sender->screen() : QGuiApplication::primaryScreen();
    return screen ? size.boundedTo(screen->availableSize()) : size;
}

} // namespace

VCefBroadcastManager *VCefBroadcastManager::getInstance()
{
    if (!g_instance)
        g_instance = new VCefBroadcastManager;
    return g_instance;
}

bool VCefBroadcastManager::hasInstance()
{
    return g_instance != nullptr;
}

CefHandler VCefBroadcastManager::bind(void (VCefBroadcastManager::*member)(const Json::Value &, VCefWidgetAbstract *))
{
    return std::bind(member, this, std::placeholders::_1, std::placeholders::_2);
}

VCefBroadcastManager::VCefBroadcastManager()
{
    m_protoBroadcast = new VProtoBroadcastToCefManager;
    m_h5 = new VCefBroadcastH5BusinessManager(bind(&VCefBroadcastManager::onRegisterRecvProtoBroadcast), this);

    registerHandler(QStringLiteral("showMsgDialog"), nullptr, bind(&VCefBroadcastManager::onShowMsgDialog));
    registerHandler(QStringLiteral("openChargePage"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("openUrlInPc"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("closeWidget"), nullptr, bind(&VCefBroadcastManager::onCloseWidget));
    registerHandler(QStringLiteral("enterRoom"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("openNobleIntroduce"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("openCefWidgetInPc"), nullptr, bind(&VCefBroadcastManager::onOpenCefWidgetInPc));
    registerHandler(QStringLiteral("updateMyColorfulIdInfo"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("updateMyNumberSkinInfo"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("updateMyIdOuterShowCard"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("clickVirtualRole"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("updateUserDetail"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("voiceSupremeGodMoment"), nullptr, bind(&VCefBroadcastManager::onNothing));
    registerHandler(QStringLiteral("__H5__"), nullptr, bind(&VCefBroadcastManager::onH5));
    registerHandler(QStringLiteral("registerRecvProtoBroadcast"), nullptr,
                    bind(&VCefBroadcastManager::onRegisterRecvProtoBroadcast));
}

VCefBroadcastManager::~VCefBroadcastManager()
{
    if (g_instance == this)
        g_instance = nullptr;
    if (m_protoBroadcast)
        m_protoBroadcast->deleteLater();
}

void VCefBroadcastManager::registerHandler(const QString &funcName, VCefWidgetAbstract *window,
                                           const CefHandler &handler)
{
    m_handlers.registerHandler(funcName, window, handler);
}

void VCefBroadcastManager::registerH5Handler(const QString &funcName, VCefWidgetAbstract *window,
                                             const CefHandler &handler)
{
    if (m_h5)
        m_h5->registerHandler(funcName, window, handler);
}

void VCefBroadcastManager::onBroadcast(const QByteArray &data, VCefWidgetAbstract *window)
{
    QDataStream in(data);
    QString text;
    in >> text;

    // Pages send these at their own pace: each kind is limited, and its texts are the pages'.
    VLogLimiter *limiter = VLogLimiter::getInstance();
    for (const char *prefix : kLogPrefixes) {
        const QString p = QString::fromUtf8(prefix);
        if (text.startsWith(p, Qt::CaseSensitive)) {
            if (limiter->admit(QStringLiteral("[CefBroadcast]")))
                qInfo().noquote() << "[CefBroadcast]"
                                  << VLogText::cut(unescapeQuotes(text.mid(p.size())), VLogText::Page);
            return;
        }
    }
    const QString h5 = QString::fromUtf8(kH5Prefix);
    if (text.startsWith(h5, Qt::CaseSensitive) && limiter->admit(QStringLiteral("[CefBroadcast] [__H5__] Web消息:")))
        qInfo().noquote() << "[CefBroadcast]" << "[__H5__]" << "Web消息:"
                          << VLogText::cut(unescapeQuotes(text.mid(h5.size())), VLogText::Page);

    const QString rejected = QStringLiteral("[CEFLOG] CEF Broadcast 请求解析json失败");
    Json::Value root;
    QString errors;
    if (!CefPageJson::parse(text.toStdString(), root, errors) || !root.isObject() || !root.isMember("funcName")) {
        if (limiter->admit(rejected))
            qInfo() << "[CEFLOG]" << "CEF Broadcast 请求解析json失败" << VLogText::cut(errors, VLogText::Page);
        return;
    }
    QString error;
    const bool done = CefPageJson::guarded(
        [&] {
            const QString funcName = textOf(root["funcName"]);
            const CefHandler handler = m_handlers.find(funcName, window);
            if (!handler)
                return;
            // Handled as always, however often it comes; the lines it writes are limited per name.
            const VLogLimiter::PageMessage lines(QStringLiteral("[CEFLOG] CEF Broadcast ") + funcName);
            handler(root, window);
        },
        error);
    if (!done && limiter->admit(rejected))
        qInfo() << "[CEFLOG]" << "CEF Broadcast 请求解析json失败" << VLogText::cut(error, VLogText::Page)
                << VLogText::cut(text, VLogText::Page);
}

VProtoBroadcastToCefManager *VCefBroadcastManager::protoBroadcastManager() const
{
    return m_protoBroadcast;
}

VCefWidgetOSR *VCefBroadcastManager::popupWidget(const QString &page)
{
    return popupWindows().value(page);
}

void VCefBroadcastManager::onShowMsgDialog(const Json::Value &root, VCefWidgetAbstract *)
{
    const Json::Value &param = root["param"];
    const int type = param["type"].asInt();
    const QString message = textOf(param["message"]);
    if (type == 1)
        VToast::getInstance()->showToast(message, 2000);
    else
        MyMessageBox::showMessage(nullptr, QString(), message, false, QString());
}

void VCefBroadcastManager::onNothing(const Json::Value &, VCefWidgetAbstract *)
{
}

void VCefBroadcastManager::onCloseWidget(const Json::Value &, VCefWidgetAbstract *window)
{
    if (window)
        window->closeCefWidget();
}

void VCefBroadcastManager::onOpenCefWidgetInPc(const Json::Value &root, VCefWidgetAbstract *window)
{
    const Json::Value &param = root["param"];
    const int location = param["location"].asInt();
    const int posX = boundedCoordinate(param["posX"].asInt());
    // The pages send this key with a leading blank.
    const int posY = boundedCoordinate(param[" posY"].asInt());
    const int width = param["widgetWidth"].asInt();
    const int height = param["widgetHeight"].asInt();
    const bool movable = param["isCanMove"].asBool();
    const QString page = textOf(param["page"]);
    const QString query = textOf(param["query"]);

    const QString url = QuadrelConfig::getInstance()->getCefUrl(page, query);
    // A page key without a URL has nothing to show: a window kept per such key would let a page
    // keep as many windows (and web host views) as it sends names.
    if (url.isEmpty())
        return;
    QPointer<VCefWidgetOSR> &slot = popupWindows()[page];
    if (!slot) {
        slot = new VCefWidgetOSR;
        // Named by its page: one kept window per configured page.
        slot->setObjectName(page);
        VStaticWidgets::deleteWithApp(slot);
    }
    VCefWidgetOSR *popup = slot;

    if (posX > 0 && posY > 0)
        popup->move(posX, posY);
    if (width > 0 && height > 0)
        popup->resize(boundedSize(QSize(width, height), window));
    popup->setMovable(movable);
    popup->loadUrl(url, VLogText::Page);
    popup->show();
    popup->activateWindow();

    if (location != 0 && window) {
        const QRect sender(window->mapToGlobal(QPoint(0, 0)), window->size());
        const QPoint placed = placeBySender(popup->geometry(), sender, location);
        popup->move(boundedCoordinate(qint64(placed.x()) + posX), boundedCoordinate(qint64(placed.y()) + posY));
    }
}

void VCefBroadcastManager::onH5(const Json::Value &root, VCefWidgetAbstract *window)
{
    if (m_h5)
        m_h5->onH5Message(root, window);
}

void VCefBroadcastManager::onRegisterRecvProtoBroadcast(const Json::Value &root, VCefWidgetAbstract *window)
{
    const Json::Value &keys = root["param"]["protoKey"];
    if (!keys.isArray())
        return;
    for (const Json::Value &key : keys) {
        if (m_protoBroadcast)
            m_protoBroadcast->registerWidget(textOf(key), window);
    }
}
