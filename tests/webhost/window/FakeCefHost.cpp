#include "FakeCefHost.h"

#include <QDataStream>

QString FakeCefHost::Msg::string() const
{
    QDataStream in(payload);
    QString s;
    in >> s;
    return s;
}

qint32 FakeCefHost::Msg::int32() const
{
    QDataStream in(payload);
    qint32 v = 0;
    in >> v;
    return v;
}

QSize FakeCefHost::Msg::size() const
{
    QDataStream in(payload);
    QSize s;
    in >> s;
    return s;
}

QPoint FakeCefHost::Msg::point() const
{
    QDataStream in(payload);
    QPoint p;
    in >> p;
    return p;
}

bool FakeCefHost::Msg::flag() const
{
    return payload.size() == 1 && payload.at(0) == 1;
}

bool FakeCefHost::listen(const QString &name)
{
    QLocalServer::removeServer(name);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = m_server.nextPendingConnection()) {
            m_sockets.append(s);
            m_buffers.append(QByteArray());
            const int conn = m_sockets.size();
            connect(s, &QLocalSocket::readyRead, this, [this, conn] { onReadyRead(conn); });
        }
    });
    return m_server.listen(name);
}

void FakeCefHost::onReadyRead(int conn)
{
    QByteArray &buf = m_buffers[conn - 1];
    buf += m_sockets[conn - 1]->readAll();
    while (buf.size() >= 4) {
        const auto *u = reinterpret_cast<const unsigned char *>(buf.constData());
        const quint32 length = quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
        if (quint64(buf.size()) < quint64(length) + 4)
            return;
        QDataStream in(buf.mid(4, int(length)));
        Msg m;
        m.conn = conn;
        in >> m.id >> m.type >> m.payload;
        buf.remove(0, int(length) + 4);
        received.append(m);
        if (m.type == 1 && autoCreateViewId != 0)
            answerCreate(m, autoCreateViewId);
    }
}

QList<FakeCefHost::Msg> FakeCefHost::ofType(qint32 type) const
{
    QList<Msg> out;
    for (const Msg &m : received)
        if (m.type == type)
            out.append(m);
    return out;
}

QList<qint32> FakeCefHost::types() const
{
    QList<qint32> out;
    for (const Msg &m : received)
        out.append(m.type);
    return out;
}

QByteArray FakeCefHost::response(quint64 id, qint32 type, qint32 code, const QString &message, const QByteArray &data)
{
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << id << type << code << message << data;
    const quint32 n = quint32(body.size());
    QByteArray frame;
    frame.append(char(n & 0xFF)).append(char((n >> 8) & 0xFF)).append(char((n >> 16) & 0xFF)).append(char(n >> 24));
    return frame + body;
}

QByteArray FakeCefHost::viewId(quint32 id)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << id;
    return data;
}

void FakeCefHost::send(QLocalSocket *socket, const QByteArray &bytes)
{
    socket->write(bytes);
    socket->flush();
}

void FakeCefHost::answerCreate(const Msg &create, quint32 view, qint32 code)
{
    send(m_sockets.value(create.conn - 1), response(create.id, 1, code, QString(), viewId(view)));
}
