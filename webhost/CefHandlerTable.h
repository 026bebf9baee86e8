#pragma once

#include <QMap>
#include <QString>

#include "CefHandler.h"

class VCefWidgetAbstract;

// Page handlers by funcName and window (null: any window), shared by page commands, "__H5__"
// sub-commands and page queries. Registering a pair again replaces its handler.
class CefHandlerTable
{
public:
    void registerHandler(const QString &funcName, VCefWidgetAbstract *window, const CefHandler &handler);

    bool contains(const QString &funcName) const;
    // What is stored for the sending window, else for any window; empty when neither.
    CefHandler find(const QString &funcName, VCefWidgetAbstract *window) const;

private:
    QMap<QString, QMap<VCefWidgetAbstract *, CefHandler>> m_handlers;
};
