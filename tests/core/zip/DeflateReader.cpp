#include "DeflateReader.h"

namespace {

struct Huffman {
    short count[16] = {};
    std::vector<short> symbol;
};

struct Bits {
    const QByteArray &in;
    int pos = 0;
    int bitBuf = 0;
    int bitCount = 0;
    bool overrun = false;

    explicit Bits(const QByteArray &data) : in(data) {}
    int bits(int need)
    {
        long val = bitBuf;
        while (bitCount < need) {
            if (pos >= in.size()) {
                overrun = true;
                return 0;
            }
            val |= long(static_cast<unsigned char>(in[pos++])) << bitCount;
            bitCount += 8;
        }
        bitBuf = int(val >> need);
        bitCount -= need;
        return int(val & ((1L << need) - 1));
    }
    int decode(const Huffman &h)
    {
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= 15; ++len) {
            code |= bits(1);
            int count = h.count[len];
            if (code - count < first)
                return h.symbol[size_t(index + (code - first))];
            index += count;
            first += count;
            first <<= 1;
            code <<= 1;
        }
        return -1;
    }
};

void build(Huffman &h, const short *length, int n)
{
    for (int s = 0; s < n; ++s)
        h.count[length[s]]++;
    h.count[0] = 0;
    short offs[16];
    offs[1] = 0;
    for (int len = 1; len < 15; ++len)
        offs[len + 1] = short(offs[len] + h.count[len]);
    h.symbol.assign(size_t(n), 0);
    for (int s = 0; s < n; ++s)
        if (length[s] != 0)
            h.symbol[size_t(offs[length[s]]++)] = short(s);
}

const short kLBase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
                          35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const short kLExt[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const short kDBase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193,
                          257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const short kDExt[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

} // namespace

DeflateReader::DeflateReader(const QByteArray &stream)
{
    Bits b(stream);
    bool last = false;
    while (!last) {
        last = b.bits(1) != 0;
        int type = b.bits(2);
        blockTypes.push_back(type);
        if (type == 0) {
            b.bitBuf = 0;
            b.bitCount = 0;
            if (b.pos + 4 > stream.size())
                return;
            int len = static_cast<unsigned char>(stream[b.pos]) | static_cast<unsigned char>(stream[b.pos + 1]) << 8;
            int nlen = static_cast<unsigned char>(stream[b.pos + 2]) | static_cast<unsigned char>(stream[b.pos + 3]) << 8;
            if (len != (~nlen & 0xFFFF) || b.pos + 4 + len > stream.size())
                return;
            output += stream.mid(b.pos + 4, len);
            b.pos += 4 + len;
            continue;
        }
        if (type == 3)
            return;
        Huffman lit, dist;
        short lengths[320] = {};
        if (type == 1) {
            int s = 0;
            for (; s < 144; ++s) lengths[s] = 8;
            for (; s < 256; ++s) lengths[s] = 9;
            for (; s < 280; ++s) lengths[s] = 7;
            for (; s < 288; ++s) lengths[s] = 8;
            build(lit, lengths, 288);
            for (s = 0; s < 30; ++s) lengths[s] = 5;
            build(dist, lengths, 30);
        } else {
            static const short order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
            int nlen = b.bits(5) + 257, ndist = b.bits(5) + 1, ncode = b.bits(4) + 4;
            for (int i = 0; i < ncode; ++i)
                lengths[order[i]] = short(b.bits(3));
            Huffman lencode;
            build(lencode, lengths, 19);
            int index = 0;
            short all[320] = {};
            while (index < nlen + ndist) {
                int sym = b.decode(lencode);
                if (sym < 0 || b.overrun)
                    return;
                if (sym < 16) {
                    all[index++] = short(sym);
                    continue;
                }
                short len = 0;
                int rep;
                if (sym == 16) {
                    if (index == 0)
                        return;
                    len = all[index - 1];
                    rep = 3 + b.bits(2);
                } else if (sym == 17) {
                    rep = 3 + b.bits(3);
                } else {
                    rep = 11 + b.bits(7);
                }
                if (index + rep > nlen + ndist)
                    return;
                while (rep--)
                    all[index++] = len;
            }
            build(lit, all, nlen);
            build(dist, all + nlen, ndist);
        }
        for (;;) {
            int sym = b.decode(lit);
            if (sym < 0 || b.overrun)
                return;
            if (sym < 256) {
                output += char(sym);
                continue;
            }
            if (sym == 256)
                break;
            sym -= 257;
            if (sym >= 29)
                return;
            int len = kLBase[sym] + b.bits(kLExt[sym]);
            int dsym = b.decode(dist);
            if (dsym < 0 || dsym >= 30)
                return;
            int d = kDBase[dsym] + b.bits(kDExt[dsym]);
            if (d > output.size())
                return;
            matches.push_back({len, d});
            for (int i = 0; i < len; ++i)
                output += output[output.size() - d];
        }
    }
    alignedEnd = b.bitBuf == 0;
    bytesUsed = b.pos;
    ok = !b.overrun;
}
