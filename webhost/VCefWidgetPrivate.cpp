#include "VCefWidgetPrivate.h"

#include <QDebug>
#include <QLocalSocket>
#include <QMutexLocker>
#include <QTimer>

#include "VBroadcastBacklog.h"
#include "VCefProtocol.h"
#include "VCefWidgetAbstract.h"

VCefWidgetPrivate::VCefWidgetPrivate(VCefWidgetAbstract *widget) : m_widget(widget)
{
    m_business.insert(VCefProtocol::PageCommand, &VCefWidgetAbstract::emitBroadcast);
    m_business.insert(VCefProtocol::PageQuery, &VCefWidgetAbstract::emitWebQuertRequest);
}

VCefWidgetPrivate::~VCefWidgetPrivate() = default;

QtPromise::QPromise<stuCefViewResponse> VCefWidgetPrivate::request(QLocalSocket *socket,
                                                                   const stuCefViewRequest &req)
{
    const QPointer<QLocalSocket> guard(socket);
    if (socket) {
        const QByteArray frame = VCefProtocol::frame(req);
        QTimer::singleShot(0, socket, [guard, frame] {
            if (!guard)
                return;
            guard->write(frame);
            guard->flush();
            VBroadcastBacklog::getInstance()->setPending(guard, guard->bytesToWrite());
        });
    }
    const quint64 id = req.id;
    return QtPromise::QPromise<stuCefViewResponse>(
        [this, guard, id](const QtPromise::QPromiseResolve<stuCefViewResponse> &resolve,
                          const QtPromise::QPromiseReject<stuCefViewResponse> &reject) {
            if (!guard)
                return;
            QMutexLocker locker(&m_mutex);
            m_resolvers.insert(id, [resolve](const stuCefViewResponse &r) { resolve(r); });
            m_rejecters.insert(id, [reject](const stuCefViewResponse &r) { reject(r); });
        });
}

void VCefWidgetPrivate::handleResponse(const stuCefViewResponse &resp)
{
    std::function<void(const stuCefViewResponse &)> resolve;
    std::function<void(const stuCefViewResponse &)> reject;
    {
        QMutexLocker locker(&m_mutex);
        if (!m_resolvers.contains(resp.id))
            return;
        resolve = m_resolvers.take(resp.id);
        reject = m_rejecters.take(resp.id);
    }
    if (resp.code != 0) {
        if (reject)
            reject(resp);
    } else if (resolve) {
        resolve(resp);
    }
}

void VCefWidgetPrivate::handleBusiness(const stuCefViewResponse &resp)
{
    const auto it = m_business.constFind(resp.type);
    if (it == m_business.constEnd()) {
        qInfo().noquote() << QStringLiteral("cef req business %1 不存在").arg(resp.type);
        return;
    }
    (m_widget->*(it.value()))(resp.data, m_widget);
}

int VCefWidgetPrivate::pendingCount() const
{
    QMutexLocker locker(&m_mutex);
    return m_resolvers.size();
}
