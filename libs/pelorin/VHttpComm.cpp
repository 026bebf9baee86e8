#include "VHttpComm.h"

#include "QuadrelConfig.h"
#include "VLogText.h"
#include "VHttpWorker.h"

#include <QAtomicPointer>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QtDebug>

static QAtomicPointer<VHttpComm> s_instance;

VHttpComm *VHttpComm::getInstance()
{
    VHttpComm *instance = s_instance.loadAcquire();
    if (!instance) {
        instance = new VHttpComm;
        s_instance.storeRelease(instance);
    }
    return instance;
}

bool VHttpComm::hasInit()
{
    return s_instance.loadAcquire() != nullptr;
}

VHttpComm::VHttpComm()
{
    m_thread.setObjectName(QStringLiteral("VHttpComm"));
    m_worker = new VHttpWorker;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

VHttpComm::~VHttpComm()
{
    s_instance.testAndSetOrdered(this, nullptr);
    m_thread.quit();
    m_thread.wait();
}

int VHttpComm::timeoutMs()
{
    bool ok = false;
    const int value = QuadrelConfig::getInstance()->getConfig(QStringLiteral("HttpTimeoutMs")).toInt(&ok);
    return ok && value > 0 ? value : 5000;
}

QByteArray VHttpComm::postAndGetSync(const QUrl &url, const QByteArray &body, bool &error)
{
    error = true;
    if (QThread::currentThread() == &m_thread) {
        qWarning() << "[HTTP] postAndGetSync called on its own worker thread";
        return {};
    }
    if (!url.isValid() || url.scheme().isEmpty()) {
        qWarning() << "[HTTP] invalid URL" << url.toString();
        return {};
    }

    auto call = QSharedPointer<VHttpCall>::create();
    call->url = url;
    call->payload = body;
    call->timeoutMs = timeoutMs();

    QPointer<VHttpWorker> worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker, call]() {
        if (worker)
            worker->start(call);
    }, Qt::QueuedConnection);

    QDeadlineTimer deadline(call->timeoutMs);
    QMutexLocker locker(&call->mutex);
    while (!call->done) {
        if (!call->settled.wait(&call->mutex, deadline))
            break;
    }
    if (!call->done) {
        call->abandoned = true;
        locker.unlock();
        QMetaObject::invokeMethod(m_worker, [worker, call]() {
            if (worker)
                worker->abandon(call);
        }, Qt::QueuedConnection);
        qWarning() << "[HTTP] no answer within" << call->timeoutMs << "ms from" << url.toString();
        return {};
    }
    error = call->error;
    if (call->error)
        qWarning() << "[HTTP]" << url.toString() << "failed:" << VLogText::cut(call->errorText);
    return call->body;
}
