#pragma once

#include "QPromiseUndefinedException.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QMetaObject>
#include <QMutex>
#include <QPointer>
#include <QThread>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace QtPromise {
namespace detail {

// What a promise of T holds once fulfilled (nothing for void).
template<typename T>
using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

// Runs fn later from the event loop of `thread`, never on the caller's stack.
inline void postTo(const QPointer<QThread> &thread, std::function<void()> fn)
{
    QAbstractEventDispatcher *loop = thread ? QAbstractEventDispatcher::instance(thread) : nullptr;
    if (!loop) {
        qWarning("QtPromise: continuation dropped, its thread has no event loop");
        return;
    }
    QMetaObject::invokeMethod(loop, std::move(fn), Qt::QueuedConnection);
}

// The shared outcome of one promise. Settles once, from any thread; each waiter is called on
// the thread that registered it.
template<typename T>
class PromiseState : public std::enable_shared_from_this<PromiseState<T>>
{
public:
    using Waiter = std::function<void(const PromiseState &)>;

    bool isPending() const { return status() == Pending; }
    bool isFulfilled() const { return status() == Fulfilled; }
    bool isRejected() const { return status() == Rejected; }

    // The first of fulfill/reject wins; later calls are ignored.
    void fulfill(Value<T> value) { settle(Fulfilled, std::move(value), nullptr); }
    void reject(std::exception_ptr error)
    {
        if (!error)
            error = std::make_exception_ptr(QPromiseUndefinedException());
        settle(Rejected, std::nullopt, std::move(error));
    }

    // Calls `waiter` from the current thread's event loop once settled (later even if already).
    void onSettled(Waiter waiter)
    {
        if (!QAbstractEventDispatcher::instance()) {
            QEventLoop createsDispatcher; // a thread started outside Qt gets one to deliver to
        }
        QPointer<QThread> thread = QThread::currentThread();
        QMutexLocker lock(&m_mutex);
        if (m_status == Pending) {
            m_waiting.push_back({thread, std::move(waiter)});
            return;
        }
        lock.unlock();
        post(thread, std::move(waiter));
    }

    // Read only once settled; the outcome never changes after that.
    const Value<T> &value() const { return *m_value; }
    const std::exception_ptr &error() const { return m_error; }

private:
    enum Status { Pending, Fulfilled, Rejected };
    struct Waiting
    {
        QPointer<QThread> thread;
        Waiter waiter;
    };

    Status status() const
    {
        QMutexLocker lock(&m_mutex);
        return m_status;
    }

    void settle(Status status, std::optional<Value<T>> value, std::exception_ptr error)
    {
        std::vector<Waiting> waiting;
        {
            QMutexLocker lock(&m_mutex);
            if (m_status != Pending)
                return;
            m_status = status;
            m_value = std::move(value);
            m_error = std::move(error);
            waiting.swap(m_waiting);
        }
        for (Waiting &w : waiting)
            post(w.thread, std::move(w.waiter));
    }

    // The posted call owns the state, so a promise nobody holds still delivers its outcome.
    void post(const QPointer<QThread> &thread, Waiter waiter)
    {
        postTo(thread, [self = this->shared_from_this(), waiter = std::move(waiter)] { waiter(*self); });
    }

    mutable QMutex m_mutex;
    Status m_status = Pending;
    std::optional<Value<T>> m_value;
    std::exception_ptr m_error;
    std::vector<Waiting> m_waiting;
};

} // namespace detail
} // namespace QtPromise
