#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QString>

// What the service answers, from the script file and changed later by the control connection.
// The HTTP threads read the "sdkinit" part, hence the lock; every getter returns a copy.
//
// Script (JSON object, every member optional):
//   "sdkinit":    {"code": n, "msg": text, "data": {...}, "status": n, "delayMs": n, "body": text}
//   "replies":    {"<Module>.<method>": {"code": n, "text": text, "fields": {...},
//                                        "type": reply type name, "delayMs": n, "silent": bool}}
//   "broadcasts": [{"name": "<Module>.<Name>", "id": n, "fields": {...}, "delayMs": n}]
//                 pushed to every connection, delayMs after it connects
class ServiceScript
{
public:
    // Reads the file; false with error set when it cannot be read or is not a JSON object.
    bool load(const QString &path, QString &error);

    QJsonObject sdkinit() const;
    void setSdkinit(const QJsonObject &spec);

    // The reply spec of a method; empty when it has none (the default reply).
    QJsonObject reply(const QString &method) const;
    // An empty spec removes the method's reply.
    void setReply(const QString &method, const QJsonObject &spec);

    QJsonArray broadcasts() const;

private:
    mutable QMutex m_mutex;
    QJsonObject m_sdkinit;
    QJsonObject m_replies;
    QJsonArray m_broadcasts;
};
