#pragma once

#include <QByteArray>

#include <cstdint>

// One I420 picture handed to a frame sink. The planes point into the record's own packed copy
// (Y, then U, then V, rows without padding), so a sink may keep it beyond the call and pass it
// to another thread.
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
    int uStride = 0;
    int vStride = 0;
    QByteArray pixels;
};
