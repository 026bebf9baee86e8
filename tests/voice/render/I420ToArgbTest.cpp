#include "i420ToArgb.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint32_t> convert(int width, int height, const std::vector<uint8_t> &planes)
{
    std::vector<uint32_t> out(static_cast<size_t>(width) * height, 0x12345678u);
    i420ToArgb(planes.data(), out.data(), width, height);
    return out;
}

} // namespace

TEST(I420ToArgbTest, LimitedRangeBlackAndWhite)
{
    EXPECT_EQ(convert(2, 2, {16, 16, 16, 16, 128, 128}), std::vector<uint32_t>(4, 0xFF000000u));
    EXPECT_EQ(convert(2, 2, {235, 235, 235, 235, 128, 128}), std::vector<uint32_t>(4, 0xFFFFFFFFu));
}

TEST(I420ToArgbTest, ChannelsClampAtBothEnds)
{
    // Full-range extremes fall outside the limited range and clamp.
    EXPECT_EQ(convert(2, 2, {0, 0, 0, 0, 128, 128}), std::vector<uint32_t>(4, 0xFF000000u));
    EXPECT_EQ(convert(2, 2, {255, 255, 255, 255, 128, 128}), std::vector<uint32_t>(4, 0xFFFFFFFFu));
    // BT.601 red and green: the other channels go below zero and clamp to 0.
    EXPECT_EQ(convert(2, 2, {81, 81, 81, 81, 90, 240}), std::vector<uint32_t>(4, 0xFFFF0000u));
    EXPECT_EQ(convert(2, 2, {145, 145, 145, 145, 54, 34}), std::vector<uint32_t>(4, 0xFF00FF01u));
}

TEST(I420ToArgbTest, EachChromaSampleServesATwoByTwoBlock)
{
    // 4 x 4: Y rows of 81 / 235 alternating; chroma 2 x 2 = red, grey / grey, blue.
    const std::vector<uint8_t> planes = {
        81, 81, 81, 81, 235, 235, 235, 235, 81, 81, 81, 81, 235, 235, 235, 235, // Y
        90, 128, 128, 240,                                                      // U
        240, 128, 128, 110,                                                     // V
    };
    const std::vector<uint32_t> expected = {
        0xFFFF0000, 0xFFFF0000, 0xFF4C4C4C, 0xFF4C4C4C, //
        0xFFFFB3B2, 0xFFFFB3B2, 0xFFFFFFFF, 0xFFFFFFFF, //
        0xFF4C4C4C, 0xFF4C4C4C, 0xFF2F2FFF, 0xFF2F2FFF, //
        0xFFFFFFFF, 0xFFFFFFFF, 0xFFE2E2FF, 0xFFE2E2FF, //
    };
    EXPECT_EQ(convert(4, 4, planes), expected);
}
