// The suite's canaries: each case leaks on purpose, and its ctest entry passes only when the
// leak is reported (tests/CMakeLists.txt runs each case alone and matches the report).
// - A leak of ours whose allocation is reached through a Qt signal sent from the event loop, as
//   nearly all of the client's code is. LeakSanitizer must report it at exit; a suppression
//   wide enough to hide it would hide our own leaks everywhere.
// - An object of ours connected to a screen's signal and forgotten: what the screens hold must
//   not keep it out of the report.
// - A forgotten widget, which Qt keeps referenced until exit: the test main must fail the test.
// - Kept widgets (the one-window singletons' mark) made without bound: that fails the test too.
// Two cases leak nothing and must pass: a widget whose deletion a timer runs after the test, and
// one a fixture makes on first use and declares kept.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <string>

#include "TestSupport.h"

namespace {

// Volatile, so that the allocations cannot be optimised away.
std::string *volatile g_kept = nullptr;
QObject *volatile g_connected = nullptr;

// Not inlined, so that the report names it.
__attribute__((noinline)) void leakCanaryAllocation()
{
    g_kept = new std::string(64, 'x');
    // Forgotten: nothing points at the text any more.
    g_kept = nullptr;
}

__attribute__((noinline)) void leakCanaryScreenReceiver()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    g_connected = new QObject;
    QObject::connect(screen, &QScreen::geometryChanged, g_connected, [] {});
    // Forgotten: only the screen's connection still points at it.
    g_connected = nullptr;
}

// Runs the function from a timer's signal inside the event loop.
void fromEventLoop(void (*leak)())
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&loop, leak] {
        leak();
        loop.quit();
    });
    loop.exec();
}

} // namespace

TEST(LeakCanary, OurLeakThroughASignal)
{
    fromEventLoop(leakCanaryAllocation);
}

TEST(LeakCanary, OurObjectConnectedToAScreen)
{
    fromEventLoop(leakCanaryScreenReceiver);
}

TEST(LeakCanary, ForgottenWidget)
{
    auto *widget = new QWidget;
    widget->setObjectName(QStringLiteral("leakCanaryWidget"));
    widget->show();
}

TEST(LeakCanary, KeptWidgetsWithoutBound)
{
    for (int i = 0; i < 20; ++i) {
        auto *widget = new QWidget;
        widget->setObjectName(QStringLiteral("keptCanaryWidget"));
        widget->setProperty("vStaticWidget", true);
    }
}

TEST(LeakCanary, WidgetDeletedByATimerAfterTheTest)
{
    auto *widget = new QWidget;
    widget->show();
    QTimer::singleShot(300, widget, [widget] { widget->deleteLater(); });
}

// Made on first use by the fixture and kept for the binary's later tests.
class LeakCanaryFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static QWidget *shared = nullptr;
        if (!shared) {
            shared = new QWidget;
            shared->setObjectName(QStringLiteral("fixtureKeptWidget"));
            keepWidgetForTests(shared);
        }
        m_shared = shared;
    }
    QWidget *m_shared = nullptr;
};

TEST_F(LeakCanaryFixture, WidgetTheFixtureKeeps)
{
    ASSERT_NE(m_shared, nullptr);
    m_shared->show();
}
