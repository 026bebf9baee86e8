#pragma once

#include <QtPromise>

#include <QCoreApplication>
#include <QString>

#include <optional>

// A rejection type of the tests' own, standing in for the client's error record.
struct TestError
{
    QString text;
    int code = 0;
};

// Runs what is already queued on this thread's event loop, once.
inline void drainEvents()
{
    QCoreApplication::processEvents();
}

// A promise the test settles by hand.
template<typename T>
struct Deferred
{
    QtPromise::QPromiseResolve<T> resolve;
    QtPromise::QPromiseReject<T> reject;
    QtPromise::QPromise<T> promise{[this](const QtPromise::QPromiseResolve<T> &res,
                                          const QtPromise::QPromiseReject<T> &rej) {
        resolve = res;
        reject = rej;
    }};
};

// The value a promise fulfils with (waiting for it), or a default value when it rejects.
template<typename T>
T valueOf(const QtPromise::QPromise<T> &promise)
{
    T out{};
    promise.then([&out](const T &value) { out = value; }).wait();
    return out;
}

// The rejection a promise carries when it is of type E (waiting for it).
template<typename E, typename T>
std::optional<E> rejectionOf(const QtPromise::QPromise<T> &promise)
{
    std::optional<E> out;
    promise.then([] {}, [&out](const E &error) { out = error; }).fail([] {}).wait();
    return out;
}
