#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

#include "CefHandlerTable.h"

class VCefRTCBusinessManager;
class VCefProtoRequest;
class VCefWidgetAbstract;

// Receiver of every page window's queries (message type 6): finds the handler registered for
// the query's funcName and the sending window (else for any window); every handler answers
// through the window's sendQueryReply, at once or later.
class VCefQueryManager : public QObject
{
    Q_OBJECT
public:
    static VCefQueryManager *getInstance();
    static bool hasInstance();
    ~VCefQueryManager() override;

    // A null window means any window; registering a pair again replaces its handler.
    void registerHandler(const QString &funcName, VCefWidgetAbstract *window, const CefHandler &handler);

    // {"state":<state>,"errorMsg":"<errorMsg>"} and, when data is not empty, ,"data":<data>.
    // errorMsg is written as JSON string content; data is JSON text and goes in as it is.
    static QString makeReplyText(int state, const QString &errorMsg, const QString &data);

    // data: the query's JSON text in UTF-8.
    void onQuery(const QByteArray &data, VCefWidgetAbstract *window);

private:
    VCefQueryManager();
    CefHandler bind(void (VCefQueryManager::*member)(const Json::Value &, VCefWidgetAbstract *));

    void onProtoRequest(const Json::Value &root, VCefWidgetAbstract *window);
    void onDataTableRequest(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetLoginUserDiamond(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetRoomInfo(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetMicPositionByUserId(const Json::Value &root, VCefWidgetAbstract *window);
    void onGetUserOptList(const Json::Value &root, VCefWidgetAbstract *window);

    CefHandlerTable m_handlers;
    // Server methods a page names in "protoRequest" that are answered here instead.
    QMap<QString, CefHandler> m_specialRequests;
    // The voice queries; they register themselves on the first turn of the event loop.
    QPointer<VCefRTCBusinessManager> m_rtcManager;
    std::unique_ptr<VCefProtoRequest> m_protoRequest;
};
