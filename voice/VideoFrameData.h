#pragma once

#include <cstdint>

// One I420 picture handed to a frame sink. The planes are the engine's own buffers, valid only
// while the sink runs: a sink that keeps the picture copies the planes first.
struct VideoFrameData
{
    int type = 0; // 1: I420
    uint8_t *y = nullptr;
    int yStride = 0;
    uint8_t *u = nullptr;
    uint8_t *v = nullptr;
    int size = 0; // width * height * 3 / 2
    int width = 0;
    int height = 0;
    // The engine's chroma strides; 0 means half the Y stride. Carried so that a reader never
    // walks past a chroma plane laid out narrower than that.
    int uStride = 0;
    int vStride = 0;
};
