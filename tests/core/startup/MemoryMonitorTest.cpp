#include <gtest/gtest.h>

#include "MemoryMonitor.h"

#include <QStringList>
#include <QtGlobal>

namespace {

QStringList g_warnings;
void captureWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
}

PROCESS_MEMORY_COUNTERS_EX counters(uint64_t workingSet)
{
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.WorkingSetSize = static_cast<SIZE_T>(workingSet);
    pmc.QuotaPagedPoolUsage = 11;
    pmc.QuotaNonPagedPoolUsage = 22;
    pmc.PrivateUsage = 33;
    pmc.PageFaultCount = 44;
    return pmc;
}

const uint64_t MiB = 1048576;

class MemoryMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_warnings.clear();
        m_previous = qInstallMessageHandler(captureWarnings);
    }
    void TearDown() override { qInstallMessageHandler(m_previous); }
    QtMessageHandler m_previous = nullptr;
};

} // namespace

TEST_F(MemoryMonitorTest, ThresholdRisesOneStepPerCheck)
{
    uint64_t threshold = MemoryMonitor::InitialThreshold;
    EXPECT_FALSE(MemoryMonitor::check(counters(250 * MiB), threshold));
    EXPECT_EQ(threshold, 300 * MiB);
    EXPECT_TRUE(MemoryMonitor::check(counters(520 * MiB), threshold));
    EXPECT_EQ(threshold, 400 * MiB);
    EXPECT_TRUE(MemoryMonitor::check(counters(520 * MiB), threshold));
    EXPECT_EQ(threshold, 500 * MiB);
    EXPECT_TRUE(MemoryMonitor::check(counters(520 * MiB), threshold));
    EXPECT_EQ(threshold, 600 * MiB);
    EXPECT_FALSE(MemoryMonitor::check(counters(520 * MiB), threshold));
    ASSERT_EQ(g_warnings.size(), 3);
    EXPECT_EQ(g_warnings.at(0), QStringLiteral("[MEM_MON] WorkingSetSize: 545259520  QuotaPagedPoolUsage: 11  "
                                               "QuotaNonPagedPoolUsage: 22  PrivateUsage: 33  PageFaultCount: 44"));
}

TEST_F(MemoryMonitorTest, ExactlyTheThresholdDoesNotLog)
{
    uint64_t threshold = MemoryMonitor::InitialThreshold;
    EXPECT_FALSE(MemoryMonitor::check(counters(300 * MiB), threshold));
    EXPECT_TRUE(MemoryMonitor::check(counters(300 * MiB + 1), threshold));
    EXPECT_EQ(g_warnings.size(), 1);
}

TEST_F(MemoryMonitorTest, ThresholdDoesNotWrapAboveFourGiB)
{
    uint64_t threshold = 4096 * MiB;
    EXPECT_TRUE(MemoryMonitor::check(counters(4200 * MiB), threshold));
    EXPECT_EQ(threshold, 4196 * MiB);
    EXPECT_FALSE(MemoryMonitor::check(counters(4100 * MiB), threshold));
}

TEST_F(MemoryMonitorTest, EarlyDestructionWaitsForTheWorkerAndPrintsTheEnd)
{
    for (int i = 0; i < 20; ++i) {
        testing::internal::CaptureStdout();
        {
            MemoryMonitor monitor;
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "mem mon end\n");
        // The worker has left its loop before the destructor returned.
        EXPECT_EQ(MemoryMonitor::liveWorkers(), 0);
    }
}
