#pragma once

#include <QString>
#include <QtPromise>

#include <json/json.h>

#include "KivoServerResponse.h"

class VProtoBufMessage;

// Turns a page's "protoRequest" param ({"protoName": "PrankCmd.addPrank", "protoParam": {...}})
// into a server message, each field written by its protobuf type, and sends it.
class VCefProtoRequest
{
public:
    VCefProtoRequest() = default;
    virtual ~VCefProtoRequest();

    // The promise of the server's response; already rejected with a vErrorInfo when the
    // message cannot be built or filled (then nothing is sent).
    QtPromise::QPromise<KivoServerResponse> request(const Json::Value &param);

    // "PrankCmd.addPrank" -> "PrankCmd.proto"; a name without a dot gives "proto".
    static QString protoFileName(const QString &protoName);

    // False when param has no "protoName". Whether the name resolves is left to the sender.
    bool makeMessage(VProtoBufMessage &message, const Json::Value &param);
    // False when param has no "protoParam" or one of its members is an object.
    bool fillMessage(VProtoBufMessage &message, const Json::Value &param);
    // Fields the message lacks, and types not written here, are skipped.
    void setField(VProtoBufMessage &message, const Json::Value &value, const QString &name);
    void addField(VProtoBufMessage &message, const Json::Value &element, const QString &name);
};
