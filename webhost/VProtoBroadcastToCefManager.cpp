#include "VProtoBroadcastToCefManager.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include "KivoServerComm.h"
#include "VBroadcastBacklog.h"
#include "VCefWidgetAbstract.h"
#include "VLogLimiter.h"
#include "VLogText.h"
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

    // One broadcast may cost only so much: a message larger than this as JSON is not built
    // into a page's text at all.
    const QString protoKey = VProtoKeyMgr::getInstance()->value(QString::number(protoId));
    bool tooLong = false;
    const QString protoMsg = pbMsg->ToJsonString(true, kMaxMessageJsonBytes, &tooLong);
    if (tooLong) {
        if (VLogLimiter::getInstance()->admit(QStringLiteral("[CEFLOG] protoBroadcast not sent")))
            qWarning().noquote() << "[CEFLOG] protoBroadcast not sent:" << VLogText::cut(protoKey, VLogText::Server)
                                 << protoId
                                 << "is over" << kMaxMessageJsonBytes << "bytes as JSON, the most a page is sent";
        return;
    }
    QJsonObject param;
    param.insert(QStringLiteral("protoKey"), protoKey);
    param.insert(QStringLiteral("protoMsg"), protoMsg);
    const QJsonObject forwarded{{QStringLiteral("funcName"), QStringLiteral("protoBroadcast")},
                                {QStringLiteral("param"), param}};
    // Written once for all the pages.
    const QString text = QString::fromUtf8(QJsonDocument(forwarded).toJson(QJsonDocument::Compact));
    for (const QPointer<VCefWidgetAbstract> &window : qAsConst(list)) {
        // A page whose host has stopped reading is passed over (VBroadcastBacklog logs it).
        if (VBroadcastBacklog::getInstance()->isStalled(window->socket()))
            continue;
        if (isBehind(window))
            continue;
        const bool log = VLogLimiter::getInstance()->admit(QStringLiteral("[CEFLOG] sendToWeb"));
        window->sendToWeb(text, log, VLogText::Server);
    }
}

bool VProtoBroadcastToCefManager::isBehind(VCefWidgetAbstract *window)
{
    // Messages the host has not answered yet, or that wait for its view; those waiting are
    // held whole, so they are bounded in bytes as well.
    const int pending = window->pendingRequestCount() + window->queuedRequests().size();
    const qint64 waiting = window->queuedBytes();
    m_behind.erase(std::remove_if(m_behind.begin(), m_behind.end(),
                                  [](const QPointer<VCefWidgetAbstract> &w) { return w.isNull(); }),
                   m_behind.end());
    const bool wasBehind = m_behind.contains(window);
    if (!wasBehind && pending >= kMaxPendingMessages) {
        m_behind.append(window);
        qWarning().noquote() << "[CEFLOG] broadcasts for a page are dropped until it has answered: it holds" << pending
                             << "messages unanswered, the most is" << kMaxPendingMessages;
        return true;
    }
    if (!wasBehind && waiting >= kMaxQueuedBytes) {
        m_behind.append(window);
        qWarning().noquote() << "[CEFLOG] broadcasts for a page are dropped until its view exists: it holds" << waiting
                             << "bytes for it, the most is" << kMaxQueuedBytes;
        return true;
    }
    if (wasBehind && pending < kResumePendingMessages && waiting < kMaxQueuedBytes / 2) {
        m_behind.removeAll(window);
        return false;
    }
    return wasBehind;
}
