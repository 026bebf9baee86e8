#include "PromiseTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <stdexcept>

using namespace QtPromise;

// then(): deferral, ordering, chaining, adoption and rejection passing.

TEST(PromiseThenDeferral, NeverRunsInsideResolve)
{
    Deferred<int> d;
    bool ran = false;
    d.promise.then([&ran](int) { ran = true; });
    d.resolve(1);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(waitUntil([&ran] { return ran; }));
}

TEST(PromiseThenDeferral, AttachedToSettledPromiseStillRunsLater)
{
    auto promise = QPromise<int>::resolve(1);
    bool ran = false;
    promise.then([&ran](int) { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(waitUntil([&ran] { return ran; }));
}

TEST(PromiseThenDeferral, RejectionHandlerRunsLaterToo)
{
    Deferred<int> d;
    bool ran = false;
    d.promise.then([](int) {}, [&ran] { ran = true; });
    d.reject(TestError{});
    EXPECT_FALSE(ran);
    EXPECT_TRUE(waitUntil([&ran] { return ran; }));
}

TEST(PromiseThenOrder, HandlersRunInTheOrderAttached)
{
    Deferred<int> d;
    QVector<int> order;
    for (int i = 1; i <= 3; ++i)
        d.promise.then([&order, i](int) { order.append(i); });
    d.resolve(0);
    d.promise.then([&order](int) { order.append(4); });
    EXPECT_TRUE(waitUntil([&order] { return order.size() == 4; }));
    EXPECT_EQ(order, QVector<int>({1, 2, 3, 4}));
}

TEST(PromiseThenOrder, RejectionHandlersRunInTheOrderAttached)
{
    Deferred<void> d;
    QVector<int> order;
    for (int i = 1; i <= 3; ++i)
        d.promise.fail([&order, i] { order.append(i); });
    d.reject(TestError{});
    EXPECT_TRUE(waitUntil([&order] { return order.size() == 3; }));
    EXPECT_EQ(order, QVector<int>({1, 2, 3}));
}

TEST(PromiseThenChain, ValueFeedsTheNextHandler)
{
    auto next = QPromise<int>::resolve(20).then([](int v) { return v + 1; }).then([](int v) {
        return QString::number(v * 2);
    });
    EXPECT_EQ(valueOf(next), QStringLiteral("42"));
}

TEST(PromiseThenChain, VoidHandlerGivesVoidPromise)
{
    QPromise<void> next = QPromise<int>::resolve(1).then([](int) {});
    EXPECT_TRUE(next.wait().isFulfilled());
}

TEST(PromiseThenChain, HandlerMayIgnoreTheValue)
{
    bool ran = false;
    QPromise<int>::resolve(1).then([&ran] { ran = true; }).wait();
    EXPECT_TRUE(ran);
}

TEST(PromiseThenChain, VoidPromiseHandlerReturnsValue)
{
    EXPECT_EQ(valueOf(QPromise<void>::resolve().then([] { return 5; })), 5);
}

TEST(PromiseThenAdoption, ReturnedPromiseIsWaitedFor)
{
    Deferred<int> inner;
    bool ran = false;
    auto next = QPromise<void>::resolve().then([&inner, &ran] {
        ran = true;
        return inner.promise;
    });
    ASSERT_TRUE(waitUntil([&ran] { return ran; }));
    drainEvents();
    EXPECT_TRUE(next.isPending());
    inner.resolve(8);
    EXPECT_EQ(valueOf(next), 8);
}

TEST(PromiseThenAdoption, ReturnedRejectionRejects)
{
    auto next = QPromise<int>::resolve(1).then([](int) {
        return QPromise<QString>::reject(TestError{QStringLiteral("inner"), 3});
    });
    EXPECT_EQ(rejectionOf<TestError>(next)->code, 3);
}

TEST(PromiseThenAdoption, ReturnedVoidPromiseIsWaitedFor)
{
    QPromise<void> later([](const QPromiseResolve<void> &resolve) { QTimer::singleShot(0, [resolve] { resolve(); }); });
    bool ran = false;
    QPromise<void>::resolve().then([later] { return later; }).then([&ran, later] {
        ran = later.isFulfilled();
    }).wait();
    EXPECT_TRUE(ran);
}

TEST(PromiseThenAdoption, AdoptingItselfRejects)
{
    Deferred<void> d;
    QPromise<int> *self = nullptr;
    QPromise<int> next = d.promise.then([&self] { return *self; });
    self = &next;
    d.resolve();
    EXPECT_TRUE(rejectionOf<std::logic_error>(next));
}

TEST(PromiseThenRejection, PassesThroughHandlersWithoutRejectionHandler)
{
    int fulfilledCalls = 0;
    auto next = QPromise<int>::reject(TestError{QStringLiteral("down"), 4})
                    .then([&fulfilledCalls](int v) { ++fulfilledCalls; return v; })
                    .then([&fulfilledCalls](int) { ++fulfilledCalls; });
    EXPECT_EQ(rejectionOf<TestError>(next)->code, 4);
    EXPECT_EQ(fulfilledCalls, 0);
}

TEST(PromiseThenRejection, ThrowInHandlerRejectsTheNext)
{
    auto next = QPromise<int>::resolve(1).then([](int) -> int { throw TestError{QStringLiteral("thrown"), 11}; });
    EXPECT_EQ(rejectionOf<TestError>(next)->code, 11);
}

TEST(PromiseThenRejection, ThrownValueOfAnyType)
{
    auto next = QPromise<void>::resolve().then([] { throw std::string("text"); });
    EXPECT_EQ(rejectionOf<std::string>(next), std::string("text"));
}

TEST(PromiseThenRejection, RejectionHandlerRecovers)
{
    auto next = QPromise<int>::reject(TestError{QStringLiteral("x"), 2})
                    .then([](int v) { return v; }, [](const TestError &e) { return e.code * 10; });
    EXPECT_EQ(valueOf(next), 20);
}

TEST(PromiseThenRejection, RejectionHandlerSkippedOnFulfilment)
{
    bool rejectedRan = false;
    auto next = QPromise<int>::resolve(6).then([](int v) { return v; }, [&rejectedRan] {
        rejectedRan = true;
        return 0;
    });
    EXPECT_EQ(valueOf(next), 6);
    EXPECT_FALSE(rejectedRan);
}

TEST(PromiseThenRejection, SameThenDoesNotCatchItsOwnThrow)
{
    bool rejectedRan = false;
    auto next = QPromise<int>::resolve(1).then([](int) -> int { throw 5; }, [&rejectedRan] {
        rejectedRan = true;
        return 0;
    });
    EXPECT_EQ(rejectionOf<int>(next), 5);
    EXPECT_FALSE(rejectedRan);
}

TEST(PromiseThenRejection, TypedRejectionHandlerLetsOtherTypesPass)
{
    auto next = QPromise<int>::reject(std::string("other"))
                    .then([](int v) { return v; }, [](const TestError &) { return 1; });
    EXPECT_EQ(rejectionOf<std::string>(next), std::string("other"));
}
