#include "ControllerFixture.h"
#include "VARTCDeviceInfo.h"
#include "VARTCVideoFrameCallback.h"

#include <mutex>
#include <QThread>

#include <vector>

using agora::sim::RtcSim;
using agora::sim::SimFrame;

namespace {

// What a sink saw: copies, taken on the delivering thread.
struct Seen
{
    QString userId;
    int width;
    int height;
    int size;
    uint8_t y, u, v;      // first sample of each plane
    bool uniform;         // every sample of every plane equal to the first
    QThread *thread;
};

class Sink
{
public:
    VideoFrameSink function()
    {
        return [this](VideoFrameItem item) {
            const VideoFrameData &f = *item.frame;
            const int cw = (f.width + 1) / 2;
            const int ch = (f.height + 1) / 2;
            bool uniform = true;
            for (int r = 0; r < f.height; ++r)
                for (int x = 0; x < f.width; ++x)
                    uniform = uniform && f.y[r * f.yStride + x] == f.y[0];
            for (int r = 0; r < ch; ++r)
                for (int x = 0; x < cw; ++x)
                    uniform = uniform && f.u[r * f.uStride + x] == f.u[0] && f.v[r * f.vStride + x] == f.v[0];
            std::lock_guard<std::mutex> locker(m_lock);
            m_seen.push_back({item.userId, f.width, f.height, f.size, f.y[0], f.u[0], f.v[0], uniform, QThread::currentThread()});
        };
    }
    std::vector<Seen> seen()
    {
        std::lock_guard<std::mutex> locker(m_lock);
        return m_seen;
    }

private:
    std::mutex m_lock;
    std::vector<Seen> m_seen;
};

// I420 colours (BT.601, limited range).
const uint8_t kRed[3] = {81, 90, 240};
const uint8_t kBlue[3] = {41, 240, 110};

} // namespace

class FrameCallbackTest : public ControllerFixture
{
protected:
    // The frame observer the controller registered with the engine.
    VARTCVideoFrameCallback callback;
    Sink sink;

    void SetUp() override
    {
        ControllerFixture::SetUp();
        make();
        // Deliver to a test-owned observer through the same engine path.
        void *p = nullptr;
        agora::rtc::IRtcEngine *engine = createAgoraRtcEngine();
        ASSERT_EQ(engine->queryInterface(agora::rtc::AGORA_IID_MEDIA_ENGINE, &p), 0);
        static_cast<agora::media::IMediaEngine *>(p)->registerVideoFrameObserver(&callback);
    }
};

// Frames from the engine's thread reach the sink with their own colours.
TEST_F(FrameCallbackTest, RemoteFrameReachesTheSinkWithItsColoursAndUser)
{
    callback.setFrameSink(sink.function());
    SimFrame f;
    f.uid = 3000000000u;
    f.width = 64;
    f.height = 36;
    f.yStride = 80;   // padded rows
    f.uvStride = 48;  // chroma padded on its own stride
    f.y = kRed[0];
    f.u = kRed[1];
    f.v = kRed[2];
    ASSERT_TRUE(RtcSim::postFrame(f));
    ASSERT_TRUE(RtcSim::waitIdle());
    const std::vector<Seen> seen = sink.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].userId, QStringLiteral("3000000000"));
    EXPECT_EQ(seen[0].width, 64);
    EXPECT_EQ(seen[0].height, 36);
    EXPECT_EQ(seen[0].size, 64 * 36 * 3 / 2);
    EXPECT_EQ(seen[0].y, kRed[0]);
    EXPECT_EQ(seen[0].u, kRed[1]);
    EXPECT_EQ(seen[0].v, kRed[2]);
    EXPECT_TRUE(seen[0].uniform);
    EXPECT_NE(seen[0].thread, QThread::currentThread());
}

TEST_F(FrameCallbackTest, BlueCaptureFrameKeepsItsChromaApart)
{
    callback.setFrameSink(sink.function());
    SimFrame f;
    f.width = 33; // odd: chroma rounds up
    f.height = 17;
    f.y = kBlue[0];
    f.u = kBlue[1];
    f.v = kBlue[2];
    ASSERT_TRUE(RtcSim::postFrame(f));
    ASSERT_TRUE(RtcSim::waitIdle());
    const std::vector<Seen> seen = sink.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].userId, QString());
    EXPECT_EQ(seen[0].u, kBlue[1]);
    EXPECT_EQ(seen[0].v, kBlue[2]);
    EXPECT_TRUE(seen[0].uniform);
}

