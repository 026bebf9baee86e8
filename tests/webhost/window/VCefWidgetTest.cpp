#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRegularExpression>

#include <memory>
#include <vector>

#include "FakeCefHost.h"
#include "QuadrelConfig.h"
#include "TestSupport.h"
#include "VCefBroadcastManager.h"
#include "VCefProcessManager.h"
#include "VCefWidgetMover.h"
#include "VCefWidgetNCW.h"
#include "VCefWidgetOSR.h"
#include "VLogLimiter.h"

namespace {

QStringList g_log;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_log.append(text);
}

QByteArray commandData(const QByteArray &json)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << QString::fromUtf8(json);
    return data;
}

// Records what a window's two signals carried.
struct SignalLog
{
    explicit SignalLog(VCefWidgetAbstract *w)
    {
        QObject::connect(w, &VCefWidgetAbstract::sigBroadcast, [this](QByteArray msg, VCefWidgetAbstract *from) {
            commands.append(msg);
            senders.append(from);
        });
        QObject::connect(w, &VCefWidgetAbstract::sigWebQuertRequest,
                         [this](QByteArray msg, VCefWidgetAbstract *) { queries.append(msg); });
    }
    QList<QByteArray> commands;
    QList<QByteArray> queries;
    QList<VCefWidgetAbstract *> senders;
};

} // namespace

// Every page window of the off-screen kind connects to the in-process host under the server
// name of the kind's process item; the item "runs" a stand-in instead of pagewell: a cat that
// reads the item's input until the test process closes it or ends, and writes nowhere, so no
// stand-in outlives the test or holds the output of whoever runs it.
class VCefWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        work.write(QStringLiteral("config/ambrel.json"), config());
        QuadrelConfig::getInstance()->reload();
        for (int kind : {0, 1}) {
            auto item = VCefProcessManager::getInstance()->processItem(kind);
            item->setProgram(QStringLiteral("sh -c \"exec cat >/dev/null 2>&1\""));
        }
        ASSERT_TRUE(host.listen(VCefProcessManager::getInstance()->processItem(1)->serverName()));
        ASSERT_TRUE(nativeHost.listen(VCefProcessManager::getInstance()->processItem(0)->serverName()));
        g_log.clear();
    }
    void TearDown() override
    {
        qInstallMessageHandler(nullptr);
        delete window.data();
        VCefProcessManager::destroyInstance();
    }
    virtual QByteArray config() const { return R"({"CEF_ShowDevToos": "0", "sessionId": "S-1"})"; }

    VCefWidgetOSR *makeWindow(QWidget *parent = nullptr)
    {
        window = new VCefWidgetOSR(parent);
        return window;
    }
    bool waitConnected() { return waitUntil([&] { return host.connections() > 0; }); }
    bool waitViewCreated() { return waitUntil([&] { return window && window->isViewCreated(); }); }
    bool waitTypes(int count) { return waitUntil([&] { return host.received.size() >= count; }); }

    TempWorkDir work;
    FakeCefHost host;
    FakeCefHost nativeHost;
    QPointer<VCefWidgetOSR> window;
};

// --- connection and view ---------------------------------------------------------------------

TEST_F(VCefWidgetTest, ConnectsAndAsksForAViewFirst)
{
    makeWindow();
    ASSERT_TRUE(waitTypes(1));
    EXPECT_EQ(host.received[0].type, 1);
    EXPECT_EQ(host.received[0].int32(), 0);
    ASSERT_TRUE(waitViewCreated());
    EXPECT_EQ(window->viewId(), 77);
}

TEST_F(VCefWidgetTest, ViewOfAFreshWindowGetsMoveThenResizeAndNoVisibility)
{
    makeWindow();
    ASSERT_TRUE(waitViewCreated());
    ASSERT_TRUE(waitTypes(3));
    EXPECT_EQ(host.types(), (QList<qint32>{1, 10, 9}));
    EXPECT_EQ(host.received[1].point(), window->pos());
    EXPECT_EQ(host.received[2].size(), window->size());
}

// --- the queue before the view exists --------------------------------------------------------

