#include "VARTCVideoFrameCallback.h"

#include <mutex>

#include <limits>

VARTCVideoFrameCallback::VARTCVideoFrameCallback() : m_fpsTool(new VRtcFpsCalculateTool) {}

VARTCVideoFrameCallback::~VARTCVideoFrameCallback()
{
    if (m_fpsTool)
        m_fpsTool->deleteLater();
    std::lock_guard<std::mutex> locker(m_sinkLock);
    m_sink = nullptr;
}

bool VARTCVideoFrameCallback::onCaptureVideoFrame(agora::media::VIDEO_SOURCE_TYPE sourceType,
                                                  agora::media::VideoFrame &videoFrame)
{
    (void)sourceType;
    copyFrameToSink(videoFrame, QString());
    return true;
}

bool VARTCVideoFrameCallback::onPreEncodeVideoFrame(agora::media::VIDEO_SOURCE_TYPE sourceType,
                                                    agora::media::VideoFrame &videoFrame)
{
    (void)sourceType;
    (void)videoFrame;
    return false;
}

bool VARTCVideoFrameCallback::onMediaPlayerVideoFrame(agora::media::VideoFrame &videoFrame, int mediaPlayerId)
{
    (void)videoFrame;
    (void)mediaPlayerId;
    return true;
}

bool VARTCVideoFrameCallback::onRenderVideoFrame(const char *channelId, agora::rtc::uid_t remoteUid,
                                                 agora::media::VideoFrame &videoFrame)
{
    (void)channelId;
    VRtcFpsCalculateTool *tool = m_fpsTool.data();
    if (tool)
        tool->start();
    // uid_t is unsigned: ids of 2147483648 and above stay positive.
    copyFrameToSink(videoFrame, QString::number(remoteUid));
    if (tool)
        tool->record(0);
    return false;
}

bool VARTCVideoFrameCallback::onTranscodedVideoFrame(agora::media::VideoFrame &videoFrame)
{
    (void)videoFrame;
    return true;
}

agora::media::IVideoFrameObserver::VIDEO_FRAME_PROCESS_MODE VARTCVideoFrameCallback::getVideoFrameProcessMode()
{
    return PROCESS_MODE_READ_ONLY;
}

agora::media::VIDEO_PIXEL_FORMAT VARTCVideoFrameCallback::getVideoFormatPreference()
{
    return agora::media::VIDEO_PIXEL_I420;
}

bool VARTCVideoFrameCallback::getRotationApplied()
{
    return false;
}

bool VARTCVideoFrameCallback::getMirrorApplied()
{
    return false;
}

uint32_t VARTCVideoFrameCallback::getObservedFramePosition()
{
    return POSITION_POST_CAPTURER | POSITION_PRE_RENDERER;
}

bool VARTCVideoFrameCallback::isExternal()
{
    return true;
}

void VARTCVideoFrameCallback::setFrameSink(VideoFrameSink sink)
{
    std::shared_ptr<const VideoFrameSink> shared;
    if (sink)
        shared = std::make_shared<const VideoFrameSink>(std::move(sink));
    std::lock_guard<std::mutex> locker(m_sinkLock);
    m_sink.swap(shared);
}

void VARTCVideoFrameCallback::copyFrameToSink(const agora::media::VideoFrame &videoFrame, const QString &userId)
{
    if (videoFrame.type != agora::media::VIDEO_PIXEL_I420)
        return;
    // No sink may read outside the engine's planes: frames that do not describe them are dropped.
    const int width = videoFrame.width;
    const int height = videoFrame.height;
    if (width <= 0 || height <= 0 || !videoFrame.yBuffer || !videoFrame.uBuffer || !videoFrame.vBuffer)
        return;
    const int chromaWidth = (width + 1) / 2;
    if (videoFrame.yStride < width || (videoFrame.uStride > 0 && videoFrame.uStride < chromaWidth)
        || (videoFrame.vStride > 0 && videoFrame.vStride < chromaWidth))
        return;
    const qint64 size = static_cast<qint64>(width) * height * 3 / 2;
    if (size > std::numeric_limits<int>::max())
        return;
    std::shared_ptr<const VideoFrameSink> sink;
    {
        std::lock_guard<std::mutex> locker(m_sinkLock);
        sink = m_sink;
    }
    if (!sink)
        return;

    // The engine's planes as they are: the sink copies what it keeps.
    QSharedPointer<VideoFrameData> data = QSharedPointer<VideoFrameData>::create();
    data->type = 1;
    data->y = videoFrame.yBuffer;
    data->yStride = videoFrame.yStride;
    data->u = videoFrame.uBuffer;
    data->v = videoFrame.vBuffer;
    data->size = static_cast<int>(size);
    data->width = width;
    data->height = height;
    data->uStride = videoFrame.uStride;
    data->vStride = videoFrame.vStride;

    VideoFrameItem item;
    item.userId = userId;
    item.frame = std::move(data);
    (*sink)(std::move(item));
}
