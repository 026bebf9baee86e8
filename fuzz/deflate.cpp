// Our deflate at every level 0-9 (0 and 9 are out of range: reported, and packed at the
// nearest level), fed through reads of arbitrary sizes, into flushed output or into a fixed
// buffer. zlib's raw inflate must give back the input byte for byte. One input in eight is
// repeated (each copy optionally changed) up to 80 KiB, so that the window slides and the
// literal buffer fills while the inputs themselves stay small.
#include <fuzzer/FuzzedDataProvider.h>

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ZipDeflater.h"

namespace {

[[noreturn]] void fail(const char *what, int level)
{
    std::fprintf(stderr, "fuzz_deflate: level %d: %s\n", level, what);
    std::abort();
}

// The raw stream inflated; false unless it ends exactly at its last byte.
bool inflateRaw(const std::string &packed, std::string &out)
{
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.data()));
    z.avail_in = uInt(packed.size());
    char buf[65536];
    int rc;
    do {
        z.next_out = reinterpret_cast<Bytef *>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, sizeof buf - z.avail_out);
    } while (rc == Z_OK);
    const bool complete = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return complete;
}

ZipDeflater *g_deflater = nullptr; // made once, reset per input, as the writer does

const size_t kMaxInput = 80 << 10; // past the window's slide at 65,274 bytes

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    g_deflater = new ZipDeflater;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int level = in.ConsumeIntegralInRange<int>(0, 9);
    const unsigned piece = in.ConsumeIntegralInRange<unsigned>(1, 70000);
    const bool inRange = level >= 1 && level <= 8;
    // The first reported error is kept, so a fixed buffer's overflow shows only at valid levels.
    const bool toMemory = in.ConsumeBool() && inRange;
    const unsigned capacity = in.ConsumeIntegralInRange<unsigned>(1, 1 << 20);
    const unsigned repeat = in.ConsumeIntegral<uint8_t>();
    const size_t copies = repeat < 224 ? 1 : size_t(repeat - 223) * 8; // 8 to 256
    // Changed copies do not match each other: literals; unchanged ones: long matches.
    const bool vary = in.ConsumeBool();
    const std::string unit = in.ConsumeRemainingBytesAsString();
    std::string input = unit;
    for (size_t i = 1; i < copies && !unit.empty() && input.size() + unit.size() <= kMaxInput; ++i) {
        const size_t at = input.size();
        input += unit;
        for (size_t k = at; vary && k < input.size(); ++k)
            input[k] = char(input[k] ^ uint8_t(i * 0x9D));
    }

    size_t pos = 0;
    auto read = [&](char *buffer, unsigned wanted) -> long {
        const size_t n = std::min<size_t>({wanted, piece, input.size() - pos});
        std::memcpy(buffer, input.data() + pos, n);
        pos += n;
        return long(n);
    };
    std::string packed;
    std::vector<char> output(toMemory ? capacity : unsigned(ZipDeflater::kOutputSize));
    uint16_t flags = 0;
    if (toMemory) {
        g_deflater->resetToMemory(level, flags, read, output.data(), capacity);
    } else {
        g_deflater->reset(level, flags, read,
                          [&](const char *buffer, unsigned length) {
                              packed.append(buffer, length);
                              return true;
                          },
                          output.data());
    }
    const uint64_t packedSize = g_deflater->deflate();
    const char *error = g_deflater->error();

    if (!inRange && (!error || std::strcmp(error, "bad pack level") != 0))
        fail("an out-of-range level is not reported", level);
    if (toMemory) {
        if (error && std::strstr(error, "output buffer too small"))
            return 0; // the stated way to refuse more output than fits
        if (packedSize > capacity)
            fail("more output than the buffer holds", level);
        packed.assign(output.data(), size_t(packedSize));
    }
    if (inRange && error)
        fail(error, level);
    if (packedSize != packed.size())
        fail("the reported size differs from the output", level);
    if (pos != input.size())
        fail("the input was not read to its end", level);
    std::string unpacked;
    if (!inflateRaw(packed, unpacked))
        fail("zlib cannot inflate the output", level);
    if (unpacked != input)
        fail("the output does not inflate to the input", level);
    return 0;
}
