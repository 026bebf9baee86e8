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
    startWorker();
}

VHttpComm::~VHttpComm()
{
    s_instance.testAndSetOrdered(this, nullptr);
    m_retired.append(m_thread.release());
    for (QThread *thread : qAsConst(m_retired)) {
        thread->quit();
        thread->wait();
        delete thread;
    }
}

void VHttpComm::startWorker()
{
    m_thread = std::make_unique<QThread>();
    m_thread->setObjectName(QStringLiteral("VHttpComm"));
    m_worker = new VHttpWorker;
    m_worker->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

void VHttpComm::retireWorker()
{
    // A failed reply can leave the worker and its network manager's thread busy for seconds
    // after the call ended (Qt reads a header a byte at a time and merges repeated header lines
    // in quadratic time), and a request sent to them would wait behind it past its own time-out.
    // The worker is left to end on its own; the next call starts afresh.
    for (auto it = m_retired.begin(); it != m_retired.end();) {
        if ((*it)->isFinished()) {
            delete *it;
            it = m_retired.erase(it);
        } else {
            ++it;
        }
    }
    m_thread->quit();
    m_retired.append(m_thread.release());
    startWorker();
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
    QMutexLocker workerLocker(&m_lock);
    if (QThread::currentThread() == m_thread.get()) {
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
    workerLocker.unlock();
    QMetaObject::invokeMethod(worker, [worker, call]() {
        if (worker)
            worker->start(call);
    }, Qt::QueuedConnection);

    QDeadlineTimer deadline(call->timeoutMs);
    QMutexLocker locker(&call->mutex);
    while (!call->done) {
        if (!call->settled.wait(&call->mutex, deadline))
            break;
    }
    QByteArray reply;
    if (!call->done) {
        call->abandoned = true;
        locker.unlock();
        QMetaObject::invokeMethod(worker, [worker, call]() {
            if (worker)
                worker->abandon(call);
        }, Qt::QueuedConnection);
        qWarning() << "[HTTP] no answer within" << call->timeoutMs << "ms from" << url.toString();
    } else {
        error = call->error;
        reply = call->body;
        locker.unlock();
        if (error)
            qWarning() << "[HTTP]" << url.toString() << "failed:" << VLogText::cut(call->errorText);
    }
    if (error) {
        workerLocker.relock();
        if (m_worker == worker)
            retireWorker();
    }
    return reply;
}
