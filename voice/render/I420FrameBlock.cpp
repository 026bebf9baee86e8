#include "I420FrameBlock.h"

#include <QtDebug>

#include <cstring>
#include <limits>
#include <new>

namespace {

qint64 planesBytes(const VideoFrameData &frame)
{
    return static_cast<qint64>(frame.width) * frame.height * 3 / 2;
}

// An unset chroma stride means half the luma stride.
int chromaStride(int stride, const VideoFrameData &frame)
{
    return stride > 0 ? stride : frame.yStride / 2;
}

void copyRows(uint8_t *dst, const uint8_t *src, int srcStride, int rowBytes, int rows)
{
    for (int r = 0; r < rows; ++r)
        std::memcpy(dst + static_cast<size_t>(r) * rowBytes, src + static_cast<size_t>(r) * srcStride,
                    static_cast<size_t>(rowBytes));
}

} // namespace

bool I420FrameBlock::accept(const VideoFrameData &frame)
{
    QString fault;
    if (!frame.y || !frame.u || !frame.v)
        fault = QStringLiteral("planes missing");
    else if (frame.width <= 0 || frame.height <= 0 || frame.width % 2 != 0 || frame.height % 2 != 0)
        fault = QStringLiteral("size not even and positive");
    else if (frame.yStride < frame.width)
        fault = QStringLiteral("row stride below width");
    else if (chromaStride(frame.uStride, frame) < frame.width / 2 || chromaStride(frame.vStride, frame) < frame.width / 2)
        fault = QStringLiteral("chroma stride below half width");
    else if (frame.size < planesBytes(frame) || planesBytes(frame) > std::numeric_limits<int>::max())
        fault = QStringLiteral("size field short of the planes");
    if (fault.isEmpty())
        return true;
    // Strides below the width are an ordinary drop; the rest means a broken producer.
    const QString key = QStringLiteral("%1x%2/%3/%4 %5")
                            .arg(frame.width).arg(frame.height).arg(frame.yStride).arg(frame.size).arg(fault);
    if (key != m_lastRefused && frame.yStride >= frame.width)
        qWarning().noquote() << "[VideoRender] frame dropped:" << key;
    m_lastRefused = key;
    return false;
}

const uint8_t *I420FrameBlock::packedPlanes(const VideoFrameData &frame)
{
    if (frame.yStride != frame.width)
        return nullptr;
    const qint64 luma = static_cast<qint64>(frame.width) * frame.height;
    if (frame.u != frame.y + luma || frame.v != frame.u + luma / 4)
        return nullptr;
    if (chromaStride(frame.uStride, frame) != frame.width / 2 || chromaStride(frame.vStride, frame) != frame.width / 2)
        return nullptr;
    return frame.y;
}

bool I420FrameBlock::copyFrom(const VideoFrameData &frame)
{
    if (!accept(frame))
        return false;
    const int bytes = static_cast<int>(planesBytes(frame));
    if (!m_data || frame.width != m_width || frame.height != m_height || bytes != m_size) {
        m_data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
        if (!m_data) {
            m_size = m_width = m_height = 0;
            return false;
        }
        m_size = bytes;
        m_width = frame.width;
        m_height = frame.height;
    }
    if (const uint8_t *packed = packedPlanes(frame)) {
        std::memcpy(m_data.get(), packed, static_cast<size_t>(bytes));
        return true;
    }
    const int w = frame.width;
    const int h = frame.height;
    uint8_t *block = m_data.get();
    const size_t luma = static_cast<size_t>(w) * h;
    copyRows(block, frame.y, frame.yStride, w, h);
    copyRows(block + luma, frame.u, chromaStride(frame.uStride, frame), w / 2, h / 2);
    copyRows(block + luma * 5 / 4, frame.v, chromaStride(frame.vStride, frame), w / 2, h / 2);
    return true;
}

void I420FrameBlock::clear()
{
    m_data.reset();
    m_size = m_width = m_height = 0;
}
