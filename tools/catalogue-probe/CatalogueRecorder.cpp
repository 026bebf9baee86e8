#include "CatalogueRecorder.h"

#include <QStringList>

#include "KivoRequestBuilder.h"
#include "KivoServerComm.h"
#include "VProtoBufMessage.h"

CatalogueRecorder::CatalogueRecorder()
{
    m_response.resultCode = 1;
    KivoRequestBuilder::setTrace(this);
    KivoServerComm::getInstance()->setRequestSeam([this](const VProtoBufMessage &message) {
        ++m_sent;
        m_sentJson = message.ToJsonString(true);
        if (m_inspector)
            m_inspector(message);
        return QtPromise::QPromise<KivoServerResponse>::resolve(m_response);
    });
}

CatalogueRecorder::~CatalogueRecorder()
{
    KivoServerComm::getInstance()->setRequestSeam({});
    KivoRequestBuilder::setTrace(nullptr);
}

void CatalogueRecorder::clear()
{
    m_makes = 0;
    m_protoFile.clear();
    m_method.clear();
    m_makeOk = false;
    m_calls.clear();
    m_sent = 0;
    m_sentJson.clear();
}

void CatalogueRecorder::setResponse(const KivoServerResponse &response)
{
    m_response = response;
}

void CatalogueRecorder::setSendInspector(std::function<void(const VProtoBufMessage &)> inspector)
{
    m_inspector = std::move(inspector);
}

QJsonArray CatalogueRecorder::callsJson() const
{
    QJsonArray list;
    for (const Call &call : m_calls)
        list.append(QJsonObject{{"operation", call.operation},
                                {"field", call.field},
                                {"value", toJson(call.value)},
                                {"ok", call.ok}});
    return list;
}

QJsonValue CatalogueRecorder::toJson(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QVector<int>>()) {
        QJsonArray list;
        for (int v : value.value<QVector<int>>())
            list.append(v);
        return list;
    }
    switch (value.userType()) {
    case QMetaType::QStringList:
        return QJsonArray::fromStringList(value.toStringList());
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Bool:
        return value.toBool();
    default:
        return value.toString();
    }
}

void CatalogueRecorder::made(const QString &protoFile, const QString &method, bool ok)
{
    ++m_makes;
    m_protoFile = protoFile;
    m_method = method;
    m_makeOk = ok;
}

void CatalogueRecorder::fieldSet(const char *operation, const QString &field,
                                 const QVariant &value, bool ok)
{
    m_calls.append(Call{QString::fromLatin1(operation), field, value, ok});
}
