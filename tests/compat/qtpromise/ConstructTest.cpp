#include "PromiseTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QTimer>

using namespace QtPromise;

// Resolver, settle-once, the ready-made statics and wait().

TEST(PromiseConstruct, ResolverRunsAtOnce)
{
    bool ran = false;
    QPromise<int> promise([&ran](const QPromiseResolve<int> &, const QPromiseReject<int> &) { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(promise.isPending());
}

TEST(PromiseConstruct, ResolveOnlyResolver)
{
    QPromise<QString> promise([](const QPromiseResolve<QString> &resolve) { resolve(QStringLiteral("ok")); });
    EXPECT_TRUE(promise.isFulfilled());
    EXPECT_EQ(valueOf(promise), QStringLiteral("ok"));
}

TEST(PromiseConstruct, ThrowingResolverRejectsWithTheThrownValue)
{
    QPromise<int> promise([](const QPromiseResolve<int> &) { throw TestError{QStringLiteral("boom"), 7}; });
    ASSERT_TRUE(promise.isRejected());
    auto error = rejectionOf<TestError>(promise);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 7);
    EXPECT_EQ(error->text, QStringLiteral("boom"));
}

TEST(PromiseConstruct, ThrowAfterResolveKeepsTheValue)
{
    QPromise<int> promise([](const QPromiseResolve<int> &resolve) {
        resolve(3);
        throw TestError{};
    });
    EXPECT_TRUE(promise.isFulfilled());
    EXPECT_EQ(valueOf(promise), 3);
}

TEST(PromiseSettleOnce, FirstResolveWins)
{
    Deferred<int> d;
    d.resolve(1);
    d.resolve(2);
    d.reject(TestError{});
    EXPECT_TRUE(d.promise.isFulfilled());
    EXPECT_EQ(valueOf(d.promise), 1);
}

TEST(PromiseSettleOnce, FirstRejectWins)
{
    Deferred<int> d;
    d.reject(TestError{QStringLiteral("first"), 1});
    d.reject(TestError{QStringLiteral("second"), 2});
    d.resolve(5);
    ASSERT_TRUE(d.promise.isRejected());
    EXPECT_EQ(rejectionOf<TestError>(d.promise)->code, 1);
}

TEST(PromiseSettleOnce, HandlerRunsOnceForRepeatedSettling)
{
    Deferred<void> d;
    int calls = 0;
    auto next = d.promise.then([&calls] { ++calls; });
    d.resolve();
    d.resolve();
    d.reject(TestError{});
    next.wait();
    drainEvents();
    EXPECT_EQ(calls, 1);
}

TEST(PromiseSettleOnce, RejectWithoutValueCarriesUndefined)
{
    Deferred<void> d;
    d.reject();
    EXPECT_TRUE(d.promise.isRejected());
    EXPECT_TRUE(rejectionOf<QPromiseUndefinedException>(d.promise));
}

TEST(PromiseStatics, ResolveIsFulfilled)
{
    auto promise = QPromise<int>::resolve(42);
    EXPECT_TRUE(promise.isFulfilled());
    EXPECT_EQ(valueOf(promise), 42);
    EXPECT_TRUE(QPromise<void>::resolve().isFulfilled());
}

TEST(PromiseStatics, RejectIsRejectedWithTheValue)
{
    auto promise = QPromise<int>::reject(TestError{QStringLiteral("no"), -1});
    EXPECT_TRUE(promise.isRejected());
    EXPECT_FALSE(promise.isPending());
    EXPECT_EQ(rejectionOf<TestError>(promise)->text, QStringLiteral("no"));
    EXPECT_TRUE(QPromise<void>::reject(5).isRejected());
}

TEST(PromiseWait, RunsTheEventLoopUntilSettled)
{
    QPromise<int> promise([](const QPromiseResolve<int> &resolve) {
        QTimer::singleShot(0, [resolve] { resolve(9); });
    });
    EXPECT_TRUE(promise.isPending());
    EXPECT_TRUE(promise.wait().isFulfilled());
}

TEST(PromiseWait, ReturnsAtOnceWhenSettled)
{
    auto promise = QPromise<int>::reject(1);
    EXPECT_TRUE(promise.wait().isRejected());
}
