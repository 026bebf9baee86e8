#pragma once

#include "VRtcFpsCalculateTool.h"
#include "VideoFrameItem.h"

#include "agora/IMediaEngine.h"

#include <memory>
#include <mutex>
#include <QPointer>

// The engine's raw video frame observer: hands each I420 picture, tagged with its user, to the
// one frame sink the controller installs. Called on the engine's video threads.
class VARTCVideoFrameCallback : public agora::media::IVideoFrameObserver
{
public:
    VARTCVideoFrameCallback();
    ~VARTCVideoFrameCallback() override;

    bool onCaptureVideoFrame(agora::media::VIDEO_SOURCE_TYPE sourceType, agora::media::VideoFrame &videoFrame) override;
    bool onPreEncodeVideoFrame(agora::media::VIDEO_SOURCE_TYPE sourceType, agora::media::VideoFrame &videoFrame) override;
    bool onMediaPlayerVideoFrame(agora::media::VideoFrame &videoFrame, int mediaPlayerId) override;
    bool onRenderVideoFrame(const char *channelId, agora::rtc::uid_t remoteUid, agora::media::VideoFrame &videoFrame) override;
    bool onTranscodedVideoFrame(agora::media::VideoFrame &videoFrame) override;
    VIDEO_FRAME_PROCESS_MODE getVideoFrameProcessMode() override;
    agora::media::VIDEO_PIXEL_FORMAT getVideoFormatPreference() override;
    bool getRotationApplied() override;
    bool getMirrorApplied() override;
    uint32_t getObservedFramePosition() override;
    bool isExternal() override;

    // Replaces the sink (GUI thread); a delivery in progress finishes with the old one.
    void setFrameSink(VideoFrameSink sink);
    void copyFrameToSink(const agora::media::VideoFrame &videoFrame, const QString &userId);

private:
    std::mutex m_sinkLock;
    // Shared, so that a delivery takes the sink out under the lock without copying the callable.
    std::shared_ptr<const VideoFrameSink> m_sink;
    QPointer<VRtcFpsCalculateTool> m_fpsTool;
};
