#include "i420ToArgb.h"

#include <algorithm>
#include <cstddef>

namespace {

inline uint32_t clampByte(int value)
{
    return static_cast<uint32_t>(std::min(255, std::max(0, value)));
}

} // namespace

void i420ToArgb(const uint8_t *src, uint32_t *dst, int width, int height)
{
    const size_t luma = static_cast<size_t>(width) * height;
    const uint8_t *yPlane = src;
    const uint8_t *uPlane = src + luma;
    const uint8_t *vPlane = src + luma + luma / 4;
    const int chromaWidth = width / 2;
    for (int i = 0; i < height; ++i) {
        const uint8_t *yRow = yPlane + static_cast<size_t>(i) * width;
        const size_t chromaRow = static_cast<size_t>(chromaWidth) * (i / 2);
        uint32_t *out = dst + static_cast<size_t>(i) * width;
        for (int x = 0; x < width; ++x) {
            const int y = yRow[x] - 16;
            const int cb = uPlane[chromaRow + x / 2] - 128;
            const int cr = vPlane[chromaRow + x / 2] - 128;
            const uint32_t r = clampByte((298 * y + 409 * cr + 128) >> 8);
            const uint32_t g = clampByte((298 * y - 100 * cb - 208 * cr + 128) >> 8);
            const uint32_t b = clampByte((298 * y + 516 * cb + 128) >> 8);
            out[x] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    }
}
