#include "VCefProtoRequest.h"

#include "CefPageJson.h"
#include "KivoServerComm.h"
#include "VProtoBufMessage.h"
#include "vErrorInfo.h"

namespace {

// protobuf FieldDescriptor::Type numbers.
enum FieldType { Int64 = 3, Int32 = 5, Bool = 8, String = 9, Uint32 = 13 };

QtPromise::QPromise<KivoServerResponse> rejected(const QString &text)
{
    return QtPromise::QPromise<KivoServerResponse>::reject(vErrorInfo(text, -1));
}

} // namespace

VCefProtoRequest::~VCefProtoRequest() = default;

QString VCefProtoRequest::protoFileName(const QString &protoName)
{
    const int dot = protoName.indexOf(QLatin1Char('.'));
    return protoName.left(dot + 1) + QStringLiteral("proto");
}

QtPromise::QPromise<KivoServerResponse> VCefProtoRequest::request(const Json::Value &param)
{
    VProtoBufMessage message;
    bool made = false;
    bool filled = false;
    QString error;
    // A page value of the wrong JSON type or out of range: jsoncpp throws on converting it.
    const bool read = CefPageJson::guarded(
        [&] {
            made = makeMessage(message, param);
            filled = made && fillMessage(message, param);
        },
        error);
    if (!read)
        return rejected(QStringLiteral("消息参数错误"));
    if (!made)
        return rejected(QStringLiteral("CEF Proto 构建消息失败"));
    if (!filled)
        return rejected(QStringLiteral("CEF Proto 设置消息失败"));
    return KivoServerComm::getInstance()->requestKivoServer(message);
}

bool VCefProtoRequest::makeMessage(VProtoBufMessage &message, const Json::Value &param)
{
    if (!param.isMember("protoName"))
        return false;
    const QString protoName = QString::fromStdString(param["protoName"].asString());
    message.make(protoFileName(protoName), protoName);
    return true;
}

bool VCefProtoRequest::fillMessage(VProtoBufMessage &message, const Json::Value &param)
{
    if (!param.isMember("protoParam"))
        return false;
    const Json::Value &fields = param["protoParam"];
    for (const std::string &member : fields.getMemberNames()) {
        const Json::Value &value = fields[member];
        const QString name = QString::fromStdString(member);
        if (value.isNull())
            continue;
        // Nested messages are not written from pages.
        if (value.isObject())
            return false;
        if (value.isArray()) {
            for (const Json::Value &element : value)
                addField(message, element, name);
        } else {
            setField(message, value, name);
        }
    }
    return true;
}

void VCefProtoRequest::setField(VProtoBufMessage &message, const Json::Value &value, const QString &name)
{
    bool found = false;
    const int type = message.getFieldType(name, found);
    if (!found)
        return;
    switch (type) {
    case Int64: message.setInt64(name, value.asInt64()); break;
    case Int32: message.setInt32(name, value.asInt()); break;
    case Bool: message.setBool(name, value.asBool()); break;
    case String: message.setString(name, QString::fromStdString(value.asString())); break;
    case Uint32: message.setUint32(name, value.asUInt()); break;
    default: break;
    }
}

void VCefProtoRequest::addField(VProtoBufMessage &message, const Json::Value &element, const QString &name)
{
    bool found = false;
    const int type = message.getFieldType(name, found);
    if (!found)
        return;
    switch (type) {
    case Int64: message.addInt64(name, element.asInt64()); break;
    case Int32: message.addInt32(name, element.asInt()); break;
    case String: message.addString(name, QString::fromStdString(element.asString())); break;
    default: break;
    }
}
