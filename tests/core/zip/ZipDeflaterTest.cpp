#include <gtest/gtest.h>

#include <QFile>

#include <set>
#include <string>
#include <zlib.h>

#include "DeflateReader.h"
#include "ZipDeflater.h"
#include "ZipTestTools.h"

using namespace ZipTestTools;

namespace {

class ZipDeflaterTest : public ::testing::Test
{
protected:
    QByteArray compress(const QByteArray &input, int level, uint16_t *flagsOut = nullptr, int readPiece = 1 << 30)
    {
        int pos = 0;
        QByteArray out;
        uint16_t flags = 0;
        deflater.reset(
            level, flags,
            [&](char *buf, unsigned size) -> long {
                int n = std::min({int(size), int(input.size()) - pos, readPiece});
                memcpy(buf, input.constData() + pos, size_t(n));
                pos += n;
                return n;
            },
            [&](const char *buf, unsigned len) {
                out.append(buf, int(len));
                return true;
            },
            output);
        uint64_t size = deflater.deflate();
        EXPECT_EQ(size, uint64_t(out.size()));
        if (flagsOut)
            *flagsOut = flags;
        return out;
    }

    static QByteArray inflateRaw(const QByteArray &raw)
    {
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        QByteArray out;
        char buf[65536];
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.constData()));
        z.avail_in = uInt(raw.size());
        int rc;
        do {
            z.next_out = reinterpret_cast<Bytef *>(buf);
            z.avail_out = sizeof buf;
            rc = inflate(&z, Z_NO_FLUSH);
            out.append(buf, int(sizeof buf - z.avail_out));
        } while (rc == Z_OK);
        bool complete = rc == Z_STREAM_END && z.avail_in == 0;
        inflateEnd(&z);
        return complete ? out : QByteArray("<inflate failed>");
    }

    // Lower-case letters in which no three-letter string appears twice: nothing to match.
    static QByteArray matchlessFiller(int length, unsigned seed)
    {
        std::set<std::string> seen;
        QByteArray out;
        unsigned r = seed;
        while (out.size() < length) {
            for (int attempt = 0; attempt < 26; ++attempt) {
                r = r * 1103515245u + 12345u;
                char c = char('a' + (r >> 16) % 26);
                std::string tri = out.size() >= 2 ? std::string(out.constData() + out.size() - 2, 2) + c : std::string();
                if (tri.empty() || seen.insert(tri).second) {
                    out += c;
                    break;
                }
            }
        }
        return out;
    }

    ZipDeflater deflater;
    char output[ZipDeflater::kOutputSize];
};

// Every level's output decodes with zlib to the exact input.

TEST_F(ZipDeflaterTest, RoundTripsThroughZlibAtEveryLevel)
{
    QFile self("/proc/self/exe");
    ASSERT_TRUE(self.open(QIODevice::ReadOnly));
    const QByteArray binary = self.read(600000);
    QByteArray blocks;
    const QByteArray piece = randomSample(20000, 5);
    for (int i = 0; i < 8; ++i)
        blocks += piece; // repeats within the window
    const QByteArray far = randomSample(40000, 6) + randomSample(40000, 6); // repeat beyond reach
    const std::vector<std::pair<const char *, QByteArray>> inputs = {
        {"text", textSample(400000)},       {"binary", binary},
        {"random", randomSample(150000, 2)}, {"empty", QByteArray()},
        {"one byte", QByteArray("x")},      {"zeros", QByteArray(1 << 20, '\0')},
        {"abc", QByteArray("abc").repeated(100000)}, {"blocks", blocks},
        {"far", far},
    };
    for (const auto &in : inputs) {
        for (int level = 1; level <= 8; ++level) {
            QByteArray out = compress(in.second, level, nullptr, 7000);
            ASSERT_EQ(deflater.error(), nullptr) << in.first << " level " << level;
            ASSERT_EQ(inflateRaw(out), in.second) << in.first << " level " << level;
        }
    }
}

TEST_F(ZipDeflaterTest, LongRepeatsShrinkToAlmostNothing)
{
    QByteArray out = compress(QByteArray(1 << 20, '\0'), 8);
    EXPECT_LT(out.size(), 1500);
    out = compress(textSample(1000).repeated(500), 8);
    EXPECT_LT(out.size(), 4000);
    EXPECT_EQ(inflateRaw(out), textSample(1000).repeated(500));
}

// Block types and the end of the stream.

TEST_F(ZipDeflaterTest, EmptyInputIsOneFinalStaticBlock)
{
    QByteArray out = compress(QByteArray(), 8);
    EXPECT_EQ(out, QByteArray::fromHex("0300"));
}

TEST_F(ZipDeflaterTest, IncompressibleDataGoesIntoStoredBlocks)
{
    const QByteArray data = randomSample(300000, 9);
    for (int level : {1, 8}) {
        QByteArray out = compress(data, level);
        DeflateReader r(out);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.output, data);
        for (int type : r.blockTypes)
            EXPECT_EQ(type, 0);
        EXPECT_LE(out.size(), data.size() + 5 * int(r.blockTypes.size()));
        EXPECT_EQ(r.bytesUsed, out.size());
    }
}

