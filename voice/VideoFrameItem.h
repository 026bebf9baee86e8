#pragma once

#include "VideoFrameData.h"

#include <QSharedPointer>
#include <QString>

#include <functional>

// A picture and whose it is: an empty user id for the local capture, the remote user's id as
// unsigned decimal text otherwise.
struct VideoFrameItem
{
    QString userId;
    QSharedPointer<VideoFrameData> frame;
};

// Where the frame observer delivers; called on the engine's video threads.
typedef std::function<void(VideoFrameItem)> VideoFrameSink;
