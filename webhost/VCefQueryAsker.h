#pragma once

#include <QPointer>
#include <QString>

class VCefWidgetAbstract;

// The window that asked a query and the document it showed then (VCefWidgetAbstract::document).
// An answer given later goes to neither a closed window nor a page loaded since, which never
// asked it; an answer for a replaced document is dropped with one log line.
class VCefQueryAsker
{
public:
    explicit VCefQueryAsker(VCefWidgetAbstract *window);

    // Sends the answer to the document that asked; false when it was dropped.
    bool answer(qint64 queryId, const QString &text, bool ok) const;

private:
    QPointer<VCefWidgetAbstract> m_window;
    quint64 m_document = 0;
};
