#include "PromiseTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace QtPromise;

// fail(): typed handlers match like catch clauses, a handler without argument catches all.

TEST(PromiseFailTyped, CatchesItsTypeAndRecovers)
{
    auto next = QPromise<int>::reject(TestError{QStringLiteral("bad"), 3}).fail([](const TestError &e) {
        return e.code + 100;
    });
    EXPECT_EQ(valueOf(next), 103);
}

TEST(PromiseFailTyped, ByValueHandlerCatchesToo)
{
    auto next = QPromise<int>::reject(7).fail([](int code) { return code * 2; });
    EXPECT_EQ(valueOf(next), 14);
}

TEST(PromiseFailTyped, OtherTypesPassOnUnchanged)
{
    bool ran = false;
    auto next = QPromise<int>::reject(std::string("plain")).fail([&ran](const TestError &) {
        ran = true;
        return 0;
    });
    EXPECT_EQ(rejectionOf<std::string>(next), std::string("plain"));
    EXPECT_FALSE(ran);
}

TEST(PromiseFailTyped, BaseTypeCatchesDerived)
{
    auto next = QPromise<QString>::resolve(QStringLiteral("a"))
                    .then([](const QString &) -> QString { throw std::runtime_error("derived"); })
                    .fail([](const std::exception &e) { return QString::fromUtf8(e.what()); });
    EXPECT_EQ(valueOf(next), QStringLiteral("derived"));
}

TEST(PromiseFailCatchAll, CatchesAnyType)
{
    auto fromInt = QPromise<int>::reject(1).fail([] { return -1; });
    auto fromError = QPromise<int>::reject(TestError{}).fail([] { return -2; });
    auto fromUndefined = QPromise<int>([](const QPromiseResolve<int> &, const QPromiseReject<int> &reject) {
        reject();
    }).fail([] { return -3; });
    EXPECT_EQ(valueOf(fromInt), -1);
    EXPECT_EQ(valueOf(fromError), -2);
    EXPECT_EQ(valueOf(fromUndefined), -3);
}

TEST(PromiseFailChain, ExactlyOneOfTypedAndCatchAllRuns)
{
    // A value handler that turns a bad result into a rejection, then the two failure handlers.
    auto run = [](QPromise<int> source, QString &seen) {
        return source
            .then([](int code) {
                if (code != 1)
                    throw TestError{QStringLiteral("code %1").arg(code), code};
            })
            .fail([&seen](const TestError &e) { seen += QStringLiteral("typed:") + e.text + QLatin1Char(';'); })
            .fail([&seen] { seen += QStringLiteral("any;"); });
    };
    QString typed, other, none;
    run(QPromise<int>::resolve(5), typed).wait();
    run(QPromise<int>::reject(std::runtime_error("network")), other).wait();
    run(QPromise<int>::resolve(1), none).wait();
    EXPECT_EQ(typed, QStringLiteral("typed:code 5;"));
    EXPECT_EQ(other, QStringLiteral("any;"));
    EXPECT_EQ(none, QString());
}

TEST(PromiseFailChain, SkippedOnFulfilment)
{
    bool ran = false;
    auto next = QPromise<int>::resolve(4).fail([&ran] {
        ran = true;
        return 0;
    });
    EXPECT_EQ(valueOf(next), 4);
    EXPECT_FALSE(ran);
}

TEST(PromiseFailChain, ThrowInHandlerRejectsWithTheNewValue)
{
    auto next = QPromise<void>::reject(TestError{QStringLiteral("first"), 1}).fail([](const TestError &e) {
        throw TestError{e.text + QStringLiteral(" again"), 2};
    });
    auto error = rejectionOf<TestError>(next);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 2);
    EXPECT_EQ(error->text, QStringLiteral("first again"));
}

TEST(PromiseFailChain, RethrowKeepsTheRejection)
{
    auto next = QPromise<void>::reject(TestError{QStringLiteral("kept"), 9}).fail([] { throw; });
    EXPECT_EQ(rejectionOf<TestError>(next)->code, 9);
}

TEST(PromiseFailChain, HandlerPromiseIsAdopted)
{
    auto next = QPromise<int>::reject(TestError{}).fail([] { return QPromise<int>::resolve(12); });
    EXPECT_EQ(valueOf(next), 12);
}
