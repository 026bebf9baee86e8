#include "VProtoBroadcastToCefManager.h"

#include <QJsonObject>

#include <algorithm>

#include "KivoServerComm.h"
#include "VBroadcastBacklog.h"
#include "VCefWidgetAbstract.h"
#include "VProtoKeyMgr.h"

VProtoBroadcastToCefManager::VProtoBroadcastToCefManager() : QObject(nullptr)
{
    connect(KivoServerComm::getInstance(), &KivoServerComm::sigRecvBroadCast, this,
            &VProtoBroadcastToCefManager::sltRecvBroadCast,
            Qt::ConnectionType(Qt::AutoConnection | Qt::UniqueConnection));
}

void VProtoBroadcastToCefManager::registerWidget(const QString &protoKey, VCefWidgetAbstract *window)
{
    if (!window)
        return;
    const int protoId = VProtoKeyMgr::getInstance()->value(protoKey).toInt();
    QList<QPointer<VCefWidgetAbstract>> &list = m_subscribers[protoId];
    for (const QPointer<VCefWidgetAbstract> &held : list) {
        if (held == window)
            return;
    }
    list.append(window);
}

QList<QPointer<VCefWidgetAbstract>> VProtoBroadcastToCefManager::subscribers(int protoId) const
{
    return m_subscribers.value(protoId);
}

void VProtoBroadcastToCefManager::sltRecvBroadCast(int protoId, VProtoMsgPtr pbMsg)
{
    if (!pbMsg)
        return;
    const auto found = m_subscribers.find(protoId);
    if (found == m_subscribers.end())
        return;
    // Subscriptions end with their window.
    QList<QPointer<VCefWidgetAbstract>> &list = *found;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const QPointer<VCefWidgetAbstract> &window) { return window.isNull(); }),
               list.end());

    QJsonObject param;
    param.insert(QStringLiteral("protoKey"), VProtoKeyMgr::getInstance()->value(QString::number(protoId)));
    param.insert(QStringLiteral("protoMsg"), pbMsg->ToJsonString(true));
    const QJsonObject forwarded{{QStringLiteral("funcName"), QStringLiteral("protoBroadcast")},
                                {QStringLiteral("param"), param}};
    // A page whose host has stopped reading is passed over (VBroadcastBacklog logs it).
    for (const QPointer<VCefWidgetAbstract> &window : qAsConst(list))
        if (!VBroadcastBacklog::getInstance()->isStalled(window->socket()))
            window->sendToWeb(forwarded, true);
}
