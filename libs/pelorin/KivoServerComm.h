#pragma once

#include "KivoServerResponse.h"
#include "VProtoBufMessage.h"
#include "vErrorInfo.h"

#include <QtPromise>

#include <QObject>

#include <functional>

// The server connection: requests answered through promises that settle on the GUI thread,
// broadcasts emitted through sigRecvBroadCast with their id and decoded message.
class KivoServerComm : public QObject
{
    Q_OBJECT
public:
    typedef std::function<QtPromise::QPromise<KivoServerResponse>(const VProtoBufMessage &)> RequestSeam;

    static KivoServerComm *getInstance();

    // Takes what it needs from the message before returning; the message may go at once.
    QtPromise::QPromise<KivoServerResponse> requestKivoServer(const VProtoBufMessage &message);

    // Tests answer requests here instead of the network; an empty function restores it.
    void setRequestSeam(RequestSeam seam);

signals:
    void sigRecvBroadCast(int protoId, QSharedPointer<VProtoBufMessage> pbMsg);

private:
    KivoServerComm();

    RequestSeam m_seam;
};
