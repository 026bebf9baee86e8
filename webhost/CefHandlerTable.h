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

    // Runs body; a wrongly typed page member (jsoncpp throws) or any other exception is caught
    // and its text left in error. True when body finished.
    template <typename Body>
    static bool guarded(Body &&body, QString &error)
    {
        try {
            body();
            return true;
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        } catch (...) {
            error = QStringLiteral("unknown exception");
        }
        return false;
    }

private:
    QMap<QString, QMap<VCefWidgetAbstract *, CefHandler>> m_handlers;
};
