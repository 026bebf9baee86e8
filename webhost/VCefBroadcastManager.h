#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

#include "CefHandler.h"

class VCefWidgetAbstract;

// Receiver of every page window's commands (message type 5): finds the handler registered for
// the command's funcName and the sending window (else for any window) and calls it.
class VCefBroadcastManager : public QObject
{
    Q_OBJECT
public:
    static VCefBroadcastManager *getInstance();
    static bool hasInstance();
    ~VCefBroadcastManager() override;

    // A null window means any window; registering a pair again replaces its handler.
    void registerHandler(const QString &funcName, VCefWidgetAbstract *window, const CefHandler &handler);

    // data: one data-stream QString holding the command's JSON text.
    void onBroadcast(const QByteArray &data, VCefWidgetAbstract *window);

private:
    VCefBroadcastManager();
    void onCloseWidget(const Json::Value &root, VCefWidgetAbstract *window);

    QMap<QString, QMap<VCefWidgetAbstract *, CefHandler>> m_handlers;
};
