#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QString>
#include <QtGlobal>

// One message from the web host: an answer (id of the request) or, with id 0, a business message.
struct stuCefViewResponse
{
    quint64 id = 0;
    qint32 type = 0;
    qint32 code = 0;
    QString message;
    QByteArray data;
};

inline QDataStream &operator>>(QDataStream &in, stuCefViewResponse &resp)
{
    return in >> resp.id >> resp.type >> resp.code >> resp.message >> resp.data;
}