TEST_F(VCefWidgetTest, QueueKeepsTheNewestOfAKindAndEveryWebMessage)
{
    host.autoCreateViewId = 0;
    makeWindow();
    window->loadUrl(QStringLiteral("http://pages.test/start.html"));
    window->resizeCefView(QSize(10, 10));
    window->sendToWeb(QStringLiteral("{\"n\":1}"));
    window->moveCefView(QPoint(3, 4));
    window->resizeCefView(QSize(20, 30));
    window->sendToWeb(QStringLiteral("{\"n\":2}"));
    window->sendQueryReply(5, QStringLiteral("r"), true);
    QList<qint32> queued;
    for (const auto &req : window->queuedRequests())
        queued.append(req.type);
    EXPECT_EQ(queued, (QList<qint32>{3, 4, 10, 9, 4, 7}));
    // 20 x 30, big-endian
    EXPECT_EQ(window->queuedRequests().at(3).payload.toHex(), QByteArray("000000140000001e"));
}

TEST_F(VCefWidgetTest, AfterTheCreateAnswerTheHostSeesGeometryThenTheQueueInOrder)
{
    host.autoCreateViewId = 0;
    makeWindow();
    window->loadUrl(QStringLiteral("http://pages.test/start.html"));
    window->resizeCefView(QSize(10, 10));
    window->resizeCefView(QSize(20, 30));
    window->sendToWeb(QStringLiteral("{\"n\":1}"));
    window->sendToWeb(QStringLiteral("{\"n\":2}"));
    ASSERT_TRUE(waitTypes(1));
    ASSERT_EQ(host.received[0].type, 1);
    EXPECT_TRUE(window->queuedRequests().size() == 4);
    host.answerCreate(host.received[0], 9);
    ASSERT_TRUE(waitTypes(7));
    EXPECT_EQ(host.types(), (QList<qint32>{1, 10, 9, 3, 9, 4, 4}));
    EXPECT_TRUE(host.received[3].string().startsWith(QStringLiteral("http://pages.test/start.html?userId=")))
        << host.received[3].string().toStdString();
    EXPECT_EQ(host.received[4].size(), QSize(20, 30));
    EXPECT_EQ(host.received[5].string(), QStringLiteral("{\"n\":1}"));
    EXPECT_EQ(host.received[6].string(), QStringLiteral("{\"n\":2}"));
    EXPECT_TRUE(window->queuedRequests().isEmpty());
    // Ids rise in the order the messages were made, not the order they were written.
    EXPECT_LT(host.received[3].id, host.received[4].id);
    EXPECT_LT(host.received[4].id, host.received[1].id);
    // Once the view exists, messages go straight out.
    window->sendToWeb(QStringLiteral("{}"));
    EXPECT_TRUE(window->queuedRequests().isEmpty());
    ASSERT_TRUE(waitTypes(8));
    EXPECT_EQ(host.received[7].type, 4);
}

TEST_F(VCefWidgetTest, ViewIdZeroLeavesTheViewUncreatedAndFlushesOnce)
{
    host.autoCreateViewId = 0;
    makeWindow();
    window->sendToWeb(QStringLiteral("{\"a\":1}"));
    ASSERT_TRUE(waitTypes(1));
    host.answerCreate(host.received[0], 0);
    // With view id 0 the geometry of initCefView is queued too, behind the message already there.
    ASSERT_TRUE(waitTypes(4));
    EXPECT_EQ(host.types(), (QList<qint32>{1, 4, 10, 9}));
    EXPECT_FALSE(window->isViewCreated());
    window->sendToWeb(QStringLiteral("{\"a\":2}"));
    EXPECT_EQ(window->queuedRequests().size(), 1);
}

TEST_F(VCefWidgetTest, FailedCreateAnswerLeavesTheWindowWithoutAView)
{
    host.autoCreateViewId = 0;
    makeWindow();
    ASSERT_TRUE(waitTypes(1));
    host.answerCreate(host.received[0], 5, -1);
    ASSERT_TRUE(waitUntil([&] { return window->pendingRequestCount() == 0; }));
    EXPECT_FALSE(window->isViewCreated());
}

