#include "CefHandlerTable.h"

void CefHandlerTable::registerHandler(const QString &funcName, VCefWidgetAbstract *window,
                                      const CefHandler &handler)
{
    m_handlers[funcName][window] = handler;
}

bool CefHandlerTable::contains(const QString &funcName) const
{
    return m_handlers.contains(funcName);
}

CefHandler CefHandlerTable::find(const QString &funcName, VCefWidgetAbstract *window) const
{
    const auto byName = m_handlers.constFind(funcName);
    if (byName == m_handlers.constEnd())
        return {};
    const auto forWindow = byName->constFind(window);
    if (forWindow != byName->constEnd())
        return *forWindow;
    return byName->value(nullptr);
}
