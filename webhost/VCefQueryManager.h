#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

#include "CefHandler.h"

class VCefWidgetAbstract;

// Receiver of every page window's queries (message type 6): finds the handler registered for
// the query's funcName and the sending window (else for any window); the handler answers
// through the window's sendQueryReply.
class VCefQueryManager : public QObject
{
    Q_OBJECT
public:
    static VCefQueryManager *getInstance();
    static bool hasInstance();
    ~VCefQueryManager() override;

    void registerHandler(const QString &funcName, VCefWidgetAbstract *window, const CefHandler &handler);

    // data: the query's JSON text as raw UTF-8.
    void onQuery(const QByteArray &data, VCefWidgetAbstract *window);

private:
    VCefQueryManager() = default;

    QMap<QString, QMap<VCefWidgetAbstract *, CefHandler>> m_handlers;
};
