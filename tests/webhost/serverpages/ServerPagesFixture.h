#pragma once

#include "PageWindowFixture.h"

// Page windows whose host never answers, plus what they hold for their pages (message type 4).
class ServerPagesFixture : public PageWindowFixture
{
protected:
    struct ToWeb
    {
        quint64 id = 0;
        QString json;
    };
    static QList<ToWeb> toWeb(VCefWidgetAbstract *w)
    {
        QList<ToWeb> out;
        for (const stuCefViewRequest &req : w->queuedRequests()) {
            if (req.type != 4)
                continue;
            QDataStream in(req.payload);
            ToWeb m;
            m.id = req.id;
            in >> m.json;
            out.append(m);
        }
        return out;
    }
};