TEST_F(FrameCallbackTest, FramesWithoutSinkWrongTypeOrNoSizeAreDropped)
{
    agora::media::VideoFrame frame;
    std::vector<uint8_t> plane(640 * 360, 1);
    frame.width = 640;
    frame.height = 360;
    frame.yStride = 640;
    frame.uStride = frame.vStride = 320;
    frame.yBuffer = frame.uBuffer = frame.vBuffer = plane.data();
    // No sink: the answers stay.
    EXPECT_TRUE(callback.onCaptureVideoFrame(agora::media::VIDEO_SOURCE_CAMERA_PRIMARY, frame));
    EXPECT_FALSE(callback.onRenderVideoFrame("c", 5, frame));
    callback.setFrameSink(sink.function());
    frame.type = agora::media::VIDEO_PIXEL_BGRA;
    callback.copyFrameToSink(frame, QStringLiteral("1"));
    frame.type = agora::media::VIDEO_PIXEL_I420;
    frame.width = 0;
    callback.copyFrameToSink(frame, QStringLiteral("1"));
    frame.width = 640;
    frame.yStride = 600; // shorter than a row
    callback.copyFrameToSink(frame, QStringLiteral("1"));
    EXPECT_TRUE(sink.seen().empty());
    frame.yStride = 640;
    callback.copyFrameToSink(frame, QStringLiteral("1"));
    ASSERT_EQ(sink.seen().size(), 1u);
    EXPECT_EQ(sink.seen()[0].size, 345600);
}

// The record carries the engine's own planes and strides; sinks copy what they keep.
TEST_F(FrameCallbackTest, SinkGetsTheEnginesOwnPlanesAndStrides)
{
    std::vector<uint8_t> y(704 * 360, 81), u(352 * 180, 90), v(352 * 180, 240);
    agora::media::VideoFrame frame;
    frame.width = 640;
    frame.height = 360;
    frame.yStride = 704;
    frame.uStride = frame.vStride = 352;
    frame.yBuffer = y.data();
    frame.uBuffer = u.data();
    frame.vBuffer = v.data();
    std::vector<VideoFrameData> records;
    callback.setFrameSink([&records](VideoFrameItem item) { records.push_back(*item.frame); });
    EXPECT_FALSE(callback.onRenderVideoFrame("c", 9, frame));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, 1);
    EXPECT_EQ(records[0].y, y.data());
    EXPECT_EQ(records[0].u, u.data());
    EXPECT_EQ(records[0].v, v.data());
    EXPECT_EQ(records[0].yStride, 704);
    EXPECT_EQ(records[0].uStride, 352);
    EXPECT_EQ(records[0].vStride, 352);
    EXPECT_EQ(records[0].size, 345600);
}

TEST_F(FrameCallbackTest, ObserverAnswers)
{
    agora::media::VideoFrame frame;
    EXPECT_FALSE(callback.onPreEncodeVideoFrame(agora::media::VIDEO_SOURCE_CAMERA_PRIMARY, frame));
    EXPECT_TRUE(callback.onMediaPlayerVideoFrame(frame, 1));
    EXPECT_TRUE(callback.onTranscodedVideoFrame(frame));
    EXPECT_EQ(callback.getVideoFrameProcessMode(), 0);
    EXPECT_EQ(callback.getVideoFormatPreference(), 1);
    EXPECT_FALSE(callback.getRotationApplied());
    EXPECT_FALSE(callback.getMirrorApplied());
    EXPECT_EQ(callback.getObservedFramePosition(), 3u);
    EXPECT_TRUE(callback.isExternal());
}

TEST_F(FrameCallbackTest, SinkReplacedWhileFramesArrive)
{
    Sink second;
    callback.setFrameSink(sink.function());
    SimFrame f;
    f.uid = 8;
    f.width = 16;
    f.height = 16;
    for (int i = 0; i < 20; ++i)
        RtcSim::postFrame(f);
    callback.setFrameSink(second.function());
    for (int i = 0; i < 5; ++i)
        RtcSim::postFrame(f);
    ASSERT_TRUE(RtcSim::waitIdle());
    EXPECT_EQ(sink.seen().size() + second.seen().size(), 25u);
    EXPECT_GE(second.seen().size(), 5u);
}

// Device records.
TEST(DeviceInfoTest, NameComesBackAsUtf8AndEmptyIsNotNull)
{
    VARTCDeviceInfo empty{QString()};
    ASSERT_NE(empty.deviceName(), nullptr);
    EXPECT_STREQ(empty.deviceName(), "");
    VARTCDeviceInfo named(QStringLiteral("麦克风"));
    EXPECT_STREQ(named.deviceName(), "\xE9\xBA\xA6\xE5\x85\x8B\xE9\xA3\x8E");
    EXPECT_EQ(named.deviceCode(), 0);
    named.releaseDevice();
}
