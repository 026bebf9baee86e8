#include "PromiseTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QtPromise;

// finally(): runs on both outcomes, keeps the outcome unless it throws.

TEST(PromiseFinally, RunsLaterOnFulfilmentAndKeepsTheValue)
{
    Deferred<int> d;
    bool ran = false;
    auto next = d.promise.finally([&ran] { ran = true; });
    d.resolve(5);
    EXPECT_FALSE(ran);
    EXPECT_EQ(valueOf(next), 5);
    EXPECT_TRUE(ran);
}

TEST(PromiseFinally, RunsOnRejectionAndKeepsTheRejection)
{
    bool ran = false;
    auto next = QPromise<int>::reject(TestError{QStringLiteral("kept"), 6}).finally([&ran] { ran = true; });
    auto error = rejectionOf<TestError>(next);
    EXPECT_TRUE(ran);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 6);
}

TEST(PromiseFinally, ThrowReplacesAFulfilment)
{
    auto next = QPromise<int>::resolve(1).finally([] { throw TestError{QStringLiteral("late"), 8}; });
    EXPECT_EQ(rejectionOf<TestError>(next)->code, 8);
}

TEST(PromiseFinally, ThrowReplacesARejection)
{
    auto next = QPromise<void>::reject(TestError{QStringLiteral("first"), 1}).finally([] { throw 2; });
    EXPECT_EQ(rejectionOf<int>(next), 2);
}

TEST(PromiseFinally, RunsAfterTheHandlersBeforeIt)
{
    QStringList order;
    QPromise<int>::resolve(1)
        .then([&order](int) {
            order << QStringLiteral("then");
            throw TestError{};
        })
        .fail([&order](const TestError &) { order << QStringLiteral("fail"); })
        .finally([&order] { order << QStringLiteral("finally"); })
        .wait();
    EXPECT_EQ(order, QStringList({QStringLiteral("then"), QStringLiteral("fail"), QStringLiteral("finally")}));
}
