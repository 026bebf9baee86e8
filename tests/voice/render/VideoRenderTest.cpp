#include "GLYuvWidget.h"
#include "TestFrames.h"
#include "VVideoRenderCPUPaintWidget.h"
#include "VideoRender.h"

#include <gtest/gtest.h>

#include <mutex>
#include <QPointer>
#include <QStringList>
#include <QThread>

#include <atomic>

namespace {

// Records what the host passes on.
class FakeRenderer : public QWidget, public VVideoRenderAbstract
{
public:
    void inputFrame(VideoFrameItem item) override
    {
        std::lock_guard<std::mutex> locker(lock);
        users << item.userId;
    }
    void stopRender() override { calls << QStringLiteral("stop"); }
    void startRender() override { calls << QStringLiteral("start"); }

    QStringList seen()
    {
        std::lock_guard<std::mutex> locker(lock);
        return users;
    }

    std::mutex lock;
    QStringList users;
    QStringList calls;
};

VideoFrameItem frameOf(const QString &userId)
{
    return TestFrames::item(userId, TestFrames::uniform(4, 2, 81, 90, 240));
}

} // namespace

class VideoRenderTest : public ::testing::Test
{
protected:
    FakeRenderer *fake = new FakeRenderer;
    VideoRender render{fake, nullptr};
};

TEST_F(VideoRenderTest, PicksTheSoftwareRendererWithoutAnOpenGLCoreContext)
{
    VideoRender picked;
    const bool gl = VideoRender::openGLAvailable();
    EXPECT_EQ(dynamic_cast<GLYuvWidget *>(picked.renderer()) != nullptr, gl);
    EXPECT_EQ(dynamic_cast<VVideoRenderCPUPaintWidget *>(picked.renderer()) != nullptr, !gl);
    if (!gl)
        SUCCEED() << "no OpenGL 3.3 core context here: the software renderer was chosen";
}

TEST_F(VideoRenderTest, RendererIsAChildThatFollowsTheSizeAndLetsClicksThrough)
{
    EXPECT_EQ(fake->parentWidget(), &render);
    EXPECT_TRUE(fake->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(fake->size(), render.size());
    render.show(); // hidden widgets get their resize events when shown
    render.resize(320, 180);
    EXPECT_EQ(fake->size(), QSize(320, 180));
    QPointer<QWidget> guard;
    {
        auto *other = new FakeRenderer;
        guard = other;
        VideoRender gone(other, nullptr);
    }
    EXPECT_TRUE(guard.isNull());
}

TEST_F(VideoRenderTest, StartsStoppedWithoutUser)
{
    EXPECT_TRUE(render.isStopped());
    EXPECT_TRUE(render.userId().isEmpty());
    render.inputFrame(frameOf(QString()));
    render.inputFrame(frameOf(QStringLiteral("42")));
    EXPECT_TRUE(fake->seen().isEmpty());
}

TEST_F(VideoRenderTest, PassesOnOnlyTheChosenUsersFrames)
{
    render.startRender(QStringLiteral("42"));
    EXPECT_FALSE(render.isStopped());
    EXPECT_EQ(render.userId(), QStringLiteral("42"));
    render.inputFrame(frameOf(QStringLiteral("43")));
    render.inputFrame(frameOf(QString()));
    render.inputFrame(frameOf(QStringLiteral("42")));
    EXPECT_EQ(fake->seen(), QStringList{QStringLiteral("42")});
}

TEST_F(VideoRenderTest, StartWhileRunningKeepsTheFirstUser)
{
    render.startRender(QStringLiteral("42"));
    render.startRender(QStringLiteral("43"));
    EXPECT_EQ(render.userId(), QStringLiteral("42"));
    EXPECT_EQ(fake->calls, QStringList{QStringLiteral("start")});
    render.inputFrame(frameOf(QStringLiteral("43")));
    EXPECT_TRUE(fake->seen().isEmpty());
}

TEST_F(VideoRenderTest, StopForgetsTheUserAndStopsTheRenderer)
{
    render.startRender(QStringLiteral("42"));
    render.stopRender();
    EXPECT_TRUE(render.isStopped());
    EXPECT_TRUE(render.userId().isEmpty());
    EXPECT_EQ(fake->calls, (QStringList{QStringLiteral("start"), QStringLiteral("stop")}));
    render.inputFrame(frameOf(QStringLiteral("42")));
    EXPECT_TRUE(fake->seen().isEmpty());
    render.startRender(QStringLiteral("43"));
    render.inputFrame(frameOf(QStringLiteral("43")));
    EXPECT_EQ(fake->seen(), QStringList{QStringLiteral("43")});
}

TEST_F(VideoRenderTest, NoFrameReachesTheRendererAfterStopReturns)
{
    render.startRender(QStringLiteral("42"));
    std::atomic<bool> running{true};
    std::atomic<int> sent{0};
    QThread *engine = QThread::create([&] {
        while (running) {
            render.inputFrame(frameOf(QStringLiteral("42")));
            ++sent;
        }
    });
    engine->start();
    while (sent < 50)
        QThread::yieldCurrentThread();
    render.stopRender();
    const int atStop = fake->seen().size();
    const int sentAtStop = sent;
    while (sent < sentAtStop + 50)
        QThread::yieldCurrentThread();
    running = false;
    engine->wait();
    delete engine;
    EXPECT_GT(atStop, 0);
    EXPECT_EQ(fake->seen().size(), atStop);
}
