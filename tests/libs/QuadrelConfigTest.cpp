#include <gtest/gtest.h>

#include <QFile>
#include <QThread>

#include <atomic>
#include <vector>

#include "QuadrelConfig.h"
#include "TestSupport.h"

class QuadrelConfigTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.write("config/ambrel.json", R"({
            "ServerType": "1002",
            "Port": 8080,
            "Nested": {"a": 1},
            "CefUrls": {"virtualpartyopenlive": "http://127.0.0.1:1/start.html",
                        "withQuery": "http://h/p?x=1"}
        })");
        config()->reload();
    }
    void TearDown() override { config()->reload(); }
    static QuadrelConfig *config() { return QuadrelConfig::getInstance(); }

    TempWorkDir dir;
};

TEST_F(QuadrelConfigTest, DefaultsLocalLayerAndKinds)
{
    EXPECT_EQ(config()->getConfig("ServerType"), "1002");
    EXPECT_EQ(config()->getConfig("Port"), "8080");
    EXPECT_EQ(config()->getConfig("Nested"), "");
    EXPECT_EQ(config()->getConfig("missing"), "");

    config()->setConfig("ServerType", "7");
    EXPECT_EQ(config()->getConfig("ServerType"), "7");
}

TEST_F(QuadrelConfigTest, PersistsAcrossReload)
{
    config()->setConfig("deviceId", "aa-bb");
    config()->setConfig("userId", "用户");
    config()->reload();
    EXPECT_EQ(config()->getConfig("deviceId"), "aa-bb");
    EXPECT_EQ(config()->getConfig("userId"), "用户");
    EXPECT_EQ(config()->getConfig("ServerType"), "1002");
}

TEST_F(QuadrelConfigTest, MalformedFilesGiveDefaults)
{
    dir.write("config/ambrel.json", "{ not json");
    dir.write("config/ambrel.local.json", "[1,2]");
    config()->reload();
    EXPECT_EQ(config()->getConfig("ServerType"), "");
    config()->setConfig("k", "v");
    config()->reload();
    EXPECT_EQ(config()->getConfig("k"), "v");
}

TEST_F(QuadrelConfigTest, PageUrls)
{
    EXPECT_EQ(config()->getCefUrl("virtualpartyopenlive", ""), "http://127.0.0.1:1/start.html");
    EXPECT_EQ(config()->getCefUrl("virtualpartyopenlive", "a=1&b=2"),
              "http://127.0.0.1:1/start.html?a=1&b=2");
    EXPECT_EQ(config()->getCefUrl("withQuery", "?y=2"), "http://h/p?x=1&y=2");
    EXPECT_EQ(config()->getCefUrl("unknown", "a=1"), "");
}

TEST_F(QuadrelConfigTest, HandshakeReply)
{
    config()->parseSDKInit(R"({"code":1,"msg":"ok","data":{"sessionId":"s-1","roomId":42}})");
    EXPECT_EQ(config()->getSDKInit().code, 1);
    EXPECT_EQ(config()->getConfig("sessionId"), "s-1");
    EXPECT_EQ(config()->getConfig("roomId"), "42");

    config()->parseSDKInit("garbage");
    EXPECT_EQ(config()->getSDKInit().code, 0);
    // Handshake values are not written to disk.
    config()->reload();
    EXPECT_EQ(config()->getConfig("sessionId"), "");
}

TEST_F(QuadrelConfigTest, ConcurrentReadersAndWriter)
{
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<QThread *> readers;
    for (int i = 0; i < 4; ++i) {
        readers.push_back(QThread::create([&] {
            while (!stop) {
                const QString v = config()->getConfig("counter");
                if (!v.isEmpty() && !v.startsWith("n"))
                    ++bad;
            }
        }));
        readers.back()->start();
    }
    for (int i = 0; i < 200; ++i)
        config()->setConfig("counter", QString("n%1").arg(i));
    stop = true;
    for (QThread *t : readers) {
        t->wait();
        delete t;
    }
    EXPECT_EQ(bad, 0);
    config()->reload();
    EXPECT_EQ(config()->getConfig("counter"), "n199");
}
