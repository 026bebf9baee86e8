#include "TestFrames.h"

#include <cstring>

QSharedPointer<VideoFrameData> TestFrames::packed(int width, int height, const std::vector<uint8_t> &y,
                                                  const std::vector<uint8_t> &u, const std::vector<uint8_t> &v)
{
    QSharedPointer<VideoFrameData> f(new VideoFrameData);
    f->pixels.resize(static_cast<int>(y.size() + u.size() + v.size()));
    uint8_t *base = reinterpret_cast<uint8_t *>(f->pixels.data());
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
    QSharedPointer<VideoFrameData> f(new VideoFrameData);
    const int cStride = yStride / 2;
    const int lumaBytes = yStride * height;
    const int chromaBytes = cStride * (height / 2);
    f->pixels = QByteArray(lumaBytes + 2 * chromaBytes, char(0xEE));
    uint8_t *base = reinterpret_cast<uint8_t *>(f->pixels.data());
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
