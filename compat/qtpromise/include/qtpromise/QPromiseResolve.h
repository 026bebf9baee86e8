#pragma once

#include "PromiseState.h"

namespace QtPromise {

template<typename T>
class QPromise;

// The fulfilling half handed to a promise's resolver: resolve(value), or resolve() for void.
// Copyable and callable from any thread; only the first settling call counts.
template<typename T>
class QPromiseResolve
{
public:
    // Settles nothing; lets resolvers sit in containers.
    QPromiseResolve() = default;

    template<typename... V>
    void operator()(V &&...value) const
    {
        static_assert(sizeof...(V) == (std::is_void_v<T> ? 0 : 1),
                      "QtPromise: resolve takes the value, or nothing for QPromise<void>");
        if (m_d)
            m_d->fulfill(detail::Value<T>(std::forward<V>(value)...));
    }

private:
    friend class QPromise<T>;
    explicit QPromiseResolve(std::shared_ptr<detail::PromiseState<T>> d) : m_d(std::move(d)) {}

    std::shared_ptr<detail::PromiseState<T>> m_d;
};

} // namespace QtPromise
