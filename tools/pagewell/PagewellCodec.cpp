#include "PagewellCodec.h"

#include <QDataStream>
#include <QPoint>
#include <QSize>

namespace {

quint32 readLe32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

void appendLe32(QByteArray &out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

} // namespace

QVector<PagewellCodec::Request> PagewellCodec::feed(const QByteArray &bytes, int *malformed)
{
    m_buffer.append(bytes);
    QVector<Request> out;
    int pos = 0;
    while (m_buffer.size() - pos >= 4) {
        const quint64 length = readLe32(m_buffer.constData() + pos);
        if (quint64(m_buffer.size() - pos) < length + 4)
            break;
        QDataStream in(QByteArray::fromRawData(m_buffer.constData() + pos + 4, int(length)));
        Request req;
        in >> req.id >> req.type >> req.payload;
        pos += int(length) + 4;
        if (in.status() != QDataStream::Ok) {
            if (malformed)
                ++*malformed;
            continue;
        }
        out.append(req);
    }
    m_buffer.remove(0, pos);
    return out;
}

QByteArray PagewellCodec::response(quint64 id, qint32 type, qint32 code, const QString &message,
                                   const QByteArray &data)
{
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out << id << type << code << message << data;
    }
    QByteArray frame;
    appendLe32(frame, quint32(body.size()));
    return frame + body;
}

QByteArray PagewellCodec::commandData(const QString &json)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << json;
    return data;
}

QByteArray PagewellCodec::viewIdData(quint32 viewId)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << viewId;
    return data;
}

QString PagewellCodec::typeName(qint32 type)
{
    switch (type) {
    case 1: return QStringLiteral("createCefView");
    case 3: return QStringLiteral("loadUrl");
    case 4: return QStringLiteral("sendToWeb");
    case 7: return QStringLiteral("queryReply");
    case 8: return QStringLiteral("openOrCloseDevTools");
    case 9: return QStringLiteral("resize");
    case 10: return QStringLiteral("move");
    case 11: return QStringLiteral("visible");
    case 12: return QStringLiteral("activate");
    case 13: case 14: case 15: return QStringLiteral("reserved");
    default: return QStringLiteral("unknown");
    }
}

QJsonObject PagewellCodec::decodePayload(qint32 type, const QByteArray &payload)
{
    QDataStream in(payload);
    QJsonObject o;
    switch (type) {
    case 1: case 8: case 12: case 13: case 14: {
        qint32 v = 0;
        in >> v;
        o.insert(QStringLiteral("value"), v);
        break;
    }
    case 3: case 4: case 15: {
        QString s;
        in >> s;
        o.insert(type == 3 ? QStringLiteral("url") : type == 4 ? QStringLiteral("json") : QStringLiteral("text"), s);
        break;
    }
    case 7: {
        qint64 queryId = 0;
        QString text;
        bool ok = false;
        in >> queryId >> text >> ok;
        o.insert(QStringLiteral("queryId"), double(queryId));
        o.insert(QStringLiteral("text"), text);
        o.insert(QStringLiteral("ok"), ok);
        break;
    }
    case 9: {
        QSize size;
        in >> size;
        o.insert(QStringLiteral("width"), size.width());
        o.insert(QStringLiteral("height"), size.height());
        break;
    }
    case 10: {
        QPoint p;
        in >> p;
        o.insert(QStringLiteral("x"), p.x());
        o.insert(QStringLiteral("y"), p.y());
        break;
    }
    case 11: {
        bool visible = false;
        in >> visible;
        o.insert(QStringLiteral("visible"), visible);
        break;
    }
    default:
        o.insert(QStringLiteral("payloadHex"), QString::fromLatin1(payload.toHex()));
        return o;
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        o.insert(QStringLiteral("payloadHex"), QString::fromLatin1(payload.toHex()));
    return o;
}
