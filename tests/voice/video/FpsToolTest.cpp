#include "LogCapture.h"
#include "QuadrelConfig.h"
#include "TestSupport.h"
#include "VRtcFpsCalculateTool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

class FpsToolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        now = 5000;
        reads = 0;
        VRtcFpsCalculateTool::setClockSeam([this] {
            ++reads;
            return now.load();
        });
    }
    void TearDown() override
    {
        VRtcFpsCalculateTool::setClockSeam(nullptr);
        QuadrelConfig::getInstance()->reload();
    }
    std::unique_ptr<VRtcFpsCalculateTool> tool(const char *flag)
    {
        m_dir.write(QStringLiteral("config/ambrel.json"), QByteArray("{\"isOpenFpsCalculate\":\"") + flag + "\"}");
        QuadrelConfig::getInstance()->reload();
        return std::unique_ptr<VRtcFpsCalculateTool>(new VRtcFpsCalculateTool);
    }
    void step(VRtcFpsCalculateTool &t, quint64 ms, int kind = 0)
    {
        now += ms;
        t.start();
        t.record(kind);
    }

    TempWorkDir m_dir;
    LogCapture m_log;
    std::atomic<quint64> now{0};
    std::atomic<int> reads{0};
};

TEST_F(FpsToolTest, OffUnlessConfiguredWithOne)
{
    for (const char *flag : {"0", "true", ""}) {
        auto t = tool(flag);
        for (int i = 0; i < 30; ++i)
            step(*t, 100);
    }
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(m_log.lines("[FPS]").isEmpty());
}

TEST_F(FpsToolTest, StepsOf100msGiveElevenThenTen)
{
    auto t = tool("1");
    for (int i = 0; i < 21; ++i)
        step(*t, 100, 2);
    EXPECT_EQ(m_log.lines("[FPS]"),
              QStringList({"[FPS] \"GL\" fps \"11.00\" \"渲染耗时\" \"0, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, \"",
                           "[FPS] \"GL\" fps \"10.00\" \"渲染耗时\" \"100, 100, 100, 100, 100, 100, 100, 100, 100, 100, \""}));
}

TEST_F(FpsToolTest, LongIntervalCountsAsOneSecondAndCarriesOver)
{
    auto t = tool("1");
    step(*t, 0);
    step(*t, 2500);
    step(*t, 10);
    EXPECT_EQ(m_log.lines("[FPS]"), QStringList({"[FPS] \"ARTC\" fps \"2.00\" \"回调耗时\" \"0, 2500, \"",
                                                 "[FPS] \"ARTC\" fps \"2.04\" \"回调耗时\" \"10, \""}));
}

TEST_F(FpsToolTest, UnknownKindChangesNothing)
{
    auto t = tool("1");
    for (int i = 0; i < 20; ++i)
        step(*t, 100, 7);
    EXPECT_TRUE(m_log.lines("[FPS]").isEmpty());
    step(*t, 1000, 3);
    EXPECT_EQ(m_log.lines("[FPS]"), QStringList({"[FPS] \"CPU\" fps \"1.00\" \"渲染耗时\" \"1000, \""}));
}