TEST_F(ZipDeflaterTest, FinalBlockEndsOnAByte)
{
    for (const QByteArray &data : {textSample(12345), QByteArray("hello hello hello")}) {
        QByteArray out = compress(data, 6);
        DeflateReader r(out);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.output, data);
        EXPECT_TRUE(r.alignedEnd);
        EXPECT_EQ(r.bytesUsed, out.size());
    }
}

// Match choices of the two modes.

TEST_F(ZipDeflaterTest, LazyModeDropsShortFarMatches)
{
    // "XYZ" again after 5000 unmatchable bytes: a length-3 match 5003 bytes back (position 0 means
    // "none" in the hash chains, so the first copy starts at 1).
    const QByteArray filler = matchlessFiller(5300, 1);
    const QByteArray input = "!XYZ" + filler.left(5000) + "XYZ#" + filler.mid(5000);
    for (int level = 4; level <= 8; ++level) {
        DeflateReader r(compress(input, level));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.output, input);
        for (const auto &m : r.matches)
            EXPECT_FALSE(m.length == 3 && m.distance > 4096) << "level " << level;
    }
    DeflateReader fast(compress(input, 1));
    ASSERT_TRUE(fast.ok);
    ASSERT_EQ(fast.matches.size(), 1u);
    EXPECT_EQ(fast.matches[0].length, 3);
    EXPECT_EQ(fast.matches[0].distance, 5003);

    // Four bytes at the same distance are worth a match in lazy mode too.
    const QByteArray longer = "!WXYZ" + filler.left(5000) + "WXYZ#" + filler.mid(5000);
    DeflateReader lazy(compress(longer, 8));
    ASSERT_TRUE(lazy.ok);
    ASSERT_EQ(lazy.matches.size(), 1u);
    EXPECT_EQ(lazy.matches[0].length, 4);
    EXPECT_EQ(lazy.matches[0].distance, 5004);
}

// Levels, flags and errors.

TEST_F(ZipDeflaterTest, LevelsSetTheirFlagBitsAndNineIsRefused)
{
    uint16_t flags = 0;
    compress("abcabcabc", 1, &flags);
    EXPECT_EQ(flags, 0x04);
    compress("abcabcabc", 2, &flags);
    EXPECT_EQ(flags, 0x04);
    compress("abcabcabc", 5, &flags);
    EXPECT_EQ(flags, 0x00);
    compress("abcabcabc", 8, &flags);
    EXPECT_EQ(flags, 0x02);
    EXPECT_EQ(deflater.error(), nullptr);
    compress("abcabcabc", 9);
    ASSERT_NE(deflater.error(), nullptr);
    EXPECT_STREQ(deflater.error(), "bad pack level");
    compress("abcabcabc", 0);
    EXPECT_STREQ(deflater.error(), "bad pack level");
    compress("abcabcabc", 8);
    EXPECT_EQ(deflater.error(), nullptr);
}

TEST_F(ZipDeflaterTest, ResetLeavesNothingOfThePreviousEntry)
{
    const QByteArray first = textSample(90000), second = textSample(3000) + randomSample(70000, 4);
    compress(first, 8);
    QByteArray reused = compress(second, 8);
    ZipDeflater fresh;
    uint16_t flags = 0;
    int pos = 0;
    QByteArray freshOut;
    fresh.reset(8, flags,
                [&](char *buf, unsigned size) -> long {
                    int n = std::min(int(size), int(second.size()) - pos);
                    memcpy(buf, second.constData() + pos, size_t(n));
                    pos += n;
                    return n;
                },
                [&](const char *buf, unsigned len) {
                    freshOut.append(buf, int(len));
                    return true;
                },
                output);
    fresh.deflate();
    EXPECT_EQ(reused, freshOut);
}

TEST_F(ZipDeflaterTest, MemoryModeReportsAnOutputBufferThatIsTooSmall)
{
    const QByteArray data = randomSample(5000, 8);
    int pos = 0;
    auto read = [&](char *buf, unsigned size) -> long {
        int n = std::min(int(size), int(data.size()) - pos);
        memcpy(buf, data.constData() + pos, size_t(n));
        pos += n;
        return n;
    };
    uint16_t flags = 0;
    char big[6000];
    deflater.resetToMemory(8, flags, read, big, sizeof big);
    uint64_t size = deflater.deflate();
    EXPECT_EQ(deflater.error(), nullptr);
    EXPECT_EQ(inflateRaw(QByteArray(big, int(size))), data);
    pos = 0;
    char small[1000];
    deflater.resetToMemory(8, flags, read, small, sizeof small);
    deflater.deflate();
    EXPECT_STREQ(deflater.error(), "output buffer too small for in-memory compression");
}

} // namespace
