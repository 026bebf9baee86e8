#include "LogCapture.h"
#include "VideoFrameRing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> picture(uint8_t value, int length = 16)
{
    return std::vector<uint8_t>(static_cast<size_t>(length), value);
}

} // namespace

class VideoFrameRingTest : public ::testing::Test
{
protected:
    void write(uint8_t value, int length = 16, int width = 2, int height = 2)
    {
        const auto data = picture(value, length);
        ring.write(data.data(), length, width, height, false);
    }

    VideoFrameRing ring;
    LogCapture log;
};

TEST_F(VideoFrameRingTest, EmptySlotUntilTheFirstPicture)
{
    const VideoFrameRing::Slot &slot = ring.read();
    EXPECT_EQ(slot.length, 0);
    EXPECT_EQ(slot.width, 0);
    EXPECT_EQ(ring.read().length, 0);
}

TEST_F(VideoFrameRingTest, PainterGetsTheSamePictureAgainWhenNothingNewArrived)
{
    write(7, 16, 2, 2);
    const VideoFrameRing::Slot &first = ring.read();
    ASSERT_EQ(first.length, 16);
    EXPECT_EQ(first.width, 2);
    EXPECT_EQ(first.height, 2);
    EXPECT_EQ(first.data[15], 7);
    EXPECT_EQ(first.data[16], 0);
    const VideoFrameRing::Slot &again = ring.read();
    EXPECT_EQ(&again, &first);
    write(8);
    EXPECT_EQ(ring.read().data[0], 8);
}

TEST_F(VideoFrameRingTest, WritesNeverOvertakeThePaintersSlot)
{
    write(1);
    const VideoFrameRing::Slot &held = ring.read();
    ASSERT_EQ(held.data[0], 1);
    // Three pictures without a paint: the third overwrites the second's successor, not the held slot.
    write(2);
    write(3);
    write(4);
    EXPECT_EQ(held.data[0], 1);
    EXPECT_EQ(held.length, 16);
    const VideoFrameRing::Slot &next = ring.read();
    EXPECT_NE(&next, &held);
    EXPECT_EQ(next.data[0], 2);
    // Once the painter has left its slot the writer moves on; 4 was overwritten by 5.
    write(5);
    EXPECT_EQ(ring.read().data[0], 5);
}

TEST_F(VideoFrameRingTest, ShorterPictureLeavesNoBytesOfTheLongerOne)
{
    write(9, 32);
    write(1);
    write(2);
    write(3, 8); // into the first picture's slot again
    const VideoFrameRing::Slot &slot = ring.read();
    ASSERT_EQ(slot.data[0], 3);
    EXPECT_EQ(slot.length, 8);
    for (int i = 8; i < 32; ++i)
        ASSERT_EQ(slot.data[i], 0) << i;
}

TEST_F(VideoFrameRingTest, LengthsOutsideTheSlotAreRefusedAndLogged)
{
    const std::vector<uint8_t> big(VideoFrameRing::kCapacity, 5);
    ring.write(big.data(), VideoFrameRing::kCapacity, 1920, 1143, false);
    ring.write(big.data(), 0, 0, 0, false);
    ring.write(nullptr, 16, 2, 2, false);
    EXPECT_EQ(log.lines(QStringLiteral("视频长度错误")),
              (QStringList{QStringLiteral("视频长度错误 8780800"), QStringLiteral("视频长度错误 0")}));
    EXPECT_EQ(ring.read().length, 0);
    ring.write(big.data(), VideoFrameRing::kCapacity - 1, 1, 1, false);
    EXPECT_EQ(ring.read().length, VideoFrameRing::kCapacity - 1);
}

TEST_F(VideoFrameRingTest, SwapReversesEachFourByteGroup)
{
    const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8};
    ring.write(data.data(), 8, 2, 1, true);
    const VideoFrameRing::Slot &slot = ring.read();
    EXPECT_EQ(std::vector<uint8_t>(slot.data.begin(), slot.data.begin() + 8),
              (std::vector<uint8_t>{4, 3, 2, 1, 8, 7, 6, 5}));
}

TEST_F(VideoFrameRingTest, ResetEmptiesEverySlot)
{
    write(1);
    const VideoFrameRing::Slot &held = ring.read();
    write(2);
    ring.reset();
    EXPECT_EQ(held.length, 0);
    EXPECT_EQ(held.data[0], 0);
    EXPECT_EQ(ring.read().length, 0);
    write(3);
    EXPECT_EQ(ring.read().data[0], 3);
}
