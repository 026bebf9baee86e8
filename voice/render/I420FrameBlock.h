#pragma once

#include "VideoFrameData.h"

#include <QString>

#include <cstdint>
#include <memory>

// A renderer's own packed I420 copy of a frame (Y, then U, then V, rows without padding),
// reallocated only when the frame size changes. Used from one thread at a time.
class I420FrameBlock
{
public:
    // Whether a renderer can draw the frame: I420 planes present, an even positive size, rows
    // at least as long as the picture and a size field covering the three planes. Refusals are
    // logged once per distinct frame geometry, not once per frame.
    bool accept(const VideoFrameData &frame);
    // The frame's planes when they lie one after another from the Y address, so a reader may
    // take width * height * 3 / 2 bytes from there; null otherwise.
    static const uint8_t *packedPlanes(const VideoFrameData &frame);

    // Copies an accepted frame into the block; false drops it (the previous picture stays).
    bool copyFrom(const VideoFrameData &frame);
    void clear();

    const uint8_t *data() const { return m_data.get(); }
    int size() const { return m_size; }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    std::unique_ptr<uint8_t[]> m_data;
    int m_size = 0;
    int m_width = 0;
    int m_height = 0;
    QString m_lastRefused;
};
