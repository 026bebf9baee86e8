#include "VCefProtocol.h"

#include <QtEndian>

quint64 nextCefMsgId()
{
    // Touched only from the GUI thread.
    static quint64 counter = 0;
    return ++counter;
}

stuCefViewRequest VCefProtocol::makeRequest(qint32 type, const QByteArray &payload)
{
    stuCefViewRequest req;
    req.id = nextCefMsgId();
    req.type = type;
    req.payload = payload;
    return req;
}

QByteArray VCefProtocol::frame(const stuCefViewRequest &req)
{
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out << req;
    }
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(quint32(body.size()), bytes.data());
    bytes.append(body);
    return bytes;
}

QString VCefProtocol::pageCommandText(const QByteArray &data)
{
    QDataStream in(data);
    QString text;
    in >> text;
    return text;
}

QString VCefProtocol::pageQueryText(const QByteArray &data)
{
    return QString::fromUtf8(data);
}
