#include "PageChannelClient.h"
#include "TestSupport.h"
#include "WebConnect.h"

#include <gtest/gtest.h>

#include <QWebChannel>

// The channel object on its own: what a page reaches through a web channel, no view needed.
class WebConnectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        channel.registerObject(QStringLiteral("content"), &connect);
        objects = page.init();
    }

    WebConnect connect;
    QWebChannel channel;
    PageChannelClient page{&channel};
    QJsonObject objects;
};

TEST_F(WebConnectTest, PageSeesTheTextMethodAndSignal)
{
    ASSERT_TRUE(objects.contains(QStringLiteral("content")));
    EXPECT_GE(page.indexOf(QStringLiteral("content"), QStringLiteral("methods"), QStringLiteral("JsToCpp")), 0);
    EXPECT_GE(page.indexOf(QStringLiteral("content"), QStringLiteral("signals"), QStringLiteral("CppToJs")), 0);
}

TEST_F(WebConnectTest, PageTextArrivesUnchanged)
{
    QStringList received;
    QObject::connect(&connect, &WebConnect::sigReceiveFromJs, [&](const QString &t) { received << t; });
    const QString text = QStringLiteral("{\"action\":10,\"msg\":\"引号\\\" 和 \\\\\"}");
    page.invoke(QStringLiteral("content"), page.indexOf(QStringLiteral("content"), QStringLiteral("methods"), QStringLiteral("JsToCpp")),
                QJsonArray{text});
    ASSERT_TRUE(waitUntil([&] { return received.size() == 1; }));
    EXPECT_EQ(received.at(0), text);
}

TEST_F(WebConnectTest, ClientTextReachesAConnectedPage)
{
    const int signal = page.indexOf(QStringLiteral("content"), QStringLiteral("signals"), QStringLiteral("CppToJs"));
    page.connectToSignal(QStringLiteral("content"), signal);
    emit connect.CppToJs(QStringLiteral("{\"type\":\"toast\"}"));
    ASSERT_TRUE(waitUntil([&] { return page.signalArgs(QStringLiteral("content"), signal).size() == 1; }));
    EXPECT_EQ(page.signalArgs(QStringLiteral("content"), signal).at(0), QJsonArray{QStringLiteral("{\"type\":\"toast\"}")});
}
