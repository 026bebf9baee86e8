#pragma once

#include "PromiseState.h"

#include <stdexcept>

namespace QtPromise {

template<typename T>
class QPromise;

namespace detail {

// The library's own way into a promise's state.
struct PromiseAccess
{
    template<typename T>
    static const std::shared_ptr<PromiseState<T>> &state(const QPromise<T> &promise)
    {
        return promise.m_d;
    }
    template<typename T>
    static QPromise<T> wrap(std::shared_ptr<PromiseState<T>> d)
    {
        return QPromise<T>(std::move(d));
    }
};

template<typename R>
struct IsPromise : std::false_type
{
};
template<typename U>
struct IsPromise<QPromise<U>> : std::true_type
{
};

// The promise a handler result R continues with: a returned promise is adopted, not nested.
template<typename R>
struct PromiseOf
{
    using Type = QPromise<R>;
};
template<typename U>
struct PromiseOf<QPromise<U>>
{
    using Type = QPromise<U>;
};

// The type a rejection handler catches, or void for a catch-all taking nothing.
template<typename F>
struct CaughtType : CaughtType<decltype(&F::operator())>
{
};
template<typename R>
struct CaughtType<R (*)()>
{
    using Type = void;
};
template<typename R, typename A>
struct CaughtType<R (*)(A)>
{
    using Type = A;
};
template<typename C, typename R>
struct CaughtType<R (C::*)()> : CaughtType<R (*)()>
{
};
template<typename C, typename R>
struct CaughtType<R (C::*)() const> : CaughtType<R (*)()>
{
};
template<typename C, typename R, typename A>
struct CaughtType<R (C::*)(A)> : CaughtType<R (*)(A)>
{
};
template<typename C, typename R, typename A>
struct CaughtType<R (C::*)(A) const> : CaughtType<R (*)(A)>
{
};

// Calls a fulfilment handler with the value, or without it when the handler takes none.
template<typename T, typename F>
decltype(auto) callFulfilled(F &handler, const PromiseState<T> &src)
{
    if constexpr (std::is_invocable_v<F &, const Value<T> &> && !std::is_void_v<T>) {
        return handler(src.value());
    } else {
        static_assert(std::is_invocable_v<F &>,
                      "QtPromise: a then handler takes the promise's value, or nothing");
        return handler();
    }
}

template<typename T, typename F>
using FulfilledResult =
    std::decay_t<decltype(callFulfilled(std::declval<F &>(), std::declval<const PromiseState<T> &>()))>;

template<typename U>
void copyOutcome(PromiseState<U> &dst, const PromiseState<U> &src)
{
    if (src.isFulfilled())
        dst.fulfill(src.value());
    else
        dst.reject(src.error());
}

// dst settles as `promise` does.
template<typename U>
void adopt(const std::shared_ptr<PromiseState<U>> &dst, const QPromise<U> &promise)
{
    const auto &src = PromiseAccess::state(promise);
    if (src == dst) {
        // It would wait for itself forever.
        dst->reject(std::make_exception_ptr(std::logic_error("QtPromise: a promise cannot adopt itself")));
        return;
    }
    src->onSettled([dst](const PromiseState<U> &settled) { copyOutcome(*dst, settled); });
}

// Settles dst with what fn returns (a value, nothing, or a promise to adopt) or with what it throws.
template<typename U, typename Fn>
void settleWith(const std::shared_ptr<PromiseState<U>> &dst, Fn &&fn)
{
    using R = std::decay_t<std::invoke_result_t<Fn &>>;
    try {
        if constexpr (IsPromise<R>::value) {
            static_assert(std::is_same_v<R, QPromise<U>>,
                          "QtPromise: a handler's promise must have the chain's type");
            adopt(dst, fn());
        } else if constexpr (std::is_void_v<R>) {
            static_assert(std::is_void_v<U>,
                          "QtPromise: a handler on a promise with a value must return such a value");
            fn();
            dst->fulfill({});
        } else {
            static_assert(std::is_convertible_v<R, U>,
                          "QtPromise: a handler's result must convert to the chain's value");
            dst->fulfill(Value<U>(fn()));
        }
    } catch (...) {
        dst->reject(std::current_exception());
    }
}

// Lets `handler` recover dst from `error` when it catches that type; otherwise dst rejects too.
template<typename U, typename H>
void rejectWith(const std::shared_ptr<PromiseState<U>> &dst, const std::exception_ptr &error, H &handler)
{
    using Arg = typename CaughtType<std::decay_t<H>>::Type;
    // Handlers run inside the catch clause, so a bare `throw;` rethrows the rejection.
    if constexpr (std::is_void_v<Arg>) {
        try {
            std::rethrow_exception(error);
        } catch (...) {
            settleWith(dst, [&] { return handler(); });
        }
    } else {
        try {
            std::rethrow_exception(error);
        } catch (std::remove_reference_t<Arg> &caught) {
            settleWith(dst, [&] { return handler(caught); });
        } catch (...) {
            dst->reject(error);
        }
    }
}

} // namespace detail
} // namespace QtPromise
