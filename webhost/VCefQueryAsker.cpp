#include "VCefQueryAsker.h"

#include <QDebug>

#include "VCefWidgetAbstract.h"
#include "VLogLimiter.h"
#include "VLogText.h"

VCefQueryAsker::VCefQueryAsker(VCefWidgetAbstract *window)
    : m_window(window), m_document(window ? window->document() : 0)
{
}

bool VCefQueryAsker::answer(qint64 queryId, const QString &text, bool ok) const
{
    if (!m_window)
        return false;
    if (m_window->document() != m_document) {
        // A page reloading its pop-up may leave answers behind as often as it likes: the line is
        // limited, and its text spends the pages' budget.
        if (VLogLimiter::getInstance()->admit(QStringLiteral("[CEFLOG] query answer for a page since replaced dropped")))
            qInfo() << "[CEFLOG]" << "query answer for a page since replaced dropped" << queryId
                    << VLogText::cut(text, VLogText::Page);
        return false;
    }
    m_window->sendQueryReply(queryId, text, ok);
    return true;
}
