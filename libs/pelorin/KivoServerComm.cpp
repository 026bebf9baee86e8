#include "KivoServerComm.h"

#include <QCoreApplication>
#include <QtDebug>

KivoServerComm *KivoServerComm::getInstance()
{
    static KivoServerComm instance;
    return &instance;
}

KivoServerComm::KivoServerComm() : QObject(nullptr)
{
    qRegisterMetaType<QSharedPointer<VProtoBufMessage>>("QSharedPointer<VProtoBufMessage>");
    qRegisterMetaType<KivoServerResponse>("KivoServerResponse");
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
}

void KivoServerComm::setRequestSeam(RequestSeam seam)
{
    m_seam = std::move(seam);
}

QtPromise::QPromise<KivoServerResponse> KivoServerComm::requestKivoServer(const VProtoBufMessage &message)
{
    if (m_seam)
        return m_seam(message);
    // The network transport is not in place yet: every request is refused with a clear error.
    const QString type = message.typeName();
    qWarning().noquote() << "[PELORIN] no server transport, request refused:" << type;
    return QtPromise::QPromise<KivoServerResponse>::reject(
        vErrorInfo(QStringLiteral("server connection unavailable: %1").arg(type), -1));
}
