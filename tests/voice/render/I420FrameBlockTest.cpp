#include "I420FrameBlock.h"
#include "LogCapture.h"
#include "TestFrames.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Counts the bytes of [begin, begin + count) different from value.
int countOther(const uint8_t *begin, int count, uint8_t value)
{
    return static_cast<int>(std::count_if(begin, begin + count, [value](uint8_t b) { return b != value; }));
}

} // namespace

class I420FrameBlockTest : public ::testing::Test
{
protected:
    I420FrameBlock block;
    LogCapture log;
};

TEST_F(I420FrameBlockTest, PaddedRowsAreCopiedRowByRowWithoutThePadding)
{
    auto frame = TestFrames::padded(640, 360, 704, 200, 60, 90);
    ASSERT_TRUE(block.copyFrom(*frame));
    ASSERT_EQ(block.size(), 345600);
    EXPECT_EQ(block.width(), 640);
    EXPECT_EQ(block.height(), 360);
    EXPECT_EQ(countOther(block.data(), 230400, 200), 0);
    EXPECT_EQ(countOther(block.data() + 230400, 57600, 60), 0);
    EXPECT_EQ(countOther(block.data() + 288000, 57600, 90), 0);
}

TEST_F(I420FrameBlockTest, UnpaddedRowsAreCopiedInOnePiece)
{
    std::vector<uint8_t> y(640 * 360), u(320 * 180), v(320 * 180);
    for (size_t i = 0; i < y.size(); ++i)
        y[i] = static_cast<uint8_t>(i * 7);
    for (size_t i = 0; i < u.size(); ++i) {
        u[i] = static_cast<uint8_t>(i * 3);
        v[i] = static_cast<uint8_t>(i * 5 + 1);
    }
    auto frame = TestFrames::packed(640, 360, y, u, v);
    ASSERT_EQ(I420FrameBlock::packedPlanes(*frame), frame->y);
    ASSERT_TRUE(block.copyFrom(*frame));
    EXPECT_TRUE(std::equal(y.begin(), y.end(), block.data()));
    EXPECT_TRUE(std::equal(u.begin(), u.end(), block.data() + 230400));
    EXPECT_TRUE(std::equal(v.begin(), v.end(), block.data() + 288000));
}

TEST_F(I420FrameBlockTest, RowsShorterThanTheWidthDropTheFrameAndKeepThePrevious)
{
    ASSERT_TRUE(block.copyFrom(*TestFrames::uniform(640, 360, 50, 51, 52)));
    auto narrow = TestFrames::uniform(640, 360, 99, 99, 99);
    narrow->yStride = 600;
    EXPECT_FALSE(block.accept(*narrow));
    EXPECT_FALSE(block.copyFrom(*narrow));
    EXPECT_EQ(block.data()[0], 50);
    EXPECT_EQ(block.width(), 640);
}

TEST_F(I420FrameBlockTest, BlockIsReallocatedOnlyWhenTheSizeChanges)
{
    ASSERT_TRUE(block.copyFrom(*TestFrames::uniform(64, 36, 1, 2, 3)));
    const uint8_t *first = block.data();
    ASSERT_TRUE(block.copyFrom(*TestFrames::uniform(64, 36, 4, 5, 6)));
    EXPECT_EQ(block.data(), first);
    EXPECT_EQ(block.data()[0], 4);
    ASSERT_TRUE(block.copyFrom(*TestFrames::uniform(36, 64, 7, 8, 9)));
    EXPECT_EQ(block.width(), 36);
    EXPECT_EQ(block.height(), 64);
    EXPECT_EQ(block.size(), 3456);
}

TEST_F(I420FrameBlockTest, MalformedFramesAreRefusedWithOneLogLinePerGeometry)
{
    auto odd = TestFrames::uniform(6, 4, 1, 2, 3);
    odd->width = 5; // odd sizes have no whole chroma sample per pixel pair
    auto shortSize = TestFrames::uniform(8, 4, 1, 2, 3);
    shortSize->size = 47;
    auto noPlane = TestFrames::uniform(8, 4, 1, 2, 3);
    noPlane->v = nullptr;
    auto empty = TestFrames::uniform(8, 4, 1, 2, 3);
    empty->height = 0;
    for (const auto &f : {odd, shortSize, noPlane, empty}) {
        EXPECT_FALSE(block.accept(*f));
        EXPECT_FALSE(block.copyFrom(*f));
    }
    EXPECT_EQ(block.data(), nullptr);
    const QStringList lines = log.lines(QStringLiteral("[VideoRender] frame dropped:"));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("[VideoRender] frame dropped: 5x4/6/36 size not even and positive"));
    EXPECT_EQ(lines[1], QStringLiteral("[VideoRender] frame dropped: 8x4/8/47 size field short of the planes"));
}

TEST_F(I420FrameBlockTest, PlanesApartAreNotTakenAsPacked)
{
    auto apart = TestFrames::padded(8, 4, 16, 10, 20, 30);
    apart->yStride = 8; // rows unpadded but planes apart: copied plane by plane
    apart->uStride = apart->vStride = 8;
    EXPECT_EQ(I420FrameBlock::packedPlanes(*apart), nullptr);
    ASSERT_TRUE(block.copyFrom(*apart));
    EXPECT_EQ(countOther(block.data() + 32, 8, 20), 0);
    EXPECT_EQ(countOther(block.data() + 40, 8, 30), 0);
}
