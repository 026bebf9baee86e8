#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

// pagewell's side of the socket format: requests in, responses out. Kept apart from the
// client's code on purpose, so a mistake on one side is not mirrored on the other.
class PagewellCodec
{
public:
    struct Request
    {
        quint64 id = 0;
        qint32 type = 0;
        QByteArray payload;
    };

    // Appends bytes; returns the whole requests now available. Bodies too short for a request
    // are counted in malformed and skipped.
    QVector<Request> feed(const QByteArray &bytes, int *malformed);

    static QByteArray response(quint64 id, qint32 type, qint32 code, const QString &message,
                               const QByteArray &data);
    // Business data: type 5 wraps the text in a data-stream string, type 6 sends raw UTF-8.
    static QByteArray commandData(const QString &json);
    static QByteArray viewIdData(quint32 viewId);

    static QString typeName(qint32 type);
    // The payload's values by name, for the log.
    static QJsonObject decodePayload(qint32 type, const QByteArray &payload);

private:
    QByteArray m_buffer;
};
