#pragma once

#include <QMutex>

#include <cstdint>
#include <vector>

// Hands finished pictures from the converting thread to the painter: three slots that the
// writer fills in turn without ever filling the one the painter holds, plus a permanently
// empty slot for "nothing yet". The slots are allocated once.
class VideoFrameRing
{
public:
    static const int kCapacity = 8780800;

    struct Slot
    {
        std::vector<uint8_t> data;
        int width = 0;
        int height = 0;
        int length = 0;
    };

    VideoFrameRing();

    // Copies length bytes of a width x height picture into the next slot; swapBytes reverses
    // the byte order within each 4-byte group.
    void write(const uint8_t *data, qint64 length, int width, int height, bool swapBytes);
    // The newest finished slot not being written, the same one again when nothing new came,
    // or the empty slot before the first. Only the painter calls it.
    const Slot &read();
    void reset();

private:
    Slot m_slots[4];
    int m_writeIndex = 0;
    int m_readIndex = -1;
    QMutex m_mutex;
};
