#include "VCefQueryManager.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QPointer>
#include <QTimer>

#include "CefPageJson.h"
#include "EDataTable.h"
#include "KivoServerResponse.h"
#include "VCefProtoRequest.h"
#include "VCefQueryAsker.h"
#include "VCefRTCBusinessManager.h"
#include "VCefWidgetAbstract.h"
#include "VDataTableMgr.h"
#include "VLogLimiter.h"
#include "VLogText.h"
#include "VProtoBufMessage.h"
#include "vErrorInfo.h"

namespace {

VCefQueryManager *g_instance = nullptr;

QString textOf(const Json::Value &value)
{
    return QString::fromStdString(value.asString());
}

qint64 queryIdOf(const Json::Value &root)
{
    return qint64(root["queryId"].asInt());
}

void answer(VCefWidgetAbstract *window, qint64 queryId, const QString &text, bool ok)
{
    if (window)
        window->sendQueryReply(queryId, text, ok);
}

// The characters of text as they stand between the quotes of a JSON string.
QString jsonStringContent(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\b': out += QLatin1String("\\b"); break;
        case '\f': out += QLatin1String("\\f"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

} // namespace

VCefQueryManager *VCefQueryManager::getInstance()
{
    if (!g_instance)
        g_instance = new VCefQueryManager;
    return g_instance;
}

bool VCefQueryManager::hasInstance()
{
    return g_instance != nullptr;
}

CefHandler VCefQueryManager::bind(void (VCefQueryManager::*member)(const Json::Value &, VCefWidgetAbstract *))
{
    return std::bind(member, this, std::placeholders::_1, std::placeholders::_2);
}

VCefQueryManager::VCefQueryManager() : m_protoRequest(new VCefProtoRequest)
{
    m_specialRequests.insert(QStringLiteral("MyCmd.getUserOptList"), bind(&VCefQueryManager::onGetUserOptList));

    registerHandler(QStringLiteral("protoRequest"), nullptr, bind(&VCefQueryManager::onProtoRequest));
    registerHandler(QStringLiteral("dataTableRequest"), nullptr, bind(&VCefQueryManager::onDataTableRequest));
    registerHandler(QStringLiteral("getLoginUserDiamond"), nullptr, bind(&VCefQueryManager::onGetLoginUserDiamond));
    registerHandler(QStringLiteral("getRoomInfo"), nullptr, bind(&VCefQueryManager::onGetRoomInfo));
    registerHandler(QStringLiteral("getMicPositionByUserId"), nullptr,
                    bind(&VCefQueryManager::onGetMicPositionByUserId));

    QTimer::singleShot(0, this, [this] { m_rtcManager = new VCefRTCBusinessManager; });
}

VCefQueryManager::~VCefQueryManager()
{
    if (g_instance == this)
        g_instance = nullptr;
    if (m_rtcManager)
        m_rtcManager->deleteLater();
}

void VCefQueryManager::registerHandler(const QString &funcName, VCefWidgetAbstract *window,
                                       const CefHandler &handler)
{
    m_handlers.registerHandler(funcName, window, handler);
}

QString VCefQueryManager::makeReplyText(int state, const QString &errorMsg, const QString &data)
{
    if (data.isEmpty())
        return QStringLiteral("{\"state\":%1,\"errorMsg\":\"%2\"}").arg(state).arg(jsonStringContent(errorMsg));
    return QStringLiteral("{\"state\":%1,\"errorMsg\":\"%2\",\"data\":%3}")
        .arg(state)
        .arg(jsonStringContent(errorMsg), data);
}

void VCefQueryManager::onQuery(const QByteArray &data, VCefWidgetAbstract *window)
{
    // Pages send these at their own pace: each kind of line is limited, and its texts are the pages'.
    VLogLimiter *limiter = VLogLimiter::getInstance();
    const QString rejected = QStringLiteral("[CEFLOG] CEF Proto 请求解析json失败");
    Json::Value root;
    QString errors;
    if (!CefPageJson::parse(QString::fromUtf8(data).toStdString(), root, errors) || !root.isObject() ||
        !root.isMember("funcName")) {
        if (limiter->admit(rejected))
            qInfo() << "[CEFLOG]" << "CEF Proto 请求解析json失败" << VLogText::cut(errors, VLogText::Page);
        return;
    }
    QString error;
    const bool done = CefPageJson::guarded(
        [&] {
            const QString funcName = textOf(root["funcName"]);
            const qint64 queryId = queryIdOf(root);
            if (!m_handlers.contains(funcName)) {
                answer(window, queryId, makeReplyText(-1, QStringLiteral("消息未注册"), QString()), false);
                return;
            }
            const CefHandler handler = m_handlers.find(funcName, window);
            if (!handler) {
                answer(window, queryId, makeReplyText(-1, QStringLiteral("消息处理逻辑为空"), QString()), false);
                return;
            }
            // Answered as always, however often it comes; the lines it writes are limited per name.
            const VLogLimiter::PageMessage lines(QStringLiteral("[CEFLOG] CEF Proto ") + funcName);
            handler(root, window);
        },
        error);
    if (done)
        return;
    qint64 queryId = 0;
    if (CefPageJson::guarded([&] { queryId = queryIdOf(root); }, error)) {
        if (limiter->admit(QStringLiteral("[CEFLOG] CEF Proto 消息参数错误")))
            qInfo() << "[CEFLOG]" << "CEF Proto 消息参数错误" << queryId
                    << VLogText::cut(QString::fromUtf8(data), VLogText::Page);
        answer(window, queryId, makeReplyText(-1, QStringLiteral("消息参数错误"), QString()), false);
    } else if (limiter->admit(rejected)) {
        qInfo() << "[CEFLOG]" << "CEF Proto 请求解析json失败" << VLogText::cut(error, VLogText::Page)
                << VLogText::cut(QString::fromUtf8(data), VLogText::Page);
    }
}

void VCefQueryManager::onProtoRequest(const Json::Value &root, VCefWidgetAbstract *window)
{
    const qint64 queryId = queryIdOf(root);
    const Json::Value &param = root["param"];
    const QString protoName = textOf(param["protoName"]);
    const auto special = m_specialRequests.constFind(protoName);
    if (special != m_specialRequests.constEnd()) {
        (*special)(root, window);
        return;
    }
    // The answer comes later: the window may be closed by then, or show another page.
    const VCefQueryAsker asker(window);
    m_protoRequest->request(param)
        .then(
            [asker, queryId](const KivoServerResponse &r) {
                const QString data = r.replyMessage ? r.replyMessage->ToJsonString(true) : QString();
                asker.answer(queryId, makeReplyText(r.resultCode, r.resultMessage, data), true);
            },
            [asker, queryId](const vErrorInfo &e) {
                asker.answer(queryId, makeReplyText(e.code, e.text, QString()), false);
            })
        .fail([asker, queryId, protoName] {
            const QString text = QStringLiteral("%1 %2请求失败").arg(queryId).arg(protoName);
            asker.answer(queryId, makeReplyText(-1, text, QString()), false);
        });
}

void VCefQueryManager::onDataTableRequest(const Json::Value &root, VCefWidgetAbstract *window)
{
    const qint64 queryId = queryIdOf(root);
    const QString tableName = textOf(root["param"]["tableName"]);
    bool known = false;
    const int value = QMetaEnum::fromType<EDataTable::EDataTableType>().keyToValue(tableName.toUtf8().constData(), &known);
    if (!known) {
        answer(window, queryId, QStringLiteral("找不到数据表%1").arg(tableName), false);
        return;
    }
    QFile file(QStringLiteral("res/dataTable/") +
               VDataTableMgr::getTableFileName(static_cast<EDataTable::EDataTableType>(value)));
    if (!file.open(QIODevice::ReadOnly)) {
        answer(window, queryId, QStringLiteral("数据表%1打开失败:%2").arg(tableName).arg(int(file.error())), false);
        return;
    }
    answer(window, queryId, QString::fromUtf8(file.readAll()), true);
}

void VCefQueryManager::onGetLoginUserDiamond(const Json::Value &root, VCefWidgetAbstract *window)
{
    answer(window, queryIdOf(root), QString(), true);
}

void VCefQueryManager::onGetRoomInfo(const Json::Value &root, VCefWidgetAbstract *window)
{
    const QJsonObject room{{QStringLiteral("is1v1"), false},
                           {QStringLiteral("isInPk"), false},
                           {QStringLiteral("micPosition"), 0},
                           {QStringLiteral("roomType"), 0}};
    const QString data = QString::fromUtf8(QJsonDocument(room).toJson(QJsonDocument::Indented));
    answer(window, queryIdOf(root), makeReplyText(1, QString(), data), true);
}

void VCefQueryManager::onGetMicPositionByUserId(const Json::Value &root, VCefWidgetAbstract *window)
{
    const QString userId = textOf(root["param"]["userId"]);
    Q_UNUSED(userId);
    const QJsonObject mic{{QStringLiteral("micPosition"), QStringLiteral("0")}};
    const QString data = QString::fromUtf8(QJsonDocument(mic).toJson(QJsonDocument::Indented));
    answer(window, queryIdOf(root), makeReplyText(1, QString(), data), true);
}

void VCefQueryManager::onGetUserOptList(const Json::Value &, VCefWidgetAbstract *)
{
}
