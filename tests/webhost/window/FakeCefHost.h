#pragma once

#include <QByteArray>
#include <QList>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

// An in-process web host for page-window tests: decodes what the windows send (its own reading
// of the format, written out here) and answers as a test tells it to.
class FakeCefHost : public QObject
{
    Q_OBJECT
public:
    struct Msg
    {
        int conn = 0;
        quint64 id = 0;
        qint32 type = 0;
        QByteArray payload;

        QString string() const;
        qint32 int32() const;
        QSize size() const;
        QPoint point() const;
        bool flag() const;
    };

    bool listen(const QString &name);

    // Answer createCefView at once with this view id (0: hold the answer).
    quint32 autoCreateViewId = 77;

    QList<Msg> received;
    QList<Msg> ofType(qint32 type) const;
    QList<qint32> types() const;
    int connections() const { return m_sockets.size(); }
    QLocalSocket *socket(int conn) const { return m_sockets.value(conn - 1); }
    QLocalSocket *last() const { return m_sockets.isEmpty() ? nullptr : m_sockets.last(); }

    static QByteArray response(quint64 id, qint32 type, qint32 code, const QString &message, const QByteArray &data);
    static QByteArray viewId(quint32 id);
    void send(QLocalSocket *socket, const QByteArray &bytes);
    void answerCreate(const Msg &create, quint32 viewId, qint32 code = 0);

private:
    void onReadyRead(int conn);

    QLocalServer m_server;
    QList<QLocalSocket *> m_sockets;
    QList<QByteArray> m_buffers;
};
