#include "TestFrames.h"

#include <cstring>
#include <memory>

namespace {

// A record whose planes point into bytes it keeps alive, as the engine's buffers are while a
// sink runs.
QSharedPointer<VideoFrameData> over(size_t bytes, uint8_t fill, uint8_t **base)
{
    auto buffer = std::make_shared<std::vector<uint8_t>>(bytes, fill);
    *base = buffer->data();
    return QSharedPointer<VideoFrameData>(new VideoFrameData, [buffer](VideoFrameData *f) { delete f; });
}

} // namespace

QSharedPointer<VideoFrameData> TestFrames::packed(int width, int height, const std::vector<uint8_t> &y,
                                                  const std::vector<uint8_t> &u, const std::vector<uint8_t> &v)
{
    uint8_t *base = nullptr;
    QSharedPointer<VideoFrameData> f = over(y.size() + u.size() + v.size(), 0, &base);
    std::memcpy(base, y.data(), y.size());
    std::memcpy(base + y.size(), u.data(), u.size());
    std::memcpy(base + y.size() + u.size(), v.data(), v.size());
    f->type = 1;
    f->y = base;
    f->u = base + y.size();
    f->v = base + y.size() + u.size();
    f->yStride = width;
    f->uStride = f->vStride = width / 2;
    f->width = width;
    f->height = height;
    f->size = width * height * 3 / 2;
    return f;
}

QSharedPointer<VideoFrameData> TestFrames::uniform(int width, int height, uint8_t y, uint8_t u, uint8_t v)
{
    const size_t luma = static_cast<size_t>(width) * height;
    return packed(width, height, std::vector<uint8_t>(luma, y), std::vector<uint8_t>(luma / 4, u),
                  std::vector<uint8_t>(luma / 4, v));
}

QSharedPointer<VideoFrameData> TestFrames::padded(int width, int height, int yStride, uint8_t y, uint8_t u, uint8_t v)
{
    const int cStride = yStride / 2;
    const int lumaBytes = yStride * height;
    const int chromaBytes = cStride * (height / 2);
    uint8_t *base = nullptr;
    QSharedPointer<VideoFrameData> f = over(static_cast<size_t>(lumaBytes + 2 * chromaBytes), 0xEE, &base);
    for (int r = 0; r < height; ++r)
        std::memset(base + r * yStride, y, static_cast<size_t>(width));
    for (int r = 0; r < height / 2; ++r) {
        std::memset(base + lumaBytes + r * cStride, u, static_cast<size_t>(width / 2));
        std::memset(base + lumaBytes + chromaBytes + r * cStride, v, static_cast<size_t>(width / 2));
    }
    f->type = 1;
    f->y = base;
    f->u = base + lumaBytes;
    f->v = base + lumaBytes + chromaBytes;
    f->yStride = yStride;
    f->uStride = f->vStride = cStride;
    f->width = width;
    f->height = height;
    f->size = width * height * 3 / 2;
    return f;
}

VideoFrameItem TestFrames::item(const QString &userId, QSharedPointer<VideoFrameData> frame)
{
    VideoFrameItem it;
    it.userId = userId;
    it.frame = std::move(frame);
    return it;
}
