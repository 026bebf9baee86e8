#include "PageWindowFixture.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "MyMessageBox.h"
#include "VCefBroadcastManager.h"
#include "VToast.h"

namespace {

QStringList g_log;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_log.append(text);
}

QByteArray commandData(const QString &json)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << json;
    return data;
}

} // namespace

class VCefBroadcastManagerTest : public PageWindowFixture
{
protected:
    void SetUp() override
    {
        PageWindowFixture::SetUp();
        g_log.clear();
    }
    void TearDown() override
    {
        qInstallMessageHandler(nullptr);
        MyMessageBox::setTestSeam({});
        PageWindowFixture::TearDown();
    }
    void command(const QString &json, VCefWidgetAbstract *from)
    {
        VCefBroadcastManager::getInstance()->onBroadcast(commandData(json), from);
    }
    VCefBroadcastManager *manager() { return VCefBroadcastManager::getInstance(); }
    // A sender at a known place and size.
    VCefWidgetOSR *senderAt(const QRect &rect)
    {
        VCefWidgetOSR *w = makeWindow();
        w->setGeometry(rect);
        w->show();
        return w;
    }
    VCefWidgetOSR *openPopup(const QString &param, VCefWidgetAbstract *from)
    {
        command(QStringLiteral(R"({"funcName":"openCefWidgetInPc","param":%1})").arg(param), from);
        VCefWidgetOSR *popup = VCefBroadcastManager::popupWidget(QStringLiteral("giftPage"));
        if (popup && !windows.contains(popup))
            windows.append(popup);
        return popup;
    }
};

// --- the table -------------------------------------------------------------------------------

TEST_F(VCefBroadcastManagerTest, TheSendingWindowsHandlerComesFirstAndReRegistrationReplaces)
{
    VCefWidgetOSR *a = makeWindow();
    VCefWidgetOSR *b = makeWindow();
    QStringList calls;
    manager()->registerHandler("cPrecedence", nullptr, [&](const Json::Value &root, VCefWidgetAbstract *w) {
        calls.append(QString::fromStdString(root["param"]["n"].asString()) + (w == b ? ":any" : ":?"));
    });
    manager()->registerHandler("cPrecedence", a, [&](const Json::Value &, VCefWidgetAbstract *) { calls.append("old"); });
    manager()->registerHandler("cPrecedence", a, [&](const Json::Value &, VCefWidgetAbstract *) { calls.append("a"); });
    command(R"({"funcName":"cPrecedence","param":{"n":"1"}})", a);
    command(R"({"funcName":"cPrecedence","param":{"n":"2"}})", b);
    EXPECT_EQ(calls, (QStringList{"a", "2:any"}));
}

TEST_F(VCefBroadcastManagerTest, AWindowOnlyEntryDoesNothingForOtherWindows)
{
    VCefWidgetOSR *a = makeWindow();
    VCefWidgetOSR *b = makeWindow();
    int calls = 0;
    manager()->registerHandler("cOnlyA", a, [&](const Json::Value &, VCefWidgetAbstract *) { ++calls; });
    command(R"({"funcName":"cOnlyA"})", b);
    command(R"({"funcName":"cUnknown"})", b);
    EXPECT_EQ(calls, 0);
}

// --- log commands and parsing ----------------------------------------------------------------

TEST_F(VCefBroadcastManagerTest, LogCommandsAreLoggedAndNeverDispatched)
{
    int calls = 0;
    manager()->registerHandler("saveGamelog", nullptr, [&](const Json::Value &, VCefWidgetAbstract *) { ++calls; });
    qInstallMessageHandler(captureLog);
    command(R"({"funcName":"saveGamelog","param":{"message":"say \"hi\" {broken)", nullptr);
    command(R"({"funcName":"saveGiftPanelLog","param":{"message":"p"}})", nullptr);
    // a blank after a colon: not a log command, so parsed and dispatched
    command(R"({"funcName": "saveGamelog","param":{"message":"x"}})", nullptr);
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(calls, 1);
    ASSERT_GE(g_log.size(), 2);
    EXPECT_EQ(g_log[0], QStringLiteral("[CefBroadcast] say \"hi\" {broken"));
    EXPECT_EQ(g_log[1], QStringLiteral("[CefBroadcast] p\"}}"));
}

TEST_F(VCefBroadcastManagerTest, RejectedCommandsAreLoggedUnderCeflog)
{
    qInstallMessageHandler(captureLog);
    command(R"({"funcName":"closeWidget")", nullptr);
    command(R"(["closeWidget"])", nullptr);
    command(R"({"param":{}})", nullptr);
    // wrongly typed members: jsoncpp throws, the guard logs
    command(R"({"funcName":["closeWidget"]})", nullptr);
    command(R"({"funcName":"showMsgDialog","param":{"type":{"x":1},"message":"m"}})", nullptr);
    command(R"({"funcName":"openCefWidgetInPc","param":[1,2]})", nullptr);
    qInstallMessageHandler(nullptr);
    ASSERT_EQ(g_log.size(), 6);
    for (const QString &line : g_log)
        EXPECT_TRUE(line.startsWith(QStringLiteral("[CEFLOG] CEF Broadcast 请求解析json失败"))) << line.toStdString();
}

