#pragma once

#include <QDataStream>
#include <QString>
#include <QtGlobal>

// Payload of the answer to a page query.
struct CefQueryReply
{
    qint64 queryId = 0;
    QString text;
    bool ok = false;
};

inline QDataStream &operator<<(QDataStream &out, const CefQueryReply &reply)
{
    return out << reply.queryId << reply.text << reply.ok;
}
