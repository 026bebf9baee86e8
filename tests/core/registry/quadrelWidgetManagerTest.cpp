#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

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

// Puts the object's end into the log as it happens, between the lines logged around it.
void logEnd(QObject *object, const QString &name)
{
    QObject::connect(object, &QObject::destroyed, [name] { g_log.append(QStringLiteral("gone: ") + name); });
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

// The order shows in when each thing goes: the tray dialog at once, before the closing line; the
// rest with the deferred deletes, in the order they were asked for. A running cleaner is asked to
// end before its launcher is released (its own process goes first), not killed with it.
TEST_F(quadrelWidgetManagerTest, DestroyAllRunsItsStepsInOrderAndStopsARunningCleaner)
{
    // A cleaner that runs until it is asked to end, and says so then; it also ends with this
    // program, whatever becomes of the test.
    work.write(QStringLiteral("purgo.exe"), "#!/bin/sh\ntrap 'echo > stopped; exit 0' TERM\necho > started\n"
                                            "while kill -0 $PPID 2>/dev/null; do sleep 0.1; done\n");
    ASSERT_TRUE(QFile::setPermissions(work.filePath(QStringLiteral("purgo.exe")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    kivoARTCController::setMessageBoxSeam([](const QString &, const QString &) {});
    quadrelWidgetManager *registry = quadrelWidgetManager::getInstance();
    g_log.clear();
    logEnd(LoginFail::instance(), QStringLiteral("login failure window"));
    logEnd(registry->getTrayWarn(), QStringLiteral("tray dialog"));
    logEnd(VCefProcessManager::getInstance(), QStringLiteral("page processes"));
    logEnd(VCefQueryManager::getInstance(), QStringLiteral("page queries"));
    logEnd(VCefBroadcastManager::getInstance(), QStringLiteral("page commands"));
    VCheckAndClearCache *cleaner = registry->getCheckAndClearCache();
    cleaner->runCheckAndClear(false);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(work.filePath(QStringLiteral("started"))); }));
    ASSERT_NE(cleaner->process(), nullptr);
    logEnd(cleaner->process(), QStringLiteral("cleaner process"));
    logEnd(cleaner, QStringLiteral("cleaner"));

    auto steps = [] {
        QStringList out;
        for (const QString &line : qAsConst(g_log))
            if (line.startsWith(QLatin1String("gone: ")) || line == QStringLiteral("销毁所有窗口"))
                out << line;
        return out.join(QStringLiteral(" | ")).toStdString();
    };
    g_log.clear();
    qInstallMessageHandler(captureLog);
    registry->destroyAll();
    EXPECT_EQ(steps(), "gone: tray dialog | 销毁所有窗口");
    // Asked to end by destroyAll itself: waited for without the deferred deletes, which would
    // kill the cleaner anyway.
    QDeadlineTimer deadline(20000);
    while (!QFileInfo::exists(work.filePath(QStringLiteral("stopped"))) && !deadline.hasExpired())
        QThread::msleep(10);
    EXPECT_TRUE(QFileInfo::exists(work.filePath(QStringLiteral("stopped"))));
    g_log.clear();
    runDeferredDeletes();
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(steps(), "gone: login failure window | gone: page processes | gone: page queries | gone: page commands"
                       " | gone: cleaner process | gone: cleaner");
    kivoARTCController::setMessageBoxSeam(nullptr);
}
