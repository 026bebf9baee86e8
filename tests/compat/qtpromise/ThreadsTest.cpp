#include "PromiseTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace QtPromise;

// Settling from other threads; continuations run on the thread that attached them.

namespace {

std::unique_ptr<QThread> startThread(std::function<void()> body)
{
    std::unique_ptr<QThread> thread(QThread::create(std::move(body)));
    thread->start();
    return thread;
}

} // namespace

TEST(PromiseThreads, ResolvedElsewhereContinuesOnTheAttachingThread)
{
    Deferred<int> d;
    QThread *ranOn = nullptr;
    int value = 0;
    auto next = d.promise.then([&](int v) {
        ranOn = QThread::currentThread();
        value = v;
    });
    auto worker = startThread([&d] { d.resolve(17); });
    worker->wait();
    EXPECT_EQ(ranOn, nullptr);
    next.wait();
    EXPECT_EQ(ranOn, QThread::currentThread());
    EXPECT_EQ(value, 17);
}

TEST(PromiseThreads, RejectedElsewhereFailsOnTheAttachingThread)
{
    Deferred<void> d;
    QThread *ranOn = nullptr;
    auto next = d.promise.fail([&ranOn](const TestError &) { ranOn = QThread::currentThread(); });
    auto worker = startThread([&d] { d.reject(TestError{QStringLiteral("far"), 1}); });
    next.wait();
    worker->wait();
    EXPECT_EQ(ranOn, QThread::currentThread());
}

TEST(PromiseThreads, WorkerAttachedHandlerRunsOnTheWorker)
{
    Deferred<int> d;
    std::atomic<bool> attached{false};
    std::atomic<QThread *> ranOn{nullptr};
    QThread *workerThread = nullptr;
    auto worker = startThread([&] {
        workerThread = QThread::currentThread();
        auto next = d.promise.then([&ranOn](int) { ranOn = QThread::currentThread(); });
        attached = true;
        waitUntil([&ranOn] { return ranOn.load() != nullptr; });
    });
    ASSERT_TRUE(waitUntil([&attached] { return attached.load(); }));
    d.resolve(1);
    ASSERT_TRUE(worker->wait(5000));
    EXPECT_EQ(ranOn.load(), workerThread);
    EXPECT_NE(ranOn.load(), QThread::currentThread());
}

TEST(PromiseThreads, ThreadStartedOutsideQtGetsItsContinuations)
{
    Deferred<int> d;
    std::atomic<int> result{0};
    std::atomic<bool> attached{false};
    std::thread plain([&] {
        d.promise.then([&result](int v) { result = v + 1; });
        attached = true;
        waitUntil([&result] { return result.load() != 0; });
    });
    ASSERT_TRUE(waitUntil([&attached] { return attached.load(); }));
    d.resolve(41);
    plain.join();
    EXPECT_EQ(result.load(), 42);
}

TEST(PromiseThreads, AdoptedPromiseSettledElsewhere)
{
    Deferred<QString> inner;
    QThread *ranOn = nullptr;
    auto next = QPromise<void>::resolve()
                    .then([&inner] { return inner.promise; })
                    .then([&ranOn](const QString &) { ranOn = QThread::currentThread(); });
    drainEvents();
    auto worker = startThread([&inner] { inner.resolve(QStringLiteral("late")); });
    next.wait();
    worker->wait();
    EXPECT_EQ(ranOn, QThread::currentThread());
}

TEST(PromiseThreads, RacingSettlersSettleOnce)
{
    for (int round = 0; round < 20; ++round) {
        Deferred<int> d;
        int calls = 0;
        int seen = -1;
        auto next = d.promise.then([&](int v) { ++calls; seen = v; }, [&](int v) { ++calls; seen = -v; });
        std::atomic<bool> go{false};
        std::vector<std::unique_ptr<QThread>> settlers;
        for (int i = 1; i <= 6; ++i) {
            settlers.push_back(startThread([&d, &go, i] {
                while (!go.load()) {
                }
                if (i % 2)
                    d.resolve(i);
                else
                    d.reject(i);
            }));
        }
        go = true;
        for (auto &settler : settlers)
            settler->wait();
        next.wait();
        drainEvents();
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(seen == 1 || seen == 3 || seen == 5 || seen == -2 || seen == -4 || seen == -6) << seen;
    }
}