TEST_F(VCefBroadcastManagerTest, CommandsTheReaderGivesUpOnAreRejectedLikeUnparsableOnes)
{
    int calls = 0;
    manager()->registerHandler("cDeep", nullptr, [&](const Json::Value &, VCefWidgetAbstract *) { ++calls; });
    const QString deep = QStringLiteral(R"({"funcName":"cDeep","param":)") + QString(1100, '[') + QString(1100, ']') + '}';
    const QString deepH5 = QStringLiteral(R"({"funcName":"__H5__","param":)") +
                           QStringLiteral(R"({"a":)").repeated(1100) + '1' + QString(1100, '}') + '}';
    qInstallMessageHandler(captureLog);
    command(deep, nullptr);
    command(deepH5, nullptr);
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(g_log.filter(QStringLiteral("[CEFLOG] CEF Broadcast 请求解析json失败")).size(), 2)
        << g_log.join('\n').toStdString();
}

TEST_F(VCefBroadcastManagerTest, H5CommandsAreLoggedThenDispatchedByTheirInnerName)
{
    VCefWidgetOSR *a = makeWindow();
    QStringList calls;
    manager()->registerH5Handler("h5Thing", nullptr, [&](const Json::Value &root, VCefWidgetAbstract *w) {
        calls.append(QString::fromStdString(root["funcName"].asString()) + (w == a ? ":a" : ":?"));
    });
    qInstallMessageHandler(captureLog);
    command(R"({"funcName":"__H5__","param":{"funcName":"h5Thing","v":"\"q\""}})", a);
    command(R"({"funcName":"__H5__","param":{"funcName":"h5Unknown","action":"x"}})", a);
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(calls, (QStringList{"__H5__:a"}));
    ASSERT_GE(g_log.size(), 1);
    EXPECT_EQ(g_log[0], QStringLiteral("[CefBroadcast] [__H5__] Web消息: {\"funcName\":\"h5Thing\",\"v\":\"\"q\"\"}}"));
}

// --- commands --------------------------------------------------------------------------------

TEST_F(VCefBroadcastManagerTest, ShowMsgDialogTypeOneIsAToastOthersAMessageBox)
{
    MyMessageBox::clearShownBoxes();
    MyMessageBox::setTestSeam([](MyMessageBox &) { return MyMessageBox::Answer::Close; });
    command(R"({"funcName":"showMsgDialog","param":{"type":1,"message":"已复制"}})", nullptr);
    EXPECT_TRUE(VToast::getInstance()->isVisible());
    EXPECT_EQ(VToast::getInstance()->label()->text(), QStringLiteral("已复制"));
    EXPECT_TRUE(MyMessageBox::shownBoxes().isEmpty());

    command(R"({"funcName":"showMsgDialog","param":{"type":0,"message":"余额不足"}})", nullptr);
    const auto shown = MyMessageBox::shownBoxes();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].title, QString());
    EXPECT_EQ(shown[0].text, QStringLiteral("余额不足"));
    EXPECT_FALSE(shown[0].wait);
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<MyMessageBox *>(w))
            w->deleteLater();
    VToast::getInstance()->hide();
}

TEST_F(VCefBroadcastManagerTest, CloseWidgetClosesTheSendingWindow)
{
    VCefWidgetOSR *a = makeWindow();
    VCefWidgetOSR *b = makeWindow();
    const QPointer<VCefWidgetOSR> gone(a);
    command(R"({"funcName":"closeWidget"})", a);
    EXPECT_TRUE(waitUntil([&] { return gone.isNull(); }));
    EXPECT_NE(windows.last().data(), nullptr);
    EXPECT_EQ(windows.last().data(), b);
}

// --- pop-up page windows ---------------------------------------------------------------------

TEST_F(VCefBroadcastManagerTest, OnePopupPerPageReloadedWithTheNewUrlAndGeometry)
{
    VCefWidgetOSR *first = openPopup(
        R"({"page":"giftPage","query":"a=1","posX":30," posY":40,"widgetWidth":200,"widgetHeight":100,"isCanMove":true})",
        nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->geometry(), QRect(30, 40, 200, 100));
    EXPECT_NE(first->mover(), nullptr);

    VCefWidgetOSR *second = openPopup(
        R"({"page":"giftPage","query":"b=2","posX":50," posY":60,"widgetWidth":300,"widgetHeight":150})", nullptr);
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->geometry(), QRect(50, 60, 300, 150));
    EXPECT_EQ(first->mover(), nullptr);
    // the queue keeps only the newest load
    const QStringList urls = loadedUrls(first);
    ASSERT_EQ(urls.size(), 1);
    EXPECT_TRUE(urls[0].startsWith(QStringLiteral("http://pages.test/gift.html?b=2&"))) << urls[0].toStdString();

    // a closed pop-up is replaced by a new one
    const QPointer<VCefWidgetOSR> gone(first);
    first->closeCefWidget();
    ASSERT_TRUE(waitUntil([&] { return gone.isNull(); }));
    VCefWidgetOSR *third = openPopup(R"({"page":"giftPage"})", nullptr);
    ASSERT_NE(third, nullptr);
    EXPECT_TRUE(third->isVisible());
}

