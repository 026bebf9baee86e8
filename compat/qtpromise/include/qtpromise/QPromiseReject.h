#pragma once

#include "PromiseState.h"

namespace QtPromise {

template<typename T>
class QPromise;

// The rejecting half handed to a promise's resolver: reject(anything), as if it were thrown;
// reject() carries a QPromiseUndefinedException. Copyable and callable from any thread.
template<typename T>
class QPromiseReject
{
public:
    // Settles nothing; lets rejecters sit in containers.
    QPromiseReject() = default;

    template<typename E>
    void operator()(E &&error) const
    {
        if (!m_d)
            return;
        if constexpr (std::is_same_v<std::decay_t<E>, std::exception_ptr>)
            m_d->reject(error);
        else
            m_d->reject(std::make_exception_ptr(std::forward<E>(error)));
    }

    void operator()() const { (*this)(QPromiseUndefinedException()); }

private:
    friend class QPromise<T>;
    explicit QPromiseReject(std::shared_ptr<detail::PromiseState<T>> d) : m_d(std::move(d)) {}

    std::shared_ptr<detail::PromiseState<T>> m_d;
};

} // namespace QtPromise
