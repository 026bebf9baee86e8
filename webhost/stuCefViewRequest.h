#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QtGlobal>

// One message from the client to the web host: id, type, and the type's payload blob.
struct stuCefViewRequest
{
    quint64 id = 0;
    qint32 type = 0;
    QByteArray payload;
};

inline QDataStream &operator<<(QDataStream &out, const stuCefViewRequest &req)
{
    return out << req.id << req.type << req.payload;
}