// --- answers ---------------------------------------------------------------------------------

TEST_F(VCefWidgetTest, AnswersSettleTheirRequestOnceAndStrayIdsAreIgnored)
{
    host.autoCreateViewId = 0;
    makeWindow();
    ASSERT_TRUE(waitTypes(1));
    const FakeCefHost::Msg create = host.received[0];
    ASSERT_TRUE(waitUntil([&] { return window->pendingRequestCount() == 1; }));
    // An id nobody waits for, then the real answer, then the same answer again.
    host.send(host.last(), FakeCefHost::response(create.id + 1000, 1, 0, {}, FakeCefHost::viewId(1)));
    host.answerCreate(create, 12);
    ASSERT_TRUE(waitViewCreated());
    EXPECT_EQ(window->viewId(), 12);
    host.answerCreate(create, 13);
    window->sendToWeb(QStringLiteral("{}"));
    ASSERT_TRUE(waitUntil([&] { return host.ofType(4).size() == 1; }));
    EXPECT_EQ(window->viewId(), 12);
    // Every sent message waits for an answer, even one nobody uses.
    EXPECT_EQ(window->pendingRequestCount(), 3);
    const FakeCefHost::Msg web = host.ofType(4).value(0);
    host.send(host.last(), FakeCefHost::response(web.id, 4, 0, QStringLiteral("ok"), {}));
    EXPECT_TRUE(waitUntil([&] { return window->pendingRequestCount() == 2; }));
}

// --- business messages -----------------------------------------------------------------------

TEST_F(VCefWidgetTest, CommandAndQueryBecomeTheirSignalsWithTheRawData)
{
    makeWindow();
    ASSERT_TRUE(waitViewCreated());
    SignalLog spy(window.data());
    const auto &commands = spy.commands;
    const auto &queries = spy.queries;
    const QByteArray command = commandData("{\"funcName\":\"nothingRegistered\"}");
    host.send(host.last(), FakeCefHost::response(0, 5, 0, {}, command)
                               + FakeCefHost::response(0, 6, 0, {}, "{\"funcName\":\"q\",\"queryId\":3}"));
    ASSERT_TRUE(waitUntil([&] { return queries.size() == 1; }));
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0], command);
    EXPECT_EQ(spy.senders[0], window.data());
    EXPECT_EQ(queries[0], QByteArray("{\"funcName\":\"q\",\"queryId\":3}"));
}

TEST_F(VCefWidgetTest, OtherBusinessTypesAreLoggedAndTypeZeroIsSilent)
{
    makeWindow();
    ASSERT_TRUE(waitViewCreated());
    SignalLog spy(window.data());
    const auto &commands = spy.commands;
    const auto &queries = spy.queries;
    qInstallMessageHandler(captureLog);
    host.send(host.last(), FakeCefHost::response(0, 0, 0, {}, "x") + FakeCefHost::response(0, -3, 0, {}, "x")
                               + FakeCefHost::response(0, 7, 0, {}, "x"));
    ASSERT_TRUE(waitUntil([&] { return g_log.contains(QString::fromUtf8("cef req business 7 不存在")); }));
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(g_log.filter(QStringLiteral("business")).size(), 1);
    EXPECT_EQ(commands.size(), 0);
    EXPECT_EQ(queries.size(), 0);
}

TEST_F(VCefWidgetTest, ShortBodyIsDroppedAndTheNextFrameStillArrives)
{
    makeWindow();
    ASSERT_TRUE(waitViewCreated());
    SignalLog spy(window.data());
    const auto &commands = spy.commands;
    // 12 body bytes: id 0 and type 5, nothing else. Read as zeros it would emit an empty command.
    host.send(host.last(), QByteArray::fromHex("0c000000000000000000000000000005")
                               + FakeCefHost::response(0, 5, 0, {}, commandData("{}")));
    ASSERT_TRUE(waitUntil([&] { return commands.size() == 1; }));
    EXPECT_EQ(commands[0], commandData("{}"));
}

