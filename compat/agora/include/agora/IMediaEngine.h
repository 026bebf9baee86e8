#pragma once

#include "agora/RtcBase.h"

#include <cstdint>

namespace agora {
namespace media {

enum VIDEO_PIXEL_FORMAT : int { VIDEO_PIXEL_UNKNOWN = 0, VIDEO_PIXEL_I420 = 1, VIDEO_PIXEL_BGRA = 2 };

enum VIDEO_SOURCE_TYPE : int { VIDEO_SOURCE_CAMERA_PRIMARY = 0 };

// One raw picture; the buffers belong to the engine and live only during the callback.
struct VideoFrame
{
    VIDEO_PIXEL_FORMAT type = VIDEO_PIXEL_I420;
    int width = 0;
    int height = 0;
    int yStride = 0;
    int uStride = 0;
    int vStride = 0;
    uint8_t *yBuffer = nullptr;
    uint8_t *uBuffer = nullptr;
    uint8_t *vBuffer = nullptr;
    int rotation = 0;
    int64_t renderTimeMs = 0;
};

class IVideoFrameObserver
{
public:
    enum VIDEO_FRAME_PROCESS_MODE { PROCESS_MODE_READ_ONLY = 0, PROCESS_MODE_READ_WRITE = 1 };
    enum VIDEO_OBSERVER_POSITION {
        POSITION_POST_CAPTURER = 1,
        POSITION_PRE_RENDERER = 2,
        POSITION_PRE_ENCODER = 4,
    };

    virtual ~IVideoFrameObserver() = default;
    virtual bool onCaptureVideoFrame(VIDEO_SOURCE_TYPE sourceType, VideoFrame &videoFrame) = 0;
    virtual bool onPreEncodeVideoFrame(VIDEO_SOURCE_TYPE sourceType, VideoFrame &videoFrame) = 0;
    virtual bool onMediaPlayerVideoFrame(VideoFrame &videoFrame, int mediaPlayerId) = 0;
    virtual bool onRenderVideoFrame(const char *channelId, rtc::uid_t remoteUid, VideoFrame &videoFrame) = 0;
    virtual bool onTranscodedVideoFrame(VideoFrame &videoFrame) = 0;
    virtual VIDEO_FRAME_PROCESS_MODE getVideoFrameProcessMode() = 0;
    virtual VIDEO_PIXEL_FORMAT getVideoFormatPreference() = 0;
    virtual bool getRotationApplied() = 0;
    virtual bool getMirrorApplied() = 0;
    virtual uint32_t getObservedFramePosition() = 0;
    virtual bool isExternal() = 0;
};

// Obtained with queryInterface(AGORA_IID_MEDIA_ENGINE).
class IMediaEngine
{
public:
    virtual int registerVideoFrameObserver(IVideoFrameObserver *observer) = 0;
    virtual void release() = 0;

protected:
    virtual ~IMediaEngine() = default;
};

} // namespace media
} // namespace agora
