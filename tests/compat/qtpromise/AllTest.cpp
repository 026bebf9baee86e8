#include "PromiseTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace QtPromise;

// QtPromise::all: every value in order, or the first rejection.

TEST(PromiseAll, EmptyVectorFulfilsAtOnce)
{
    auto all = QtPromise::all(QVector<QPromise<int>>());
    EXPECT_TRUE(all.isFulfilled());
    EXPECT_EQ(valueOf(all), QVector<int>());
    EXPECT_TRUE(QtPromise::all(QVector<QPromise<void>>()).isFulfilled());
}

TEST(PromiseAll, ValuesKeepTheVectorOrderWhateverTheSettlingOrder)
{
    Deferred<int> a, b, c;
    auto all = QtPromise::all(QVector<QPromise<int>>{a.promise, b.promise, c.promise});
    c.resolve(3);
    b.resolve(2);
    drainEvents();
    EXPECT_TRUE(all.isPending());
    a.resolve(1);
    EXPECT_EQ(valueOf(all), QVector<int>({1, 2, 3}));
}

TEST(PromiseAll, AcceptsAlreadySettledPromises)
{
    auto all = QtPromise::all(QVector<QPromise<QString>>{QPromise<QString>::resolve(QStringLiteral("x")),
                                                         QPromise<QString>::resolve(QStringLiteral("y"))});
    EXPECT_EQ(valueOf(all), QVector<QString>({QStringLiteral("x"), QStringLiteral("y")}));
}

TEST(PromiseAll, FirstRejectionRejectsWithoutWaitingForTheRest)
{
    Deferred<int> a, b, c;
    auto all = QtPromise::all(QVector<QPromise<int>>{a.promise, b.promise, c.promise});
    b.reject(TestError{QStringLiteral("b"), 2});
    auto error = rejectionOf<TestError>(all);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 2);
    c.reject(TestError{QStringLiteral("c"), 3});
    a.resolve(1);
    drainEvents();
    EXPECT_EQ(rejectionOf<TestError>(all)->code, 2);
}

TEST(PromiseAll, VoidPromisesGiveVoid)
{
    Deferred<void> a, b;
    QPromise<void> all = QtPromise::all(QVector<QPromise<void>>{a.promise, b.promise});
    a.resolve();
    drainEvents();
    EXPECT_TRUE(all.isPending());
    b.resolve();
    EXPECT_TRUE(all.wait().isFulfilled());
}

TEST(PromiseAll, VoidRejectionRejects)
{
    auto all = QtPromise::all(QVector<QPromise<void>>{QPromise<void>::resolve(), QPromise<void>::reject(4)});
    EXPECT_EQ(rejectionOf<int>(all), 4);
}
