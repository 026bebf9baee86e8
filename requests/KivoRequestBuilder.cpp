#include "KivoRequestBuilder.h"

#include "KivoRequestTrace.h"
#include "KivoServerComm.h"

namespace {
KivoRequestTrace *g_trace = nullptr;

template<typename T>
void report(const char *operation, const QString &field, const T &value, bool ok)
{
    if (g_trace)
        g_trace->fieldSet(operation, field, QVariant::fromValue(value), ok);
}
} // namespace

KivoRequestBuilder::KivoRequestBuilder(const char *method)
{
    const QString name = QString::fromLatin1(method);
    const QString protoFile = name.left(name.indexOf(QLatin1Char('.'))) + QLatin1String(".proto");
    const bool ok = m_message.make(protoFile, name);
    if (g_trace)
        g_trace->made(protoFile, name, ok);
}

KivoRequestBuilder &KivoRequestBuilder::setString(const char *field, const QString &value)
{
    return setString(QString::fromLatin1(field), value);
}

KivoRequestBuilder &KivoRequestBuilder::setString(const QString &field, const QString &value)
{
    report("setString", field, value, m_message.setString(field, value));
    return *this;
}

KivoRequestBuilder &KivoRequestBuilder::setInt32(const char *field, int value)
{
    const QString name = QString::fromLatin1(field);
    report("setInt32", name, value, m_message.setInt32(name, value));
    return *this;
}

KivoRequestBuilder &KivoRequestBuilder::setInt64(const char *field, qint64 value)
{
    const QString name = QString::fromLatin1(field);
    report("setInt64", name, value, m_message.setInt64(name, value));
    return *this;
}

KivoRequestBuilder &KivoRequestBuilder::setBool(const char *field, bool value)
{
    const QString name = QString::fromLatin1(field);
    report("setBool", name, value, m_message.setBool(name, value));
    return *this;
}

KivoRequestBuilder &KivoRequestBuilder::addString(const char *field, const QString &value)
{
    const QString name = QString::fromLatin1(field);
    report("addString", name, value, m_message.addString(name, value));
    return *this;
}

KivoRequestBuilder &KivoRequestBuilder::addString(const char *field, const QStringList &values)
{
    const QString name = QString::fromLatin1(field);
    report("addString", name, values, m_message.addString(name, values));
    return *this;
}

KivoRequestBuilder &KivoRequestBuilder::addInt32(const char *field, int value)
{
    const QString name = QString::fromLatin1(field);
    report("addInt32", name, value, m_message.addInt32(name, value));
    return *this;
}

KivoRequestBuilder &KivoRequestBuilder::addInt32(const char *field, const QVector<int> &values)
{
    const QString name = QString::fromLatin1(field);
    report("addInt32", name, values, m_message.addInt32(name, values));
    return *this;
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
