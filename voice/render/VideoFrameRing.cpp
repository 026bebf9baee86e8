#include "VideoFrameRing.h"

#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// A copy that refuses to go past the destination's capacity; 0 or an errno value.
int boundedCopy(uint8_t *dst, size_t capacity, const uint8_t *src, size_t count)
{
    if (!dst || !src)
        return EINVAL;
    if (count > capacity)
        return ERANGE;
    std::memcpy(dst, src, count);
    return 0;
}

// Bytes past a slot's length are kept zero, so emptying clears only what the last write used.
void empty(VideoFrameRing::Slot &slot)
{
    std::fill(slot.data.begin(), slot.data.begin() + slot.length, uint8_t(0));
    slot.width = slot.height = slot.length = 0;
}

} // namespace

VideoFrameRing::VideoFrameRing()
{
    // Slot 0 is never written, so it needs no data area.
    for (int i = 1; i < 4; ++i)
        m_slots[i].data.assign(kCapacity, 0);
}

void VideoFrameRing::write(const uint8_t *data, qint64 length, int width, int height, bool swapBytes)
{
    QMutexLocker locker(&m_mutex);
    if (!data)
        return;
    if (length <= 0 || length >= kCapacity) {
        qWarning().noquote() << "视频长度错误" << length;
        return;
    }
    Slot &slot = m_slots[m_writeIndex + 1];
    empty(slot);
    const int error = boundedCopy(slot.data.data(), slot.data.size(), data, static_cast<size_t>(length));
    if (error != 0) {
        qWarning().noquote() << "视频拷贝错误" << error;
        return;
    }
    slot.width = width;
    slot.height = height;
    slot.length = static_cast<int>(length);
    if (swapBytes) {
        for (int i = 0; i + 3 < slot.length; i += 4) {
            std::swap(slot.data[i], slot.data[i + 3]);
            std::swap(slot.data[i + 1], slot.data[i + 2]);
        }
    }
    const int next = (m_writeIndex + 1) % 3;
    if (next != m_readIndex)
        m_writeIndex = next;
}

const VideoFrameRing::Slot &VideoFrameRing::read()
{
    QMutexLocker locker(&m_mutex);
    const int next = (m_readIndex + 1) % 3;
    if (next != m_writeIndex)
        m_readIndex = next;
    if (m_readIndex >= 0 && m_readIndex <= 2)
        return m_slots[m_readIndex + 1];
    return m_slots[0];
}

void VideoFrameRing::reset()
{
    QMutexLocker locker(&m_mutex);
    m_writeIndex = 0;
    m_readIndex = -1;
    for (int i = 1; i < 4; ++i)
        empty(m_slots[i]);
}
