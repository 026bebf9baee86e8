#pragma once

#include "QPromise.h"

#include <QVector>

namespace QtPromise {

// Fulfils with every value, in the order of `promises`, once all are fulfilled; rejects with
// the first rejection. An empty vector fulfils at once. QPromise<void>s give a QPromise<void>.
template<typename T>
auto all(const QVector<QPromise<T>> &promises)
{
    using Result = std::conditional_t<std::is_void_v<T>, void, QVector<T>>;
    if (promises.isEmpty()) {
        if constexpr (std::is_void_v<T>)
            return QPromise<void>::resolve();
        else
            return QPromise<Result>::resolve(Result());
    }
    return QPromise<Result>([&promises](const QPromiseResolve<Result> &resolve, const QPromiseReject<Result> &reject) {
        // Every callback below runs on this thread, so the shared tally needs no lock.
        auto values = std::make_shared<std::vector<std::optional<detail::Value<T>>>>(promises.size());
        auto remaining = std::make_shared<int>(promises.size());
        for (int i = 0; i < promises.size(); ++i) {
            detail::PromiseAccess::state(promises[i])->onSettled(
                [=](const detail::PromiseState<T> &settled) {
                    if (settled.isRejected()) {
                        reject(settled.error());
                        return;
                    }
                    (*values)[i] = settled.value();
                    if (--*remaining > 0)
                        return;
                    if constexpr (std::is_void_v<T>) {
                        resolve();
                    } else {
                        Result result;
                        result.reserve(int(values->size()));
                        for (const auto &value : *values)
                            result.append(*value);
                        resolve(result);
                    }
                });
        }
    });
}

} // namespace QtPromise
