#pragma once

#include <QString>
#include <QVariant>

// Observer of what request functions do to their messages, in call order. A test seam: the
// probe and the tests install one to see every make and setter call with its result, which the
// catalogue itself ignores.
class KivoRequestTrace
{
public:
    virtual ~KivoRequestTrace() = default;

    // make(protoFile, method) was called and returned ok.
    virtual void made(const QString &protoFile, const QString &method, bool ok) = 0;

    // operation is the VProtoBufMessage member used ("setString", "addInt32", ...); value is a
    // QString, int, qint64, bool, QStringList or QVector<int>.
    virtual void fieldSet(const char *operation, const QString &field, const QVariant &value,
                          bool ok) = 0;
};
