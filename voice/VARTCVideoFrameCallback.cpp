#include "VARTCVideoFrameCallback.h"

#include <mutex>

#include <cstring>
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
    std::lock_guard<std::mutex> locker(m_sinkLock);
    m_sink = std::move(sink);
}

namespace {

void copyPlane(uint8_t *dst, int dstStride, const uint8_t *src, int srcStride, int rowBytes, int rows)
{
    if (srcStride == rowBytes && dstStride == rowBytes) {
        std::memcpy(dst, src, static_cast<size_t>(rowBytes) * static_cast<size_t>(rows));
        return;
    }
    for (int r = 0; r < rows; ++r)
        std::memcpy(dst + static_cast<size_t>(r) * dstStride, src + static_cast<size_t>(r) * srcStride,
                    static_cast<size_t>(rowBytes));
}

} // namespace

void VARTCVideoFrameCallback::copyFrameToSink(const agora::media::VideoFrame &videoFrame, const QString &userId)
{
    if (videoFrame.type != agora::media::VIDEO_PIXEL_I420)
        return;
    VideoFrameSink sink;
    {
        std::lock_guard<std::mutex> locker(m_sinkLock);
        sink = m_sink;
    }
    if (!sink)
        return;
    const int width = videoFrame.width;
    const int height = videoFrame.height;
    if (width <= 0 || height <= 0 || !videoFrame.yBuffer || !videoFrame.uBuffer || !videoFrame.vBuffer)
        return;
    const int chromaWidth = (width + 1) / 2;
    const int chromaHeight = (height + 1) / 2;
    // An engine that leaves the chroma strides out means half the luma stride.
    const int uStride = videoFrame.uStride > 0 ? videoFrame.uStride : (videoFrame.yStride + 1) / 2;
    const int vStride = videoFrame.vStride > 0 ? videoFrame.vStride : (videoFrame.yStride + 1) / 2;
    if (videoFrame.yStride < width || uStride < chromaWidth || vStride < chromaWidth)
        return;

    const qint64 lumaBytes = static_cast<qint64>(width) * height;
    const qint64 chromaBytes = static_cast<qint64>(chromaWidth) * chromaHeight;
    const qint64 total = lumaBytes + 2 * chromaBytes;
    if (total > std::numeric_limits<int>::max())
        return;

    QSharedPointer<VideoFrameData> data(new VideoFrameData);
    data->pixels = QByteArray(static_cast<int>(total), Qt::Uninitialized);
    uint8_t *base = reinterpret_cast<uint8_t *>(data->pixels.data());
    // Each plane from its own pointer and stride: the engine's planes need not be adjacent.
    copyPlane(base, width, videoFrame.yBuffer, videoFrame.yStride, width, height);
    copyPlane(base + lumaBytes, chromaWidth, videoFrame.uBuffer, uStride, chromaWidth, chromaHeight);
    copyPlane(base + lumaBytes + chromaBytes, chromaWidth, videoFrame.vBuffer, vStride, chromaWidth, chromaHeight);

    data->type = 1;
    data->y = base;
    data->yStride = width;
    data->u = base + lumaBytes;
    data->v = base + lumaBytes + chromaBytes;
    data->uStride = chromaWidth;
    data->vStride = chromaWidth;
    data->size = static_cast<int>(lumaBytes * 3 / 2);
    data->width = width;
    data->height = height;

    VideoFrameItem item;
    item.userId = userId;
    item.frame = data;
    sink(std::move(item));
}
