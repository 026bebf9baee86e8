#pragma once

#include <QMap>
#include <QMutex>
#include <QPointer>
#include <QtPromise>

#include <functional>

#include "stuCefViewRequest.h"
#include "stuCefViewResponse.h"

class QLocalSocket;
class VCefWidgetAbstract;

// The working part of a page window: requests waiting for their answer, and the business
// messages the host starts by itself.
class VCefWidgetPrivate
{
public:
    explicit VCefWidgetPrivate(VCefWidgetAbstract *widget);
    virtual ~VCefWidgetPrivate();

    // Writes the message on the next turn of the event loop (when the socket still exists) and
    // returns the promise of its answer. There is no time-out.
    QtPromise::QPromise<stuCefViewResponse> request(QLocalSocket *socket, const stuCefViewRequest &req);
    // An answer: settles the waiting request of that id; an id not waiting is ignored.
    void handleResponse(const stuCefViewResponse &resp);
    // A message with id 0: emitted as the window's signal of its type, or logged.
    void handleBusiness(const stuCefViewResponse &resp);

    int pendingCount() const;

private:
    typedef void (VCefWidgetAbstract::*BusinessEmitter)(const QByteArray &data, VCefWidgetAbstract *window);

    QMap<quint64, std::function<void(const stuCefViewResponse &)>> m_resolvers;
    QMap<quint64, std::function<void(const stuCefViewResponse &)>> m_rejecters;
    VCefWidgetAbstract *m_widget;
    mutable QMutex m_mutex;
    QMap<int, BusinessEmitter> m_business;
};
