#include "LabelToast.h"
#include "PageChannelClient.h"
#include "TestSupport.h"
#include "vBrowser.h"
#include "vSignalsMgr.h"
#include "vWebLobby.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

class vBrowserTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { prepareWebEngineForTests(); }

    // Loads a page and waits for the view to finish it.
    bool load(const QString &url, bool hideTopBar = false, bool showMoveBar = false)
    {
        bool finished = false;
        const QMetaObject::Connection c =
            QObject::connect(browser.webView(), &QWebEngineView::loadFinished, [&finished] { finished = true; });
        browser.loadPage(url, hideTopBar, showMoveBar);
        const bool done = waitUntil([&] { return finished; }, 30000);
        QObject::disconnect(c);
        return done;
    }
    void mouse(QEvent::Type type, const QPoint &global, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, browser.mapFromGlobal(global), global,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&browser, &event);
    }
    template <typename T> T *child(const char *name) { return browser.findChild<T *>(QString::fromLatin1(name)); }

    TempWorkDir dir;
    vBrowser browser;
};

TEST_F(vBrowserTest, FormIsAHiddenFramelessTranslucentWindow)
{
    EXPECT_EQ(browser.objectName(), QStringLiteral("vBrowser"));
    EXPECT_EQ(browser.size(), QSize(388, 560));
    EXPECT_EQ(browser.windowTitle(), QStringLiteral("活动页面"));
    EXPECT_TRUE(browser.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(browser.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(browser.isVisible());
    ASSERT_NE(child<QFrame>("frame"), nullptr);
    EXPECT_EQ(child<vWebLobby>("webEngineView"), browser.webView());
    ASSERT_NE(child<QWidget>("widget"), nullptr);
    QPushButton *button = child<QPushButton>("pushButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), QRect(340, 16, 32, 32));
    EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    QLabel *moveBar = child<QLabel>("label_bottomMove");
    ASSERT_NE(moveBar, nullptr);
    EXPECT_EQ(moveBar->text(), QStringLiteral("长按可移动位置"));
    EXPECT_EQ(browser.toast()->size(), QSize(250, 50));
    EXPECT_FALSE(browser.toast()->isVisible());
}

TEST_F(vBrowserTest, PageAsksToCloseWithActionZeroOrTen)
{
    for (const char *message : {"{\"action\":10}", "{\"action\":0}"}) {
        browser.show();
        browser.onJsonMessage(QString::fromLatin1(message));
        EXPECT_FALSE(browser.isVisible()) << message;
    }
}

TEST_F(vBrowserTest, OtherPageMessagesLeaveTheWindowOpen)
{
    browser.show();
    for (const char *message : {"{\"action\":\"10\"}", "{\"action\":3}", "{}", "[10]", "not json", ""}) {
        browser.onJsonMessage(QString::fromLatin1(message));
        EXPECT_TRUE(browser.isVisible()) << message;
    }
}

TEST_F(vBrowserTest, CloseMessageThroughThePagesChannelClosesTheWindow)
{
    browser.show();
    PageChannelClient page(browser.webView()->channel());
    page.init();
    page.invoke(QStringLiteral("content"), page.indexOf(QStringLiteral("content"), QStringLiteral("methods"), QStringLiteral("JsToCpp")),
                QJsonArray{QStringLiteral("{\"action\":10}")});
    EXPECT_TRUE(waitUntil([&] { return !browser.isVisible(); }));
}

TEST_F(vBrowserTest, BlankPageDoesNotBringTheWindowUp)
{
    ASSERT_TRUE(load(QStringLiteral("about:blank")));
    EXPECT_FALSE(browser.isVisible());
}

TEST_F(vBrowserTest, LoadedPageBringsTheWindowUpAndCloseEmptiesTheView)
{
    ASSERT_TRUE(load(QStringLiteral("data:text/html,<p>page</p>")));
    EXPECT_TRUE(browser.isVisible());
    browser.close();
    EXPECT_FALSE(browser.isVisible());
    EXPECT_TRUE(waitUntil([&] { return !browser.webView()->url().toString().startsWith(QLatin1String("data:")); }, 3000))
        << browser.webView()->url().toString().toStdString();
}

TEST_F(vBrowserTest, TopBarLayoutKeepsThePageWholeWindow)
{
    browser.loadPage(QStringLiteral("about:blank"), false, true);
    EXPECT_FALSE(child<QWidget>("widget")->isHidden());
    EXPECT_FALSE(child<QPushButton>("pushButton")->isHidden());
    EXPECT_TRUE(child<QLabel>("label_bottomMove")->isHidden());
    browser.resize(400, 600);
    browser.show();
    EXPECT_EQ(browser.webView()->size(), QSize(400, 600));
    EXPECT_EQ(child<QWidget>("widget")->size(), QSize(400, 60));
    EXPECT_EQ(child<QPushButton>("pushButton")->pos(), QPoint(356, 16));
    EXPECT_EQ(browser.toast()->pos(), QPoint(75, 275));
}

TEST_F(vBrowserTest, MoveBarTakesTheBottomOfTheWindowWithoutTopBar)
{
    browser.loadPage(QStringLiteral("about:blank"), true, true);
    EXPECT_TRUE(child<QWidget>("widget")->isHidden());
    EXPECT_TRUE(child<QPushButton>("pushButton")->isHidden());
    QLabel *moveBar = child<QLabel>("label_bottomMove");
    EXPECT_FALSE(moveBar->isHidden());
    const int barHeight = moveBar->height();
    EXPECT_EQ(browser.webView()->size(), QSize(388, 560 - barHeight));
    EXPECT_EQ(moveBar->geometry(), QRect(0, 560 - barHeight, 388, barHeight));
    // The move bar needs the top bar hidden.
    browser.loadPage(QStringLiteral("about:blank"), false, true);
    EXPECT_TRUE(moveBar->isHidden());
    EXPECT_EQ(browser.webView()->size(), QSize(388, 560));
}

TEST_F(vBrowserTest, ToastTextFromTheEventHubShowsInTheWindow)
{
    browser.show();
    emit vSignalsMgr::getInstance()->sigSendToastToJs(QStringLiteral("领取成功"));
    EXPECT_TRUE(browser.toast()->isVisible());
    EXPECT_EQ(browser.toast()->text(), QStringLiteral("领取成功"));
}

TEST_F(vBrowserTest, LeftButtonDragsTheWindow)
{
    browser.show();
    browser.move(100, 100);
    const QPoint origin = browser.frameGeometry().topLeft();
    mouse(QEvent::MouseButtonPress, origin + QPoint(10, 10), Qt::LeftButton);
    mouse(QEvent::MouseMove, origin + QPoint(50, 70), Qt::LeftButton);
    EXPECT_EQ(browser.frameGeometry().topLeft(), origin + QPoint(40, 60));
    mouse(QEvent::MouseButtonRelease, origin + QPoint(50, 70), Qt::NoButton);
    mouse(QEvent::MouseMove, origin + QPoint(90, 90), Qt::LeftButton);
    EXPECT_EQ(browser.frameGeometry().topLeft(), origin + QPoint(40, 60));
}

TEST_F(vBrowserTest, CloseButtonClosesTheWindow)
{
    browser.show();
    child<QPushButton>("pushButton")->click();
    EXPECT_FALSE(browser.isVisible());
}