TEST_F(VCefWidgetTest, MoveCommandsDriveTheWindowsMover)
{
    makeWindow();
    window->setMovable(true);
    ASSERT_TRUE(waitViewCreated());
    host.send(host.last(), FakeCefHost::response(0, 5, 0, {}, commandData("{\"funcName\":\"beginMoveWidget\"}")));
    ASSERT_TRUE(waitUntil([&] { return window->mover()->isRunning(); }));
    host.send(host.last(), FakeCefHost::response(0, 5, 0, {}, commandData("{\"funcName\":\"endMoveWidget\"}")));
    EXPECT_TRUE(waitUntil([&] { return !window->mover()->isRunning(); }));
}

TEST_F(VCefWidgetTest, SetMovableMakesOneMoverAndFalseRemovesIt)
{
    makeWindow();
    window->setMovable(true);
    VCefWidgetMover *first = window->mover();
    ASSERT_NE(first, nullptr);
    window->setMovable(true);
    EXPECT_EQ(window->mover(), first);
    window->setMovable(false);
    EXPECT_EQ(window->mover(), nullptr);
}

// --- closing ---------------------------------------------------------------------------------

TEST_F(VCefWidgetTest, DestroyingAConnectedWindowRunsNoSlotOfIt)
{
    makeWindow();
    ASSERT_TRUE(waitViewCreated());
    qInstallMessageHandler(captureLog);
    delete window.data();
    qInstallMessageHandler(nullptr);
    EXPECT_TRUE(g_log.filter(QStringLiteral("sltSocketDisconnected")).isEmpty());
    EXPECT_TRUE(g_log.filter(QStringLiteral("sltSocketStateChanged")).isEmpty());
}

// A page may open pop-ups that close themselves as they load, a new window each time: the lines
// of their connection and view are written a few a second, with a count of the rest.
TEST_F(VCefWidgetTest, ManyNewWindowsLogTheirViewLinesAFewASecondWithACount)
{
    VLogLimiter::getInstance()->reset();
    // As many as the host's listening socket holds before it accepts (it runs on this thread).
    const int flood = 40;
    std::vector<std::unique_ptr<VCefWidgetOSR>> windows;
    qInstallMessageHandler(captureLog);
    for (int i = 0; i < flood; ++i)
        windows.emplace_back(new VCefWidgetOSR);
    const QStringList kinds = {"[CEFLOG] connectRemoteView", "[CEFLOG] createCefView", "[CEFLOG] initFinished"};
    QList<QPair<int, int>> logged; // written, left out
    const bool done = waitUntil([&] {
        logged.clear();
        for (const QString &kind : kinds) {
            const QRegularExpression count("^" + QRegularExpression::escape(kind) + R"( \.\.\. \((\d+) similar)");
            logged.append({g_log.filter(QRegularExpression("^" + QRegularExpression::escape(kind) + "( \\d+)?$")).size(), 0});
            for (const QString &line : qAsConst(g_log))
                logged.last().second += count.match(line).captured(1).toInt();
            if (logged.last().first + logged.last().second != flood)
                return false;
        }
        return true;
    });
    qInstallMessageHandler(nullptr);
    EXPECT_TRUE(done);
    for (int i = 0; i < logged.size(); ++i)
        EXPECT_GT(logged[i].second, 0) << kinds[i].toStdString() << " " << logged[i].first;
}

TEST_F(VCefWidgetTest, CloseCefWidgetClosesAndDeletesTheWindow)
{
    makeWindow()->show();
    ASSERT_TRUE(waitViewCreated());
    window->closeCefWidget();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(waitUntil([&] { return window.isNull(); }));
}

// A later answer goes only to the document that asked: a URL loaded starts another, and so does
// losing the host, whose documents go with it.
TEST_F(VCefWidgetTest, LoadingAUrlOrLosingTheHostStartsAnotherDocument)
{
    makeWindow();
    ASSERT_TRUE(waitViewCreated());
    const quint64 first = window->document();
    window->loadUrl(QStringLiteral("http://pages.test/a.html"));
    EXPECT_EQ(window->document(), first + 1);
    ASSERT_TRUE(host.last());
    host.last()->abort();
    EXPECT_TRUE(waitUntil([&] { return window->document() == first + 2; }));
}