// A window is kept per page key, so only a key with a URL gets one: a page sending names it
// makes up gets none, however many.
TEST_F(VCefBroadcastManagerTest, APageKeyWithoutAUrlOpensNoWindow)
{
    const int before = QApplication::topLevelWidgets().size();
    for (int i = 0; i < 40; ++i)
        command(QStringLiteral(R"({"funcName":"openCefWidgetInPc","param":{"page":"madeUp%1","widgetWidth":200,"widgetHeight":100}})")
                    .arg(i),
                nullptr);
    EXPECT_EQ(VCefBroadcastManager::popupWidget(QStringLiteral("madeUp0")), nullptr);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
}

TEST_F(VCefBroadcastManagerTest, PosXWithoutThePosYKeyGivesNoAbsoluteMove)
{
    VCefWidgetOSR *popup = openPopup(R"({"page":"giftPage","widgetWidth":200,"widgetHeight":100})", nullptr);
    ASSERT_NE(popup, nullptr);
    popup->move(5, 6);
    openPopup(R"({"page":"giftPage","posX":70,"posY":80})", nullptr);
    EXPECT_EQ(popup->pos(), QPoint(5, 6));
}

TEST_F(VCefBroadcastManagerTest, PlacementBySenderForEveryLocation)
{
    // sender: left 100, top 200, right 399, bottom 349; pop-up 50 x 20
    VCefWidgetOSR *sender = senderAt(QRect(100, 200, 300, 150));
    struct Case
    {
        int location;
        int dx, dy;
        QPoint topLeft;
    };
    const Case cases[] = {
        {1, 0, 0, QPoint(100, 200)},
        {2, 0, 0, QPoint(100, 181)},   // bottom 200
        {3, 0, 10, QPoint(100, 359)},  // 10 below the bottom-left corner (349)
        {4, 0, 0, QPoint(51, 200)},    // right 100
        {5, -3, 0, QPoint(396, 200)},  // left 399, offsets applied whatever their sign
    };
    for (const Case &c : cases) {
        VCefWidgetOSR *popup = openPopup(
            QStringLiteral(R"({"page":"giftPage","location":%1,"posX":%2," posY":%3,"widgetWidth":50,"widgetHeight":20})")
                .arg(c.location)
                .arg(c.dx)
                .arg(c.dy),
            sender);
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(popup->pos(), c.topLeft) << "location " << c.location;
        EXPECT_EQ(popup->size(), QSize(50, 20));
    }
    // an unknown location keeps the pop-up where it is, then adds the offsets
    VCefWidgetOSR *popup = VCefBroadcastManager::popupWidget(QStringLiteral("giftPage"));
    popup->move(10, 10);
    openPopup(R"({"page":"giftPage","location":9,"posX":-5," posY":7})", sender);
    EXPECT_EQ(popup->pos(), QPoint(5, 17));
}

TEST_F(VCefBroadcastManagerTest, APopupIsNoLargerThanTheScreen)
{
    const QSize screen = QGuiApplication::primaryScreen()->availableSize();
    VCefWidgetOSR *popup = openPopup(
        R"({"page":"giftPage","posX":10," posY":20,"widgetWidth":2147483647,"widgetHeight":2147483647})", nullptr);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->size(), screen);
    // a side that fits is kept
    openPopup(R"({"page":"giftPage","widgetWidth":120,"widgetHeight":99999})", nullptr);
    EXPECT_EQ(popup->size(), QSize(120, screen.height()));
}

TEST_F(VCefBroadcastManagerTest, ExtremeOffsetsKeepTheirDirectionWithoutOverflow)
{
    // sender: left 100, top 200, right 399, bottom 349; pop-up 50 x 20
    VCefWidgetOSR *sender = senderAt(QRect(100, 200, 300, 150));
    VCefWidgetOSR *popup = openPopup(
        R"({"page":"giftPage","location":5,"posX":2147483647," posY":2147483647,"widgetWidth":50,"widgetHeight":20})",
        sender);
    ASSERT_NE(popup, nullptr);
    EXPECT_GT(popup->x(), 399);
    EXPECT_GT(popup->y(), 349);
    EXPECT_GT(popup->geometry().right(), popup->x());
    EXPECT_GT(popup->geometry().bottom(), popup->y());

    VCefWidgetOSR *above = senderAt(QRect(-300, -200, 100, 100));
    openPopup(R"({"page":"giftPage","location":1,"posX":-2147483648," posY":-2147483648})", above);
    EXPECT_LT(popup->x(), -300);
    EXPECT_LT(popup->y(), -200);
    EXPECT_GT(popup->geometry().right(), popup->x());

    // the absolute move alone
    openPopup(R"({"page":"giftPage","posX":2147483647," posY":2147483647})", nullptr);
    EXPECT_GT(popup->x(), 0);
    EXPECT_GT(popup->geometry().right(), popup->x());
    EXPECT_GT(popup->geometry().bottom(), popup->y());
}
