#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include "TestSupport.h"
#include "VCefBroadcastManager.h"
#include "VCefProcessManager.h"
#include "VCefQueryManager.h"
#include "LoginFail.h"
#include "VCheckAndClearCache.h"
#include "kivoARTCController.h"
#include "quadrelWidgetManager.h"
#include "vSystemTrayWarn.h"

namespace {

QStringList g_log;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_log.append(text);
}

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class quadrelWidgetManagerTest : public ::testing::Test
{
protected:
    void TearDown() override { qInstallMessageHandler(nullptr); }
    TempWorkDir work;
};

TEST_F(quadrelWidgetManagerTest, CreatingGettersReturnTheSameWindow)
{
    quadrelWidgetManager *registry = quadrelWidgetManager::getInstance();
    EXPECT_EQ(registry, quadrelWidgetManager::getInstance());
    vSystemTrayWarn *tray = registry->getTrayWarn();
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(registry->getTrayWarn(), tray);
    VCheckAndClearCache *cleaner = registry->getCheckAndClearCache();
    ASSERT_NE(cleaner, nullptr);
    EXPECT_EQ(registry->getCheckAndClearCache(), cleaner);
}

TEST_F(quadrelWidgetManagerTest, DestroyAllReleasesWindowsAndPageManagers)
{
    quadrelWidgetManager *registry = quadrelWidgetManager::getInstance();
    const QPointer<vSystemTrayWarn> tray(registry->getTrayWarn());
    const QPointer<VCheckAndClearCache> cleaner(registry->getCheckAndClearCache());
    const QPointer<VCefBroadcastManager> commands(VCefBroadcastManager::getInstance());
    const QPointer<VCefQueryManager> queries(VCefQueryManager::getInstance());
    const QPointer<VCefProcessManager> processes(VCefProcessManager::getInstance());

    qInstallMessageHandler(captureLog);
    registry->destroyAll();
    qInstallMessageHandler(nullptr);
    // the tray dialog goes at once, the rest with the deferred deletes
    EXPECT_TRUE(tray.isNull());
    EXPECT_FALSE(commands.isNull());
    runDeferredDeletes();
    EXPECT_TRUE(commands.isNull());
    EXPECT_TRUE(queries.isNull());
    EXPECT_TRUE(processes.isNull());
    EXPECT_TRUE(cleaner.isNull());
    EXPECT_FALSE(VCefBroadcastManager::hasInstance());
    EXPECT_FALSE(VCefQueryManager::hasInstance());
    EXPECT_FALSE(VCefProcessManager::hasInstance());
    EXPECT_EQ(g_log.value(g_log.size() - 1), QStringLiteral("销毁所有窗口"));

    // after it, the getters give working windows again rather than released ones
    EXPECT_NE(registry->getTrayWarn(), nullptr);
    EXPECT_NE(registry->getCheckAndClearCache(), nullptr);
}

TEST_F(quadrelWidgetManagerTest, DestroyAllCreatesNothing)
{
    quadrelWidgetManager::getInstance()->destroyAll();
    runDeferredDeletes();
    g_log.clear();
    qInstallMessageHandler(captureLog);
    quadrelWidgetManager::getInstance()->destroyAll();
    qInstallMessageHandler(nullptr);
    runDeferredDeletes();
    EXPECT_FALSE(VCefBroadcastManager::hasInstance());
    EXPECT_FALSE(VCefQueryManager::hasInstance());
    EXPECT_FALSE(VCefProcessManager::hasInstance());
    EXPECT_EQ(g_log, (QStringList{QStringLiteral("销毁所有窗口")}));
    EXPECT_TRUE(LoginFail::isNull());
}

TEST_F(quadrelWidgetManagerTest, DestroyAllReleasesTheLoginFailureWindow)
{
    kivoARTCController::setMessageBoxSeam([](const QString &, const QString &) {});
    const QPointer<LoginFail> window(LoginFail::instance());
    ASSERT_FALSE(LoginFail::isNull());
    quadrelWidgetManager::getInstance()->destroyAll();
    EXPECT_FALSE(window.isNull());
    runDeferredDeletes();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(LoginFail::isNull());
    // A later use makes a new window rather than handing out the released one.
    EXPECT_NE(LoginFail::instance(), nullptr);
    EXPECT_FALSE(LoginFail::isNull());
    kivoARTCController::setMessageBoxSeam(nullptr);
}