// --- off-screen geometry ---------------------------------------------------------------------

TEST_F(VCefWidgetTest, ChildWindowReportsItsGlobalOrigin)
{
    QWidget parent;
    parent.move(100, 200);
    parent.resize(400, 400);
    parent.show();
    makeWindow(&parent)->move(10, 20);
    ASSERT_TRUE(waitViewCreated());
    ASSERT_TRUE(waitTypes(3));
    const QPoint global = window->mapToGlobal(QPoint(0, 0));
    EXPECT_NE(global, QPoint(10, 20));
    EXPECT_EQ(host.ofType(10).value(0).point(), global);
    delete window.data();
}

TEST_F(VCefWidgetTest, ShowHideAndActivationAreMirrored)
{
    makeWindow();
    ASSERT_TRUE(waitViewCreated());
    window->show();
    ASSERT_TRUE(waitUntil([&] { return host.ofType(11).size() == 1; }));
    EXPECT_TRUE(host.ofType(11).value(0).flag());
    window->activateWindow();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window.data(), &activate);
    ASSERT_TRUE(waitUntil([&] { return host.ofType(12).size() >= 1; }));
    EXPECT_EQ(host.ofType(12).value(0).int32(), 1);
    window->hide();
    ASSERT_TRUE(waitUntil([&] { return host.ofType(11).size() == 2; }));
    EXPECT_FALSE(host.ofType(11).value(1).flag());
}

TEST_F(VCefWidgetTest, ChildWindowEventsDoNotKeepSchedulingPlacements)
{
    QWidget parent;
    parent.show();
    makeWindow(&parent)->show();
    ASSERT_TRUE(waitViewCreated());
    // With the button placement re-armed by its own events, the loop never goes idle.
    int turns = 0;
    EXPECT_TRUE(waitUntil([&] {
        ++turns;
        return !QCoreApplication::instance()->eventDispatcher()->processEvents(QEventLoop::AllEvents) && turns > 3;
    }, 2000));
    delete window.data();
}

// --- developer tools -------------------------------------------------------------------------

class VCefWidgetDevToolsTest : public VCefWidgetTest
{
protected:
    QByteArray config() const override { return R"({"CEF_ShowDevToos": "1"})"; }
};

TEST_F(VCefWidgetDevToolsTest, ShowingTwiceMakesOneButtonThatTogglesDevTools)
{
    makeWindow()->show();
    ASSERT_TRUE(waitViewCreated());
    ASSERT_TRUE(waitUntil([&] { return window->devToolsButton() != nullptr; }));
    window->hide();
    window->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->findChildren<QPushButton *>().size(), 1);
    EXPECT_EQ(window->devToolsButton()->text(), QStringLiteral("devTools"));
    EXPECT_EQ(window->devToolsButton()->size(), QSize(60, 30));
    window->devToolsButton()->click();
    ASSERT_TRUE(waitUntil([&] { return host.ofType(8).size() == 1; }));
    EXPECT_EQ(host.ofType(8).value(0).int32(), 1);
}

TEST_F(VCefWidgetTest, NoButtonUnlessConfigured)
{
    makeWindow()->show();
    ASSERT_TRUE(waitViewCreated());
    window->hide();
    window->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->devToolsButton(), nullptr);
    EXPECT_TRUE(window->findChildren<QPushButton *>().isEmpty());
}

// --- native-window kind ----------------------------------------------------------------------

TEST_F(VCefWidgetTest, NativeViewWithoutAWindowIsLoggedAndLeftEmpty)
{
    auto *ncw = new VCefWidgetNCW;
    qInstallMessageHandler(captureLog);
    ASSERT_TRUE(waitUntil([&] { return ncw->isViewCreated(); }));
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(nativeHost.received.at(0).type, 1);
    EXPECT_EQ(ncw->container(), nullptr);
    EXPECT_FALSE(g_log.filter(QStringLiteral("initCefView failed,bacacuse window is nullptr")).isEmpty());
    delete ncw;
}
