#pragma once

#include <QList>
#include <QSharedPointer>
#include <QString>

#include <functional>

#include "KivoServerComm.h"

// Stands in for the server: records every request KivoServerComm is given (a copy of the
// message) and answers it at once with `answer`, or holds it until the test settles it.
class ServerSeam
{
public:
    typedef std::function<QtPromise::QPromise<KivoServerResponse>(const VProtoBufMessage &)> Answer;

    ServerSeam()
    {
        KivoServerComm::getInstance()->setRequestSeam([this](const VProtoBufMessage &m) {
            VProtoMsgPtr copy(new VProtoBufMessage);
            if (copy->make(m.protoFile(), m.typeName()))
                copy->parse(m.serialize());
            sent.append(copy);
            sentTypes.append(m.typeName());
            sentFiles.append(m.protoFile());
            if (answer)
                return answer(m);
            return QtPromise::QPromise<KivoServerResponse>(
                [this](const QtPromise::QPromiseResolve<KivoServerResponse> &resolve,
                       const QtPromise::QPromiseReject<KivoServerResponse> &reject) {
                    held.append({resolve, reject});
                });
        });
    }
    ~ServerSeam() { KivoServerComm::getInstance()->setRequestSeam({}); }

    static KivoServerResponse response(int code, const QString &text, VProtoMsgPtr reply = {})
    {
        KivoServerResponse r;
        r.resultCode = code;
        r.resultMessage = text;
        r.replyMessage = reply;
        return r;
    }

    struct Held
    {
        QtPromise::QPromiseResolve<KivoServerResponse> resolve;
        QtPromise::QPromiseReject<KivoServerResponse> reject;
    };

    Answer answer;
    QList<VProtoMsgPtr> sent;
    QStringList sentTypes;
    QStringList sentFiles;
    QList<Held> held;
};
