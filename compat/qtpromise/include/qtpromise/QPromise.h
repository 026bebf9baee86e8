#pragma once

#include "PromiseHandlers.h"
#include "PromiseState.h"
#include "QPromiseReject.h"
#include "QPromiseResolve.h"

#include <QEventLoop>

namespace QtPromise {

// A value of T (or just completion for void) that arrives later or fails with a thrown value.
// Copies share one outcome. Handlers must be copyable; each runs at most once, from the event
// loop of the thread that attached it, never on the stack of whoever settles the promise.
template<typename T>
class QPromise
{
public:
    using Type = T;

    // Runs resolver(resolve, reject), or resolver(resolve), at once; a throw from it rejects.
    template<typename F,
             typename = std::enable_if_t<std::is_invocable_v<F &, QPromiseResolve<T>, QPromiseReject<T>> ||
                                         std::is_invocable_v<F &, QPromiseResolve<T>>>>
    QPromise(F &&resolver) : m_d(std::make_shared<detail::PromiseState<T>>())
    {
        const QPromiseResolve<T> resolve(m_d);
        const QPromiseReject<T> reject(m_d);
        try {
            if constexpr (std::is_invocable_v<F &, QPromiseResolve<T>, QPromiseReject<T>>)
                resolver(resolve, reject);
            else
                resolver(resolve);
        } catch (...) {
            reject(std::current_exception());
        }
    }

    // onFulfilled gets the value (or nothing) and returns a value, nothing, or a promise to wait
    // for. Without onRejected a rejection passes on unchanged; with it, see fail().
    template<typename F, typename R = std::nullptr_t>
    auto then(F onFulfilled, R onRejected = nullptr) const
    {
        using Next = typename detail::PromiseOf<detail::FulfilledResult<T, F>>::Type;
        using U = typename Next::Type;
        auto next = std::make_shared<detail::PromiseState<U>>();
        m_d->onSettled([next, onFulfilled = std::move(onFulfilled),
                        onRejected = std::move(onRejected)](const detail::PromiseState<T> &settled) mutable {
            if (settled.isFulfilled())
                detail::settleWith(next, [&]() { return detail::callFulfilled(onFulfilled, settled); });
            else if constexpr (std::is_null_pointer_v<R>)
                next->reject(settled.error());
            else
                detail::rejectWith(next, settled.error(), onRejected);
        });
        return detail::PromiseAccess::wrap(next);
    }

    // Like a catch clause: handler(const E &) catches a thrown E (or anything derived from it),
    // handler() catches everything. It returns a T (or a promise of one) to recover, or throws;
    // other rejections and every fulfilment pass on unchanged.
    template<typename H>
    QPromise<T> fail(H handler) const
    {
        if constexpr (std::is_void_v<T>)
            return then([] {}, std::move(handler));
        else
            return then([](const T &value) { return value; }, std::move(handler));
    }

    // handler() runs on both outcomes; the outcome passes on unless the handler throws.
    template<typename H>
    QPromise<T> finally(H handler) const
    {
        auto next = std::make_shared<detail::PromiseState<T>>();
        m_d->onSettled([next, handler = std::move(handler)](const detail::PromiseState<T> &settled) mutable {
            try {
                handler();
            } catch (...) {
                next->reject(std::current_exception());
                return;
            }
            detail::copyOutcome(*next, settled);
        });
        return detail::PromiseAccess::wrap(next);
    }

    // Runs the current thread's event loop until settled. Like any nested loop it leaves
    // deferred deletes of outer levels alone.
    const QPromise<T> &wait() const
    {
        QEventLoop loop;
        m_d->onSettled([](const detail::PromiseState<T> &) {}); // wakes the loop when settled elsewhere
        while (isPending())
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        return *this;
    }

    bool isPending() const { return m_d->isPending(); }
    bool isFulfilled() const { return m_d->isFulfilled(); }
    bool isRejected() const { return m_d->isRejected(); }

    // An already fulfilled promise: resolve(value), or resolve() for QPromise<void>.
    template<typename... V>
    static QPromise<T> resolve(V &&...value)
    {
        auto d = std::make_shared<detail::PromiseState<T>>();
        const QPromiseResolve<T> settle(d);
        settle(std::forward<V>(value)...);
        return QPromise<T>(std::move(d));
    }

    // An already rejected promise, as if `error` had been thrown.
    template<typename E>
    static QPromise<T> reject(E &&error)
    {
        auto d = std::make_shared<detail::PromiseState<T>>();
        const QPromiseReject<T> settle(d);
        settle(std::forward<E>(error));
        return QPromise<T>(std::move(d));
    }

private:
    friend struct detail::PromiseAccess;
    explicit QPromise(std::shared_ptr<detail::PromiseState<T>> d) : m_d(std::move(d)) {}

    std::shared_ptr<detail::PromiseState<T>> m_d;
};

} // namespace QtPromise
