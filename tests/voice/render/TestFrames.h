#pragma once

#include "VideoFrameItem.h"

#include <cstdint>
#include <vector>

// I420 frames for the renderers, with planes given per row pair or filled uniformly.
struct TestFrames
{
    // Packed: Y, U, V one after another, no padding (the engine's layout for unpadded rows).
    static QSharedPointer<VideoFrameData> packed(int width, int height, const std::vector<uint8_t> &y,
                                                 const std::vector<uint8_t> &u, const std::vector<uint8_t> &v);
    static QSharedPointer<VideoFrameData> uniform(int width, int height, uint8_t y, uint8_t u, uint8_t v);
    // Rows padded to yStride (chroma to yStride / 2); the padding holds 0xEE.
    static QSharedPointer<VideoFrameData> padded(int width, int height, int yStride, uint8_t y, uint8_t u, uint8_t v);
    static VideoFrameItem item(const QString &userId, QSharedPointer<VideoFrameData> frame);
};
