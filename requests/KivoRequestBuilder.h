#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <QtPromise>

#include "KivoServerResponse.h"
#include "VProtoBufMessage.h"

class KivoRequestTrace;

// Builds one request message and sends it: every request function of the catalogue is a single
// chain of these calls. The message is made from the method's module ("PrankCmd.addPrank" ->
// "PrankCmd.proto"); the results of make and of the setters are not looked at, so a field the
// proto file lacks only changes what goes out.
class KivoRequestBuilder
{
public:
    explicit KivoRequestBuilder(const char *method);
    KivoRequestBuilder(const KivoRequestBuilder &) = delete;
    KivoRequestBuilder &operator=(const KivoRequestBuilder &) = delete;

    KivoRequestBuilder &setString(const char *field, const QString &value);
    KivoRequestBuilder &setString(const QString &field, const QString &value);
    KivoRequestBuilder &setInt32(const char *field, int value);
    KivoRequestBuilder &setInt64(const char *field, qint64 value);
    KivoRequestBuilder &setBool(const char *field, bool value);
    KivoRequestBuilder &addString(const char *field, const QString &value);
    KivoRequestBuilder &addString(const char *field, const QStringList &values);
    KivoRequestBuilder &addInt32(const char *field, int value);
    KivoRequestBuilder &addInt32(const char *field, const QVector<int> &values);

    // Set only when the condition holds; otherwise the field stays unset.
    KivoRequestBuilder &setStringIf(bool condition, const char *field, const QString &value);
    KivoRequestBuilder &setInt32If(bool condition, const char *field, int value);

    // One addString call per element, in list order.
    KivoRequestBuilder &addEachString(const char *field, const QStringList &values);

    // Hands the message to the server connection and returns its promise unchanged.
    QtPromise::QPromise<KivoServerResponse> send();

    // Test seam: every later make and setter call is reported to trace (null stops it).
    static void setTrace(KivoRequestTrace *trace);

private:
    // Calls the message's setter and reports it to the trace.
    template<typename T>
    KivoRequestBuilder &apply(const char *operation,
                              bool (VProtoBufMessage::*setter)(const QString &, T),
                              const QString &field, T value);

    VProtoBufMessage m_message;
};
