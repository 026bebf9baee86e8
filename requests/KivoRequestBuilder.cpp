#include "KivoRequestBuilder.h"

#include <type_traits>

#include "KivoRequestTrace.h"
#include "KivoServerComm.h"

namespace {
KivoRequestTrace *g_trace = nullptr;
} // namespace

KivoRequestBuilder::KivoRequestBuilder(const char *method)
{
    const QString name = QString::fromLatin1(method);
    const QString protoFile = name.left(name.indexOf(QLatin1Char('.'))) + QLatin1String(".proto");
    const bool ok = m_message.make(protoFile, name);
    if (g_trace)
        g_trace->made(protoFile, name, ok);
}

template<typename T>
KivoRequestBuilder &KivoRequestBuilder::apply(const char *operation,
                                              bool (VProtoBufMessage::*setter)(const QString &, T),
                                              const QString &field, T value)
{
    const bool ok = (m_message.*setter)(field, value);
    if (g_trace)
        g_trace->fieldSet(operation, field, QVariant::fromValue(std::decay_t<T>(value)), ok);
    return *this;
}

KivoRequestBuilder &KivoRequestBuilder::setString(const char *field, const QString &value)
{
    return setString(QString::fromLatin1(field), value);
}

KivoRequestBuilder &KivoRequestBuilder::setString(const QString &field, const QString &value)
{
    return apply<const QString &>("setString", &VProtoBufMessage::setString, field, value);
}

KivoRequestBuilder &KivoRequestBuilder::setInt32(const char *field, int value)
{
    return apply<int>("setInt32", &VProtoBufMessage::setInt32, QString::fromLatin1(field), value);
}

KivoRequestBuilder &KivoRequestBuilder::setInt64(const char *field, qint64 value)
{
    return apply<qint64>("setInt64", &VProtoBufMessage::setInt64, QString::fromLatin1(field), value);
}

KivoRequestBuilder &KivoRequestBuilder::setBool(const char *field, bool value)
{
    return apply<bool>("setBool", &VProtoBufMessage::setBool, QString::fromLatin1(field), value);
}

KivoRequestBuilder &KivoRequestBuilder::addString(const char *field, const QString &value)
{
    return apply<const QString &>("addString", &VProtoBufMessage::addString,
                                  QString::fromLatin1(field), value);
}

KivoRequestBuilder &KivoRequestBuilder::addString(const char *field, const QStringList &values)
{
    return apply<const QStringList &>("addString", &VProtoBufMessage::addString,
                                      QString::fromLatin1(field), values);
}

KivoRequestBuilder &KivoRequestBuilder::addInt32(const char *field, int value)
{
    return apply<int>("addInt32", &VProtoBufMessage::addInt32, QString::fromLatin1(field), value);
}

KivoRequestBuilder &KivoRequestBuilder::addInt32(const char *field, const QVector<int> &values)
{
    return apply<const QVector<int> &>("addInt32", &VProtoBufMessage::addInt32,
                                       QString::fromLatin1(field), values);
}

KivoRequestBuilder &KivoRequestBuilder::setStringIf(bool condition, const char *field,
                                                    const QString &value)
{
    return condition ? setString(field, value) : *this;
}

KivoRequestBuilder &KivoRequestBuilder::setInt32If(bool condition, const char *field, int value)
{
    return condition ? setInt32(field, value) : *this;
}

KivoRequestBuilder &KivoRequestBuilder::addEachString(const char *field, const QStringList &values)
{
    for (const QString &value : values)
        addString(field, value);
    return *this;
}

QtPromise::QPromise<KivoServerResponse> KivoRequestBuilder::send()
{
    return KivoServerComm::getInstance()->requestKivoServer(m_message);
}

void KivoRequestBuilder::setTrace(KivoRequestTrace *trace)
{
    g_trace = trace;
}
