#include "LogCapture.h"
#include "PageChannelClient.h"
#include "TestSupport.h"
#include "WebConnect.h"
#include "vWebLobby.h"

#include <gtest/gtest.h>

#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

class vWebLobbyTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { prepareWebEngineForTests(); }

    TempWorkDir dir;
    LogCapture log;
    vWebLobby lobby;
};

TEST_F(vWebLobbyTest, ViewIsSetUpForPagesWithoutMenuOrBackground)
{
    EXPECT_TRUE(lobby.settings()->testAttribute(QWebEngineSettings::PluginsEnabled));
    EXPECT_TRUE(lobby.settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_TRUE(lobby.settings()->testAttribute(QWebEngineSettings::ScrollAnimatorEnabled));
    EXPECT_EQ(lobby.contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_EQ(lobby.page()->backgroundColor(), QColor(Qt::transparent));
    EXPECT_EQ(lobby.page()->webChannel(), lobby.channel());
}

TEST_F(vWebLobbyTest, PageTextThroughTheChannelComesOutOfTheView)
{
    QStringList fromPage;
    QObject::connect(&lobby, &vWebLobby::sigReceiveFromWebPage, [&](const QString &t) { fromPage << t; });
    PageChannelClient page(lobby.channel());
    ASSERT_TRUE(page.init().contains(QStringLiteral("content")));
    page.invoke(QStringLiteral("content"), page.indexOf(QStringLiteral("content"), QStringLiteral("methods"), QStringLiteral("JsToCpp")),
                QJsonArray{QStringLiteral("{\"action\":10}")});
    ASSERT_TRUE(waitUntil([&] { return fromPage.size() == 1; }));
    EXPECT_EQ(fromPage.at(0), QStringLiteral("{\"action\":10}"));
}

TEST_F(vWebLobbyTest, SendToWebLogsAndReachesThePage)
{
    PageChannelClient page(lobby.channel());
    page.init();
    const int signal = page.indexOf(QStringLiteral("content"), QStringLiteral("signals"), QStringLiteral("CppToJs"));
    page.connectToSignal(QStringLiteral("content"), signal);
    lobby.sendToWeb(QStringLiteral("{\"code\":\"A\"}"));
    EXPECT_EQ(log.lines(QStringLiteral("send to web")), QStringList{QStringLiteral("send to web\n{\"code\":\"A\"}")});
    ASSERT_TRUE(waitUntil([&] { return !page.signalArgs(QStringLiteral("content"), signal).isEmpty(); }));
    EXPECT_EQ(page.signalArgs(QStringLiteral("content"), signal).at(0), QJsonArray{QStringLiteral("{\"code\":\"A\"}")});
}

TEST(vWebLobbyScriptTest, ScrollbarScriptAddsANamedStyleElement)
{
    EXPECT_EQ(vWebLobby::scrollbarScript(QStringLiteral("scrollbarStyle"), QStringLiteral("::-webkit-scrollbar{width:6px;}")),
              QStringLiteral("(function() {    css = document.createElement('style');    css.type = 'text/css';"
                             "    css.id = 'scrollbarStyle';    document.head.appendChild(css);"
                             "    css.innerText = '::-webkit-scrollbar{width:6px;}';})()\n"));
}

TEST(vWebLobbyScriptTest, ScrollbarScriptKeepsQuotesInsideTheString)
{
    const QString script = vWebLobby::scrollbarScript(QStringLiteral("scrollbarStyle"),
                                                      QStringLiteral("a{font-family:'Microsoft YaHei';content:\"\\2014\";}"));
    EXPECT_TRUE(script.contains(QStringLiteral("css.innerText = 'a{font-family:\\'Microsoft YaHei\\';content:\"\\\\2014\";}';")))
        << script.toStdString();
}

TEST_F(vWebLobbyTest, ScrollbarStyleFileIsInjectedSimplified)
{
    dir.write(QStringLiteral("ui/qss/webengineview_scrollbar.css"), "::-webkit-scrollbar {\n    width: 6px;\n}\n");
    lobby.loadScrollbarStyle();
    const QList<QWebEngineScript> scripts = lobby.page()->scripts().toList();
    ASSERT_EQ(scripts.size(), 1);
    EXPECT_EQ(scripts.at(0).worldId(), quint32(QWebEngineScript::MainWorld));
    EXPECT_EQ(scripts.at(0).sourceCode(),
              vWebLobby::scrollbarScript(QStringLiteral("scrollbarStyle"), QStringLiteral("::-webkit-scrollbar { width: 6px; }")));
}

TEST_F(vWebLobbyTest, MissingOrBlankStyleFileInjectsNothing)
{
    lobby.loadScrollbarStyle();
    dir.write(QStringLiteral("ui/qss/webengineview_scrollbar.css"), " \n\t\n");
    lobby.loadScrollbarStyle();
    EXPECT_TRUE(lobby.page()->scripts().isEmpty());
}
