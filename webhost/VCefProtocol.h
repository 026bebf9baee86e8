#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QString>
#include <QtGlobal>

#include "CefQueryReply.h"
#include "stuCefViewRequest.h"

// Process-wide id of the next outgoing message: pre-incremented, first id 1, never reused.
quint64 nextCefMsgId();

// The byte format shared with the web host: message types, payloads and frames.
class VCefProtocol
{
public:
    enum MsgType : qint32 {
        CreateCefView = 1,
        LoadUrl = 3,
        SendToWeb = 4,
        PageCommand = 5,
        PageQuery = 6,
        QueryReply = 7,
        OpenOrCloseDevTools = 8,
        Resize = 9,
        Move = 10,
        Visible = 11,
        Activate = 12,
        Reserved13 = 13,
        Reserved14 = 14,
        Reserved15 = 15,
    };

    // A payload: the values written in order by a fresh write-only data stream.
    template <typename... T>
    static QByteArray payload(const T &...values)
    {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        (out << ... << values);
        return bytes;
    }

    // A request of the type, taking the next message id.
    static stuCefViewRequest makeRequest(qint32 type, const QByteArray &payload);

    // Length prefix (32-bit little-endian) followed by the big-endian record.
    static QByteArray frame(const stuCefViewRequest &req);

    // Texts of the two business messages: type 5 carries a data-stream string, type 6 raw UTF-8.
    static QString pageCommandText(const QByteArray &data);
    static QString pageQueryText(const QByteArray &data);
};
