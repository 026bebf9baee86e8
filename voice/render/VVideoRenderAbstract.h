#pragma once

#include "VideoFrameItem.h"

// What a video renderer offers the widget that hosts it. Implementations are QWidgets.
class VVideoRenderAbstract
{
public:
    virtual ~VVideoRenderAbstract() = default;

    // Called on the engine's threads.
    virtual void inputFrame(VideoFrameItem item) = 0;
    virtual void stopRender() = 0;
    virtual void startRender() = 0;
};
